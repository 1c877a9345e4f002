// SPDX-License-Identifier: GPL-3.0-or-later
// The HTML editor window: its keyboard, the section list, the batch build in the window, and
// what both editors ask before they are left.

#include "build/console_batch.h"
#include "ui_fixture.h"

#include <QEventLoop>
#include <QMenuBar>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace quillane::test {
namespace {

const QString kCaption = "HTML Editor.... Where templates are applied!";

class HtmlEditor : public UiTest {
protected:
    frmHTMLEditor* open(const QString& path) {
        frmHTMLEditor* w = ui->showHtmlEditor();
        dialog->choices = {path};
        w->mnuFIleOpen_Click();
        EXPECT_EQ(ws().CurrentFile, path);
        return w;
    }
    // The designer or the HTML editor, and the field that names its template or document.
    QMainWindow* editor(bool html) {
        return html ? static_cast<QMainWindow*>(ui->showHtmlEditor()) : ui->showDesigner();
    }
    static QLineEdit* nameField(QMainWindow* w) {
        return w->findChild<QLineEdit*>(qobject_cast<frmHTMLEditor*>(w) ? "txtTitle"
                                                                        : "txtTemplate");
    }
};

// Tab follows the designed order; Enter opens the focused entry of the list as a double click
// does, presses a focused button, and in either text box builds the page.
TEST_F(HtmlEditor, TheKeyboardReachesEveryControlAndEnterBuildsThePage) {
    frmHTMLEditor* w = open(examplePath);
    EXPECT_EQ(tabCycle(w->txtTitle, 5), QStringList({"txtTitle", "lstSections", "txtOutput",
                                                     "cmdChangeOutput", "cmdBuild", "txtTitle"}));

    modalSteps.push_back([](QDialog& d) { EXPECT_EQ(d.windowTitle(), "Editing section ID 1"); });
    w->lstSections->setFocus();
    w->lstSections->setCurrentRow(0, QItemSelectionModel::NoUpdate); // focused, not selected
    QTest::keyClick(w->lstSections, Qt::Key_Return);
    EXPECT_TRUE(modalSteps.empty());

    dialog->choices = {""};
    w->cmdChangeOutput->setFocus();
    QTest::keyClick(w->cmdChangeOutput, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dialog->uses.back().dialogTitle, "Choose where to output file...");

    const QString page = tmp.filePath("index.htm");
    for (QLineEdit* box : {w->txtTitle, w->txtOutput}) {
        QFile::remove(page);
        QTest::keyClick(box, Qt::Key_Return);
        EXPECT_EQ(readBytes(page), "<h1>My first page</h1>\r\n<p>Hello</p>\r\n<hr>\r\n"
                                   "<p>Contact</p>\r\n\r\n")
            << box->objectName().toStdString();
    }
    EXPECT_EQ(w->lblStatus->text(), "Built: " + native(page) + " was written.");
    EXPECT_EQ(told(), "");
}

// The menu bars as the user finds them: each command under its name, caption and shortcut, in
// order (separators by name alone), and no access key twice in one menu. Regression: F5 could
// go from File > Preview page unnoticed.
TEST_F(HtmlEditor, EveryMenuCommandHasItsCaptionAndShortcut) {
    const auto menus = [](QMainWindow* w) {
        QStringList items;
        std::function<void(const QList<QAction*>&)> walk = [&](const QList<QAction*>& actions) {
            QString keys;
            for (const QAction* a : actions) {
                const QString text = QString(a->text()).remove("&&");
                if (const qsizetype at = text.indexOf(u'&'); at >= 0) {
                    EXPECT_FALSE(keys.contains(text[at + 1].toLower())) << text.toStdString();
                    keys += text[at + 1].toLower();
                }
                items << QStringList{a->menu() ? a->menu()->objectName() : a->objectName(),
                                     a->text(), a->shortcut().toString()}
                             .join(u'|');
                if (a->menu()) walk(a->menu()->actions());
            }
        };
        walk(w->menuBar()->actions());
        return items.join(u'\n').replace(QString(12, u' '), "(12 spaces)");
    };
    EXPECT_EQ(menus(ui->showDesigner()),
              "mnuFile|&File|\nmnuFileNew|&New|Ctrl+N\n"
              "mnuFileNewPage|New &page from this template|Ctrl+Shift+N\n"
              "mnuFIleOpen|&Open...|Ctrl+O\nmnuFileRecent|Open r&ecent|\nmnuFileBar1||\n"
              "mnuFileSave|&Save|Ctrl+S\nmnuFileSaveAs|Save &As...|F12\nmnuFileBar2||\n"
              "mnuFileRebuild|&Rebuild pages using this template...|Ctrl+B\nmnuFileBar3||\n"
              "mnuFileExit|E&xit|\nmnuHelp|&Help|\nmnuHelpAbout|&About Quillane|\n"
              "mnuSpaces|(12 spaces)|\nmnuChange|CHANGE TO HTML EDITOR|");
    EXPECT_EQ(menus(ui->showHtmlEditor()),
              "mnuFile|&File|\nmnuFileNew|&New|Ctrl+N\n"
              "mnuFileNewFromTemplate|New from &template...|Ctrl+Shift+N\n"
              "mnuFIleOpen|&Open...|Ctrl+O\nmnuFileRecent|Open r&ecent|\n"
              "mnuFileChange|&Change template...|F2\n"
              "mnuFileEditTemplate|E&dit this page's template|Ctrl+T\nmnuFileBar1||\n"
              "mnuFileSave|&Save|Ctrl+S\nmnuFileSaveAs|Save &As...|F12\nmnuFileBar2||\n"
              "mnuFilePreview|Pre&view page|F5\nmnuFileBatch|&Batch build...|\n"
              "mnuFileSitePages|Site &pages...|Ctrl+Shift+O\n"
              "mnuFileSiteSettings|S&ite settings...|\nmnuFileBar3||\nmnuFileExit|E&xit|\n"
              "mnuHelp|&Help|\nmnuHelpAbout|&About Quillane|\nmnuSpaces|(12 spaces)|\n"
              "mnuChange|CHANGE TO TEMPLATE DESIGNER|");
}

// Regression: Alt with a letter that was no access key (Alt+S meant for the batch's Stop button,
// hidden by then) typed the letter into the field and marked the document changed.
TEST_F(HtmlEditor, AltWithALetterTypesNothingAndAccessKeysStillWork) {
    frmHTMLEditor* w = open(examplePath);
    frmTemplates* d = ui->showDesigner();
    d->rtxDefaultHTML->setText("<p>");
    ws().IsDirty = false;
    for (QWidget* field : std::initializer_list<QWidget*>{w->txtTitle, d->rtxDefaultHTML}) {
        field->activateWindow();
        field->setFocus();
        QTest::keyClick(field, Qt::Key_S, Qt::AltModifier);
        QTest::keyClick(field, Qt::Key_5, Qt::AltModifier | Qt::ShiftModifier);
    }
    EXPECT_EQ(w->txtTitle->text() + d->rtxDefaultHTML->text(), "My first page<p>");
    EXPECT_FALSE(ws().IsDirty);
    QFile::remove(tmp.filePath("index.htm"));
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w->txtTitle, Qt::Key_B, Qt::AltModifier); // &Build HTML file
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(tmp.filePath("index.htm")); }));
}

