// SPDX-License-Identifier: GPL-3.0-or-later
#include "formats/section_table.h"

namespace quillane {

void SectionTable::newTable() {
    SectionNames = QStringList{QString(), QString()};
    SectionHtml = QStringList{QString(), QString()};
    SectionEditable.assign(2, 0);
}

bool SectionTable::growTable() {
    if (lastSlot() >= kMaxSlot) return false;
    SectionNames.append(QString());
    SectionHtml.append(QString());
    SectionEditable.push_back(0);
    return true;
}

int SectionTable::nextEditableSlot(int slot) const {
    for (++slot; slot <= lastSlot(); ++slot) {
        if (SectionEditable[size_t(slot)] == 1) return slot;
    }
    return 0;
}

} // namespace quillane
