// SPDX-License-Identifier: GPL-3.0-or-later
// The workspace's shared routines, the reader and the build as the editors use them, the two
// editors' controllers driven through scripted views, and the command-line split.

#include "build/batch_report.h"
#include "build/console_batch.h"
#include "build/template_charset.h"
#include "core/command_line.h"
#include "core/designer_controller.h"
#include "core/html_editor_controller.h"
#include "core/page_preview.h"
#include "core/recent_files.h"
#include "core/site_settings_editor.h"
#include "core/template_update.h"
#include "formats/document_file.h"
#include "formats/template_file.h"
#include "support/fakes.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::test;

namespace {

const QString kPlainTable = "body,1,<p>Text</p>;footer,0,<hr>\r\n<p>Contact</p>;,0,";
const QString kDocFilter = "Quillane templated HTML file|*.qht";

// Both editors on one session, with the worked template as the program's default template,
// the worked template beside it and a document for it that names both paths relative.
struct Editors : ::testing::Test {
    QTemporaryDir dir;
    ScriptedPrompter prompter;
    FakeApp app;
    ScriptedFileDialog dialog;
    Session s;
    Workspace& ws = s.ws;
    SectionTable& table = s.ws.sections;
    FakeDesigner designer;
    FakeHtmlEditor editor;
    DesignerController dc{s, designer, dialog};
    HtmlEditorController hc{s, editor, dialog};
    QString defaultPath, plainPath, examplePath;

    void SetUp() override {
        settingsIn(dir.filePath("settings"));
        s.prompter = &prompter;
        s.app = &app;
        s.designer = &designer;
        s.htmlEditor = &editor;
        s.programFolder = dir.filePath("prog");
        QDir().mkpath(s.programFolder);
        defaultPath = put("prog/default.qtf", kPlainPage);
        plainPath = put("plain.qtf", kPlainPage);
        examplePath = put("example.qht", example("My first page"));
        designer.onSave = [this] { return dc.save(); };
        editor.onSave = [this] { return hc.save(); };
    }
    QString put(const QString& name, const QByteArray& bytes) {
        return writeFile(dir, name, bytes);
    }
    static QByteArray example(const QString& title, const QString& blocks = "|<p>Hello</p>|") {
        return lines("#QH1#|" + title + "|plain.qtf|index.htm|#STARTSECTION#" + blocks +
                     "#STARTSECTION#");
    }
    // Texts with the test's folder left out of the paths.
    QString rel(const QStringList& parts) const {
        // Messages name paths as the system writes them (backslashes on Windows).
        return parts.join(" | ")
            .replace(dir.path() + u'/', QString())
            .replace(QDir::toNativeSeparators(dir.path() + u'/'), QString());
    }
    // What each editor shows, and what the workspace knows of its file.
    QString designerShows() const {
        return rel({designer.name, designer.html, designer.list.join(u','), ws.CurrentFile,
                    ws.IsDirty ? "changed" : "unchanged"});
    }
    QString editorShows() const {
        return rel({editor.titleText, editor.outputText, editor.caption, editor.list.join(u','),
                    ws.CurrentFile, ws.TemplatePath, ws.IsDirty ? "changed" : "unchanged"});
    }
    // The messages shown since the last call, one per line.
    QString told() {
        const QString t = rel(prompter.texts()).replace(" | ", "\n");
        prompter.shown.clear();
        return t;
    }
    // How the file dialog was set for its last use.
    QString lastUse() const {
        const ScriptedFileDialog::Use& u = dialog.uses.back();
        return rel({u.save ? "save" : "open", u.dialogTitle, u.filter, u.fileName, u.defaultExt,
                    u.overwritePrompt ? "overwrite" : "", u.pathMustExist ? "exists" : ""});
    }
    // The last use of a section dialog: "use | caption | name | HTML | flag".
    template <class View> static QString lastEdit(const View& v) {
        const SectionEdit& e = v.shownEdits.back().second;
        return QStringList{QString::number(int(v.shownEdits.back().first)), e.caption, e.name,
                           e.html, QString::number(e.editable)}
            .join(" | ");
    }
    void expectBusyAndBack() {
        EXPECT_GT(app.maxBusyDepth, 0) << "busy pointer shown";
        EXPECT_EQ(app.busyDepth, 0) << "busy pointer left on";
        app = FakeApp();
    }
    void openInEditor(const QString& path) {
        hc.load();
        dialog.choices = {path};
        hc.open();
        ASSERT_EQ(ws.CurrentFile, path);
    }
};

} // namespace

// --- Shared routines -------------------------------------------------------------------------

// (The designer's section tests show the lowest free slot being offered.)
TEST_F(Editors, AllocateSectionSlotGrowsOnlyWhenFullAndAFullTemplateRefuses) {
    EXPECT_EQ(AllocateSectionSlot(s), 1);
    EXPECT_EQ(table.lastSlot(), 1) << "a fresh table has a free slot 1";
    table.SectionNames[1] = "a";
    EXPECT_EQ(AllocateSectionSlot(s), 2);
    EXPECT_EQ(dump(table), "a,0,;,0,");
    // A full template refuses with a message instead of overflowing the slot numbers.
    while (table.lastSlot() < kMaxSections)
        table.growTable();
    table.SectionNames.fill("s");
    EXPECT_EQ(AllocateSectionSlot(s), 0);
    EXPECT_EQ(table.lastSlot(), kMaxSections);
    EXPECT_EQ(describe(prompter.last()), "A template can hold at most 32766 sections. Delete a "
                                         "section to make room for a new one. | Quillane | "
                                         "exclamation | OK");
    dc.addSection();
    EXPECT_TRUE(designer.shownEdits.empty()) << "no dialog for a full template";
}

TEST_F(Editors, ConfirmSaveChangesAsksOnlyWhenChangedAndGoesOnOnlyWhenNothingIsLost) {
    ws.templateName = "My template";
    ws.title = "My page";
    // mode, changed, answer, Save writes -> "goes on, changed after, saves"
    const std::tuple<EditorMode, bool, MsgAnswer, bool, const char*> cases[] = {
        {EditorMode::Designer, false, MsgAnswer::Cancel, true, "1 0 0"}, // nothing asked
        {EditorMode::Designer, true, MsgAnswer::Cancel, true, "0 1 0"},
        {EditorMode::HtmlEditor, true, MsgAnswer::No, true, "1 0 0"},
        {EditorMode::HtmlEditor, true, MsgAnswer::Yes, true, "1 0 1"},
        // Regression: Yes with a Save that wrote nothing went on and lost the edits.
        {EditorMode::Designer, true, MsgAnswer::Yes, false, "0 1 1"},
        {EditorMode::HtmlEditor, true, MsgAnswer::Yes, false, "0 1 1"},
    };
    for (const auto& [mode, dirty, answer, writes, expected] : cases) {
        designer.saves = editor.saves = 0;
        designer.onSave = editor.onSave = [&] { return writes; };
        ws.IsDirty = dirty;
        prompter.answers = {answer};
        const bool goesOn = ConfirmSaveChanges(s, mode);
        EXPECT_EQ(QStringLiteral("%1 %2 %3")
                      .arg(goesOn)
                      .arg(ws.IsDirty)
                      .arg(designer.saves + editor.saves),
                  expected);
        ASSERT_EQ(prompter.shown.size(), dirty ? 1u : 0u);
        if (!dirty) continue;
        EXPECT_EQ(describe(prompter.last()),
                  "Do you want to save your changes to " +
                      (mode == EditorMode::HtmlEditor ? ws.title : ws.templateName) +
                      "? | Quillane | question | Yes/No/Cancel");
        EXPECT_EQ(prompter.last().defaultButton, MsgAnswer::Yes);
        prompter.shown.clear();
    }
}

// Regression: No, then a cancelled file dialog, left the edits on screen marked as saved.
TEST_F(Editors, SaveQuestionsNoCountsOnlyOnceTheCommandHappened) {
    // Changed, the answer, whether the command then happened; go on, changed afterwards.
    const std::tuple<bool, MsgAnswer, bool, bool, bool> cases[] = {
        {true, MsgAnswer::No, false, true, true},
        {true, MsgAnswer::No, true, true, false},
        {true, MsgAnswer::Yes, false, true, false},
        {true, MsgAnswer::Cancel, false, false, true},
        {false, MsgAnswer::Cancel, false, true, false},
    };
    editor.onSave = [] { return true; };
    for (const auto& [dirty, answer, done, goOn, dirtyAfter] : cases) {
        ws.IsDirty = dirty;
        prompter.answers = {answer};
        {
            SaveQuestion asked(s, EditorMode::HtmlEditor);
            EXPECT_EQ(asked.goOn(), goOn);
            if (done) asked.done();
        }
        EXPECT_EQ(ws.IsDirty, dirtyAfter) << dirty << int(answer) << done;
    }
}

