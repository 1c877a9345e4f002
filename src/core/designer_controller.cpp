#include "core/designer_controller.h"

#include "core/version.h"
#include "formats/template_file.h"
#include "formats/text_codec.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace quillane {

const QString DesignerController::kDefaultName = QStringLiteral("Default template");

namespace {

const QString kTemplateFilter = QStringLiteral("Quillane template file|*.qtf");

} // namespace

DesignerController::DesignerController(Session& s, DesignerPort& view, FileDialogPort& dialog)
    : m_s(s), m_view(view), m_dialog(dialog) {}

void DesignerController::load() {
    m_s.ws.CurrentFile.clear();
    m_s.ws.LastFile.clear();
    BusyGuard busy(m_s.app);
    // A missing or broken default template has been reported by the reader; the window opens
    // with whatever it managed to read.
    LoadFile(m_s, m_s.defaultTemplatePath(), LoadMode::Designer);
    m_view.setTemplateName(kDefaultName);
    m_s.ws.IsDirty = false;
}

void DesignerController::newTemplate() {
    if (!ConfirmSaveChanges(m_s, EditorMode::Designer)) return;
    ResetEditor(m_s, EditorMode::Designer);
    m_s.ws.CurrentFile.clear();
    load();
}

QString DesignerController::startingFile() const {
    return m_s.ws.CurrentFile.isEmpty() ? m_s.ws.LastFile : m_s.ws.CurrentFile;
}

QString DesignerController::chooseFile(bool save, const QString& title, const QString& preset) {
    m_dialog.dialogTitle = title;
    m_dialog.filter = kTemplateFilter;
    m_dialog.defaultExt = QStringLiteral(".qtf");
    m_dialog.fileName = preset;
    m_dialog.hideReadOnly = true;
    m_dialog.overwritePrompt = save;
    m_dialog.pathMustExist = !save;
    if (save)
        m_dialog.showSave();
    else
        m_dialog.showOpen();
    return m_dialog.fileName;
}

DesignerController::Snapshot DesignerController::snapshot() const {
    return {m_s.ws, m_view.templateName(), m_view.defaultHtml()};
}

void DesignerController::restore(const Snapshot& saved) {
    m_view.setTemplateName(saved.name);
    m_view.setDefaultHtml(saved.html);
    m_s.ws = saved.ws; // after the fields, whose change handling marks the workspace changed
    FillSectionList(m_s, EditorMode::Designer);
}

void DesignerController::open() {
    SaveQuestion asked(m_s, EditorMode::Designer);
    if (!asked.goOn()) return;
    const Snapshot before = snapshot();
    QString preset = startingFile();
    for (;;) {
        const QString chosen = chooseFile(false, QStringLiteral("Load a template..."), preset);
        if (chosen.isEmpty()) return;
        m_s.ws.CurrentFile = chosen;
        if (openTemplate(chosen)) {
            asked.done();
            return;
        }
        // The refused file is not the open template: the designer goes back to what it showed,
        // and the dialog asks again, preset to the refused file.
        restore(before);
        preset = chosen;
    }
}

bool DesignerController::openTemplate(const QString& path) {
    BusyGuard busy(m_s.app);
    ResetEditor(m_s, EditorMode::Designer);
    if (!LoadFile(m_s, path, LoadMode::Designer).loaded()) return false;
    m_s.ws.LastFile = QFileInfo(path).absoluteFilePath();
    return true;
}

bool DesignerController::save() {
    Workspace& ws = m_s.ws;
    if (ws.CurrentFile.isEmpty()) return saveAs();
    BusyGuard busy(m_s.app);
    TemplateFile file;
    file.name = m_view.templateName();
    file.defaultHtml = m_view.defaultHtml();
    file.sections = ws;
    if (const std::optional<Message> failure =
            saveTextFile(ws.CurrentFile, templateFileText(file))) {
        m_s.tell(*failure);
        return false;
    }
    ws.LastFile = ws.CurrentFile;
    ws.IsDirty = false;
    return true;
}

bool DesignerController::saveAs() {
    const QString chosen = chooseFile(true, QStringLiteral("Save a template..."), startingFile());
    if (chosen.isEmpty()) return false;
    const QString before = m_s.ws.CurrentFile;
    m_s.ws.CurrentFile = chosen;
    if (save()) return true;
    m_s.ws.CurrentFile = before; // nothing was written there
    return false;
}

