#pragma once

#include "core/ports.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace quillane {

namespace EditorMode {
inline constexpr int Designer = 0;
inline constexpr int HtmlEditor = 1;
} // namespace EditorMode

// Slot numbers are 16-bit signed where the editors hold them. A template keeps one free slot
// after its sections once it has been read, so it can hold one section less than that.
inline constexpr int kMaxSlot = 32767;
inline constexpr int kMaxSections = kMaxSlot - 1;

inline const QString kCrLf = QStringLiteral("\r\n");

// The one editing state both editors share. The section table is three parallel arrays over
// slots 0..N (N >= 1); slot 0 is never used and a slot whose name is "" is free.
struct Workspace {
    QStringList SectionNames{QString(), QString()};
    QStringList SectionHtml{QString(), QString()};
    std::vector<quint8> SectionEditable{0, 0};
    bool IsDirty = false;
    QString CurrentFile;
    QString TemplatePath;
    // The template and output paths as the last document read had them written, so that a
    // relative path is written back relative as long as it still names the same file.
    QString storedTemplatePath;
    QString storedOutputPath;
    // The file /T: or /H: opened. CurrentFile stays empty after them, so that the first Save
    // asks where to write; its dialog starts at this file.
    QString openedFile;

    // Where Save As starts: the open file, else the one /T: or /H: opened.
    QString saveAsPreset() const { return CurrentFile.isEmpty() ? openedFile : CurrentFile; }
    // N, the highest slot number.
    int lastSlot() const { return int(SectionNames.size()) - 1; }
    // A new table with N = 1 and everything empty.
    void newTable();
    // Adds one free slot at the end; false when the table already holds the most slots.
    bool growTable();
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

    MsgAnswer tell(const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons = MsgButtons::Ok,
                   MsgAnswer defaultButton = MsgAnswer::Ok) const;
    QString defaultTemplatePath() const;
};

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

} // namespace quillane
