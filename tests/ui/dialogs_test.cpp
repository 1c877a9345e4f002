// SPDX-License-Identifier: GPL-3.0-or-later
// The section editor, the HTML field and the file dialog on their own.

#include "ui/file_dialog.h"
#include "ui/theme.h"
#include "ui_fixture.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPainter>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QStyleOption>
#include <Qsci/qscilexerhtml.h>

namespace quillane::test {
namespace {

using Dialogs = UiTest;

// The section editor closes only through its buttons. Escape (from any control) and a close
// from the window manager are Cancel where Cancel is shown; without it Escape does nothing and
// a close is OK. OK refuses the reserved name only. Enter belongs to the fields, or to a
// focused button.
TEST_F(Dialogs, SectionEditorClosesOnlyThroughItsButtons) {
    enum Action { Escape, EscapeInHtml, Enter, EnterOnOk, Close, Ok };
    // name, Cancel shown, action, name typed, closes, result
    const std::tuple<const char*, bool, Action, const char*, bool, const char*> cases[] = {
        {"escape is cancel", true, Escape, "x", true, "cancel"},
        {"escape in the HTML field is cancel", true, EscapeInHtml, "x", true, "cancel"},
        {"escape in the HTML field without cancel", false, EscapeInHtml, "x", false, ""},
        {"escape without cancel", false, Escape, "x", false, ""},
        {"enter on a focused OK", true, EnterOnOk, "x", true, ""},
        {"enter in the name closes nothing", true, Enter, "x", false, ""},
        {"close is cancel", true, Close, "x", true, "cancel"},
        {"close without cancel is OK", false, Close, "kept", true, ""},
        {"close without cancel refuses the reserved name", false, Close, "title", false, ""},
        {"OK refuses the reserved name", true, Ok, "title", false, ""},
        {"OK takes it in other case", true, Ok, "Title", true, ""},
    };
    for (const auto& [name, cancelShown, action, typed, closes, result] : cases) {
        SCOPED_TRACE(name);
        frmSections d(*ui);
        d.cmdCancel->setVisible(cancelShown);
        d.txtSectionName->setText(typed);
        d.show();
        QWidget* focus = action == EscapeInHtml ? static_cast<QWidget*>(d.rtxDefaultHTML)
                         : action == EnterOnOk  ? static_cast<QWidget*>(d.cmdOk)
                                                : d.txtSectionName;
        focus->setFocus();
        if (action == Close)
            EXPECT_EQ(d.close(), closes);
        else if (action == Ok)
            d.cmdOk->click();
        else
            QTest::keyClick(focus, action == Enter || action == EnterOnOk ? Qt::Key_Return
                                                                          : Qt::Key_Escape);
        EXPECT_EQ(d.isVisible(), !closes);
        EXPECT_EQ(d.result, result);
        EXPECT_EQ(d.sectionName(), typed);
        EXPECT_EQ(told(), QLatin1String(typed) != "title"
                              ? ""
                              : "The name 'title' is reserved for the page title name! Please "
                                "choose another | Section Editor | exclamation | OK");
    }
}

// Text comes back exactly, zero characters and lone line ends included; typed line ends are
// CR LF; every change is reported.
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

// Regression: in the dark look the unticked "Section editable" box was nearly invisible.
// Unticked and ticked boxes and option buttons, light and dark: the outline stands out from the
// window and from the field colour by 3:1 at least.
TEST(Indicators, StandOutFromTheirBackgroundInBothLooks) {
    const std::unique_ptr<QStyle> style(withClearIndicators(QStyleFactory::create("Fusion")));
    for (const QPalette& p : {lightPalette(), darkPalette()}) {
        for (const auto element : {QStyle::PE_IndicatorCheckBox, QStyle::PE_IndicatorRadioButton}) {
            for (const auto state : {QStyle::State_Off, QStyle::State_On}) {
                QImage shot(20, 20, QImage::Format_RGB32);
                shot.fill(p.color(QPalette::Window));
                QStyleOptionButton option;
                option.rect = QRect(2, 2, 13, 13);
                option.palette = p;
                option.state = QStyle::State_Enabled | state;
                QPainter painter(&shot);
                style->drawPrimitive(element, &option, &painter);
                painter.end();
                for (const QPalette::ColorRole behind : {QPalette::Window, QPalette::Base}) {
                    // The left of the outline, through the middle of the box.
                    double ratio = 0;
                    for (int x = 2; x < 6; ++x)
                        ratio =
                            std::max(ratio, contrastRatio(shot.pixelColor(x, 9), p.color(behind)));
                    EXPECT_GE(ratio, 3.0) << (isDark(p) ? "dark " : "light ") << element << ' '
                                          << state << ' ' << behind;
                }
            }
        }
    }
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

// Runs f on the next modal widget of type T once it is shown (the real file dialog and its
// message boxes run their own event loops).
template <typename T> void whenModal(std::function<void(T*)> f) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, f] {
        if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            f(w);
        }
    });
    timer->start();
}

void accept(QFileDialog* d, const QString& typed = {}) {
    if (!typed.isEmpty()) d->findChild<QLineEdit*>("fileNameEdit")->setText(typed);
    QMetaObject::invokeMethod(d, "accept");
}

// The real dialog, answered while it runs. An open use starts in the nearest folder of its
// preset that still exists, refuses a name in a folder that does not, adds the default
// extension and leaves no name after Cancel; a save use asks before replacing a file.
TEST_F(Dialogs, FileDialogChecksTheFolderAddsTheExtensionAndAsksBeforeReplacing) {
    QtFileDialog dlg(nullptr);
    dlg.dialogTitle = "Load a template...";
    dlg.filter = "Quillane template file|*.qtf";
    dlg.defaultExt = ".qtf";
    dlg.pathMustExist = true;
    QDir().mkpath(tmp.filePath("sites"));
    dlg.fileName = tmp.filePath("sites/gone/old.qtf");
    QString seen, warning;
    whenModal<QFileDialog>([&](QFileDialog* d) {
        seen = QStringList(
                   {d->directory().absolutePath(), d->windowTitle(), d->nameFilters().join(u';')})
                   .join(" | ");
        whenModal<QMessageBox>([&, d](QMessageBox* box) {
            warning = box->text();
            box->button(QMessageBox::Ok)->click();
            accept(d, "new");
        });
        accept(d, tmp.filePath("nowhere/x.qtf"));
    });
    dlg.showOpen();
    EXPECT_EQ(seen,
              tmp.filePath("sites") + " | Load a template... | Quillane template file (*.qtf)");
    EXPECT_TRUE(warning.contains("does not exist")) << warning.toStdString();
    EXPECT_EQ(dlg.fileName + u'|' + dlg.fileTitle, tmp.filePath("sites/new.qtf") + "|new.qtf");
    whenModal<QFileDialog>([](QFileDialog* d) { d->reject(); });
    dlg.showOpen();
    EXPECT_TRUE(dlg.fileName.isEmpty() && dlg.fileTitle.isEmpty());

    dlg.pathMustExist = false;
    dlg.overwritePrompt = true;
    const QString existing = writeFile(tmp, "site.qtf", "old");
    for (const bool replace : {false, true}) {
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
