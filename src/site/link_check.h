// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The link check: after a batch, every local URL of its pages is looked for in the output
// folder, and every fragment among the ids of the page it points into.

#include "site/page_links.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace quillane {

// A page the batch wrote or found as it would have written it.
struct CheckedPage {
    QString name; // the page as the lines name it
    QString path; // inside the output folder, '/' between names ("blog/a.html")
    PageLinks links;
};

struct BrokenLink {
    qsizetype page = 0; // in the pages given
    QString url;
    // "<page>: broken link '<url>'", then " (no element with id 'x')" when the page is there
    // but the fragment is not, or " (outside the output folder)" when it leads out of it.
    QString line;
};

// Resolves every URL against outputFolder on disk: a relative one from its page's folder (or
// its <base>), a root-relative one from the output folder; percent-decoded, without query.
// A folder counts when it holds index.html or index.htm. A fragment is looked for when the
// URL names a page (a name ending in one of pageExtensions, such as "html"): in the ids and
// names the batch's pages carry, or, for other pages, in the page as it is on disk. Form
// actions (often served by a program, not a file) and external URLs are not checked. The
// pages of the batch are known to exist without looking; every other look is made once.
// In the order of the pages, then of the links in each page.
std::vector<BrokenLink> checkLinks(const QString& outputFolder,
                                   const std::vector<CheckedPage>& pages,
                                   const QStringList& pageExtensions);

} // namespace quillane
