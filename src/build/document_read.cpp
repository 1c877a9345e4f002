// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/document_read.h"

namespace quillane {

DocumentWithTemplate readDocumentWithTemplate(const QString& path, TemplateCache& templates) {
    DocumentWithTemplate out;
    DocumentRead read = readDocumentFile(path, &out.documentSeen);
    if (!read.headerRead) {
        if (read.failure) out.messages.push_back(read.failure->message);
        return out;
    }
    out.headerRead = true;
    out.document = std::move(read.value);
    out.templ = templates.read(out.document.templatePath, &out.templateSeen);
    // A template that cannot be read is told, and the document goes on with what it gave.
    if (out.templ->failure) out.messages.push_back(out.templ->failure->message);
    out.table = out.templ->value.sections;

    // Each block, and a failure where a block starts, first looks for its section.
    const QStringList& blocks = out.document.blocks;
    const qsizetype wanted = blocks.size() + (read.failure && read.failureAtBlock ? 1 : 0);
    int slot = 0;
    for (qsizetype i = 0; i < wanted; ++i) {
        slot = out.table.nextEditableSlot(slot);
        if (slot == 0) {
            out.messages.push_back(
                unreadableFile(path,
                               {9, QStringLiteral("Subscript out of range: the document has "
                                                  "more sections than its template can take")})
                    .message);
            return out;
        }
        if (i < blocks.size()) out.table.SectionHtml[slot] = blocks[i];
    }
    if (!read.failure) {
        out.result = DocumentWithTemplate::Result::Loaded;
    } else if (read.failure->kind == ReadFailure::Kind::StoppedAtEmptyLine) {
        out.result = DocumentWithTemplate::Result::StoppedEarly;
    } else {
        out.messages.push_back(read.failure->message);
    }
    return out;
}

} // namespace quillane