// The list names the editable sections; a double click opens the one under the pointer, by its
// slot, in the section editor's content use, and what OK leaves is stored in that slot.
TEST_F(HtmlEditor, SectionEditShowsTheSlotNumberAndStoresTheHtml) {
    writeFile(tmp, "gaps.qtf",
              lines("#QT1#|Gaps|#DEFAULTHTML#|#ENDDEFAULTHTML#|#STARTSECTION#|a| 1 |A|"
                    "#STARTSECTION#|b| 0 |B|#STARTSECTION#|| 1 ||#STARTSECTION#|d| 1 |D|"
                    "#STARTSECTION#"));
    frmHTMLEditor* w =
        open(writeFile(tmp, "gaps.qht",
                       lines("#QH1#|Gaps|gaps.qtf|g.htm|#STARTSECTION#|a1|"
                             "#STARTSECTION#||#STARTSECTION#|d1|d2|#STARTSECTION#")));
    ASSERT_EQ(entries(w->lstSections), QStringList({"a", "d"}));
    modalSteps.push_back([](QDialog& d) {
        auto& s = static_cast<frmSections&>(d);
        EXPECT_EQ(QStringList({s.windowTitle(), s.lblDescription[0]->text(),
                               s.lblDescription[2]->text(), s.html()})
                      .join(" | "),
                  "Editing section ID 4 | Section name: d | HTML text to put in section: | "
                  "d1\r\nd2");
        EXPECT_TRUE(s.txtSectionName->isHidden() && s.chkSectEditable->isHidden() &&
                    s.cmdCancel->isHidden());
        s.setHtml("<p>New</p>");
        s.cmdOk->click();
    });
    QCoreApplication::processEvents(); // lets the list lay out its entries
    const QPoint p = w->lstSections->visualItemRect(w->lstSections->item(1)).center();
    QTest::mouseClick(w->lstSections->viewport(), Qt::LeftButton, {}, p);
    QTest::mouseDClick(w->lstSections->viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(ws().sections.SectionHtml[4], "<p>New</p>");
    EXPECT_TRUE(ws().IsDirty);
    EXPECT_TRUE(w->lstSections->selectedItems().isEmpty());
    w->lstSections_DblClick(); // nothing selected: nothing opens
    EXPECT_EQ(modalTitles.size(), 1);
}

// Regression: No to the save question, then a cancelled file dialog, left the edits on screen
// marked as saved, so the next New or Exit dropped them without asking.
TEST_F(HtmlEditor, NoThenACancelledDialogKeepsTheEditsUnsaved) {
    const std::pair<bool, const char*> commands[] = {{false, "mnuFIleOpen"},
                                                     {true, "mnuFIleOpen"},
                                                     {true, "mnuFileChange"},
                                                     {true, "mnuFileBatch"}};
    for (const auto& [html, command] : commands) {
        SCOPED_TRACE(command);
        restart();
        QMainWindow* w = editor(html);
        nameField(w)->setText("Edited");
        prompter.answers = {MsgAnswer::No};
        dialog->choices = {""};
        w->findChild<QAction*>(command)->trigger();
        EXPECT_EQ(nameField(w)->text(), "Edited");
        EXPECT_TRUE(ws().IsDirty);
        EXPECT_EQ(prompter.shown.size(), 1u);
    }
}

// Exit, a close from the window manager (neither window has a close button of its own) and the
// switch to the other editor all ask to save changes first; the switch opens the other window
// before it closes this one, so the program never runs out of windows.
TEST_F(HtmlEditor, LeavingAnEditorAsksToSaveChangesFirst) {
    enum Via { Exit, Close, Change };
    enum Then { Stays, Ends, Switches };
    // HTML editor, how, changed, the answer (a Yes saves, the designer's dialog is cancelled)
    const std::tuple<bool, Via, bool, MsgAnswer, Then> cases[] = {
        {false, Exit, false, MsgAnswer::Cancel, Ends},
        {false, Exit, true, MsgAnswer::Cancel, Stays},
        {false, Exit, true, MsgAnswer::No, Ends},
        {false, Exit, true, MsgAnswer::Yes, Stays},
        {false, Close, true, MsgAnswer::Cancel, Stays},
        {false, Close, true, MsgAnswer::No, Ends},
        {false, Change, true, MsgAnswer::No, Switches},
        {true, Exit, true, MsgAnswer::Yes, Ends},
        {true, Close, true, MsgAnswer::Cancel, Stays},
        {true, Close, true, MsgAnswer::Yes, Ends},
        {true, Change, true, MsgAnswer::Cancel, Stays},
        {true, Change, true, MsgAnswer::No, Switches},
    };
    for (const auto& [html, via, changed, answer, then] : cases) {
        SCOPED_TRACE(testing::Message() << html << via << changed << int(answer));
        restart();
        int lastWindowClosed = 0;
        const auto watch =
            QObject::connect(qApp, &QGuiApplication::lastWindowClosed, [&] { ++lastWindowClosed; });
        QMainWindow* w = html ? open(examplePath) : editor(false);
        if (changed) QTest::keyClicks(nameField(w), "!");
        prompter.answers = {answer};
        dialog->choices = {""};
        if (via == Close)
            EXPECT_EQ(w->close(), then == Ends);
        else
            w->findChild<QAction*>(via == Exit ? "mnuFileExit" : "mnuChange")->trigger();
        EXPECT_EQ(told(), !changed ? ""
                                   : "Do you want to save your changes to " +
                                         QString(html ? "My first page" : "Default template") +
                                         "!? | Quillane | question | Yes/No/Cancel");
        EXPECT_EQ(ui->ending(), then == Ends);
        EXPECT_EQ(w->isVisible(), then == Stays);
        QWidget* other = html ? static_cast<QWidget*>(ui->designer()) : ui->htmlEditor();
        EXPECT_EQ(other && other->isVisible(), then == Switches);
        EXPECT_EQ(lastWindowClosed, then == Switches ? 0 : lastWindowClosed);
        // Saved, the paths stay as the document had them: relative to its folder.
        EXPECT_EQ(readBytes(examplePath) == example("My first page!"),
                  html && answer == MsgAnswer::Yes);
        QObject::disconnect(watch);
        QCoreApplication::processEvents(); // lets a window that was switched from go
    }
}

// Site settings, keyboard only: Tab visits every field in order, Browse puts the chosen folder
// in relative, the choices change with the arrow keys, Escape asks to save what changed (Cancel
// stays), and Enter saves.
TEST_F(HtmlEditor, SiteSettingsAreEditedWithTheKeyboard) {
    frmHTMLEditor* w = open(examplePath);
    QDir().mkpath(tmp.filePath("css"));
    prompter.answers = {MsgAnswer::Yes, MsgAnswer::Cancel}; // make it here; then stay
    modalSteps.push_back([&](QDialog& d) {
        auto& s = static_cast<frmSiteSettings&>(d);
        EXPECT_EQ(tabCycle(s.txtOutput, 8),
                  QStringList({"txtOutput", "cmdBrowseOutput", "txtAssets", "cmdBrowseAssets",
                               "cboSubfolders", "cboLinks", "cboCheck", "cmdSave", "cmdCancel"}));
        EXPECT_EQ(s.lblFile->text(),
                  native(tmp.filePath("quillane-site.ini")) + " (new: written when you save)");
        dialog->choices = {tmp.filePath("css")};
        s.cmdBrowseAssets->setFocus();
        QTest::keyClick(s.cmdBrowseAssets, Qt::Key_Return);
        EXPECT_EQ(s.txtAssets->text(), "css");
        s.cboCheck->setFocus();
        QTest::keyClick(s.cboCheck, Qt::Key_Down);
        QTest::keyClick(&s, Qt::Key_Escape);
        EXPECT_TRUE(s.isVisible());
        s.txtOutput->selectAll();
        QTest::keyClicks(s.txtOutput, "www");
        QTest::keyClick(s.txtOutput, Qt::Key_Return);
        EXPECT_FALSE(s.isVisible());
    });
    w->mnuFileSiteSettings->trigger();
    EXPECT_TRUE(modalSteps.empty());
    EXPECT_EQ(prompter.shown.size(), 2u);
    const std::optional<SiteSettings> saved =
        readSiteFile(tmp.filePath("quillane-site.ini")).settings;
    ASSERT_TRUE(saved);
    EXPECT_EQ(QStringList({saved->output, saved->assets}),
              QStringList({tmp.filePath("www"), tmp.filePath("css")}));
    EXPECT_EQ(saved->check, SiteCheck::Strict);
}

// A page in a few keystrokes, by the shortcuts: Ctrl+Shift+N in the designer starts a page on
// its template; Ctrl+T goes back to the template; Ctrl+Shift+N in the HTML editor offers the
// templates used before; File > Open recent lists the documents.
TEST_F(HtmlEditor, APageTakesAFewKeystrokes) {
    const auto press = [](QWidget* field, Qt::KeyboardModifiers mods, Qt::Key key) {
        field->window()->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(field->window()));
        field->setFocus();
        QTest::keyClick(field, key, mods);
        QCoreApplication::processEvents();
    };
    frmTemplates* d = ui->showDesigner();
    dialog->choices = {tmp.filePath("plain.qtf")};
    d->mnuFIleOpen_Click();
    press(d->rtxDefaultHTML, Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_N);
    frmHTMLEditor* w = ui->htmlEditor();
    ASSERT_TRUE(w && !ui->designer());
    EXPECT_EQ(w->lblTemplate->text() + " " + w->txtTitle->text(),
              "Template used: Plain page Untitled HTML Document");

    press(w->txtTitle, Qt::ControlModifier, Qt::Key_T);
    d = ui->designer();
    ASSERT_TRUE(d && !ui->htmlEditor());
    EXPECT_EQ(d->txtTemplate->text() + " " + ws().CurrentFile,
              "Plain page " + tmp.filePath("plain.qtf"));

    d->mnuChange->trigger();
    w = ui->htmlEditor();
    modalSteps.push_back([&](QDialog& dlg) {
        auto& c = static_cast<frmChooseTemplate&>(dlg);
        EXPECT_EQ(entries(c.lstTemplates), QStringList{"plain.qtf  (" + native(tmp.path()) + ")"});
        EXPECT_EQ(c.lstTemplates->currentRow(), 0);
        QTest::keyClick(c.lstTemplates, Qt::Key_Return);
    });
    press(w->txtTitle, Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_N);
    EXPECT_TRUE(modalSteps.empty());
    EXPECT_EQ(ws().TemplatePath, tmp.filePath("plain.qtf"));

    open(examplePath);
    w->mnuFile->popup({}); // fills the list
    w->mnuFile->hide();
    const QList<QAction*> recent = w->mnuFileRecent->actions();
    ASSERT_EQ(recent.size(), 1);
    EXPECT_EQ(recent[0]->text(), "&1 example.qht (" + native(tmp.path()) + ")");
    w->txtTitle->setText("Changed");
    prompter.answers = {MsgAnswer::No};
    recent[0]->trigger();
    EXPECT_EQ(w->txtTitle->text(), "My first page");
}

