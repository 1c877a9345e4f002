// The template designer driven as a user would, offscreen, with scripted answers.

#include "ui/code_editor.h"
#include "ui/html_editor_window.h"
#include "ui/main_routine.h"
#include "ui/section_editor.h"
#include "ui/splash.h"
#include "ui/start_window.h"
#include "ui/twips.h"
#include "ui_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTest>

namespace quillane::test {
namespace {

QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// What the section dialog was prepared with: caption, name, HTML, flag, Cancel shown.
using Prepared = std::tuple<QString, QString, QString, int, bool>;
// A section slot: name, HTML, flag.
using Slot = std::tuple<QString, QString, int>;

// A file dialog use on one line.
QString use(const ScriptedFileDialog::Use& u) {
    return QStringList({u.save ? "save" : "open", u.dialogTitle, u.filter, u.defaultExt, u.fileName,
                        u.pathMustExist ? "must exist" : "",
                        u.overwritePrompt ? "ask to replace" : ""})
        .join(", ");
}

class Designer : public UiTest {
protected:
    frmTemplates* w = nullptr;

    void SetUp() override {
        UiTest::SetUp();
        w = ui->showDesigner();
        QCoreApplication::processEvents();
    }

    Slot slot(int i) {
        return {ws().SectionNames[i], ws().SectionHtml[i], ws().SectionEditable[i]};
    }

    void deleteRow(int row) {
        w->lstSections->setCurrentRow(row);
        prompter.answers = {MsgAnswer::Yes};
        w->cmdDelete->click();
    }

    // Edit on row, or Add when row < 0: returns what the dialog showed, makes the change and
    // presses OK or Cancel.
    Prepared runSectionDialog(int row, bool ok = true,
                              const std::function<void(frmSections&)>& change = {}) {
        Prepared seen;
        modalSteps.push_back([&](QDialog& d) {
            auto& s = static_cast<frmSections&>(d);
            seen = {s.windowTitle(), s.sectionName(), s.html(), s.editableState(),
                    !s.cmdCancel->isHidden()};
            if (change) change(s);
            (ok ? s.cmdOk : s.cmdCancel)->click();
        });
        if (row >= 0) w->lstSections->setCurrentRow(row);
        (row >= 0 ? w->cmdEdit : w->cmdAdd)->click();
        return seen;
    }
};

TEST_F(Designer, FreshStartShowsTheDefaultTemplateUnderItsFixedName) {
    EXPECT_EQ(w->windowTitle(), "Template designer... Where templates are born!");
    EXPECT_EQ(w->txtTemplate->text(), "Default template");
    EXPECT_EQ(entries(w->lstSections), QStringList({"header", "content", "footer"}));
    EXPECT_EQ(w->rtxDefaultHTML->text(), "<html><title>::title::</title>\r\n"
                                         "<body>::header::::content::::footer::</body></html>");
    EXPECT_FALSE(w->cmdEdit->isEnabled() || w->cmdDelete->isEnabled());
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_GE(app.maxBusyDepth, 1);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);

