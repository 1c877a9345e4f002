// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/console_batch.h"
#include "build/console_run.h"
#include "build/site_assets.h"
#include "formats/document_file.h"
#include "platform/file_system.h"
#include "platform/folder_watch.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <chrono>
#include <thread>

namespace quillane {

namespace {

// How long a folder must be quiet before the watch rebuilds.
constexpr int kSettleMs = 80;

// What the watch knows of each document: the files as they were when it was last built, and
// the page it names.
struct Known {
    FileSignature document, templ;
    QString templatePath;
    QString output; // cleaned absolute; empty when it names none
};

FileSignature signatureNow(const QString& path) {
    FileSignature s;
    if (!path.isEmpty()) fileSignature(path, s);
    return s;
}

QString absoluteOutput(const QString& output) {
    return output.isEmpty() ? QString() : QDir::cleanPath(QFileInfo(output).absoluteFilePath());
}

// The folder the watch is about, and whether it is still the one it was.
class WatchedFolder {
public:
    explicit WatchedFolder(const QString& folder)
        : m_shown(folder.isEmpty() ? QStringLiteral(".") : folder),
          m_path(platform::encodePath(m_shown)) {
        m_identity = now();
    }
    const QString& shown() const { return m_shown; }
    QString absolute() const { return QFileInfo(m_shown).absoluteFilePath(); }
    // Still there, and the same folder (not another one put in its place).
    bool same() const { return m_identity && now() == m_identity; }
    bool there() const { return now().has_value(); }
    void remember() { m_identity = now(); }

private:
    std::optional<std::pair<quint64, quint64>> now() const {
        platform::FileFacts facts;
        platform::SystemError error;
        if (!platform::lookAt(m_path, true, facts, error) ||
            facts.kind != platform::FileKind::Folder)
            return std::nullopt;
        return std::pair{facts.device, facts.inode};
    }
    QString m_shown;
    QByteArray m_path;
    std::optional<std::pair<quint64, quint64>> m_identity;
};

class Watch {
public:
    Watch(const QString& folder, const ConsoleOptions& options, const WatchHooks& hooks,
          Stream& out, Stream& err)
        : m_folder(folder), m_options(options), m_hooks(hooks), m_out(out), m_err(err),
          m_watched(folder), m_service(m_templates) {}

    // The first build, as /B: makes it. False when the folder cannot be listed or its site
    // file is wrong.
    bool start() {
        FolderBatch batch;
        if (!listForConsole(m_folder, batch, m_err)) return false;
        buildAll(batch);
        return true;
    }

    void run() {
        if (!platform::StopRequests::pending())
            m_err.line(QStringLiteral("Watching '") + escapeControls(m_watched.shown()) +
                       QStringLiteral("' and the templates its documents use; Ctrl+C stops."));
        flush();
        while (!platform::StopRequests::pending()) {
            const bool woken = m_notices.wait(250);
            if (!m_watched.same()) {
                waitForFolder();
                continue;
            }
            if (!woken) continue;
            // Let a save that comes in several steps finish.
            while (!platform::StopRequests::pending() && m_notices.wait(kSettleMs)) {
            }
            if (platform::StopRequests::pending()) break;
            rebuildChanged();
            flush();
        }
    }

private:
    void flush() {
        m_out.flush();
        m_err.flush();
    }

    // Watches the folders that hold the documents, and a site's file and assets.
    void watchFolders(const FolderBatch& batch) {
        m_notices.add(m_watched.absolute());
        for (const QString& folder : batch.folders)
            m_notices.add(QFileInfo(folder).absoluteFilePath());
        if (!batch.site) return;
        m_notices.add(batch.site->folder);
        if (!batch.site->assets.isEmpty()) {
            QStringList assets;
            QList<BatchDocument> none;
            QString reason;
            listSiteDocuments(batch.site->assets, {}, none, reason, &assets);
            for (const QString& folder : assets)
                m_notices.add(QFileInfo(folder).absoluteFilePath());
        }
    }

