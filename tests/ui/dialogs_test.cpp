// The section editor, the file dialog and the HTML field on their own.

#include "ui_fixture.h"

#include "ui/code_editor.h"
#include "ui/file_dialog.h"
#include "ui/section_editor.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace quillane::test {
namespace {

using SectionDialog = UiTest;

TEST_F(SectionDialog, EscapeAndTheWindowManagerCancelOnlyWhereCancelIsShown)
{
    { // Add use: Escape is Cancel.
        frmSections d(*ui);
        d.show();
        QTest::keyClick(&d, Qt::Key_Escape);
        EXPECT_FALSE(d.isVisible());
        EXPECT_EQ(d.result, "cancel");
    }
    { // Add use: a close from the window manager is Cancel too.
        frmSections d(*ui);
        d.show();
        EXPECT_TRUE(d.close());
        EXPECT_EQ(d.result, "cancel");
    }
    { // Enter in the name field closes nothing.
        frmSections d(*ui);
        d.show();
        d.txtSectionName->setFocus();
        QTest::keyClick(d.txtSectionName, Qt::Key_Return);
        EXPECT_TRUE(d.isVisible());
    }
    { // Edit use: no Cancel, so Escape does nothing and a close counts as OK...
        frmSections d(*ui);
        d.cmdCancel->hide();
        d.show();
        QTest::keyClick(&d, Qt::Key_Escape);
        EXPECT_TRUE(d.isVisible());
        d.txtSectionName->setText("kept");
        EXPECT_TRUE(d.close());
        EXPECT_TRUE(d.result.isEmpty());
        EXPECT_EQ(d.sectionName(), "kept");
    }
    { // ...which still refuses the reserved name.
        frmSections d(*ui);
        d.cmdCancel->hide();
        d.txtSectionName->setText("title");
        d.show();
        EXPECT_FALSE(d.close());
        EXPECT_TRUE(d.isVisible());
        EXPECT_EQ(prompter.last().title, "Section Editor");
    }
}

TEST_F(SectionDialog, ContentUseShowsOnlyTheHtmlAndOk)
{
    frmSections d(*ui);
    d.setWindowTitle("Editing section ID 3");
    d.lblDescription[0]->setText("Section name: body");
    d.lblDescription[2]->setText("HTML text to put in section:");
    d.setHtml("<p>old</p>");
    d.cmdCancel->hide();
    d.chkSectEditable->hide();
    d.txtSectionName->hide();
    d.show();
    QStringList visible;
    for (QWidget* c : d.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (c->isVisible()) visible << c->objectName() + u':' + c->property("Index").toString();
    visible.sort();
    EXPECT_EQ(visible, QStringList({"cmdOk:", "lblDescription:0", "lblDescription:2", "rtxDefaultHTML:"}));
    EXPECT_GE(d.lblDescription[0]->width(), d.lblDescription[0]->sizeHint().width());
    d.cmdOk->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.html(), "<p>old</p>");
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(SectionDialog, NeverSmallerThanItsMinimumAndLaidOutByTheMargins)
{
    frmSections d(*ui);
    d.show();
    d.resize(50, 50);
    QCoreApplication::processEvents();
    const QSize outer = d.frameGeometry().size();
    EXPECT_EQ(outer, QSize(twips(&d, 5865), twips(&d, 4260)));
    // At the minimum: editor 2025 high, check box at 2850, buttons at 3120.
    const int W = fromPixels(&d, outer.width()), H = fromPixels(&d, outer.height());
    EXPECT_EQ(d.rtxDefaultHTML->size(), QSize(twips(&d, W - 330), twips(&d, H - 2235)));
    EXPECT_EQ(d.chkSectEditable->y(), twips(&d, H - 1410));
    EXPECT_EQ(d.cmdOk->y(), twips(&d, H - 1140));
    EXPECT_EQ(d.cmdCancel->pos(), QPoint(twips(&d, W - 2145), twips(&d, H - 1140)));
    EXPECT_EQ(d.txtSectionName->width(), twips(&d, W - 1410));
    EXPECT_FALSE(d.cmdOk->autoDefault() || d.cmdCancel->autoDefault() || d.cmdOk->isDefault());
}

TEST(CodeEditorText, ComesBackExactlyAndEveryChangeIsReported)
{
    CodeEditor e;
    QSignalSpy changed(&e, &QsciScintilla::textChanged);
    const QString samples[] = {
        "",
        "a\r\nb",
        "lone\nfeed\rand return\r\n",
        QString::fromUtf8("caf\u00e9 \u20ac \xF0\x9F\x98\x80 \u4e2d"),
        QString::fromUtf8("zero\0inside", 11),
    };
    for (const QString& s : samples) {
        e.setText(s);
        EXPECT_EQ(e.text(), s) << s.toStdString();
    }
    EXPECT_GE(changed.count(), 4);

    e.setText("");
    changed.clear();
    e.show();
    QTest::keyClicks(&e, "ab");
    QTest::keyClick(&e, Qt::Key_Return);
    EXPECT_EQ(e.text(), "ab\r\n");
    EXPECT_EQ(changed.count(), 3);
}

TEST(FileDialogFilter, BecomesQtNameFilters)
{
    const std::pair<QString, QStringList> cases[] = {
        {"Quillane template file|*.qtf", {"Quillane template file (*.qtf)"}},
        {"HTML Files|*.htm;*.html", {"HTML Files (*.htm *.html)"}},
        {"A|*.a|B|*.b;*.c", {"A (*.a)", "B (*.b *.c)"}},
        {"", {}},
    };
    for (const auto& [filter, expected] : cases) EXPECT_EQ(qtNameFilters(filter), expected) << filter.toStdString();
}

// The real dialog, answered by a timer while it runs.
class FileDialog : public UiTest {
protected:
    QtFileDialog dlg{nullptr};

    void useForOpen()
    {
        dlg.dialogTitle = "Load a template...";
        dlg.filter = "Quillane template file|*.qtf";
        dlg.defaultExt = ".qtf";
        dlg.pathMustExist = true;
        dlg.overwritePrompt = false;
    }
    void useForSave()
    {
        dlg.dialogTitle = "Save a template...";
        dlg.pathMustExist = false;
        dlg.overwritePrompt = true;
    }
    static void type(QFileDialog* d, const QString& name)
    {
        d->findChild<QLineEdit*>("fileNameEdit")->setText(name);
    }
};

TEST_F(FileDialog, OpenAddsTheDefaultExtensionAndStartsFromAPresetInAMissingFolder)
{
    useForOpen();
    QDir().mkpath(tmp.filePath("sites"));
    dlg.fileName = tmp.filePath("sites/gone/old.qtf");
    QString seenFolder, seenTitle;
    QStringList seenFilters;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        seenFolder = d->directory().absolutePath();
        seenTitle = d->windowTitle();
        seenFilters = d->nameFilters();
        type(d, "new");
        QMetaObject::invokeMethod(d, "accept");
    });
    dlg.showOpen();
    EXPECT_EQ(seenFolder, tmp.filePath("sites"));
    EXPECT_EQ(seenTitle, "Load a template...");
    EXPECT_EQ(seenFilters, QStringList({"Quillane template file (*.qtf)"}));
    EXPECT_EQ(dlg.fileName, tmp.filePath("sites/new.qtf"));
    EXPECT_EQ(dlg.fileTitle, "new.qtf");
}

