// The template designer driven as a user would, offscreen, with scripted answers.

#include "ui_fixture.h"

#include "formats/text_codec.h"
#include "ui/code_editor.h"
#include "ui/html_editor_window.h"
#include "ui/main_routine.h"
#include "ui/section_editor.h"
#include "ui/twips.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

namespace quillane::test {
namespace {

using Designer = UiTest;

QStringList entries(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

frmSections& sections(QDialog& d)
{
    return static_cast<frmSections&>(d);
}

// What the section dialog was prepared with, seen from inside it.
struct Prepared {
    QString caption, name, html;
    int editable = -1;
    bool cancelShown = false;
};

std::function<void(QDialog&)> readAndPress(Prepared& seen, bool ok)
{
    return [&seen, ok](QDialog& d) {
        frmSections& s = sections(d);
        seen = {s.windowTitle(), s.sectionName(), s.html(), s.editableState(), !s.cmdCancel->isHidden()};
        (ok ? s.cmdOk : s.cmdCancel)->click();
    };
}

TEST_F(Designer, FreshStartShowsTheDefaultTemplateUnderItsFixedName)
{
    frmTemplates* w = showDesigner();
    EXPECT_EQ(w->windowTitle(), "Template designer... Where templates are born!");
    EXPECT_EQ(w->txtTemplate->text(), "Default template");
    EXPECT_EQ(entries(w->lstSections), QStringList({"header", "content", "footer"}));
    EXPECT_EQ(w->rtxDefaultHTML->text(),
              "<html><title>::title::</title>\r\n<body>::header::::content::::footer::</body></html>");
    EXPECT_FALSE(w->cmdEdit->isEnabled());
    EXPECT_FALSE(w->cmdDelete->isEnabled());
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_GE(app.maxBusyDepth, 1);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);

    // The menu bar, in order, with its shortcuts; the last two items sit on the bar itself.
    QStringList bar;
    for (QAction* a : w->menuBar()->actions()) bar << a->text() + (a->menu() ? "/menu" : "");
    EXPECT_EQ(bar, QStringList({"&File/menu", "&Help/menu", QString(12, u' '), "CHANGE TO HTML EDITOR"}));
    QStringList file;
    for (QAction* a : w->mnuFile->actions())
        file << (a->isSeparator() ? a->objectName() : a->text() + u'=' + a->shortcut().toString());
    EXPECT_EQ(file, QStringList({"&New=Ctrl+N", "&Open...=Ctrl+O", "mnuFileBar1", "&Save=Ctrl+S",
                                 "Save &As...=F12", "mnuFileBar3", "E&xit="}));
    EXPECT_EQ(w->mnuHelpAbout->text(), "&About Quillane");

    // Tab order.
    QStringList order;
    QWidget* f = w->txtTemplate;
    for (int i = 0; i < 7; ++i, f = f->nextInFocusChain()) {
        while (f->focusPolicy() == Qt::NoFocus) f = f->nextInFocusChain();
        order << f->objectName();
    }
    EXPECT_EQ(order, QStringList({"txtTemplate", "lstSections", "rtxDefaultHTML", "cmdAdd",
                                  "cmdEdit", "cmdDelete", "cmdPreview"}));

    // Nothing changed, so Exit asks nothing and ends the program.
    w->mnuFileExit_Click();
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_TRUE(ui->ending());
}

TEST_F(Designer, NeverSmallerThanItsDesignSizeAndStretchesByTheMargins)
{
    frmTemplates* w = showDesigner();
    const auto outer = [w] { return w->frameGeometry().size(); };
    w->resize(100, 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(outer(), QSize(twips(w, 5865), twips(w, 6195)));
    EXPECT_EQ(w->minimumSize(), w->size()) << "a real minimum, not only a spring back";

    w->resize(twips(w, 9000), twips(w, 8000));
    QCoreApplication::processEvents();
    const int W = fromPixels(w, outer().width()), H = fromPixels(w, outer().height());
    EXPECT_EQ(w->txtTemplate->width(), twips(w, W - 1500));
    EXPECT_EQ(w->lstSections->width(), twips(w, W - 300));
    EXPECT_EQ(w->rtxDefaultHTML->size(), QSize(twips(w, W - 300), twips(w, H - 3900)));
    EXPECT_EQ(w->cmdPreview->y(), twips(w, H - 1275));
    EXPECT_EQ(w->cmdPreview->width(), twips(w, W - 330));
    EXPECT_EQ(w->cmdDelete->x(), twips(w, W - 1695 - 240));
    // What the layout does not move stays where it was designed.
    EXPECT_EQ(w->cmdAdd->geometry(), QRect(twips(w, 120), twips(w, 1800), twips(w, 1695), twips(w, 375)));
    EXPECT_EQ(w->lstSections->height(), twips(w, 1035));
}

TEST_F(Designer, AddOffersTheLowestFreeSlotAndCancelChangesNothing)
{
    frmTemplates* w = showDesigner();
    w->lstSections->setCurrentRow(0);
    ASSERT_TRUE(w->cmdEdit->isEnabled());

    Prepared seen;
    modalSteps.push_back(readAndPress(seen, false));
    w->cmdAdd->click();
    EXPECT_EQ(seen.caption, "Adding section ID 4");
    EXPECT_EQ(seen.name, "New section");
    EXPECT_EQ(seen.html, "Insert text here");
    EXPECT_EQ(seen.editable, 1);
    EXPECT_TRUE(seen.cancelShown);
    EXPECT_EQ(entries(w->lstSections).size(), 3);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_TRUE(w->cmdEdit->isEnabled()) << "a cancelled Add leaves the buttons alone";

    // Delete the second section; the next Add reuses its slot and lists the new one second.
    w->lstSections->setCurrentRow(1);
    prompter.answers = {MsgAnswer::Yes};
    w->cmdDelete->click();
    modalSteps.push_back(readAndPress(seen, true));
    w->cmdAdd->click();
    EXPECT_EQ(seen.caption, "Adding section ID 2");
    EXPECT_EQ(entries(w->lstSections), QStringList({"header", "New section", "footer"}));
    EXPECT_EQ(ws().SectionNames[2], "New section");
    EXPECT_EQ(ws().SectionHtml[2], "Insert text here");
    EXPECT_EQ(ws().SectionEditable[2], 1);
    EXPECT_TRUE(ws().IsDirty);
    EXPECT_FALSE(w->cmdEdit->isEnabled());
    EXPECT_FALSE(w->cmdDelete->isEnabled());
    EXPECT_TRUE(w->lstSections->selectedItems().isEmpty());
}

TEST_F(Designer, DeleteAsksFirstAndFreesTheSlotInPlace)
{
    frmTemplates* w = showDesigner();
    w->cmdDelete_Click(); // the buttons are disabled, but the handler must still be safe
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.last().text, "No item selected!");
    EXPECT_EQ(prompter.last().title, "Quillane");
    EXPECT_EQ(prompter.last().icon, MsgIcon::None);
    EXPECT_EQ(prompter.last().buttons, MsgButtons::Ok);

    QTest::mouseClick(w->lstSections->viewport(), Qt::LeftButton, {},
                      w->lstSections->visualItemRect(w->lstSections->item(0)).center());
    ASSERT_TRUE(w->cmdDelete->isEnabled());
    prompter.answers = {MsgAnswer::No};
    w->cmdDelete->click();
    EXPECT_EQ(prompter.last().text, "Are you sure that you want to delete the section 'header'?");
    EXPECT_EQ(prompter.last().title, "Quillane Template designer");
    EXPECT_EQ(prompter.last().icon, MsgIcon::Question);
    EXPECT_EQ(prompter.last().buttons, MsgButtons::YesNo);
    EXPECT_EQ(entries(w->lstSections).size(), 3);
    EXPECT_TRUE(w->cmdDelete->isEnabled());
    EXPECT_FALSE(ws().IsDirty);

    prompter.answers = {MsgAnswer::Yes};
    w->cmdDelete->click();
    EXPECT_EQ(entries(w->lstSections), QStringList({"content", "footer"}));
    EXPECT_TRUE(ws().SectionNames[1].isEmpty());
    EXPECT_TRUE(ws().SectionHtml[1].isEmpty());
    EXPECT_FALSE(w->cmdEdit->isEnabled());
    EXPECT_FALSE(w->cmdDelete->isEnabled());

    prompter.answers = {MsgAnswer::Cancel};
    w->mnuFileExit_Click();
    EXPECT_EQ(prompter.last().text, "Do you want to save your changes to Default template?");
    EXPECT_FALSE(ui->ending());
}

TEST_F(Designer, EditWorksOnTheSlotOfTheEntryNotItsPosition)
{
    frmTemplates* w = showDesigner();
    w->lstSections->setCurrentRow(0);
    prompter.answers = {MsgAnswer::Yes};
    w->cmdDelete->click();

    w->lstSections->setCurrentRow(0); // "content", slot 2
    Prepared seen;
    modalSteps.push_back(readAndPress(seen, true));
    w->cmdEdit->click();
    EXPECT_EQ(seen.caption, "Editing section ID 2");
    EXPECT_EQ(seen.name, "content");
    EXPECT_EQ(seen.html, "<p>Text</p>");
    EXPECT_EQ(seen.editable, 1);
    EXPECT_FALSE(seen.cancelShown);
    ws().IsDirty = false;

    // Unchanged, yet the template counts as changed.
    w->lstSections->setCurrentRow(1); // "footer", slot 3, not editable, two lines
    modalSteps.push_back(readAndPress(seen, true));
    w->cmdEdit->click();
    EXPECT_EQ(seen.caption, "Editing section ID 3");
    EXPECT_EQ(seen.html, "<hr>\r\n<p>Contact</p>");
    EXPECT_EQ(seen.editable, 0);
    EXPECT_TRUE(ws().IsDirty);
    EXPECT_FALSE(w->cmdEdit->isEnabled());

    // Changes go back into that slot.
    w->lstSections->setCurrentRow(1);
    modalSteps.push_back([](QDialog& d) {
        frmSections& s = sections(d);
        s.txtSectionName->setText("foot");
        s.setHtml("<hr>");
        s.chkSectEditable->click();
        s.cmdOk->click();
    });
    w->cmdEdit->click();
    EXPECT_EQ(ws().SectionNames[3], "foot");
    EXPECT_EQ(ws().SectionHtml[3], "<hr>");
    EXPECT_EQ(ws().SectionEditable[3], 1);
    EXPECT_EQ(entries(w->lstSections), QStringList({"content", "foot"}));
}

// Flags other than 0 and 1 come only from hand-made files.
TEST_F(Designer, EditKeepsTheGreyedFlagAndShowsLargerFlagsAsNotTicked)
{
    const QString path = writeFile(tmp, "flags.qtf",
                                    crlf({"#QT1#", "Flags", "#DEFAULTHTML#", "#ENDDEFAULTHTML#",
                                          "#STARTSECTION#", "grey", " 2 ", "g", "#STARTSECTION#",
                                          "odd", " 7 ", "o", "#STARTSECTION#"}));
    frmTemplates* w = showDesigner();
    dialog->choices = {path};
    w->mnuFIleOpen_Click();
    ASSERT_EQ(entries(w->lstSections), QStringList({"grey", "odd"}));

    Prepared seen;
    w->lstSections->setCurrentRow(0);
    modalSteps.push_back(readAndPress(seen, true));
    w->cmdEdit->click();
    EXPECT_EQ(seen.editable, 2);
    EXPECT_EQ(ws().SectionEditable[1], 2);

    w->lstSections->setCurrentRow(1);
    modalSteps.push_back(readAndPress(seen, true));
    w->cmdEdit->click();
    EXPECT_EQ(seen.editable, 0);
    EXPECT_EQ(ws().SectionEditable[2], 0);
}

TEST_F(Designer, SectionDialogRefusesTheReservedNameOnly)
{
    frmTemplates* w = showDesigner();
    modalSteps.push_back([this](QDialog& d) {
        frmSections& s = sections(d);
        s.txtSectionName->setText("title");
        s.cmdOk->click();
        EXPECT_TRUE(s.isVisible());
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.last().text,
                  "The name 'title' is reserved for the page title name! Please choose another");
        EXPECT_EQ(prompter.last().title, "Section Editor");
        EXPECT_EQ(prompter.last().icon, MsgIcon::Exclamation);
        EXPECT_EQ(s.txtSectionName->text(), "title");
        s.txtSectionName->setText("Title");
        s.cmdOk->click();
        EXPECT_FALSE(s.isVisible());
    });
    w->cmdAdd->click();
    EXPECT_EQ(ws().SectionNames[4], "Title");
    EXPECT_EQ(prompter.shown.size(), 1u);
}

TEST_F(Designer, OpenOfANonTemplateAsksAgainPresetToTheRefusedFile)
{
    const QString bad = writeFile(tmp, "notes.txt", "just some text\r\n");
    const QString good = writeFile(tmp, "other.qtf", threeSectionTemplate("Other look"));
    frmTemplates* w = showDesigner();
    app.maxBusyDepth = 0;
    dialog->choices = {bad, good};
    w->mnuFIleOpen_Click();

    ASSERT_EQ(dialog->uses.size(), 2u);
    const auto& first = dialog->uses[0];
    EXPECT_FALSE(first.save);
    EXPECT_EQ(first.dialogTitle, "Load a template...");
    EXPECT_EQ(first.filter, "Quillane template file|*.qtf");
    EXPECT_EQ(first.defaultExt, ".qtf");
    EXPECT_TRUE(first.fileName.isEmpty());
    EXPECT_TRUE(first.pathMustExist);
    EXPECT_FALSE(first.overwritePrompt);
    EXPECT_EQ(dialog->uses[1].fileName, bad);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.last().text, "This file is not a Quillane file!");
    EXPECT_EQ(prompter.last().title, "Quillane template designer");

