// SPDX-License-Identifier: GPL-3.0-or-later
#include "site/link_check.h"

#include "formats/text_file.h"
#include "site/markup_text.h"

#include <QFileInfo>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace quillane {

namespace {

// Paths and URLs as keys: a plain hash and comparison, much cheaper than QHash's for the many
// short keys of a site.
struct TextHash {
    size_t operator()(QStringView s) const noexcept {
        quint64 h = 14695981039346656037ULL;
        for (QChar c : s)
            h = (h ^ c.unicode()) * 1099511628211ULL;
        return size_t(h);
    }
};
struct TextEqual {
    bool operator()(QStringView a, QStringView b) const noexcept {
        return a.size() == b.size() &&
               std::memcmp(a.data(), b.data(), size_t(a.size()) * sizeof(QChar)) == 0;
    }
};
template <typename T> using TextMap = std::unordered_map<QString, T, TextHash, TextEqual>;

QString percentDecoded(const QString& s) {
    return s.contains(u'%') ? QString::fromUtf8(QByteArray::fromPercentEncoding(s.toUtf8())) : s;
}

// A place in the output folder: its names from there, '/' between ("" is the folder itself),
// and whether the URL named it as a folder ("blog/", "..").
struct Place {
    QString path;
    bool folder = false;
};

// Walks a relative path from a place, taking "." and ".." as they come; false when it leads
// above the output folder.
bool walk(Place& place, QStringView relative) {
    for (qsizetype i = 0; i <= relative.size();) {
        qsizetype slash = relative.indexOf(u'/', i);
        if (slash < 0) slash = relative.size();
        const QStringView name = relative.mid(i, slash - i);
        const bool last = slash == relative.size();
        if (name.isEmpty() || name == u".") {
            place.folder = place.folder || last;
        } else if (name == u"..") {
            if (place.path.isEmpty()) return false;
            place.path.truncate(std::max<qsizetype>(0, place.path.lastIndexOf(u'/')));
            place.folder = last;
        } else {
            if (!place.path.isEmpty()) place.path += u'/';
            place.path += name;
            place.folder = false;
        }
        i = slash + 1;
    }
    return true;
}

QString folderOf(const QString& path) {
    return path.left(std::max<qsizetype>(0, path.lastIndexOf(u'/')));
}

class Checker {
public:
    Checker(const QString& output, const std::vector<CheckedPage>& pages,
            const QStringList& extensions)
        : m_output(output), m_pages(pages), m_extensions(extensions) {
        for (qsizetype i = 0; i < qsizetype(pages.size()); ++i) {
            Place p;
            walk(p, pages[size_t(i)].path);
            m_batch.emplace(p.path, i);
            for (QString f = folderOf(p.path); !f.isEmpty(); f = folderOf(f))
                m_batchFolders.insert(f);
        }
    }

    void page(qsizetype index, std::vector<BrokenLink>& broken) {
        const CheckedPage& page = m_pages[size_t(index)];
        // The document every URL starts from: the page, or its base.
        Place document;
        walk(document, page.path);
        if (!page.links.base.isEmpty()) {
            if (isExternalUrl(page.links.base)) return; // every URL leads elsewhere
            if (!resolve(document, page.links.base, document)) return;
        }
        // Pages of one folder share most of their URLs (a nav, a style sheet): what a URL
        // leads to from a folder is worked out once. A URL of the page itself ("#x") is not.
        auto& known = m_known[document.folder ? document.path : folderOf(document.path)];
        for (const PageLink& link : page.links.links) {
            if (link.kind == LinkKind::Form) continue;
            std::optional<QString> why;
            if (link.url.startsWith(u'#') || link.url.startsWith(u'?')) {
                why = check(document, link.url);
            } else {
                auto it = known.find(link.url);
                if (it == known.end())
                    it = known.emplace(link.url, check(document, link.url)).first;
                why = it->second;
            }
            if (why)
                broken.push_back(
                    {index, link.url,
                     page.name + QStringLiteral(": broken link '") + link.url + u'\'' + *why});
        }
    }

private:
    enum class Entry { Missing, File, Folder };

