// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The build's passes over a page, the one model behind both the pour and the template check.

#include "build/pour.h"

#include <QHashFunctions>
#include <QString>
#include <QStringList>
#include <vector>

namespace quillane {

// Where a character of the page came from: slot 0 is the page the passes started from, slot s
// the HTML of pass s (the title is pass 0, so its text has no place of its own).
struct TextPlace {
    int slot = 0;
    qsizetype offset = 0;
    bool operator==(const TextPlace&) const = default;
};

inline size_t qHash(const TextPlace& p, size_t seed = 0) {
    return qHashMulti(seed, p.slot, p.offset);
}

// The page while the passes run, as an observer reads it: characters are named by positions
// that stay the same until the pass that deletes them.
class PassText {
public:
    using Pos = quint32;
    static constexpr Pos kEnd = 0xFFFFFFFEu; // after the last character

    virtual char16_t at(Pos pos) const = 0;
    virtual Pos next(Pos pos) const = 0;
    virtual TextPlace place(Pos pos) const = 0;
    // Puts positions of the page in the order of the text.
    virtual void inTextOrder(std::vector<Pos>& positions) const = 0;
    // How much the passes have read so far, in characters.
    virtual qint64 work() const = 0;

protected:
    ~PassText() = default;
};

class PassObserver {
public:
    // Called for every pass with the occurrences it is about to replace (leftmost first, not
    // overlapping, in no particular order); false ends the run there.
    virtual bool onPass(int pass, std::vector<PassText::Pos>& found, const PassText& text) = 0;

protected:
    ~PassObserver() = default;
};

// Runs pass 0, 1, ... over page: every "::" + names[pass] becomes html[pass]. A page larger
// than limit, at the start or after any pass, is refused before that pass changes it.
PourResult runPasses(const QString& page, const QStringList& names, const QStringList& html,
                     qsizetype limit, const PourTuning& tuning, PassObserver* observer = nullptr);

} // namespace quillane
