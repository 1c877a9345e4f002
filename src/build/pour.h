// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace quillane {

// The largest page a build makes, checked at every pass: 64 Mi characters, 128 MiB as UTF-16.
// Real pages are far smaller. A page that would grow past it is refused before the pass that
// would make it, so a refusal costs no more than a build.
inline constexpr qsizetype kMaxPageChars = qsizetype(64) * 1024 * 1024;

enum class PourFailure {
    None,
    // Some pass would make the page larger than the limit.
    PageTooLarge,
    // The same, and it grew that large because section HTML brought in placeholders that later
    // passes replaced again, over and over.
    SectionsInsertEachOther,
};

struct PourResult {
    QString page; // empty when the pouring failed
    PourFailure failure = PourFailure::None;
};

// Pours a page: every "::title::" becomes the title, then for each slot 1..N in order every
// "::" + name becomes that slot's HTML. Each replacement runs left to right over the current
// page, takes non-overlapping occurrences and does not look again at what it has just
// inserted; later ones do. names and html are indexed by slot (index 0 unused).
//
// Time and memory grow with the page and the text inserted into it, not with the page times
// the number of slots (see build/passes.cpp). A page (the default HTML as given, or after any
// pass) larger than maxChars is refused.
PourResult pourPage(const QString& page, const QString& title, const QStringList& names,
                    const QStringList& html, qsizetype maxChars = kMaxPageChars);

// How the passes choose between their ways of running a pass; pourPage uses the defaults, and
// tests push each way to its extreme. The result never depends on them.
struct PourTuning {
    // A pass that replaces at least one placeholder per `denseFactor` characters of the page
    // rewrites the whole page in one sweep; fewer are replaced in place. 0: never sweep.
    qint64 denseFactor = 64;
    // A pass whose walks would read more than the page divided by `scanFactor` finds its
    // placeholders by one scan of the page instead. 0: never scan; a huge factor: always.
    qint64 scanFactor = 1;
    // A replacement looks back this many characters (at least 2) for "::" whose walks read
    // into it; walks that reached farther left a note there instead.
    int nearReach = 32;
    // The bookkeeping of in-place replacements is swept away once it exceeds half the page's
    // size plus this many characters.
    qint64 compactSlack = qint64(1) << 20;
};
PourResult pourPageTuned(const QString& page, const QString& title, const QStringList& names,
                         const QStringList& html, qsizetype maxChars, const PourTuning& tuning);

} // namespace quillane
