#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace quillane {

// Pours a page: every "::title::" becomes the title, then for each slot 1..N in order every
// "::" + name becomes that slot's HTML. Each replacement runs left to right over the current
// page, takes non-overlapping occurrences and does not look again at what it has just
// inserted; later ones do. names and html are indexed by slot (index 0 unused).
//
// The cost grows with the page and what is inserted, not with the page times the slots.
// Sections that insert each other can make a page grow without bound: past maxChars the
// pouring stops and there is no page.
inline constexpr qsizetype kMaxPageChars = qsizetype(256) * 1024 * 1024;
std::optional<QString> pourPage(const QString& page, const QString& title, const QStringList& names,
                                const QStringList& html, qsizetype maxChars = kMaxPageChars);

} // namespace quillane
