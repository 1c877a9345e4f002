// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>
#include <vector>

namespace quillane {

// Slot numbers are 16-bit signed where the editors hold them. A template keeps one free slot
// after its sections once it has been read, so it can hold one section less than that.
inline constexpr int kMaxSlot = 32767;
inline constexpr int kMaxSections = kMaxSlot - 1;

// A template's sections as three parallel arrays over slots 0..N (N >= 1). Slot 0 is never
// used and a slot whose name is "" is free. After a template has been read its n sections
// stand in slots 1..n and slot n+1 is free; the build's last pass depends on that free slot.
struct SectionTable {
    QStringList SectionNames{QString(), QString()};
    QStringList SectionHtml{QString(), QString()};
    std::vector<quint8> SectionEditable{0, 0};

    // N, the highest slot number.
    int lastSlot() const { return int(SectionNames.size()) - 1; }
    // A new table with N = 1 and everything empty.
    void newTable();
    // Adds one free slot at the end; false when the table already holds the most slots.
    bool growTable();
    // The next editable slot after `slot`, or 0 when there is none.
    int nextEditableSlot(int slot) const;
};

} // namespace quillane
