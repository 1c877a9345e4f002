// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/batch_pipeline.h"

#include "build/document_load.h"
#include "build/page_build.h"

#include <QHash>
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

// A document read and poured, its new page written beside the old one but not put in its place.
struct Prepared {
    DocumentBuild build;
    PlannedPage page;    // its new file goes with it unless it was put in place
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

class Pipeline {
public:
    Pipeline(const QString& folder, const QList<BatchDocument>& documents,
             const PipelineOptions& options, TemplateCache& templates)
        : m_folder(folder), m_documents(documents), m_options(options), m_templates(templates),
          m_rule(folder) {}

    ~Pipeline() { stopWorkers(); }

    BatchSummary run(BatchObserver& observer,
                     const std::function<void(const QString&, const DocumentBuild&)>& told) {
        BatchSummary summary;
        summary.found = int(m_documents.size());
        observer.batchStarted(m_folder, summary.found);
        startWorkers();
        for (qsizetype k = 0; k < m_documents.size(); ++k) {
            const QString full = batchDocumentPath(m_folder, m_documents[k].name);
            observer.documentStarted(full, summary.done);
            DocumentOutcome outcome = DocumentOutcome::NameNotUtf8;
            if (m_documents[k].nameIsUtf8) {
                Prepared p = take(k);
                // Read again what an earlier page replaced after it was read. A page that could
                // not be written ahead (a full disk: the pages before it still held their
                // space) is tried again now, in its turn, as one job would.
                if (p.stagingFailed || stale(p, full)) p = prepare(full);
                if (p.outOfMemory) {
                    outcome = DocumentOutcome::NotRead;
                    observer.outOfMemory(full, outOfMemoryMessage(full));
                } else {
                    if (p.writes) write(p, k);
                    outcome = p.build.outcome;
                    told(full, p.build);
                }
            }
            if (summary.finish(full, outcome, observer)) break;
        }
        stopWorkers();
        return summary;
    }

private:
    // Reads the document with its template, pours it and looks at its output: all but writing.
    Prepared prepare(const QString& path) {
        Prepared p;
        p.startedAt = m_written.load();
        try {
            const LoadedDocument d = loadDocument(path, m_templates);
            p.build.documentSeen = d.documentSeen;
            p.build.templateSeen = d.templateSeen;
            DocumentBuild& b = p.build;
            b.messages = d.messages;
            b.templatePath = d.document.templatePath;
            b.templ = d.templ;
            if (d.result != LoadedDocument::Result::Loaded) {
                b.outcome = d.result == LoadedDocument::Result::StoppedEarly
                                ? DocumentOutcome::ReadStoppedEarly
                                : DocumentOutcome::NotRead;
                return p;
            }
            b.output = d.document.output;
            if (!m_options.allowOtherFiles) b.notAPage = m_rule.pathReason(b.output);
            if (!b.notAPage.isEmpty()) {
                b.outcome = DocumentOutcome::NotAPage;
                return p;
            }
            // Whether an output that is a link may be written is known once the writer sees it
            // is one; asking before would cost every page a look.
            LinkCheck linkCheck;
            if (!m_options.allowOtherFiles)
                linkCheck = [this](const QString& link) { return m_rule.linkReason(link); };
            p.page = planPageFile(*d.templ, b.templatePath, d.document.title, d.table, b.output,
                                  path, linkCheck);
            if (!p.page.plan.linkRefusal.isEmpty()) {
                b.notAPage = p.page.plan.linkRefusal;
                b.outcome = DocumentOutcome::NotAPage;
                return p;
            }
            // The writer has then only to put it in place.
            const bool planned = !p.page.failure;
            stagePageFile(p.page, b.output);
            p.stagingFailed = planned && p.page.failure;
            p.writes = true;
        } catch (const std::bad_alloc&) {
            const quint64 startedAt = p.startedAt;
            p = Prepared();
            p.startedAt = startedAt;
            p.outOfMemory = true;
        }
        return p;
    }