TEST_F(Editors, ResetEditorEmptiesOneWindowAndTheTableAndEndsUnchanged) {
    table.growTable();
    ws.CurrentFile = "/x/doc.qht";
    ws.TemplatePath = "/x/t.qtf";
    ws.templateName = ws.defaultHtml = ws.title = ws.output = editor.titleText = "x";
    ResetEditor(s, EditorMode::Designer);
    EXPECT_EQ(designerShows() + editor.titleText, " |  |  | /x/doc.qht | unchangedx");
    EXPECT_EQ(table.lastSlot(), 1);
    ws.templateName = "x"; // the HTML editor's template's
    ResetEditor(s, EditorMode::HtmlEditor);
    EXPECT_EQ(editorShows(), " |  | Template used: x |  | /x/doc.qht | /x/t.qtf | unchanged");
}

TEST_F(Editors, BuildPageTakesARelativeOutputFromTheDocumentsFolderOnly) {
    ws.title = "T";
    const QString page = "<h1>T</h1>\r\nbody\r\nfooter\r\n\r\n", cwd = QDir::currentPath();
    EXPECT_FALSE(BuildPage(s, "out.htm", plainPath));
    EXPECT_EQ(describe(prompter.last()),
              "ERROR: The output file 'out.htm' is a relative path, and this document has no "
              "folder yet to take it from. Save the document first, or give the full path. "
              "Nothing was built. | Quillane BuildEngine | exclamation | OK");
    EXPECT_FALSE(QFile::exists(cwd + "/out.htm"));
    prompter.shown.clear();

    QDir(dir.path()).mkpath("docs");
    ws.LastFile = put("docs/d.qht", example("D"));
    EXPECT_TRUE(BuildPage(s, "../out.htm", plainPath));
    EXPECT_EQ(readBytes(dir.filePath("out.htm")), page);
    EXPECT_TRUE(BuildPage(s, dir.filePath("docs/abs.htm"), plainPath));
    EXPECT_EQ(readBytes(dir.filePath("docs/abs.htm")), page);
    // The document is never its own page, and a Windows path is no relative path.
    EXPECT_FALSE(BuildPage(s, "d.qht", plainPath));
    EXPECT_EQ(told(), "ERROR: Cannot write the page 'docs/d.qht': Permission denied: it is the "
                      "templated document being built. Nothing was built.");
#ifndef _WIN32 // where there are drives it is a path like any other
    EXPECT_FALSE(BuildPage(s, "C:\\site\\x.htm", plainPath));
    EXPECT_EQ(told(), "ERROR: Cannot write the page 'C:\\site\\x.htm': Path not found: it is a "
                      "Windows path, which this system cannot write. Nothing was built.");
#endif
    EXPECT_EQ(QDir(dir.filePath("docs")).entryList(QDir::Files), (QStringList{"abs.htm", "d.qht"}));
}

// --- Both editors ----------------------------------------------------------------------------

TEST_F(Editors, SlashTAndSlashHOpenAFileThatSaveAsStartsFromButNeverSavesOverUnasked) {
    dc.load();
    EXPECT_TRUE(dc.openTemplate(plainPath));
    EXPECT_EQ(designerShows(), "Plain page | <h1>::title::</h1>\r\n::body::\r\n::footer:: | "
                               "body,footer |  | unchanged");
    dialog.choices = {""};
    EXPECT_FALSE(dc.save());
    EXPECT_EQ(lastUse(), "save | Save a template... | Quillane template file|*.qtf | plain.qtf | "
                         ".qtf | overwrite | ");

    hc.load();
    ASSERT_TRUE(hc.openDocument(examplePath).loaded());
    EXPECT_EQ(editorShows(), "My first page | index.htm | Template used: Plain page | body:1 |  "
                             "| plain.qtf | unchanged");
    EXPECT_EQ(dump(table), "body,1,<p>Hello</p>;footer,0,<hr>\r\n<p>Contact</p>;,0,");
    EXPECT_TRUE(hc.build() && QFile::exists(dir.filePath("index.htm"))) << "next to it";
    EXPECT_EQ(rel({editor.status}), "Built: index.htm was written.");
    EXPECT_TRUE(hc.build());
    EXPECT_EQ(rel({editor.status}), "Built: index.htm was on disk as built already, so it was "
                                    "not written again.");
    dialog.choices = {""};
    EXPECT_FALSE(hc.save());
    EXPECT_EQ(dialog.uses.back().fileName, examplePath);

    EXPECT_FALSE(dc.openTemplate(dir.filePath("missing.qtf")));
    EXPECT_FALSE(hc.openDocument(dir.filePath("missing.qht")).loaded());
    EXPECT_EQ(told(), "Error parsing file 'missing.qtf':\r\nFile not found (53)\nError parsing "
                      "file 'missing.qht':\r\nFile not found (53)");
    EXPECT_EQ(editor.titleText, "My first page") << "the editor stays as it was";
}

// --- The designer ----------------------------------------------------------------------------

TEST_F(Editors, DesignerOpenAsksAgainAfterARefusedFileWhichLeavesEverythingAsItWas) {
    dc.load();
    dc.defaultHtmlEdited("edited");
    const QString bad = put("bad.qtf", lines("#QT1#|N|#DEFAULTHTML#|x|#ENDDEFAULTHTML#|junk|y"));
    const QString other = put("other.qtf", lines("#QT1#|Other|#DEFAULTHTML#|o|#ENDDEFAULTHTML#|"
                                                 "#STARTSECTION#|side| 1 |s|#STARTSECTION#"));
    prompter.answers = {MsgAnswer::No};
    dialog.choices = {bad, ""};
    dc.open();
    EXPECT_EQ(told(), "Do you want to save your changes to Default template?\nThis file is not a "
                      "Quillane file!");
    EXPECT_EQ(lastUse(), "open | Load a template... | Quillane template file|*.qtf | bad.qtf | "
                         ".qtf |  | exists");
    EXPECT_EQ(dialog.uses[0].fileName, "");
    // The list is filled again, and the edits are still to be saved.
    EXPECT_EQ(designerShows(), "Default template | edited | body,footer |  | changed");
    EXPECT_EQ(dump(table), kPlainTable);

    // Saved over the refused file (its sections have no placeholder: saved anyway).
    prompter.answers = {MsgAnswer::Yes, MsgAnswer::Yes};
    dialog.choices = {bad, other};
    dc.open();
    EXPECT_EQ(designerShows(), "Other | o | side | other.qtf | unchanged");
    expectBusyAndBack();

    dc.templateNameEdited("Edited");
    prompter.answers = {MsgAnswer::No};
    dc.newTemplate();
    EXPECT_EQ(designerShows(), "Default template | <h1>::title::</h1>\r\n::body::\r\n::footer:: | "
                               "body,footer |  | unchanged");
}

// Save of a file never saved asks where (cancelling writes nothing), then writes it with the
// busy pointer on; once saved, Save writes back without asking. A Save or Save As that fails
// leaves CurrentFile and IsDirty as they were.
TEST_F(Editors, SaveOfANeverSavedFileAsksWhereThenWritesItAndAFailedSaveChangesNothing) {
    const QString bad = put("plainfile", "x") + "/x";
    const QByteArray cafe = "Caf\xE9 & co";
    const struct {
        std::function<void()> start;
        std::function<bool()> save, saveAs;
        QString use, name;
        QByteArray bytes;
    } editors[] = {
        {[&] { dc.load(), dc.templateNameEdited(QString::fromLatin1(cafe)); },
         [&] { return dc.save(); }, [&] { return dc.saveAs(); },
         "save | Save a template... | Quillane template file|*.qtf |  | .qtf | overwrite | ",
         "t é.qtf", "#QT1#\r\n" + cafe + "\r\n" + kPlainPage.mid(kPlainPage.indexOf("#DEF"))},
        // Paths in the document's folder or below it are stored relative. Save As offers a
        // name from the output path.
        {[&] {
             hc.load(), hc.titleEdited(QString::fromLatin1(cafe));
             hc.outputEdited(dir.filePath("out/page.htm"));
         },
         [&] { return hc.save(); }, [&] { return hc.saveAs(); },
         "save | Save a template-applied HTML file... | " + kDocFilter +
             " | out/page.qht | .qht | overwrite | ",
         "d é.qht",
         "#QH1#\r\n" + cafe + "\r\n" +
             lines("prog/default.qtf|out/page.htm|#STARTSECTION#|<p>Text</p>|#STARTSECTION#")},
    };
    for (const auto& e : editors) {
        e.start();
        const QString path = dir.filePath(e.name);
        dialog.choices = {"", path};
        EXPECT_FALSE(e.save());
        EXPECT_EQ(lastUse(), e.use);
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_TRUE(ws.IsDirty);
        app = FakeApp();
        EXPECT_TRUE(e.save());
        expectBusyAndBack();
        EXPECT_EQ(readBytes(path), e.bytes);
        EXPECT_EQ(ws.CurrentFile + ws.LastFile, path + path);
        EXPECT_FALSE(ws.IsDirty);
        QFile::remove(path);
        EXPECT_TRUE(e.save());
        EXPECT_TRUE(QFile::exists(path));
        expectBusyAndBack();

        ws.IsDirty = true;
        dialog.choices = {bad};
        EXPECT_FALSE(e.saveAs());
        EXPECT_EQ(ws.CurrentFile, path);
        ws.CurrentFile = bad;
        EXPECT_FALSE(e.save());
        EXPECT_EQ(ws.CurrentFile, bad);
        EXPECT_TRUE(ws.IsDirty);
        EXPECT_EQ(prompter.texts(),
                  QStringList(2, "Could not save '" + bad +
                                     "':\r\nPath not found: a part of the path is not a folder"));
        prompter.shown.clear();
    }
    EXPECT_EQ(dialog.uses.size(), 6u);
}

