// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/template_cache.h"
#include "formats/file_write.h"
#include "formats/message.h"
#include "formats/section_table.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillane {

inline const QString kBuildEngineTitle = QStringLiteral("Quillane BuildEngine");

// A page poured from its template: its bytes, or the message that says why there is none.
struct PageBytes {
    QByteArray bytes;
    std::optional<Message> failure;
};

// The build itself, with no file and no window: the template's default HTML with "::title::"
// replaced by the title and every section's placeholder by its HTML, one more CR LF at the
// end, encoded in the charset the page declares. templatePath only names the template in
// messages.
PageBytes pourTemplatePage(const TemplateRead& templ, const QString& templatePath,
                           const QString& title, const SectionTable& table);

// What became of one page.
struct PageOutcome {
    enum class Kind { Written, Unchanged, Failed };
    Kind kind = Kind::Failed;
    Message failure; // when Failed
    bool built() const { return kind != Kind::Failed; }
};

// Everything one page needs: read the template (through the cache), pour, write to
// outputPath. Only a page is replaced: never the template, the document being built
// (documentPath, when known) or any other template or document, nor anything that is not a
// regular file; a page already on disk as it is built is left alone (Unchanged). Running out
// of memory is a failure like any other.
PageOutcome buildPageFile(TemplateCache& templates, const QString& templatePath,
                          const QString& title, const SectionTable& table,
                          const QString& outputPath, const QString& documentPath);

// The same in two steps: planPageFile pours the page from a template already read and looks at
// what is on disk (touching nothing), commitPageFile writes it if it must. linkCheck, when
// given, is asked about the file an output that is a link finally names (see planWrite).
struct PlannedPage {
    PageBytes page;
    WritePlan plan;
    std::optional<Message> failure; // no page, or it cannot be written
};
PlannedPage planPageFile(const TemplateRead& templ, const QString& templatePath,
                         const QString& title, const SectionTable& table, const QString& outputPath,
                         const QString& documentPath, const LinkCheck& linkCheck = {});
PageOutcome commitPageFile(PlannedPage& planned, const QString& outputPath);
// Writes the planned page beside its output ahead of the commit (see stageWrite); a failure
// to do so becomes the page's failure.
void stagePageFile(PlannedPage& planned, const QString& outputPath);

} // namespace quillane
