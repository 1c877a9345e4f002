// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a templated document and its template (split at the first NUL byte): the
// document is read, written back and read again, then read with its template and poured.

#include "build/document_read.h"
#include "build/page.h"
#include "formats/text_codec.h"
#include "fuzz_support.h"

#include <cstdlib>
#include <cstring>

using namespace quillane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Harness& h = fuzz::harness();
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(bytes, 0, size);
    const size_t docSize = nul ? size_t(static_cast<const char*>(nul) - bytes) : size;
    const QString tpl = h.put(QStringLiteral("t.qtf"), nul ? bytes + docSize + 1 : "",
                              nul ? size - docSize - 1 : 0);
    const QString path = h.put(QStringLiteral("d.qht"), bytes, docSize);

    // What was read is written back unchanged.
    const DocumentRead read =
        parseDocument(decodeText(QByteArray(bytes, qsizetype(docSize))), path);
    if (!read.failure) {
        const DocumentFile& d = read.value;
        const DocumentRead again =
            parseDocument(decodeText(encodeForStorage(documentFileText(d))), path);
        if (again.failure || again.value.title != d.title ||
            again.value.templateStored != d.templateStored ||
            again.value.outputStored != d.outputStored || again.value.blocks != d.blocks)
            std::abort();
    }

    // The document names its template relative to itself, or anywhere: only read, never written.
    TemplateCache templates;
    const DocumentWithTemplate loaded = readDocumentWithTemplate(path, templates);
    if (loaded.result == DocumentWithTemplate::Result::Loaded)
        pourTemplatePage(*loaded.templ, tpl, loaded.document.title, loaded.table);
    return 0;
}
