#pragma once

#include "core/workspace.h"

#include <QString>

namespace quillane {

inline const QString kBuildEngineTitle = QStringLiteral("Quillane BuildEngine");

// Reads the default HTML of the template at templatePath (every line ending in CR LF, the
// last one too), or tells why it cannot. Invalid templates are told apart from unreadable ones.
enum class TemplatePageStatus { Ok, Unreadable, Invalid, Truncated };
TemplatePageStatus readTemplatePage(const QString& templatePath, QString& page, QString& reason);

// Builds the HTML editor's page: pours the title and the section table into the template's
// default HTML and writes it to outputPath with one more CR LF. Any failure is told to the
// user under the engine's title and writes nothing; true when the page was written.
bool BuildPage(Session& s, const QString& outputPath, const QString& templatePath);

} // namespace quillane
