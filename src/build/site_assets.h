// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A site's assets (style sheets, pictures, scripts) copied into its output folder after the
// pages.

#include "build/batch_policy.h"
#include "site/site_file.h"

#include <QSet>
#include <QString>
#include <QStringList>

namespace quillane {

struct AssetsCopied {
    int copied = 0;      // written
    int unchanged = 0;   // their bytes were there already: not written, time stamps kept
    QStringList lines;   // one for each file not copied, and why
    QStringList written; // the files written in the output folder
};

// Copies every file of the site's assets folder to the same place inside its output folder,
// making folders there as needed. Nothing is deleted; a file whose bytes are there already is
// not written; regular files only; a link is followed only when it leads to a file inside the
// assets folder, and links to folders not at all; hidden files and folders are left out unless
// the policy allows other files. An asset is never written over a page (one of `pages`, the
// pages of the batch, the sameFileKey of each cleaned absolute path), a template or a templated
// document, or anything that is not a regular file, with the same rules as a page.
AssetsCopied copySiteAssets(const SiteSettings& site, const WritePolicy& policy,
                            const QSet<QString>& pages);

} // namespace quillane
