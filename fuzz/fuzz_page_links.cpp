// SPDX-License-Identifier: GPL-3.0-or-later
// The quick tokenizer against the full HTML parser: wherever the quick one does not give up,
// the page it makes and the links it finds must be the full parser's. Links left as written
// leave the page as it is.

#include "site/markup_scan.h"
#include "site/page_links.h"

#include <cstdlib>

using namespace quillane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // UTF-8 where the input is, one character a byte otherwise: both kinds of page.
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // Gumbo drops a NUL in an attribute's name where browsers read U+FFFD: not comparable.
    if (bytes.contains('\0')) return 0;
    const QString page = size % 2 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
    const QString path = size % 3 ? QStringLiteral("blog/2024/a.html") : QStringLiteral("a.html");
    const ScannedPage full = scanPage(page, path, SiteLinks::Relative, MarkupReader::Full);
    Markup quick;
    if (quickMarkup(page, quick)) {
        const ScannedPage fast = scanPage(page, path, SiteLinks::Relative);
        if (fast.page != full.page || !(fast.links == full.links)) std::abort();
    }
    const ScannedPage asWritten = scanPage(page, path, SiteLinks::AsWritten, MarkupReader::Full);
    if (asWritten.page != page || !(asWritten.links.targets == full.links.targets)) std::abort();
    return 0;
}
