// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "build/template_cache.h"
#include "core/ports.h"
#include "formats/section_table.h"

#include <QString>
#include <functional>

namespace quillane {

namespace EditorMode {
inline constexpr int Designer = 0;
inline constexpr int HtmlEditor = 1;
} // namespace EditorMode

// The one editing state both editors share: the section table of the open template or
// document, and what the editor knows of its file.
struct Workspace : SectionTable {
    bool IsDirty = false;
    QString CurrentFile;
    QString TemplatePath;
    // The file the open template or document was last read from or saved to. Unlike
    // CurrentFile it is also set by /T: and /H:. A document's relative paths start from its
    // folder, and a Save As of a file opened that way starts there.
    QString LastFile;
    // The template and output paths as the last document read had them written, so that a
    // relative path is written back relative as long as it still names the same file.
    QString storedTemplatePath;
    QString storedOutputPath;
};

// The workspace together with the ports that lead to the open windows and to the user.
// `designer` and `htmlEditor` are null while their window is not open.
struct Session {
    Workspace ws;
    Prompter* prompter = nullptr;
    AppPort* app = nullptr;
    DesignerPort* designer = nullptr;
    HtmlEditorPort* htmlEditor = nullptr;
    QString programFolder; // holds default.qtf
    TemplateCache templates;

    MsgAnswer tell(const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons = MsgButtons::Ok,
                   MsgAnswer defaultButton = MsgAnswer::Ok) const;
    MsgAnswer tell(const Message& message) const;
    QString defaultTemplatePath() const;
};

// Writes the open template's or document's text to path, as both editors save: durably, with
// the busy pointer. On success the workspace counts as unchanged and path is its file; a
// failure is told (path and reason) and changes nothing.
bool saveEditorFile(Session& s, const QString& path, const QString& text);
// Save As once a file is chosen (none: nothing happens): save() writes under the chosen name,
// which becomes the editor's file; when it fails the editor keeps the file it had.
bool saveUnderName(Session& s, const QString& chosen, const std::function<bool()>& save);

void FillSectionList(Session& s, int mode);
// The lowest free slot, or a new one at the end. 0 when the template cannot take another
// section; the user has then been told.
int AllocateSectionSlot(Session& s);
// True = go on; false = the user cancelled, or chose to save and nothing was saved.
bool ConfirmSaveChanges(Session& s, int mode);

// ConfirmSaveChanges for a command that can still come to nothing after the question (its file
// dialog cancelled, its file refused). Answered No, the edits are given up only when the
// command has done its work (done()); a command that ends without it leaves them on screen,
// and they count as unsaved again.
class SaveQuestion {
public:
    SaveQuestion(Session& s, int mode);
    ~SaveQuestion();
    SaveQuestion(const SaveQuestion&) = delete;
    SaveQuestion& operator=(const SaveQuestion&) = delete;

    bool goOn() const { return m_goOn; }
    void done() { m_dropped = false; }

private:
    Session& m_s;
    bool m_goOn = false;
    bool m_dropped = false; // answered No, and the command has not happened yet
};
void ResetEditor(Session& s, int mode);

// Says that no browser could be started to show a page, and where the page is.
void tellNoBrowser(const Session& s, const QString& path, const QString& title);

} // namespace quillane