TEST_F(FileDialog, OpenRefusesAMissingFolderAndCancelEmptiesTheName)
{
    useForOpen();
    dlg.fileName = tmp.filePath("kept.qtf");
    QString warning;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        type(d, tmp.filePath("nowhere/x.qtf"));
        whenModal<QMessageBox>([&, d](QMessageBox* box) {
            warning = box->text();
            box->button(QMessageBox::Ok)->click();
            whenModal<QFileDialog>([](QFileDialog* again) { again->reject(); });
            Q_UNUSED(d);
        });
        QMetaObject::invokeMethod(d, "accept");
    });
    dlg.showOpen();
    EXPECT_TRUE(warning.contains("does not exist")) << warning.toStdString();
    EXPECT_TRUE(dlg.fileName.isEmpty());
    EXPECT_TRUE(dlg.fileTitle.isEmpty());
    // Settings a use does not set stay as the previous use left them.
    EXPECT_EQ(dlg.dialogTitle, "Load a template...");
    EXPECT_EQ(dlg.filter, "Quillane template file|*.qtf");
}

TEST_F(FileDialog, SaveAsksBeforeReplacingAFile)
{
    useForOpen();
    useForSave();
    const QString existing = writeFile(tmp, "site.qtf", "old");
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace);
        dlg.fileName = existing;
        bool asked = false;
        whenModal<QFileDialog>([&](QFileDialog* d) {
            whenModal<QMessageBox>([&, d](QMessageBox* box) {
                asked = true;
                box->button(replace ? QMessageBox::Yes : QMessageBox::No)->click();
                if (!replace) d->reject();
            });
            QMetaObject::invokeMethod(d, "accept");
        });
        dlg.showSave();
        EXPECT_TRUE(asked);
        EXPECT_EQ(dlg.fileName, replace ? existing : QString());
        EXPECT_EQ(readBytes(existing), "old") << "the dialog itself writes nothing";
    }
}

} // namespace
} // namespace quillane::test
