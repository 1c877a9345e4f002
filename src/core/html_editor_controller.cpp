// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/html_editor_controller.h"

#include "build/batch_report.h"
#include "core/recent_files.h"
#include "core/site_pages.h"
#include "core/site_settings_editor.h"
#include "formats/document_file.h"
#include "formats/file_write.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <new>
#include <optional>

namespace quillane {

const QString HtmlEditorController::kUntitled = QStringLiteral("Untitled HTML Document");

namespace {

const QString kDocumentFilter = QStringLiteral("Quillane templated HTML file|*.qht");
const QString kTemplateFilter = QStringLiteral("Quillane template file|*.qtf");
const QString kEditorTitle = QStringLiteral("Quillane HTML Editor");

// A file dialog's preset that names a folder alone.
QString inFolder(const QString& folder) {
    return folder.isEmpty() ? QString() : folder + u'/';
}

// The nearest folder at or above path that exists.
QString existingFolder(const QString& path) {
    QFileInfo f(path);
    while (!f.isDir() && !f.isRoot() && f.filePath() != f.path())
        f = QFileInfo(f.path());
    return f.absoluteFilePath();
}

// The settings of the site that holds path, when it has a site file that can be read.
std::optional<SiteSettings> siteHolding(const QString& path) {
    const QString file = findSiteFile(existingFolder(path));
    return file.isEmpty() ? std::nullopt : readSiteFile(file).settings;
}

bool isInside(const QString& path, const QString& folder) {
    return path.startsWith(folder + u'/');
}

} // namespace

// One use of the file dialog: what it sets. A preset or default extension left out keeps what
// the previous use left.
struct HtmlEditorController::FileUse {
    bool save;
    QString title;
    QString filter;
    std::optional<QString> preset;
    std::optional<QString> defaultExt;
};

HtmlEditorController::HtmlEditorController(Session& s, HtmlEditorView& view, FileDialogPort& dialog)
    : m_s(s), m_view(view), m_dialog(dialog) {}

QString HtmlEditorController::chooseFile(const FileUse& use) {
    FileDialogPort& d = m_dialog;
    d.dialogTitle = use.title;
    d.filter = use.filter;
    if (use.preset) d.fileName = *use.preset;
    if (use.defaultExt) d.defaultExt = *use.defaultExt;
    d.overwritePrompt = use.save;
    d.pathMustExist = !use.save;
    d.hideReadOnly = true;
    if (use.save)
        d.showSave();
    else
        d.showOpen();
    return d.fileName;
}

QString HtmlEditorController::startingFile() const {
    return m_s.ws.CurrentFile.isEmpty() ? m_s.ws.LastFile : m_s.ws.CurrentFile;
}

QString HtmlEditorController::documentFolder() const {
    const QString file = startingFile();
    return file.isEmpty() ? QString() : QFileInfo(file).absolutePath();
}

QString HtmlEditorController::startingFolder() const {
    if (const QString folder = documentFolder(); !folder.isEmpty()) return folder;
    const QString& templ = m_s.ws.TemplatePath;
    if (!templ.isEmpty() && QFileInfo(templ) != QFileInfo(m_s.defaultTemplatePath())) {
        const std::optional<SiteSettings> site = siteHolding(templ);
        return site ? site->folder : QFileInfo(templ).absolutePath();
    }
    const QStringList recent = recentFiles(RecentList::Documents);
    return recent.isEmpty() ? QString() : QFileInfo(recent.first()).absolutePath();
}

QString HtmlEditorController::suggestedDocument() const {
    const Workspace& ws = m_s.ws;
    const QString name = QFileInfo(ws.output).completeBaseName();
    const QString folder = startingFolder();
    if (name.isEmpty()) return inFolder(folder);
    const QString output = QDir::cleanPath(documentOutputPath(ws, ws.output));
    if (!output.isEmpty() && !QDir::isRelativePath(output)) {
        if (const std::optional<SiteSettings> site = siteHolding(output);
            site && isInside(output, site->output)) {
            const QString mirror =
                QDir(site->folder)
                    .filePath(QDir(site->output).relativeFilePath(QFileInfo(output).path()));
            return QDir(QFileInfo(mirror).isDir() ? mirror : site->folder).filePath(name + ".qht");
        }
    }
    return QDir(folder.isEmpty() ? QFileInfo(output).path() : folder).filePath(name + ".qht");
}

QString HtmlEditorController::suggestedOutput() const {
    const QString document = startingFile();
    const QString folder = startingFolder();
    if (document.isEmpty()) return inFolder(folder);
    const QString name = QFileInfo(document).completeBaseName() + QStringLiteral(".html");
    if (const std::optional<SiteSettings> site = siteHolding(folder))
        return QDir::cleanPath(
            QDir(site->output)
                .filePath(QDir(site->folder).relativeFilePath(QDir(folder).filePath(name))));
    return QDir(folder).filePath(name);
}

void HtmlEditorController::noteTemplate(const QString& path) const {
    if (QFileInfo(path) != QFileInfo(m_s.defaultTemplatePath()))
        noteRecentFile(RecentList::Templates, path);
}

QString HtmlEditorController::chooseFolder(const QString& title, const QString& preset) {
    m_dialog.dialogTitle = title;
    m_dialog.fileName = preset;
    m_dialog.showFolder();
    return m_dialog.fileName;
}

QString HtmlEditorController::templateCaption(const Workspace& ws) {
    return QStringLiteral("Template used: ") + ws.templateName;
}

void HtmlEditorController::show() const {
    m_view.showWorkspace(m_s.ws);
}

void HtmlEditorController::restore(const Workspace& saved) {
    m_s.ws = saved;
    show();
}

void HtmlEditorController::load() {
    Workspace& ws = m_s.ws;
    BusyGuard busy(m_s.app);
    ws.CurrentFile.clear();
    ws.LastFile.clear();
    ResetEditor(m_s, EditorMode::HtmlEditor);
    const QString path = m_s.defaultTemplatePath();
    LoadFile(m_s, path, LoadMode::TemplateForEditor);
    ws.TemplatePath = path;
    // Whatever name the default template carries.
    ws.templateName = QStringLiteral("Default template");
    ws.title = kUntitled;
    ws.IsDirty = false;
    show();
}

void HtmlEditorController::newDocument() {
    if (!ConfirmSaveChanges(m_s, EditorMode::HtmlEditor)) return;
    m_s.ws.CurrentFile.clear();
    load();
}

bool HtmlEditorController::newOnTemplate(const QString& path) {
    const Workspace before = m_s.ws;
    load();
    BusyGuard busy(m_s.app);
    m_s.ws.TemplatePath = path;
    if (!LoadFile(m_s, path, LoadMode::TemplateForEditor).loaded()) {
        restore(before);
        return false;
    }
    m_s.ws.IsDirty = false;
    noteTemplate(path);
    show();
    return true;
}

void HtmlEditorController::newFromTemplate() {
    SaveQuestion asked(m_s, EditorMode::HtmlEditor);
    if (!asked.goOn()) return;
    QStringList offered;
    for (const QString& path : recentFiles(RecentList::Templates))
        if (QFileInfo(path).isFile()) offered << path;
    QString chosen;
    if (!offered.isEmpty()) {
        const std::optional<QString> picked = m_view.chooseTemplate(
            offered, std::max(qsizetype(0), offered.indexOf(lastNewTemplate())));
        if (!picked) return;
        chosen = *picked;
    }
    QString preset = inFolder(startingFolder());
    for (;;) {
        if (chosen.isEmpty())
            chosen = chooseFile(
                {false, QStringLiteral("Choose template..."), kTemplateFilter, preset, {}});
        if (chosen.isEmpty()) return;
        if (newOnTemplate(chosen)) {
            asked.done();
            setLastNewTemplate(chosen);
            return;
        }
        preset = chosen;
        chosen.clear();
    }
}

LoadResult HtmlEditorController::readDocument(const QString& path) {
    ResetEditor(m_s, EditorMode::HtmlEditor);
    const LoadResult read = LoadFile(m_s, path, LoadMode::Document);
    if (read.loaded()) m_s.ws.TemplatePath = read.templatePath;
    return read;
}

LoadResult HtmlEditorController::openDocument(const QString& path) {
    const Workspace before = m_s.ws;
    BusyGuard busy(m_s.app);
    const LoadResult read = readDocument(path);
    if (read.loaded()) {
        noteRecentFile(RecentList::Documents, path);
        noteTemplate(read.templatePath);
        show();
        return read;
    }
    if (read.kind == LoadResult::Kind::Empty) {
        // The reader stops here without a word; say why the file is refused.
        m_s.tell(QStringLiteral("The document '") + path +
                     QStringLiteral("' stops at an empty line where a section should start, so it "
                                    "was not opened."),
                 QStringLiteral("Quillane HTML Editor"), MsgIcon::Exclamation);
    }
    // The failed file is not the open document: the editor goes back to what it showed, so a
    // later Save cannot write over the file that failed.
    restore(before);
    return read;
}

bool HtmlEditorController::openChosen(const QString& path) {
    const QString before = m_s.ws.CurrentFile;
    m_s.ws.CurrentFile = path;
    if (openDocument(path).loaded()) return true;
    m_s.ws.CurrentFile = before;
    return false;
}

void HtmlEditorController::open() {
    SaveQuestion asked(m_s, EditorMode::HtmlEditor);
    if (!asked.goOn()) return;
    QString preset = startingFile().isEmpty() ? inFolder(startingFolder()) : startingFile();
    for (;;) {
        const QString chosen = chooseFile({false,
                                           QStringLiteral("Load a template-applied HTML file..."),
                                           kDocumentFilter,
                                           preset,
                                           {}});
        if (chosen.isEmpty()) return;
        if (openChosen(chosen)) {
            asked.done();
            return;
        }
        preset = chosen;
    }
}

void HtmlEditorController::openRecent(const QString& path) {
    if (!recentFileGone(m_s, RecentList::Documents, path, kEditorTitle)) openAsked(path);
}

void HtmlEditorController::openAsked(const QString& path) {
    SaveQuestion asked(m_s, EditorMode::HtmlEditor);
    if (asked.goOn() && openChosen(path)) asked.done();
}

void HtmlEditorController::changeTemplate() {
    // The change drops the sections' contents: offer to keep them first.
    SaveQuestion asked(m_s, EditorMode::HtmlEditor);
    if (!asked.goOn()) return;
    const Workspace before = m_s.ws;
    QString preset = startingFile().isEmpty() ? inFolder(startingFolder()) : startingFile();
    for (;;) {
        const QString chosen =
            chooseFile({false, QStringLiteral("Choose template..."), kTemplateFilter, preset, {}});
        if (chosen.isEmpty()) return;
        BusyGuard busy(m_s.app);
        m_s.ws.TemplatePath = chosen;
        if (LoadFile(m_s, chosen, LoadMode::TemplateForEditor).loaded()) {
            asked.done();
            noteTemplate(chosen);
            // The document no longer matches its file.
            m_s.ws.IsDirty = true;
            show();
            return;
        }
        restore(before);
        preset = chosen;
    }
}

bool HtmlEditorController::save() {
    Workspace& ws = m_s.ws;
    if (ws.CurrentFile.isEmpty()) return saveAs();
    const QString& path = ws.CurrentFile;
    DocumentFile file;
    file.title = ws.title;
    file.templateStored = pathToStore(ws.TemplatePath, ws.storedTemplatePath, path);
    file.outputStored = pathToStore(ws.output, ws.storedOutputPath, path);
    // A block for every editable slot, named or not, so each block reads back into its own
    // section.
    const SectionTable& table = ws.sections;
    for (int slot = table.nextEditableSlot(0); slot != 0; slot = table.nextEditableSlot(slot))
        file.blocks.append(table.SectionHtml[slot]);
    if (!saveEditorFile(m_s, path, documentFileText(file))) return false;
    ws.storedTemplatePath = file.templateStored;
    ws.storedOutputPath = file.outputStored;
    noteRecentFile(RecentList::Documents, path);
    noteTemplate(ws.TemplatePath);
    return true;
}

bool HtmlEditorController::saveAs() {
    const QString chosen = chooseFile(
        {true, QStringLiteral("Save a template-applied HTML file..."), kDocumentFilter,
         startingFile().isEmpty() ? suggestedDocument() : startingFile(), QStringLiteral(".qht")});
    return saveUnderName(m_s, chosen, [this] { return save(); });
}

void HtmlEditorController::chooseOutput() {
    Workspace& ws = m_s.ws;
    QString preset = documentOutputPath(ws, ws.output);
    if (preset.isEmpty())
        preset =
            ws.output.isEmpty() ? suggestedOutput() : QDir(startingFolder()).filePath(ws.output);
    const QString chosen =
        chooseFile({true, QStringLiteral("Choose where to output file..."),
                    QStringLiteral("HTML Files|*.htm;*.html"), preset, QStringLiteral(".htm")});
    // The same path again changes nothing, as the same text set into the field does not.
    if (chosen.isEmpty() || chosen == ws.output) return;
    ws.output = chosen;
    ws.IsDirty = true;
    show();
}

void HtmlEditorController::titleEdited(const QString& text) {
    m_s.ws.title = text;
    m_s.ws.IsDirty = true;
}

void HtmlEditorController::outputEdited(const QString& text) {
    m_s.ws.output = text;
    m_s.ws.IsDirty = true;
}

bool HtmlEditorController::build() {
    const Workspace& ws = m_s.ws;
    PageOutcome page;
    QStringList broken;
    const bool built = BuildPage(m_s, ws.output, ws.TemplatePath, &page, &broken);
    if (built) {
        const QString full = documentOutputPath(ws, ws.output);
        m_s.builtPages.linksChecked({full}, broken.isEmpty() ? QStringList() : QStringList{full});
    }
    // A failure has been told in a message; the line must not speak of a page built before.
    const QString output = QDir::toNativeSeparators(documentOutputPath(ws, ws.output));
    QString line = !built ? QString()
                   : page.kind == PageOutcome::Kind::Unchanged
                       ? QStringLiteral("Built: ") + output +
                             QStringLiteral(" was on disk as built already, so it was not "
                                            "written again.")
                       : QStringLiteral("Built: ") + output + QStringLiteral(" was written.");
    // Its own broken links, named after the page: "... 2 broken links: 'a.html', ...".
    if (!broken.isEmpty()) {
        QStringList urls;
        for (const QString& b : broken)
            urls << b.mid(b.indexOf(QLatin1String(": broken link ")) + 14);
        line += QStringLiteral(" It has %1 broken link%2: ")
                    .arg(broken.size())
                    .arg(broken.size() == 1 ? "" : "s") +
                urls.join(QStringLiteral(", ")) + u'.';
    }
    m_view.showStatus(line);
    return built;
}

bool HtmlEditorController::preview() {
    const Workspace& ws = m_s.ws;
    const QString title = QStringLiteral("Quillane HTML Editor");
    std::optional<SiteSettings> site;
    QString problem;
    if (!documentSite(ws, site, problem)) {
        m_s.tell(problem, title, MsgIcon::Exclamation);
        return false;
    }
    // The page where Build would write it, seen from its site, or from its own folder; a
    // document that names no output yet is shown from the user's cache folder.
    QString page = documentOutputPath(ws, ws.output);
    if (!page.isEmpty()) page = QDir::cleanPath(QFileInfo(page).absoluteFilePath());
    if (page.isEmpty() || isWindowsPath(page)) {
        const QString name = QFileInfo(startingFile()).completeBaseName();
        page = QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
                   .filePath(QStringLiteral("preview/") +
                             (name.isEmpty() ? QStringLiteral("untitled") : name) + ".html");
    }
    const PagePlace place = placeInSite(site ? &*site : nullptr, page);
    PageBytes bytes;
    {
        BusyGuard busy(m_s.app);
        bytes = pourTemplatePage(*m_s.templates.read(ws.TemplatePath), ws.TemplatePath, ws.title,
                                 ws.sections, place);
    }
    if (bytes.failure) {
        m_s.tell(*bytes.failure);
        return false;
    }
    const QString root = place.inSite() ? site->output : QFileInfo(page).absolutePath();
    return showPreview(m_s, m_view, root, page, bytes.bytes, title);
}

void HtmlEditorController::editSection(int slot) {
    Workspace& ws = m_s.ws;
    SectionTable& table = ws.sections;
    if (slot < 1 || slot > table.lastSlot()) return;
    const std::optional<SectionEdit> edit = m_view.editSection(
        SectionDialogUse::Content, {QStringLiteral("Editing section ID ") + QString::number(slot),
                                    table.SectionNames[slot], table.SectionHtml[slot], 0});
    if (edit) table.SectionHtml[slot] = edit->html;
    m_view.clearSectionSelection();
    if (edit) ws.IsDirty = true;
}

void HtmlEditorController::siteSettings() {
    const QString siteTitle = QStringLiteral("Choose the site's folder...");
    QString folder = documentFolder();
    const bool picked = folder.isEmpty();
    if (picked && (folder = chooseFolder(siteTitle, QString())).isEmpty()) return;
    QString file = findSiteFile(folder);
    if (file.isEmpty() && !picked) {
        const QString native = QDir::toNativeSeparators(folder);
        const MsgAnswer answer = m_s.tell(Message{
            QStringLiteral("There is no site file (%1) in '%2' or the folders above it. Make one "
                           "in '%2'?")
                .arg(kSiteFileName, native),
            SiteSettingsEditor::kTitle,
            MsgIcon::Question,
            MsgButtons::YesNoCancel,
            MsgAnswer::Yes,
            {QStringLiteral("&Make it here"), QStringLiteral("&Other folder..."),
             QStringLiteral("Cancel")}});
        if (answer == MsgAnswer::Cancel) return;
        if (answer == MsgAnswer::No) {
            if ((folder = chooseFolder(siteTitle, folder)).isEmpty()) return;
            // The folder chosen is the site's: its own file, or a new one.
            const QString own = QDir(folder).filePath(kSiteFileName);
            if (QFileInfo::exists(own)) file = own;
        }
    }
    SiteSettings settings = newSiteSettings(folder);
    if (!file.isEmpty()) {
        const SiteFileRead read = readSiteFile(file);
        if (read.settings) {
            settings = *read.settings;
        } else {
            if (m_s.tell(QStringLiteral("The site file cannot be used as it is:") + kCrLf +
                             read.problem + kCrLf + kCrLf +
                             QStringLiteral("Start from the default settings? Saving then writes "
                                            "the file anew; No leaves it as it is."),
                         SiteSettingsEditor::kTitle, MsgIcon::Exclamation, MsgButtons::YesNo,
                         MsgAnswer::No) != MsgAnswer::Yes)
                return;
            settings = newSiteSettings(QFileInfo(file).absolutePath());
        }
    }
    SiteSettingsEditor editor(m_s, m_dialog, settings, !file.isEmpty());
    m_view.editSiteSettings(editor);
}

void HtmlEditorController::sitePages() {
    QString folder = documentFolder();
    if (folder.isEmpty() &&
        (folder = chooseFolder(QStringLiteral("Choose the site's folder..."), startingFolder()))
            .isEmpty())
        return;
    if (const QString file = findSiteFile(folder); !file.isEmpty()) {
        const SiteFileRead read = readSiteFile(file);
        if (!read.settings) {
            m_s.tell(QStringLiteral("The site file cannot be used as it is:") + kCrLf +
                         read.problem + kCrLf + kCrLf +
                         QStringLiteral("Correct it with File > Site settings... first."),
                     kEditorTitle, MsgIcon::Exclamation);
            return;
        }
        folder = read.settings->folder;
    }
    SitePagesController pages(m_s, *this, folder);
    pages.refresh();
    if (const QString chosen = m_view.showSitePages(pages); !chosen.isEmpty()) openAsked(chosen);
}

bool HtmlEditorController::confirmLeave() {
    return ConfirmSaveChanges(m_s, EditorMode::HtmlEditor);
}

QString HtmlEditorController::templateToEdit() {
    const QString path = m_s.ws.TemplatePath;
    if (!QFileInfo(path).isFile()) {
        m_s.tell(QStringLiteral("The template of this page, '%1', is not there, so it cannot be "
                                "edited. Choose another with File > Change template.")
                     .arg(QDir::toNativeSeparators(path)),
                 kEditorTitle, MsgIcon::Exclamation);
        return {};
    }
    return confirmLeave() ? path : QString();
}

QString HtmlEditorController::chooseBatchFolder() {
    SaveQuestion asked(m_s, EditorMode::HtmlEditor);
    if (!asked.goOn()) return QString();
    // This use sets neither a starting file nor a default extension: the dialog keeps what its
    // last use left. Its first use starts in the folder of the open document (or where Open
    // would start), not wherever the program was started.
    std::optional<QString> folder;
    if (m_dialog.fileName.isEmpty()) folder = inFolder(startingFolder());
    if (chooseFile({false,
                    QStringLiteral("Choose template folder, dont worry about which file"),
                    kDocumentFilter,
                    folder,
                    {}})
            .isEmpty())
        return QString();
    asked.done(); // the batch replaces what the editor shows
    return folderOfChoice(m_dialog.fileName, m_dialog.fileTitle);
}

namespace {

// The first `cap` items, then "... and N more".
QString cappedList(const QStringList& items, qsizetype cap, const QString& separator) {
    QStringList shown = items.mid(0, cap);
    if (items.size() > cap) shown << QStringLiteral("... and %1 more").arg(items.size() - cap);
    return shown.join(separator);
}

} // namespace

std::optional<HtmlEditorController::AgreedOutputs>
HtmlEditorController::askAboutOtherFiles(const QString& folder,
                                         const QList<BatchDocument>& documents) {
    AgreedOutputs agreed;
    QStringList lines;
    const PageRule rule(folder);
    for (const BatchDocument& doc : documents) {
        if (!doc.nameIsUtf8) continue;
        const QString full = batchDocumentPath(folder, doc.name);
        const DocumentRead read = readDocumentFile(full);
        if (!read.headerRead || rule.nonPageReason(read.value.output).isEmpty()) continue;
        agreed.insert(full, read.value.output);
        lines << escapeControls(doc.name + QStringLiteral(" -> ") + read.value.output);
    }
    if (agreed.isEmpty()) return agreed;
    const QString text =
        QStringLiteral("These templated documents would write files that are not web pages "
                       "(names ending in ") +
        pageExtensionList() + QStringLiteral(") or that are hidden or in a hidden folder:") +
        kCrLf + kCrLf + cappedList(lines, 10, kCrLf) + kCrLf + kCrLf +
        QStringLiteral("Yes: build them too and write these files.") + kCrLf +
        QStringLiteral("No: skip them and build the other documents.") + kCrLf +
        QStringLiteral("Cancel: stop the batch build; nothing is built.");
    switch (m_s.tell(text, QStringLiteral("Quillane HTML Editor"), MsgIcon::Exclamation,
                     MsgButtons::YesNoCancel, MsgAnswer::No)) {
    case MsgAnswer::Yes:
        return agreed;
    case MsgAnswer::No:
        return AgreedOutputs();
    default:
        return std::nullopt;
    }
}

LoadResult HtmlEditorController::takeBatchDocument(const QString& path,
                                                   const DocumentWithTemplate& loaded) {
    Workspace& ws = m_s.ws;
    resetWorkspace(ws, EditorMode::HtmlEditor);
    const LoadResult read = takeDocument(m_s, path, loaded);
    if (read.loaded()) ws.TemplatePath = read.templatePath;
    ws.CurrentFile = read.loaded() ? path : QString();
    return read;
}

void HtmlEditorController::showBatchDocument(const DocumentReport& report) {
    Workspace& ws = m_s.ws;
    try {
        std::size_t told = 0;
        if (report.document) {
            takeBatchDocument(report.path, *report.document);
            told = report.document->messages.size();
        } else {
            resetWorkspace(ws, EditorMode::HtmlEditor);
            ws.CurrentFile.clear();
        }
        // What the engine said after the reader (a page it could not build or write).
        for (std::size_t i = told; i < report.messages.size(); ++i)
            m_s.tell(report.messages[i]);
        // The window answers (Stop, the keyboard, painting the document of the moment) at
        // about a frame's pace: handling its events for every document would lay it out again
        // for each.
        if (m_s.app && (!m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= 15)) {
            m_s.app->processEvents();
            m_sinceEvents.start();
        }
    } catch (const std::bad_alloc&) {
        // Nothing of this document stays behind for a Save to write over it.
        ws.CurrentFile.clear();
        resetWorkspace(ws, EditorMode::HtmlEditor);
        m_s.tell(QStringLiteral("ERROR: Out of memory while showing '") + report.path +
                     QStringLiteral("' in the editor; ") +
                     (report.built() ? QStringLiteral("its page was built, but the editor does "
                                                      "not show it.")
                                     : QStringLiteral("it was not built.")),
                 kBuildEngineTitle, MsgIcon::Exclamation);
    }
}

BatchReport HtmlEditorController::batchCompile(const QString& folder,
                                               const QList<BatchDocument>& documents,
                                               const AgreedOutputs& agreed, BatchObserver& observer,
                                               const std::optional<SiteSettings>& site) {
    BatchRequest request;
    request.folder = folder;
    request.site = site;
    request.documents = documents;
    request.jobs = defaultJobs();
    request.policy.agreed = agreed;
    request.keepDocuments = true;
    // Each document goes through the editor before the window hears of it.
    struct ThroughTheEditor : ForwardingObserver {
        HtmlEditorController& editor;
        ThroughTheEditor(HtmlEditorController& e, BatchObserver& window)
            : ForwardingObserver(window), editor(e) {}
        void documentFinished(const DocumentReport& r) override {
            editor.showBatchDocument(r);
            ForwardingObserver::documentFinished(r);
        }
    } through(*this, observer);
    m_sinceEvents.invalidate(); // the first document is shown at once
    BatchReport report = runBatch(m_s, request, through);
    show(); // the last document read
    return report;
}

} // namespace quillane
