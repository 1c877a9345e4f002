// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/headless_build.h"

#include "build/batch_build.h"
#include "build/batch_pipeline.h"
#include "build/template_check.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <thread>

#ifdef Q_OS_UNIX
#include <poll.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#endif

namespace quillane {

namespace {

volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void onStopSignal(int signal) {
    g_stopSignal = signal;
}

// For as long as a batch runs: SIGINT and SIGTERM ask it to stop after the current page, and
// the handler goes at once, so that a second signal ends the program. A reader that went away
// (a closed pipe) makes writes fail instead of killing the program with half the pages built.
class SignalScope {
public:
    SignalScope() {
        g_stopSignal = 0;
#ifdef Q_OS_UNIX
        struct sigaction stop {};
        stop.sa_handler = onStopSignal;
        sigemptyset(&stop.sa_mask);
        stop.sa_flags = SA_RESTART | SA_RESETHAND;
        for (int i = 0; i < 2; ++i) {
            ::sigaction(kStopSignals[i], nullptr, &m_old[i]);
            // A signal ignored by whoever started us (nohup, a background job) stays ignored.
            if (m_old[i].sa_handler != SIG_IGN) ::sigaction(kStopSignals[i], &stop, nullptr);
        }
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGPIPE, &ignore, &m_oldPipe);
#endif
    }
    ~SignalScope() {
#ifdef Q_OS_UNIX
        for (int i = 0; i < 2; ++i)
            ::sigaction(kStopSignals[i], &m_old[i], nullptr);
        ::sigaction(SIGPIPE, &m_oldPipe, nullptr);
#endif
    }
    SignalScope(const SignalScope&) = delete;
    SignalScope& operator=(const SignalScope&) = delete;

private:
#ifdef Q_OS_UNIX
    static constexpr int kStopSignals[2] = {SIGINT, SIGTERM};
    struct sigaction m_old[2]{};
    struct sigaction m_oldPipe {};
#endif
};

// One of the two output streams; remembers the first error writing to it.
class Stream {
public:
    explicit Stream(std::FILE* f) : m_f(f) {}
    void line(const QString& text) {
        const QByteArray bytes = text.toUtf8() + '\n';
        errno = 0;
        if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_f) != size_t(bytes.size()))
            failed();
    }
    void flush() {
        errno = 0;
        if (std::fflush(m_f) != 0 || std::ferror(m_f)) failed();
    }
    int error() const { return m_error; }

private:
    void failed() {
        if (!m_error) m_error = errno ? errno : EIO;
    }
    std::FILE* m_f;
    int m_error = 0;
};

// Prints every message as "document: title: text" on standard error, and each page built on
// standard output.
class Console : public BatchObserver {
public:
    // printUnchanged: a page that was on disk as built already is printed too.
    Console(Stream& out, Stream& err, const QString& folder, bool printUnchanged = true)
        : m_out(out), m_err(err), m_folder(folder), m_printUnchanged(printUnchanged) {}

    void tell(const QString& document, const DocumentBuild& b) {
        m_document = document;
        for (const Message& m : b.messages)
            m_err.line(escapeControls(document) + QStringLiteral(": ") + m.title +
                       QStringLiteral(": ") + oneLine(m.text));
        if (!b.notAPage.isEmpty())
            m_err.line(escapeControls(document + QStringLiteral(": not built: its output '") +
                                      b.output + QStringLiteral("' ") + b.notAPage +
                                      QStringLiteral("; a batch writes such files only when "
                                                     "--allow-other-files is given before /B:")));
        if (!b.alsoBuiltBy.isEmpty())
            m_err.line(escapeControls(document + QStringLiteral(": warning: its output '") +
                                      b.output + QStringLiteral("' is also the output of '") +
                                      b.alsoBuiltBy +
                                      QStringLiteral("', built before it; this page replaces "
                                                     "that one")));
        m_told = !b.messages.empty() || !b.notAPage.isEmpty();
        m_output = b.output;
    }
    void outOfMemory(const QString& fullPath, const Message& m) override {
        m_document = fullPath;
        m_err.line(escapeControls(fullPath) + QStringLiteral(": ") + m.title +
                   QStringLiteral(": ") + oneLine(m.text));
        m_told = true;
    }
    void documentStarted(const QString&, int) override { m_told = false; }
    void documentFinished(const QString& fullPath, DocumentOutcome outcome) override {
        const QString name = escapeControls(fullPath);
        switch (outcome) {
        case DocumentOutcome::Unchanged:
            if (m_printUnchanged) m_out.line(escapeControls(m_output));
            break;
        case DocumentOutcome::Built:
            m_out.line(escapeControls(m_output));
            break;
        case DocumentOutcome::ReadStoppedEarly:
            m_err.line(name + QStringLiteral(": not built: the document stops at an empty line "
                                             "where a section should start"));
            break;
        case DocumentOutcome::NameNotUtf8:
            m_err.line(name + QStringLiteral(": not built: its name is not valid UTF-8; rename "
                                             "it to build it"));
            break;
        case DocumentOutcome::NotRead:
        case DocumentOutcome::BuildFailed:
        case DocumentOutcome::NotAPage:
            if (!m_told) m_err.line(name + QStringLiteral(": not built"));
            break;
        }
    }
    bool stopRequested() override { return g_stopSignal != 0; }

private:
    // A message on one line: its own line ends become blanks, and the names it quotes keep
    // theirs, escaped like every other control character.
    QString oneLine(QString text) const {
        for (const QString& name : {m_document, m_folder}) {
            const QString escaped = escapeControls(name);
            if (escaped != name) text.replace(name, escaped);
        }
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        return escapeControls(text);
    }

