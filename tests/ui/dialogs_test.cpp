// The section editor, the file dialog and the HTML field on their own.

#include "ui/code_editor.h"
#include "ui/file_dialog.h"
#include "ui/section_editor.h"
#include "ui/theme.h"
#include "ui_fixture.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <Qsci/qscilexerhtml.h>

namespace quillane::test {
namespace {

using SectionDialog = UiTest;

// The section editor closes only through its buttons. Escape and a close from the window
// manager are Cancel where Cancel is shown; without it Escape does nothing and a close is OK.
// OK refuses the reserved name only. Enter belongs to the fields.
TEST_F(SectionDialog, ClosesOnlyThroughItsButtons) {
    enum Action { Escape, EscapeInHtml, Enter, EnterOnOk, Close, Ok };
    struct Case {
        const char* name;
        bool cancelShown;
        Action action;
        const char *sectionName, *result;
        bool closes;
    };
    const Case cases[] = {
        {"escape is cancel", true, Escape, "x", "cancel", true},
        {"escape in the HTML field is cancel", true, EscapeInHtml, "x", "cancel", true},
        {"escape in the HTML field without cancel", false, EscapeInHtml, "x", "", false},
        {"enter on a focused OK", true, EnterOnOk, "x", "", true},
        {"close is cancel", true, Close, "x", "cancel", true},
        {"enter closes nothing", true, Enter, "x", "", false},
        {"escape without cancel", false, Escape, "x", "", false},
        {"close without cancel is OK", false, Close, "kept", "", true},
        {"close without cancel refuses the reserved name", false, Close, "title", "", false},
        {"OK refuses the reserved name", true, Ok, "title", "", false},
        {"OK takes it in other case", true, Ok, "Title", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompter.shown.clear();
        frmSections d(*ui);
        if (!c.cancelShown) d.cmdCancel->hide();
        d.txtSectionName->setText(c.sectionName);
        d.show();
        switch (c.action) {
        case Escape:
            QTest::keyClick(&d, Qt::Key_Escape);
            break;
        case EscapeInHtml:
            d.rtxDefaultHTML->setFocus();
            QTest::keyClick(d.rtxDefaultHTML, Qt::Key_Escape);
            break;
        case EnterOnOk:
            d.cmdOk->setFocus();
            QTest::keyClick(d.cmdOk, Qt::Key_Return);
            break;
        case Enter:
            d.txtSectionName->setFocus();
            QTest::keyClick(d.txtSectionName, Qt::Key_Return);
            break;
        case Close:
            EXPECT_EQ(d.close(), c.closes);
            break;
        case Ok:
            d.cmdOk->click();
            break;
        }
        EXPECT_EQ(d.isVisible(), !c.closes);
        EXPECT_EQ(d.result, c.result);
        EXPECT_EQ(d.sectionName(), c.sectionName);
        if (QLatin1String(c.sectionName) != "title") {
            EXPECT_TRUE(prompter.shown.empty());
            continue;
        }
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_EQ(fields(prompter.last()),
                  fields({"The name 'title' is reserved for the page title name! Please choose "
                          "another",
                          "Section Editor", MsgIcon::Exclamation}));
    }
}

// Text comes back exactly, zero characters and lone line ends included; typed line ends are
// CR LF.
TEST(CodeEditorText, ComesBackExactlyAndEveryChangeIsReported) {
    CodeEditor e;
    QSignalSpy changed(&e, &QsciScintilla::textChanged);
    for (const QString& s : {QString(), QString("a\r\nb"), QString("lone\nfeed\rand return\r\n"),
                             QString::fromUtf8("caf\u00e9 \u20ac \xF0\x9F\x98\x80 \u4e2d"),
                             QString::fromUtf8("zero\0inside", 11)}) {
        e.setText(s);
        EXPECT_EQ(e.text(), s);
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

// In a light and a dark palette every style stands out from the field by 4.5:1 at least;
// elements of current HTML are known tags; ::placeholders:: are marked as they are typed.
TEST(CodeEditorLook, FollowsThePaletteKnowsCurrentHtmlAndMarksPlaceholders) {
    CodeEditor e;
    for (const QPalette& p : {lightPalette(), darkPalette()}) {
        e.setPalette(p);
        for (int style = 0; style < 128; ++style) {
            if (e.lexer()->description(style).isEmpty()) continue;
            EXPECT_GE(contrastRatio(e.lexer()->color(style), e.lexer()->paper(style)), 4.5)
                << style << (isDark(p) ? " dark" : " light");
        }
        EXPECT_EQ(e.lexer()->paper(QsciLexerHTML::Default), p.color(QPalette::Base));
        EXPECT_GE(contrastRatio(e.placeholderColour(), p.color(QPalette::Base)), 4.5);
    }

    e.setText("<main><nav>x</nav><blink>\r\n<title>::title::</title><p>::New section::</p>"
              " a::before{} ::x");
    e.SendScintilla(QsciScintilla::SCI_COLOURISE, 0, -1);
    for (const auto& [pos, style] : {std::pair(1, QsciLexerHTML::Tag),
                                     {7, QsciLexerHTML::Tag},
                                     {19, QsciLexerHTML::UnknownTag}}) // main, nav, blink
        EXPECT_EQ(e.SendScintilla(QsciScintilla::SCI_GETSTYLEAT, pos), style);
    using Ranges = QList<std::pair<int, int>>;
    EXPECT_EQ(e.placeholderRanges(), Ranges({{34, 43}, {54, 69}}));
    e.SendScintilla(QsciScintilla::SCI_APPENDTEXT, 2, "::");
    EXPECT_EQ(e.placeholderRanges(), Ranges({{34, 43}, {54, 69}, {86, 91}}));
}

TEST(FileDialogFilter, BecomesQtNameFilters) {
    const std::pair<QString, QStringList> cases[] = {
        {"Quillane template file|*.qtf", {"Quillane template file (*.qtf)"}},
        {"HTML Files|*.htm;*.html", {"HTML Files (*.htm *.html)"}},
        {"A|*.a|B|*.b;*.c", {"A (*.a)", "B (*.b *.c)"}},
        {"", {}},
    };
    for (const auto& [filter, expected] : cases)
        EXPECT_EQ(qtNameFilters(filter), expected);
}

// The real dialog, answered by a timer while it runs.
class FileDialog : public UiTest {
protected:
    QtFileDialog dlg{nullptr};

    void useFor(bool save) {
        dlg.dialogTitle = "Load a template...";
        dlg.filter = "Quillane template file|*.qtf";
        dlg.defaultExt = ".qtf";
        dlg.pathMustExist = !save;
        dlg.overwritePrompt = save;
    }
    static void accept(QFileDialog* d, const QString& typed = {}) {
        if (!typed.isEmpty()) d->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
        QMetaObject::invokeMethod(d, "accept");
    }
};

// An open use starts in the nearest folder of its preset that still exists, refuses a name in a
// folder that does not, adds the default extension, and leaves no name after Cancel.
TEST_F(FileDialog, OpenChecksTheFolderAddsTheExtensionAndCancelEmptiesTheName) {
    useFor(false);
    QDir().mkpath(tmp.filePath("sites"));
    dlg.fileName = tmp.filePath("sites/gone/old.qtf");
    QString seenFolder, seenTitle, warning;
    QStringList seenFilters;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        seenFolder = d->directory().absolutePath();
        seenTitle = d->windowTitle();
        seenFilters = d->nameFilters();
        whenModal<QMessageBox>([&, d](QMessageBox* box) {
            warning = box->text();
            box->button(QMessageBox::Ok)->click();
            accept(d, "new");
        });
        accept(d, tmp.filePath("nowhere/x.qtf"));
    });
    dlg.showOpen();
    EXPECT_EQ(seenFolder, tmp.filePath("sites"));
    EXPECT_EQ(seenTitle, "Load a template...");
    EXPECT_EQ(seenFilters, QStringList({"Quillane template file (*.qtf)"}));
    EXPECT_TRUE(warning.contains("does not exist")) << warning.toStdString();
    EXPECT_EQ(dlg.fileName, tmp.filePath("sites/new.qtf"));
    EXPECT_EQ(dlg.fileTitle, "new.qtf");

    whenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    dlg.showOpen();
    EXPECT_TRUE(dlg.fileName.isEmpty() && dlg.fileTitle.isEmpty());
}

TEST_F(FileDialog, SaveAsksBeforeReplacingAFile) {
    useFor(true);
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
            accept(d);
        });
        dlg.showSave();
        EXPECT_TRUE(asked);
        EXPECT_EQ(dlg.fileName, replace ? existing : QString());
        EXPECT_EQ(readBytes(existing), "old") << "the dialog itself writes nothing";
    }
}

} // namespace
} // namespace quillane::test
