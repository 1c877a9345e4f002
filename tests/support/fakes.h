// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Scripted stand-ins for the ports: they record what the user would have seen and answer
// from a queue.

#include "core/html_editor_controller.h"
#include "core/ports.h"
#include "core/site_pages.h"
#include "core/site_settings_editor.h"
#include "core/workspace.h"
#include "support/files.h"

#include <QSettings>
#include <deque>
#include <functional>
#include <new>
#include <optional>
#include <vector>

namespace quillane::test {

// The user's settings (recent files) in a folder of the test's own.
inline void settingsIn(const QString& folder) {
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}

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
        bool folder = false;
    };
    std::vector<Use> uses;
    std::deque<QString> choices;

    void showOpen() override { answer(false); }
    void showSave() override { answer(true); }
    void showFolder() override { answer(false, true); }

private:
    void answer(bool save, bool folder = false) {
        uses.push_back({save, dialogTitle, filter, fileName, defaultExt, overwritePrompt,
                        pathMustExist, hideReadOnly, folder});
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
    bool starved = false; // giving events a turn runs out of memory
    void setBusy(bool busy) override {
        busyDepth += busy ? 1 : -1;
        maxBusyDepth = std::max(maxBusyDepth, busyDepth);
    }
    void processEvents() override {
        if (starved) throw std::bad_alloc();
        ++eventTurns;
    }
    void quit() override {}
};

// What both editor views share: what they were last told to show (the section list as
// FillSectionList gives it), the section editor's uses, recorded and answered from `edits`
// (nothing = closed without OK; with the queue empty, OK with nothing changed), and Save.
template <class View, EditorMode mode> class FakeView : public View {
public:
    QList<SectionListEntry> entries;
    std::vector<std::pair<SectionDialogUse, SectionEdit>> shownEdits;
    std::deque<std::optional<SectionEdit>> edits;
    std::function<bool()> onSave = [] { return true; };
    int saves = 0;
    QStringList pagesOpened;
    bool browser = true; // whether a browser can be started

    void showWorkspace(const Workspace& ws) override {
        entries = FillSectionList(ws.sections, mode);
        showFields(ws);
    }
    std::optional<SectionEdit> editSection(SectionDialogUse use, const SectionEdit& e) override {
        shownEdits.emplace_back(use, e);
        if (edits.empty()) return e;
        const std::optional<SectionEdit> answer = edits.front();
        edits.pop_front();
        return answer;
    }
    bool openPage(const QString& path) override { return pagesOpened << path, browser; }
    bool save() override { return ++saves, onSave(); }

protected:
    virtual void showFields(const Workspace& ws) = 0;
};

class FakeDesigner : public FakeView<DesignerView, EditorMode::Designer> {
public:
    QString name, html;
    QStringList list;
    int selected = -1;
    bool buttonsEnabled = false;

    int selectedSectionRow() const override { return selected; }
    void clearSectionSelection() override { selected = -1, buttonsEnabled = false; }
    // The pages build runs at once; `stopAfter` documents, it asks to stop.
    QStringList buildSummaries;
    int stopAfter = -1;
    // Asks to stop when `left` documents are done (never when it starts at 0 or below).
    struct Stop : BatchObserver {
        int left = 0;
        bool stopRequested() override { return --left == 0; }
    };
    void buildPages(const std::function<QString(BatchObserver&)>& build) override {
        Stop stop;
        stop.left = stopAfter;
        buildSummaries << build(stop);
    }

protected:
    void showFields(const Workspace& ws) override {
        name = ws.templateName, html = ws.defaultHtml, list.clear();
        for (const SectionListEntry& e : entries)
            list << e.name;
    }
};

// The list holds "name:slot" entries.
class FakeHtmlEditor : public FakeView<HtmlEditorView, EditorMode::HtmlEditor> {
public:
    QString titleText, outputText, caption, status;
    QStringList list;
    int selectionClears = 0;

    void clearSectionSelection() override { ++selectionClears; }
    void showStatus(const QString& text) override { status = text; }
    // The site settings dialog: what the test does in it.
    std::function<void(SiteSettingsEditor&)> onSiteSettings = [](SiteSettingsEditor&) {};
    void editSiteSettings(SiteSettingsEditor& editor) override { onSiteSettings(editor); }
    // New from template: the templates offered (the one chosen at first marked "*"), and the
    // answer.
    QStringList templatesOffered;
    std::optional<QString> templateChosen;
    // Site pages: what the test does with the list, and the document it opens.
    std::function<QString(SitePagesController&)> onSitePages = [](SitePagesController&) {
        return QString();
    };
    QString showSitePages(SitePagesController& pages) override { return onSitePages(pages); }
    std::optional<QString> chooseTemplate(const QStringList& templates,
                                          qsizetype selected) override {
        templatesOffered = templates;
        templatesOffered[selected] += u'*';
        return templateChosen;
    }

protected:
    void showFields(const Workspace& ws) override {
        titleText = ws.title, outputText = ws.output;
        caption = HtmlEditorController::templateCaption(ws);
        list.clear();
        for (const SectionListEntry& e : entries)
            list << e.name + u':' + QString::number(e.slot);
    }
};

} // namespace quillane::test
