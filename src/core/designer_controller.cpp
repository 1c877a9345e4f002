// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/designer_controller.h"

#include "build/batch_report.h"
#include "build/template_charset.h"
#include "build/template_check.h"
#include "core/recent_files.h"
#include "core/version.h"
#include "formats/file_write.h"
#include "formats/template_file.h"
#include "formats/text_codec.h"

#include <QDir>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QStandardPaths>

namespace quillane {

const QString DesignerController::kDefaultName = QStringLiteral("Default template");

namespace {

const QString kTemplateFilter = QStringLiteral("Quillane template file|*.qtf");
const QString kDesignerTitle = QStringLiteral("Quillane Template designer");

// The first `cap` items, then "... and N more".
QString capped(const QStringList& items, qsizetype cap, const QString& separator) {
    QStringList shown = items.mid(0, cap);
    if (items.size() > cap) shown << QStringLiteral("... and %1 more").arg(items.size() - cap);
    return shown.join(separator);
}

QString counted(qsizetype n, const QString& what) {
    return QStringLiteral("%1 %2%3").arg(n).arg(what, n == 1 ? "" : "s");
}

// A file dialog's preset for a template: the file, or for a new one the folder of the last.
QString presetFor(const QString& file) {
    if (!file.isEmpty()) return file;
    const QStringList recent = recentFiles(RecentList::Templates);
    return recent.isEmpty() ? QString() : QFileInfo(recent.first()).absolutePath() + u'/';
}

} // namespace

DesignerController::DesignerController(Session& s, DesignerView& view, FileDialogPort& dialog)
    : m_s(s), m_view(view), m_dialog(dialog) {}

void DesignerController::show() const {
    m_view.showWorkspace(m_s.ws);
}

void DesignerController::load() {
    Workspace& ws = m_s.ws;
    ws.CurrentFile.clear();
    ws.LastFile.clear();
    BusyGuard busy(m_s.app);
    // A missing or broken default template has been reported by the reader; the window opens
    // with whatever it managed to read.
    LoadFile(m_s, m_s.defaultTemplatePath(), LoadMode::Designer);
    ws.templateName = kDefaultName;
    ws.IsDirty = false;
    show();
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

void DesignerController::open() {
    SaveQuestion asked(m_s, EditorMode::Designer);
    if (!asked.goOn()) return;
    QString preset = presetFor(startingFile());
    for (;;) {
        const QString chosen = chooseFile(false, QStringLiteral("Load a template..."), preset);
        if (chosen.isEmpty()) return;
        if (openChosen(chosen)) {
            asked.done();
            return;
        }
        // The dialog asks again, preset to the refused file.
        preset = chosen;
    }
}

bool DesignerController::openChosen(const QString& path) {
    const Workspace before = m_s.ws;
    m_s.ws.CurrentFile = path;
    if (openTemplate(path)) return true;
    // The refused file is not the open template: the designer goes back to what it showed.
    m_s.ws = before;
    show();
    return false;
}

void DesignerController::openRecent(const QString& path) {
    if (recentFileGone(m_s, RecentList::Templates, path, kDesignerTitle)) return;
    SaveQuestion asked(m_s, EditorMode::Designer);
    if (asked.goOn() && openChosen(path)) asked.done();
}

void DesignerController::editTemplate(const QString& path) {
    m_s.ws.CurrentFile = path;
    if (!openTemplate(path)) load();
}

QString DesignerController::pageTemplate() {
    if (!confirmLeave()) return {};
    const QString path = startingFile();
    if (path.isEmpty())
        m_s.tell(QStringLiteral("This template has not been saved yet, so no page can use it. "
                                "Save it first."),
                 kDesignerTitle, MsgIcon::Information);
    return path;
}

bool DesignerController::openTemplate(const QString& path) {
    BusyGuard busy(m_s.app);
    ResetEditor(m_s, EditorMode::Designer);
    const bool loaded = LoadFile(m_s, path, LoadMode::Designer).loaded();
    show();
    if (loaded) {
        m_s.ws.LastFile = QFileInfo(path).absoluteFilePath();
        noteRecentFile(RecentList::Templates, path);
    }
    return loaded;
}

bool DesignerController::save() {
    Workspace& ws = m_s.ws;
    if (ws.CurrentFile.isEmpty()) return saveAs();
    if (!charsetSettled()) return false;
    const QString path = ws.CurrentFile;
    TemplateFile file;
    file.name = ws.templateName;
    file.defaultHtml = ws.defaultHtml;
    file.sections = ws.sections;
    const QString text = templateFileText(file);
    // The template as its file will hold it: its named sections in turn, as a build reads it.
    const TemplateFile saved = parseTemplate(text, path).value;
    if (!problemsAccepted(saved)) return false;

    // The documents that use the template it replaces keep their blocks by position.
    QByteArray before;
    FileError unread;
    const bool existed = readFileBytes(path, before, unread);
    std::optional<TemplateUsers> users;
    QList<Pending> pending;
    if (existed) {
        const TemplateRead old = parseTemplate(decodeText(before), path);
        const QStringList oldNames = editableSectionNames(old.value.sections);
        const QStringList newNames = editableSectionNames(saved.sections);
        if (old.defaultHtmlRead && !old.failure && oldNames != newNames) {
            BusyGuard busy(m_s.app);
            users = findTemplateUsers(path);
            for (qsizetype i = 0; i < users->documents.size(); ++i) {
                const TemplateUser& user = users->documents[i];
                if (!user.unreadable.isEmpty()) continue;
                BlockMove move = moveBlocks(user.document.blocks, oldNames, saved.sections);
                if (move.changed) pending.append({i, std::move(move)});
            }
        }
        if (!pending.isEmpty()) {
            const MsgAnswer answer = askToUpdate(*users, pending, oldNames, newNames);
            if (answer == MsgAnswer::Cancel) return false;
            if (answer != MsgAnswer::Yes) pending.clear();
        }
    }
    if (!saveEditorFile(m_s, path, text)) return false;
    noteRecentFile(RecentList::Templates, path);

    QStringList copies;
    const int updated = pending.isEmpty() ? 0 : updateDocuments(*users, pending, copies);
    if (existed && encodeForStorage(text) == before) return true; // the pages stay as they are
    if (!users) {
        BusyGuard busy(m_s.app);
        users = findTemplateUsers(path);
    }
    offerBuild(*users, updated, copies);
    return true;
}

bool DesignerController::charsetSettled() {
    const QString problem = charsetProblem(m_s.ws.defaultHtml);
    if (problem.isEmpty()) return true;
    switch (m_s.tell(Message{
        problem + kCrLf + kCrLf + QStringLiteral("Add ") + kUtf8Meta +
            QStringLiteral(" right after <head>, so that they are written "
                           "in UTF-8?"),
        kDesignerTitle,
        MsgIcon::Question,
        MsgButtons::YesNoCancel,
        MsgAnswer::Yes,
        {QStringLiteral("&Add it"), QStringLiteral("&Leave it"), QStringLiteral("Cancel")}})) {
    case MsgAnswer::Yes:
        m_s.ws.defaultHtml = withUtf8Charset(m_s.ws.defaultHtml);
        m_s.ws.IsDirty = true;
        show();
        return true;
    case MsgAnswer::No:
        return true;
    default:
        return false;
    }
}

bool DesignerController::problemsAccepted(const TemplateFile& saved) {
    const QList<TemplateProblem> problems = checkTemplate(saved);
    if (problems.isEmpty()) return true;
    QStringList lines;
    for (const TemplateProblem& p : problems)
        lines << QStringLiteral("- ") + p.text;
    const QString text = QStringLiteral("This template will not build as it reads:") + kCrLf +
                         kCrLf + capped(lines, 10, kCrLf) + kCrLf + kCrLf +
                         QStringLiteral("Save it anyway?");
    return m_s.tell(Message{text,
                            kDesignerTitle,
                            MsgIcon::Exclamation,
                            MsgButtons::YesNo,
                            MsgAnswer::No,
                            {QStringLiteral("Save anyway"), QStringLiteral("Cancel")}}) ==
           MsgAnswer::Yes;
}

MsgAnswer DesignerController::askToUpdate(const TemplateUsers& users, const QList<Pending>& pending,
                                          const QStringList& oldNames,
                                          const QStringList& newNames) {
    auto list = [](QStringList names) {
        for (QString& n : names)
            if (n.isEmpty()) n = QStringLiteral("(no name)");
        return names.join(QStringLiteral(", "));
    };
    const QDir folder(users.folder);
    QStringList documents, dropped, unreadable;
    for (const Pending& p : pending) {
        const QString name = folder.relativeFilePath(users.documents[p.user].path);
        documents << name;
        QStringList sections;
        for (const BlockMove::Dropped& d : p.move.dropped)
            sections << (d.section.isEmpty() ? QStringLiteral("a block without a section")
                                             : d.section);
        if (!sections.isEmpty()) dropped << name + QStringLiteral(": ") + sections.join(", ");
    }
    for (const TemplateUser& u : users.documents) {
        if (!u.unreadable.isEmpty())
            unreadable << folder.relativeFilePath(u.path) + QStringLiteral(" (") + u.unreadable +
                              u')';
    }
    QString text = QStringLiteral("The editable sections of this template change from (%1) to "
                                  "(%2). These templated documents keep their sections' HTML in "
                                  "the old order, so unless they are updated, their HTML moves "
                                  "into other sections:")
                       .arg(list(oldNames), list(newNames)) +
                   kCrLf + capped(documents, 10, QStringLiteral(", "));
    const QString paragraph = kCrLf + kCrLf;
    if (!dropped.isEmpty())
        text += paragraph +
                QStringLiteral("These sections are no longer editable or no longer there: "
                               "updating takes their HTML out of the document and keeps it in a "
                               "copy beside it (name.qht.bak):") +
                kCrLf + capped(dropped, 10, kCrLf);
    if (!unreadable.isEmpty())
        text += paragraph +
                QStringLiteral("These use the template too but cannot be read, so they are left "
                               "as they are:") +
                kCrLf + capped(unreadable, 10, kCrLf);
    if (users.searchCut)
        text += paragraph + QStringLiteral("Only the first %1 folders under the template's "
                                           "folder were searched.")
                                .arg(kMaxSearchedFolders);
    text += paragraph + QStringLiteral("Update the documents, so that every section keeps its own "
                                       "HTML? Sections that become editable get this template's "
                                       "HTML for them. Cancel saves nothing.");
    return m_s.tell(Message{
        text,
        kDesignerTitle,
        MsgIcon::Question,
        MsgButtons::YesNoCancel,
        MsgAnswer::Yes,
        {QStringLiteral("&Update them"), QStringLiteral("&Leave them"), QStringLiteral("Cancel")}});
}

int DesignerController::updateDocuments(const TemplateUsers& users, const QList<Pending>& pending,
                                        QStringList& copies) {
    BusyGuard busy(m_s.app);
    const QDir folder(users.folder);
    QStringList failures;
    int updated = 0;
    for (const Pending& p : pending) {
        QString copy;
        if (const std::optional<QString> failure =
                rewriteDocument(users.documents[p.user], p.move, copy)) {
            failures << *failure;
            continue;
        }
        ++updated;
        if (!copy.isEmpty()) copies << folder.relativeFilePath(copy);
    }
    if (!failures.isEmpty())
        m_s.tell(QStringLiteral("These templated documents could not be updated and are left as "
                                "they were:") +
                     kCrLf + capped(failures, 10, kCrLf),
                 kDesignerTitle, MsgIcon::Exclamation);
    return updated;
}

void DesignerController::offerBuild(const TemplateUsers& users, int updated,
                                    const QStringList& copies) {
    QString text;
    if (updated > 0) {
        text = counted(updated, QStringLiteral("templated document")) +
               (updated == 1 ? QStringLiteral(" was updated.") : QStringLiteral(" were updated."));
        if (!copies.isEmpty())
            text += QStringLiteral(" The HTML taken out is kept in ") +
                    capped(copies, 10, QStringLiteral(", ")) + u'.';
    }
    if (!m_offerBuild || users.documents.isEmpty()) {
        if (!text.isEmpty()) m_s.tell(text, kDesignerTitle, MsgIcon::Information);
        return;
    }
    if (!text.isEmpty()) text += kCrLf + kCrLf;
    text += QStringLiteral("Build the pages of the %1 that use this template now?")
                .arg(counted(users.documents.size(), QStringLiteral("templated document")));
    if (m_s.tell(text, kDesignerTitle, MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::Yes) ==
        MsgAnswer::Yes)
        buildPages(users);
}

void DesignerController::buildPages(const TemplateUsers& users) {
    // The pages are built as a batch of the template's folder (and site) would build them, in
    // its order, so that two documents with one page end as they would there; documents in
    // sub-folders that such a batch does not take follow, by name.
    FolderBatch batch;
    QString problem;
    if (readBatchFolder(users.folder, batch, problem) == FolderProblem::BadSiteFile) {
        m_s.tell(problem + QStringLiteral(" Nothing was built."), kDesignerTitle,
                 MsgIcon::Exclamation);
        return;
    }
    QHash<QString, qsizetype> order;
    for (qsizetype i = 0; i < batch.documents.size(); ++i)
        order.insert(batch.documents[i].name, i);
    const QDir folder(users.folder);
    QList<std::pair<qsizetype, QString>> names;
    for (const TemplateUser& u : users.documents) {
        const QString name = folder.relativeFilePath(u.path);
        names.append({order.value(name, batch.documents.size()), name});
    }
    std::sort(names.begin(), names.end());
    BatchRequest request;
    request.folder = users.folder;
    request.site = batch.site;
    for (const auto& [place, name] : names)
        request.documents.append({name, true});
    request.jobs = defaultJobs();
    BatchReport report;
    m_view.buildPages([&](BatchObserver& progress) {
        report = runBatch(m_s, request, progress);
        return summaryLine(report, SummaryFor::Designer);
    });
    tellBatchReport(m_s, report, kDesignerTitle);
}

void DesignerController::rebuildPages() {
    {
        // The pages are built from the file: offer to save the edits first.
        const QScopedValueRollback<bool> noOffer(m_offerBuild, false);
        SaveQuestion asked(m_s, EditorMode::Designer);
        if (!asked.goOn()) return;
    }
    const QString path = startingFile();
    if (path.isEmpty()) {
        m_s.tell(QStringLiteral("This template has not been saved yet, so no templated document "
                                "uses it."),
                 kDesignerTitle, MsgIcon::Information);
        return;
    }
    TemplateUsers users;
    {
        BusyGuard busy(m_s.app);
        users = findTemplateUsers(path);
    }
    if (users.documents.isEmpty()) {
        m_s.tell(QStringLiteral("No templated document in '%1' or its sub-folders uses this "
                                "template.")
                     .arg(QDir::toNativeSeparators(QFileInfo(path).absolutePath())),
                 kDesignerTitle, MsgIcon::Information);
        return;
    }
    buildPages(users);
}

bool DesignerController::saveAs() {
    const QString chosen =
        chooseFile(true, QStringLiteral("Save a template..."), presetFor(startingFile()));
    return saveUnderName(m_s, chosen, [this] { return save(); });
}

bool DesignerController::confirmLeave() {
    return ConfirmSaveChanges(m_s, EditorMode::Designer);
}

// --- sections --------------------------------------------------------------------------------

void DesignerController::templateNameEdited(const QString& text) {
    m_s.ws.templateName = text;
    m_s.ws.IsDirty = true;
}

void DesignerController::defaultHtmlEdited(const QString& text) {
    m_s.ws.defaultHtml = text;
    m_s.ws.IsDirty = true;
}

int DesignerController::selectedSlot() {
    const int row = m_view.selectedSectionRow();
    const QList<SectionListEntry> entries = FillSectionList(m_s.ws.sections, EditorMode::Designer);
    if (row >= 0 && row < entries.size()) return entries[row].slot;
    m_s.tell(QStringLiteral("No item selected!"), QString::fromLatin1(kAppTitle), MsgIcon::None);
    return 0;
}

void DesignerController::store(const SectionEdit& edit, int slot) {
    SectionTable& table = m_s.ws.sections;
    table.SectionNames[slot] = edit.name;
    table.SectionHtml[slot] = edit.html;
    table.SectionEditable[size_t(slot)] = quint8(edit.editable);
    m_s.ws.IsDirty = true;
    show();
    m_view.clearSectionSelection();
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
    const int slot = selectedSlot();
    if (slot <= 0) return;
    const SectionTable& table = m_s.ws.sections;
    // A flag the box has no state for (only in a hand-made file) shows as not ticked, and the
    // box's state is what is stored back.
    const std::optional<SectionEdit> edit = m_view.editSection(
        SectionDialogUse::Edit,
        {QStringLiteral("Editing section ID ") + QString::number(slot), table.SectionNames[slot],
         table.SectionHtml[slot], table.SectionEditable[size_t(slot)]});
    if (edit) store(*edit, slot);
}

void DesignerController::deleteSection() {
    const int slot = selectedSlot();
    if (slot <= 0) return;
    const QString name = m_s.ws.sections.SectionNames[slot];
    if (m_s.tell(QStringLiteral("Are you sure that you want to delete the section '") + name +
                     QStringLiteral("'?"),
                 kDesignerTitle, MsgIcon::Question, MsgButtons::YesNo,
                 MsgAnswer::Yes) != MsgAnswer::Yes)
        return;
    // The slot is free again; its flag is left as it was.
    m_s.ws.sections.SectionNames[slot].clear();
    m_s.ws.sections.SectionHtml[slot].clear();
    m_s.ws.IsDirty = true;
    show();
    m_view.clearSectionSelection();
}

bool DesignerController::preview() {
    // The default HTML as it stands, seen from the top of the template's site (or from the
    // template's folder), so that its stylesheets and pictures show.
    const QString file = startingFile();
    QString root = file.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
                                  : QFileInfo(file).absolutePath();
    if (!file.isEmpty()) {
        if (const QString siteFile = findSiteFile(root); !siteFile.isEmpty()) {
            if (const SiteFileRead read = readSiteFile(siteFile); read.settings)
                root = read.settings->output;
        }
    }
    const QString name = QFileInfo(file).completeBaseName();
    const QString page = QDir(root).filePath((name.isEmpty() ? QStringLiteral("template") : name) +
                                             QStringLiteral(".preview.html"));
    return showPreview(m_s, m_view, root, page, encodePage(m_s.ws.defaultHtml + kCrLf),
                       kDesignerTitle);
}

} // namespace quillane
