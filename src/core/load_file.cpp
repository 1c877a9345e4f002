// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/load_file.h"

#include <QFileInfo>

namespace quillane {

namespace {

LoadResult readTemplate(Session& s, const QString& path, LoadMode mode) {
    const auto held = s.templates.read(path);
    const TemplateRead& read = *held;
    const TemplateFile& t = read.value;
    Workspace& ws = s.ws;
    ws.sections = t.sections;
    if (read.nameRead) ws.templateName = t.name;
    if (mode == LoadMode::Designer && read.defaultHtmlRead) ws.defaultHtml = t.defaultHtml;
    if (read.failure) {
        s.tell(read.failure->message);
        return {};
    }
    ws.IsDirty = false;
    return {LoadResult::Kind::Loaded, QString()};
}

} // namespace

LoadResult takeDocument(Session& s, const QString& path, const DocumentWithTemplate& d) {
    Workspace& ws = s.ws;
    LoadResult result;
    if (!d.headerRead) {
        ws.sections.newTable();
    } else {
        ws.sections = d.table;
        if (d.templ->nameRead) ws.templateName = d.templ->value.name;
        if (d.result == DocumentWithTemplate::Result::StoppedEarly) {
            result.kind = LoadResult::Kind::Empty;
            ws.IsDirty = false;
        } else if (d.result == DocumentWithTemplate::Result::Loaded) {
            ws.title = d.document.title;
            ws.output = d.document.output;
            ws.LastFile = QFileInfo(path).absoluteFilePath();
            ws.storedTemplatePath = d.document.templateStored;
            ws.storedOutputPath = d.document.outputStored;
            ws.IsDirty = false;
            result = {LoadResult::Kind::Loaded, d.document.templatePath};
        }
    }
    for (const Message& m : d.messages)
        s.tell(m);
    return result;
}

LoadResult LoadFile(Session& s, const QString& path, LoadMode mode) {
    switch (mode) {
    case LoadMode::Designer:
    case LoadMode::TemplateForEditor:
        return readTemplate(s, path, mode);
    case LoadMode::Document:
        break;
    }
    return takeDocument(s, path, readDocumentWithTemplate(path, s.templates));
}

} // namespace quillane
