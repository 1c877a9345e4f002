// SPDX-License-Identifier: GPL-3.0-or-later
#include "serve/site_files.h"

#include "formats/text_codec.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

namespace quillane {

namespace {

SiteTarget refusal(SiteTarget::Kind kind, const QString& path, const QString& reason) {
    return {kind, path, reason};
}

const QString kHidden =
    QStringLiteral("Hidden files and folders (names that start with a dot) are not served.");
const QString kOutside = QStringLiteral("This address leads outside the site's folder.");

bool inside(const QString& canonical, const QString& root) {
    return canonical == root || (canonical.startsWith(root) && canonical.size() > root.size() &&
                                 (root.endsWith(u'/') || canonical[root.size()] == u'/'));
}

bool hasHiddenSegment(QStringView relative) {
    for (QStringView segment : relative.split(u'/')) {
        if (segment.startsWith(u'.')) return true;
    }
    return false;
}

// Why a path (links resolved) may not be served from root; empty when it may.
QString misplaced(const QString& canonical, const QString& root) {
    if (!inside(canonical, root)) return kOutside;
    if (hasHiddenSegment(QStringView(canonical).mid(root.size()))) return kHidden;
    return {};
}

SiteTarget checkedFile(const QFileInfo& file, const QString& root, const QString& urlPath) {
    const QString canonical = file.canonicalFilePath();
    if (const QString why = misplaced(canonical, root); !why.isEmpty())
        return refusal(SiteTarget::Kind::Forbidden, urlPath, why);
    if (!QFileInfo(canonical).isFile())
        return refusal(SiteTarget::Kind::Forbidden, urlPath,
                       QStringLiteral("This is not a regular file."));
    return {SiteTarget::Kind::File, canonical, {}};
}

bool isUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes); // the decoding happens only when it is taken
    return !text.isNull() && !decoder.hasError();
}

// The start of bytes, cut before a character that would be split.
QByteArrayView prefixOf(const QByteArray& bytes, qsizetype size) {
    if (bytes.size() <= size) return bytes;
    for (int k = 0; k < 3 && size > 0 && (uchar(bytes[size]) & 0xC0) == 0x80; ++k)
        --size;
    return QByteArrayView(bytes).first(size);
}

struct Type {
    const char* extension;
    const char* type;
    bool text;
};
constexpr Type kTypes[] = {
    {"html", "text/html", true},       {"htm", "text/html", true},
    {"css", "text/css", true},         {"js", "text/javascript", true},
    {"mjs", "text/javascript", true},  {"json", "application/json", true},
    {"map", "application/json", true}, {"txt", "text/plain", true},
    {"csv", "text/csv", true},         {"xml", "application/xml", true},
    {"svg", "image/svg+xml", true},    {"png", "image/png", false},
    {"jpg", "image/jpeg", false},      {"jpeg", "image/jpeg", false},
    {"gif", "image/gif", false},       {"webp", "image/webp", false},
    {"avif", "image/avif", false},     {"ico", "image/x-icon", false},
    {"woff", "font/woff", false},      {"woff2", "font/woff2", false},
    {"ttf", "font/ttf", false},        {"otf", "font/otf", false},
    {"pdf", "application/pdf", false}, {"mp4", "video/mp4", false},
    {"webm", "video/webm", false},     {"mp3", "audio/mpeg", false},
    {"ogg", "audio/ogg", false},       {"wasm", "application/wasm", false},
};

} // namespace

SiteTarget checkUrlPath(const QByteArray& encodedPath) {
    const QByteArray bytes = QByteArray::fromPercentEncoding(encodedPath);
    if (!bytes.startsWith('/') || !isUtf8(bytes))
        return refusal(SiteTarget::Kind::BadRequest, {},
                       QStringLiteral("The address is not a valid path."));
    const QString decoded = QString::fromUtf8(bytes);
    for (QChar c : decoded) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return refusal(SiteTarget::Kind::BadRequest, {},
                           QStringLiteral("The address holds a control character."));
        if (c == u'\\') return refusal(SiteTarget::Kind::Forbidden, {}, kOutside);
    }
    QStringList segments;
    for (QStringView segment : QStringView(decoded).split(u'/', Qt::SkipEmptyParts)) {
        if (segment == u"..") return refusal(SiteTarget::Kind::Forbidden, {}, kOutside);
        if (segment.startsWith(u'.')) return refusal(SiteTarget::Kind::Forbidden, {}, kHidden);
        segments << segment.toString();
    }
    QString path = u'/' + segments.join(u'/');
    if (decoded.endsWith(u'/') && !segments.isEmpty()) path += u'/';
    return {SiteTarget::Kind::Path, path, {}};
}

