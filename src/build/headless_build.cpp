// SPDX-License-Identifier: GPL-3.0-or-later
#include "build/headless_build.h"

#include "build/batch_build.h"
#include "build/batch_pipeline.h"
#include "build/template_check.h"
#include "platform/console.h"
#include "platform/folder_watch.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <cerrno>
#include <cstring>

namespace quillane {

namespace {

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
    bool stopRequested() override { return platform::StopRequests::pending() != 0; }

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
    if (platform::StopRequests::pending())
        counts += QStringLiteral("; %1 stopped the build after %2 of them")
                      .arg(platform::StopRequests::name(platform::StopRequests::pending()))
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
    const platform::StopRequests stopRequests;
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
    const int stopSignal = platform::StopRequests::pending();
    tellOutputError(outStream, errStream);
    if (stopSignal) return platform::StopRequests::exitStatus(stopSignal);
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

QString folderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

} // namespace

int runHeadlessWatch(const QString& folder, std::FILE* out, std::FILE* err,
                     const HeadlessOptions& options) {
    const platform::StopRequests stopRequests;
    Stream outStream(out), errStream(err);
    TemplateCache templates;
    QHash<QString, Watched> watched; // by document path
    platform::FolderWatch notices;
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
    if (!platform::StopRequests::pending())
        errStream.line(QStringLiteral("Watching '") +
                       escapeControls(folder.isEmpty() ? QStringLiteral(".") : folder) +
                       QStringLiteral("' and the templates its documents use; Ctrl+C stops."));
    outStream.flush();
    errStream.flush();

    while (!platform::StopRequests::pending()) {
        if (!notices.wait(250)) continue;
        // Let a save that comes in several steps finish.
        while (!platform::StopRequests::pending() && notices.wait(kSettleMs)) {
        }
        if (platform::StopRequests::pending()) break;
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