    Stream& m_out;
    Stream& m_err;
    QString m_folder;
    bool m_printUnchanged;
    QString m_document;
    QString m_output;
    bool m_told = false;
};

PipelineOptions pipelineOptions(const HeadlessOptions& options) {
    return {options.jobs > 0 ? options.jobs : defaultJobs(), options.allowOtherFiles};
}

// How long a folder must be quiet before the watch rebuilds.
constexpr int kSettleMs = 80;

QString signalName(int signal) {
    return signal == SIGINT    ? QStringLiteral("SIGINT")
           : signal == SIGTERM ? QStringLiteral("SIGTERM")
                               : QStringLiteral("signal %1").arg(signal);
}

} // namespace

namespace {

// Templates checked, as their files were then.
using CheckedTemplates = QHash<QString, FileSignature>;

// Each template met is checked once, and again when its file has changed; what the check finds
// is a warning, and the build goes on.
void warnAboutTemplate(const DocumentBuild& b, Stream& err, CheckedTemplates& checked) {
    if (!b.templ || !b.templ->defaultHtmlRead || b.templ->failure) return;
    const auto known = checked.constFind(b.templatePath);
    if (known != checked.cend() && *known == b.templateSeen) return;
    checked.insert(b.templatePath, b.templateSeen);
    for (const QString& line : templateWarnings(b.templ->value, b.templatePath))
        err.line(escapeControls(line));
}

// The batch as /B: runs it, up to and including its count line. false when the folder cannot
// be listed (said on standard error).
bool buildFolder(const QString& folder, const HeadlessOptions& options, Stream& out, Stream& err,
                 TemplateCache& templates, CheckedTemplates& checkedTemplates,
                 BatchSummary& summary, QList<BatchDocument>& documents,
                 const std::function<void(const QString&, const DocumentBuild&)>& seen = {}) {
    QString reason;
    if (!listBatchDocuments(folder, documents, reason)) {
        err.line(QStringLiteral("Cannot list the folder '") +
                 escapeControls(folder.isEmpty() ? QStringLiteral(".") : folder) +
                 QStringLiteral("': ") + reason);
        return false;
    }
    Console console(out, err, folder);
    summary = runBuildPipeline(folder, documents, pipelineOptions(options), templates, console,
                               [&](const QString& path, const DocumentBuild& b) {
                                   warnAboutTemplate(b, err, checkedTemplates);
                                   console.tell(path, b);
                                   if (seen) seen(path, b);
                               });
    QString counts = QStringLiteral("%1 templated document%2 found, %3 built, %4 unchanged")
                         .arg(summary.found)
                         .arg(summary.found == 1 ? "" : "s")
                         .arg(summary.built)
                         .arg(summary.unchanged);
    if (g_stopSignal)
        counts += QStringLiteral("; %1 stopped the build after %2 of them")
                      .arg(signalName(g_stopSignal))
                      .arg(summary.done);
    out.line(counts + u'.');
    return true;
}

// Says why standard output failed, once.
void tellOutputError(Stream& out, Stream& err) {
    out.flush();
    if (out.error())
        err.line(QStringLiteral("Cannot write to standard output: ") +
                 QString::fromLocal8Bit(std::strerror(out.error())));
    err.flush();
}

} // namespace

int runHeadlessBatch(const QString& folder, std::FILE* out, std::FILE* err,
                     const HeadlessOptions& options) {
    const SignalScope signalScope;
    Stream outStream(out), errStream(err);
    TemplateCache templates;
    CheckedTemplates checkedTemplates;
    BatchSummary summary;
    QList<BatchDocument> documents;
    if (!buildFolder(folder, options, outStream, errStream, templates, checkedTemplates, summary,
                     documents)) {
        errStream.flush();
        return 2;
    }
    const int stopSignal = g_stopSignal;
    tellOutputError(outStream, errStream);
    if (stopSignal) return 128 + stopSignal;
    if (outStream.error() || errStream.error()) return 1;
    return summary.built == summary.found ? 0 : 1;
}

// --- Watching --------------------------------------------------------------------------------

