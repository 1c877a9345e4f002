// The HTML editor window, offscreen, with the scripted prompter and file dialog.

#include "build/batch_build.h"
#include "support/fakes.h"
#include "ui/designer_window.h"
#include "ui/html_editor_window.h"
#include "ui/main_routine.h"
#include "ui/section_editor.h"
#include "ui/twips.h"
#include "ui/ui_session.h"

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
#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::test;

namespace {

const QByteArray kDefaultTemplate = crlf(
    {"#QT1#", "My defaults", "#DEFAULTHTML#", "<title>::title::</title>",
     "::header::", "::content::", "#ENDDEFAULTHTML#", "#STARTSECTION#", "header", " 0 ",
     "<h1>Head</h1>", "#STARTSECTION#", "content", " 1 ", "<p>Write here</p>", "#STARTSECTION#"});

// The example template: body editable, footer not.
const QByteArray kPlainTemplate = crlf(
    {"#QT1#", "Plain page", "#DEFAULTHTML#", "<h1>::title::</h1>",
     "::body::", "::footer::", "#ENDDEFAULTHTML#", "#STARTSECTION#", "body", " 1 ", "<p>Text</p>",
     "#STARTSECTION#", "footer", " 0 ", "<hr>", "<p>Contact</p>", "#STARTSECTION#"});

QByteArray document(const QString& title, const QString& templatePath, const QString& output,
                    const QStringList& blocks)
{
    QByteArray d = "#QH1#\r\n" + title.toUtf8() + "\r\n" + templatePath.toUtf8() + "\r\n" +
                   output.toUtf8() + "\r\n#STARTSECTION#\r\n";
    for (const QString& b : blocks)
        d += b.toUtf8() + "\r\n#STARTSECTION#\r\n";
    return d;
}

QStringList listTexts(const QListWidget* list)
{
    QStringList t;
    for (int i = 0; i < list->count(); ++i)
        t << list->item(i)->text();
    return t;
}

std::vector<int> listSlots(const QListWidget* list)
{
    std::vector<int> v;
    for (int i = 0; i < list->count(); ++i)
        v.push_back(list->item(i)->data(Qt::UserRole).toInt());
    return v;
}

void doubleClickRow(QListWidget* list, int row)
{
    QCoreApplication::processEvents(); // lets the list lay out its items
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

class HtmlEditorTest : public ::testing::Test {
protected:
    QTemporaryDir tmp;
    QString prog;
    ScriptedPrompter prompter;
    ScriptedFileDialog* dialog = nullptr;
    std::function<void(frmSections&)> onSectionEditor;
    int modalRuns = 0;
    std::unique_ptr<UiSession> ui;

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        prog = tmp.filePath(QStringLiteral("prog"));
        QDir().mkpath(prog);
        writeFile(tmp, QStringLiteral("prog/default.qtf"), kDefaultTemplate);
        plainPath = writeFile(tmp, QStringLiteral("plain.qtf"), kPlainTemplate);
        exampleDoc = document(QStringLiteral("My first page"), plainPath, tmp.filePath("index.htm"),
                              {QStringLiteral("<p>Hello</p>")});
        examplePath = writeFile(tmp, QStringLiteral("example.qht"), exampleDoc);
        makeSession();
    }
    void TearDown() override { ui.reset(); }

    void makeSession()
    {
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

    frmHTMLEditor* openDocument(const QString& path)
    {
        frmHTMLEditor* w = ui->showHtmlEditor();
        dialog->choices.push_back(path);
        w->mnuFIleOpen_Click();
        return w;
    }

    Workspace& ws() { return ui->ws(); }

    QString plainPath, examplePath;
    QByteArray exampleDoc;
};

void expectMessage(const Message& m, const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons = MsgButtons::Ok)
{
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.title, title);
    EXPECT_EQ(m.icon, icon);
    EXPECT_EQ(m.buttons, buttons);
}

void expectSaveQuestion(const Message& m, const QString& title)
{
    expectMessage(m, QStringLiteral("Do you want to save your changes to ") + title + u'?',
                  QStringLiteral("Quillane"), MsgIcon::Question, MsgButtons::YesNoCancel);
}

// --- layout -------------------------------------------------------------------------------------

TEST_F(HtmlEditorTest, ControlsMenusAndResizeFollowTheDesign)
{
    frmHTMLEditor* w = ui->showHtmlEditor();
    EXPECT_EQ(w->objectName(), "frmHTMLEditor");
    EXPECT_EQ(w->windowTitle(), "HTML Editor.... Where templates are applied!");
    EXPECT_FALSE(w->windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint |
                                     Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));

