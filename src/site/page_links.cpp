// SPDX-License-Identifier: GPL-3.0-or-later
#include "site/page_links.h"

#include "formats/text_codec.h"
#include "site/markup_scan.h"

#include <algorithm>

namespace quillane {

namespace {

bool hasToken(QStringView list, QLatin1String token) {
    for (qsizetype at = 0; at < list.size();) {
        qsizetype end = at;
        while (end < list.size() && !isHtmlSpace(list[end].unicode()))
            ++end;
        if (list.mid(at, end - at).compare(token, Qt::CaseInsensitive) == 0) return true;
        at = end + 1;
    }
    return false;
}

LinkKind kindOf(Tag tag, Attr attr, QStringView rel) {
    switch (attr) {
    case Attr::Href:
        if (tag == Tag::A || tag == Tag::Area) return LinkKind::Link;
        if (tag == Tag::Link && hasToken(rel, QLatin1String("stylesheet")))
            return LinkKind::Stylesheet;
        return LinkKind::Other;
    case Attr::Src:
        switch (tag) {
        case Tag::Script:
            return LinkKind::Script;
        case Tag::Img:
        case Tag::Input:
            return LinkKind::Image;
        case Tag::Video:
        case Tag::Audio:
        case Tag::Source:
        case Tag::Track:
            return LinkKind::Media;
        case Tag::Iframe:
        case Tag::Frame:
            return LinkKind::Frame;
        case Tag::Embed:
            return LinkKind::Object;
        default:
            return LinkKind::Other;
        }
    case Attr::Poster:
        return LinkKind::Image;
    case Attr::Data:
        return LinkKind::Object;
    case Attr::Action:
    case Attr::Formaction:
        return LinkKind::Form;
    case Attr::Srcset:
        return LinkKind::ImageCandidate;
    default:
        return LinkKind::StyleUrl;
    }
}

struct Edit {
    qsizetype start, end;
    QString text;
};

// The URLs of one page as the markup gives them, then put in the page's order.
class Collector {
public:
    Collector(const QString& pagePath, SiteLinks links) {
        m_rewrite = links == SiteLinks::Relative;
        m_folders = pagePath.split(u'/');
        m_folders.removeLast();
    }

    void element(const MarkupElement& e, const std::vector<MarkupAttribute>& all) {
        const MarkupAttribute* attrs = all.data() + e.first;
        QStringView rel;
        for (qsizetype i = 0; i < e.count; ++i)
            rel = attrs[i].name == Attr::Rel ? QStringView(attrs[i].value.text) : rel;
        for (qsizetype i = 0; i < e.count; ++i) {
            const MarkupAttribute& a = attrs[i];
            if (a.value.start < 0) continue; // made up by the parser, not in the page
            switch (a.name) {
            case Attr::Id:
                target(a.value.text);
                break;
            case Attr::Name:
                if (e.tag == Tag::A) target(a.value.text);
                break;
            case Attr::Rel:
                break;
            case Attr::Style:
                for (const UrlSpan& span : cssUrls(a.value.text))
                    url(a, span, LinkKind::StyleUrl);
                break;
            case Attr::Srcset:
                for (const UrlSpan& span : srcsetUrls(a.value.text))
                    url(a, span, LinkKind::ImageCandidate);
                break;
            case Attr::Href:
                if (e.tag == Tag::Base && !e.foreign) {
                    if (m_baseAt < 0 || a.value.start < m_baseAt) {
                        const UrlSpan span = urlOfValue(a.value.text);
                        m_base = QStringView(a.value.text)
                                     .mid(span.start, span.end - span.start)
                                     .toString();
                        m_baseAt = a.value.start;
                    }
                    break;
                }
                [[fallthrough]];
            default:
                url(a, urlOfValue(a.value.text), kindOf(e.tag, a.name, rel));
            }
        }
    }

    void styleSheet(const MarkupAttribute& a) {
        for (const UrlSpan& span : cssUrls(a.value.text))
            url(a, span, LinkKind::StyleUrl);
    }

