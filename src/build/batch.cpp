// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/batch.h"

#include "build/batch_report.h"
#include "build/page.h"
#include "build/site_assets.h"
#include "build/template_check.h"
#include "formats/file_write.h"
#include "platform/file_system.h"
#include "site/link_check.h"

#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <thread>

namespace quillane {

namespace {

// A document read and poured, its new page written beside the old one but not put in its
// place (the new file goes with it unless it is).
struct Prepared {
    DocumentReport report;
    std::shared_ptr<const TemplateRead> templ;
    PlannedPage page;
    QString pagePath;    // inside the site's output folder, for the link check
    bool writes = false; // got as far as the write
    bool outOfMemory = false;
    bool stagingFailed = false; // the new page could not be written beside the old one
    quint64 startedAt = 0;      // pages written before it was read
};

// A page this batch wrote: the file it replaced, or the path of the file it made.
struct WriteRecord {
    quint64 seq = 0;
    quint64 device = 0, inode = 0; // the file replaced
    QString created;               // or the file made, cleaned absolute
};

} // namespace

// One run of a request. Worker threads read and pour the documents ahead of the one being
// written, but everything that can be seen is as when they are built one after the other in
// the request's order: the pages are written in that order by the thread that runs the batch,
// and a document whose inputs (the document, its template, the page it compares with) were
// replaced by the page of an earlier document after it was read is read again before its page
// is written.
class BatchRun {
public:
    BatchRun(BatchService& service, const BatchRequest& request)
        : m_service(service), m_request(request), m_rule(request.folder) {}

    ~BatchRun() { stopWorkers(); }

    BatchReport run(BatchObserver& observer) {
        const QList<BatchDocument>& documents = m_request.documents;
        m_report.folder = m_request.folder;
        m_report.found = int(documents.size());
        observer.batchStarted(m_report);
        startWorkers();
        for (qsizetype k = 0; k < documents.size(); ++k) {
            const QString full = batchDocumentPath(m_request.folder, documents[k].name);
            observer.documentStarted(full, m_report.done);
            // Taken also when it is not read, so that its place in the window ahead is free.
            Prepared p = take(k);
            if (documents[k].nameIsUtf8) {
                // Read again what an earlier page replaced after it was read. A page that could
                // not be written ahead (a full disk: the pages before it still held their
                // space) is tried again now, in its turn, as one job would.
                if (p.stagingFailed || stale(p, full)) {
                    // A missing folder is made where the page may have one, in its turn.
                    if (p.page.plan.folderMissing)
                        makeFolderInside(QFileInfo(p.report.output).absolutePath(),
                                         folderRootFor(site(), full));
                    p = prepare(full);
                }
                if (p.writes) write(p, k);
                warnAboutTemplate(p);
            } else {
                p.report.path = full;
                p.report.outcome = DocumentOutcome::NameNotUtf8;
                m_report.misnamed << escapeControls(documents[k].name);
            }
            finish(p.report);
            observer.documentFinished(p.report);
            if (observer.stopRequested()) {
                m_report.stopped = m_report.done < m_report.found;
                break;
            }
        }
        stopWorkers();
        if (site()) finishSite();
        if (m_report.leftoversRemoved > 0) close({leftoversLine(m_report.leftoversRemoved)});
        return std::move(m_report);
    }

private:
    // Reads the document with its template, pours it and looks at its output: all but writing.
    Prepared prepare(const QString& path) {
        Prepared p;
        p.startedAt = m_written.load();
        p.report.path = path;
        DocumentReport& r = p.report;
        try {
            auto read = std::make_shared<DocumentWithTemplate>(
                readDocumentWithTemplate(path, m_service.m_templates));
            const DocumentWithTemplate& d = *read;
            if (m_request.keepDocuments) r.document = read;
            r.documentSeen = d.documentSeen;
            r.templateSeen = d.templateSeen;
            r.messages = d.messages;
            r.templatePath = d.document.templatePath;
            p.templ = d.templ;
            if (d.result != DocumentWithTemplate::Result::Loaded) {
                r.outcome = d.result == DocumentWithTemplate::Result::StoppedEarly
                                ? DocumentOutcome::ReadStoppedEarly
                                : DocumentOutcome::NotRead;
                return p;
            }
            r.output = d.document.output;
            if (!m_request.policy.otherFiles && !agreed(path, r.output))
                r.notAPage = m_rule.pathReason(r.output);
            if (!r.notAPage.isEmpty()) {
                r.outcome = DocumentOutcome::NotAPage;
                return p;
            }
            // Whether an output that is a link may be written is known once the writer sees it
            // is one; asking before would cost every page a look.
            LinkCheck linkCheck;
            if (!m_request.policy.otherFiles && !agreed(path, r.output))
                linkCheck = [this](const QString& link) { return m_rule.linkReason(link); };
            PagePlace place;
            if (m_request.site) {
                place = placeInSite(&*m_request.site, r.output);
                if (place.pagePath.isEmpty()) r.outsideSite = m_request.site->output;
                p.pagePath = place.pagePath;
            }
            p.page = planPageFile(*d.templ, r.templatePath, d.document.title, d.table, r.output,
                                  path, linkCheck, place);
            if (!p.page.plan.linkRefusal.isEmpty()) {
                r.notAPage = p.page.plan.linkRefusal;
                r.outcome = DocumentOutcome::NotAPage;
                return p;
            }
            // The writer has then only to put it in place.
            const bool planned = !p.page.failure;
            stagePageFile(p.page, r.output);
            p.stagingFailed = planned && p.page.failure;
            p.writes = true;
        } catch (const std::bad_alloc&) {
            const quint64 startedAt = p.startedAt;
            p = Prepared();
            p.startedAt = startedAt;
            p.outOfMemory = true;
            p.report.path = path;
            p.report.outcome = DocumentOutcome::NotRead;
            p.report.messages.push_back(outOfMemoryMessage(path));
        }
        return p;
    }

