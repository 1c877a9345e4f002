// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/document_page.h"

#include "formats/document_file.h"
#include "formats/text_file.h"

#include <QDir>
#include <QFileInfo>

namespace quillane {

QString documentOutputPath(const Workspace& ws, const QString& output) {
    // A drive or network path written on Windows is no relative path: the write refuses it.
    if (output.isEmpty() || isWindowsPath(output) || !QDir::isRelativePath(output)) return output;
    if (ws.LastFile.isEmpty()) return QString();
    return resolveStoredPath(output, ws.LastFile);
}

bool documentSite(const Workspace& ws, std::optional<SiteSettings>& site, QString& problem) {
    site.reset();
    if (ws.LastFile.isEmpty()) return true;
    const QString file = findSiteFile(QFileInfo(ws.LastFile).absolutePath());
    if (file.isEmpty()) return true;
    const SiteFileRead read = readSiteFile(file);
    site = read.settings;
    problem = read.problem;
    return read.settings.has_value();
}

bool BuildPage(Session& s, const QString& outputPath, const QString& templatePath,
               PageOutcome* outcome, QStringList* broken) {
    PageOutcome result;
    const QString output = documentOutputPath(s.ws, outputPath);
    std::optional<SiteSettings> site;
    QString problem;
    if (!outputPath.isEmpty() && output.isEmpty()) {
        result.failure = {QStringLiteral("ERROR: The output file '") + outputPath +
                              QStringLiteral("' is a relative path, and this document has no "
                                             "folder yet to take it from. Save the document "
                                             "first, or give the full path. Nothing was built."),
                          kBuildEngineTitle, MsgIcon::Exclamation};
    } else if (!documentSite(s.ws, site, problem)) {
        result.failure = {problem + QStringLiteral(" Nothing was built."), kBuildEngineTitle,
                          MsgIcon::Exclamation};
    } else {
        result = buildPageFile(s.templates, templatePath, s.ws.title, s.ws.sections, output,
                               s.ws.LastFile, site ? &*site : nullptr);
    }
    if (!result.built()) s.tell(result.failure);
    if (broken)
        *broken =
            site && result.built() ? brokenLinksOfPage(*site, output, result.links) : QStringList();
    if (outcome) *outcome = result;
    return result.built();
}

} // namespace quillane