namespace {

// What the watch knows of each document: the files as they were when it was last built.
struct Watched {
    FileSignature document, templ;
    QString templatePath;
};

FileSignature signatureNow(const QString& path) {
    FileSignature s;
    if (!path.isEmpty()) fileSignature(path, s);
    return s;
}

// Folders to wake up for: a change of a file in one of them (saved in place, or by rename as
// editors do) is told at once. Where the system has no such notice, the watch looks twice a
// second.
class FolderWatch {
public:
    FolderWatch() {
#ifdef Q_OS_LINUX
        m_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
#endif
    }
    ~FolderWatch() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    void add(const QString& folder) {
#ifdef Q_OS_LINUX
        if (m_fd < 0 || folder.isEmpty() || m_folders.contains(folder)) return;
        m_folders.insert(folder);
        ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(),
                            IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB | IN_CREATE | IN_DELETE |
                                IN_MOVED_FROM | IN_MOVED_TO);
#else
        Q_UNUSED(folder);
#endif
    }

    // Waits up to `ms` for a change; true when one came (or when there is no notice to wait
    // for). A signal ends the wait early.
    bool wait(int ms) {
        if (m_fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 500)));
            return true;
        }
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, ms) <= 0) return false;
        char buffer[16384];
        while (::read(m_fd, buffer, sizeof buffer) > 0) {
        }
        return true;
    }

private:
    int m_fd = -1;
    QSet<QString> m_folders;
};

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

} // namespace

int runHeadlessWatch(const QString& folder, std::FILE* out, std::FILE* err,
                     const HeadlessOptions& options) {
    const SignalScope signalScope;
    Stream outStream(out), errStream(err);
    TemplateCache templates;
    QHash<QString, Watched> watched; // by document path
    FolderWatch notices;
    QSet<QString> templatesWatched; // their folders are watched: looked up once per template
    const auto remember = [&](const QString& path, const DocumentBuild& b) {
        watched.insert(path, {b.documentSeen, b.templateSeen, b.templatePath});
        if (b.templatePath.isEmpty() || templatesWatched.contains(b.templatePath)) return;
        templatesWatched.insert(b.templatePath);
        notices.add(folderOf(b.templatePath));
        const QString real = QFileInfo(b.templatePath).canonicalFilePath();
        if (!real.isEmpty()) notices.add(folderOf(real));
    };
    notices.add(QFileInfo(folder.isEmpty() ? QStringLiteral(".") : folder).absoluteFilePath());
    BatchSummary summary;
    QList<BatchDocument> documents;
    CheckedTemplates checkedTemplates;
    if (!buildFolder(folder, options, outStream, errStream, templates, checkedTemplates, summary,
                     documents, remember)) {
        errStream.flush();
        return 2;
    }
    if (!g_stopSignal)
        errStream.line(QStringLiteral("Watching '") +
                       escapeControls(folder.isEmpty() ? QStringLiteral(".") : folder) +
                       QStringLiteral("' and the templates its documents use; Ctrl+C stops."));
    outStream.flush();
    errStream.flush();

    while (!g_stopSignal) {
        if (!notices.wait(250)) continue;
        // Let a save that comes in several steps finish.
        while (!g_stopSignal && notices.wait(kSettleMs)) {
        }
        if (g_stopSignal) break;
        QSet<QString> before;
        for (const BatchDocument& doc : documents)
            before.insert(doc.name);
        QList<BatchDocument> changed;
        QString reason;
        if (!listBatchDocuments(folder, documents, reason)) continue;
        QHash<QString, FileSignature> templatesNow;
        QSet<QString> listed;
        for (const BatchDocument& doc : documents) {
            const QString path = batchDocumentPath(folder, doc.name);
            listed.insert(path);
            // A name that cannot be opened was told once, when it came.
            if (!doc.nameIsUtf8) {
                if (!before.contains(doc.name)) changed.append(doc);
                continue;
            }
            const auto known = watched.constFind(path);
            bool again = known == watched.cend() || signatureNow(path) != known->document;
            if (!again && !known->templatePath.isEmpty()) {
                auto t = templatesNow.find(known->templatePath);
                if (t == templatesNow.end())
                    t = templatesNow.insert(known->templatePath, signatureNow(known->templatePath));
                again = *t != known->templ;
            }
            if (again) changed.append(doc);
        }
        for (auto it = watched.begin(); it != watched.end();) {
            if (listed.contains(it.key())) {
                ++it;
                continue;
            }
            errStream.line(escapeControls(it.key()) +
                           QStringLiteral(": no longer in the folder; its page stays as it is"));
            it = watched.erase(it);
        }
        if (!changed.isEmpty()) {
            Console console(outStream, errStream, folder, false);
            runBuildPipeline(folder, changed, pipelineOptions(options), templates, console,
                             [&](const QString& path, const DocumentBuild& b) {
                                 warnAboutTemplate(b, errStream, checkedTemplates);
                                 console.tell(path, b);
                                 remember(path, b);
                             });
        }
        outStream.flush();
        errStream.flush();
    }
    tellOutputError(outStream, errStream);
    return 0;
}

} // namespace quillane