TEST_F(Editors, DesignerSectionsAreAddedEditedAndDeletedInTheSlotOfTheirEntry) {
    dc.load();
    designer.buttonsEnabled = true;
    designer.edits = {std::nullopt};
    dc.addSection();
    EXPECT_EQ(lastEdit(designer), "0 | Adding section ID 3 | New section | Insert text here | 1");
    EXPECT_EQ(dump(table), kPlainTable) << "a cancelled Add changes nothing";
    EXPECT_TRUE(designer.buttonsEnabled && !ws.IsDirty);

    designer.selected = -1;
    dc.deleteSection();
    designer.selected = 0;
    prompter.answers = {MsgAnswer::No};
    dc.deleteSection();
    EXPECT_EQ(describe(prompter.shown[0]), "No item selected! | Quillane | no icon | OK");
    EXPECT_EQ(describe(prompter.shown[1]), "Are you sure that you want to delete the section "
                                           "'body'? | Quillane Template designer | question | "
                                           "Yes/No");
    EXPECT_FALSE(ws.IsDirty);
    designer.selected = 0;
    prompter.answers = {MsgAnswer::Yes};
    dc.deleteSection();
    EXPECT_EQ(designer.list, QStringList{"footer"});
    EXPECT_EQ(dump(table), ",1,;footer,0,<hr>\r\n<p>Contact</p>;,0,");
    EXPECT_TRUE(ws.IsDirty && !designer.buttonsEnabled && designer.selected < 0);

    // The freed slot is offered again, and its section is listed first.
    designer.edits = {SectionEdit{"", "new", "N", 0}};
    dc.addSection();
    EXPECT_EQ(lastEdit(designer), "0 | Adding section ID 1 | New section | Insert text here | 1");
    EXPECT_EQ(designer.list, (QStringList{"new", "footer"}));

    // Editing the second entry edits slot 2; OK with nothing changed still counts as a change,
    // and a greyed flag shows as it is.
    table.SectionEditable[2] = 2;
    ws.IsDirty = false;
    designer.selected = 1;
    dc.editSection();
    EXPECT_EQ(lastEdit(designer), "1 | Editing section ID 2 | footer | <hr>\r\n<p>Contact</p> | 2");
    EXPECT_TRUE(ws.IsDirty && !designer.buttonsEnabled);
    designer.selected = 1;
    designer.edits = {SectionEdit{"", "foot", "<hr>", 1}};
    dc.editSection();
    EXPECT_EQ(dump(table), "new,0,N;foot,1,<hr>;,0,");
    EXPECT_EQ(designer.list, (QStringList{"new", "foot"}));
}

// --- The HTML editor -------------------------------------------------------------------------

// Regression: a failed Open left CurrentFile on the rejected file, so Save wrote over it.
TEST_F(Editors, HtmlEditorOpenAsksAgainAfterAFailureWhichLeavesTheDocumentAsItWas) {
    const QByteArray tooLong = example("Too long", "|a|#STARTSECTION#|b|");
    const QString tooLongPath = put("toolong.qht", tooLong);
    hc.load();
    dialog.choices = {put("notes.qht", "#QT1#\r\nhello\r\n"), examplePath};
    hc.open();
    EXPECT_EQ(told(), "This file is not a Quillane TEMPLATED-HTML file!");
    EXPECT_EQ(lastUse(), "open | Load a template-applied HTML file... | " + kDocFilter +
                             " | notes.qht |  |  | exists");
    EXPECT_EQ(editorShows(), "My first page | index.htm | Template used: Plain page | body:1 | "
                             "example.qht | plain.qtf | unchanged");
    expectBusyAndBack();

    hc.titleEdited("Edited title");
    prompter.answers = {MsgAnswer::No};
    dialog.choices = {put("early.qht", lines("#QH1#|E|plain.qtf|y.htm||x")), tooLongPath, ""};
    hc.open();
    ASSERT_EQ(prompter.shown.size(), 3u);
    EXPECT_TRUE(prompter.shown[2].text.startsWith("Error parsing file '" + tooLongPath + "':\r\n"));
    EXPECT_EQ(rel({describe(prompter.shown[1])}),
              "The document 'early.qht' stops at an empty line where a section should start, so "
              "it was not opened. | Quillane HTML Editor | exclamation | OK");
    // The edits stay, still to be saved; the list is filled again.
    EXPECT_EQ(editorShows(), "Edited title | index.htm | Template used: Plain page | body:1 | "
                             "example.qht | plain.qtf | changed");
    EXPECT_EQ(dump(table), "body,1,<p>Hello</p>;footer,0,<hr>\r\n<p>Contact</p>;,0,");
    EXPECT_TRUE(hc.save());
    EXPECT_EQ(readBytes(tooLongPath), tooLong);
    EXPECT_EQ(readBytes(examplePath), example("Edited title"));

    dialog.choices = {"", dir.filePath("elsewhere/page.html")};
    hc.chooseOutput();
    EXPECT_FALSE(ws.IsDirty);
    hc.chooseOutput();
    EXPECT_EQ(lastUse(), "save | Choose where to output file... | HTML Files|*.htm;*.html | "
                         "index.htm | .htm | overwrite | ");
    EXPECT_EQ(editorShows(), "Edited title | elsewhere/page.html | Template used: Plain page | "
                             "body:1 | example.qht | plain.qtf | changed");
    prompter = ScriptedPrompter();
    prompter.answers = {MsgAnswer::No};
    hc.newDocument();
    EXPECT_EQ(told(), "Do you want to save your changes to Edited title?");
    EXPECT_EQ(editorShows(), "Untitled HTML Document |  | Template used: Default template | "
                             "body:1 |  | prog/default.qtf | unchanged");
}

TEST_F(Editors, SectionContentIsEditedBySlotAndSavedAsOneBlockPerEditableSlot) {
    put("gaps.qtf", lines("#QT1#|Gaps|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#|a| 1 |A|"
                          "#STARTSECTION#|b| 2 |B|#STARTSECTION#|| 1 ||#STARTSECTION#|d| 1 |D|"
                          "#STARTSECTION#|e| 1 |E|#STARTSECTION#"));
    const QString doc = put("gaps.qht", lines("#QH1#|Gaps|gaps.qtf|g.htm|#STARTSECTION#|a1|"
                                              "#STARTSECTION#||#STARTSECTION#|d1|d2|"
                                              "#STARTSECTION#|e1|#STARTSECTION#"));
    openInEditor(doc);
    ASSERT_EQ(editor.list, (QStringList{"a:1", "d:4", "e:5"}));
    editor.edits = {SectionEdit{"", "", "<p>New</p>", 0}, std::nullopt};
    hc.editSection(4);
    EXPECT_EQ(lastEdit(editor), "2 | Editing section ID 4 | d | d1\r\nd2 | 0");
    EXPECT_EQ(table.SectionHtml[4], "<p>New</p>");
    EXPECT_EQ(editor.selectionClears, 1);
    EXPECT_TRUE(ws.IsDirty);
    ws.IsDirty = false;
    hc.editSection(1); // closed without OK
    hc.editSection(0);
    EXPECT_EQ(editor.shownEdits.size(), 2u) << "no slot, no dialog";
    EXPECT_EQ(table.SectionHtml[1], "a1");
    EXPECT_FALSE(ws.IsDirty);

    // Regression: a nameless editable slot got no block, shifting every later one on reading.
    ASSERT_TRUE(hc.save());
    const DocumentFile saved = readDocumentFile(doc).value;
    EXPECT_EQ(saved.blocks, (QStringList{"a1", "", "<p>New</p>", "e1"}));
    EXPECT_EQ(saved.templateStored + u'|' + saved.outputStored, "gaps.qtf|g.htm");
}