    const QWidget* client = w->centralWidget();
    auto tw = [client](int t) { return twips(client, t); };
    struct Control {
        QWidget* widget;
        const char* name;
        QString text;
        int left, top, width, height; // width 0: a label sized to its text
    };
    const std::vector<Control> controls{
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
    for (const Control& c : controls) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.widget->objectName(), c.name);
        EXPECT_EQ(c.widget->parentWidget(), client);
        EXPECT_EQ(c.widget->pos(), QPoint(tw(c.left), tw(c.top)));
        if (c.width) {
            EXPECT_EQ(c.widget->size(), QSize(tw(c.width), tw(c.height)));
        }
        if (auto* l = qobject_cast<QLabel*>(c.widget)) {
            EXPECT_EQ(l->text(), c.text);
            EXPECT_GE(l->width(), l->sizeHint().width());
        } else if (auto* e = qobject_cast<QLineEdit*>(c.widget)) {
            EXPECT_EQ(e->text(), c.text);
        } else if (auto* b = qobject_cast<QPushButton*>(c.widget)) {
            EXPECT_EQ(b->text(), c.text);
        }
    }
    EXPECT_EQ(client->size(), QSize(tw(5745), tw(4110)));
    QWidget* focus = w->txtTitle;
    for (QWidget* next :
         {static_cast<QWidget*>(w->lstSections), static_cast<QWidget*>(w->txtOutput),
          static_cast<QWidget*>(w->cmdChangeOutput), static_cast<QWidget*>(w->cmdBuild)}) {
        do
            focus = focus->nextInFocusChain();
        while (focus->focusPolicy() == Qt::NoFocus || !focus->isVisibleTo(w));
        EXPECT_EQ(focus, next);
    }
    EXPECT_EQ(w->dlgSaveLoad->defaultExt, ".qht");

    const QList<QAction*> bar = w->menuBar()->actions();
    ASSERT_EQ(bar.size(), 4);
    EXPECT_EQ(bar[0]->menu(), w->mnuFile);
    EXPECT_EQ(bar[0]->text(), "&File");
    EXPECT_EQ(bar[1]->text(), "&Help");
    EXPECT_EQ(bar[2]->objectName(), "mnuSpaces");
    EXPECT_EQ(bar[2]->text(), QString(12, u' '));
    EXPECT_EQ(bar[3]->objectName(), "mnuChange");
    EXPECT_EQ(bar[3]->text(), "CHANGE TO TEMPLATE DESIGNER");
    EXPECT_EQ(bar[3]->menu(), nullptr);
    QStringList items;
    for (QAction* a : w->mnuFile->actions())
        items << a->objectName() + u'=' + a->text() + u'=' + a->shortcut().toString();
    EXPECT_EQ(items, QStringList({"mnuFileNew=&New=Ctrl+N", "mnuFIleOpen=&Open...=Ctrl+O",
                                  "mnuFileChange=&Change template...=F2", "mnuFileBar1==",
                                  "mnuFileSave=&Save=Ctrl+S", "mnuFileSaveAs=Save &As...=F12",
                                  "mnuFileBar2==", "mnuFileBatch=&Batch build...=", "mnuFileBar3==",
                                  "mnuFileExit=E&xit="}));
    ASSERT_EQ(w->mnuHelp->actions().size(), 1);
    EXPECT_EQ(w->mnuHelpAbout->text(), "&About Quillane");

    // Too small snaps back to the design size; larger stretches by the fixed margins.
    w->resize(40, 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(client->size(), QSize(tw(5745), tw(4110)));
    w->resize(w->width() + tw(1500), w->height() + tw(900));
    QCoreApplication::processEvents();
    const int W = 5865 + 1500, H = 4800 + 900;
    EXPECT_EQ(w->txtTitle->width(), tw(W - 1530));
    EXPECT_EQ(w->txtOutput->width(), tw(W - 2490));
    EXPECT_EQ(w->cmdChangeOutput->x(), tw(W - 1185));
    EXPECT_EQ(w->lstSections->size(), QSize(tw(W - 330), tw(H - 2595)));
    EXPECT_EQ(w->cmdBuild->geometry(), QRect(tw(120), tw(H - 1320), tw(W - 330), tw(495)));
    EXPECT_EQ(w->txtOutput->pos(), QPoint(tw(1200), tw(720)));
}