// Site pages, keyboard only: Ctrl+Shift+O lists the folder's documents; typing filters them,
// Sort by sorts them, Ctrl+A and Build selected build the pages shown, and Enter in the filter
// opens the document of the row.
TEST_F(HtmlEditor, SitePagesAreFilteredAsYouTypeAndEnterOpensTheDocument) {
    for (const char* name : {"news", "about"})
        writeFile(
            tmp, QString(name) + ".qht",
            lines(QString("#QH1#|%1|plain.qtf|%1.htm|#STARTSECTION#|x|#STARTSECTION#").arg(name)));
    frmHTMLEditor* w = open(examplePath);
    modalSteps.push_back([&](QDialog& d) {
        auto& p = static_cast<frmSitePages&>(d);
        const auto rows = [&] {
            QStringList out;
            QAbstractItemModel* m = p.tblPages->model();
            for (int r = 0; r < m->rowCount(); ++r)
                out << m->index(r, 0).data().toString() + ":" +
                           m->index(r, SitePagesModel::Page).data().toString();
            return out.join(' ');
        };
        EXPECT_EQ(p.lblSite->text(), "Folder: " + native(tmp.path()) +
                                         " (no site file: its own "
                                         "documents only)");
        EXPECT_EQ(p.progress->lblStatus->text(), "3 templated documents: 3 missing");
        EXPECT_EQ(rows(), "about.qht:missing example.qht:missing news.qht:missing");
        QTest::keyClicks(p.txtFilter, "new");
        EXPECT_EQ(rows(), "news.qht:missing");
        QTest::keyClick(p.txtFilter, Qt::Key_Down);
        QTest::keyClick(p.tblPages, Qt::Key_A, Qt::ControlModifier);
        p.cmdBuild->setFocus();
        QTest::keyClick(p.cmdBuild, Qt::Key_Return);
        EXPECT_EQ(p.progress->lblStatus->text(), "Batch build finished: 1 built, 0 not built.");
        p.txtFilter->clear();
        p.cboSort->setFocus();
        for (int i = 0; i < 4; ++i) // to Page: the states by their weight
            QTest::keyClick(p.cboSort, Qt::Key_Down);
        EXPECT_EQ(rows(), "about.qht:missing example.qht:missing news.qht:up to date");
        QTest::keyClicks(p.txtFilter, "about");
        QTest::keyClick(p.txtFilter, Qt::Key_Return);
        EXPECT_FALSE(p.isVisible());
    });
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w->txtTitle, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(modalSteps.empty());
    EXPECT_EQ(ws().CurrentFile, tmp.filePath("about.qht"));
    EXPECT_TRUE(QFile::exists(tmp.filePath("news.htm")));
}

