// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "formats/template_file.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillane {

// Something in a template that makes its pages come out other than the template reads.
struct TemplateProblem {
    enum class Kind {
        UnfilledPlaceholder,  // a ::name:: that no pass fills: the page shows the bare name
        UnusedSection,        // no placeholder of the section reaches its pass: its HTML is lost
        NameTakesPlaceholder, // the section's pass takes the start of a longer ::name
        EmptyName,            // a nameless section's pass takes every "::" left in the page
        DuplicateName,        // the first section of a name takes all its placeholders
        StrayColons,          // a "::" of no placeholder, which the build deletes
    };
    Kind kind;
    QString text; // one line: what is wrong and where
};

// Runs the build's passes over the template's own HTML, as a page with an empty title would
// be poured, following where every piece of the page came from, and reports what the passes
// do that the template does not say: placeholders no section fills, sections whose
// placeholder never reaches their pass, a pass that takes the start of a longer placeholder
// or word (only an earlier section's pass can), empty and duplicate names, and "::" that
// belong to no placeholder and that the last pass deletes (CSS "a::before", script text).
// Each finding is told once, at the first place it shows. The passes are the build's own, so
// the check takes time in proportion to the template: it follows the page until it would grow
// past kCheckedPageChars (or past its own size, when that is larger), and ends, telling what
// it found so far, once it has read 64 times the template (templates built to defeat it).
QList<TemplateProblem> checkTemplate(const TemplateFile& templ);

inline constexpr qsizetype kCheckedPageChars = qsizetype(4) * 1024 * 1024;

// The lines a build without a window prints on standard error for the template at path:
// "<path>: warning: <problem>".
QStringList templateWarnings(const TemplateFile& templ, const QString& path);

} // namespace quillane
