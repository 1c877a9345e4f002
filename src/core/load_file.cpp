// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/load_file.h"

#include "build/document_load.h"

#include <QFileInfo>

namespace quillane {

namespace {

LoadResult showTemplate(Session& s, const TemplateRead& read, int mode) {
    const TemplateFile& t = read.value;
    static_cast<SectionTable&>(s.ws) = t.sections;
    if (mode == LoadMode::Designer && s.designer) {
        if (read.defaultHtmlRead) s.designer->setDefaultHtml(t.defaultHtml);
        if (read.nameRead) s.designer->setTemplateName(t.name);
    } else if (mode == LoadMode::TemplateForEditor && s.htmlEditor && read.nameRead) {
        s.htmlEditor->setTemplateCaption(QStringLiteral("Template used: ") + t.name);
    }
    if (read.failure) {
        s.tell(read.failure->message);
        return {};
    }
    FillSectionList(s, mode);
    s.ws.IsDirty = false;
    return {LoadResult::Kind::Loaded, QString()};
}

LoadResult showDocument(Session& s, const QString& path) {
    const LoadedDocument d = loadDocument(path, s.templates);
    for (const Message& m : d.messages)
        s.tell(m);
    if (!d.headerRead) {
        s.ws.newTable();
        return {};
    }
    static_cast<SectionTable&>(s.ws) = d.table;
    if (s.htmlEditor && d.templ->nameRead)
        s.htmlEditor->setTemplateCaption(QStringLiteral("Template used: ") + d.templ->value.name);
    if (d.result == LoadedDocument::Result::Failed) return {};
    FillSectionList(s, EditorMode::HtmlEditor);
    if (d.result == LoadedDocument::Result::StoppedEarly) {
        s.ws.IsDirty = false;
        return {LoadResult::Kind::Empty, QString()};
    }
    if (s.htmlEditor) {
        s.htmlEditor->setTitle(d.document.title);
        s.htmlEditor->setOutput(d.document.output);
    }
    s.ws.LastFile = QFileInfo(path).absoluteFilePath();
    s.ws.storedTemplatePath = d.document.templateStored;
    s.ws.storedOutputPath = d.document.outputStored;
    s.ws.IsDirty = false;
    return {LoadResult::Kind::Loaded, d.document.templatePath};
}

} // namespace

LoadResult LoadFile(Session& s, const QString& path, int mode) {
    switch (mode) {
    case LoadMode::Designer:
    case LoadMode::TemplateForEditor:
        return showTemplate(s, *s.templates.read(path), mode);
    case LoadMode::Document:
        return showDocument(s, path);
    default:
        s.ws.newTable();
        return {LoadResult::Kind::Empty, QString()};
    }
}

} // namespace quillane