    EXPECT_EQ(w->txtTemplate->text(), "Other look");
    EXPECT_EQ(entries(w->lstSections).size(), 3);
    EXPECT_EQ(ws().CurrentFile, good);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_GE(app.maxBusyDepth, 1);
}

// Fault: after a refused file and a cancelled second dialog, Save wrote over the refused file.
TEST_F(Designer, CancelAfterARefusedOpenLeavesNoFileToSaveOver)
{
    const QByteArray binary("\x00\x01\x02\xff#QT1", 9);
    const QString bad = writeFile(tmp, "picture.qtf", binary);
    frmTemplates* w = showDesigner();
    dialog->choices = {bad, ""};
    w->mnuFIleOpen_Click();
    EXPECT_TRUE(ws().CurrentFile.isEmpty());

    dialog->choices = {""};
    EXPECT_FALSE(w->mnuFileSave_Click());
    EXPECT_TRUE(dialog->uses.back().save);
    EXPECT_EQ(readBytes(bad), binary);
}

TEST_F(Designer, SaveOfANeverSavedTemplateAsksForAFileAndCancelWritesNothing)
{
    frmTemplates* w = showDesigner();
    dialog->choices = {""};
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialog->uses.size(), 1u);
    const auto& use = dialog->uses[0];
    EXPECT_TRUE(use.save);
    EXPECT_EQ(use.dialogTitle, "Save a template...");
    EXPECT_EQ(use.filter, "Quillane template file|*.qtf");
    EXPECT_EQ(use.defaultExt, ".qtf");
    EXPECT_TRUE(use.overwritePrompt);
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(QDir(programFolder).entryList(QDir::Files), QStringList({"default.qtf"}));
}

