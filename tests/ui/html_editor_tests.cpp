// The HTML editor window, offscreen, with the scripted prompter and file dialog.

#include "build/batch_build.h"
#include "support/fakes.h"
#include "ui/designer_window.h"
#include "ui/html_editor_window.h"
#include "ui/main_routine.h"
#include "ui/section_editor.h"
#include "ui/twips.h"
#include "ui/ui_session.h"
#include "ui_fixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace quillane;
using namespace quillane::test;

namespace {

const QString kCaption = "HTML Editor.... Where templates are applied!";
const QString kDocFilter = "Quillane templated HTML file|*.qht";
const QString kEditorTitle = "Quillane HTML Editor";

struct Section {
    const char* name;
    bool editable;
    const char* html;
};

QByteArray document(const QString& title, const QString& templatePath, const QString& output,
                    const QStringList& blocks) {
    QString d =
        "#QH1#\r\n" + title + "\r\n" + templatePath + "\r\n" + output + "\r\n#STARTSECTION#\r\n";
    for (const QString& b : blocks)
        d += b + "\r\n#STARTSECTION#\r\n";
    return d.toUtf8();
}

// The section list as "name:slot" entries.
QStringList listed(const QListWidget* list) {
    QStringList t;
    for (int i = 0; i < list->count(); ++i)
        t << list->item(i)->text() + u':' + list->item(i)->data(Qt::UserRole).toString();
    return t;
}

// How the file dialog was set for one use.
QStringList fields(const ScriptedFileDialog::Use& u) {
    QStringList flags;
    if (u.overwritePrompt) flags << "overwrite";
    if (u.pathMustExist) flags << "exists";
    if (u.hideReadOnly) flags << "hideRO";
    return {u.save ? "save" : "open", u.dialogTitle, u.filter, u.fileName, u.defaultExt,
            flags.join(u' ')};
}

void doubleClickRow(QListWidget* list, int row) {
    QCoreApplication::processEvents(); // lets the list lay out its items
    const QPoint p = list->visualItemRect(list->item(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, p);
}

void expectMessage(const Message& m, const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons = MsgButtons::Ok) {
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.title, title);
    EXPECT_EQ(m.icon, icon);
    EXPECT_EQ(m.buttons, buttons);
}

void expectSaveQuestion(const Message& m, const QString& title) {
    expectMessage(m, "Do you want to save your changes to " + title + u'?', "Quillane",
                  MsgIcon::Question, MsgButtons::YesNoCancel);
}

class HtmlEditorTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString prog, defaultPath, plainPath, examplePath;
    QByteArray exampleDoc;
    ScriptedPrompter prompter;
    ScriptedFileDialog* dialog = nullptr;
    std::function<void(frmSections&)> onSectionEditor;
    int modalRuns = 0;
    std::unique_ptr<UiSession> ui;

    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        prog = tmp.filePath("prog");
        QDir().mkpath(prog);
        defaultPath =
            writeTemplate("prog/default.qtf", "My defaults",
                          "<title>::title::</title>\r\n::header::\r\n::content::",
                          {{"header", 0, "<h1>Head</h1>"}, {"content", 1, "<p>Write here</p>"}});
        plainPath =
            writeTemplate("plain.qtf", "Plain page", "<h1>::title::</h1>\r\n::body::\r\n::footer::",
                          {{"body", 1, "<p>Text</p>"}, {"footer", 0, "<hr>\r\n<p>Contact</p>"}});
        exampleDoc = example("My first page");
        examplePath = writeFile(tmp, "example.qht", exampleDoc);
        makeSession();
    }
    void TearDown() override { ui.reset(); }

    QString writeTemplate(const QString& file, const char* name, const char* html,
                          std::initializer_list<Section> sections) {
        QByteArray t =
            crlf({"#QT1#", name, "#DEFAULTHTML#", html, "#ENDDEFAULTHTML#", "#STARTSECTION#"});
        for (const Section& s : sections)
            t += crlf({s.name, s.editable ? " 1 " : " 0 ", s.html, "#STARTSECTION#"});
        return writeFile(tmp, file, t);
    }
    // The example document with the given title, as Save writes it.
    QByteArray example(const QString& title) {
        return document(title, plainPath, tmp.filePath("index.htm"), {"<p>Hello</p>"});
    }

    void makeSession() {
        ui.reset();
        ui = std::make_unique<UiSession>(prog);
        ui->setPrompter(&prompter);
        ui->setFileDialogFactory([this](QWidget*) {
            auto d = std::make_unique<ScriptedFileDialog>();
            dialog = d.get();
            return d;
        });
        ui->setModalRunner([this](QDialog& d) {
            ++modalRuns;
            if (auto* f = qobject_cast<frmSections*>(&d); f && onSectionEditor) onSectionEditor(*f);
        });
    }

    frmHTMLEditor* openDocument(const QString& path) {
        frmHTMLEditor* w = ui->showHtmlEditor();
        dialog->choices.push_back(path);
        w->mnuFIleOpen_Click();
        return w;
    }

    Workspace& ws() { return ui->ws(); }
};