    bool hasBase() const { return !m_base.isEmpty(); }

    ScannedPage finish(const QString& page) {
        ScannedPage out;
        std::stable_sort(m_found.begin(), m_found.end(),
                         [](const Found& a, const Found& b) { return a.at < b.at; });
        // A parser that clones an element (to mend misnested markup) reports it twice.
        m_found.erase(std::unique(m_found.begin(), m_found.end(),
                                  [](const Found& a, const Found& b) { return a.at == b.at; }),
                      m_found.end());
        out.links.links.reserve(m_found.size());
        for (Found& f : m_found)
            out.links.links.push_back({f.kind, std::move(f.url)});
        m_targets.sort();
        m_targets.erase(std::unique(m_targets.begin(), m_targets.end()), m_targets.end());
        out.links.targets = std::move(m_targets);
        out.links.base = m_base;
        if (m_edits.empty()) {
            out.page = page;
            return out;
        }
        std::sort(m_edits.begin(), m_edits.end(), [](const Edit& a, const Edit& b) {
            return a.start < b.start || (a.start == b.start && a.end < b.end);
        });
        m_edits.erase(std::unique(m_edits.begin(), m_edits.end(),
                                  [](const Edit& a, const Edit& b) {
                                      return a.start == b.start && a.end == b.end;
                                  }),
                      m_edits.end());
        out.page.reserve(page.size() + 16 * qsizetype(m_edits.size()));
        qsizetype from = 0;
        for (const Edit& e : m_edits) {
            out.page.append(QStringView(page).mid(from, e.start - from)).append(e.text);
            from = e.end;
        }
        out.page.append(QStringView(page).mid(from));
        return out;
    }

private:
    struct Found {
        std::pair<qsizetype, qsizetype> at; // the attribute's place, then the URL's in it
        LinkKind kind;
        QString url;
    };

    void target(QStringView name) {
        if (!name.isEmpty()) m_targets.append(name.toString()); // a copy: names outlive the page
    }

    void url(const MarkupAttribute& a, UrlSpan span, LinkKind kind) {
        const QStringView text = QStringView(a.value.text).mid(span.start, span.end - span.start);
        if (text.isEmpty() || isExternalUrl(text)) return;
        Found f{{a.value.start, span.start}, kind, {}};
        if (m_rewrite && a.placed && isRootRelativeUrl(text)) {
            RelativeUrl relative = relativeUrl(text, m_folders);
            for (UrlEdit& e : relative.edits)
                m_edits.push_back({a.value.at(span.start + e.start), a.value.at(span.start + e.end),
                                   std::move(e.text)});
            f.url = std::move(relative.url);
        } else {
            f.url = text.toString(); // a copy: the text may point into the page
        }
        m_found.push_back(std::move(f));
    }

    bool m_rewrite;
    QStringList m_folders;
    std::vector<Found> m_found;
    std::vector<Edit> m_edits;
    QStringList m_targets;
    QString m_base;
    qsizetype m_baseAt = -1;
};

} // namespace

ScannedPage scanPage(const QString& page, const QString& pagePath, SiteLinks links,
                     MarkupReader reader) {
    Markup markup;
    if (reader == MarkupReader::Full || !quickMarkup(page, markup)) markup = parsedMarkup(page);
    auto collect = [&](SiteLinks how) {
        Collector collector(pagePath, how);
        for (const MarkupElement& e : markup.elements)
            collector.element(e, markup.attributes);
        for (const MarkupAttribute& sheet : markup.styleSheets)
            collector.styleSheet(sheet);
        return collector;
    };
    Collector collector = collect(links);
    // Under a <base> the URLs start from there, not from the page: they stay as they are.
    if (links == SiteLinks::Relative && collector.hasBase())
        collector = collect(SiteLinks::AsWritten);
    return collector.finish(page);
}

PageLinks pageLinks(const QByteArray& bytes, MarkupReader reader) {
    return scanPage(decodePage(bytes), QString(), SiteLinks::AsWritten, reader).links;
}

} // namespace quillane
