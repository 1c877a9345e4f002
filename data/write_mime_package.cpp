// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the shared-mime-info package of the two file types, the same text that the
// program's own registration installs for a user, for the system-wide install.

#include "freedesktop/desktop_association.h"

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fputs("usage: write_mime_package <file>\n", stderr);
        return 2;
    }
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) return 1;
    const std::string xml = quillane::shell::mimePackageXml();
    const bool written = std::fwrite(xml.data(), 1, xml.size(), out) == xml.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}