// The bytes at an address of the preview server, and their type, fetched as a browser would.
std::pair<QByteArray, QString> fetch(const QUrl& url) {
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.get(QNetworkRequest(url));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
    return {reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray(), type};
}

// F5 shows the document as it stands, at its own address in its site: the unsaved title, and
// the stylesheet it links to from the site's top, served beside it.
TEST_F(HtmlEditor, F5ShowsTheUnsavedPageInItsSiteWithItsStylesheet) {
    if (!kPreviewServer) GTEST_SKIP() << "built without the preview server (Qt HTTP Server)";
    QDir().mkpath(tmp.filePath("site/assets/css"));
    QDir().mkpath(tmp.filePath("site/blog"));
    writeFile(tmp, "site/quillane-site.ini", "[site]\noutput = public\nassets = assets\n");
    writeFile(tmp, "site/assets/css/a.css", "h1 { color: teal }");
    writeFile(tmp, "site/t.qtf",
              lines("#QT1#|T|#DEFAULTHTML#|<link rel=\"stylesheet\" href=\"/css/a.css\">"
                    "<h1>::title::</h1>|#ENDDEFAULTHTML#|#STARTSECTION#"));
    const QString doc = writeFile(
        tmp, "site/blog/p.qht", lines("#QH1#|Post|../t.qtf|../public/blog/p.html|#STARTSECTION#"));
    // The site built once: its page, the page's folder and the site's assets.
    std::FILE* out = std::tmpfile();
    ASSERT_EQ(runConsoleBatch(tmp.filePath("site"), out, out), 0);
    std::fclose(out);
    frmHTMLEditor* w = open(doc);
    QTest::keyClicks(w->txtTitle, " unsaved");
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::keyClick(w, Qt::Key_F5);
    ASSERT_EQ(pagesOpened.size(), 1) << told().toStdString();
    const QUrl url(pagesOpened[0]);
    EXPECT_EQ(url.path(), "/blog/p.html");
    const auto [page, type] = fetch(url);
    EXPECT_TRUE(page.contains("<link rel=\"stylesheet\" href=\"../css/a.css\"><h1>Post "
                              "unsaved</h1>"));
    EXPECT_EQ(type, "text/html; charset=windows-1252");
    EXPECT_EQ(fetch(url.resolved(QUrl("../css/a.css"))),
              std::make_pair(QByteArray("h1 { color: teal }"), QString("text/css; charset=utf-8")));
    EXPECT_FALSE(readBytes(tmp.filePath("site/public/blog/p.html")).contains("unsaved"));
}