TEST_F(Editors, ChangeTemplateKeepsTheDocumentOnFailureAndCountsAsAChangeOnSuccess) {
    const QString other = put(
        "other.qtf", lines("#QT1#|Other|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#|side| 1 |s|"
                           "#STARTSECTION#|body| 1 |<p>Other</p>|#STARTSECTION#"));
    openInEditor(examplePath);
    // Regression: a failed change emptied the section table while the list still offered its
    // slots, and a Save then wrote a document without its sections.
    dialog.choices = {examplePath, ""}; // the document itself is no template
    hc.changeTemplate();
    EXPECT_EQ(told(), "This file is not a Quillane file!");
    EXPECT_EQ(editorShows(), "My first page | index.htm | Template used: Plain page | body:1 | "
                             "example.qht | plain.qtf | unchanged");
    EXPECT_TRUE(hc.save());
    EXPECT_EQ(readBytes(examplePath), example("My first page"));

    hc.titleEdited("Edited");
    prompter.answers = {MsgAnswer::Cancel};
    const size_t uses = dialog.uses.size();
    hc.changeTemplate();
    EXPECT_EQ(dialog.uses.size(), uses) << "no dialog after Cancel";
    prompter.answers = {MsgAnswer::No};
    dialog.choices = {other};
    hc.changeTemplate();
    EXPECT_EQ(lastUse(), "open | Choose template... | Quillane template file|*.qtf | example.qht "
                         "|  |  | exists");
    // Regression: the change used to count as unchanged, so Exit dropped it silently.
    EXPECT_EQ(editorShows(), "Edited | index.htm | Template used: Other | side:1,body:2 | "
                             "example.qht | other.qtf | changed");
    EXPECT_EQ(table.SectionHtml[2], "<p>Other</p>");
    expectBusyAndBack();
}

TEST_F(Editors, TheWindowBatchBuildsEachDocumentThroughTheEditorAndShowsTheLastOne) {
    const QString folder = dir.filePath("site") + u'/';
    QDir().mkpath(folder + "pages");
    for (const QString doc : {"Alpha", "Beta", "notes"})
        put("site/" + doc + ".qht",
            lines("#QH1#|" + doc + "|../plain.qtf|pages/" + (doc == "notes" ? "n.txt" : "a.htm") +
                  "|#STARTSECTION#|<p>" + doc + "</p>|#STARTSECTION#"));
    put("site/bad.qht", "not a document\r\n");
    hc.load();
    ws.CurrentFile = folder + "Alpha.qht"; // its first use starts beside the open document
    dialog.choices = {""};
    EXPECT_EQ(hc.chooseBatchFolder(), "");
    EXPECT_EQ(lastUse(), "open | Choose template folder, dont worry about which file | " +
                             kDocFilter + " | site/ |  |  | exists");
    ws.CurrentFile.clear();
    hc.titleEdited("Unsaved");
    prompter.answers = {MsgAnswer::No};
    dialog.fileName = "left by the last use";
    dialog.defaultExt = ".qht";
    dialog.choices = {folder + "any name.qht", ""};
    EXPECT_EQ(hc.chooseBatchFolder(), folder);
    EXPECT_EQ(lastUse(), "open | Choose template folder, dont worry about which file | " +
                             kDocFilter + " | left by the last use | .qht |  | exists");
    EXPECT_EQ(hc.chooseBatchFolder(), "") << "cancelled";
    EXPECT_EQ(told(), "Do you want to save your changes to Unsaved?");

    struct Watch : BatchObserver {
        bool stop = false;
        bool stopRequested() override { return stop; }
    } watch;
    ws.CurrentFile = examplePath;
    const BatchReport sum = hc.batchCompile(
        folder, {{"Alpha.qht", true}, {"bad.qht", true}, {"Beta.qht", true}}, {}, watch);
    EXPECT_EQ(sum.built, 2);
    EXPECT_LE(app.eventTurns, 3) << "the window answers at a frame's pace, not after every page";
    EXPECT_EQ(told(), "This file is not a Quillane TEMPLATED-HTML file!");
    EXPECT_TRUE(readBytes(folder + "pages/a.htm").contains("Beta")) << "the later one wins";
    // Regression: CurrentFile kept the document open before the batch, so Save wrote the last
    // batch document over it. It names the last document read, and none if that one failed.
    EXPECT_EQ(editorShows(), "Beta | site/pages/a.htm | Template used: Plain page | body:1 | "
                             "site/Beta.qht | plain.qtf | unchanged");
    EXPECT_EQ(hc.batchCompile(folder, {{"Beta.qht", true}}, {}, watch).unchanged, 1)
        << "its page is on disk as it is built";
    watch.stop = true;
    EXPECT_EQ(hc.batchCompile(folder, {{"bad.qht", true}, {"Alpha.qht", true}}, {}, watch).done, 1);
    EXPECT_EQ(ws.CurrentFile + told(), "This file is not a Quillane TEMPLATED-HTML file!");
    // Running out of memory while the editor takes a document leaves nothing of it for a Save.
    app.starved = true;
    ws.CurrentFile = examplePath;
    EXPECT_EQ(hc.batchCompile(folder, {{"Alpha.qht", true}}, {}, watch).built, 1);
    EXPECT_EQ(ws.CurrentFile + editor.titleText, "");
    EXPECT_EQ(rel({told()}), "ERROR: Out of memory while showing 'site/Alpha.qht' in the editor; "
                             "its page was built, but the editor does not show it.");
    app.starved = watch.stop = false;

    // Outputs that are no pages are written only when the user says so, asked once.
    const QList<BatchDocument> docs{{"Alpha.qht", true}, {"notes.qht", true}};
    for (const MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::No, MsgAnswer::Yes}) {
        prompter.answers = {answer};
        const auto agreed = hc.askAboutOtherFiles(folder, docs);
        EXPECT_EQ(rel({describe(prompter.last())}),
                  "These templated documents would write files that are not web pages (names "
                  "ending in .htm, .html, .xhtml, .xht, .shtml, .php, .asp, .aspx or .jsp) or "
                  "that are hidden or in a hidden folder:\r\n\r\nnotes.qht -> "
                  "site/pages/n.txt\r\n\r\nYes: build them too and write these files.\r\nNo: "
                  "skip them and build the other documents.\r\nCancel: stop the batch build; "
                  "nothing is built. | Quillane HTML Editor | exclamation | Yes/No/Cancel");
        EXPECT_EQ(prompter.last().defaultButton, MsgAnswer::No);
        ASSERT_EQ(agreed.has_value(), answer != MsgAnswer::Cancel);
        if (agreed) hc.batchCompile(folder, docs, *agreed, watch);
        EXPECT_EQ(QFile::exists(folder + "pages/n.txt"), answer == MsgAnswer::Yes);
    }
    EXPECT_EQ(prompter.shown.size(), 3u);
}

// One folder received from someone else, built three ways: /B:, the window's batch and the
// designer's rebuild of the template's pages. Every document uses the template; their outputs
// are pages, a shared page, another document, the template, a hidden file, no page, nothing,
// a folder that is not there; one has a block too many. The three copies end with the same
// pages and say the same lines about the same documents.
TEST_F(Editors, TheThreeBatchesBuildAHostileFolderAlike) {
    const QStringList outputs = {"pub/a.html",  "pub/shared.html", "pub/shared.html", "b.qht",
                                 "site.qtf",    ".hidden.html",    "notes.txt",       "",
                                 "../x/y.html", "pub/z.html"};
    const auto make = [&](const QString& name) {
        const QString site = dir.filePath(name) + u'/';
        QDir().mkpath(site + "pub");
        writeFile(dir, name + "/site.qtf", kPlainPage);
        for (qsizetype i = 0; i < outputs.size(); ++i)
            writeFile(dir, name + QString("/%1.qht").arg(QChar(char16_t(u'a' + i))),
                      lines("#QH1#|T" + QString::number(i) + "|site.qtf|" + outputs[i] +
                            "|#STARTSECTION#|<p>" + QString::number(i) + "</p>|" +
                            (i == 9 ? "#STARTSECTION#|one block too many|" : "") +
                            "#STARTSECTION#"));
        return site;
    };
    // What each batch says, with its folder left out, sorted; and what it left on disk.
    QStringList said[3];
    std::map<std::string, std::string> left[3];
    const QString folders[3] = {make("console"), make("window"), make("designer")};

    QTemporaryDir streams;
    std::FILE* out = std::fopen(qPrintable(streams.filePath("out")), "wb");
    std::FILE* err = std::fopen(qPrintable(streams.filePath("err")), "wb");
    runConsoleBatch(folders[0], out, err, {});
    std::fclose(out);
    std::fclose(err);
    said[0] =
        QString::fromUtf8(readBytes(streams.filePath("err"))).split(u'\n', Qt::SkipEmptyParts);

    struct Quiet : BatchObserver {
    } quiet;
    QList<BatchDocument> documents;
    QString reason;
    listBatchDocuments(folders[1], documents, reason);
    prompter.shown.clear();
    BatchReport report = hc.batchCompile(folders[1], documents, {}, quiet);
    said[1] = report.lines;

    ws.CurrentFile = folders[2] + "site.qtf";
    dc.rebuildPages();
    said[2] =
        prompter.shown.empty() ? QStringList() : prompter.shown.back().text.split(kCrLf).mid(1);
    for (int i = 0; i < 3; ++i) {
        for (QString& line : said[i])
            line.replace(folders[i], QString());
        said[i].sort();
        left[i] = snapshot(folders[i]);
    }
    EXPECT_EQ(said[0], said[1]);
    EXPECT_EQ(said[0], said[2]);
    EXPECT_EQ(left[0], left[1]);
    EXPECT_EQ(left[0], left[2]);
    EXPECT_EQ(said[0].size(), 8) << said[0].join(u'\n').toStdString();
}