TEST_F(HtmlEditorTest, ControlsAndMenusFollowTheDesign) {
    frmHTMLEditor* w = ui->showHtmlEditor();
    QWidget* client = w->centralWidget();
    auto tw = [client](int t) { return twips(client, t); };
    // Place and size in twips; labels size themselves to their text.
    const struct {
        QWidget* widget;
        const char* name;
        QString text;
        int left, top, width, height;
    } controls[] = {
        {w->lblDescription[0], "lblDescription0", "HTML File title:", 120, 120, 0, 0},
        {w->txtTitle, "txtTitle", "Untitled HTML Document", 1320, 120, 4335, 285},
        {w->lblTemplate, "lblTemplate", "Template used: Default template", 120, 480, 0, 0},
        {w->lblDescription[1], "lblDescription1", "Sections:", 120, 960, 0, 0},
        {w->lstSections, "lstSections", "", 120, 1200, 5535, 2205},
        {w->lblDescription[2], "lblDescription2", "Output file to:", 120, 720, 0, 0},
        {w->txtOutput, "txtOutput", "", 1200, 720, 3375, 285},
        {w->cmdChangeOutput, "cmdChangeOutput", "Change...", 4680, 720, 975, 255},
        {w->cmdBuild, "cmdBuild", "&Build HTML file", 120, 3480, 5535, 495},
    };
    for (const auto& c : controls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.widget->objectName(), c.name);
        EXPECT_EQ(c.widget->property("text").toString(), c.text);
        EXPECT_EQ(c.widget->pos(), QPoint(tw(c.left), tw(c.top)));
        if (c.width) {
            EXPECT_EQ(c.widget->size(), QSize(tw(c.width), tw(c.height)));
        }
    }
    EXPECT_EQ(w->windowTitle(), kCaption);
    QStringList menus;
    for (QAction* bar : w->menuBar()->actions()) {
        menus << bar->text();
        for (QAction* a : bar->menu() ? bar->menu()->actions() : QList<QAction*>())
            menus << "  " + a->text() + u' ' + a->shortcut().toString();
    }
    EXPECT_EQ(menus, QStringList({"&File", "  &New Ctrl+N", "  &Open... Ctrl+O",
                                  "  &Change template... F2", "   ", "  &Save Ctrl+S",
                                  "  Save &As... F12", "   ", "  &Batch build... ", "   ",
                                  "  E&xit ", "&Help", "  &About Quillane ", QString(12, u' '),
                                  "CHANGE TO TEMPLATE DESIGNER"}));

    // It opens at its smallest size; too small snaps back to it; larger stretches the list
    // and the Build button.
    EXPECT_EQ(client->size(), QSize(tw(5745), tw(4110)));
    EXPECT_EQ(w->size(), w->minimumSize());
    w->resize(40, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(client->size(), QSize(tw(5745), tw(4110)));
    w->resize(w->width() + tw(1500), w->height() + tw(900));
    QCoreApplication::processEvents();
    EXPECT_EQ(w->cmdBuild->geometry(), QRect(tw(120), tw(3480 + 900), tw(5535 + 1500), tw(495)));
}

