// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/template_cache.h"
#include "formats/file_write.h"
#include "formats/message.h"
#include "formats/section_table.h"
#include "site/page_links.h"
#include "site/site_file.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace quillane {

inline const QString kBuildEngineTitle = QStringLiteral("Quillane BuildEngine");

// A page poured from its template: its bytes, or the message that says why there is none.
struct PageBytes {
    QByteArray bytes;
    std::optional<Message> failure;
};

// Where a page stands in a site: the site, and the page's path inside its output folder
// ("blog/a.html"), empty when the page lies outside it (or there is no site).
struct PagePlace {
    const SiteSettings* site = nullptr;
    QString pagePath;
    bool inSite() const { return site && !pagePath.isEmpty(); }
};
PagePlace placeInSite(const SiteSettings* site, const QString& outputPath);

// The build itself, with no file and no window: the template's default HTML with "::title::"
// replaced by the title and every section's placeholder by its HTML, one more CR LF at the
// end, encoded in the charset the page declares. A page inside a site's output folder has its
// root-relative links written relative to its own folder (as the site says), and its links
// are given back for the link check. templatePath only names the template in messages.
PageBytes pourTemplatePage(const TemplateRead& templ, const QString& templatePath,
                           const QString& title, const SectionTable& table,
                           const PagePlace& place = {}, PageLinks* links = nullptr);

// What became of one page.
struct PageOutcome {
    enum class Kind { Written, Unchanged, Failed };
    Kind kind = Kind::Failed;
    Message failure; // when Failed
    PageLinks links; // a page inside a site: its links, for the check
    bool built() const { return kind != Kind::Failed; }
};

// Everything one page needs: read the template (through the cache), pour, write to
// outputPath. Only a page is replaced: never the template, the document being built
// (documentPath, when known) or any other template or document, nor anything that is not a
// regular file; a page already on disk as it is built is left alone (Unchanged). Running out
// of memory is a failure like any other. A page whose folder is missing gets it made when it
// lies inside the site's output folder, or without a site inside the document's own folder.
PageOutcome buildPageFile(TemplateCache& templates, const QString& templatePath,
                          const QString& title, const SectionTable& table,
                          const QString& outputPath, const QString& documentPath,
                          const SiteSettings* site = nullptr);

// The link check of one page of a site (its links as the build gave them): the broken ones,
// each on a line of its own; nothing for a page outside the site's output folder.
QStringList brokenLinksOfPage(const SiteSettings& site, const QString& outputPath,
                              const PageLinks& links);

// Where a page's missing folder may be made: inside the site's output folder, or without a
// site inside the document's own folder.
QString folderRootFor(const SiteSettings* site, const QString& documentPath);

// The same in two steps: planPageFile pours the page from a template already read and looks at
// what is on disk (touching nothing), commitPageFile writes it if it must. linkCheck, when
// given, is asked about the file an output that is a link finally names (see planWrite).
struct PlannedPage {
    PageBytes page;
    PageLinks links; // inside a site
    WritePlan plan;
    std::optional<Message> failure; // no page, or it cannot be written
};
PlannedPage planPageFile(const TemplateRead& templ, const QString& templatePath,
                         const QString& title, const SectionTable& table, const QString& outputPath,
                         const QString& documentPath, const LinkCheck& linkCheck = {},
                         const PagePlace& place = {});
PageOutcome commitPageFile(PlannedPage& planned, const QString& outputPath);
// Writes the planned page beside its output ahead of the commit (see stageWrite); a failure
// to do so becomes the page's failure.
void stagePageFile(PlannedPage& planned, const QString& outputPath);

} // namespace quillane
