// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/site_assets.h"

#include "build/batch_documents.h"
#include "build/batch_report.h"
#include "formats/file_write.h"
#include "platform/file_system.h"

#include <QDir>
#include <QFileInfo>

namespace quillane {

namespace {

class Copier {
public:
    Copier(const SiteSettings& site, const WritePolicy& policy, const QSet<QString>& pages)
        : m_site(site), m_policy(policy), m_pages(pages),
          m_realAssets(QFileInfo(site.assets).canonicalFilePath()) {}

    AssetsCopied run() {
        QList<QString> pending{QString()}; // folders inside the assets folder, "" the top
        for (int looked = 0; !pending.isEmpty() && looked < kMaxListedFolders; ++looked) {
            const QString relative = pending.takeFirst();
            const QString here =
                relative.isEmpty() ? m_site.assets : m_site.assets + u'/' + relative;
            std::vector<platform::FolderEntry> entries;
            platform::SystemError error;
            if (!platform::listFolder(platform::encodePath(here), entries, error)) continue;
            for (const platform::FolderEntry& entry : entries) {
                const QString name = platform::decodePath(entry.name);
                const QString path = relative.isEmpty() ? name : relative + u'/' + name;
                if (entry.hidden && !m_policy.otherFiles) {
                    refuse(path, QStringLiteral("it is hidden; a batch copies hidden files only "
                                                "when you allow it (--allow-other-files before "
                                                "/B:)"));
                    continue;
                }
                if (entry.kind == platform::FileKind::Folder) {
                    if (!entry.link) pending << path;
                    continue;
                }
                if (entry.kind != platform::FileKind::Regular) {
                    refuse(path, QStringLiteral("it is not a regular file"));
                    continue;
                }
                if (entry.link && !leadsInside(m_site.assets + u'/' + path)) {
                    refuse(path, QStringLiteral("it is a link that leads out of the assets "
                                                "folder"));
                    continue;
                }
                copy(path);
            }
        }
        return std::move(m_done);
    }

private:
    bool leadsInside(const QString& link) const {
        const QString real = QFileInfo(link).canonicalFilePath();
        return !real.isEmpty() && !m_realAssets.isEmpty() && real.startsWith(m_realAssets + u'/');
    }

    void refuse(const QString& path, const QString& why) {
        m_done.lines << escapeControls(m_site.assets + u'/' + path +
                                       QStringLiteral(": not copied: ") + why);
    }

    void copy(const QString& path) {
        const QString source = m_site.assets + u'/' + path;
        const QString target = m_site.output + u'/' + path;
        if (m_pages.contains(platform::sameFileKey(target))) {
            refuse(path,
                   QStringLiteral("'") + target + QStringLiteral("' is a page of this build"));
            return;
        }
        QByteArray bytes;
        FileError error;
        if (!readFileBytes(source, bytes, error)) {
            refuse(path, error.description);
            return;
        }
        const QString folder = QFileInfo(target).absolutePath();
        if (!QFileInfo(folder).isDir() && !makeFolderInside(folder, m_site.output)) {
            refuse(path, QStringLiteral("its folder cannot be made in the output folder"));
            return;
        }
        switch (writeFileAtomically(target, bytes, WriteMode::Page, error)) {
        case WriteOutcome::Written:
            ++m_done.copied;
            m_done.written << target;
            break;
        case WriteOutcome::Unchanged:
            ++m_done.unchanged;
            break;
        case WriteOutcome::Failed:
            refuse(path, QStringLiteral("'") + target + QStringLiteral("': ") + error.description);
            break;
        }
    }

    const SiteSettings& m_site;
    const WritePolicy& m_policy;
    const QSet<QString>& m_pages;
    const QString m_realAssets;
    AssetsCopied m_done;
};

} // namespace

AssetsCopied copySiteAssets(const SiteSettings& site, const WritePolicy& policy,
                            const QSet<QString>& pages) {
    if (site.assets.isEmpty()) return {};
    if (!QFileInfo(site.assets).isDir()) {
        AssetsCopied none;
        none.lines << escapeControls(site.file + QStringLiteral(": the assets folder '") +
                                     site.assets +
                                     QStringLiteral("' is not there; no asset was copied"));
        return none;
    }
    return Copier(site, policy, pages).run();
}

} // namespace quillane