// --- Template changes ------------------------------------------------------------------------

// A site whose template has a locked nav, editable intro and body and a locked footer; three
// documents use it (one in a sub-folder, one with a block less), another does not, and an older
// copy of index.qht is there already. Each change is saved through the designer.
TEST_F(Editors, ASavedTemplateKeepsEveryBlockOfItsDocumentsInTheSectionOfItsName) {
    const QString site = dir.filePath("site/"), tpl = site + "site.qtf";
    const QStringList docs{"index.qht", "short.qht", "sub/news.qht", "other.qht"};
    QHash<QString, QByteArray> original;
    auto putSite = [&] {
        QDir(site).removeRecursively();
        QDir().mkpath(site + "sub");
        QDir().mkpath(site + "public");
        put("site/site.qtf", lines("#QT1#|Site|#DEFAULTHTML#|<h1>::title::</h1>|::nav::|::intro::|"
                                   "::body::|::footer::|#ENDDEFAULTHTML#|#STARTSECTION#|nav| 0 |"
                                   "<nav>|#STARTSECTION#|intro| 1 |<intro>|#STARTSECTION#|body| 1 "
                                   "|<body>|#STARTSECTION#|footer| 0 |<footer>|#STARTSECTION#"));
        const QString blocks[] = {"I1|#STARTSECTION#|B1|b2", "I3", "I2|#STARTSECTION#|B2", "O"};
        for (int i = 0; i < 4; ++i)
            original[docs[i]] = readBytes(put(
                "site/" + docs[i], lines("#QH1#|" + docs[i] + u'|' + (i == 2 ? "../" : "") +
                                         (i == 3 ? "../plain.qtf" : "site.qtf") + u'|' +
                                         (i == 2 ? "../" : "") + "public/" + QString::number(i) +
                                         ".html|#STARTSECTION#|" + blocks[i] + "|#STARTSECTION#")));
        put("site/index.qht.bak", "older copy");
        ws.CurrentFile = tpl;
    };
    auto change = [&](const QString& sections) {
        table.newTable();
        ws.defaultHtml = "<h1>::title::</h1>";
        for (const QString& s : sections.split(u';')) {
            const int slot = table.lastSlot();
            table.SectionNames[slot] = s.section(u',', 0, 0);
            table.SectionHtml[slot] = u'<' + table.SectionNames[slot] + u'>';
            table.SectionEditable[size_t(slot)] = quint8(s.section(u',', 1).toInt());
            ws.defaultHtml += "\r\n::" + table.SectionNames[slot] + "::";
            table.growTable();
        }
    };
    // Each document's blocks with the sections of the template on disk; the copies made, each
    // holding the document as it was.
    auto after = [&] {
        const QStringList names = editableSectionNames(readTemplateFile(tpl).value.sections);
        QStringList out;
        for (const QString& d : docs.mid(0, 3)) {
            QStringList blocks = readDocumentFile(site + d).value.blocks;
            for (qsizetype i = 0; i < blocks.size(); ++i)
                blocks[i] = names.value(i) + u'=' + blocks[i];
            out << blocks.join(u',');
        }
        QStringList copies = QDir(site).entryList({"*.bak"});
        for (const QString& c : QDir(site + "sub").entryList({"*.bak"}))
            copies << "sub/" + c;
        EXPECT_TRUE(copies.removeOne("index.qht.bak"));
        EXPECT_EQ(readBytes(site + "index.qht.bak"), "older copy");
        for (const QString& c : copies)
            EXPECT_EQ(readBytes(site + c), original[c.left(c.indexOf(".qht") + 4)]);
        EXPECT_EQ(readBytes(site + "other.qht"), original["other.qht"]);
        return (out << copies.join(u',')).join(" / ");
    };
    const std::tuple<QString, MsgAnswer, QString> cases[] = {
        {"nav,1;intro,1;body,1;footer,0", MsgAnswer::Yes,
         "nav=<nav>,intro=I1,body=B1\r\nb2 / nav=<nav>,intro=I3 / nav=<nav>,intro=I2,body=B2 / "},
        {"nav,0;intro,0;body,1;footer,0", MsgAnswer::Yes,
         "body=B1\r\nb2 /  / body=B2 / index.qht.1.bak,short.qht.bak,sub/news.qht.bak"},
        {"nav,0;intro,1;footer,0", MsgAnswer::Yes,
         "intro=I1 / intro=I3 / intro=I2 / index.qht.1.bak,sub/news.qht.bak"},
        {"nav,0;intro,1;aside,1;body,1;footer,0", MsgAnswer::Yes,
         "intro=I1,aside=<aside>,body=B1\r\nb2 / intro=I3 / intro=I2,aside=<aside>,body=B2 / "},
        {"nav,0;intro,1;content,1;footer,0", MsgAnswer::Yes,
         "intro=I1 / intro=I3 / intro=I2 / index.qht.1.bak,sub/news.qht.bak"},
        {"nav,0;body,1;intro,1;footer,0", MsgAnswer::Yes,
         "body=B1\r\nb2,intro=I1 / body=<body>,intro=I3 / body=B2,intro=I2 / "},
        // Left as they were, their blocks land by position; cancelled, nothing is written.
        {"nav,0;body,1;intro,1;footer,0", MsgAnswer::No,
         "body=I1,intro=B1\r\nb2 / body=I3 / body=I2,intro=B2 / "},
        {"nav,0;body,1;intro,1;footer,0", MsgAnswer::Cancel,
         "intro=I1,body=B1\r\nb2 / intro=I3 / intro=I2,body=B2 / "},
    };
    for (const auto& [sections, answer, expected] : cases) {
        putSite();
        change(sections);
        prompter.answers = {answer};
        EXPECT_EQ(dc.save(), answer != MsgAnswer::Cancel);
        EXPECT_EQ(after(), expected) << sections.toStdString();
        EXPECT_EQ(prompter.shown.size(), answer == MsgAnswer::Cancel ? 1u : 2u);
        if (sections.startsWith("nav,0;intro,0")) {
            EXPECT_EQ(rel({describe(prompter.shown[0]), describe(prompter.shown[1])}),
                      "The editable sections of this template change from (intro, body) to "
                      "(body). These templated documents keep their sections' HTML in the old "
                      "order, so unless they are updated, their HTML moves into other "
                      "sections:\r\nindex.qht, short.qht, sub/news.qht\r\n\r\nThese sections "
                      "are no longer editable or no longer there: updating takes their HTML out "
                      "of the document and keeps it in a copy beside it (name.qht.bak):\r\n"
                      "index.qht: intro\r\nshort.qht: intro\r\nsub/news.qht: intro\r\n\r\n"
                      "Update the documents, so that every section keeps its own HTML? Sections "
                      "that become editable get this template's HTML for them. Cancel saves "
                      "nothing. | Quillane Template designer | question | &Update them/&Leave "
                      "them/Cancel | 3 templated documents were updated. The HTML taken out is "
                      "kept in index.qht.1.bak, short.qht.bak, sub/news.qht.bak.\r\n\r\nBuild "
                      "the pages of the 3 templated documents that use this template now? | "
                      "Quillane Template designer | question | Yes/No");
        }
        prompter.shown.clear();
    }
    EXPECT_EQ(designer.buildSummaries.last(), "Pages using this template: 3 built, 0 not built.");

    // A document that cannot be written is told and left whole; the others are updated.
    putSite();
    QFile::setPermissions(site + "sub/news.qht", QFile::ReadOwner);
    change("nav,0;body,1;intro,1;footer,0");
    prompter.answers = {MsgAnswer::Yes, MsgAnswer::No};
    EXPECT_TRUE(dc.save());
    EXPECT_EQ(after(), "body=B1\r\nb2,intro=I1 / body=<body>,intro=I3 / body=I2,intro=B2 / ");
    EXPECT_TRUE(prompter.shown[1].text.startsWith(
        "These templated documents could not be updated and are left as they were:\r\nCould not "
        "save '" +
        site + "sub/news.qht': "));
    EXPECT_TRUE(prompter.shown[2].text.startsWith("2 templated documents were updated.\r\n"));

    // The menu command builds from the saved file, and can be stopped; a page already as
    // built is counted apart.
    designer.stopAfter = 1;
    dc.rebuildPages();
    EXPECT_EQ(designer.buildSummaries.last(),
              "Stopped after 1 of 3 documents: 1 built (1 unchanged), 0 not built.");
    EXPECT_EQ(readBytes(site + "public/0.html"),
              lines("<h1>index.qht</h1>|<nav>|B1|b2|I1|<footer>|"));
}

