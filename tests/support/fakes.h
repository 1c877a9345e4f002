// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Scripted stand-ins for the ports: they record what the user would have seen and answer
// from a queue.

#include "core/ports.h"
#include "core/workspace.h"
#include "support/files.h"

#include <deque>
#include <functional>
#include <new>
#include <optional>
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
    void setBusy(bool busy) override {
        busyDepth += busy ? 1 : -1;
        maxBusyDepth = std::max(maxBusyDepth, busyDepth);
    }
    void processEvents() override { ++eventTurns; }
    void quit() override {}
};

// What both editor views share. Setting a text behaves like the real control: it marks the
// workspace changed. `log` names each control the view was told to change, in order. The
// section editor's uses are recorded and answered from `edits` (nothing = closed without OK);
// with the queue empty, OK with nothing changed.
template <class Port> class FakeView : public Port {
public:
    explicit FakeView(Workspace& ws) : m_ws(ws) {}
    QStringList list, log;
    std::vector<std::pair<SectionDialogUse, SectionEdit>> shownEdits;
    std::deque<std::optional<SectionEdit>> edits;
    std::function<bool()> onSave = [] { return true; };
    int saves = 0;

    void clearSectionList() override { list.clear(), log << "list"; }
    std::optional<SectionEdit> editSection(SectionDialogUse use, const SectionEdit& e) override {
        shownEdits.emplace_back(use, e);
        if (edits.empty()) return e;
        const std::optional<SectionEdit> answer = edits.front();
        edits.pop_front();
        return answer;
    }
    bool save() override { return ++saves, onSave(); }

protected:
    void set(QString& field, const QString& text, const char* control) {
        field = text, m_ws.IsDirty = true, log << control;
    }
    Workspace& m_ws;
};

class FakeDesigner : public FakeView<DesignerPort> {
public:
    using FakeView::FakeView;
    QString name, html;
    QStringList pagesOpened;
    int selected = -1;
    bool buttonsEnabled = false;

    QString templateName() const override { return name; }
    void setTemplateName(const QString& t) override { set(name, t, "name"); }
    QString defaultHtml() const override { return html; }
    void setDefaultHtml(const QString& t) override { set(html, t, "html"); }
    void addSectionListEntry(const QString& n) override { list << n; }
    void removeSectionListEntry(int row) override { list.removeAt(row); }
    int selectedSectionRow() const override { return selected; }
    QString sectionListEntry(int row) const override { return list.value(row); }
    void clearSectionSelection() override { selected = -1; }
    void setSectionButtonsEnabled(bool enabled) override { buttonsEnabled = enabled; }
    bool browser = true; // whether a browser can be started
    bool openPage(const QString& path) override { return pagesOpened << path, browser; }
    // The pages build runs at once; `stopAfter` documents, it asks to stop.
    QStringList buildSummaries;
    int stopAfter = -1;
    void buildPages(const std::function<QString(BatchObserver&)>& build) override {
        struct Stop : BatchObserver {
            int left = 0;
            bool stopRequested() override { return --left == 0; }
        } stop;
        stop.left = stopAfter;
        buildSummaries << build(stop);
    }
};

// The list holds "name:slot" entries.
class FakeHtmlEditor : public FakeView<HtmlEditorPort> {
public:
    using FakeView::FakeView;
    QString titleText, outputText, caption;
    int selectionClears = 0;
    bool starved = false; // setting an output runs out of memory

    QString title() const override { return titleText; }
    void setTitle(const QString& t) override { set(titleText, t, "title"); }
    QString output() const override { return outputText; }
    void setOutput(const QString& t) override {
        if (starved && !t.isEmpty()) throw std::bad_alloc();
        set(outputText, t, "output");
    }
    QString templateCaption() const override { return caption; }
    void setTemplateCaption(const QString& c) override { caption = c, log << "caption"; }
    void addSectionListEntry(const QString& n, int slot) override {
        list << n + u':' + QString::number(slot);
    }
    void clearSectionSelection() override { ++selectionClears; }
    QStringList pagesOpened;
    bool browser = true;
    bool openPage(const QString& path) override { return pagesOpened << path, browser; }
    QString status;
    void showStatus(const QString& text) override { status = text; }
};

} // namespace quillane::test
