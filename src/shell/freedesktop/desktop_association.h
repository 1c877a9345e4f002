// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quillane::shell {

inline constexpr const char* kDocumentMimeType = "application/x-quillane-document";
inline constexpr const char* kTemplateMimeType = "application/x-quillane-template";
inline constexpr const char* kDocumentDesktopFile = "quillane-document.desktop";
inline constexpr const char* kTemplateDesktopFile = "quillane-template.desktop";
inline constexpr const char* kMimePackageFile = "quillane.xml";
inline constexpr const char* kIconName = "quillane";

// Where a freedesktop registration goes. An empty folder means "unknown", and
// what belongs there is skipped.
struct DesktopPlaces {
    std::string dataHome;   // $XDG_DATA_HOME, else ~/.local/share
    std::string configHome; // $XDG_CONFIG_HOME, else ~/.config
    std::string searchPath; // PATH, for update-mime-database and update-desktop-database
};

// The places for the current user from the environment. Relative XDG values are
// ignored, as the base directory rules require.
DesktopPlaces desktopPlacesFromEnvironment();

// Registers both file types for the program at `programPath`: the MIME package,
// one .desktop file per type, the program's icon in every size in the user's icon
// theme, the defaults in mimeapps.list, then the desktop
// databases are refreshed where their tools exist. Writes what it can; never
// throws. Returns true when every file was written.
bool associateFilesWithDesktop(const DesktopPlaces& places, const std::string& programPath);

// The shared-mime-info package describing both types.
std::string mimePackageXml();

// The .desktop file that opens one type with the program; `option` is "/H:" or "/T:".
std::string desktopEntry(const std::string& name, const std::string& comment,
                         const std::string& mimeType, const std::string& programPath,
                         const std::string& option);

// One argument of an Exec key written so that it reaches the program unchanged:
// quoted with ", \, $ and ` escaped, % doubled, and then escaped once more as a
// string value (the key file level).
std::string execArgument(const std::string& argument);

// `existing` mimeapps.list text with each type's default set in its
// [Default Applications] section; every other line stays as it was.
std::string
withDefaultApplications(const std::string& existing,
                        const std::vector<std::pair<std::string, std::string>>& defaults);
} // namespace quillane::shell
