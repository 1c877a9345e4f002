#include "build/headless_build.h"

#include "build/batch_build.h"
#include "core/workspace.h"

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

// Holds what the HTML editor's controls would show.
class HeadlessEditor : public HtmlEditorPort {
public:
    explicit HeadlessEditor(Workspace& ws) : m_ws(ws) {}
    QString title() const override { return m_title; }
    void setTitle(const QString& text) override {
        m_title = text;
        m_ws.IsDirty = true;
    }
    QString output() const override { return m_output; }
    void setOutput(const QString& text) override {
        m_output = text;
        m_ws.IsDirty = true;
    }
    void setTemplateCaption(const QString&) override {}
    void clearSectionList() override {}
    void addSectionListEntry(const QString&, int) override {}
    bool save() override { return false; }

private:
    Workspace& m_ws;
    QString m_title;
    QString m_output;
};

// Prints every message as "document: title: text" and answers with its default button.
class ConsolePrompter : public Prompter, public BatchObserver {
public:
    ConsolePrompter(Stream& out, Stream& err, const QString& folder, bool allowOtherFiles)
        : m_out(out), m_err(err), m_folder(folder), m_allowOtherFiles(allowOtherFiles) {}
    MsgAnswer show(const Message& m) override {
        m_told = true;
        m_err.line(escapeControls(m_document) + QStringLiteral(": ") + m.title +
                   QStringLiteral(": ") + oneLine(m.text));
        return m.defaultButton;
    }
    void documentStarted(const QString& fullPath, int) override {
        m_document = fullPath;
        m_told = false;
    }
    void setEditor(const HeadlessEditor* editor) { m_editor = editor; }
    bool allowOtherFile(const QString& fullPath, const QString& output,
                        const QString& reason) override {
        if (m_allowOtherFiles) return true;
        m_err.line(escapeControls(fullPath + QStringLiteral(": not built: its output '") + output +
                                  QStringLiteral("' ") + reason +
                                  QStringLiteral("; a batch writes such files only when "
                                                 "--allow-other-files is given before /B:")));
        m_told = true;
        return false;
    }
    void documentFinished(const QString& fullPath, DocumentOutcome outcome) override {
        const QString name = escapeControls(fullPath);
        switch (outcome) {
        case DocumentOutcome::Built:
            m_out.line(escapeControls(m_editor->output()));
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
    bool m_allowOtherFiles;
    QString m_document;
    const HeadlessEditor* m_editor = nullptr;
    bool m_told = false;
};

QString signalName(int signal) {
    return signal == SIGINT    ? QStringLiteral("SIGINT")
           : signal == SIGTERM ? QStringLiteral("SIGTERM")
                               : QStringLiteral("signal %1").arg(signal);
}

} // namespace

int runHeadlessBatch(const QString& folder, const QString& programFolder, std::FILE* out,
                     std::FILE* err, const HeadlessOptions& options) {
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
    Session s;
    s.programFolder = programFolder;
    HeadlessEditor editor(s.ws);
    ConsolePrompter console(outStream, errStream, folder, options.allowOtherFiles);
    console.setEditor(&editor);
    s.prompter = &console;
    s.htmlEditor = &editor;
    const BatchSummary summary = BatchCompile(s, folder, documents, console);
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
