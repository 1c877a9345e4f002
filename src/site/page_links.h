// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The links of a built page: root-relative URLs written relative to the page, and every local
// URL and fragment target the page holds, for the link check; both from one reading of the
// page's markup. Only the characters of the URLs that change are touched: text, comments,
// scripts and every other character of the page stay as they were.

#include "site/site_file.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace quillane {

// What a local URL is for.
enum class LinkKind : quint8 {
    Link,           // <a href>, <area href>
    Stylesheet,     // <link rel="stylesheet" href>
    Script,         // <script src>
    Image,          // <img src>, <input src>, <video poster>
    ImageCandidate, // a URL of a srcset
    StyleUrl,       // url(...) or @import in a style attribute or a <style> element
    Form,           // <form action>, formaction
    Media,          // <video>, <audio>, <source>, <track> src
    Frame,          // <iframe src>, <frame src>
    Object,         // <object data>, <embed src>
    Other,          // any other href or src: <link rel="icon">, SVG
};

struct PageLink {
    LinkKind kind = LinkKind::Link;
    QString url; // as the page has it (after rewriting), character references decoded
    bool operator==(const PageLink&) const = default;
};

struct PageLinks {
    // Every URL that names no other site (no scheme, no "//host"), in the order of the page.
    std::vector<PageLink> links;
    // What a fragment can point at: every element's id, and the name of every <a>; sorted.
    QStringList targets;
    // The href of the page's <base>, which every relative URL then starts from; empty: none.
    QString base;
    bool operator==(const PageLinks&) const = default;
};

struct ScannedPage {
    QString page; // the page with its root-relative links made relative; as it was otherwise
    PageLinks links;
};

// Which reader takes the markup: Auto tries a quick tokenizer first and leaves to the full
// HTML parser every page whose meaning the tree could change (inline SVG, <select>, a table
// inside a table, ...); Full always parses. Both give the same result.
enum class MarkupReader { Auto, Full };

// A poured page, before it is encoded. pagePath: where the page goes inside the site's output
// folder, '/' between names ("blog/a.html"). SiteLinks::Relative writes every root-relative
// URL (one slash, then not a second) of href, src, srcset, action, formaction, poster and data
// and of url(...) and @import in style attributes and <style> elements relative to the page's
// folder ("/css/a.css" in blog/a.html: "../css/a.css"); one that names a folder gets
// index.html ("/" there: "../index.html"); query and fragment stay. A page with a <base href>
// keeps its links as they are, since they start from the base there.
ScannedPage scanPage(const QString& page, const QString& pagePath, SiteLinks links,
                     MarkupReader reader = MarkupReader::Auto);

// The links of a page on disk, read in the charset it declares, as the build writes it.
PageLinks pageLinks(const QByteArray& bytes, MarkupReader reader = MarkupReader::Auto);

} // namespace quillane
