// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// The site's files as the preview server answers for them: which file an address names, the
// type and charset it goes out with, and the live-reload script added to a page on its way.

namespace quillane {

// What an address leads to inside the served folder.
struct SiteTarget {
    enum class Kind { Path, File, Redirect, NotFound, Forbidden, BadRequest };
    Kind kind = Kind::NotFound;
    QString path;   // the address's path, decoded and checked ("/docs/", "/css/a.css"); for a
                    // File, the file itself (links resolved)
    QString reason; // for an error page: what is wrong, in a sentence
};

// The path of an address, percent-encoded as it came, decoded and checked segment by segment:
// valid UTF-8, no control character or backslash, nothing hidden (a segment that starts with a
// dot, so never "." or ".."). Empty segments go; a trailing slash stays. A target of kind Path
// with the clean path, or the refusal.
SiteTarget checkUrlPath(const QByteArray& encodedPath);

// The file a checked path names under root: the file, the folder's index.html (or index.htm)
// for a path ending in a slash, a redirect to the slash form for a folder without it; refused
// when the file, through a link, lies outside the root or in a hidden folder, or is not a
// regular file. Folders are never listed.
SiteTarget locateFile(const QString& root, const QString& checkedPath);

// The path relative to the root folder ("docs/a.html", "" for the root itself) of a file under
// it, which need not exist yet, following links on the way; a null string when it is not under
// the root or hidden there.
QString pathUnderRoot(const QString& root, const QString& absolutePath);

// The Content-Type of a file of that name: its type from the extension, and for text the
// charset its bytes have. A page declaring UTF-8 (or starting with the UTF-8 mark) is UTF-8,
// any other was written as Windows-1252, as the build writes pages; other text is UTF-8 when
// its bytes are. `bytes` may be only the start of a large file.
QByteArray contentTypeFor(const QString& fileName, const QByteArray& bytes);
bool isHtmlType(const QByteArray& contentType);

// The page with the tag added before its last </body>, else its last </html>, else at the end.
// A page in UTF-16 is left as it is.
QByteArray withTag(const QByteArray& page, const QByteArray& tag);

// A short HTML page telling an error: its status line as heading and the sentence.
QByteArray errorPage(int status, const QString& sentence);
inline const QString kReadOnlySentence =
    QStringLiteral("The preview serves its folder read-only: only GET and HEAD are answered.");
QByteArray statusPhrase(int status);

} // namespace quillane