    // Builds every document, printing the count, and watches their folders afresh.
    void buildAll(const FolderBatch& batch) {
        m_known.clear();
        m_names.clear();
        for (const BatchDocument& doc : batch.documents)
            m_names.insert(doc.name);
        m_site = batch.site;
        m_siteFile = m_site ? signatureNow(m_site->file) : FileSignature();
        m_notices.clear();
        m_templateFolders.clear();
        watchFolders(batch);
        ConsoleObserver console(m_out, m_err);
        QStringList written;
        console.m_also = [&](const DocumentReport& r) { remember(r, written); };
        BatchReport report = m_service.run(consoleRequest(m_folder, batch, m_options), console);
        report.stopSignal = platform::StopRequests::pending();
        report.inSubfolders = batch.inSubfolders;
        finishConsoleRun(report, m_out, m_err);
        told(written + report.assetsWritten);
    }

    // Tells the front end what was written, and from where the pages are seen.
    void told(const QStringList& written) {
        if (!m_hooks.built) return;
        m_out.flush();
        m_hooks.built(m_site ? m_site->output : m_watched.absolute(), written);
    }

    void remember(const DocumentReport& r, QStringList& written) {
        if (r.outcome == DocumentOutcome::Built)
            written << QDir::cleanPath(QFileInfo(r.output).absoluteFilePath());
        m_known.insert(r.path,
                       {r.documentSeen, r.templateSeen, r.templatePath, absoluteOutput(r.output)});
        if (r.templatePath.isEmpty() || m_templateFolders.contains(r.templatePath)) return;
        m_templateFolders.insert(r.templatePath);
        m_notices.add(QFileInfo(r.templatePath).absolutePath());
        const QString real = QFileInfo(r.templatePath).canonicalFilePath();
        if (!real.isEmpty()) m_notices.add(QFileInfo(real).absolutePath());
    }

