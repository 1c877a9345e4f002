#include "formats/file_writers.h"

#include "core/version.h"
#include "formats/file_reader.h"
#include "formats/text_codec.h"
#include "formats/text_file.h"

namespace quillane {

namespace {

void addLine(QString& out, const QString& line) {
    out += line;
    out += kCrLf;
}

bool save(Session& s, const QString& path, const QString& text) {
    FileError error;
    if (writeFileAtomically(path, encodeForStorage(text), WriteMode::Durable, error) ==
        WriteOutcome::Failed) {
        s.tell(QStringLiteral("Could not save '") + path + QStringLiteral("':") + kCrLf +
                   error.description,
               QString::fromLatin1(kAppTitle), MsgIcon::Exclamation);
        return false;
    }
    s.ws.IsDirty = false;
    return true;
}

} // namespace

QString pathToStore(const QString& path, const QString& storedText, const QString& documentPath) {
    if (storedText.isEmpty() || storedText == path) return path;
    return resolveStoredPath(storedText, documentPath) == path ? storedText : path;
}

QString templateFileText(const QString& name, const QString& defaultHtml, const Workspace& ws) {
    QString out;
    addLine(out, kTemplateMagic);
    addLine(out, name);
    addLine(out, kDefaultHtmlMarker);
    addLine(out, defaultHtml);
    addLine(out, kEndDefaultHtmlMarker);
    addLine(out, kSectionMarker);
    for (int slot = 1; slot <= ws.lastSlot(); ++slot) {
        if (ws.SectionNames[slot].isEmpty()) continue;
        addLine(out, ws.SectionNames[slot]);
        addLine(out, u' ' + QString::number(ws.SectionEditable[slot]) + u' ');
        addLine(out, ws.SectionHtml[slot]);
        addLine(out, kSectionMarker);
    }
    return out;
}

QString documentFileText(const QString& title, const QString& templatePath, const QString& output,
                         const Workspace& ws) {
    QString out;
    addLine(out, kDocumentMagic);
    addLine(out, title);
    addLine(out, templatePath);
    addLine(out, output);
    addLine(out, kSectionMarker);
    for (int slot = 1; slot <= ws.lastSlot(); ++slot) {
        if (ws.SectionEditable[slot] != 1) continue;
        addLine(out, ws.SectionHtml[slot]);
        addLine(out, kSectionMarker);
    }
    return out;
}

bool writeTemplateFile(Session& s, const QString& path) {
    if (!s.designer) return false;
    BusyGuard busy(s.app);
    return save(s, path,
                templateFileText(s.designer->templateName(), s.designer->defaultHtml(), s.ws));
}

bool writeDocumentFile(Session& s, const QString& path) {
    if (!s.htmlEditor) return false;
    BusyGuard busy(s.app);
    const QString templatePath = pathToStore(s.ws.TemplatePath, s.ws.storedTemplatePath, path);
    const QString output = pathToStore(s.htmlEditor->output(), s.ws.storedOutputPath, path);
    return save(s, path, documentFileText(s.htmlEditor->title(), templatePath, output, s.ws));
}

} // namespace quillane