// --- opening, new -------------------------------------------------------------------------------

TEST_F(HtmlEditorTest, FirstOpeningAndNewShowAnUntitledDocumentOnTheDefaultTemplate)
{
    frmHTMLEditor* w = ui->showHtmlEditor();
    auto expectUntitled = [&] {
        EXPECT_EQ(w->lblTemplate->text(), "Template used: Default template");
        EXPECT_EQ(w->txtTitle->text(), "Untitled HTML Document");
        EXPECT_EQ(w->txtOutput->text(), "");
        EXPECT_EQ(listTexts(w->lstSections), QStringList{"content"});
        EXPECT_EQ(listSlots(w->lstSections), std::vector<int>{2});
        EXPECT_FALSE(ws().IsDirty);
        EXPECT_EQ(ws().CurrentFile, "");
        EXPECT_EQ(ws().TemplatePath, QDir(prog).filePath("default.qtf"));
    };
    expectUntitled();
    EXPECT_TRUE(prompter.shown.empty());

    openDocument(examplePath);
    w->txtTitle->setText(QStringLiteral("Edited"));
    prompter.answers = {MsgAnswer::No};
    w->mnuFileNew_Click();
    ASSERT_EQ(prompter.shown.size(), 1u);
    expectSaveQuestion(prompter.last(), "Edited");
    expectUntitled();
    EXPECT_EQ(readBytes(examplePath), exampleDoc);
}