bool DesignerController::confirmLeave() {
    return ConfirmSaveChanges(m_s, EditorMode::Designer);
}

// --- sections --------------------------------------------------------------------------------

void DesignerController::selectSection() {
    if (m_view.selectedSectionRow() >= 0) m_view.setSectionButtonsEnabled(true);
}

int DesignerController::selectedSlot(int& row) {
    row = m_view.selectedSectionRow();
    const Workspace& ws = m_s.ws;
    int seen = -1;
    if (row >= 0) {
        for (int slot = 1; slot <= ws.lastSlot(); ++slot) {
            if (!ws.SectionNames[slot].isEmpty() && ++seen == row) return slot;
        }
    }
    m_s.tell(QStringLiteral("No item selected!"), QString::fromLatin1(kAppTitle), MsgIcon::None);
    return 0;
}

void DesignerController::store(const SectionEdit& edit, int slot) {
    Workspace& ws = m_s.ws;
    ws.SectionNames[slot] = edit.name;
    ws.SectionHtml[slot] = edit.html;
    ws.SectionEditable[size_t(slot)] = quint8(edit.editable);
    FillSectionList(m_s, EditorMode::Designer);
    m_view.clearSectionSelection();
    m_view.setSectionButtonsEnabled(false);
    ws.IsDirty = true;
}

void DesignerController::addSection() {
    const int slot = AllocateSectionSlot(m_s);
    if (slot <= 0) return; // the template is full; the user has been told
    const std::optional<SectionEdit> edit =
        m_view.editSection(SectionDialogUse::Add,
                           {QStringLiteral("Adding section ID ") + QString::number(slot),
                            QStringLiteral("New section"), QStringLiteral("Insert text here"), 1});
    if (edit) store(*edit, slot);
}

void DesignerController::editSection() {
    int row;
    const int slot = selectedSlot(row);
    if (slot <= 0) return;
    const Workspace& ws = m_s.ws;
    // A flag the box has no state for (only in a hand-made file) shows as not ticked, and the
    // box's state is what is stored back.
    const std::optional<SectionEdit> edit = m_view.editSection(
        SectionDialogUse::Edit,
        {QStringLiteral("Editing section ID ") + QString::number(slot),
         m_view.sectionListEntry(row), ws.SectionHtml[slot], ws.SectionEditable[size_t(slot)]});
    if (edit) store(*edit, slot);
}

void DesignerController::deleteSection() {
    int row;
    const int slot = selectedSlot(row);
    if (slot <= 0) return;
    const QString name = m_view.sectionListEntry(row);
    if (m_s.tell(QStringLiteral("Are you sure that you want to delete the section '") + name +
                     QStringLiteral("'?"),
                 QStringLiteral("Quillane Template designer"), MsgIcon::Question, MsgButtons::YesNo,
                 MsgAnswer::Yes) != MsgAnswer::Yes)
        return;
    Workspace& ws = m_s.ws;
    ws.SectionNames[slot].clear();
    ws.SectionHtml[slot].clear();
    m_view.removeSectionListEntry(row);
    m_view.clearSectionSelection();
    m_view.setSectionButtonsEnabled(false);
    ws.IsDirty = true;
}

bool DesignerController::preview() {
    // The program's folder where it can be written to, otherwise the user's cache folder.
    QString folder = m_s.programFolder;
    const QFileInfo programFolder(folder);
    if (folder.isEmpty() || !programFolder.isDir() || !programFolder.isWritable()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
        QDir().mkpath(folder);
    }
    const QString path = QDir(folder).filePath(QStringLiteral("temp.htm"));
    FileError error;
    bool written = false;
    {
        BusyGuard busy(m_s.app);
        written = writeFileAtomically(path, encodePage(m_view.defaultHtml() + kCrLf),
                                      WriteMode::Page, error) != WriteOutcome::Failed;
    }
    if (!written) {
        m_s.tell(QStringLiteral("Could not write the preview page '") + path +
                     QStringLiteral("':") + kCrLf + error.description,
                 QString::fromLatin1(kAppTitle), MsgIcon::Exclamation);
        return false;
    }
    m_view.openPage(path);
    return true;
}

} // namespace quillane
