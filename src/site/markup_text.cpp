// SPDX-License-Identifier: GPL-3.0-or-later
#include "site/markup_text.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quillane {

namespace {

bool isAsciiAlpha(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}
bool isAsciiDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
bool isAsciiAlnum(char16_t c) {
    return isAsciiAlpha(c) || isAsciiDigit(c);
}
int hexValue(char16_t c) {
    if (isAsciiDigit(c)) return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The named references a browser also takes without their semicolon, sorted.
constexpr std::array<std::string_view, 106> kLegacyNames = {
    "AElig",  "AMP",    "Aacute", "Acirc",  "Agrave", "Aring",  "Atilde", "Auml",   "COPY",
    "Ccedil", "ETH",    "Eacute", "Ecirc",  "Egrave", "Euml",   "GT",     "Iacute", "Icirc",
    "Igrave", "Iuml",   "LT",     "Ntilde", "Oacute", "Ocirc",  "Ograve", "Oslash", "Otilde",
    "Ouml",   "QUOT",   "REG",    "THORN",  "Uacute", "Ucirc",  "Ugrave", "Uuml",   "Yacute",
    "aacute", "acirc",  "acute",  "aelig",  "agrave", "amp",    "aring",  "atilde", "auml",
    "brvbar", "ccedil", "cedil",  "cent",   "copy",   "curren", "deg",    "divide", "eacute",
    "ecirc",  "egrave", "eth",    "euml",   "frac12", "frac14", "frac34", "gt",     "iacute",
    "icirc",  "iexcl",  "igrave", "iquest", "iuml",   "laquo",  "lt",     "macr",   "micro",
    "middot", "nbsp",   "not",    "ntilde", "oacute", "ocirc",  "ograve", "ordf",   "ordm",
    "oslash", "otilde", "ouml",   "para",   "plusmn", "pound",  "quot",   "raquo",  "reg",
    "sect",   "shy",    "sup1",   "sup2",   "sup3",   "szlig",  "thorn",  "times",  "uacute",
    "ucirc",  "ugrave", "uml",    "uuml",   "yacute", "yen",    "yuml"};

std::string asciiName(QStringView name) {
    std::string out;
    for (QChar c : name)
        out += char(c.unicode());
    return out;
}

bool isLegacyName(const std::string& name) {
    return std::binary_search(kLegacyNames.begin(), kLegacyNames.end(), name);
}

// The character of the few references markup commonly holds, 0 for any other name.
char16_t knownReference(const std::string& name, bool semicolon) {
    static constexpr std::pair<std::string_view, char16_t> known[] = {
        {"amp", u'&'}, {"AMP", u'&'},  {"lt", u'<'},   {"LT", u'<'},   {"gt", u'>'},
        {"GT", u'>'},  {"quot", u'"'}, {"QUOT", u'"'}, {"apos", u'\''}};
    for (const auto& [n, c] : known) {
        if (n == name) return semicolon || c != u'\'' ? c : 0;
    }
    return 0;
}

} // namespace

std::optional<SourcedText> decodeAttributeValue(QStringView raw, qsizetype rawStart) {
    SourcedText out;
    out.start = rawStart;
    const qsizetype n = raw.size();
    if (std::none_of(raw.begin(), raw.end(),
                     [](QChar c) { return c == u'&' || c == u'\r' || c == u'\0'; })) {
        out.text = QString::fromRawData(raw.data(), raw.size());
        return out;
    }
    out.text.reserve(n);
    out.raw.reserve(size_t(n) + 1);
    auto put = [&](char32_t cp, qsizetype from) {
        for (char16_t unit : QChar::fromUcs4(cp)) {
            out.text.append(QChar(unit));
            out.raw.push_back(rawStart + from);
        }
    };
    for (qsizetype i = 0; i < n;) {
        const char16_t c = raw[i].unicode();
        if (c == u'\r') {
            put(u'\n', i);
            i += i + 1 < n && raw[i + 1] == u'\n' ? 2 : 1;
            continue;
        }
        if (c != u'&') {
            put(c == 0 ? char32_t(0xFFFD) : char32_t(c), i);
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        if (j < n && raw[j] == u'#') {
            ++j;
            const bool hex = j < n && (raw[j] == u'x' || raw[j] == u'X');
            if (hex) ++j;
            const qsizetype digits = j;
            char32_t value = 0;
            for (; j < n; ++j) {
                const int d = hex ? hexValue(raw[j].unicode())
                                  : (isAsciiDigit(raw[j].unicode()) ? raw[j].unicode() - u'0' : -1);
                if (d < 0) break;
                value = std::min<char32_t>(value * (hex ? 16 : 10) + char32_t(d), 0x110000);
            }
            if (j == digits) { // "&#" alone is text
                put(u'&', i);
                ++i;
                continue;
            }
            if (j < n && raw[j] == u';') ++j;
            // Numbers 0x80-0x9F stand for Windows-1252 characters, and parsers differ over
            // numbers past Unicode: left to the full parser.
            if ((value >= 0x80 && value <= 0x9F) || value > 0x10FFFF) return std::nullopt;
            if (value == 0 || (value >= 0xD800 && value <= 0xDFFF)) value = 0xFFFD;
            put(value, i);
            i = j;
            continue;
        }
        qsizetype end = j;
        while (end < n && isAsciiAlnum(raw[end].unicode()))
            ++end;
        const std::string name = asciiName(raw.mid(j, end - j));
        const bool semicolon = end < n && raw[end] == u';';
        if (semicolon || (isLegacyName(name) && (end >= n || raw[end] != u'='))) {
            const char16_t known = knownReference(name, semicolon);
            if (!known) return std::nullopt;
            put(known, i);
            i = end + (semicolon ? 1 : 0);
            continue;
        }
        // Not a reference: "&lang=en" in a query, "& " in text.
        put(u'&', i);
        ++i;
    }
    out.raw.push_back(rawStart + n);
    return out;
}

SourcedText decodeRawText(QStringView raw, qsizetype rawStart) {
    SourcedText out;
    out.start = rawStart;
    if (!raw.contains(u'\r') && !raw.contains(QChar(0))) {
        out.text = QString::fromRawData(raw.data(), raw.size());
        return out;
    }
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const char16_t c = raw[i].unicode();
        out.text.append(c == u'\r' ? QChar(u'\n') : c == 0 ? QChar(0xFFFD) : QChar(c));
        out.raw.push_back(rawStart + i);
        if (c == u'\r' && i + 1 < raw.size() && raw[i + 1] == u'\n') ++i;
    }
    out.raw.push_back(rawStart + raw.size());
    return out;
}

UrlSpan urlOfValue(QStringView value) {
    qsizetype start = 0, end = value.size();
    while (start < end && isHtmlSpace(value[start].unicode()))
        ++start;
    while (end > start && isHtmlSpace(value[end - 1].unicode()))
        --end;
    return {start, end};
}

std::vector<UrlSpan> srcsetUrls(QStringView value) {
    std::vector<UrlSpan> urls;
    const qsizetype n = value.size();
    qsizetype i = 0;
    while (true) {
        while (i < n && (isHtmlSpace(value[i].unicode()) || value[i] == u','))
            ++i;
        if (i >= n) break;
        const qsizetype start = i;
        while (i < n && !isHtmlSpace(value[i].unicode()))
            ++i;
        qsizetype end = i;
        if (value[end - 1] == u',') {
            while (end > start && value[end - 1] == u',')
                --end;
        } else {
            // The descriptors, up to a comma outside parentheses.
            bool inParens = false;
            for (; i < n; ++i) {
                const QChar c = value[i];
                if (inParens) {
                    inParens = c != u')';
                } else if (c == u'(') {
                    inParens = true;
                } else if (c == u',') {
                    ++i;
                    break;
                }
            }
        }
        if (end > start) urls.push_back({start, end});
    }
    return urls;
}

namespace {

bool startsWithNoCase(QStringView text, qsizetype at, QLatin1String word) {
    return text.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

bool isCssNameChar(char16_t c) {
    return isAsciiAlnum(c) || c == u'-' || c == u'_' || c == u'\\' || c >= 0x80;
}

// The end of the string that starts at `at` (after its closing quote), and whether it holds
// an escape.
qsizetype cssStringEnd(QStringView css, qsizetype at, bool& escaped) {
    const QChar quote = css[at];
    escaped = false;
    for (qsizetype i = at + 1; i < css.size(); ++i) {
        if (css[i] == u'\\') {
            escaped = true;
            ++i;
        } else if (css[i] == quote) {
            return i + 1;
        } else if (css[i] == u'\n') {
            return i; // a bad string ends at the line
        }
    }
    return css.size();
}

} // namespace

std::vector<UrlSpan> cssUrls(QStringView css) {
    std::vector<UrlSpan> urls;
    const qsizetype n = css.size();
    // A quoted URL: recorded when it is whole and holds no escape.
    auto quoted = [&](qsizetype at) {
        bool escaped = false;
        const qsizetype end = cssStringEnd(css, at, escaped);
        if (!escaped && end > at + 1 && css[end - 1] == css[at]) urls.push_back({at + 1, end - 1});
        return end;
    };
    auto skipSpace = [&](qsizetype i) {
        while (i < n && isHtmlSpace(css[i].unicode()))
            ++i;
        return i;
    };
    for (qsizetype i = 0; i < n;) {
        const QChar c = css[i];
        if (c == u'/' && i + 1 < n && css[i + 1] == u'*') {
            const qsizetype end = css.indexOf(u"*/", i + 2);
            i = end < 0 ? n : end + 2;
        } else if (c == u'"' || c == u'\'') {
            bool escaped = false;
            i = cssStringEnd(css, i, escaped);
        } else if (c == u'\\') {
            i += 2;
        } else if ((c == u'u' || c == u'U') && startsWithNoCase(css, i, QLatin1String("url(")) &&
                   (i == 0 || !isCssNameChar(css[i - 1].unicode()))) {
            qsizetype j = skipSpace(i + 4);
            if (j < n && (css[j] == u'"' || css[j] == u'\'')) {
                i = quoted(j);
                continue;
            }
            qsizetype k = j;
            bool bad = false;
            while (k < n && css[k] != u')' && !isHtmlSpace(css[k].unicode())) {
                const char16_t u = css[k].unicode();
                bad = bad || u == u'"' || u == u'\'' || u == u'(' || u == u'\\' || u < 0x20;
                ++k;
            }
            const qsizetype close = skipSpace(k);
            if (!bad && k > j && (close >= n || css[close] == u')')) urls.push_back({j, k});
            i = k;
        } else if (c == u'@' && startsWithNoCase(css, i, QLatin1String("@import"))) {
            const qsizetype j = skipSpace(i + 7);
            i = j < n && (css[j] == u'"' || css[j] == u'\'') ? quoted(j) : i + 7;
        } else {
            ++i;
        }
    }
    return urls;
}

bool isExternalUrl(QStringView url) {
    if (url.size() >= 2 && (url[0] == u'/' || url[0] == u'\\') &&
        (url[1] == u'/' || url[1] == u'\\'))
        return true;
    if (url.isEmpty() || !isAsciiAlpha(url[0].unicode())) return false;
    for (qsizetype i = 1; i < url.size(); ++i) {
        const char16_t c = url[i].unicode();
        if (c == u':') return true;
        if (!isAsciiAlnum(c) && c != u'+' && c != u'-' && c != u'.') return false;
    }
    return false;
}

bool isRootRelativeUrl(QStringView url) {
    return url.startsWith(u'/') && !isExternalUrl(url);
}

RelativeUrl relativeUrl(QStringView url, const QStringList& folders) {
    qsizetype pathEnd = url.size();
    for (qsizetype i = 0; i < url.size(); ++i) {
        if (url[i] == u'?' || url[i] == u'#') {
            pathEnd = i;
            break;
        }
    }
    // The folders the URL shares with the page are left out; a name that could mean another
    // folder than it reads (encoded, dotted, empty) ends the sharing.
    qsizetype pos = 1;
    qsizetype shared = 0;
    while (shared < folders.size()) {
        const qsizetype slash = url.indexOf(u'/', pos);
        if (slash < 0 || slash >= pathEnd) break;
        const QStringView name = url.mid(pos, slash - pos);
        if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'%') ||
            name.contains(u'\\') || name != folders[shared])
            break;
        ++shared;
        pos = slash + 1;
    }
    const QStringView rest = url.mid(pos, pathEnd - pos);
    QString up = QStringLiteral("../").repeated(folders.size() - shared);
    // "a:b.html" would read as a scheme, "/x" as the root again.
    const qsizetype firstSlash = rest.indexOf(u'/');
    if (up.isEmpty() &&
        (firstSlash == 0 || (firstSlash < 0 ? rest : rest.left(firstSlash)).contains(u':')))
        up = QStringLiteral("./");
    RelativeUrl out;
    out.edits.push_back({0, pos, up});
    out.url = up + rest.toString();
    if (url[pathEnd - 1] == u'/') {
        out.edits.push_back({pathEnd, pathEnd, QStringLiteral("index.html")});
        out.url += QStringLiteral("index.html");
    }
    out.url += url.mid(pathEnd);
    return out;
}

} // namespace quillane