TEST_F(Designer, SaveAsThenSaveWritesTheFileFormatExactly)
{
    frmTemplates* w = showDesigner();
    QDir().mkpath(tmp.filePath("my site"));
    const QString path = tmp.filePath(QString::fromUtf8("my site/Tëmplate ünïcode.qtf"));
    w->txtTemplate->setText(QString::fromUtf8("Caf\u00e9 look"));
    w->lstSections->setCurrentRow(1);
    prompter.answers = {MsgAnswer::Yes};
    w->cmdDelete->click();

    dialog->choices = {path};
    EXPECT_TRUE(w->mnuFileSaveAs_Click());
    EXPECT_EQ(ws().CurrentFile, path);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_EQ(readBytes(path),
              crlf({"#QT1#", "Caf\xe9 look", "#DEFAULTHTML#", "<html><title>::title::</title>",
                    "<body>::header::::content::::footer::</body></html>", "#ENDDEFAULTHTML#",
                    "#STARTSECTION#", "header", " 1 ", "<h1>Head</h1>", "#STARTSECTION#",
                    "footer", " 0 ", "<hr>", "<p>Contact</p>", "#STARTSECTION#"}));

    // Typed text lands as it was typed, with CR LF line ends, and Save writes to the same file
    // without asking.
    w->rtxDefaultHTML->setText("");
    QTest::keyClicks(w->rtxDefaultHTML, "<p>");
    QTest::keyClick(w->rtxDefaultHTML, Qt::Key_Return);
    QTest::keyClicks(w->rtxDefaultHTML, "x");
    ASSERT_TRUE(ws().IsDirty);
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialog->uses.size(), 1u);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_TRUE(readBytes(path).startsWith(
        crlf({"#QT1#", "Caf\xe9 look", "#DEFAULTHTML#", "<p>", "x", "#ENDDEFAULTHTML#"})));
}

