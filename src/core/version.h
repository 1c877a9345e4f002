// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace quillane {

// The program's version record; the splash, the about box and --version build their texts
// from it at run time.
struct VersionRecord {
    int major;
    int minor;
    int revision;
    const char* comments; // the build date
};

inline constexpr VersionRecord kVersion{0, 1, 2, "March 13, 2004"};
inline constexpr const char* kAppTitle = "Quillane";

// "0.1.2"
inline QString versionNumberText() {
    return QStringLiteral("%1.%2.%3")
        .arg(kVersion.major)
        .arg(kVersion.minor)
        .arg(kVersion.revision);
}

} // namespace quillane