    // The blank item on the menu bar only talks.
    w->mnuSpaces->trigger();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(fields(prompter.last()),
              fields({"You can't click on empty space!", "Empty space like your brain",
                      MsgIcon::Information}));
    EXPECT_FALSE(ws().IsDirty);
}

// Both windows: the smallest outer size, then where the controls sit once stretched, in twips
// of the outer width W and height H.
TEST_F(Designer, WindowsKeepTheirMinimumSizeAndStretchByTheMargins) {
    using Layout = std::vector<std::pair<QWidget*, QRect>>;
    const auto check = [](QWidget* win, int minW, int minH,
                          const std::function<Layout(int, int)>& layout) {
        const auto tw = [win](int t) { return twips(win, t); };
        EXPECT_EQ(win->frameGeometry().size(), QSize(tw(minW), tw(minH))) << "opens at it";
        win->resize(50, 50);
        QCoreApplication::processEvents();
        EXPECT_EQ(win->frameGeometry().size(), QSize(tw(minW), tw(minH)));
        EXPECT_EQ(win->minimumSize(), win->size()) << "a real minimum, not only a spring back";
        win->resize(tw(9000), tw(8000));
        QCoreApplication::processEvents();
        const QSize outer = win->frameGeometry().size();
        const int W = fromPixels(win, outer.width()), H = fromPixels(win, outer.height());
        for (const auto& [c, r] : layout(W, H)) {
            const QRect want(tw(r.x()), tw(r.y()), tw(r.width()), tw(r.height()));
            // A control whose content needs more room than designed grows about its line.
            const int grow = std::max(0, c->height() - want.height());
            EXPECT_EQ(c->geometry(), want.adjusted(0, -grow / 2, 0, grow - grow / 2))
                << c->objectName().toStdString();
        }
    };
    check(w, 5865, 6195, [this](int W, int H) {
        return Layout{{w->txtTemplate, {1320, 120, W - 1500, 285}},
                      {w->lstSections, {120, 720, W - 300, 1035}},
                      {w->cmdAdd, {120, 1800, 1695, 375}},
                      {w->cmdEdit, {(W - 1695) / 2, 1800, 1695, 375}},
                      {w->cmdDelete, {W - 1695 - 240, 1800, 1695, 375}},
                      {w->rtxDefaultHTML, {120, 2520, W - 300, H - 3900}},
                      {w->cmdPreview, {120, H - 1275, W - 330, 495}}};
    });

    frmSections d(*ui);
    d.lblDescription[0]->setText("A caption longer than designed:");
    d.show();
    EXPECT_GE(d.lblDescription[0]->width(), d.lblDescription[0]->sizeHint().width());
    check(&d, 5865, 4260, [&d](int W, int H) {
        return Layout{{d.txtSectionName, {1200, 120, W - 1410, 285}},
                      {d.rtxDefaultHTML, {120, 720, W - 330, H - 2235}},
                      {d.chkSectEditable, {120, H - 1410, 2775, 195}},
                      {d.cmdOk, {120, H - 1140, 1935, 615}},
                      {d.cmdCancel, {W - 2145, H - 1140, 1935, 615}}};
    });
}

// Tab and Shift+Tab follow the designed order through every control, the HTML field included
// (Ctrl+Tab types a tab there), and after a dialog the focus goes back where it was.
TEST_F(Designer, TheKeyboardFollowsTheTabOrderEverywhere) {
    w->lstSections->setCurrentRow(0); // Edit and Delete take part once enabled
    const QStringList order = {"txtTemplate", "lstSections", "rtxDefaultHTML", "cmdAdd",
                               "cmdEdit",     "cmdDelete",   "cmdPreview",     "txtTemplate"};
    EXPECT_EQ(tabCycle(w->txtTemplate, 7), order);
    EXPECT_EQ(tabCycle(w->txtTemplate, 7, true), QStringList(order.rbegin(), order.rend()));

    // The section editor as Add, Edit and the HTML editor's content use show it: hidden, order.
    const std::pair<QStringList, QStringList> uses[] = {
        {{}, {"txtSectionName", "rtxDefaultHTML", "cmdOk", "cmdCancel", "chkSectEditable"}},
        {{"cmdCancel"}, {"txtSectionName", "rtxDefaultHTML", "cmdOk", "chkSectEditable"}},
        {{"cmdCancel", "chkSectEditable", "txtSectionName"}, {"rtxDefaultHTML", "cmdOk"}},
    };
    for (const auto& [hidden, cycle] : uses) {
        frmSections d(*ui, w);
        for (const QString& name : hidden)
            d.findChild<QWidget*>(name)->hide();
        d.show();
        EXPECT_EQ(tabCycle(d.findChild<QWidget*>(cycle[0]), int(cycle.size())),
                  cycle + QStringList{cycle[0]});
        QTest::keyClick(d.rtxDefaultHTML, Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(d.html(), "\t");
    }

    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    w->cmdAdd->setFocus();
    {
        ModalGuard modal;
        w->rtxDefaultHTML->setFocus(); // where the focus landed while the dialog was up
    }
    EXPECT_EQ(w->focusWidget(), w->cmdAdd);
}

// Every caption, field and box shows whole: the layout gives each control at least what its
// content needs (also run at 150 % and 200 %, see CMakeLists.txt).
TEST_F(Designer, NoControlIsCutOff) {
    const auto cutOff = [](QWidget* window) {
        QStringList out;
        for (QWidget* c : window->findChildren<QWidget*>()) {
            if (c->window() != window || !c->isVisibleTo(window)) continue;
            // A line of text in a frame; wrapped text all its lines; a label or box all it
            // asks for; a caption whole.
            QSize need(0, c->fontMetrics().height() +
                              2 * c->style()->pixelMetric(QStyle::PM_DefaultFrameWidth));
            if (c->hasHeightForWidth())
                need = QSize(0, c->heightForWidth(c->width()));
            else if (qobject_cast<QLabel*>(c) || qobject_cast<QCheckBox*>(c))
                need = c->minimumSizeHint();
            else if (auto* b = qobject_cast<QPushButton*>(c))
                need.setWidth(c->fontMetrics().horizontalAdvance(b->text().remove(u'&')));
            else if (!qobject_cast<QLineEdit*>(c))
                continue;
            if (need.width() > c->width() || need.height() > c->height()) out << c->objectName();
        }
        return out;
    };
    frmSections d(*ui, w);
    d.show();
    frmAbout about(*ui, w);
    about.Form_Load();
    about.show();
    frmSplash splash(w);
    splash.show();
    const std::unique_ptr<frmMain> start(showStartWindow(*ui));
    for (QWidget* window :
         std::initializer_list<QWidget*>{w, &d, ui->showHtmlEditor(), &about, &splash, start.get()})
        EXPECT_EQ(cutOff(window), QStringList()) << window->objectName().toStdString();
}

TEST_F(Designer, AddOffersTheLowestFreeSlotAndCancelChangesNothing) {
    w->lstSections->setCurrentRow(0);
    EXPECT_EQ(runSectionDialog(-1, false),
              Prepared("Adding section ID 4", "New section", "Insert text here", 1, true));
    EXPECT_EQ(entries(w->lstSections).size(), 3);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_TRUE(w->cmdEdit->isEnabled()) << "a cancelled Add leaves the buttons alone";

    // With the second slot freed, the next Add takes it and lists the new section second.
    deleteRow(1);
    EXPECT_EQ(std::get<0>(runSectionDialog(-1)), "Adding section ID 2");
    EXPECT_EQ(entries(w->lstSections), QStringList({"header", "New section", "footer"}));
    EXPECT_EQ(slot(2), Slot("New section", "Insert text here", 1));
    EXPECT_TRUE(ws().IsDirty);
    EXPECT_FALSE(w->cmdEdit->isEnabled() || w->cmdDelete->isEnabled());
}

TEST_F(Designer, DeleteFreesTheSlotInPlaceAndEditWorksOnTheSlotOfTheEntry) {
    w->cmdEdit_Click(); // the buttons are disabled, but the handlers must still be safe
    w->cmdDelete_Click();
    ASSERT_EQ(prompter.texts(), QStringList({"No item selected!", "No item selected!"}));
    EXPECT_EQ(fields(prompter.last()), fields({"No item selected!", "Quillane"}));

    QTest::mouseClick(w->lstSections->viewport(), Qt::LeftButton, {},
                      w->lstSections->visualItemRect(w->lstSections->item(0)).center());
    ASSERT_TRUE(w->cmdDelete->isEnabled());
    prompter.answers = {MsgAnswer::No};
    w->cmdDelete->click();
    EXPECT_EQ(fields(prompter.last()),
              fields({"Are you sure that you want to delete the section 'header'?",
                      "Quillane Template designer", MsgIcon::Question, MsgButtons::YesNo}));
    EXPECT_EQ(entries(w->lstSections).size(), 3);
    EXPECT_FALSE(ws().IsDirty);

    deleteRow(0);
    EXPECT_EQ(entries(w->lstSections), QStringList({"content", "footer"}));
    EXPECT_TRUE(ws().SectionNames[1].isEmpty() && ws().SectionHtml[1].isEmpty());
    EXPECT_TRUE(ws().IsDirty);
    EXPECT_FALSE(w->cmdEdit->isEnabled() || w->cmdDelete->isEnabled());

    // Rows 0 and 1 are now slots 2 and 3; OK on an unchanged section still counts as a change.
    EXPECT_EQ(runSectionDialog(0),
              Prepared("Editing section ID 2", "content", "<p>Text</p>", 1, false));
    ws().IsDirty = false;
    EXPECT_EQ(runSectionDialog(1),
              Prepared("Editing section ID 3", "footer", "<hr>\r\n<p>Contact</p>", 0, false));
    EXPECT_TRUE(ws().IsDirty);
    EXPECT_FALSE(w->cmdEdit->isEnabled());

    runSectionDialog(1, true, [](frmSections& s) {
        s.txtSectionName->setText("foot");
        s.setHtml("<hr>");
        s.chkSectEditable->click();
    });
    EXPECT_EQ(slot(3), Slot("foot", "<hr>", 1));
    EXPECT_EQ(entries(w->lstSections), QStringList({"content", "foot"}));
}

// Only hand-made files hold flags other than 0 and 1: 2 shows greyed and is kept, larger ones
// show and are stored as not ticked.
TEST_F(Designer, EditKeepsTheGreyedFlagAndShowsLargerFlagsAsNotTicked) {
    dialog->choices = {writeFile(
        tmp, "flags.qtf",
        crlf({"#QT1#", "Flags", "#DEFAULTHTML#", "#ENDDEFAULTHTML#", "#STARTSECTION#", "grey",
              " 2 ", "g", "#STARTSECTION#", "odd", " 7 ", "o", "#STARTSECTION#"}))};
    w->mnuFIleOpen_Click();
    ASSERT_EQ(entries(w->lstSections), QStringList({"grey", "odd"}));
    for (const auto& [row, flag] : {std::pair(0, 2), std::pair(1, 0)}) {
        EXPECT_EQ(std::get<3>(runSectionDialog(row)), flag);
        EXPECT_EQ(ws().SectionEditable[row + 1], flag);
    }
}

TEST_F(Designer, OpenOfANonTemplateAsksAgainPresetToTheRefusedFileAndNewStartsOver) {
    const QString bad = writeFile(tmp, "notes.txt", "just some text\r\n");
    const QString good = writeFile(tmp, "other.qtf", threeSectionTemplate("Other look"));
    app.maxBusyDepth = 0;
    dialog->choices = {bad, good};
    QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(dialog->uses.size(), 2u);
    EXPECT_EQ(use(dialog->uses[0]),
              "open, Load a template..., Quillane template file|*.qtf, .qtf, , must exist, ");
    EXPECT_EQ(dialog->uses[1].fileName, bad);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.last().text, "This file is not a Quillane file!");
    EXPECT_EQ(prompter.last().title, "Quillane template designer");
    EXPECT_EQ(w->txtTemplate->text(), "Other look");
    EXPECT_EQ(ws().CurrentFile, good);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_GE(app.maxBusyDepth, 1);

    // Fault: a refused file then Cancel left the refused file current, and Save wrote over it.
    dialog->choices = {bad, ""};
    QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    dialog->choices = {""};
    EXPECT_FALSE(w->mnuFileSave_Click());
    EXPECT_TRUE(dialog->uses.back().save);
    EXPECT_EQ(readBytes(bad), "just some text\r\n");

    w->txtTemplate->setText("Edited");
    prompter.answers = {MsgAnswer::No};
    QTest::keyClick(w, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(w->txtTemplate->text(), "Default template");
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_EQ(ws().lastSlot(), 4);

    // Regression: No, then a cancelled dialog, left the edits on screen marked as saved.
    w->txtTemplate->setText("Edited again");
    prompter.answers = {MsgAnswer::No};
    dialog->choices = {""};
    QTest::keyClick(w, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(w->txtTemplate->text(), "Edited again");
    EXPECT_TRUE(ws().IsDirty);
}

TEST_F(Designer, SaveOfANeverSavedTemplateAsksWhereThenWritesTheFormatExactly) {
    dialog->choices = {""};
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialog->uses.size(), 1u);
    EXPECT_EQ(use(dialog->uses[0]),
              "save, Save a template..., Quillane template file|*.qtf, .qtf, , , ask to replace");
    EXPECT_TRUE(ws().CurrentFile.isEmpty());
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(QDir(programFolder).entryList(QDir::Files), QStringList({"default.qtf"}));

    QDir().mkpath(tmp.filePath("my site"));
    const QString path = tmp.filePath(QString::fromUtf8("my site/Tëmplate ünïcode.qtf"));
    w->txtTemplate->setText(QString::fromUtf8("Caf\u00e9 look"));
    deleteRow(1);
    dialog->choices = {path};
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ws().CurrentFile, path);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_EQ(readBytes(path),
              crlf({"#QT1#", "Caf\xe9 look", "#DEFAULTHTML#", "<html><title>::title::</title>",
                    "<body>::header::::content::::footer::</body></html>", "#ENDDEFAULTHTML#",
                    "#STARTSECTION#", "header", " 1 ", "<h1>Head</h1>", "#STARTSECTION#", "footer",
                    " 0 ", "<hr>", "<p>Contact</p>", "#STARTSECTION#"}));

    // Save now writes to the same file without asking.
    w->rtxDefaultHTML->setText("<p>\r\nx");
    ASSERT_TRUE(ws().IsDirty);
    QTest::keyClick(w, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(dialog->uses.size(), 2u);
    EXPECT_FALSE(ws().IsDirty);
    EXPECT_TRUE(readBytes(path).contains("#DEFAULTHTML#\r\n<p>\r\nx\r\n#ENDDEFAULTHTML#"));

    // Fault: a failed write must be reported, keep the file current and the template changed.
    writeFile(tmp, "plainfile", "x");
    const QString bad = tmp.filePath("plainfile/site.qtf"); // its folder is a file
    w->txtTemplate->setText("Changed");
    dialog->choices = {bad};
    EXPECT_FALSE(w->mnuFileSaveAs_Click());
    ASSERT_EQ(prompter.shown.size(), 2u); // after the question of the Delete
    EXPECT_TRUE(prompter.last().text.startsWith("Could not save '" + bad + "':\r\n"));
    EXPECT_EQ(prompter.last().icon, MsgIcon::Exclamation);
    EXPECT_EQ(ws().CurrentFile, path);
    EXPECT_TRUE(ws().IsDirty);
}

// Exit, a close from the window manager (the window has no close button of its own) and the
// switch to the HTML editor all ask to save changes first.
TEST_F(Designer, LeavingAsksToSaveChanges) {
    enum Via { Exit, Close, Change };
    enum Then { Stays, Ends, Switches };
    struct Case {
        const char* name;
        Via via;
        bool edit;
        MsgAnswer answer;
        const char* saveChoice; // the Save As dialog's answer after Yes
        Then then;
    };
    const Case cases[] = {
        {"unchanged", Exit, false, MsgAnswer::Cancel, nullptr, Ends},
        {"cancel", Exit, true, MsgAnswer::Cancel, nullptr, Stays},
        {"no", Exit, true, MsgAnswer::No, nullptr, Ends},
        {"yes, save dialog cancelled", Exit, true, MsgAnswer::Yes, "", Stays},
        {"close, cancel", Close, true, MsgAnswer::Cancel, nullptr, Stays},
        {"close, no", Close, true, MsgAnswer::No, nullptr, Ends},
        {"switch, cancel", Change, true, MsgAnswer::Cancel, nullptr, Stays},
        {"switch, no", Change, true, MsgAnswer::No, nullptr, Switches},
        {"yes, saved", Exit, true, MsgAnswer::Yes, "saved.qtf", Ends}, // last: it writes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        if (c.edit) QTest::keyClicks(w->txtTemplate, "!");
        prompter.answers = {c.answer};
        if (c.saveChoice) dialog->choices = {*c.saveChoice ? tmp.filePath(c.saveChoice) : ""};
        if (c.via == Close)
            EXPECT_EQ(w->close(), c.then == Ends);
        else
            (c.via == Exit ? w->mnuFileExit : w->mnuChange)->trigger();
        ASSERT_EQ(prompter.shown.size(), c.edit ? 1u : 0u);
        if (c.edit) {
            EXPECT_EQ(fields(prompter.last()),
                      fields({"Do you want to save your changes to Default template!?", "Quillane",
                              MsgIcon::Question, MsgButtons::YesNoCancel}));
        }
        EXPECT_EQ(ui->ending(), c.then == Ends);
        EXPECT_EQ(w->isVisible(), c.then == Stays);
        EXPECT_EQ(ui->designer() == w, c.then != Switches);
        EXPECT_EQ(ui->htmlEditor() && ui->htmlEditor()->isVisible(), c.then == Switches);
        EXPECT_EQ(QFile::exists(tmp.filePath("saved.qtf")), c.saveChoice && *c.saveChoice);
        QCoreApplication::processEvents(); // lets a window that was switched from go
    }
}

TEST_F(Designer, PreviewWritesTheDefaultHtmlAsItStandsOrReportsWhyNot) {
    const QString path = QDir(programFolder).filePath("temp.htm");
    const std::pair<QString, QByteArray> cases[] = {
        {"<meta charset=\"utf-8\">\r\n<p>::title:: \u00e9</p>",
         "<meta charset=\"utf-8\">\r\n<p>::title:: \xc3\xa9</p>\r\n"},
        {"<p>caf\u00e9</p>", "<p>caf\xe9</p>\r\n"}, // no charset: Windows-1252
        {"", "\r\n"},
    };
    for (const auto& [html, bytes] : cases) {
        w->rtxDefaultHTML->setText(html);
        ws().IsDirty = false;
        w->cmdPreview->click();
        EXPECT_EQ(readBytes(path), bytes);
        EXPECT_FALSE(ws().IsDirty);
    }
    EXPECT_EQ(previewsOpened, QStringList({path, path, path}));
    EXPECT_TRUE(prompter.shown.empty());

    // Where the program's folder cannot take the page, the cache folder does.
    previewsOpened.clear();
    ui->session().programFolder = tmp.filePath("gone");
    EXPECT_TRUE(w->cmdPreview_Click());
    const QString cacheRoot = tmp.filePath("home/.qttest");
    const QString cached =
        QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath("temp.htm");
    ASSERT_TRUE(cached.startsWith(cacheRoot));
    EXPECT_EQ(previewsOpened, QStringList({cached}));
    EXPECT_EQ(readBytes(cached), "\r\n");

    // Neither folder can take it.
    QDir(cacheRoot).removeRecursively();
    writeFile(tmp, "home/.qttest", "in the way");
    EXPECT_FALSE(w->cmdPreview_Click());
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(prompter.last().text.startsWith("Could not write the preview page '"));
    EXPECT_TRUE(prompter.last().text.contains("temp.htm':\r\n"));
    EXPECT_EQ(previewsOpened.size(), 1);
    EXPECT_FALSE(ws().IsDirty);
}

TEST_F(Designer, AboutBoxTitleIsCompletedOncePerOpening) {
    QStringList titles;
    const auto look = [&](QDialog& d) {
        auto& box = static_cast<frmAbout&>(d);
        titles << box.lblTitle->text();
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
    EXPECT_EQ(titles, QStringList(2, "Quillane 0.1.2 (compiled March 13, 2004)"));
    EXPECT_EQ(sysInfoStarts, 2);
    ASSERT_EQ(prompter.shown.size(), 1u) << "only the first start failed";
    EXPECT_EQ(fields(prompter.last()),
              fields({"System Information Is Unavailable At This Time", "Quillane"}));
}

using DesignerCommandLine = UiTest;

// quillane /T:<file>: a template opens in the designer; anything else ends the program.
TEST_F(DesignerCommandLine, OpensATemplateOrEndsTheProgram) {
    for (const bool readable : {true, false}) {
        SCOPED_TRACE(readable);
        restart();
        const QString path = readable ? writeFile(tmp, "site.qtf", threeSectionTemplate("From /T"))
                                      : tmp.filePath("missing.qtf");
        Main(*ui, "/T:" + path);
        frmTemplates* d = ui->designer();
        EXPECT_EQ(d && d->isVisible(), readable);
        EXPECT_EQ(ui->ending(), !readable);
        if (readable) {
            EXPECT_EQ(d->txtTemplate->text(), "From /T");
            EXPECT_TRUE(ws().CurrentFile.isEmpty());
            EXPECT_FALSE(ws().IsDirty);
            EXPECT_TRUE(prompter.shown.empty());
            // The first Save asks where, starting at the file that was opened.
            dialog->choices = {""};
            d->mnuFileSave->trigger();
            ASSERT_EQ(dialog->uses.size(), 1u);
            EXPECT_EQ(dialog->uses[0].fileName, path);
            continue;
        }
        ASSERT_EQ(prompter.shown.size(), 2u); // the reader's report, then ours
        EXPECT_TRUE(prompter.shown[0].text.startsWith("Error parsing file '" + path + "':"));
        EXPECT_EQ(fields(prompter.shown[1]),
                  fields({"Invalid file passed to Quillane! Learn how to use files!", "ERROR!",
                          MsgIcon::Critical}));
    }
}

} // namespace
} // namespace quillane::test
