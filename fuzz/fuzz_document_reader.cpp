// Any bytes as a templated document and its template (split at the first NUL byte), read,
// built and written back.

#include "build/build_engine.h"
#include "formats/file_reader.h"
#include "formats/file_writers.h"
#include "fuzz_support.h"

#include <cstring>

using namespace quillane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Harness& h = fuzz::harness();
    const char* bytes = reinterpret_cast<const char*>(data);
    const void* nul = std::memchr(bytes, 0, size);
    const size_t docSize = nul ? size_t(static_cast<const char*>(nul) - bytes) : size;
    h.put(QStringLiteral("t.qtf"), nul ? bytes + docSize + 1 : "", nul ? size - docSize - 1 : 0);
    // The document names its template relative to itself; keep the output in the folder.
    QByteArray doc(bytes, qsizetype(docSize));
    const QString path = h.put(QStringLiteral("d.qht"), doc.constData(), size_t(doc.size()));
    ResetEditor(h.s, EditorMode::HtmlEditor);
    const LoadResult r = LoadFile(h.s, path, LoadMode::Document);
    if (!r.loaded()) return 0;
    h.s.ws.TemplatePath = r.templatePath;
    BuildPage(h.s, h.folder + QStringLiteral("/out.htm"), h.s.ws.TemplatePath);
    writeDocumentFile(h.s, h.folder + QStringLiteral("/again.qht"));
    return 0;
}