    // The user agreed to this output, as it was when asked.
    bool agreed(const QString& path, const QString& output) const {
        const auto it = m_request.policy.agreed.constFind(path);
        return it != m_request.policy.agreed.cend() && *it == output;
    }

    // Whether a page written since p was read replaced one of its inputs, or made one that
    // was missing.
    bool stale(const Prepared& p, const QString& path) const {
        if (p.outOfMemory) return false;
        const auto replaced = [](const WriteRecord& w, const FileSignature& s) {
            return s.known() && w.device == s.device && w.inode == s.inode;
        };
        const DocumentReport& r = p.report;
        const WritePlan& plan = p.page.plan;
        for (auto it = m_log.rbegin(); it != m_log.rend() && it->seq >= p.startedAt; ++it) {
            const WriteRecord& w = *it;
            if (!w.created.isEmpty()) {
                if ((!r.documentSeen.known() && m_rule.absolute(path) == w.created) ||
                    (!r.templateSeen.known() && !r.templatePath.isEmpty() &&
                     m_rule.absolute(r.templatePath) == w.created) ||
                    (p.writes && !plan.replaces && m_rule.absolute(r.output) == w.created))
                    return true;
            } else if (replaced(w, r.documentSeen) || replaced(w, r.templateSeen) ||
                       (p.writes && plan.replaces && w.device == plan.old.device &&
                        w.inode == plan.old.inode)) {
                return true;
            }
        }
        return false;
    }

    void write(Prepared& p, qsizetype index) {
        DocumentReport& r = p.report;
        sweepLeftovers(p.page.plan.target);
        const PageOutcome page = commitPageFile(p.page, r.output);
        switch (page.kind) {
        case PageOutcome::Kind::Written: {
            WriteRecord w{m_written.load(), p.page.plan.old.device, p.page.plan.old.inode, {}};
            if (!p.page.plan.replaces) w.created = m_rule.absolute(r.output);
            m_log.push_back(std::move(w));
            ++m_written; // only now: whatever is read from here on sees the new page
            r.outcome = DocumentOutcome::Built;
            break;
        }
        case PageOutcome::Kind::Unchanged:
            r.outcome = DocumentOutcome::Unchanged;
            break;
        case PageOutcome::Kind::Failed:
            r.messages.push_back(page.failure);
            r.outcome = DocumentOutcome::BuildFailed;
            return;
        }
        const QString key = platform::sameFileKey(m_rule.absolute(r.output));
        m_pagesBuilt.insert(key);
        if (!p.pagePath.isEmpty())
            m_checkedPages.push_back({r.output, p.pagePath, std::move(p.page.links)});
        const auto earlier = m_builtOutputs.constFind(key);
        if (earlier != m_builtOutputs.cend())
            r.alsoBuiltBy = batchDocumentPath(m_request.folder, m_request.documents[*earlier].name);
        m_builtOutputs.insert(key, index);
        if (m_log.size() > 64) pruneLog();
    }

