// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/batch_report.h"

#include "platform/console.h"

namespace quillane {

namespace {

// "\xE9", "\u0085"
QString hexEscape(char16_t kind, uint value, int digits) {
    return QString(u'\\') + QChar(kind) +
           QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

QString plural(int n, const char* word) {
    return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(word)).arg(n == 1 ? "" : "s");
}

// The first `cap` items, then "... and N more".
QString capped(const QStringList& items, qsizetype cap) {
    QStringList shown = items.mid(0, cap);
    if (items.size() > cap) shown << QStringLiteral("... and %1 more").arg(items.size() - cap);
    return shown.join(QStringLiteral(", "));
}

// A message on one line: its own line ends become blanks, and the names it quotes keep
// theirs, escaped like every other control character.
QString oneLine(QString text, const QString& document) {
    const QString escaped = escapeControls(document);
    if (escaped != document) text.replace(document, escaped);
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    return escapeControls(text);
}

} // namespace

QString escapeControls(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\n')
            out += QLatin1String("\\n");
        else if (u == u'\r')
            out += QLatin1String("\\r");
        else if (u == u'\t')
            out += QLatin1String("\\t");
        else if (u < 0x20 || u == 0x7F)
            out += hexEscape(u'x', u, 2);
        else if ((u >= 0x80 && u < 0xA0) || u == 0x2028 || u == 0x2029)
            out += hexEscape(u'u', u, 4);
        else
            out += c;
    }
    return out;
}

QStringList reportLines(const DocumentReport& r) {
    QStringList lines;
    for (const QString& warning : r.templateWarnings)
        lines << escapeControls(warning);
    const QString name = escapeControls(r.path);
    for (const Message& m : r.messages)
        lines << name + QStringLiteral(": ") + m.title + QStringLiteral(": ") +
                     oneLine(m.text, r.path);
    if (!r.notAPage.isEmpty())
        lines << escapeControls(r.path + QStringLiteral(": not built: its output '") + r.output +
                                QStringLiteral("' ") + r.notAPage +
                                QStringLiteral("; a batch writes such files only when you allow "
                                               "it (--allow-other-files before /B:)"));
    if (!r.outsideSite.isEmpty())
        lines << escapeControls(r.path + QStringLiteral(": warning: its page '") + r.output +
                                QStringLiteral("' lies outside the site's output folder '") +
                                r.outsideSite +
                                QStringLiteral("'; its links are left as written and not checked"));
    if (!r.alsoBuiltBy.isEmpty())
        lines << escapeControls(r.path + QStringLiteral(": warning: its output '") + r.output +
                                QStringLiteral("' is also the output of '") + r.alsoBuiltBy +
                                QStringLiteral("', built before it; this page replaces that one"));
    switch (r.outcome) {
    case DocumentOutcome::Built:
    case DocumentOutcome::Unchanged:
        break;
    case DocumentOutcome::ReadStoppedEarly:
        lines << name + QStringLiteral(": not built: the document stops at an empty line where "
                                       "a section should start");
        break;
    case DocumentOutcome::NameNotUtf8:
        lines << name + QStringLiteral(": not built: its name is not valid UTF-8; rename it to "
                                       "build it");
        break;
    case DocumentOutcome::NotRead:
    case DocumentOutcome::BuildFailed:
    case DocumentOutcome::NotAPage:
        if (r.messages.empty() && r.notAPage.isEmpty())
            lines << name + QStringLiteral(": not built");
        break;
    }
    return lines;
}

QString leftoversLine(int removed) {
    return QStringLiteral("Removed %1 left beside the pages by a build that was killed.")
        .arg(plural(removed, "temporary file"));
}

namespace {

// ", 2 broken links", when the links were checked.
QString brokenCount(const BatchReport& r) {
    return r.linksChecked ? QStringLiteral(", ") + plural(r.brokenLinks, "broken link") : QString();
}

} // namespace

QString subfolderHint(int inSubfolders) {
    if (inSubfolders == 0) return {};
    const bool one = inSubfolders == 1;
    return QStringLiteral(" %1 more templated %2 in its sub-folders %3 not built: a batch builds "
                          "sub-folders only in a site (put a %4 in this folder or above it).")
        .arg(inSubfolders)
        .arg(one ? "document" : "documents", one ? "was" : "were", kSiteFileName);
}

QString summaryLine(const BatchReport& r, SummaryFor front) {
    if (front == SummaryFor::Console) {
        QString counts = QStringLiteral("%1 found, %2 built, %3 unchanged")
                             .arg(plural(r.found, "templated document"))
                             .arg(r.built)
                             .arg(r.unchanged) +
                         brokenCount(r);
        if (r.stopSignal)
            counts += QStringLiteral("; %1 stopped the build after %2 of them")
                          .arg(platform::StopRequests::name(r.stopSignal))
                          .arg(r.done);
        return counts + u'.' + subfolderHint(r.inSubfolders);
    }
    // "12 built (3 unchanged), 1 not built.": the unchanged pages were not written again.
    QString counts =
        QString::number(r.built) + QStringLiteral(" built") +
        (r.unchanged ? QStringLiteral(" (%1 unchanged)").arg(r.unchanged) : QString()) +
        QStringLiteral(", %1 not built").arg(r.done - r.built) + brokenCount(r) + u'.';
    if (!r.misnamed.isEmpty())
        counts += (r.misnamed.size() == 1
                       ? QStringLiteral(" This name is not valid UTF-8; rename the file to build "
                                        "it: ")
                       : QStringLiteral(" These names are not valid UTF-8; rename the files to "
                                        "build them: ")) +
                  capped(r.misnamed, 3);
    counts += subfolderHint(r.inSubfolders);
    if (r.stopped)
        return (front == SummaryFor::Window ? QStringLiteral("Batch build stopped after %1 of %2: ")
                                            : QStringLiteral("Stopped after %1 of %2: "))
                   .arg(r.done)
                   .arg(plural(r.found, "document")) +
               counts;
    return (front == SummaryFor::Window ? QStringLiteral("Batch build finished: ")
                                        : QStringLiteral("Pages using this template: ")) +
           counts;
}

} // namespace quillane
