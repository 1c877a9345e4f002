// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a template file, read, written back and read again: the second reading must
// give the same template, less the sections without a name (which are not written).

#include "formats/template_file.h"
#include "formats/text_codec.h"

#include <cstdlib>

using namespace quillane;

namespace {

QStringList namedSections(const SectionTable& t) {
    QStringList out;
    for (int slot = 1; slot <= t.lastSlot(); ++slot) {
        if (!t.SectionNames[slot].isEmpty())
            out << t.SectionNames[slot] << QString::number(t.SectionEditable[size_t(slot)])
                << t.SectionHtml[slot];
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const TemplateRead first = parseTemplate(decodeText(bytes), QStringLiteral("t.qtf"));
    if (first.failure) return 0;
    const QByteArray written = encodeForStorage(templateFileText(first.value));
    const TemplateRead again = parseTemplate(decodeText(written), QStringLiteral("t.qtf"));
    if (again.failure || !again.nameRead || again.value.defaultHtml != first.value.defaultHtml ||
        (first.nameRead && again.value.name != first.value.name) ||
        namedSections(again.value.sections) != namedSections(first.value.sections))
        std::abort();
    return 0;
}
