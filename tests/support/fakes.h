#pragma once

// Scripted stand-ins for the ports: they record what the user would have seen and answer
// from a queue.

#include "core/ports.h"
#include "core/workspace.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <vector>

namespace quillane::test {

class ScriptedPrompter : public Prompter {
public:
    std::vector<Message> shown;
    std::deque<MsgAnswer> answers;
    // Runs while a message is shown (after it was recorded), before it is answered.
    std::function<void(const Message&)> onShow;

    MsgAnswer show(const Message& m) override {
        shown.push_back(m);
        if (onShow) onShow(m);
        if (answers.empty()) return m.defaultButton;
        const MsgAnswer a = answers.front();
        answers.pop_front();
        return a;
    }
    const Message& last() const { return shown.back(); }
    QStringList texts() const {
        QStringList t;
        for (const auto& m : shown)
            t << m.text;
        return t;
    }
};

// Answers each show with the next queued path ("" = the user cancelled) and records the
// settings the dialog was shown with.
class ScriptedFileDialog : public FileDialogPort {
public:
    struct Use {
        bool save;
        QString dialogTitle, filter, fileName, defaultExt;
        bool overwritePrompt, pathMustExist, hideReadOnly;
    };
    std::vector<Use> uses;
    std::deque<QString> choices;

    void showOpen() override { answer(false); }
    void showSave() override { answer(true); }

private:
    void answer(bool save) {
        uses.push_back({save, dialogTitle, filter, fileName, defaultExt, overwritePrompt,
                        pathMustExist, hideReadOnly});
        fileName = choices.empty() ? QString() : choices.front();
        if (!choices.empty()) choices.pop_front();
        fileTitle = fileName.isEmpty() ? QString() : fileName.mid(fileName.lastIndexOf(u'/') + 1);
    }
};

class FakeApp : public AppPort {
public:
    int busyDepth = 0;
    int maxBusyDepth = 0;
    int eventTurns = 0;
    bool quitCalled = false;
    void setBusy(bool busy) override {
        busyDepth += busy ? 1 : -1;
        maxBusyDepth = std::max(maxBusyDepth, busyDepth);
    }
    void processEvents() override { ++eventTurns; }
    void quit() override { quitCalled = true; }
};

// Controls that behave like the real ones: setting a text marks the workspace changed.
class FakeDesigner : public DesignerPort {
public:
    explicit FakeDesigner(Workspace& ws) : m_ws(ws) {}
    QString name, html;
    QStringList list;
    std::function<bool()> onSave = [] { return true; };
    int saves = 0;

    QString templateName() const override { return name; }
    void setTemplateName(const QString& t) override { name = t, m_ws.IsDirty = true; }
    QString defaultHtml() const override { return html; }
    void setDefaultHtml(const QString& t) override { html = t, m_ws.IsDirty = true; }
    void clearSectionList() override { list.clear(); }
    void addSectionListEntry(const QString& n) override { list << n; }
    bool save() override { return ++saves, onSave(); }

private:
    Workspace& m_ws;
};

class FakeHtmlEditor : public HtmlEditorPort {
public:
    explicit FakeHtmlEditor(Workspace& ws) : m_ws(ws) {}
    QString titleText, outputText, caption;
    QStringList list;
    std::vector<int> itemData;
    std::function<bool()> onSave = [] { return true; };
    int saves = 0;

    QString title() const override { return titleText; }
    void setTitle(const QString& t) override { titleText = t, m_ws.IsDirty = true; }
    QString output() const override { return outputText; }
    void setOutput(const QString& t) override { outputText = t, m_ws.IsDirty = true; }
    void setTemplateCaption(const QString& c) override { caption = c; }
    void clearSectionList() override { list.clear(), itemData.clear(); }
    void addSectionListEntry(const QString& n, int slot) override {
        list << n, itemData.push_back(slot);
    }
    bool save() override { return ++saves, onSave(); }

private:
    Workspace& m_ws;
};

// A session wired to all the fakes.
struct FakeSession {
    Session s;
    ScriptedPrompter prompter;
    FakeApp app;
    FakeDesigner designer{s.ws};
    FakeHtmlEditor editor{s.ws};
    FakeSession() {
        s.prompter = &prompter;
        s.app = &app;
        s.designer = &designer;
        s.htmlEditor = &editor;
    }
};

// Lines joined with CR LF, each one ended by it.
inline QByteArray crlf(std::initializer_list<const char*> lines) {
    QByteArray out;
    for (const char* l : lines)
        out += QByteArray(l) + "\r\n";
    return out;
}

inline QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
    return path;
}

inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace quillane::test
