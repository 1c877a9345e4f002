#include "build/headless_build.h"

#include "build/batch_build.h"
#include "core/workspace.h"

namespace quillane {

namespace {

QString oneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\r', u' ').replace(u'\n', u' ');
    return text;
}

void printLine(std::FILE* f, const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fputc('\n', f);
}

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
    ConsolePrompter(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    MsgAnswer show(const Message& m) override {
        m_told = true;
        printLine(m_err, m_document + QStringLiteral(": ") + m.title + QStringLiteral(": ") +
                             oneLine(m.text));
        return m.defaultButton;
    }
    void documentStarted(const QString& fullPath, int) override {
        m_document = fullPath;
        m_told = false;
    }
    void setEditor(const HeadlessEditor* editor) { m_editor = editor; }
    void documentFinished(const QString& fullPath, DocumentOutcome outcome) override {
        switch (outcome) {
        case DocumentOutcome::Built:
            printLine(m_out, m_editor->output());
            break;
        case DocumentOutcome::ReadStoppedEarly:
            printLine(m_err, fullPath + QStringLiteral(": not built: the document stops at an "
                                                       "empty line where a section should start"));
            break;
        case DocumentOutcome::NotRead:
        case DocumentOutcome::BuildFailed:
            if (!m_told) printLine(m_err, fullPath + QStringLiteral(": not built"));
            break;
        }
        std::fflush(m_out);
    }

private:
    std::FILE* m_out;
    std::FILE* m_err;
    QString m_document;
    const HeadlessEditor* m_editor = nullptr;
    bool m_told = false;
};

} // namespace

int runHeadlessBatch(const QString& folder, const QString& programFolder, std::FILE* out,
                     std::FILE* err) {
    QStringList names;
    QString reason;
    if (!listBatchDocuments(folder, names, reason)) {
        printLine(err, QStringLiteral("Cannot list the folder '") +
                           (folder.isEmpty() ? QStringLiteral(".") : folder) +
                           QStringLiteral("': ") + reason);
        return 2;
    }
    Session s;
    s.programFolder = programFolder;
    HeadlessEditor editor(s.ws);
    ConsolePrompter console(out, err);
    console.setEditor(&editor);
    s.prompter = &console;
    s.htmlEditor = &editor;
    const BatchSummary summary = BatchCompile(s, folder, names, console);
    printLine(out, QStringLiteral("%1 templated document%2 found, %3 built.")
                       .arg(summary.found)
                       .arg(summary.found == 1 ? "" : "s")
                       .arg(summary.built));
    std::fflush(out);
    return summary.built == summary.found ? 0 : 1;
}

} // namespace quillane