    // The folder was renamed, deleted or unmounted: say so, and build it again when it is
    // back.
    void waitForFolder() {
        m_err.line(QStringLiteral("'") + escapeControls(m_watched.shown()) +
                   QStringLiteral("' is gone (renamed, deleted or unmounted); waiting for it to "
                                  "come back. Ctrl+C stops."));
        flush();
        while (!platform::StopRequests::pending() && !m_watched.there()) {
            for (int i = 0; i < 5 && !platform::StopRequests::pending(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (platform::StopRequests::pending()) return;
        m_watched.remember();
        m_err.line(QStringLiteral("'") + escapeControls(m_watched.shown()) +
                   QStringLiteral("' is back; building it again."));
        FolderBatch batch;
        if (listForConsole(m_folder, batch, m_err)) buildAll(batch);
        flush();
    }

    void rebuildChanged() {
        FolderBatch batch;
        QString problem;
        switch (readBatchFolder(m_folder, batch, problem)) {
        case FolderProblem::Unlistable:
            return; // gone: seen next turn
        case FolderProblem::BadSiteFile:
            m_err.line(escapeControls(problem) + QStringLiteral(" Nothing was built."));
            return;
        case FolderProblem::None:
            break;
        }
        // A site file that came, went or changed: everything is built again as it says.
        const bool siteChanged = batch.site.has_value() != m_site.has_value() ||
                                 (m_site && signatureNow(m_site->file) != m_siteFile);
        if (siteChanged) {
            m_err.line(QStringLiteral("The site file changed; building everything again."));
            buildAll(batch);
            return;
        }
        watchFolders(batch);
        const QList<BatchDocument>& documents = batch.documents;
        QSet<QString> listed, vacated;
        QList<qsizetype> changed;
        QHash<QString, QString> outputNow; // path -> the output it names now, for the changed
        QHash<QString, FileSignature> templatesNow;
        for (qsizetype i = 0; i < documents.size(); ++i) {
            const BatchDocument& doc = documents[i];
            const QString path = batchDocumentPath(m_folder, doc.name);
            listed.insert(path);
            // A name that cannot be opened was told once, when it came.
            if (!doc.nameIsUtf8) {
                if (!m_names.contains(doc.name)) changed << i;
                continue;
            }
            const auto known = m_known.constFind(path);
            bool again = known == m_known.cend() || signatureNow(path) != known->document;
            if (!again && !known->templatePath.isEmpty()) {
                auto t = templatesNow.find(known->templatePath);
                if (t == templatesNow.end())
                    t = templatesNow.insert(known->templatePath, signatureNow(known->templatePath));
                again = *t != known->templ;
            }
            if (!again) continue;
            changed << i;
            // The page it will name, and the one it named, which another document may name too.
            const DocumentRead read = readDocumentFile(path);
            const QString output = read.headerRead ? absoluteOutput(read.value.output) : QString();
            outputNow.insert(path, output);
            if (known != m_known.cend() && !known->output.isEmpty() && known->output != output)
                vacated.insert(known->output);
        }
        m_names.clear();
        for (const BatchDocument& doc : documents)
            m_names.insert(doc.name);
        for (auto it = m_known.begin(); it != m_known.end();) {
            if (listed.contains(it.key())) {
                ++it;
                continue;
            }
            m_err.line(escapeControls(it.key()) +
                       QStringLiteral(": no longer in the folder; its page stays as it is"));
            if (!it->output.isEmpty()) vacated.insert(it->output);
            it = m_known.erase(it);
        }
        if (changed.isEmpty() && vacated.isEmpty()) {
            // Perhaps an asset changed: the assets alone.
            if (m_site) {
                WritePolicy policy;
                policy.otherFiles = m_options.allowOtherFiles;
                const AssetsCopied assets = copySiteAssets(*m_site, policy, {});
                for (const QString& line : assets.lines)
                    m_err.line(line);
                if (!assets.written.isEmpty()) told(assets.written);
            }
            return;
        }

        // Every document that names a page one of them names or named is built again with
        // them, in the folder's order, so that the page and the warnings are those of /B:.
        QSet<QString> pages = vacated;
        for (const QString& output : std::as_const(outputNow))
            if (!output.isEmpty()) pages.insert(output);
        QList<BatchDocument> again;
        qsizetype next = 0;
        for (qsizetype i = 0; i < documents.size(); ++i) {
            const QString path = batchDocumentPath(m_folder, documents[i].name);
            const bool isChanged = next < changed.size() && changed[next] == i;
            if (isChanged) ++next;
            const auto known = m_known.constFind(path);
            if (isChanged || (known != m_known.cend() && !known->output.isEmpty() &&
                              pages.contains(known->output)))
                again << documents[i];
        }
        if (again.isEmpty()) return;
        ConsoleObserver console(m_out, m_err, false);
        QStringList written;
        console.m_also = [&](const DocumentReport& r) { remember(r, written); };
        batch.documents = again;
        const BatchReport report =
            m_service.run(consoleRequest(m_folder, batch, m_options), console);
        for (const QString& line : report.closingLines)
            m_err.line(line);
        told(written + report.assetsWritten);
    }

    const QString m_folder;
    const ConsoleOptions m_options;
    const WatchHooks& m_hooks;
    Stream& m_out;
    Stream& m_err;
    WatchedFolder m_watched;
    TemplateCache m_templates;
    BatchService m_service;
    platform::FolderWatch m_notices;
    QHash<QString, Known> m_known;      // by document path
    QSet<QString> m_names;              // the names listed last time
    QSet<QString> m_templateFolders;    // templates whose folders are watched
    std::optional<SiteSettings> m_site; // the site as it was read
    FileSignature m_siteFile;           // its file then
};

} // namespace

int runConsoleWatch(const QString& folder, std::FILE* out, std::FILE* err,
                    const ConsoleOptions& options, const WatchHooks& hooks) {
    const platform::StopRequests stopRequests;
    Stream outStream(out), errStream(err);
    Watch watch(folder, options, hooks, outStream, errStream);
    if (!watch.start()) {
        errStream.flush();
        return 2;
    }
    watch.run();
    tellOutputError(outStream, errStream);
    return 0;
}

} // namespace quillane
