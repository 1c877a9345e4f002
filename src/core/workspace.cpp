// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/workspace.h"

#include "core/version.h"
#include "formats/read_failure.h"

#include <QDir>
#include <QFileInfo>

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

EditorView* Session::view(EditorMode mode) const {
    if (mode == EditorMode::Designer) return designer;
    return htmlEditor;
}

void Session::showWorkspace(EditorMode mode) const {
    if (EditorView* v = view(mode)) v->showWorkspace(ws);
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

QList<SectionListEntry> FillSectionList(const SectionTable& table, EditorMode mode) {
    QList<SectionListEntry> entries;
    for (int slot = 1; slot <= table.lastSlot(); ++slot) {
        if (table.SectionNames[slot].isEmpty()) continue;
        if (mode == EditorMode::HtmlEditor && table.SectionEditable[size_t(slot)] != 1) continue;
        entries.append({table.SectionNames[slot], slot});
    }
    return entries;
}

int AllocateSectionSlot(Session& s) {
    SectionTable& table = s.ws.sections;
    const int last = std::min(table.lastSlot(), kMaxSections);
    for (int slot = 1; slot <= last; ++slot) {
        if (table.SectionNames[slot].isEmpty()) return slot;
    }
    if (table.lastSlot() < kMaxSections && table.growTable()) return table.lastSlot();
    s.tell(QStringLiteral("A template can hold at most %1 sections. Delete a section to make "
                          "room for a new one.")
               .arg(kMaxSections),
           QString::fromLatin1(kAppTitle), MsgIcon::Exclamation);
    return 0;
}

namespace {

enum class SaveAnswer { Unchanged, Saved, Dropped, Cancelled };

SaveAnswer askToSave(Session& s, EditorMode mode) {
    const QString& name = mode == EditorMode::Designer ? s.ws.templateName : s.ws.title;
    const QString question = QStringLiteral("Do you want to save your changes to ") + name + u'?';

    if (!s.ws.IsDirty) return SaveAnswer::Unchanged;

    switch (s.tell(question, QString::fromLatin1(kAppTitle), MsgIcon::Question,
                   MsgButtons::YesNoCancel, MsgAnswer::Yes)) {
    case MsgAnswer::Yes: {
        EditorView* view = s.view(mode);
        const bool saved = view && view->save();
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

bool ConfirmSaveChanges(Session& s, EditorMode mode) {
    return askToSave(s, mode) != SaveAnswer::Cancelled;
}

SaveQuestion::SaveQuestion(Session& s, EditorMode mode) : m_s(s) {
    const SaveAnswer answer = askToSave(s, mode);
    m_goOn = answer != SaveAnswer::Cancelled;
    m_dropped = answer == SaveAnswer::Dropped;
}

SaveQuestion::~SaveQuestion() {
    if (m_dropped) m_s.ws.IsDirty = true;
}

void ResetEditor(Session& s, EditorMode mode) {
    resetWorkspace(s.ws, mode);
    s.showWorkspace(mode);
}

void resetWorkspace(Workspace& ws, EditorMode mode) {
    if (mode == EditorMode::Designer) {
        ws.templateName.clear();
        ws.defaultHtml.clear();
    } else {
        ws.title.clear();
        ws.output.clear();
    }
    ws.sections.newTable();
    ws.storedTemplatePath.clear();
    ws.storedOutputPath.clear();
    ws.IsDirty = false;
}

QString BuiltPages::pagePath(const QString& page) {
    return QDir::cleanPath(QFileInfo(page).absoluteFilePath());
}

void BuiltPages::built(const DocumentReport& report) {
    if (report.built() && !report.output.isEmpty())
        sources.insert(pagePath(report.output),
                       {report.documentSeen.modifiedNs, report.templateSeen.modifiedNs});
}

void BuiltPages::linksChecked(const QStringList& pages, const QStringList& broken) {
    for (const QString& page : pages)
        brokenLinks.remove(pagePath(page));
    for (const QString& page : broken)
        brokenLinks.insert(pagePath(page));
}

BatchReport runBatch(Session& s, const BatchRequest& request, BatchObserver& observer) {
    struct Noting : ForwardingObserver {
        BuiltPages& pages;
        QStringList built;
        Noting(BuiltPages& p, BatchObserver& next) : ForwardingObserver(next), pages(p) {}
        void documentFinished(const DocumentReport& r) override {
            pages.built(r);
            if (r.built()) built << r.output;
            ForwardingObserver::documentFinished(r);
        }
    } noting(s.builtPages, observer);
    BatchService service(s.templates);
    const BatchReport report = service.run(request, noting);
    s.builtPages.linksChecked(noting.built, report.brokenPages);
    return report;
}

void tellBatchReport(const Session& s, const BatchReport& report, const QString& title) {
    if (report.lines.isEmpty()) return;
    constexpr qsizetype kShown = 20;
    QStringList shown = report.lines.mid(0, kShown);
    const qsizetype more = report.lines.size() - shown.size() + report.linesLeftOut;
    if (more > 0) shown << QStringLiteral("... and %1 more").arg(more);
    s.tell(QStringLiteral("The batch build reported:") + kCrLf + shown.join(kCrLf), title,
           MsgIcon::Exclamation);
}

bool showPreview(Session& s, EditorView& view, const QString& root, const QString& page,
                 const QByteArray& bytes, const QString& title) {
    bool showing = false;
    QString problem;
    const QUrl url = s.preview.show(root, page, bytes, showing, problem);
    if (url.isEmpty()) {
        s.tell(QStringLiteral("The page cannot be previewed: ") + problem, title,
               MsgIcon::Exclamation);
        return false;
    }
    if (!showing && !view.openPage(url.toString()))
        tellNoBrowser(s, url.isLocalFile() ? url.toLocalFile() : url.toString(), title);
    return true;
}

void tellNoBrowser(const Session& s, const QString& path, const QString& title) {
    s.tell(QStringLiteral("No web browser could be started. The page is at:") + kCrLf +
               (path.contains(QLatin1String("://")) ? path : QDir::toNativeSeparators(path)),
           title, MsgIcon::Exclamation);
}

} // namespace quillane
