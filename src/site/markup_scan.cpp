// SPDX-License-Identifier: GPL-3.0-or-later
#include "site/markup_scan.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <gumbo.h>
#include <string_view>

namespace quillane {

namespace {

constexpr std::pair<std::string_view, Tag> kTags[] = {
    {"a", Tag::A},
    {"area", Tag::Area},
    {"audio", Tag::Audio},
    {"base", Tag::Base},
    {"body", Tag::Body},
    {"button", Tag::Button},
    {"caption", Tag::TablePart},
    {"col", Tag::TablePart},
    {"colgroup", Tag::TablePart},
    {"embed", Tag::Embed},
    {"form", Tag::Form},
    {"frame", Tag::Frame},
    {"frameset", Tag::Frameset},
    {"head", Tag::Head},
    {"html", Tag::Html},
    {"iframe", Tag::Iframe},
    {"image", Tag::Img},
    {"img", Tag::Img},
    {"input", Tag::Input},
    {"isindex", Tag::Isindex},
    {"link", Tag::Link},
    {"math", Tag::Math},
    {"noembed", Tag::Noembed},
    {"noframes", Tag::Noframes},
    {"object", Tag::Object},
    {"plaintext", Tag::Plaintext},
    {"script", Tag::Script},
    {"select", Tag::Select},
    {"source", Tag::Source},
    {"style", Tag::Style},
    {"svg", Tag::Svg},
    {"table", Tag::Table},
    {"tbody", Tag::TablePart},
    {"td", Tag::TablePart},
    {"template", Tag::Template},
    {"textarea", Tag::Textarea},
    {"tfoot", Tag::TablePart},
    {"th", Tag::TablePart},
    {"thead", Tag::TablePart},
    {"title", Tag::Title},
    {"tr", Tag::TablePart},
    {"track", Tag::Track},
    {"video", Tag::Video},
    {"xmp", Tag::Xmp},
};

constexpr std::pair<std::string_view, Attr> kAttrs[] = {
    {"action", Attr::Action}, {"data", Attr::Data},   {"formaction", Attr::Formaction},
    {"href", Attr::Href},     {"id", Attr::Id},       {"name", Attr::Name},
    {"poster", Attr::Poster}, {"rel", Attr::Rel},     {"src", Attr::Src},
    {"srcset", Attr::Srcset}, {"style", Attr::Style},
};

// A name in a table sorted by name: only the entries of its first letter and length are
// compared (most tags of a page are in no table at all).
template <typename T, size_t N>
const T* lookUp(const std::pair<std::string_view, T> (&table)[N], std::string_view name) {
    static const auto letters = [&] {
        std::array<std::pair<quint8, quint8>, 26> range{};
        for (size_t i = N; i-- > 0;) {
            auto& r = range[size_t(table[i].first[0] - 'a')];
            r.first = quint8(i);
            r.second = r.second ? r.second : quint8(i + 1);
        }
        return range;
    }();
    if (name.empty() || name[0] < 'a' || name[0] > 'z') return nullptr;
    const auto [from, to] = letters[size_t(name[0] - 'a')];
    for (size_t i = from; i < to; ++i) {
        if (table[i].first.size() == name.size() && table[i].first == name) return &table[i].second;
    }
    return nullptr;
}

// A tag or attribute name as the tokenizer has it (ASCII lower case), when short enough to be
// one of ours.
bool lowerName(QStringView name, std::array<char, 12>& buffer, std::string_view& out) {
    if (name.size() > qsizetype(buffer.size())) return false;
    for (qsizetype i = 0; i < name.size(); ++i) {
        char16_t c = name[i].unicode();
        if (c >= 0x80) return false;
        buffer[size_t(i)] = char(c >= u'A' && c <= u'Z' ? c + 32 : c);
    }
    out = std::string_view(buffer.data(), size_t(name.size()));
    return true;
}

Tag tagOf(std::string_view name) {
    const Tag* t = lookUp(kTags, name);
    return t ? *t : Tag::Other;
}

// --- The quick tokenizer --------------------------------------------------------------------

bool isAlpha(QChar c) {
    const char16_t u = c.unicode();
    return (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z');
}

class QuickTokenizer {
public:
    QuickTokenizer(QStringView page, Markup& out) : m_page(page), m_out(out) {}
    bool run();

private:
    enum Result { Done, AtEnd, GiveUp };
    // A tag from its name (at) to after its '>'; AtEnd when the page ends inside it (the tag
    // is then no tag at all).
    Result tag(qsizetype& at, bool end);
    bool startTag(Tag tag, qsizetype& at);
    bool foreignTag(QStringView name, bool end, bool bare, bool selfClosing, qsizetype at);
    qsizetype endTagAt(qsizetype from, QLatin1String name) const;
    qsizetype scriptEnd(qsizetype from) const;
    qsizetype declarationEnd(qsizetype at) const;

    QStringView m_page;
    Markup& m_out;
    // What building the tree would change, followed just far enough to know when to give up.
    bool m_content = false; // anything but space, comments and <html> seen: a <head> now is
                            // ignored
    bool m_table = false, m_form = false;
    unsigned m_htmlAttrs = 0, m_bodyAttrs = 0; // a repeated <html> or <body> only adds
                                               // attributes the first did not have
    std::vector<QString> m_foreign;            // the SVG elements open, innermost last
};

bool QuickTokenizer::run() {
    const qsizetype n = m_page.size();
    qsizetype i = 0;
    while (i < n) {
        const qsizetype lt = m_page.indexOf(u'<', i);
        if (!m_content) {
            for (qsizetype k = i; k < (lt < 0 ? n : lt) && !m_content; ++k)
                m_content = !isHtmlSpace(m_page[k].unicode());
        }
        if (lt < 0 || lt + 1 >= n) break;
        i = lt + 1;
        const QChar c = m_page[i];
        if (c == u'!' && !m_foreign.empty() && m_page.mid(i + 1, 7) == u"[CDATA[") {
            const qsizetype end = m_page.indexOf(u"]]>", i + 8);
            i = end < 0 ? n : end + 3;
        } else if (c == u'!') {
            i = declarationEnd(i + 1);
        } else if (c == u'?') {
            const qsizetype gt = m_page.indexOf(u'>', i);
            i = gt < 0 ? n : gt + 1;
        } else if (c == u'/') {
            if (i + 1 >= n) break;
            if (isAlpha(m_page[i + 1])) {
                ++i;
                const Result r = tag(i, true);
                if (r != Done) return r == AtEnd;
            } else if (m_page[i + 1] == u'>') {
                i += 2;
            } else {
                const qsizetype gt = m_page.indexOf(u'>', i);
                i = gt < 0 ? n : gt + 1;
            }
        } else if (isAlpha(c)) {
            const Result r = tag(i, false);
            if (r != Done) return r == AtEnd;
        } else {
            m_content = true; // a '<' that is text
        }
    }
    return true;
}

// Comments end at "-->" or "--!>" ("<!-->" and "<!--->" too); doctypes and everything else
// after "<!" at the next '>', quoted or not.
qsizetype QuickTokenizer::declarationEnd(qsizetype at) const {
    const qsizetype n = m_page.size();
    if (m_page.mid(at, 2) == u"--") {
        const qsizetype body = at + 2;
        if (m_page.mid(body, 1) == u">") return body + 1;
        if (m_page.mid(body, 2) == u"->") return body + 2;
        for (qsizetype d = m_page.indexOf(u"--", body); d >= 0; d = m_page.indexOf(u"--", d + 1)) {
            if (m_page.mid(d + 2, 1) == u">") return d + 3;
            if (m_page.mid(d + 2, 2) == u"!>") return d + 4;
        }
        return n;
    }
    const qsizetype gt = m_page.indexOf(u'>', at);
    return gt < 0 ? n : gt + 1;
}

QuickTokenizer::Result QuickTokenizer::tag(qsizetype& at, bool end) {
    const qsizetype n = m_page.size();
    const QChar* s = m_page.data();
    auto space = [&](qsizetype k) { return isHtmlSpace(s[k].unicode()); };
    qsizetype i = at;
    while (i < n && !space(i) && s[i] != u'/' && s[i] != u'>')
        ++i;
    std::array<char, 12> buffer;
    std::string_view name;
    const QStringView rawName = m_page.mid(at, i - at);
    const qsizetype nameEnd = i;
    const Tag tagName = lowerName(rawName, buffer, name) ? tagOf(name) : Tag::Other;
    const bool foreign = !m_foreign.empty() || (tagName == Tag::Svg && !end);
    const qsizetype firstAttribute = qsizetype(m_out.attributes.size());
    unsigned seen = 0;
    bool closed = false, selfClosing = false, xlink = false;
    while (!closed) {
        while (i < n && space(i))
            ++i;
        if (i >= n) break;
        if (s[i] == u'>') {
            closed = true;
            break;
        }
        if (s[i] == u'/') { // a self-closing mark, or a stray slash before an attribute
            if (++i < n && s[i] == u'>') closed = selfClosing = true;
            continue;
        }
        const qsizetype nameStart = i++; // a first '=' belongs to the name
        while (i < n && !space(i) && s[i] != u'/' && s[i] != u'>' && s[i] != u'=')
            ++i;
        const QStringView attrName = m_page.mid(nameStart, i - nameStart);
        while (i < n && space(i))
            ++i;
        qsizetype valueStart = i, valueEnd = i;
        if (i < n && s[i] == u'=') {
            ++i;
            while (i < n && space(i))
                ++i;
            if (i >= n) break;
            if (s[i] == u'"' || s[i] == u'\'') {
                valueStart = i + 1;
                valueEnd = m_page.indexOf(s[i], valueStart);
                if (valueEnd < 0) break;
                i = valueEnd + 1;
            } else {
                valueStart = i;
                while (i < n && !space(i) && s[i] != u'>')
                    ++i;
                valueEnd = i;
            }
        }
        if (end) continue; // an end tag's attributes count for nothing
        std::string_view lower;
        const Attr* attr = lowerName(attrName, buffer, lower) ? lookUp(kAttrs, lower) : nullptr;
        // SVG's xlink:href is an href (and beside one, a second href: left to the parser).
        static constexpr Attr href = Attr::Href;
        const bool isXlink = foreign && !attr && lower == "xlink:href";
        if (isXlink) attr = &href;
        if (!attr) continue;
        const unsigned bit = 1u << unsigned(*attr);
        if (foreign && *attr == Attr::Href && (isXlink ? (seen & bit) != 0 : xlink)) return GiveUp;
        xlink = xlink || isXlink;
        if (seen & bit) continue; // the first of two attributes of one name wins
        seen |= bit;
        if (tagName == Tag::Html || tagName == Tag::Body) {
            unsigned& merged = tagName == Tag::Html ? m_htmlAttrs : m_bodyAttrs;
            if (merged & bit) continue;
            merged |= bit;
        }
        std::optional<SourcedText> value =
            decodeAttributeValue(m_page.mid(valueStart, valueEnd - valueStart), valueStart);
        if (!value) return GiveUp;
        m_out.attributes.push_back({*attr, std::move(*value), true});
    }
    if (!closed) {
        m_out.attributes.resize(size_t(firstAttribute));
        return AtEnd;
    }
    at = i + 1;
    const qsizetype count = qsizetype(m_out.attributes.size()) - firstAttribute;
    if (count > 0) m_out.elements.push_back({tagName, foreign, firstAttribute, count});
    const bool bare = i == nameEnd; // "</g>", not "</g >"
    if (!m_foreign.empty()) return foreignTag(rawName, end, bare, selfClosing, at) ? Done : GiveUp;
    if (tagName == Tag::Svg && !end) {
        m_content = true;
        if (!selfClosing) m_foreign.push_back(QStringLiteral("svg"));
        return Done;
    }
    if (end) {
        m_content = true;
        if (tagName == Tag::Table) m_table = false;
        if (tagName == Tag::Form) m_form = false;
        return Done;
    }
    return startTag(tagName, at) ? Done : GiveUp;
}

// What a start tag does to the tokenizing that follows; false where the tree decides.
bool QuickTokenizer::startTag(Tag tag, qsizetype& at) {
    switch (tag) {
    case Tag::Math:
    case Tag::Select:
    case Tag::Frameset:
    case Tag::Frame:
    case Tag::Plaintext:
    case Tag::Template:
    case Tag::Isindex:
        return false;
    case Tag::Html:
        return true;
    case Tag::Head:
        if (m_content) return false;
        break;
    case Tag::Table:
        if (m_table) return false; // nested or implicitly closed tables
        m_table = true;
        break;
    case Tag::TablePart:
        if (!m_table) return false; // ignored outside a table
        break;
    case Tag::Form:
        if (m_form) return false; // a form inside a form is ignored
        m_form = true;
        break;
    default:
        break;
    }
    m_content = true;
    // Raw text and escapable raw text: nothing in them is markup up to their end tag.
    static constexpr std::pair<Tag, const char*> rawText[] = {
        {Tag::Style, "style"},     {Tag::Xmp, "xmp"},           {Tag::Iframe, "iframe"},
        {Tag::Noembed, "noembed"}, {Tag::Noframes, "noframes"}, {Tag::Textarea, "textarea"},
        {Tag::Title, "title"}};
    if (tag == Tag::Script) at = scriptEnd(at);
    for (const auto& [t, name] : rawText) {
        if (t != tag) continue;
        const qsizetype end = endTagAt(at, QLatin1String(name));
        if (tag == Tag::Style)
            m_out.styleSheets.push_back(
                {Attr::Style, decodeRawText(m_page.mid(at, end - at), at), true});
        at = end;
    }
    return true;
}

// Inside SVG, tags build a tree of their own, without raw text: followed while every element
// is closed by its own end tag, and given up on at what would leave SVG for HTML (a <p>, a
// <div>, ...) or let HTML in (<foreignObject>, a <title> or <desc> holding more than text),
// and at <style> and <script>, whose text SVG reads otherwise.
bool QuickTokenizer::foreignTag(QStringView rawName, bool end, bool bare, bool selfClosing,
                                qsizetype at) {
    QString name = rawName.toString();
    for (QChar& c : name) {
        if (c >= u'A' && c <= u'Z') c = QChar(c.unicode() + 32);
    }
    if (end) {
        // Gumbo does not see an end tag with anything after its name here.
        if (!bare || name != m_foreign.back()) return false;
        m_foreign.pop_back();
        return true;
    }
    static const QStringList leaving = {
        "b",     "big",     "blockquote", "body", "br",     "center", "code",   "dd",
        "div",   "dl",      "dt",         "em",   "embed",  "font",   "h1",     "h2",
        "h3",    "h4",      "h5",         "h6",   "head",   "hr",     "i",      "img",
        "li",    "listing", "menu",       "meta", "nobr",   "ol",     "p",      "pre",
        "ruby",  "s",       "small",      "span", "strike", "strong", "sub",    "sup",
        "table", "tt",      "u",          "ul",   "var",    "style",  "script", "foreignobject",
        "math",  "html"};
    if (leaving.contains(name)) return false;
    if (selfClosing) return true;
    if (name == u"title" || name == u"desc") {
        const qsizetype lt = m_page.indexOf(u'<', at);
        const QLatin1String own(name == u"title" ? "title" : "desc");
        if (lt < 0 || endTagAt(lt, own) != lt) return false;
    }
    m_foreign.push_back(name);
    return true;
}

// Where "</name" followed by a space, '/' or '>' starts, or the end of the page.
qsizetype QuickTokenizer::endTagAt(qsizetype from, QLatin1String name) const {
    const qsizetype n = m_page.size();
    for (qsizetype lt = m_page.indexOf(u"</", from); lt >= 0; lt = m_page.indexOf(u"</", lt + 1)) {
        const qsizetype after = lt + 2 + name.size();
        if (after < n && m_page.mid(lt + 2, name.size()).compare(name, Qt::CaseInsensitive) == 0 &&
            (isHtmlSpace(m_page[after].unicode()) || m_page[after] == u'/' ||
             m_page[after] == u'>'))
            return lt;
    }
    return n;
}

// A script ends at its first "</script"; but after "<!--", a "<script" hides the next
// "</script" up to "-->".
qsizetype QuickTokenizer::scriptEnd(qsizetype from) const {
    const QLatin1String script("script");
    const qsizetype n = m_page.size();
    auto nameAt = [&](qsizetype k) {
        const qsizetype after = k + script.size();
        return after < n &&
               m_page.mid(k, script.size()).compare(script, Qt::CaseInsensitive) == 0 &&
               (isHtmlSpace(m_page[after].unicode()) || m_page[after] == u'/' ||
                m_page[after] == u'>');
    };
    enum { Plain, Escaped, DoubleEscaped } state = Plain;
    for (qsizetype i = from; i < n; ++i) {
        const QChar c = m_page[i];
        if (c == u'<') {
            if (state != DoubleEscaped && m_page.mid(i + 1, 1) == u"/" && nameAt(i + 2)) return i;
            if (state == Plain && m_page.mid(i + 1, 3) == u"!--") {
                state = Escaped;
                i += 1; // "<!-->" is at once opened and closed
            } else if (state == Escaped && nameAt(i + 1)) {
                state = DoubleEscaped;
            } else if (state == DoubleEscaped && m_page.mid(i + 1, 1) == u"/" && nameAt(i + 2)) {
                state = Escaped;
            }
        } else if (c == u'-' && state != Plain && m_page.mid(i, 3) == u"-->") {
            state = Plain;
        }
    }
    return n;
}

// --- The full parse ---------------------------------------------------------------------------

// UTF-8 for gumbo, and where each byte came from in the page. (A lone surrogate is a '?'
// there, which the page does not hold: its attribute then stays as it is.)
struct Utf8Page {
    QByteArray bytes;
    std::vector<qsizetype> from; // empty: all ASCII, a byte per character
    bool placed = true;          // false: the bytes cannot be traced back
    qsizetype at(size_t byte) const { return from.empty() ? qsizetype(byte) : from[byte]; }
};

Utf8Page toUtf8(QStringView page) {
    Utf8Page out;
    out.bytes = page.toUtf8();
    if (out.bytes.size() == page.size()) return out;
    out.from.reserve(size_t(out.bytes.size()) + 1);
    for (qsizetype i = 0; i < page.size(); ++i) {
        const char16_t c = page[i].unicode();
        const qsizetype start = i;
        size_t length = c < 0x80 || QChar::isSurrogate(c) ? 1 : c < 0x800 ? 2 : 3;
        if (QChar::isHighSurrogate(c) && i + 1 < page.size() && page[i + 1].isLowSurrogate()) {
            length = 4;
            ++i;
        }
        out.from.insert(out.from.end(), length, start);
    }
    out.from.push_back(page.size());
    out.placed = out.from.size() == size_t(out.bytes.size()) + 1;
    return out;
}

// Whether gumbo's text is ours: gumbo reads control characters and non-characters as U+FFFD
// (the HTML standard keeps them); ours keeps them, as browsers do.
bool sameText(QStringView ours, QStringView gumbos) {
    auto next = [](QStringView s, qsizetype& i) -> char32_t {
        const char16_t c = s[i++].unicode();
        if (QChar::isHighSurrogate(c) && i < s.size() && s[i].isLowSurrogate())
            return QChar::surrogateToUcs4(c, s[i++].unicode());
        return c;
    };
    qsizetype i = 0, j = 0;
    while (i < ours.size() && j < gumbos.size()) {
        const char32_t a = next(ours, i), b = next(gumbos, j);
        const bool replaced = (a >= 0x1 && a <= 0x8) || a == 0xB || (a >= 0xE && a <= 0x1F) ||
                              (a >= 0x7F && a <= 0x9F) || (a >= 0xFDD0 && a <= 0xFDEF) ||
                              (a & 0xFFFE) == 0xFFFE;
        if (a != b && !(replaced && b == 0xFFFD)) return false;
    }
    return i == ours.size() && j == gumbos.size();
}

class GumboWalk {
public:
    GumboWalk(QStringView page, const Utf8Page& utf8, Markup& out)
        : m_page(page), m_utf8(utf8), m_out(out) {}

    void node(const GumboNode* node) {
        const bool element = node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
        const GumboVector& children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        if (node->type != GUMBO_NODE_DOCUMENT && !element) return;
        if (element && !(node->parse_flags & GUMBO_INSERTION_FROM_ISINDEX)) this->element(node);
        for (unsigned i = 0; i < children.length; ++i)
            this->node(static_cast<const GumboNode*>(children.data[i]));
    }

private:
    // Where a piece of the UTF-8 stands in the page, when it lies in it.
    bool place(const char* data, size_t length, qsizetype& start, qsizetype& end) const {
        const char* base = m_utf8.bytes.constData();
        if (!m_utf8.placed || !data || data < base || data + length > base + m_utf8.bytes.size())
            return false;
        start = m_utf8.at(size_t(data - base));
        end = m_utf8.at(size_t(data - base) + length);
        return true;
    }

    MarkupAttribute decoded(Attr name, const char* value, const char* raw, size_t rawLength,
                            bool rawText) const {
        MarkupAttribute a{name, {QString::fromUtf8(value), -1, {}}, false};
        qsizetype start = 0, end = 0;
        if (!place(raw, rawLength, start, end)) return a;
        const QStringView text = m_page.mid(start, end - start);
        std::optional<SourcedText> mine =
            rawText ? decodeRawText(text, start) : decodeAttributeValue(text, start);
        if (mine && sameText(mine->text, a.value.text)) {
            a.value = std::move(*mine);
            a.placed = true;
        } else {
            a.value.start = start;
        }
        return a;
    }

    void element(const GumboNode* node) {
        const GumboElement& e = node->v.element;
        const Tag tag =
            e.tag == GUMBO_TAG_UNKNOWN ? Tag::Other : tagOf(gumbo_normalized_tagname(e.tag));
        const bool foreign = e.tag_namespace != GUMBO_NAMESPACE_HTML;
        const qsizetype first = qsizetype(m_out.attributes.size());
        for (unsigned i = 0; i < e.attributes.length; ++i) {
            const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
            const Attr* name = lookUp(kAttrs, a->name);
            if (!name) continue;
            // The value starts after the '=' and the spaces after it: gumbo has an unquoted
            // value that opens with a reference ("&#47;b") start after the reference, and gives
            // an attribute without a value its name.
            const char* base = m_utf8.bytes.constData();
            const char* limit = base + m_utf8.bytes.size();
            const char* start = base + std::min<size_t>(a->name_end.offset, limit - base);
            const char* end = a->original_value.data + a->original_value.length;
            if (!a->original_value.data || end <= start || end > limit) end = start;
            while (start < end && *start != '=')
                ++start;
            if (start < end) ++start;
            while (start < end && isHtmlSpace(char16_t(*start)))
                ++start;
            if (start < end && (*start == '"' || *start == '\'')) {
                ++start;
                end = std::max(start, end - 1);
            }
            const char* raw = start;
            const size_t length = size_t(end - start);
            m_out.attributes.push_back(decoded(*name, a->value, raw, length, false));
        }
        const qsizetype count = qsizetype(m_out.attributes.size()) - first;
        if (count > 0) m_out.elements.push_back({tag, foreign, first, count});
        if (tag != Tag::Style) return;
        for (unsigned i = 0; i < e.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(e.children.data[i]);
            if (child->type != GUMBO_NODE_TEXT && child->type != GUMBO_NODE_WHITESPACE &&
                child->type != GUMBO_NODE_CDATA)
                continue;
            const GumboText& t = child->v.text;
            const char* raw = t.original_text.data;
            size_t length = t.original_text.length;
            if (child->type == GUMBO_NODE_CDATA && length >= 12) { // <![CDATA[ ... ]]>
                raw += 9;
                length -= 12;
            }
            m_out.styleSheets.push_back(decoded(Attr::Style, t.text, raw, length, !foreign));
        }
    }

    QStringView m_page;
    const Utf8Page& m_utf8;
    Markup& m_out;
};

// Gumbo's memory, all of it given back when the parse is done: gumbo leaks some of what it
// takes on broken markup, and taking memory this way costs less.
class GumboArena {
public:
    GumboArena() = default;
    GumboArena(const GumboArena&) = delete;
    GumboArena& operator=(const GumboArena&) = delete;
    ~GumboArena() {
        for (void* chunk : m_chunks)
            std::free(chunk);
    }
    static void* allocate(void* self, size_t size) {
        auto* a = static_cast<GumboArena*>(self);
        size = (size + 15) & ~size_t(15);
        if (size > a->m_left) {
            const size_t chunk = std::max<size_t>(size, 64 * 1024);
            void* memory = std::malloc(chunk);
            if (!memory) std::abort(); // gumbo cannot go on without it
            a->m_chunks.push_back(memory);
            a->m_at = static_cast<char*>(memory);
            a->m_left = chunk;
        }
        void* out = a->m_at;
        a->m_at += size;
        a->m_left -= size;
        return out;
    }
    static void release(void*, void*) {}

private:
    std::vector<void*> m_chunks;
    char* m_at = nullptr;
    size_t m_left = 0;
};

} // namespace

bool quickMarkup(QStringView page, Markup& out) {
    out.attributes.reserve(64);
    out.elements.reserve(64);
    return QuickTokenizer(page, out).run();
}

Markup parsedMarkup(QStringView page) {
    const Utf8Page utf8 = toUtf8(page);
    // Its errors are not wanted, but gumbo must keep them: when it keeps none (max_errors 0),
    // the attribute after a repeated one takes the repeated one's name too.
    GumboArena arena;
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboArena::allocate;
    options.deallocator = &GumboArena::release;
    options.userdata = &arena;
    const GumboOutput* output =
        gumbo_parse_with_options(&options, utf8.bytes.constData(), size_t(utf8.bytes.size()));
    Markup markup;
    GumboWalk(page, utf8, markup).node(output->document);
    return markup;
}

} // namespace quillane
