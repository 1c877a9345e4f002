#include "build/headless_build.h"

#include "build/batch_build.h"
#include "build/document_load.h"
#include "build/page_build.h"
#include "build/template_check.h"

#include <QSet>
#include <cerrno>
#include <csignal>
#include <cstring>

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

// One document on its own, without any window: read it with its template, pour, write.
struct DocumentBuild {
    DocumentOutcome outcome = DocumentOutcome::NotRead;
    std::vector<Message> messages;             // in the order they arose
    QString output;                            // the page it names
    QString notAPage;                          // why its output was not written (see nonPageReason)
    std::shared_ptr<const TemplateRead> templ; // its template, when the document names one
    QString templatePath;
};

DocumentBuild buildDocument(const QString& path, const QString& folder, TemplateCache& templates,
                            bool allowOtherFiles) {
    DocumentBuild b;
    const LoadedDocument d = loadDocument(path, templates);
    b.messages = d.messages;
    b.templ = d.templ;
    b.templatePath = d.document.templatePath;
    if (d.result != LoadedDocument::Result::Loaded) {
        b.outcome = d.result == LoadedDocument::Result::StoppedEarly
                        ? DocumentOutcome::ReadStoppedEarly
                        : DocumentOutcome::NotRead;
        return b;
    }
    b.output = d.document.output;
    if (!allowOtherFiles) b.notAPage = nonPageReason(b.output, folder);
    if (!b.notAPage.isEmpty()) {
        b.outcome = DocumentOutcome::NotAPage;
        return b;
    }
    const PageOutcome page = buildPageFile(templates, d.document.templatePath, d.document.title,
                                           d.table, b.output, path);
    if (!page.built()) b.messages.push_back(page.failure);
    b.outcome = page.built() ? DocumentOutcome::Built : DocumentOutcome::BuildFailed;
    return b;
}

// Prints every message as "document: title: text" on standard error, and each page built on
// standard output.
class Console : public BatchObserver {
public:
    Console(Stream& out, Stream& err, const QString& folder)
        : m_out(out), m_err(err), m_folder(folder) {}

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
    QString m_document;
    QString m_output;
    bool m_told = false;
};

QString signalName(int signal) {
    return signal == SIGINT    ? QStringLiteral("SIGINT")
           : signal == SIGTERM ? QStringLiteral("SIGTERM")
                               : QStringLiteral("signal %1").arg(signal);
}

} // namespace

int runHeadlessBatch(const QString& folder, std::FILE* out, std::FILE* err,
                     const HeadlessOptions& options) {
    const SignalScope signalScope;
    Stream outStream(out), errStream(err);
    QList<BatchDocument> documents;
    QString reason;
    if (!listBatchDocuments(folder, documents, reason)) {
        errStream.line(QStringLiteral("Cannot list the folder '") +
                       escapeControls(folder.isEmpty() ? QStringLiteral(".") : folder) +
                       QStringLiteral("': ") + reason);
        errStream.flush();
        return 2;
    }
    TemplateCache templates;
    Console console(outStream, errStream, folder);
    QSet<QString> checkedTemplates;
    const BatchSummary summary = runBatch(folder, documents, console, [&](const QString& path) {
        const DocumentBuild b = buildDocument(path, folder, templates, options.allowOtherFiles);
        // Each template met is checked once; what it finds is a warning, and the build goes on.
        if (b.templ && b.templ->defaultHtmlRead && !b.templ->failure &&
            !checkedTemplates.contains(b.templatePath)) {
            checkedTemplates.insert(b.templatePath);
            for (const QString& line : templateWarnings(b.templ->value, b.templatePath))
                errStream.line(escapeControls(line));
        }
        console.tell(path, b);
        return b.outcome;
    });
    const int stopSignal = g_stopSignal;
    QString counts = QStringLiteral("%1 templated document%2 found, %3 built")
                         .arg(summary.found)
                         .arg(summary.found == 1 ? "" : "s")
                         .arg(summary.built);
    if (stopSignal)
        counts += QStringLiteral("; %1 stopped the build after %2 of them")
                      .arg(signalName(stopSignal))
                      .arg(summary.done);
    outStream.line(counts + u'.');
    outStream.flush();
    if (outStream.error())
        errStream.line(QStringLiteral("Cannot write to standard output: ") +
                       QString::fromLocal8Bit(std::strerror(outStream.error())));
    errStream.flush();
    if (stopSignal) return 128 + stopSignal;
    if (outStream.error() || errStream.error()) return 1;
    return summary.built == summary.found ? 0 : 1;
}

} // namespace quillane