// Fault: a failed write must be reported and must change nothing.
TEST_F(Designer, AFailedSaveIsReportedAndChangesNothing)
{
    frmTemplates* w = showDesigner();
    writeFile(tmp, "plainfile", "x");
    const QString path = tmp.filePath("plainfile/site.qtf"); // a folder that is a file
    w->txtTemplate->setText("Changed");
    dialog->choices = {path};
    EXPECT_FALSE(w->mnuFileSaveAs_Click());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(prompter.last().text.startsWith("Could not save '" + path + "':\r\n"));
    EXPECT_EQ(prompter.last().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    EXPECT_TRUE(ws().IsDirty);
}

TEST_F(Designer, ExitAsksToSaveChanges)
{
    struct Case {
        const char* name;
        MsgAnswer answer;
        QString saveChoice; // the Save As dialog's answer after Yes
        bool ends;
        bool written;
    };
    const Case cases[] = {
        {"cancel", MsgAnswer::Cancel, {}, false, false},
        {"no", MsgAnswer::No, {}, true, false},
        {"yes, save dialog cancelled", MsgAnswer::Yes, "", false, false},
        {"yes, saved", MsgAnswer::Yes, "saved.qtf", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        frmTemplates* w = showDesigner();
        QTest::keyClicks(w->txtTemplate, "!");
        prompter.answers = {c.answer};
        if (!c.saveChoice.isNull())
            dialog->choices = {c.saveChoice.isEmpty() ? "" : tmp.filePath(c.saveChoice)};
        w->mnuFileExit->trigger();
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(prompter.last().text, "Do you want to save your changes to Default template!?");
        EXPECT_EQ(prompter.last().title, "Quillane");
        EXPECT_EQ(prompter.last().icon, MsgIcon::Question);
        EXPECT_EQ(prompter.last().buttons, MsgButtons::YesNoCancel);
        EXPECT_EQ(ui->ending(), c.ends);
        EXPECT_EQ(QFile::exists(tmp.filePath("saved.qtf")), c.written);
        EXPECT_EQ(w->isVisible(), !c.ends);
    }
}

// The window has no close button; a close from the window manager is treated as Exit.
TEST_F(Designer, AWindowManagerCloseAsksLikeExit)
{
    frmTemplates* w = showDesigner();
    w->txtTemplate->setText("Mine");
    prompter.answers = {MsgAnswer::Cancel};
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(prompter.last().text, "Do you want to save your changes to Mine?");
    prompter.answers = {MsgAnswer::No};
    EXPECT_TRUE(w->close());
    EXPECT_TRUE(ui->ending());
}

TEST_F(Designer, TheBlankMenuItemOnlyTalks)
{
    frmTemplates* w = showDesigner();
    w->mnuSpaces->trigger();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.last().text, "You can't click on empty space!");
    EXPECT_EQ(prompter.last().title, "Empty space like your brain");
    EXPECT_EQ(prompter.last().icon, MsgIcon::Information);
    EXPECT_EQ(prompter.last().buttons, MsgButtons::Ok);
    EXPECT_FALSE(ws().IsDirty);
}

TEST_F(Designer, PreviewWritesTheDefaultHtmlAsItStands)
{
    frmTemplates* w = showDesigner();
    const QString html = QString::fromUtf8("<meta charset=\"utf-8\">\r\n<p>::title:: \u00e9</p>");
    w->rtxDefaultHTML->setText(html);
    ws().IsDirty = false;
    EXPECT_TRUE(w->cmdPreview_Click());
    const QString path = QDir(programFolder).filePath("temp.htm");
    EXPECT_EQ(previewsOpened, QStringList({path}));
    EXPECT_EQ(readBytes(path), QByteArray("<meta charset=\"utf-8\">\r\n<p>::title:: \xc3\xa9</p>\r\n"));
    EXPECT_FALSE(ws().IsDirty);

    w->rtxDefaultHTML->setText("<p>caf\u00e9</p>"); // no charset: Windows-1252
    w->cmdPreview->click();
    EXPECT_EQ(readBytes(path), QByteArray("<p>caf\xe9</p>\r\n"));
    w->rtxDefaultHTML->setText("");
    w->cmdPreview->click();
    EXPECT_EQ(readBytes(path), QByteArray("\r\n"));
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(Designer, PreviewFallsBackToTheCacheFolderAndReportsAFailedWrite)
{
    frmTemplates* w = showDesigner();
    ui->session().programFolder = tmp.filePath("gone");
    w->rtxDefaultHTML->setText("<p>x</p>");
    EXPECT_TRUE(w->cmdPreview_Click());
    const QString cached =
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath("temp.htm");
    ASSERT_TRUE(cached.startsWith(tmp.path()));
    EXPECT_EQ(previewsOpened, QStringList({cached}));
    EXPECT_EQ(readBytes(cached), QByteArray("<p>x</p>\r\n"));

    // Neither folder can take the file.
    const QString cacheRoot = tmp.filePath("home/.qttest");
    ASSERT_TRUE(cached.startsWith(cacheRoot));
    QDir(cacheRoot).removeRecursively();
    writeFile(tmp, "home/.qttest", "in the way");
    ws().IsDirty = false;
    EXPECT_FALSE(w->cmdPreview_Click());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(prompter.last().text.startsWith("Could not write the preview page '"));
    EXPECT_TRUE(prompter.last().text.contains("temp.htm':\r\n"));
    EXPECT_EQ(previewsOpened.size(), 1);
    EXPECT_FALSE(ws().IsDirty);
}

TEST_F(Designer, AboutBoxTitleIsCompletedOncePerOpening)
{
    frmTemplates* w = showDesigner();
    QStringList titles;
    const auto look = [&](QDialog& d) {
        auto& box = static_cast<frmAbout&>(d);
        titles << box.lblTitle->text();
        EXPECT_TRUE(box.cmdOk->isDefault());
        EXPECT_EQ(box.cmdSysInfo->text(), "&System Info...");
        box.cmdSysInfo->click();
        EXPECT_TRUE(box.isVisible()) << "the about box stays open";
        box.cmdOk->click();
        EXPECT_FALSE(box.isVisible());
    };
    modalSteps = {look, look};
    w->mnuHelpAbout->trigger();
    sysInfoAvailable = true;
    w->mnuHelpAbout->trigger();
    EXPECT_EQ(modalTitles, QStringList({"About Quillane", "About Quillane"}));
    EXPECT_EQ(titles, QStringList({"Quillane 0.1.2 (compiled March 13, 2004)",
                                   "Quillane 0.1.2 (compiled March 13, 2004)"}));
    EXPECT_EQ(sysInfoStarts, 2);
    ASSERT_EQ(prompter.shown.size(), 1u) << "only the first start failed";
    EXPECT_EQ(prompter.last().text, "System Information Is Unavailable At This Time");
    EXPECT_EQ(prompter.last().title, "Quillane");
    EXPECT_EQ(prompter.last().icon, MsgIcon::None);
    EXPECT_EQ(prompter.last().buttons, MsgButtons::Ok);
}

TEST_F(Designer, SwitchingToTheHtmlEditorAsksFirstAndKeepsAWindowOpen)
{
    frmTemplates* w = showDesigner();
    w->txtTemplate->setText("Mine");
    prompter.answers = {MsgAnswer::Cancel};
    w->mnuChange->trigger();
    EXPECT_EQ(ui->designer(), w);
    EXPECT_EQ(ui->htmlEditor(), nullptr);

    prompter.answers = {MsgAnswer::No};
    w->mnuChange->trigger();
    EXPECT_EQ(ui->designer(), nullptr);
    ASSERT_NE(ui->htmlEditor(), nullptr);
    EXPECT_TRUE(ui->htmlEditor()->isVisible());
    EXPECT_FALSE(ui->ending());
    QCoreApplication::processEvents();
}

TEST_F(Designer, NewStartsOverFromTheDefaultTemplate)
{
    const QString other = writeFile(tmp, "other.qtf", threeSectionTemplate("Other look"));
    frmTemplates* w = showDesigner();
    dialog->choices = {other};
    QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(ws().CurrentFile, other);
    w->txtTemplate->setText("Edited");
    prompter.answers = {MsgAnswer::No};
    QTest::keyClick(w, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(w->txtTemplate->text(), "Default template");
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_EQ(ws().lastSlot(), 4);
}

// quillane /T:<file>
TEST_F(Designer, CommandLineOpensTheDesignerOnATemplate)
{
    const QString path = writeFile(tmp, "site.qtf", threeSectionTemplate("From the shell"));
    Main(*ui, "/T:" + path);
    frmTemplates* w = ui->designer();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->txtTemplate->text(), "From the shell");
    EXPECT_EQ(entries(w->lstSections), QStringList({"header", "content", "footer"}));
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_FALSE(ui->ending());
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(Designer, CommandLineWithAnUnreadableTemplateEndsTheProgram)
{
    const QString binary = writeFile(tmp, "binary.qtf", QByteArray("\x7f" "ELF\x00\x00", 6));
    const std::pair<QString, QString> cases[] = {
        {tmp.filePath("missing.qtf"), "Error parsing file '" + tmp.filePath("missing.qtf") + "':"},
        {binary, "This file is not a Quillane file!"},
    };
    for (const auto& [path, readerMessage] : cases) {
        SCOPED_TRACE(path.toStdString());
        TearDown();
        SetUp();
        Main(*ui, "/T:" + path);
        ASSERT_EQ(prompter.shown.size(), 2u);
        EXPECT_TRUE(prompter.shown[0].text.startsWith(readerMessage));
        EXPECT_EQ(prompter.shown[1].text, "Invalid file passed to Quillane! Learn how to use files!");
        EXPECT_EQ(prompter.shown[1].title, "ERROR!");
        EXPECT_EQ(prompter.shown[1].icon, MsgIcon::Critical);
        EXPECT_EQ(prompter.shown[1].buttons, MsgButtons::Ok);
        EXPECT_TRUE(ui->ending());
        EXPECT_FALSE(ui->designer() && ui->designer()->isVisible());
    }
}

} // namespace
} // namespace quillane::test
