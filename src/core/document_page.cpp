// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/document_page.h"

#include "formats/document_file.h"
#include "formats/text_file.h"

#include <QDir>

namespace quillane {

QString documentOutputPath(const Workspace& ws, const QString& output) {
    // A drive or network path written on Windows is no relative path: the write refuses it.
    if (output.isEmpty() || isWindowsPath(output) || !QDir::isRelativePath(output)) return output;
    if (ws.LastFile.isEmpty()) return QString();
    return resolveStoredPath(output, ws.LastFile);
}

bool BuildPage(Session& s, const QString& outputPath, const QString& templatePath,
               PageOutcome* outcome) {
    PageOutcome result;
    const QString output = documentOutputPath(s.ws, outputPath);
    if (!outputPath.isEmpty() && output.isEmpty()) {
        result.failure = {QStringLiteral("ERROR: The output file '") + outputPath +
                              QStringLiteral("' is a relative path, and this document has no "
                                             "folder yet to take it from. Save the document "
                                             "first, or give the full path. Nothing was built."),
                          kBuildEngineTitle, MsgIcon::Exclamation};
    } else {
        result = buildPageFile(s.templates, templatePath, s.ws.title, s.ws.sections, output,
                               s.ws.LastFile);
    }
    if (!result.built()) s.tell(result.failure);
    if (outcome) *outcome = result;
    return result.built();
}

} // namespace quillane