TEST_F(HtmlEditorTest, WithoutDefaultTemplateTheWindowStillOpens)
{
    QFile::remove(QDir(prog).filePath("default.qtf"));
    frmHTMLEditor* w = ui->showHtmlEditor();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(prompter.last().text.startsWith("Error parsing file '" +
                                                QDir(prog).filePath("default.qtf") + "':\r\n"));
    EXPECT_EQ(prompter.last().title, "Error parsing file!");
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->lstSections->count(), 0);
    EXPECT_EQ(ws().TemplatePath, QDir(prog).filePath("default.qtf"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(HtmlEditorTest, OpenReadsADocumentAndAsksAgainAfterARejectedFile)
{
    const QString notADocument = writeFile(tmp, "notes.qht", "#QT1#\r\nhello\r\n");
    frmHTMLEditor* w = ui->showHtmlEditor();
    dialog->choices = {notADocument, examplePath};
    w->mnuFIleOpen_Click();

    ASSERT_EQ(prompter.shown.size(), 1u);
    expectMessage(prompter.last(), "This file is not a Quillane TEMPLATED-HTML file!",
                  "Quillane HTML Editor", MsgIcon::Exclamation);
    ASSERT_EQ(dialog->uses.size(), 2u);
    for (const auto& use : dialog->uses) {
        EXPECT_FALSE(use.save);
        EXPECT_EQ(use.dialogTitle, "Load a template-applied HTML file...");
        EXPECT_EQ(use.filter, "Quillane templated HTML file|*.qht");
        EXPECT_TRUE(use.pathMustExist);
        EXPECT_TRUE(use.hideReadOnly);
        EXPECT_FALSE(use.overwritePrompt);
    }
    EXPECT_EQ(dialog->uses[0].fileName, "");
    EXPECT_EQ(dialog->uses[1].fileName, notADocument);

    EXPECT_EQ(w->txtTitle->text(), "My first page");
    EXPECT_EQ(w->txtOutput->text(), tmp.filePath("index.htm"));
    EXPECT_EQ(w->lblTemplate->text(), "Template used: Plain page");
    EXPECT_EQ(listTexts(w->lstSections), QStringList{"body"});
    EXPECT_EQ(listSlots(w->lstSections), std::vector<int>{1});
    EXPECT_EQ(ws().SectionHtml[1], "<p>Hello</p>");
    EXPECT_EQ(ws().CurrentFile, examplePath);
    EXPECT_EQ(ws().TemplatePath, plainPath);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Regression: a failed Open left CurrentFile on the rejected file, so Save wrote over it.
TEST_F(HtmlEditorTest, AFailedOpenKeepsTheDocumentAndNeverSavesOverTheRejectedFile)
{
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
        "Quillane HTML Editor", MsgIcon::Exclamation);
    EXPECT_EQ(dialog->uses.back().fileName, stopsEarly);
    // The edits stay, marked unchanged, as after any cancelled Open.
    EXPECT_EQ(w->txtTitle->text(), "Edited title");
    EXPECT_EQ(listSlots(w->lstSections), std::vector<int>{1});
    EXPECT_EQ(ws().lastSlot(), 3);
    EXPECT_EQ(ws().CurrentFile, examplePath);
    EXPECT_FALSE(ws().IsDirty);

    EXPECT_TRUE(w->mnuFileSave_Click());
    EXPECT_EQ(readBytes(tooLongPath), tooLong);
    EXPECT_EQ(readBytes(examplePath),
              document("Edited title", plainPath, tmp.filePath("index.htm"), {"<p>Hello</p>"}));
}

// --- section edit -------------------------------------------------------------------------------

TEST_F(HtmlEditorTest, SectionEditShowsTheSlotNumberAndStoresTheHtml)
{
    // Slot 2 is not editable and slot 3 has no name: the third listed section is slot 5.
    const QString tpl = writeFile(tmp, "gaps.qtf",
                                  crlf({"#QT1#",
                                        "Gaps",
                                        "#DEFAULTHTML#",
                                        "::a ::c ::d ::e",
                                        "#ENDDEFAULTHTML#",
                                        "#STARTSECTION#",
                                        "a",
                                        " 1 ",
                                        "A",
                                        "#STARTSECTION#",
                                        "b",
                                        " 0 ",
                                        "B",
                                        "#STARTSECTION#",
                                        "",
                                        " 1 ",
                                        "",
                                        "#STARTSECTION#",
                                        "d",
                                        " 1 ",
                                        "D1\r\nD2",
                                        "#STARTSECTION#",
                                        "e",
                                        " 1 ",
                                        "E",
                                        "#STARTSECTION#"}));
    const QString doc =
        writeFile(tmp, "gaps.qht", document("Gaps", tpl, "g.htm", {"a1", "", "d1\r\nd2", "e1"}));
    frmHTMLEditor* w = openDocument(doc);
    ASSERT_EQ(listSlots(w->lstSections), (std::vector<int>{1, 4, 5}));
    ASSERT_TRUE(prompter.shown.empty());

    QString caption, label0, label2, preset;
    bool cancelShown = true, checkShown = true, nameShown = true;
    onSectionEditor = [&](frmSections& d) {
        caption = d.windowTitle();
        label0 = d.lblDescription[0]->text();
        label2 = d.lblDescription[2]->text();
        preset = d.html();
        cancelShown = !d.cmdCancel->isHidden();
        checkShown = !d.chkSectEditable->isHidden();
        nameShown = !d.txtSectionName->isHidden();
        d.setHtml("<p>New</p>\r\n<p>Two</p>");
        d.cmdOk_Click();
    };
    doubleClickRow(w->lstSections, 1);
    EXPECT_EQ(modalRuns, 1);
    EXPECT_EQ(caption, "Editing section ID 4");
    EXPECT_EQ(label0, "Section name: d");
    EXPECT_EQ(label2, "HTML text to put in section:");
    EXPECT_EQ(preset, "d1\r\nd2");
    EXPECT_FALSE(cancelShown || checkShown || nameShown);
    EXPECT_EQ(ws().SectionHtml[4], "<p>New</p>\r\n<p>Two</p>");
    EXPECT_TRUE(w->lstSections->selectedItems().isEmpty());
    EXPECT_TRUE(ws().IsDirty);

    // OK without a change still counts as a change.
    ws().IsDirty = false;
    onSectionEditor = [&](frmSections& d) {
        caption = d.windowTitle();
        d.cmdOk_Click();
    };
    doubleClickRow(w->lstSections, 2);
    EXPECT_EQ(caption, "Editing section ID 5");
    EXPECT_EQ(ws().SectionHtml[5], "e1");
    EXPECT_TRUE(ws().IsDirty);

    // No item selected: nothing happens.
    ws().IsDirty = false;
    w->lstSections_DblClick();
    EXPECT_EQ(modalRuns, 2);
    // Closed by the window manager: without a Cancel button that counts as OK.
    onSectionEditor = [](frmSections& d) {
        d.setHtml("kept");
        d.reject();
    };
    doubleClickRow(w->lstSections, 0);
    EXPECT_EQ(ws().SectionHtml[1], "kept");
    EXPECT_TRUE(ws().IsDirty);
    ws().SectionHtml[1] = "a1";

    // Save writes one block per editable slot, the nameless one included.
    ASSERT_TRUE(w->mnuFileSave_Click());
    EXPECT_EQ(readBytes(doc), document("Gaps", tpl, tmp.filePath("g.htm"),
                                       {"a1", "", "<p>New</p>\r\n<p>Two</p>", "e1"}));
}

// --- save, build, output ------------------------------------------------------------------------

TEST_F(HtmlEditorTest, SaveOfANeverSavedDocumentAsksForAFileAndWritesTheExactBytes)
{
    frmHTMLEditor* w = ui->showHtmlEditor();
    w->txtTitle->setText(QStringLiteral("Café & co"));
    w->txtOutput->setText(tmp.filePath("out.htm"));
    ASSERT_TRUE(ws().IsDirty);

    dialog->choices = {""};
    EXPECT_FALSE(w->mnuFileSave_Click());
    ASSERT_EQ(dialog->uses.size(), 1u);
    const auto& use = dialog->uses[0];
    EXPECT_TRUE(use.save);
    EXPECT_EQ(use.dialogTitle, "Save a template-applied HTML file...");
    EXPECT_EQ(use.filter, "Quillane templated HTML file|*.qht");
    EXPECT_EQ(use.fileName, "");
    EXPECT_EQ(use.defaultExt, ".qht");
    EXPECT_TRUE(use.overwritePrompt);
    EXPECT_TRUE(use.hideReadOnly);
    EXPECT_EQ(QDir(tmp.path()).entryList({"*.qht"}, QDir::Files), QStringList{"example.qht"});
    EXPECT_TRUE(ws().IsDirty);
    EXPECT_EQ(ws().CurrentFile, "");

    const QString path = tmp.filePath("new doc é.qht");
    dialog->choices = {path};
    EXPECT_TRUE(w->mnuFileSave_Click());
    EXPECT_EQ(readBytes(path), "#QH1#\r\nCaf\xE9 & co\r\n" +
                                   QDir(prog).filePath("default.qtf").toUtf8() + "\r\n" +
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

TEST_F(HtmlEditorTest, BuildWritesTheExamplePageWhenEnterIsPressedInATextBox)
{
    frmHTMLEditor* w = openDocument(examplePath);
    const QByteArray page =
        "<h1>My first page</h1>\r\n<p>Hello</p>\r\n<hr>\r\n<p>Contact</p>\r\n\r\n";
    const QString out = tmp.filePath("index.htm");
    for (QLineEdit* box : {w->txtTitle, w->txtOutput}) {
        SCOPED_TRACE(box->objectName().toStdString());
        QFile::remove(out);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(readBytes(out), page);
    }
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(HtmlEditorTest, ChangeOutputUsesTheHtmlFileDialog)
{
    frmHTMLEditor* w = openDocument(examplePath);
    const QString chosen = tmp.filePath("elsewhere/page.html");
    dialog->choices = {"", chosen};
    w->cmdChangeOutput->click();
    EXPECT_EQ(w->txtOutput->text(), tmp.filePath("index.htm"));
    EXPECT_FALSE(ws().IsDirty);
    w->cmdChangeOutput->click();
    EXPECT_EQ(w->txtOutput->text(), chosen);
    EXPECT_TRUE(ws().IsDirty);
    const auto& use = dialog->uses.back();
    EXPECT_TRUE(use.save);
    EXPECT_EQ(use.dialogTitle, "Choose where to output file...");
    EXPECT_EQ(use.fileName, tmp.filePath("index.htm"));
    EXPECT_EQ(use.filter, "HTML Files|*.htm;*.html");
    EXPECT_EQ(use.defaultExt, ".htm");
    EXPECT_TRUE(use.overwritePrompt);
    // The next use that sets no extension keeps this one.
    dialog->choices = {""};
    w->mnuFIleOpen_Click();
    EXPECT_EQ(dialog->uses.back().defaultExt, ".htm");
}

// --- change template ----------------------------------------------------------------------------

TEST_F(HtmlEditorTest, ChangeTemplateAsksFirstThenTakesTheNewSectionsAndCountsAsAChange)
{
    const QString other =
        writeFile(tmp, "other.qtf",
                  crlf({"#QT1#", "Other", "#DEFAULTHTML#", "::body", "#ENDDEFAULTHTML#",
                        "#STARTSECTION#", "side", " 1 ", "<aside/>", "#STARTSECTION#", "body",
                        " 1 ", "<p>Other</p>", "#STARTSECTION#"}));
    frmHTMLEditor* w = openDocument(examplePath);
    w->txtTitle->setText("Edited");

    prompter.answers = {MsgAnswer::Cancel};
    w->mnuFileChange_Click();
    EXPECT_EQ(dialog->uses.size(), 1u); // only the Open
    expectSaveQuestion(prompter.last(), "Edited");
    EXPECT_TRUE(ws().IsDirty);

    prompter.answers = {MsgAnswer::No};
    dialog->choices = {other};
    w->mnuFileChange_Click();
    const auto& use = dialog->uses.back();
    EXPECT_FALSE(use.save);
    EXPECT_EQ(use.dialogTitle, "Choose template...");
    EXPECT_EQ(use.fileName, examplePath);
    EXPECT_EQ(use.filter, "Quillane template file|*.qtf");
    EXPECT_TRUE(use.pathMustExist);

    EXPECT_EQ(listTexts(w->lstSections), QStringList({"side", "body"}));
    EXPECT_EQ(ws().SectionHtml[2], "<p>Other</p>");
    EXPECT_EQ(w->lblTemplate->text(), "Template used: Other");
    EXPECT_EQ(w->txtTitle->text(), "Edited");
    EXPECT_EQ(w->txtOutput->text(), tmp.filePath("index.htm"));
    EXPECT_EQ(ws().CurrentFile, examplePath);
    EXPECT_EQ(ws().TemplatePath, other);
    // Regression: the change used to count as unchanged, so Exit dropped it silently.
    EXPECT_TRUE(ws().IsDirty);
    prompter.answers = {MsgAnswer::Cancel};
    w->mnuFileExit_Click();
    expectSaveQuestion(prompter.last(), "Edited");
    EXPECT_FALSE(ui->ending());
}

// Regression: a failed change emptied the section table while the list still offered its slots,
// and a Save then wrote a document without its sections.
TEST_F(HtmlEditorTest, AFailedChangeOfTemplateKeepsTheDocumentWhole)
{
    frmHTMLEditor* w = openDocument(examplePath);
    dialog->choices = {examplePath, ""}; // the document itself is no template
    w->mnuFileChange_Click();
    ASSERT_EQ(prompter.shown.size(), 1u);
    expectMessage(prompter.last(), "This file is not a Quillane file!",
                  "Quillane template designer", MsgIcon::Exclamation);
    EXPECT_EQ(dialog->uses.back().fileName, examplePath);
    EXPECT_EQ(listSlots(w->lstSections), std::vector<int>{1});
    EXPECT_EQ(ws().SectionHtml[1], "<p>Hello</p>");
    EXPECT_EQ(ws().TemplatePath, plainPath);
    EXPECT_EQ(w->lblTemplate->text(), "Template used: Plain page");
    EXPECT_FALSE(ws().IsDirty);

    onSectionEditor = [](frmSections& d) { d.cmdOk_Click(); };
    doubleClickRow(w->lstSections, 0);
    EXPECT_TRUE(w->mnuFileSave_Click());
    EXPECT_EQ(readBytes(examplePath), exampleDoc);
}

// --- batch --------------------------------------------------------------------------------------

class BatchTest : public HtmlEditorTest {
protected:
    QString folder; // ends with a separator
    QString out(const QString& name) { return tmp.filePath("pages/" + name); }
    QString addDoc(const QString& name, const QString& title, const QString& output)
    {
        return writeFile(tmp, "site é x/" + name,
                         document(title, plainPath, output, {"<p>" + title + "</p>"}));
    }
    QByteArray page(const QString& title)
    {
        return ("<h1>" + title + "</h1>\r\n<p>" + title + "</p>\r\n<hr>\r\n<p>Contact</p>\r\n\r\n")
            .toUtf8();
    }
    void SetUp() override
    {
        HtmlEditorTest::SetUp();
        QDir(tmp.path()).mkpath("site é x/sub.qht");
        QDir(tmp.path()).mkpath("site é x/nested");
        QDir(tmp.path()).mkpath("pages");
        folder = tmp.filePath("site é x") + u'/';
    }
};

TEST_F(BatchTest, BuildsEachDocumentOfTheFolderThroughTheWindow)
{
    addDoc("a.qht", "Alpha", out("same.htm"));
    addDoc("b.qht", "Beta", out("same.htm"));
    addDoc("gammaqht", "Gamma", out("gamma.htm"));
    addDoc("UPPER.QHT", "Upper", out("upper.htm"));
    addDoc("sub.qht/inner.qht", "Inner", out("inner.htm"));
    addDoc("nested/deep.qht", "Deep", out("deep.htm"));
    writeFile(tmp, "site é x/bad.qht", "not a document\r\n");
    QStringList order;
    QString reason;
    ASSERT_TRUE(listBatchDocuments(folder, order, reason));
    ASSERT_EQ(order.size(), 4);

    frmHTMLEditor* w = ui->showHtmlEditor();
    w->txtTitle->setText("Unsaved");
    QStringList captions;
    QObject::connect(w, &QWidget::windowTitleChanged, [&](const QString& t) { captions << t; });
    bool refusedWhileRunning = false;
    prompter.onShow = [&](const Message& m) {
        if (m.title != "Quillane HTML Editor") return;
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
    const auto& use = dialog->uses.back();
    EXPECT_EQ(use.dialogTitle, "Choose template folder, dont worry about which file");
    EXPECT_EQ(use.filter, "Quillane templated HTML file|*.qht");
    EXPECT_EQ(use.fileName, "left by the last use");
    EXPECT_EQ(use.defaultExt, ".qht");
    EXPECT_TRUE(use.pathMustExist);
    EXPECT_FALSE(use.save);

    QStringList expectedCaptions;
    for (const QString& n : order)
        expectedCaptions << folder + n;
    expectedCaptions << "HTML Editor.... Where templates are applied!";
    EXPECT_EQ(captions, expectedCaptions);
    ASSERT_EQ(prompter.shown.size(),
              2u); // the question and the rejected document, nothing at the end
    expectMessage(prompter.shown[1], "This file is not a Quillane TEMPLATED-HTML file!",
                  "Quillane HTML Editor", MsgIcon::Exclamation);
    EXPECT_TRUE(refusedWhileRunning);

    const bool betaLast = order.indexOf("b.qht") > order.indexOf("a.qht");
    EXPECT_EQ(readBytes(out("same.htm")), page(betaLast ? "Beta" : "Alpha"));
    EXPECT_EQ(readBytes(out("gamma.htm")), page("Gamma"));
    for (const char* skipped : {"upper.htm", "inner.htm", "deep.htm"})
        EXPECT_FALSE(QFile::exists(out(skipped)));
    EXPECT_EQ(w->lblStatus->text(), "Batch build finished: 3 built, 1 not built.");
    EXPECT_FALSE(w->prgBatch->isVisible());
    EXPECT_FALSE(w->cmdStopBatch->isVisible());
    EXPECT_TRUE(w->mnuFileSave->isEnabled());
    EXPECT_FALSE(w->txtTitle->isReadOnly());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(ws().IsDirty);

    // Regression: CurrentFile kept the document open before the batch, so Save wrote the last
    // batch document over it. Now it names the last document loaded (none if that one failed).
    const QString last = order.last();
    if (last == "bad.qht") {
        EXPECT_EQ(ws().CurrentFile, "");
    } else {
        EXPECT_EQ(ws().CurrentFile, folder + last);
        EXPECT_EQ(w->txtTitle->text(), last == "a.qht"   ? "Alpha"
                                       : last == "b.qht" ? "Beta"
                                                         : "Gamma");
    }
}

TEST_F(BatchTest, StopsAfterTheCurrentDocumentAndSaysWhatItDid)
{
    for (int i = 0; i < 5; ++i)
        addDoc(QStringLiteral("p%1.qht").arg(i), QStringLiteral("P%1").arg(i),
               out(QStringLiteral("p%1.htm").arg(i)));
    frmHTMLEditor* w = ui->showHtmlEditor();
    int started = 0;
    bool byClose = false;
    QObject::connect(w, &QWidget::windowTitleChanged, [&](const QString& t) {
        if (!t.startsWith(folder)) return;
        ++started;
        if (!byClose && started == 1) QTest::mouseClick(w->cmdStopBatch, Qt::LeftButton);
        // The window manager's close stops the batch too, and leaves the window open.
        if (byClose && started == 2) {
            EXPECT_FALSE(w->close());
        }
    });
    dialog->choices = {folder + "x"};
    w->mnuFileBatch_Click();
    EXPECT_EQ(started, 1);
    EXPECT_EQ(w->lblStatus->text(),
              "Batch build stopped after 1 of 5 documents: 1 built, 0 not built.");

    started = 0;
    byClose = true;
    dialog->choices = {folder + "x"};
    w->mnuFileBatch_Click();
    EXPECT_EQ(started, 2);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(ui->ending());
    EXPECT_TRUE(w->lblStatus->text().startsWith("Batch build stopped after 2 of 5 documents"));
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

// --- switch, exit, command line -----------------------------------------------------------------

TEST_F(HtmlEditorTest, SwitchToTheDesignerAsksFirstAndHandsOverWithoutEndingTheProgram)
{
    int lastWindowClosed = 0;
    const auto watch =
        QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { ++lastWindowClosed; });
    frmHTMLEditor* w = ui->showHtmlEditor();
    QPointer<frmHTMLEditor> editor(w);
    w->txtTitle->setText("Draft");

    prompter.answers = {MsgAnswer::Cancel};
    w->mnuChange->trigger();
    EXPECT_EQ(ui->htmlEditor(), w);
    EXPECT_EQ(ui->designer(), nullptr);
    expectSaveQuestion(prompter.last(), "Draft");

    prompter.answers = {MsgAnswer::No};
    w->mnuChange->trigger();
    ASSERT_NE(ui->designer(), nullptr);
    EXPECT_EQ(ui->session().designer, ui->designer());
    EXPECT_EQ(ui->htmlEditor(), nullptr);
    EXPECT_EQ(ui->session().htmlEditor, nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(editor.isNull());
    EXPECT_EQ(lastWindowClosed, 0);
    EXPECT_FALSE(ui->ending());

    // Back again: a fresh window set up by its own loading code.
    frmHTMLEditor* again = ui->showHtmlEditor();
    ui->closeDesigner();
    EXPECT_EQ(again->txtTitle->text(), "Untitled HTML Document");
    EXPECT_EQ(ui->session().htmlEditor, again);
    EXPECT_EQ(lastWindowClosed, 0);
    QObject::disconnect(watch);
}

TEST_F(HtmlEditorTest, ExitAndTheWindowManagersCloseAskTheSameQuestion)
{
    struct Case {
        MsgAnswer answer;
        bool viaWindowManager;
        bool ends;
        const char* savedTitle;
    };
    for (const Case& c : {Case{MsgAnswer::Cancel, false, false, "My first page"},
                          Case{MsgAnswer::No, false, true, "My first page"},
                          Case{MsgAnswer::Yes, false, true, "Changed"},
                          Case{MsgAnswer::Cancel, true, false, "My first page"},
                          Case{MsgAnswer::Yes, true, true, "Changed"}}) {
        SCOPED_TRACE(int(c.answer) * 10 + c.viaWindowManager);
        writeFile(tmp, "example.qht", exampleDoc);
        makeSession();
        prompter.shown.clear();
        frmHTMLEditor* w = openDocument(examplePath);
        w->txtTitle->setText("Changed");
        prompter.answers = {c.answer};
        if (c.viaWindowManager) {
            EXPECT_EQ(w->close(), c.ends);
        } else {
            w->mnuFileExit_Click();
        }
        ASSERT_EQ(prompter.shown.size(), 1u);
        expectSaveQuestion(prompter.last(), "Changed");
        EXPECT_EQ(ui->ending(), c.ends);
        EXPECT_EQ(w->isVisible(), !c.ends);
        EXPECT_EQ(readBytes(examplePath),
                  document(c.savedTitle, plainPath, tmp.filePath("index.htm"), {"<p>Hello</p>"}));
    }
}

TEST_F(HtmlEditorTest, CommandLineOpensTheEditorOnADocument)
{
    const QString path = tmp.filePath("my site ü/page one.qht");
    QDir(tmp.path()).mkpath("my site ü");
    writeFile(tmp, "my site ü/page one.qht", exampleDoc);
    Main(*ui, "/H:" + path);
    frmHTMLEditor* w = ui->htmlEditor();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(ui->designer(), nullptr);
    EXPECT_EQ(w->txtTitle->text(), "My first page");
    EXPECT_EQ(listSlots(w->lstSections), std::vector<int>{1});
    EXPECT_EQ(ws().TemplatePath, plainPath);
    EXPECT_EQ(ws().CurrentFile, ""); // the first Save asks for a name
    EXPECT_TRUE(prompter.shown.empty());

    makeSession();
    Main(*ui, "/H:" + tmp.filePath("missing.qht"));
    ASSERT_NE(ui->htmlEditor(), nullptr);
    EXPECT_TRUE(ui->htmlEditor()->isVisible());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(prompter.last().text.startsWith("Error parsing file '" +
                                                tmp.filePath("missing.qht") + "':\r\n"));
    EXPECT_EQ(prompter.last().title, "Error parsing file!");
    EXPECT_FALSE(ui->ending());
}

} // namespace

int main(int argc, char** argv)
{
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
