// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The site file: an optional quillane-site.ini in a site's top folder, which says where the
// site's pages go and how a batch treats them.

#include <QString>
#include <optional>

namespace quillane {

inline const QString kSiteFileName = QStringLiteral("quillane-site.ini");

enum class SiteSubfolders { Yes, No }; // whether a batch builds the sub-folders' documents
enum class SiteLinks { Relative, AsWritten };
enum class SiteCheck { Yes, Strict, No }; // Strict: broken links fail the batch

struct SiteSettings {
    QString folder; // the site folder, where the file is (absolute, clean)
    QString file;   // the site file's path
    QString output; // where the pages go: absolute, clean, inside folder
    QString assets; // absolute, clean, inside folder and apart from output; empty: none
    SiteSubfolders subfolders = SiteSubfolders::Yes;
    SiteLinks links = SiteLinks::Relative;
    SiteCheck check = SiteCheck::Yes;
};

// The settings a new site file starts with: pages in "public", no assets.
SiteSettings newSiteSettings(const QString& folder);

// The site file nearest to a folder: in it, or in the first folder above it that has one,
// up to the root. Empty when there is none.
QString findSiteFile(const QString& folder);

struct SiteFileRead {
    std::optional<SiteSettings> settings;
    // Otherwise what is wrong, on one line that names the file and the line (none when the
    // file as a whole is at fault) and says what to do:
    // "/site/quillane-site.ini:3: unknown key 'ouput': the keys are output, assets, ..."
    QString problem;
    int line = 0;
};
// Reads a site file. Nothing in it is taken unless all of it is right.
SiteFileRead readSiteFile(const QString& path);
// The same from the file's text, for a file not written yet.
SiteFileRead parseSiteFile(const QString& text, const QString& path);

// A complete site file for the settings, each setting explained by a comment; CR LF line ends.
QString siteFileText(const SiteSettings& settings);

} // namespace quillane