    bool resolve(const Place& document, const QString& url, Place& place) const {
        qsizetype end = url.size();
        for (qsizetype i = 0; i < url.size() && end == url.size(); ++i)
            end = url[i] == u'?' || url[i] == u'#' ? i : end;
        if (end == 0) {
            place = document;
            return true;
        }
        QString path = percentDecoded(url.left(end));
        path.replace(u'\\', u'/');
        Place from;
        if (!path.startsWith(u'/'))
            from.path = document.folder ? document.path : folderOf(document.path);
        place = from;
        return walk(place, path);
    }

    // Nothing when the URL leads to something, otherwise what the line adds to say why not.
    std::optional<QString> check(const Place& document, const QString& url) {
        Place place;
        if (!resolve(document, url, place)) return QStringLiteral(" (outside the output folder)");
        const Entry e = entry(place.path);
        const QString file = e == Entry::Folder                  ? index(place.path)
                             : e == Entry::File && !place.folder ? place.path
                                                                 : QString();
        if (file.isEmpty()) return QString();
        const qsizetype hash = url.indexOf(u'#');
        if (hash < 0 || !isPage(file)) return std::nullopt;
        const QString fragment = url.mid(hash + 1);
        // An empty fragment and "top" lead to the top of any page.
        if (fragment.isEmpty() || fragment.compare(u"top", Qt::CaseInsensitive) == 0)
            return std::nullopt;
        const QStringList* targets = targetsOf(file);
        const QString decoded = percentDecoded(fragment);
        if (!targets || std::binary_search(targets->begin(), targets->end(), fragment) ||
            std::binary_search(targets->begin(), targets->end(), decoded))
            return std::nullopt;
        return QStringLiteral(" (no element with id '") + decoded + QStringLiteral("')");
    }

    Entry entry(const QString& path) {
        if (path.isEmpty() || m_batchFolders.count(path)) return Entry::Folder;
        if (m_batch.count(path)) return Entry::File;
        auto it = m_entries.find(path);
        if (it != m_entries.end()) return it->second;
        const QFileInfo info(m_output + u'/' + path);
        const Entry e = info.isDir() ? Entry::Folder : info.exists() ? Entry::File : Entry::Missing;
        m_entries.emplace(path, e);
        return e;
    }

    // The page a folder shows, or empty.
    QString index(const QString& folder) {
        for (const char* name : {"index.html", "index.htm"}) {
            const QString file =
                folder.isEmpty() ? QString::fromLatin1(name) : folder + u'/' + QLatin1String(name);
            if (entry(file) == Entry::File) return file;
        }
        return QString();
    }

    bool isPage(const QString& path) const {
        const qsizetype dot = path.lastIndexOf(u'.');
        return dot > path.lastIndexOf(u'/') &&
               m_extensions.contains(path.mid(dot + 1), Qt::CaseInsensitive);
    }

    // The fragment targets of a page: what a batch page carries, or what the page on disk
    // holds; none when it cannot be read.
    const QStringList* targetsOf(const QString& path) {
        auto page = m_batch.find(path);
        if (page != m_batch.end()) return &m_pages[size_t(page->second)].links.targets;
        auto it = m_onDisk.find(path);
        if (it == m_onDisk.end()) {
            QByteArray bytes;
            FileError error;
            std::optional<QStringList> targets;
            if (readFileBytes(m_output + u'/' + path, bytes, error))
                targets = pageLinks(bytes).targets;
            it = m_onDisk.emplace(path, targets).first;
        }
        return it->second ? &*it->second : nullptr;
    }

    QString m_output;
    const std::vector<CheckedPage>& m_pages;
    const QStringList& m_extensions;
    TextMap<qsizetype> m_batch;
    std::unordered_set<QString, TextHash, TextEqual> m_batchFolders;
    TextMap<Entry> m_entries;
    TextMap<std::optional<QStringList>> m_onDisk;
    TextMap<TextMap<std::optional<QString>>> m_known; // by folder, then URL
};

} // namespace

std::vector<BrokenLink> checkLinks(const QString& outputFolder,
                                   const std::vector<CheckedPage>& pages,
                                   const QStringList& pageExtensions) {
    std::vector<BrokenLink> broken;
    Checker checker(outputFolder, pages, pageExtensions);
    for (qsizetype i = 0; i < qsizetype(pages.size()); ++i)
        checker.page(i, broken);
    return broken;
}

} // namespace quillane
