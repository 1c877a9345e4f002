// Any bytes as a template file, read into the designer and for the HTML editor, then written
// back and read again: the second reading must give the same sections.

#include "formats/file_reader.h"
#include "formats/file_writers.h"
#include "fuzz_support.h"

#include <cstdlib>

using namespace quillane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Harness& h = fuzz::harness();
    const QString path = h.put(QStringLiteral("t.qtf"), reinterpret_cast<const char*>(data), size);
    LoadFile(h.s, path, LoadMode::TemplateForEditor);
    if (!LoadFile(h.s, path, LoadMode::Designer).loaded()) return 0;
    const Workspace first = h.s.ws;
    const QString name = h.controls.name;
    const QString again = h.folder + QStringLiteral("/again.qtf");
    if (!writeTemplateFile(h.s, again)) std::abort();
    if (!LoadFile(h.s, again, LoadMode::Designer).loaded()) std::abort();
    // Named sections survive in order (free slots are dropped on writing).
    QStringList a, b;
    for (int i = 1; i <= first.lastSlot(); ++i)
        if (!first.SectionNames[i].isEmpty()) a << first.SectionNames[i];
    for (int i = 1; i <= h.s.ws.lastSlot(); ++i)
        if (!h.s.ws.SectionNames[i].isEmpty()) b << h.s.ws.SectionNames[i];
    // A name or HTML line that is itself a marker cannot survive; only check plain ones.
    bool plain = !name.contains(u'\r') && !name.contains(u'#');
    for (int i = 1; i <= first.lastSlot(); ++i)
        plain = plain && !first.SectionNames[i].contains(u'#') &&
                !first.SectionNames[i].contains(u'\r') && !first.SectionHtml[i].contains(u'#');
    if (plain && !h.controls.html.contains(u'#') && a != b) std::abort();
    return 0;
}