class Batch : public HtmlEditor {
protected:
    QString folder = tmp.filePath("site") + u'/'; // ends with a separator
    void SetUp() override {
        HtmlEditor::SetUp();
        QDir().mkpath(folder);
    }
    void addDoc(const QString& name, const QString& output) {
        writeFile(tmp, "site/" + name,
                  lines("#QH1#|" + name + "|../plain.qtf|" + output +
                        "|#STARTSECTION#|x|#STARTSECTION#"));
    }
    void batch(frmHTMLEditor* w) {
        dialog->choices = {folder + "any name.qht"};
        w->mnuFileBatch_Click();
    }
};

// While the batch runs the caption names each document, the status line and the progress bar
// follow it under the busy pointer, and every command but Stop is refused; afterwards the
// status line says what was done and the window is as before.
TEST_F(Batch, BuildsEachDocumentOfTheFolderThroughTheWindow) {
    for (const char* name : {"a.qht", "b.qht"})
        addDoc(name, "a.htm");
    writeFile(tmp, "site/bad.qht", "not a document\r\n");
    frmHTMLEditor* w = ui->showHtmlEditor();
    QStringList captions;
    QObject::connect(w, &QWidget::windowTitleChanged, [&](const QString& t) { captions << t; });
    bool refusedWhileRunning = false;
    prompter.onShow = [&](const Message&) {
        const QCursor* pointer = QApplication::overrideCursor();
        if (w->batchRunning())
            refusedWhileRunning = w->batchRunning() && !w->mnuFileSave->isEnabled() &&
                                  !w->mnuChange->isEnabled() && !w->cmdBuild->isEnabled() &&
                                  w->txtTitle->isReadOnly() && w->prgBatch->isVisible() &&
                                  w->prgBatch->maximum() == 3 && w->cmdStopBatch->isVisible() &&
                                  !w->mnuFileSave_Click() &&
                                  w->lblStatus->text().endsWith(" of 3: bad.qht") && pointer &&
                                  pointer->shape() == Qt::WaitCursor;
    };
    batch(w);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(describe(prompter.shown[0]), "This file is not a Quillane TEMPLATED-HTML file! | "
                                           "Quillane HTML Editor | exclamation | OK");
    // Afterwards, what /B: would print: the message again, and the two documents' one page.
    const QString report = prompter.shown[1].text;
    EXPECT_TRUE(report.startsWith("The batch build reported:\r\n"));
    EXPECT_TRUE(report.contains(folder + "bad.qht: Quillane HTML Editor: This file is not a "
                                         "Quillane TEMPLATED-HTML file!"));
    EXPECT_TRUE(report.contains("' is also the output of '" + folder));
    EXPECT_TRUE(refusedWhileRunning);
    EXPECT_EQ(captions.takeLast(), kCaption);
    captions.sort(); // in the folder's order
    EXPECT_EQ(captions, QStringList({native(folder + "a.qht"), native(folder + "b.qht"),
                                     native(folder + "bad.qht")}));
    EXPECT_EQ(w->lblStatus->text(), "Batch build finished: 2 built, 1 not built.");
    EXPECT_FALSE(w->prgBatch->isVisible() || w->cmdStopBatch->isVisible());
    EXPECT_TRUE(w->mnuFileSave->isEnabled() && w->cmdBuild->isEnabled());
    EXPECT_FALSE(w->txtTitle->isReadOnly());
}