TEST_F(Editors, SaveTellsWhatIsWrongWithTheTemplateAndWritesOnlyOnSaveAnyway) {
    dc.load();
    dc.defaultHtmlEdited("::body::\r\n::gone::");
    ws.CurrentFile = dir.filePath("t.qtf");
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        prompter.answers = {answer};
        EXPECT_EQ(dc.save(), answer == MsgAnswer::Yes);
        EXPECT_EQ(QFile::exists(ws.CurrentFile), answer == MsgAnswer::Yes);
        EXPECT_EQ(describe(prompter.last()),
                  "This template will not build as it reads:\r\n\r\n- The section 'footer' has no "
                  "placeholder: ::footer:: is neither in the default HTML nor in the HTML of a "
                  "section before it, so its HTML never reaches the page.\r\n- The placeholder "
                  "::gone:: in the default HTML, line 2, is filled by no section: the page shows "
                  "'gone' there.\r\n\r\nSave it anyway? | Quillane Template designer | "
                  "exclamation | Save anyway/Cancel");
        EXPECT_EQ(prompter.last().defaultButton, MsgAnswer::No);
    }
}

// Without the server a preview is a file of the program's own, whose <base> leads the page's
// relative links back into its folder; nothing is written beside the document.
TEST_F(Editors, APreviewWithoutTheServerIsATemporaryFileWhoseLinksLeadHome) {
    const QString out = dir.filePath("previews"), site = dir.filePath("site");
    const auto base = [](const QString& folder) {
        return "<base href=\"" + QUrl::fromLocalFile(folder + "/").toEncoded() + "\">";
    };
    QString problem;
    QUrl url = writePreviewFile(out, site, site + "/blog/\u00e9 a.html",
                                "<html><HEAD lang=\"fr\"><link href=\"s.css\"></head>", problem);
    ASSERT_TRUE(url.isLocalFile()) << problem.toStdString();
    EXPECT_EQ(url.toLocalFile(), out + "/blog/\u00e9 a.html");
    EXPECT_EQ(readBytes(url.toLocalFile()),
              "<html><HEAD lang=\"fr\">" + base(site + "/blog") + "<link href=\"s.css\"></head>");
    // No <head>: first, after a byte-order mark; a page outside the root by its name alone.
    url = writePreviewFile(out, site, dir.filePath("p.html"), "\xEF\xBB\xBFhi", problem);
    EXPECT_EQ(readBytes(url.toLocalFile()), "\xEF\xBB\xBF" + base(dir.path()) + "hi");
    EXPECT_EQ(url.toLocalFile(), out + "/p.html");
    EXPECT_TRUE(
        writePreviewFile(put("plainfile", "x"), site, site + "/a.html", "a", problem).isEmpty());
    EXPECT_TRUE(problem.startsWith("it could not be written to '" +
                                   QDir::toNativeSeparators(dir.filePath("plainfile"))));
    if (kPreviewServer) return;
    openInEditor(examplePath);
    EXPECT_TRUE(hc.preview());
    ASSERT_EQ(editor.pagesOpened.size(), 1);
    url = QUrl(editor.pagesOpened[0]);
    EXPECT_TRUE(url.isLocalFile() && url.toLocalFile().endsWith("/index.htm"));
    EXPECT_TRUE(s.preview.shown(url).contains(base(dir.path()) + "<h1>My first page</h1>"));
    EXPECT_FALSE(QFile::exists(dir.filePath("index.htm")));
}

TEST_F(Editors, PreviewServesTheUnsavedDocumentAsBuildWouldAndWritesNothing) {
    if (!kPreviewServer) GTEST_SKIP() << "built without the preview server (Qt HTTP Server)";
    qputenv("XDG_CACHE_HOME", dir.filePath("cache").toLocal8Bit());
    openInEditor(examplePath);
    editor.edits = {SectionEdit{"", "", "<p>Unsaved</p>", 0}};
    hc.editSection(1);
    EXPECT_TRUE(hc.preview());
    ASSERT_EQ(editor.pagesOpened.size(), 1);
    const QUrl url(editor.pagesOpened[0]);
    EXPECT_EQ(url.host() + url.path(), "127.0.0.1/index.htm") << "the page's own address";
    EXPECT_FALSE(QFile::exists(dir.filePath("index.htm")) || QFile::exists(dir.filePath("cache")));
    EXPECT_TRUE(ws.IsDirty);
    ASSERT_TRUE(hc.build());
    EXPECT_EQ(s.preview.shown(url), readBytes(dir.filePath("index.htm")));
    EXPECT_TRUE(s.preview.shown(url).contains("<p>Unsaved</p>"));
    // Without a browser, the address; the designer's default HTML beside the template.
    editor.browser = designer.browser = false;
    hc.preview();
    ws.CurrentFile.clear();
    dc.openTemplate(plainPath);
    dc.preview();
    EXPECT_EQ(told(), "No web browser could be started. The page is at:\r\n" + url.toString() +
                          "\nNo web browser could be started. The page is at:\r\n" +
                          url.resolved(QUrl("plain.preview.html")).toString());
}

// --- Sites and authoring ---------------------------------------------------------------------

// The dialog's settings are checked as the site file will be read: a problem names the field,
// writes nothing; a good set is written where the user said, and found again from below.
TEST_F(Editors, SiteSettingsAreCheckedBeforeTheyAreWrittenWhereTheUserSays) {
    QDir().mkpath(dir.filePath("site/blog"));
    const auto document = [&](const QString& title) {
        return lines("#QH1#|" + title + "|" + plainPath + "|a.htm|#STARTSECTION#|x|#STARTSECTION#");
    };
    openInEditor(put("site/blog/a.qht", document("A")));
    const QString file = dir.filePath("site/blog/quillane-site.ini");
    QStringList problems;
    editor.onSiteSettings = [&](SiteSettingsEditor& e) {
        EXPECT_EQ(rel({e.form().file, e.form().output, e.form().exists ? "exists" : "new"}),
                  "site/blog/quillane-site.ini | public | new");
        const std::tuple<QString, QString, SiteField> tries[] = {
            {"", "", SiteField::Output},
            {"../out", "", SiteField::Output},
            {"pages", "pages/css", SiteField::Assets},
            {"pages", "assets", SiteField::None},
        };
        for (const auto& [output, assets, field] : tries) {
            e.outputEdited(output);
            e.assetsEdited(assets);
            e.checkChosen(SiteCheck::Strict);
            EXPECT_EQ(e.save(), field == SiteField::None);
            EXPECT_EQ(e.problemField(), field);
            EXPECT_EQ(QFile::exists(file), field == SiteField::None);
        }
        problems = prompter.texts();
        EXPECT_TRUE(e.confirmClose()) << "saved: nothing to ask";
    };
    prompter.answers = {MsgAnswer::Yes}; // make it here
    hc.siteSettings();
    const QString blog = native("site/blog");
    EXPECT_EQ(rel(problems).replace(" | ", "\n"),
              "There is no site file (quillane-site.ini) in '" + blog +
                  "' or the folders above it. Make one in '" + blog +
                  "'?\n"
                  "The site settings were not saved: name the folder the pages go to, such as "
                  "public.\n"
                  "The site settings were not saved: the output folder '../out' does not lie "
                  "inside the site folder '" +
                  blog +
                  "': name a folder inside it, such as public.\n"
                  "The site settings were not saved: the assets folder 'pages/css' lies inside the "
                  "output folder 'pages': name a folder of its own inside the site folder, such as "
                  "assets.");
    const SiteFileRead read = readSiteFile(file);
    ASSERT_TRUE(read.settings) << read.problem.toStdString();
    EXPECT_EQ(rel({read.settings->output, read.settings->assets}),
              "site/blog/pages | site/blog/assets");
    EXPECT_EQ(read.settings->check, SiteCheck::Strict);
    prompter.shown.clear();

    // From a document below it the file is found and shown; Browse writes the folder relative
    // to the site; closing with changes asks, and Cancel keeps the dialog.
    QDir().mkpath(dir.filePath("site/blog/deep/x"));
    openInEditor(put("site/blog/deep/b.qht", document("B")));
    editor.onSiteSettings = [&](SiteSettingsEditor& e) {
        EXPECT_EQ(rel({e.form().output, e.form().assets, e.form().exists ? "exists" : "new"}),
                  "pages | assets | exists");
        dialog.choices = {dir.filePath("site/blog/deep/x")};
        EXPECT_TRUE(e.browse(SiteField::Output));
        EXPECT_EQ(rel({dialog.uses.back().fileName, e.form().output}), "site/blog/pages | deep/x");
        prompter.answers = {MsgAnswer::Cancel, MsgAnswer::No};
        EXPECT_FALSE(e.confirmClose());
        EXPECT_TRUE(e.confirmClose());
    };
    hc.siteSettings();
    EXPECT_EQ(told(), QString("Do you want to save your changes to %1?\n")
                          .repeated(2)
                          .chopped(1)
                          .arg(native("site/blog/quillane-site.ini")));
    EXPECT_EQ(readSiteFile(file).settings->output, dir.filePath("site/blog/pages"));

    // A new document asks for the site's folder; a file that cannot be read is told, and only
    // Yes starts from the defaults.
    hc.load();
    writeFile(dir, "site/blog/quillane-site.ini", "[site]\r\nouput = x\r\n");
    int shown = 0;
    editor.onSiteSettings = [&](SiteSettingsEditor& e) {
        ++shown;
        EXPECT_EQ(rel({e.form().output, e.form().exists ? "exists" : "new"}), "public | exists");
    };
    for (const MsgAnswer answer : {MsgAnswer::No, MsgAnswer::Yes}) {
        dialog.choices = {dir.filePath("site/blog/deep")};
        prompter.answers = {answer};
        hc.siteSettings();
    }
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(dialog.uses.back().folder);
    EXPECT_EQ(rel({dialog.uses.back().dialogTitle, prompter.shown[0].text}),
              "Choose the site's folder... | The site file cannot be used as it is:\r\n"
              "site/blog/quillane-site.ini:2: unknown key 'ouput': the keys are output, assets, "
              "subfolders, links and check, in lower case\r\n\r\nStart from the default "
              "settings? Saving then writes the file anew; No leaves it as it is.");
}

