// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/pour.h"

#include "build/passes.h"

namespace quillane {

PourResult pourPageTuned(const QString& page, const QString& title, const QStringList& names,
                         const QStringList& html, qsizetype maxChars, const PourTuning& tuning) {
    // The title pass goes first, as pass 0: "::" + "title::".
    QStringList passNames = names.isEmpty() ? QStringList{QString()} : names;
    QStringList passHtml = html;
    while (passHtml.size() < passNames.size())
        passHtml << QString();
    passNames[0] = QStringLiteral("title::");
    passHtml[0] = title;
    return runPasses(page, passNames, passHtml, maxChars, tuning);
}

PourResult pourPage(const QString& page, const QString& title, const QStringList& names,
                    const QStringList& html, qsizetype maxChars) {
    return pourPageTuned(page, title, names, html, maxChars, PourTuning{});
}

} // namespace quillane