// The keyboard: Tab follows the designed order, Enter opens the focused entry of the list as
// a double click does, and a focused button takes Enter.
TEST_F(HtmlEditorTest, TheKeyboardReachesEveryControl) {
    frmHTMLEditor* w = openDocument(examplePath);
    const QStringList order = {"txtTitle",        "lstSections", "txtOutput",
                               "cmdChangeOutput", "cmdBuild",    "txtTitle"};
    EXPECT_EQ(tabCycle(w->txtTitle, 5), order);

    QString caption;
    onSectionEditor = [&caption](frmSections& d) { caption = d.windowTitle(); };
    w->lstSections->setFocus();
    w->lstSections->setCurrentRow(0, QItemSelectionModel::NoUpdate); // focused, not selected
    QTest::keyClick(w->lstSections, Qt::Key_Return);
    EXPECT_EQ(caption, "Editing section ID 1");

    w->cmdChangeOutput->setFocus();
    QTest::keyClick(w->cmdChangeOutput, Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(dialog->uses.size(), 2u);
    EXPECT_EQ(dialog->uses.back().dialogTitle, "Choose where to output file...");
}

// Regression: No to the save question, then a cancelled dialog, left the edits on screen
// marked as saved, so the next New or Exit dropped them without asking.
TEST_F(HtmlEditorTest, NoThenACancelledDialogKeepsTheEditsUnsaved) {
    for (auto command : {&frmHTMLEditor::mnuFIleOpen_Click, &frmHTMLEditor::mnuFileChange_Click,
                         &frmHTMLEditor::mnuFileBatch_Click}) {
        frmHTMLEditor* w = openDocument(examplePath);
        w->txtTitle->setText("Edited");
        prompter.answers = {MsgAnswer::No};
        dialog->choices = {""};
        (w->*command)();
        EXPECT_EQ(w->txtTitle->text(), "Edited");
        EXPECT_TRUE(ws().IsDirty);
        makeSession();
    }
}

TEST_F(HtmlEditorTest, OpenReadsADocumentAfterARejectedFileAndNewGoesBackToUntitled) {
    frmHTMLEditor* w = ui->showHtmlEditor();
    auto expectUntitled = [&] {
        EXPECT_EQ(w->lblTemplate->text(), "Template used: Default template");
        EXPECT_EQ(w->txtTitle->text(), "Untitled HTML Document");
        EXPECT_EQ(w->txtOutput->text(), "");
        EXPECT_EQ(listed(w->lstSections), QStringList{"content:2"});
        EXPECT_FALSE(ws().IsDirty);
        EXPECT_EQ(ws().CurrentFile, "");
        EXPECT_EQ(ws().TemplatePath, defaultPath);
    };
    expectUntitled();

    const QString notADocument = writeFile(tmp, "notes.qht", "#QT1#\r\nhello\r\n");
    dialog->choices = {notADocument, examplePath};
    w->mnuFIleOpen_Click();
    ASSERT_EQ(prompter.shown.size(), 1u);
    expectMessage(prompter.last(), "This file is not a Quillane TEMPLATED-HTML file!", kEditorTitle,
                  MsgIcon::Exclamation);
    ASSERT_EQ(dialog->uses.size(), 2u);
    EXPECT_EQ(fields(dialog->uses[1]),
              QStringList({"open", "Load a template-applied HTML file...", kDocFilter, notADocument,
                           ".qht", "exists hideRO"}));
    EXPECT_EQ(w->txtTitle->text(), "My first page");
    EXPECT_EQ(w->txtOutput->text(), tmp.filePath("index.htm"));
    EXPECT_EQ(w->lblTemplate->text(), "Template used: Plain page");
    EXPECT_EQ(listed(w->lstSections), QStringList{"body:1"});
    EXPECT_EQ(ws().CurrentFile, examplePath);
    EXPECT_EQ(ws().TemplatePath, plainPath);
    EXPECT_FALSE(ws().IsDirty);

    w->txtTitle->setText("Edited");
    prompter.answers = {MsgAnswer::No};
    w->mnuFileNew_Click();
    ASSERT_EQ(prompter.shown.size(), 2u);
    expectSaveQuestion(prompter.last(), "Edited");
    expectUntitled();
    EXPECT_EQ(readBytes(examplePath), exampleDoc);
}

// Regression: a failed Open left CurrentFile on the rejected file, so Save wrote over it.
TEST_F(HtmlEditorTest, AFailedOpenKeepsTheDocumentAndNeverSavesOverTheRejectedFile) {
    // More blocks than the template has editable sections: the read fails half-way.
    const QByteArray tooLong = document("Too long", plainPath, "x.htm", {"a", "b"});
    const QString tooLongPath = writeFile(tmp, "toolong.qht", tooLong);
    const QString stopsEarly = writeFile(
        tmp, "early.qht", "#QH1#\r\nEarly\r\n" + plainPath.toUtf8() + "\r\ny.htm\r\n\r\nx\r\n");
    frmHTMLEditor* w = openDocument(examplePath);
    w->txtTitle->setText("Edited title");
    prompter.answers = {MsgAnswer::No};
    dialog->choices = {tooLongPath, stopsEarly, ""};
    w->mnuFIleOpen_Click();

    ASSERT_EQ(prompter.shown.size(), 3u);
    EXPECT_TRUE(prompter.shown[1].text.startsWith("Error parsing file '" + tooLongPath + "':\r\n"));
    expectMessage(
        prompter.shown[2],
        "The document '" + stopsEarly +
            "' stops at an empty line where a section should start, so it was not opened.",
        kEditorTitle, MsgIcon::Exclamation);
    // The edits stay, and after the No they still count as unsaved: nothing was opened.
    EXPECT_EQ(w->txtTitle->text(), "Edited title");
    EXPECT_EQ(listed(w->lstSections), QStringList{"body:1"});
    EXPECT_EQ(ws().CurrentFile, examplePath);
    EXPECT_TRUE(ws().IsDirty);

    EXPECT_TRUE(w->mnuFileSave_Click());
    EXPECT_EQ(readBytes(tooLongPath), tooLong);
    EXPECT_EQ(readBytes(examplePath), example("Edited title"));
}

TEST_F(HtmlEditorTest, SectionEditShowsTheSlotNumberAndStoresTheHtml) {
    // Slot 2 is not editable and slot 3 has no name: the listed sections are slots 1, 4 and 5.
    const QString tpl = writeTemplate(
        "gaps.qtf", "Gaps", "::a ::c ::d ::e",
        {{"a", 1, "A"}, {"b", 0, "B"}, {"", 1, ""}, {"d", 1, "D1\r\nD2"}, {"e", 1, "E"}});
    const QString doc =
        writeFile(tmp, "gaps.qht", document("Gaps", tpl, "g.htm", {"a1", "", "d1\r\nd2", "e1"}));
    frmHTMLEditor* w = openDocument(doc);
    ASSERT_EQ(listed(w->lstSections), QStringList({"a:1", "d:4", "e:5"}));
    ASSERT_TRUE(prompter.shown.empty());

    onSectionEditor = [](frmSections& d) {
        EXPECT_EQ(d.windowTitle(), "Editing section ID 4");
        EXPECT_EQ(d.lblDescription[0]->text(), "Section name: d");
        EXPECT_EQ(d.lblDescription[2]->text(), "HTML text to put in section:");
        EXPECT_EQ(d.html(), "d1\r\nd2");
        EXPECT_TRUE(d.cmdCancel->isHidden() && d.chkSectEditable->isHidden() &&
                    d.txtSectionName->isHidden());
        d.setHtml("<p>New</p>\r\n<p>Two</p>");
        d.cmdOk_Click();
    };
    doubleClickRow(w->lstSections, 1);
    EXPECT_EQ(modalRuns, 1);
    EXPECT_EQ(ws().SectionHtml[4], "<p>New</p>\r\n<p>Two</p>");
    EXPECT_TRUE(w->lstSections->selectedItems().isEmpty());
    EXPECT_TRUE(ws().IsDirty);

    // A double click with no item selected opens nothing.
    ws().IsDirty = false;
    w->lstSections_DblClick();
    EXPECT_EQ(modalRuns, 1);
    EXPECT_FALSE(ws().IsDirty);

    // Closed by the window manager: without a Cancel button that counts as OK.
    onSectionEditor = [](frmSections& d) {
        d.setHtml("kept");
        d.reject();
    };
    doubleClickRow(w->lstSections, 0);
    EXPECT_EQ(ws().SectionHtml[1], "kept");
    EXPECT_TRUE(ws().IsDirty);

    // Save writes one block per editable slot, the nameless one included.
    ASSERT_TRUE(w->mnuFileSave_Click());
    // Its output path was written relative to the document, and stays so.
    EXPECT_EQ(readBytes(doc),
              document("Gaps", tpl, "g.htm", {"kept", "", "<p>New</p>\r\n<p>Two</p>", "e1"}));
}

TEST_F(HtmlEditorTest, SaveOfANeverSavedDocumentAsksForAFileAndWritesTheExactBytes) {
    frmHTMLEditor* w = ui->showHtmlEditor();
    w->txtTitle->setText("Café & co");
    w->txtOutput->setText(tmp.filePath("out.htm"));

    dialog->choices = {""};
    EXPECT_FALSE(w->mnuFileSave_Click());
    ASSERT_EQ(dialog->uses.size(), 1u);
    EXPECT_EQ(fields(dialog->uses[0]), QStringList({"save", "Save a template-applied HTML file...",
                                                    kDocFilter, "", ".qht", "overwrite hideRO"}));
    EXPECT_EQ(QDir(tmp.path()).entryList({"*.qht"}, QDir::Files), QStringList{"example.qht"});
    EXPECT_TRUE(ws().IsDirty);

    const QString path = tmp.filePath("new doc é.qht");
    dialog->choices = {path};
    EXPECT_TRUE(w->mnuFileSave_Click());
    EXPECT_EQ(readBytes(path), "#QH1#\r\nCaf\xE9 & co\r\n" + defaultPath.toUtf8() + "\r\n" +
                                   tmp.filePath("out.htm").toUtf8() +
                                   "\r\n#STARTSECTION#\r\n<p>Write here</p>\r\n#STARTSECTION#\r\n");
    EXPECT_EQ(ws().CurrentFile, path);
    EXPECT_FALSE(ws().IsDirty);

    // Saved once, Save writes back without asking; an unwritable file is told and stays dirty.
    w->txtTitle->setText("Second");
    EXPECT_TRUE(w->mnuFileSave_Click());
    EXPECT_EQ(dialog->uses.size(), 2u);
    EXPECT_TRUE(readBytes(path).startsWith("#QH1#\r\nSecond\r\n"));
    ws().CurrentFile = tmp.filePath("missing folder/x.qht");
    w->txtTitle->setText("Third");
    EXPECT_FALSE(w->mnuFileSave_Click());
    EXPECT_TRUE(prompter.last().text.startsWith("Could not save '" + ws().CurrentFile + "':"));
    EXPECT_TRUE(ws().IsDirty);
}

TEST_F(HtmlEditorTest, EnterInATextBoxBuildsThePageAndChangeSetsWhereTo) {
    frmHTMLEditor* w = openDocument(examplePath);
    const QString out = tmp.filePath("index.htm");
    for (QLineEdit* box : {w->txtTitle, w->txtOutput}) {
        SCOPED_TRACE(box->objectName().toStdString());
        QFile::remove(out);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(readBytes(out),
                  "<h1>My first page</h1>\r\n<p>Hello</p>\r\n<hr>\r\n<p>Contact</p>\r\n\r\n");
    }
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_TRUE(prompter.shown.empty());

    const QString chosen = tmp.filePath("elsewhere/page.html");
    dialog->choices = {"", chosen};
    w->cmdChangeOutput->click();
    EXPECT_EQ(w->txtOutput->text(), out);
    EXPECT_FALSE(ws().IsDirty);
    w->cmdChangeOutput->click();
    EXPECT_EQ(w->txtOutput->text(), chosen);
    EXPECT_TRUE(ws().IsDirty);
    EXPECT_EQ(fields(dialog->uses.back()),
              QStringList({"save", "Choose where to output file...", "HTML Files|*.htm;*.html", out,
                           ".htm", "overwrite hideRO"}));
}

TEST_F(HtmlEditorTest, ChangeTemplateKeepsTheDocumentOnFailureAndCountsAsAChangeOnSuccess) {
    const QString other = writeTemplate("other.qtf", "Other", "::body",
                                        {{"side", 1, "<aside/>"}, {"body", 1, "<p>Other</p>"}});
    frmHTMLEditor* w = openDocument(examplePath);
    // Regression: a failed change emptied the section table while the list still offered its
    // slots, and a Save then wrote a document without its sections.
    dialog->choices = {examplePath, ""}; // the document itself is no template
    w->mnuFileChange_Click();
    ASSERT_EQ(prompter.shown.size(), 1u);
    expectMessage(prompter.last(), "This file is not a Quillane file!",
                  "Quillane template designer", MsgIcon::Exclamation);
    EXPECT_EQ(listed(w->lstSections), QStringList{"body:1"});
    EXPECT_EQ(ws().TemplatePath, plainPath);
    EXPECT_EQ(w->lblTemplate->text(), "Template used: Plain page");
    EXPECT_FALSE(ws().IsDirty);
    onSectionEditor = [](frmSections& d) { d.cmdOk_Click(); };
    doubleClickRow(w->lstSections, 0);
    EXPECT_TRUE(w->mnuFileSave_Click());
    EXPECT_EQ(readBytes(examplePath), exampleDoc);

    w->txtTitle->setText("Edited");
    prompter.answers = {MsgAnswer::Cancel};
    w->mnuFileChange_Click();
    EXPECT_EQ(dialog->uses.size(), 3u); // no dialog after Cancel
    expectSaveQuestion(prompter.last(), "Edited");

    prompter.answers = {MsgAnswer::No};
    dialog->choices = {other};
    w->mnuFileChange_Click();
    EXPECT_EQ(fields(dialog->uses.back()),
              QStringList({"open", "Choose template...", "Quillane template file|*.qtf",
                           examplePath, ".qht", "exists hideRO"}));
    EXPECT_EQ(listed(w->lstSections), QStringList({"side:1", "body:2"}));
    EXPECT_EQ(w->lblTemplate->text(), "Template used: Other");
    EXPECT_EQ(w->txtTitle->text(), "Edited");
    EXPECT_EQ(ws().CurrentFile, examplePath);
    EXPECT_EQ(ws().TemplatePath, other);
    // Regression: the change used to count as unchanged, so Exit dropped it silently.
    EXPECT_TRUE(ws().IsDirty);
    prompter.answers = {MsgAnswer::Cancel};
    w->mnuFileExit_Click();
    expectSaveQuestion(prompter.last(), "Edited");
    EXPECT_FALSE(ui->ending());
}

class BatchTest : public HtmlEditorTest {
protected:
    QString folder; // ends with a separator
    void SetUp() override {
        HtmlEditorTest::SetUp();
        for (const char* sub : {"site é x/sub.qht", "site é x/nested", "pages"})
            QDir(tmp.path()).mkpath(sub);
        folder = tmp.filePath("site é x") + u'/';
    }
    QString out(const QString& name) { return tmp.filePath("pages/" + name); }
    void addDoc(const QString& name, const QString& title, const QString& output) {
        writeFile(tmp, "site é x/" + name,
                  document(title, plainPath, out(output), {"<p>" + title + "</p>"}));
    }
    static QByteArray page(const QString& title) {
        return ("<h1>" + title + "</h1>\r\n<p>" + title + "</p>\r\n<hr>\r\n<p>Contact</p>\r\n\r\n")
            .toUtf8();
    }
};

TEST_F(BatchTest, BuildsEachDocumentOfTheFolderThroughTheWindow) {
    addDoc("a.qht", "Alpha", "same.htm");
    addDoc("b.qht", "Beta", "same.htm");
    addDoc("gammaqht", "Gamma", "gamma.htm");
    addDoc("UPPER.QHT", "Upper", "upper.htm");
    addDoc("sub.qht/inner.qht", "Inner", "inner.htm");
    addDoc("nested/deep.qht", "Deep", "deep.htm");
    writeFile(tmp, "site é x/bad.qht", "not a document\r\n");
    QList<BatchDocument> docs;
    QString reason;
    ASSERT_TRUE(listBatchDocuments(folder, docs, reason));
    QStringList order;
    for (const BatchDocument& d : docs)
        order << d.name;
    ASSERT_EQ(order.size(), 4);

    frmHTMLEditor* w = ui->showHtmlEditor();
    w->txtTitle->setText("Unsaved");
    QStringList captions;
    QObject::connect(w, &QWidget::windowTitleChanged, [&](const QString& t) { captions << t; });
    bool refusedWhileRunning = false;
    prompter.onShow = [&](const Message& m) {
        if (m.title != kEditorTitle) return;
        refusedWhileRunning = w->batchRunning() && !w->mnuFileSave->isEnabled() &&
                              !w->mnuChange->isEnabled() && !w->cmdBuild->isEnabled() &&
                              w->txtTitle->isReadOnly() && w->prgBatch->isVisible() &&
                              w->cmdStopBatch->isVisible() && !w->mnuFileSave_Click() &&
                              w->lblStatus->text().startsWith("Building ");
    };
    prompter.answers = {MsgAnswer::No};
    dialog->fileName = "left by the last use";
    dialog->choices = {folder + "any name.qht"};
    w->mnuFileBatch_Click();

    expectSaveQuestion(prompter.shown[0], "Unsaved");
    EXPECT_EQ(fields(dialog->uses.back()),
              QStringList({"open", "Choose template folder, dont worry about which file",
                           kDocFilter, "left by the last use", ".qht", "exists hideRO"}));
    QStringList expectedCaptions;
    for (const QString& n : order)
        expectedCaptions << folder + n;
    EXPECT_EQ(captions, expectedCaptions << kCaption);
    // The question and the rejected document; nothing at the end.
    ASSERT_EQ(prompter.shown.size(), 2u);
    expectMessage(prompter.shown[1], "This file is not a Quillane TEMPLATED-HTML file!",
                  kEditorTitle, MsgIcon::Exclamation);
    EXPECT_TRUE(refusedWhileRunning);

    const bool betaLast = order.indexOf("b.qht") > order.indexOf("a.qht");
    EXPECT_EQ(readBytes(out("same.htm")), page(betaLast ? "Beta" : "Alpha"));
    EXPECT_EQ(readBytes(out("gamma.htm")), page("Gamma"));
    for (const char* skipped : {"upper.htm", "inner.htm", "deep.htm"})
        EXPECT_FALSE(QFile::exists(out(skipped)));
    EXPECT_EQ(w->lblStatus->text(), "Batch build finished: 3 built, 1 not built.");
    EXPECT_FALSE(w->prgBatch->isVisible() || w->cmdStopBatch->isVisible());
    EXPECT_TRUE(w->mnuFileSave->isEnabled());
    EXPECT_FALSE(w->txtTitle->isReadOnly());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(ws().IsDirty);

    // Regression: CurrentFile kept the document open before the batch, so Save wrote the last
    // batch document over it. Now it names the last document loaded (none if that one failed).
    EXPECT_EQ(ws().CurrentFile, order.last() == "bad.qht" ? QString() : folder + order.last());
}

TEST_F(BatchTest, AsksOnceBeforeWritingOtherFilesThanPagesAndCountsUnreadableNames) {
    addDoc("page.qht", "Page", "page.htm");
    addDoc("notes.qht", "Notes", "notes.txt");
    writeFile(tmp, "pages/notes.txt", "keep");
    const QByteArray cafe = QFile::encodeName(folder) + "caf\xE9.qht";
    ::close(::open(cafe, O_CREAT | O_WRONLY, 0600));
    const QString question =
        "These templated documents would write files that are not web pages (names ending in "
        ".htm, .html, .xhtml, .xht, .shtml, .php, .asp, .aspx or .jsp) or that are hidden or in "
        "a hidden folder:\r\n\r\nnotes.qht -> " +
        out("notes.txt") +
        "\r\n\r\nYes: build them too and write these files.\r\nNo: skip them and build the "
        "other documents.\r\nCancel: stop the batch build; nothing is built.";
    const QString misnamed = " This name is not valid UTF-8; rename the file to build it: "
                             "caf\\xE9.qht";
    const struct {
        MsgAnswer answer;
        QString status;
        QByteArray notes;
    } runs[] = {
        {MsgAnswer::Cancel, "Batch build cancelled: nothing was built.", "keep"},
        {MsgAnswer::No, "Batch build finished: 1 built, 2 not built." + misnamed, "keep"},
        {MsgAnswer::Yes, "Batch build finished: 2 built, 1 not built." + misnamed, page("Notes")},
    };
    frmHTMLEditor* w = ui->showHtmlEditor();
    for (const auto& r : runs) {
        prompter.shown.clear();
        prompter.answers = {r.answer};
        dialog->choices = {folder + "x"};
        w->mnuFileBatch_Click();
        ASSERT_EQ(prompter.shown.size(), 1u);
        expectMessage(prompter.last(), question, kEditorTitle, MsgIcon::Exclamation,
                      MsgButtons::YesNoCancel);
        EXPECT_EQ(prompter.last().defaultButton, MsgAnswer::No);
        EXPECT_EQ(w->lblStatus->text(), r.status);
        EXPECT_EQ(readBytes(out("notes.txt")), r.notes);
        EXPECT_EQ(QFile::exists(out("page.htm")), r.answer != MsgAnswer::Cancel);
    }
    ::unlink(cafe);
}

TEST_F(BatchTest, StopsAfterTheCurrentDocumentAndSaysWhatItDid) {
    for (int i = 0; i < 5; ++i)
        addDoc(QString("p%1.qht").arg(i), QString("P%1").arg(i), QString("p%1.htm").arg(i));
    frmHTMLEditor* w = ui->showHtmlEditor();
    // The Stop button stops the batch after the current document; so does the window manager's
    // close, which leaves the window open.
    for (const int stopAt : {1, 2}) {
        int started = 0;
        const auto watch = QObject::connect(w, &QWidget::windowTitleChanged, [&](const QString& t) {
            if (!t.startsWith(folder) || ++started != stopAt) return;
            if (stopAt == 1)
                QTest::mouseClick(w->cmdStopBatch, Qt::LeftButton);
            else
                EXPECT_FALSE(w->close());
        });
        dialog->choices = {folder + "x"};
        w->mnuFileBatch_Click();
        QObject::disconnect(watch);
        EXPECT_EQ(started, stopAt);
        EXPECT_EQ(w->lblStatus->text(),
                  QString("Batch build stopped after %1 of 5 documents: %1 built, 0 not built.")
                      .arg(stopAt));
    }
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(ui->ending());
    EXPECT_TRUE(prompter.shown.empty());

    // An empty folder builds nothing and keeps the document.
    QDir(tmp.path()).mkpath("empty");
    w->txtTitle->setText("Kept");
    prompter.answers = {MsgAnswer::No};
    dialog->choices = {tmp.filePath("empty/x.qht")};
    w->mnuFileBatch_Click();
    EXPECT_EQ(w->txtTitle->text(), "Kept");
    EXPECT_EQ(w->lblStatus->text(),
              "Batch build: no templated documents in '" + tmp.filePath("empty/") + "'.");
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST_F(HtmlEditorTest, SwitchToTheDesignerAsksFirstAndHandsOverWithoutEndingTheProgram) {
    int lastWindowClosed = 0;
    const auto watch =
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { ++lastWindowClosed; });
    frmHTMLEditor* w = ui->showHtmlEditor();
    w->txtTitle->setText("Draft");
    prompter.answers = {MsgAnswer::Cancel};
    w->mnuChange->trigger();
    expectSaveQuestion(prompter.last(), "Draft");
    EXPECT_EQ(ui->htmlEditor(), w);
    EXPECT_EQ(ui->designer(), nullptr);

    prompter.answers = {MsgAnswer::No};
    w->mnuChange->trigger();
    ASSERT_NE(ui->designer(), nullptr);
    EXPECT_EQ(ui->session().designer, ui->designer());
    EXPECT_EQ(ui->session().htmlEditor, nullptr);
    EXPECT_EQ(ui->htmlEditor(), nullptr);

    // Back again: a fresh window set up by its own loading code.
    frmHTMLEditor* again = ui->showHtmlEditor();
    ui->closeDesigner();
    EXPECT_EQ(again->txtTitle->text(), "Untitled HTML Document");
    EXPECT_EQ(ui->session().htmlEditor, again);
    EXPECT_EQ(lastWindowClosed, 0);
    EXPECT_FALSE(ui->ending());
    QObject::disconnect(watch);
}

TEST_F(HtmlEditorTest, ExitAndTheWindowManagersCloseAskTheSameQuestion) {
    const struct {
        MsgAnswer answer;
        bool viaWindowManager, ends;
        const char* savedTitle;
    } cases[] = {{MsgAnswer::Cancel, false, false, "My first page"},
                 {MsgAnswer::No, false, true, "My first page"},
                 {MsgAnswer::Yes, false, true, "Changed"},
                 {MsgAnswer::Cancel, true, false, "My first page"},
                 {MsgAnswer::Yes, true, true, "Changed"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.answer) * 10 + c.viaWindowManager);
        writeFile(tmp, "example.qht", exampleDoc);
        makeSession();
        prompter.shown.clear();
        frmHTMLEditor* w = openDocument(examplePath);
        w->txtTitle->setText("Changed");
        prompter.answers = {c.answer};
        if (c.viaWindowManager)
            EXPECT_EQ(w->close(), c.ends);
        else
            w->mnuFileExit_Click();
        ASSERT_EQ(prompter.shown.size(), 1u);
        expectSaveQuestion(prompter.last(), "Changed");
        EXPECT_EQ(ui->ending(), c.ends);
        EXPECT_EQ(w->isVisible(), !c.ends);
        EXPECT_EQ(readBytes(examplePath), example(c.savedTitle));
    }
}

