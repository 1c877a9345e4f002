// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/workspace.h"

#include "core/version.h"
#include "formats/read_failure.h"

#include <QDir>

namespace quillane {

MsgAnswer Session::tell(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons,
                        MsgAnswer defaultButton) const {
    return tell(Message{text, title, icon, buttons, defaultButton});
}

MsgAnswer Session::tell(const Message& m) const {
    // Without anyone to ask, take the default answer rather than guess another.
    return prompter ? prompter->show(m) : m.defaultButton;
}

QString Session::defaultTemplatePath() const {
    return QDir(programFolder).filePath(QStringLiteral("default.qtf"));
}

bool saveEditorFile(Session& s, const QString& path, const QString& text) {
    BusyGuard busy(s.app);
    if (const std::optional<Message> failure = saveTextFile(path, text)) {
        s.tell(*failure);
        return false;
    }
    s.ws.LastFile = path;
    s.ws.IsDirty = false;
    return true;
}

bool saveUnderName(Session& s, const QString& chosen, const std::function<bool()>& save) {
    if (chosen.isEmpty()) return false;
    const QString before = s.ws.CurrentFile;
    s.ws.CurrentFile = chosen;
    if (save()) return true;
    s.ws.CurrentFile = before; // nothing was written there
    return false;
}

void FillSectionList(Session& s, int mode) {
    const Workspace& ws = s.ws;
    if (mode == EditorMode::Designer && s.designer) {
        s.designer->clearSectionList();
        for (int slot = 1; slot <= ws.lastSlot(); ++slot) {
            if (!ws.SectionNames[slot].isEmpty())
                s.designer->addSectionListEntry(ws.SectionNames[slot]);
        }
    } else if (mode == EditorMode::HtmlEditor && s.htmlEditor) {
        s.htmlEditor->clearSectionList();
        for (int slot = 1; slot <= ws.lastSlot(); ++slot) {
            if (!ws.SectionNames[slot].isEmpty() && ws.SectionEditable[slot] == 1)
                s.htmlEditor->addSectionListEntry(ws.SectionNames[slot], slot);
        }
    }
}

int AllocateSectionSlot(Session& s) {
    Workspace& ws = s.ws;
    const int last = std::min(ws.lastSlot(), kMaxSections);
    for (int slot = 1; slot <= last; ++slot) {
        if (ws.SectionNames[slot].isEmpty()) return slot;
    }
    if (ws.lastSlot() < kMaxSections && ws.growTable()) return ws.lastSlot();
    s.tell(QStringLiteral("A template can hold at most %1 sections. Delete a section to make "
                          "room for a new one.")
               .arg(kMaxSections),
           QString::fromLatin1(kAppTitle), MsgIcon::Exclamation);
    return 0;
}

namespace {

enum class SaveAnswer { Unchanged, Saved, Dropped, Cancelled };

SaveAnswer askToSave(Session& s, int mode) {
    QString name;
    if (mode == EditorMode::Designer && s.designer)
        name = s.designer->templateName();
    else if (mode == EditorMode::HtmlEditor && s.htmlEditor)
        name = s.htmlEditor->title();
    const QString question = QStringLiteral("Do you want to save your changes to ") + name + u'?';

    if (!s.ws.IsDirty) return SaveAnswer::Unchanged;

    switch (s.tell(question, QString::fromLatin1(kAppTitle), MsgIcon::Question,
                   MsgButtons::YesNoCancel, MsgAnswer::Yes)) {
    case MsgAnswer::Yes: {
        bool saved = false;
        if (mode == EditorMode::Designer && s.designer)
            saved = s.designer->save();
        else if (mode == EditorMode::HtmlEditor && s.htmlEditor)
            saved = s.htmlEditor->save();
        // A save that wrote nothing (its dialog cancelled, or the write failed) must not let
        // the caller go on and drop the edits.
        s.ws.IsDirty = !saved;
        return saved ? SaveAnswer::Saved : SaveAnswer::Cancelled;
    }
    case MsgAnswer::No:
        s.ws.IsDirty = false;
        return SaveAnswer::Dropped;
    case MsgAnswer::Ok:
    case MsgAnswer::Cancel:
        break;
    }
    return SaveAnswer::Cancelled;
}

} // namespace

bool ConfirmSaveChanges(Session& s, int mode) {
    return askToSave(s, mode) != SaveAnswer::Cancelled;
}

SaveQuestion::SaveQuestion(Session& s, int mode) : m_s(s) {
    const SaveAnswer answer = askToSave(s, mode);
    m_goOn = answer != SaveAnswer::Cancelled;
    m_dropped = answer == SaveAnswer::Dropped;
}

SaveQuestion::~SaveQuestion() {
    if (m_dropped) m_s.ws.IsDirty = true;
}

void ResetEditor(Session& s, int mode) {
    if (mode == EditorMode::Designer && s.designer) {
        s.designer->setTemplateName(QString());
        s.designer->clearSectionList();
        s.designer->setDefaultHtml(QString());
    } else if (mode == EditorMode::HtmlEditor && s.htmlEditor) {
        s.htmlEditor->setOutput(QString());
        s.htmlEditor->clearSectionList();
        s.htmlEditor->setTitle(QString());
    }
    s.ws.newTable();
    s.ws.storedTemplatePath.clear();
    s.ws.storedOutputPath.clear();
    s.ws.IsDirty = false;
}

void tellNoBrowser(const Session& s, const QString& path, const QString& title) {
    s.tell(QStringLiteral("No web browser could be started. The page is at:") + kCrLf +
               QDir::toNativeSeparators(path),
           title, MsgIcon::Exclamation);
}

} // namespace quillane