    // Whether a page written since p was read replaced one of its inputs, or made one that
    // was missing.
    bool stale(const Prepared& p, const QString& path) const {
        if (p.outOfMemory) return false;
        const auto replaced = [](const WriteRecord& w, const FileSignature& s) {
            return s.known() && w.device == s.device && w.inode == s.inode;
        };
        const WritePlan& plan = p.page.plan;
        for (auto it = m_log.rbegin(); it != m_log.rend() && it->seq >= p.startedAt; ++it) {
            const WriteRecord& w = *it;
            if (!w.created.isEmpty()) {
                if ((!p.build.documentSeen.known() && m_rule.absolute(path) == w.created) ||
                    (!p.build.templateSeen.known() && !p.build.templatePath.isEmpty() &&
                     m_rule.absolute(p.build.templatePath) == w.created) ||
                    (p.writes && !plan.replaces && m_rule.absolute(p.build.output) == w.created))
                    return true;
            } else if (replaced(w, p.build.documentSeen) || replaced(w, p.build.templateSeen) ||
                       (p.writes && plan.replaces && w.device == plan.old.device &&
                        w.inode == plan.old.inode)) {
                return true;
            }
        }
        return false;
    }

    void write(Prepared& p, qsizetype index) {
        DocumentBuild& b = p.build;
        const PageOutcome page = commitPageFile(p.page, b.output);
        switch (page.kind) {
        case PageOutcome::Kind::Written: {
            WriteRecord w{m_written.load(), p.page.plan.old.device, p.page.plan.old.inode, {}};
            if (!p.page.plan.replaces) w.created = m_rule.absolute(b.output);
            m_log.push_back(std::move(w));
            ++m_written; // only now: whatever is read from here on sees the new page
            b.outcome = DocumentOutcome::Built;
            break;
        }
        case PageOutcome::Kind::Unchanged:
            b.outcome = DocumentOutcome::Unchanged;
            break;
        case PageOutcome::Kind::Failed:
            b.messages.push_back(page.failure);
            b.outcome = DocumentOutcome::BuildFailed;
            return;
        }
        const QString key = m_rule.absolute(b.output);
        const auto earlier = m_builtOutputs.constFind(key);
        if (earlier != m_builtOutputs.cend())
            b.alsoBuiltBy = batchDocumentPath(m_folder, m_documents[*earlier].name);
        m_builtOutputs.insert(key, index);
        if (m_log.size() > 64) pruneLog();
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

    // --- The workers: they take the documents in listing order, at most a window ahead ---

    void startWorkers() {
        if (m_options.jobs <= 1 || m_documents.size() < 2) return;
        m_window = std::min<qsizetype>(16 * qsizetype(m_options.jobs), 1024);
        m_slots = std::vector<std::optional<Prepared>>(size_t(m_window));
        m_startOf.assign(size_t(m_window), kNone);
        for (int i = 0; i < m_options.jobs; ++i)
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
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (!(m_stop || m_next >= m_documents.size() || m_next < m_taken + m_window)) {
                ++m_sleeping;
                m_wake.wait(lock, [this] {
                    return m_stop || m_next >= m_documents.size() || m_next < m_taken + m_window;
                });
                --m_sleeping;
            }
            if (m_stop || m_next >= m_documents.size()) return;
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
        const BatchDocument& doc = m_documents[k];
        return doc.nameIsUtf8 ? prepare(batchDocumentPath(m_folder, doc.name)) : Prepared();
    }

    Prepared take(qsizetype k) {
        if (m_threads.empty()) return prepare(batchDocumentPath(m_folder, m_documents[k].name));
        std::unique_lock lock(m_mutex);
        std::optional<Prepared>& slot = m_slots[size_t(k % m_window)];
        // Rather than wait, the writer reads ahead itself while there is room.
        while (!slot && m_next < m_documents.size() && m_next < m_taken + m_window) {
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

    const QString m_folder;
    const QList<BatchDocument>& m_documents;
    const PipelineOptions m_options;
    TemplateCache& m_templates;
    const PageRule m_rule;

    std::atomic<quint64> m_written{0}; // pages written so far
    std::deque<WriteRecord> m_log;     // the writer's own
    QHash<QString, qsizetype> m_builtOutputs;

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

} // namespace

BatchSummary
runBuildPipeline(const QString& folder, const QList<BatchDocument>& documents,
                 const PipelineOptions& options, TemplateCache& templates, BatchObserver& observer,
                 const std::function<void(const QString&, const DocumentBuild&)>& told) {
    Pipeline pipeline(folder, documents, options, templates);
    return pipeline.run(observer, told);
}

int defaultJobs() {
    return std::max(1, QThread::idealThreadCount());
}

} // namespace quillane
