#pragma once

#include "core/workspace.h"
#include "formats/text_file.h"

#include <QString>

namespace quillane {

inline const QString kBuildEngineTitle = QStringLiteral("Quillane BuildEngine");

// Reads the default HTML of the template at templatePath (every line ending in CR LF, the
// last one too), or tells why it cannot. Invalid templates are told apart from unreadable ones.
enum class TemplatePageStatus { Ok, Unreadable, Invalid, Truncated };
TemplatePageStatus readTemplatePage(const QString& templatePath, QString& page, QString& reason);

// Builds the HTML editor's page: pours the title and the section table into the template's
// default HTML and writes it to outputPath with one more CR LF. Only a page is replaced: never
// the template, the document being built (CurrentFile) or any other template or document, nor
// anything that is not a regular file. Any failure (running out of memory included) is told to
// the user under the engine's title and writes nothing; true when the page was built. outcome,
// when given, tells whether the page was Written, found Unchanged (then not written at all) or
// Failed.
bool BuildPage(Session& s, const QString& outputPath, const QString& templatePath,
               WriteOutcome* outcome = nullptr);

} // namespace quillane