    const SiteSettings* site() const { return m_request.site ? &*m_request.site : nullptr; }

    // After the pages: the site's assets, then the links of every page built.
    void finishSite() {
        const SiteSettings& s = *site();
        const AssetsCopied assets = copySiteAssets(s, m_request.policy, m_pagesBuilt);
        m_report.assetsCopied = assets.copied;
        m_report.assetsUnchanged = assets.unchanged;
        m_report.assetsWritten = assets.written;
        close(assets.lines);
        if (s.check == SiteCheck::No) return;
        m_report.linksChecked = true;
        QStringList lines;
        QSet<QString> pages;
        for (const BrokenLink& broken : checkLinks(s.output, m_checkedPages, kPageExtensions)) {
            lines << escapeControls(broken.line);
            const QString& page = m_checkedPages[size_t(broken.page)].name;
            if (!pages.contains(page)) {
                pages.insert(page);
                m_report.brokenPages << page;
            }
        }
        m_report.brokenLinks = int(lines.size());
        close(lines);
    }

    void close(const QStringList& lines) {
        m_report.closingLines += lines;
        add(lines);
    }

    // The first time the batch writes into a folder, the temporary files a killed build left
    // there go.
    void sweepLeftovers(const QByteArray& target) {
        const qsizetype cut = std::max(target.lastIndexOf('/'), target.lastIndexOf('\\'));
        const QString folder = platform::decodePath(cut < 0 ? QByteArray(".") : target.left(cut));
        if (m_swept.contains(folder)) return;
        m_swept.insert(folder);
        m_report.leftoversRemoved += removeLeftoverTemporaries(folder);
    }

    // Each template met is checked once, and again when its file has changed; what the check
    // finds is told, and the build goes on.
    void warnAboutTemplate(Prepared& p) {
        DocumentReport& r = p.report;
        if (!p.templ || !p.templ->defaultHtmlRead || p.templ->failure) return;
        QHash<QString, FileSignature>& checked = m_service.m_checked;
        const auto known = checked.constFind(r.templatePath);
        if (known != checked.cend() && *known == r.templateSeen) return;
        checked.insert(r.templatePath, r.templateSeen);
        r.templateWarnings = templateWarnings(p.templ->value, r.templatePath);
    }

    void finish(const DocumentReport& r) {
        if (r.built()) ++m_report.built;
        if (r.outcome == DocumentOutcome::Unchanged) ++m_report.unchanged;
        ++m_report.done;
        add(reportLines(r));
    }

    void add(const QStringList& lines) {
        for (const QString& line : lines) {
            if (m_report.lines.size() < kMaxReportLines)
                m_report.lines << line;
            else
                ++m_report.linesLeftOut;
        }
    }

    // Forgets the writes that no document still in flight was read before.
    void pruneLog() {
        quint64 oldest = m_written.load();
        {
            std::lock_guard lock(m_mutex);
            for (const quint64 start : m_startOf)
                oldest = std::min(oldest, start);
        }
        while (!m_log.empty() && m_log.front().seq < oldest)
            m_log.pop_front();
    }

    // --- The workers: they take the documents in order, at most a window ahead ---

    void startWorkers() {
        if (m_request.jobs <= 1 || m_request.documents.size() < 2) return;
        m_window = std::min<qsizetype>(16 * qsizetype(m_request.jobs), 1024);
        m_slots = std::vector<std::optional<Prepared>>(size_t(m_window));
        m_startOf.assign(size_t(m_window), kNone);
        for (int i = 0; i < m_request.jobs; ++i)
            m_threads.emplace_back([this] { work(); });
    }