// A page in a few keystrokes: the designer hands its saved template to a new document; New
// from template offers the templates used before and remembers its choice; the recent files of
// both editors, most recent first; and back to the designer on the page's template.
TEST_F(Editors, ANewPageStartsOnATemplateUsedBeforeAndRecentFilesAreKept) {
    dc.load();
    dc.templateNameEdited("Mine");
    prompter.answers = {MsgAnswer::No}; // never saved, and not now either
    EXPECT_EQ(dc.pageTemplate(), "");
    EXPECT_EQ(told(), "Do you want to save your changes to Mine?\nThis template has not been "
                      "saved yet, so no page can use it. Save it first.");
    const QString mine = dir.filePath("mine.qtf");
    dc.templateNameEdited("Mine");
    prompter.answers = {MsgAnswer::Yes};
    dialog.choices = {mine};
    ASSERT_EQ(dc.pageTemplate(), mine);
    told();
    hc.load();
    ASSERT_TRUE(hc.newOnTemplate(mine));
    EXPECT_EQ(editorShows(), "Untitled HTML Document |  | Template used: Mine | body:1 |  | "
                             "mine.qtf | unchanged");

    // New from template: the templates used, those gone left out, the last choice marked.
    openInEditor(examplePath); // uses plain.qtf
    put("gone.qtf", kPlainPage);
    noteRecentFile(RecentList::Templates, dir.filePath("gone.qtf"));
    QFile::remove(dir.filePath("gone.qtf"));
    editor.templateChosen = mine;
    hc.newFromTemplate();
    EXPECT_EQ(rel(editor.templatesOffered), "plain.qtf* | mine.qtf");
    EXPECT_EQ(editor.caption, "Template used: Mine");
    editor.templateChosen = ""; // another, from the file dialog, which starts in its folder
    dialog.choices = {plainPath};
    hc.newFromTemplate();
    EXPECT_EQ(rel(editor.templatesOffered), "mine.qtf* | plain.qtf");
    EXPECT_EQ(lastUse(), "open | Choose template... | Quillane template file|*.qtf |  | .qtf |  | "
                         "exists");
    EXPECT_EQ(rel({lastNewTemplate(), ws.TemplatePath}), "plain.qtf | plain.qtf");
    editor.templateChosen.reset(); // cancelled: the document stays
    hc.titleEdited("Kept");
    prompter.answers = {MsgAnswer::No};
    hc.newFromTemplate();
    EXPECT_EQ(ws.title + (ws.IsDirty ? " changed" : ""), "Kept changed");
    EXPECT_EQ(told(), "Do you want to save your changes to Kept?");

    // Open recent: the last eight documents, most recent first; one that is gone is told and
    // dropped.
    for (int i = 0; i < 10; ++i)
        noteRecentFile(RecentList::Documents, dir.filePath(QString("d%1.qht").arg(i)));
    noteRecentFile(RecentList::Documents, examplePath);
    EXPECT_EQ(rel(recentFiles(RecentList::Documents)),
              "example.qht | d9.qht | d8.qht | d7.qht | d6.qht | d5.qht | d4.qht | d3.qht");
    hc.openRecent(dir.filePath("d9.qht"));
    EXPECT_EQ(told(), "The document 'd9.qht' is no longer there, so it was taken off the list of "
                      "recent files.");
    EXPECT_EQ(recentFiles(RecentList::Documents).size(), 7);
    prompter.answers = {MsgAnswer::No};
    hc.openRecent(examplePath);
    EXPECT_EQ(rel({ws.CurrentFile, editor.titleText}), "example.qht | My first page");
    EXPECT_EQ(told(), "Do you want to save your changes to Kept?");

    // Back to the designer on the page's template, which Save then writes.
    EXPECT_EQ(hc.templateToEdit(), plainPath);
    dc.editTemplate(plainPath);
    EXPECT_EQ(designerShows(), "Plain page | <h1>::title::</h1>\r\n::body::\r\n::footer:: | "
                               "body,footer | plain.qtf | unchanged");
    EXPECT_EQ(rel(recentFiles(RecentList::Templates)), "plain.qtf | mine.qtf | gone.qtf");
    told();
    ws.TemplatePath = dir.filePath("nowhere.qtf");
    EXPECT_EQ(hc.templateToEdit(), "");
    EXPECT_EQ(told(), "The template of this page, 'nowhere.qtf', is not there, so it cannot be "
                      "edited. Choose another with File > Change template.");
}

// Open, Change template, Save As and Change... start in the document's folder; a new document
// in the site of its template, Save As naming it after its output where it mirrors the page,
// Change... naming the page after the document where it mirrors it in the site's output.
TEST_F(Editors, FileDialogsStartInTheDocumentsFolderOrItsSite) {
    QDir().mkpath(dir.filePath("site/blog"));
    put("site/quillane-site.ini", "[site]\r\noutput = public\r\n");
    const QString site = put("site/site.qtf", kPlainPage);
    hc.load();
    ASSERT_TRUE(hc.newOnTemplate(site));
    hc.outputEdited(dir.filePath("site/public/blog/first.html"));
    const auto uses = [&](const std::function<void()>& command) {
        dialog.choices = {""};
        command();
        return rel({dialog.uses.back().fileName});
    };
    prompter.answers = {MsgAnswer::No, MsgAnswer::No};
    EXPECT_EQ(uses([&] { hc.open(); }), "site/");
    EXPECT_EQ(uses([&] { hc.changeTemplate(); }), "site/");
    EXPECT_EQ(uses([&] { hc.saveAs(); }), "site/blog/first.qht");
    hc.outputEdited("");
    EXPECT_EQ(uses([&] { hc.chooseOutput(); }), "site/");

    dialog.choices = {dir.filePath("site/blog/second.qht")};
    ASSERT_TRUE(hc.saveAs());
    EXPECT_EQ(uses([&] { hc.chooseOutput(); }), "site/public/blog/second.html");
    prompter.answers = {MsgAnswer::No};
    EXPECT_EQ(uses([&] { hc.open(); }), "site/blog/second.qht");
}

