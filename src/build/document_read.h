// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/template_cache.h"
#include "formats/document_file.h"

#include <memory>
#include <vector>

namespace quillane {

// A templated document together with its template: the template's sections with each block
// of the document in the next editable section, and what the user is to be told, in order.
struct DocumentWithTemplate {
    enum class Result {
        Loaded,
        StoppedEarly, // the document stops at an empty line where a block should start
        Failed,       // rejected, or not readable (the messages say why)
    };
    Result result = Result::Failed;
    bool headerRead = false; // document holds its title and paths, and templ is set
    DocumentFile document;
    std::shared_ptr<const TemplateRead> templ;
    SectionTable table;
    std::vector<Message> messages;
    // The files as they were when they were read (unknown where nothing was there).
    FileSignature documentSeen, templateSeen;
};

DocumentWithTemplate readDocumentWithTemplate(const QString& path, TemplateCache& templates);

} // namespace quillane
