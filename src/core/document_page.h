// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/page.h"
#include "core/workspace.h"

#include <QString>
#include <QStringList>
#include <optional>

// The page of the document open in the HTML editor: where it goes, and its build.

namespace quillane {

// The HTML editor's Build: the workspace's title and section table poured into the template
// at templatePath, written to outputPath. A relative output path is taken from the document's
// folder. In a site (the nearest site file above the document) the page is built as a batch
// of the site builds it, and its links are checked: `broken`, when given, gets one line for
// each that is broken. Every failure is told to the user under the engine's title and writes
// nothing; true when the page was built (written, or already on disk as it is). `outcome`
// says which.
bool BuildPage(Session& s, const QString& outputPath, const QString& templatePath,
               PageOutcome* outcome = nullptr, QStringList* broken = nullptr);

// The site of the open document: the nearest site file above its folder. False, with what is
// wrong, when that file cannot be used; `site` stays empty when there is none (or no folder).
bool documentSite(const Workspace& ws, std::optional<SiteSettings>& site, QString& problem);

// The document's output path as a full path: a relative one from the document's folder.
// Empty when it is relative and the document has no folder yet.
QString documentOutputPath(const Workspace& ws, const QString& output);

} // namespace quillane