#ifndef _WIN32 // a name that is not valid UTF-8 cannot be made where names are UTF-16
// The status line counts the documents whose outputs the user refused, and names those whose
// names cannot be read, as not built.
TEST_F(Batch, AsksOnceBeforeWritingOtherFilesThanPagesAndCountsUnreadableNames) {
    addDoc("page.qht", "page.htm");
    addDoc("notes.qht", "notes.txt");
    const QByteArray cafe = QFile::encodeName(folder) + "caf\xE9.qht";
    ::close(::open(cafe, O_CREAT | O_WRONLY, 0600));
    const QString misnamed = " This name is not valid UTF-8; rename the file to build it: "
                             "caf\\xE9.qht";
    const std::tuple<MsgAnswer, QString, int> runs[] = {
        {MsgAnswer::Cancel, "Batch build cancelled: nothing was built.", 0},
        {MsgAnswer::No, "Batch build finished: 1 built, 2 not built." + misnamed, 2},
        // page.htm is as the run before built it: counted, not written again.
        {MsgAnswer::Yes, "Batch build finished: 2 built (1 unchanged), 1 not built." + misnamed, 1},
    };
    frmHTMLEditor* w = ui->showHtmlEditor();
    for (const auto& [answer, status, reported] : runs) {
        prompter.answers = {answer};
        batch(w);
        // The question, then what the batch reported: the refused output, the name.
        ASSERT_EQ(prompter.shown.size(), reported ? 2u : 1u);
        if (reported) {
            EXPECT_EQ(prompter.shown[1].text.count("\r\n"), reported);
        }
        prompter.shown.clear();
        EXPECT_EQ(w->lblStatus->text(), status);
    }
    ::unlink(cafe);
}
#endif

