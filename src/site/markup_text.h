// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The text inside markup that holds URLs: attribute values as the HTML tokenizer decodes them,
// the candidates of a srcset, the url(...) of CSS. Each keeps where its characters stand in the
// page, so that a URL can be changed in place, byte for byte, without writing the markup anew.

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <vector>

namespace quillane {

inline bool isHtmlSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\f' || c == u'\r';
}

// Text as the page means it, and where each of its characters came from in the page.
struct SourcedText {
    QString text;        // when it is the raw text itself, it only points into the page (no copy):
                         // it must not outlive the page, and what is kept of it is copied
    qsizetype start = 0; // where the raw text starts in the page
    std::vector<qsizetype> raw; // the page offset of each character and of the end; empty: the
                                // text is the raw text itself, offset by start
    qsizetype at(qsizetype i) const { return raw.empty() ? start + i : raw[size_t(i)]; }
};

// An attribute value decoded as the tokenizer does: character references (in an attribute's
// way: "&copy=1" stays as written), CR LF and CR as LF, NUL as U+FFFD. Nothing when it holds a
// reference this decoder does not know (a named one other than amp, lt, gt, quot and apos, or
// a number in 0x80-0x9F); the full parser then decides. rawStart: where raw stands in the page.
std::optional<SourcedText> decodeAttributeValue(QStringView raw, qsizetype rawStart);
// The text of a raw-text element (<style>): only CR LF, CR and NUL change.
SourcedText decodeRawText(QStringView raw, qsizetype rawStart);

// A URL inside a text, as [start, end) offsets into it.
struct UrlSpan {
    qsizetype start = 0, end = 0;
};

// The URL of a whole attribute value: the value without the spaces around it.
UrlSpan urlOfValue(QStringView value);
// The image candidates of a srcset, each one's URL, as browsers split them.
std::vector<UrlSpan> srcsetUrls(QStringView value);
// The URLs of a style sheet or style attribute: every url(...) and the string of an @import,
// outside comments and strings. A URL with a backslash escape in it is left out.
std::vector<UrlSpan> cssUrls(QStringView css);

// Whether a URL names no file of the site: it has a scheme (http:, mailto:, data:, ...) or
// starts with two slashes (another host).
bool isExternalUrl(QStringView url);
// One slash, then no second slash or backslash: from the site's root.
bool isRootRelativeUrl(QStringView url);

// A root-relative URL written relative to a page's folder, as edits to the URL's text.
struct UrlEdit {
    qsizetype start = 0, end = 0; // the URL's characters replaced (end == start: inserted)
    QString text;
};
struct RelativeUrl {
    std::vector<UrlEdit> edits; // in order, not overlapping
    QString url;                // the URL with the edits made
};
// folders: the page's folder inside the output, one name a step ("blog/2024/a.html": blog,
// 2024). A URL naming a folder gets index.html; the query and the fragment stay as they are.
RelativeUrl relativeUrl(QStringView url, const QStringList& folders);

} // namespace quillane
