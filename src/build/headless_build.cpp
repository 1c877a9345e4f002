#include "build/headless_build.h"

#include "build/batch_build.h"
#include "build/document_load.h"
#include "build/page_build.h"

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

// One document on its own: read it with its template, pour, write.
DocumentOutcome buildDocument(const QString& path, TemplateCache& templates,
                              std::vector<Message>& messages, QString& output) {
    const LoadedDocument d = loadDocument(path, templates);
    messages = d.messages;
    switch (d.result) {
    case LoadedDocument::Result::Failed:
        return DocumentOutcome::NotRead;
    case LoadedDocument::Result::StoppedEarly:
        return DocumentOutcome::ReadStoppedEarly;
    case LoadedDocument::Result::Loaded:
        break;
    }
    const PageOutcome page = buildPageFile(templates, d.document.templatePath, d.document.title,
                                           d.table, d.document.output, path);
    if (!page.built()) {
        messages.push_back(page.failure);
        return DocumentOutcome::BuildFailed;
    }
    output = d.document.output;
    return DocumentOutcome::Built;
}

// Prints every message as "document: title: text", and each page built.
class Console : public BatchObserver {
public:
    Console(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    void tell(const QString& document, const std::vector<Message>& messages) {
        for (const Message& m : messages)
            printLine(m_err, document + QStringLiteral(": ") + m.title + QStringLiteral(": ") +
                                 oneLine(m.text));
        m_told = !messages.empty();
    }
    QString output;
    void documentFinished(const QString& fullPath, DocumentOutcome outcome) override {
        switch (outcome) {
        case DocumentOutcome::Built:
            printLine(m_out, output);
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
    bool m_told = false;
};

} // namespace

int runHeadlessBatch(const QString& folder, std::FILE* out, std::FILE* err) {
    QStringList names;
    QString reason;
    if (!listBatchDocuments(folder, names, reason)) {
        printLine(err, QStringLiteral("Cannot list the folder '") +
                           (folder.isEmpty() ? QStringLiteral(".") : folder) +
                           QStringLiteral("': ") + reason);
        return 2;
    }
    TemplateCache templates;
    Console console(out, err);
    const BatchSummary summary = runBatch(folder, names, console, [&](const QString& path) {
        std::vector<Message> messages;
        const DocumentOutcome outcome = buildDocument(path, templates, messages, console.output);
        console.tell(path, messages);
        return outcome;
    });
    printLine(out, QStringLiteral("%1 templated document%2 found, %3 built.")
                       .arg(summary.found)
                       .arg(summary.found == 1 ? "" : "s")
                       .arg(summary.built));
    std::fflush(out);
    return summary.built == summary.found ? 0 : 1;
}

} // namespace quillane
