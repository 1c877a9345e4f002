#pragma once

// Shared by the fuzz targets: a session whose ports swallow everything, and a scratch folder
// on a tmpfs where there is one.

#include "core/workspace.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <unistd.h>

namespace quillane::fuzz {

class Silent : public Prompter, public AppPort {
public:
    MsgAnswer show(const Message& m) override { return m.defaultButton; }
    void setBusy(bool) override {}
    void processEvents() override {}
    void quit() override {}
};

class Controls : public DesignerPort, public HtmlEditorPort {
public:
    QString name, html, title_, output_;
    QString templateName() const override { return name; }
    void setTemplateName(const QString& t) override { name = t; }
    QString defaultHtml() const override { return html; }
    void setDefaultHtml(const QString& t) override { html = t; }
    void clearSectionList() override {}
    void addSectionListEntry(const QString&) override {}
    QString title() const override { return title_; }
    void setTitle(const QString& t) override { title_ = t; }
    QString output() const override { return output_; }
    void setOutput(const QString& t) override { output_ = t; }
    void setTemplateCaption(const QString&) override {}
    void addSectionListEntry(const QString&, int) override {}
    bool save() override { return false; }
};

struct Harness {
    Silent silent;
    Controls controls;
    Session s;
    QString folder;
    Harness() {
        folder = (QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm")
                                                            : QDir::tempPath()) +
                 QStringLiteral("/quillane-fuzz-%1").arg(::getpid());
        QDir().mkpath(folder);
        s.prompter = &silent;
        s.app = &silent;
        s.designer = &controls;
        s.htmlEditor = &controls;
    }
    QString put(const QString& name, const char* data, size_t size) {
        const QString path = folder + u'/' + name;
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(data, qint64(size));
        return path;
    }
};

inline Harness& harness() {
    static Harness h;
    return h;
}

} // namespace quillane::fuzz