TEST_F(HtmlEditorTest, CommandLineOpensTheEditorOnADocumentAndUnreadableFilesAreTold) {
    QDir(tmp.path()).mkpath("my site ü");
    const QString page = writeFile(tmp, "my site ü/page one.qht", exampleDoc);
    Main(*ui, "/H:" + page);
    frmHTMLEditor* w = ui->htmlEditor();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(ui->designer(), nullptr);
    EXPECT_EQ(w->txtTitle->text(), "My first page");
    EXPECT_EQ(listed(w->lstSections), QStringList{"body:1"});
    EXPECT_EQ(ws().TemplatePath, plainPath);
    EXPECT_EQ(ws().CurrentFile, ""); // the first Save asks for a name, starting at the file
    EXPECT_TRUE(prompter.shown.empty());
    dialog->choices = {""};
    EXPECT_FALSE(w->mnuFileSave_Click());
    ASSERT_EQ(dialog->uses.size(), 1u);
    EXPECT_EQ(fields(dialog->uses[0]), QStringList({"save", "Save a template-applied HTML file...",
                                                    kDocFilter, page, ".qht", "overwrite hideRO"}));

    // An unreadable document or default template is told, and the editor opens all the same.
    for (const bool fromCommandLine : {true, false}) {
        SCOPED_TRACE(fromCommandLine);
        const QString path = fromCommandLine ? tmp.filePath("missing.qht") : defaultPath;
        if (!fromCommandLine) QFile::remove(defaultPath);
        makeSession();
        prompter.shown.clear();
        fromCommandLine ? Main(*ui, "/H:" + path) : void(ui->showHtmlEditor());
        ASSERT_NE(ui->htmlEditor(), nullptr);
        EXPECT_TRUE(ui->htmlEditor()->isVisible());
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_TRUE(prompter.last().text.startsWith("Error parsing file '" + path + "':\r\n"));
        EXPECT_EQ(prompter.last().title, "Error parsing file!");
        EXPECT_FALSE(ui->ending());
    }
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
        qputenv(var, home.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(true);
    // Test discovery runs the program without the test environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