    void stopWorkers() {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads)
            t.join();
        m_threads.clear();
    }

    void work() {
        const qsizetype count = m_request.documents.size();
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (!(m_stop || m_next >= count || m_next < m_taken + m_window)) {
                ++m_sleeping;
                m_wake.wait(
                    lock, [&] { return m_stop || m_next >= count || m_next < m_taken + m_window; });
                --m_sleeping;
            }
            if (m_stop || m_next >= count) return;
            const qsizetype k = m_next++;
            m_startOf[size_t(k % m_window)] = m_written.load();
            lock.unlock();
            Prepared p = prepareAt(k);
            lock.lock();
            m_slots[size_t(k % m_window)] = std::move(p);
            if (m_waitingFor == k) m_done.notify_one();
        }
    }

    Prepared prepareAt(qsizetype k) {
        const BatchDocument& doc = m_request.documents[k];
        return doc.nameIsUtf8 ? prepare(batchDocumentPath(m_request.folder, doc.name)) : Prepared();
    }

    Prepared take(qsizetype k) {
        if (m_threads.empty()) return prepareAt(k);
        const qsizetype count = m_request.documents.size();
        std::unique_lock lock(m_mutex);
        std::optional<Prepared>& slot = m_slots[size_t(k % m_window)];
        // Rather than wait, the writer reads ahead itself while there is room.
        while (!slot && m_next < count && m_next < m_taken + m_window) {
            const qsizetype j = m_next++;
            m_startOf[size_t(j % m_window)] = m_written.load();
            lock.unlock();
            Prepared p = prepareAt(j);
            lock.lock();
            m_slots[size_t(j % m_window)] = std::move(p);
        }
        if (!slot) {
            m_waitingFor = k;
            m_done.wait(lock, [&] { return slot.has_value(); });
            m_waitingFor = -1;
        }
        Prepared p = std::move(*slot);
        slot.reset();
        m_startOf[size_t(k % m_window)] = kNone;
        m_taken = k + 1;
        // Workers asleep on a full window are woken when a quarter of it is free again, not
        // for every slot.
        const bool wake = m_sleeping > 0 && m_next < m_taken + m_window - m_window / 4;
        lock.unlock();
        if (wake) m_wake.notify_all();
        return p;
    }

    BatchService& m_service;
    const BatchRequest& m_request;
    const PageRule m_rule;
    BatchReport m_report;

    std::atomic<quint64> m_written{0}; // pages written so far
    std::deque<WriteRecord> m_log;     // the writer's own
    QHash<QString, qsizetype> m_builtOutputs;
    QSet<QString> m_swept;                   // folders cleared of a killed build's temporary files
    QSet<QString> m_pagesBuilt;              // sameFileKey of the absolute, for the assets
    std::vector<CheckedPage> m_checkedPages; // a site's pages built, for the link check

    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    std::vector<std::thread> m_threads;
    // The documents read ahead: ready ones, and when each was taken on (at most then read).
    static constexpr quint64 kNone = ~quint64(0);
    std::vector<std::optional<Prepared>> m_slots;
    std::vector<quint64> m_startOf;
    qsizetype m_window = 1, m_next = 0, m_taken = 0;
    qsizetype m_waitingFor = -1; // the document the writer waits for
    int m_sleeping = 0;          // workers waiting for room in the window
    bool m_stop = false;
};

BatchReport BatchService::run(const BatchRequest& request, BatchObserver& observer) {
    BatchRun run(*this, request);
    return run.run(observer);
}

Message outOfMemoryMessage(const QString& fullPath) {
    return {QStringLiteral("ERROR: Out of memory while reading or building '") + fullPath +
                QStringLiteral("'; it was not built."),
            QStringLiteral("Quillane BuildEngine"), MsgIcon::Exclamation};
}

int defaultJobs() {
    return std::max(1, QThread::idealThreadCount());
}

} // namespace quillane
