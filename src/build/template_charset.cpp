// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/template_charset.h"

#include "formats/text_codec.h"

namespace quillane {

namespace {

// Where the <head> start tag ends (just past its '>'), or -1 when there is none.
qsizetype headTagEnd(const QString& html) {
    for (qsizetype at = html.indexOf(QLatin1String("<head"), 0, Qt::CaseInsensitive); at >= 0;
         at = html.indexOf(QLatin1String("<head"), at + 5, Qt::CaseInsensitive)) {
        const qsizetype after = at + 5;
        if (after < html.size() && html[after] != u'>' && !html[after].isSpace())
            continue; // <header>, <heading>
        const qsizetype end = html.indexOf(u'>', after);
        return end < 0 ? -1 : end + 1;
    }
    return -1;
}

} // namespace

QString charsetProblem(const QString& defaultHtml) {
    if (headTagEnd(defaultHtml) < 0 || declaresUtf8(defaultHtml) ||
        QStringView(defaultHtml).left(1024).contains(QLatin1String("charset"), Qt::CaseInsensitive))
        return {};
    return QStringLiteral("The default HTML declares no charset, so its pages are written in "
                          "windows-1252, which a web server that announces UTF-8 (most do) shows "
                          "as garbage wherever a character is not plain ASCII.");
}

QString charsetWarning(const QString& defaultHtml) {
    QString problem = charsetProblem(defaultHtml);
    if (problem.isEmpty()) return problem;
    problem.chop(1);
    return problem + QStringLiteral(": add ") + kUtf8Meta + QStringLiteral(" right after <head>.");
}

QString withUtf8Charset(const QString& defaultHtml) {
    const qsizetype end = headTagEnd(defaultHtml);
    if (end < 0) return defaultHtml;
    QString html = defaultHtml;
    const QStringView rest = QStringView(html).mid(end);
    const qsizetype lineEnd = end + (rest.startsWith(QLatin1String("\r\n"))             ? 2
                                     : rest.startsWith(u'\r') || rest.startsWith(u'\n') ? 1
                                                                                        : 0);
    if (lineEnd == end) return html.insert(end, kUtf8Meta);
    // <head> ends its line: a line of its own, indented as the next one.
    const QString newline = html.mid(end, lineEnd - end);
    qsizetype indent = lineEnd;
    while (indent < html.size() && (html[indent] == u' ' || html[indent] == u'\t'))
        ++indent;
    return html.insert(lineEnd, html.mid(lineEnd, indent - lineEnd) + kUtf8Meta + newline);
}

} // namespace quillane