// Site pages: each document of the site (sub-folders included, the output folder passed over)
// with its page's state from time stamps and the session's builds; Build builds the chosen
// ones, and a page found unchanged by it counts as up to date though its time stays old.
TEST_F(Editors, SitePagesTellEachPagesStateAndBuildTheChosenOnes) {
    QDir().mkpath(dir.filePath("site/blog"));
    QDir().mkpath(dir.filePath("site/public/blog"));
    put("site/quillane-site.ini", "[site]\r\noutput = public\r\n");
    put("site/site.qtf", kPlainPage);
    const auto doc = [&](const QString& name, const QString& templ, const QString& output) {
        return put("site/" + name,
                   lines("#QH1#|Page " + name + "|" + templ + "|" + output +
                         "|#STARTSECTION#|<a href=\"/blog/b.html\">b</a>|#STARTSECTION#"));
    };
    const auto age = [&](const QString& path, int days) {
        QFile f(path);
        f.open(QIODevice::ReadWrite);
        f.setFileTime(QDateTime::currentDateTime().addDays(-days),
                      QFileDevice::FileModificationTime);
    };
    age(dir.filePath("site/site.qtf"), 3);
    doc("a.qht", "site.qtf", "public/a.html");
    doc("blog/b.qht", "../site.qtf", "../public/blog/b.html");
    const QString c = doc("c.qht", "site.qtf", "public/c.html");
    doc("d.qht", "gone.qtf", "public/d.html");
    put("site/e.qht", "hello");
    doc("public/x.qht", "../site.qtf", "x.html");
    put("site/public/blog/b.html", "b");
    age(put("site/public/c.html", "c"), 2);
    s.builtPages.linksChecked({}, {dir.filePath("site/public/blog/b.html")});

    openInEditor(c);
    const auto shown = [&](const SitePagesController& pages) {
        QStringList rows;
        for (const SitePage& p : pages.list().pages)
            rows << rel({p.name, p.title, p.output, p.templatePath, pageStateText(p.state), p.why})
                        .replace(" | ", ",");
        return rows.join("\n");
    };
    QStringList seen;
    editor.onSitePages = [&](SitePagesController& pages) {
        seen << shown(pages);
        const std::optional<BatchRequest> request = pages.request({"a.qht", "c.qht"});
        FakeDesigner::Stop never;
        EXPECT_EQ(summaryLine(pages.build(*request, never), SummaryFor::Window),
                  "Batch build finished: 2 built, 0 not built, 0 broken links.");
        EXPECT_TRUE(readBytes(dir.filePath("site/public/a.html")).contains("\"blog/b.html\""))
            << "built as the site builds it";
        // Touched but not changed: the page is not written again, and still up to date.
        age(c, -1);
        EXPECT_EQ(pageStateText(listSitePages(pages.list().folder, s.builtPages).pages[2].state),
                  "out of date");
        pages.build(*pages.request({"c.qht"}), never);
        seen << shown(pages);
        return dir.filePath("site/blog/b.qht");
    };
    hc.sitePages();
    EXPECT_EQ(seen.join("\n--\n"),
              "a.qht,Page a.qht,site/public/a.html,site/site.qtf,missing,\n"
              "blog/b.qht,Page blog/b.qht,site/public/blog/b.html,site/site.qtf,broken links,\n"
              "c.qht,Page c.qht,site/public/c.html,site/site.qtf,out of date,\n"
              "d.qht,Page d.qht,site/public/d.html,site/gone.qtf,not buildable,its template is "
              "not there\n"
              "e.qht,,,,not buildable,it is not a templated document\n--\n"
              "a.qht,Page a.qht,site/public/a.html,site/site.qtf,up to date,\n"
              "blog/b.qht,Page blog/b.qht,site/public/blog/b.html,site/site.qtf,broken links,\n"
              "c.qht,Page c.qht,site/public/c.html,site/site.qtf,up to date,\n"
              "d.qht,Page d.qht,site/public/d.html,site/gone.qtf,not buildable,its template is "
              "not there\n"
              "e.qht,,,,not buildable,it is not a templated document");
    EXPECT_EQ(rel({ws.CurrentFile, editor.titleText}), "site/blog/b.qht | Page blog/b.qht");
    // Build checks the page's links again: none broken now.
    ASSERT_TRUE(hc.build());
    EXPECT_TRUE(s.builtPages.brokenLinks.isEmpty());
}

// The charset trap: a whole page that declares no charset is offered <meta charset="utf-8">
// right after <head> before the template's own check; Cancel writes nothing, Leave it saves it
// as it is. A fragment, or a page declaring a charset of its own, is not asked about.
TEST_F(Editors, SaveOffersToDeclareUtf8WhereAWholePageDeclaresNoCharset) {
    const QString page = "<html>\r\n<head>\r\n  <title>::title::</title>\r\n</head>\r\n"
                         "<body>::body::\r\n::footer::</body></html>";
    dc.load();
    ws.CurrentFile = dir.filePath("t.qtf");
    const std::tuple<QString, MsgAnswer, QString> cases[] = {
        {page, MsgAnswer::Cancel, ""},
        {page, MsgAnswer::No, page},
        {page, MsgAnswer::Yes,
         "<html>\r\n<head>\r\n  <meta charset=\"utf-8\">\r\n  <title>::title::</title>\r\n"
         "</head>\r\n<body>::body::\r\n::footer::</body></html>"},
        {"<HEAD lang=x><title>x</title>::body::::footer::", MsgAnswer::Yes,
         "<HEAD lang=x><meta charset=\"utf-8\"><title>x</title>::body::::footer::"},
        {"<header>::body::::footer::</header>", MsgAnswer::Ok,
         "<header>::body::::footer::</header>"},
        {"<head><meta charset=windows-1252>::body::::footer::", MsgAnswer::Ok,
         "<head><meta charset=windows-1252>::body::::footer::"},
    };
    for (const auto& [html, answer, saved] : cases) {
        SCOPED_TRACE(html.toStdString());
        QFile::remove(ws.CurrentFile);
        dc.defaultHtmlEdited(html);
        prompter.answers = {answer};
        EXPECT_EQ(dc.save(), answer != MsgAnswer::Cancel);
        EXPECT_EQ(answer == MsgAnswer::Ok ? "" : describe(prompter.last()),
                  answer == MsgAnswer::Ok
                      ? ""
                      : "The default HTML declares no charset, so its pages are written in "
                        "windows-1252, which a web server that announces UTF-8 (most do) shows "
                        "as garbage wherever a character is not plain ASCII.\r\n\r\nAdd <meta "
                        "charset=\"utf-8\"> right after <head>, so that they are written in "
                        "UTF-8? | Quillane Template designer | question | &Add it/&Leave "
                        "it/Cancel");
        EXPECT_EQ(prompter.shown.size(), answer == MsgAnswer::Ok ? 0u : 1u);
        prompter.shown.clear();
        const QByteArray file = readBytes(ws.CurrentFile);
        EXPECT_EQ(file.mid(file.indexOf("#DEFAULTHTML#\r\n") + 15).split('#').value(0),
                  saved.isEmpty() ? QByteArray() : saved.toUtf8() + "\r\n");
        EXPECT_EQ(ws.defaultHtml, saved.isEmpty() ? html : saved);
        if (answer == MsgAnswer::Yes) {
            EXPECT_EQ(designer.html, saved) << "shown as it is saved";
        }
    }
    EXPECT_EQ(charsetWarning(page),
              "The default HTML declares no charset, so its pages are written in windows-1252, "
              "which a web server that announces UTF-8 (most do) shows as garbage wherever a "
              "character is not plain ASCII: add <meta charset=\"utf-8\"> right after <head>.");
}

// --- Command line ----------------------------------------------------------------------------

TEST(CommandLine, SplitsAtTheFirstColonOnly) {
    const std::pair<const char*, const char*> cases[] = {
        {"/T:C:\\web\\site.qtf", "/T | C:\\web\\site.qtf | 1"},
        {"/H:", "/H |  | 1"},
        {"/A:whatever", "/A | whatever | 1"},
        {"/H:/home/me/my site/\"a b\".qht", "/H | /home/me/my site/\"a b\".qht | 1"},
        {" /T:x", " /T | x | 1"},
        {"/h:x", "/h | x | 1"},
        {"/A", "/A |  | 0"},
        {"", " |  | 0"},
    };
    for (const auto& [text, expected] : cases) {
        const CommandLine c = splitCommandLine(text);
        EXPECT_EQ(QStringList({c.option, c.file, QString::number(c.hasColon)}).join(" | "),
                  expected);
    }
    EXPECT_EQ(argumentText({"/H:/tmp/a", "b.qht"}), "/H:/tmp/a b.qht");
    EXPECT_EQ(
        invalidOptionMessage("/X"),
        "Invalid command line option: /X(don't worry - it won't kill you, or will it......:))");
    QStringList args{"--allow-other-files", "/B:my", "--allow-other-files"}, plain{"/B:x"};
    EXPECT_TRUE(takeLeadingOptions(args).allowOtherFiles);
    EXPECT_EQ(argumentText(args), "/B:my --allow-other-files");
    EXPECT_FALSE(takeLeadingOptions(plain).allowOtherFiles);
    QStringList jobs{"--jobs=12", "--allow-other-files", "/W:x"};
    const LeadingOptions taken = takeLeadingOptions(jobs);
    EXPECT_EQ(QString::number(taken.jobs) + argumentText(jobs), "12/W:x");
    for (const QString bad : {"--jobs=0", "--jobs=+2", "--jobs=257", "--jobs=", "--jobs=2x"}) {
        QStringList args{bad, "/B:x"};
        EXPECT_EQ(takeLeadingOptions(args).badOption, bad);
    }
}

// The preview server needs an application to run on.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