// The Stop button stops the batch after the current document; so does the window manager's
// close, which leaves the window open. An empty folder builds nothing.
TEST_F(Batch, StopsAfterTheCurrentDocumentAndSaysWhatItDid) {
    for (int i = 0; i < 5; ++i)
        addDoc(QString("p%1.qht").arg(i), QString("p%1.htm").arg(i));
    frmHTMLEditor* w = ui->showHtmlEditor();
    for (const int stopAt : {1, 2}) { // the second run finds p0.htm built by the first
        int started = 0;
        const auto watch = QObject::connect(w, &QWidget::windowTitleChanged, [&](const QString& t) {
            if (!t.startsWith(native(folder)) || ++started != stopAt) return;
            if (stopAt == 1)
                QTest::mouseClick(w->cmdStopBatch, Qt::LeftButton);
            else
                EXPECT_FALSE(w->close());
            EXPECT_TRUE(w->lblStatus->text().endsWith(" (stopping...)"));
        });
        batch(w);
        QObject::disconnect(watch);
        EXPECT_EQ(w->lblStatus->text(),
                  QString("Batch build stopped after %1 of 5 documents: %1 built%2, 0 not built.")
                      .arg(stopAt)
                      .arg(stopAt == 2 ? " (1 unchanged)" : ""));
    }
    EXPECT_TRUE(w->isVisible() && !ui->ending());
    EXPECT_EQ(told(), "");

    folder = tmp.filePath("empty/");
    QDir().mkpath(folder);
    batch(w);
    EXPECT_EQ(w->lblStatus->text(), "Batch build: no templated documents in '" + folder + "'.");
}

} // namespace
} // namespace quillane::test
