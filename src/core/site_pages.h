// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/workspace.h"
#include "site/site_file.h"

#include <QList>
#include <QString>
#include <optional>

namespace quillane {

class HtmlEditorController;

// What a document's page is like. The order is that of their weight: a list sorted by it
// shows what needs doing first.
enum class PageState { NotBuildable, Missing, OutOfDate, BrokenLinks, UpToDate };
QString pageStateText(PageState state); // "not buildable", "missing", ...

struct SitePage {
    QString name; // the document, from the listed folder ("blog/a.qht")
    QString title;
    QString output;       // the page's full path; empty when the document names none
    QString templatePath; // the template's full path
    PageState state = PageState::NotBuildable;
    QString why; // why it is not buildable
};

// The documents of a site (or of a folder without a site file) with the state of their pages.
// Only the first four lines of each document are read, and the time stamps of the files: a
// page is out of date when its document or template is newer, unless this session built it
// from them as they are (BuiltPages); it has broken links when the session's last link check
// over it found some.
struct SitePageList {
    QString folder;
    std::optional<SiteSettings> site; // the folder's site file, when it has one
    QList<SitePage> pages;
    QString problem; // why the folder could not be listed, or its site file is wrong
};
// The documents a batch of the folder builds (readBatchFolder).
SitePageList listSitePages(const QString& folder, const BuiltPages& built);

// File > Site pages...: the list of a site's pages, and building some of them.
class SitePagesController {
public:
    SitePagesController(Session& s, HtmlEditorController& editor, const QString& folder);

    const SitePageList& list() const { return m_list; }
    // Reads the list again.
    void refresh();
    // A batch of these documents (named from the folder), once the user agreed to outputs that
    // are no web pages or are hidden, as the window's batch asks; nothing when the user
    // cancelled.
    std::optional<BatchRequest> request(const QStringList& names);
    // Builds them through the batch service, the session noting what it built; then reads the
    // list again.
    BatchReport build(const BatchRequest& request, BatchObserver& observer);

private:
    Session& m_s;
    HtmlEditorController& m_editor;
    SitePageList m_list;
};

} // namespace quillane