SiteTarget locateFile(const QString& root, const QString& checkedPath) {
    const QString rootCanonical = QFileInfo(root).canonicalFilePath();
    if (rootCanonical.isEmpty())
        return refusal(SiteTarget::Kind::NotFound, checkedPath,
                       QStringLiteral("The site's folder does not exist yet: build the site."));
    const bool folderUrl = checkedPath.endsWith(u'/');
    QString relative = checkedPath.mid(1);
    if (folderUrl) relative.chop(1);
    const QFileInfo info(relative.isEmpty() ? rootCanonical : rootCanonical + u'/' + relative);
    if (!info.exists())
        return refusal(SiteTarget::Kind::NotFound, checkedPath,
                       QStringLiteral("There is no file at this address in the site's folder."));
    if (info.isDir()) {
        if (!folderUrl) return {SiteTarget::Kind::Redirect, checkedPath + u'/', {}};
        const QString folder = info.canonicalFilePath();
        if (const QString why = misplaced(folder, rootCanonical); !why.isEmpty())
            return refusal(SiteTarget::Kind::Forbidden, checkedPath, why);
        for (const char* index : {"index.html", "index.htm"}) {
            const QFileInfo file(folder + u'/' + QLatin1String(index));
            if (file.exists()) return checkedFile(file, rootCanonical, checkedPath);
        }
        return refusal(SiteTarget::Kind::NotFound, checkedPath,
                       QStringLiteral("This folder has no index.html, and folders are not "
                                      "listed."));
    }
    if (folderUrl)
        return refusal(SiteTarget::Kind::NotFound, checkedPath,
                       QStringLiteral("This is a file, not a folder."));
    return checkedFile(info, rootCanonical, checkedPath);
}

QString pathUnderRoot(const QString& root, const QString& absolutePath) {
    auto relativeTo = [](const QString& path, const QString& folder) -> QString {
        if (path == folder) return QStringLiteral("");
        if (!inside(path, folder)) return {};
        return path.mid(folder.size() + (folder.endsWith(u'/') ? 0 : 1));
    };
    const QFileInfo file(QDir::cleanPath(QFileInfo(absolutePath).absoluteFilePath()));
    QString relative =
        relativeTo(file.filePath(), QDir::cleanPath(QFileInfo(root).absoluteFilePath()));
    if (relative.isNull()) {
        // Through links: the file, or one not written yet in a folder that exists.
        QString canonical = file.canonicalFilePath();
        const QString folder = file.dir().canonicalPath();
        if (canonical.isEmpty() && !folder.isEmpty()) canonical = folder + u'/' + file.fileName();
        const QString rootCanonical = QFileInfo(root).canonicalFilePath();
        if (!canonical.isEmpty() && !rootCanonical.isEmpty())
            relative = relativeTo(canonical, rootCanonical);
    }
    return relative.isNull() || hasHiddenSegment(relative) ? QString() : relative;
}

QByteArray contentTypeFor(const QString& fileName, const QByteArray& bytes) {
    const QString extension = fileName.mid(fileName.lastIndexOf(u'.') + 1).toLower();
    for (const Type& t : kTypes) {
        if (extension != QLatin1String(t.extension)) continue;
        if (!t.text) return t.type;
        bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
        if (!utf8 && isHtmlType(t.type)) {
            utf8 = declaresUtf8(decodeText(prefixOf(bytes, 4096).toByteArray()));
        } else if (!utf8) {
            utf8 = isUtf8(prefixOf(bytes, bytes.size()));
        }
        return QByteArray(t.type) + (utf8 ? "; charset=utf-8" : "; charset=windows-1252");
    }
    return "application/octet-stream";
}

bool isHtmlType(const QByteArray& contentType) {
    return contentType.startsWith("text/html");
}

QByteArray withTag(const QByteArray& page, const QByteArray& tag) {
    if (page.startsWith("\xFF\xFE") || page.startsWith("\xFE\xFF")) return page;
    const QByteArray lower = page.toLower();
    qsizetype at = lower.lastIndexOf("</body");
    if (at < 0) at = lower.lastIndexOf("</html");
    if (at < 0) at = page.size();
    QByteArray out = page;
    out.insert(at, tag);
    return out;
}

QByteArray statusPhrase(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

QByteArray errorPage(int status, const QString& sentence) {
    const QByteArray heading = QByteArray::number(status) + ' ' + statusPhrase(status);
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + heading +
           "</title></head>\n<body><h1>" + heading + "</h1>\n<p>" +
           sentence.toHtmlEscaped().toUtf8() + "</p></body></html>\n";
}

} // namespace quillane
