// SPDX-License-Identifier: GPL-3.0-or-later
// The template designer and the section editor as the window shows them: sizes, keyboard,
// the section buttons and the check box, the preview.

#include "ui/twips.h"
#include "ui_fixture.h"

#include <QStandardPaths>
#include <QStyle>

namespace quillane::test {
namespace {

class Designer : public UiTest {
protected:
    frmTemplates* w = nullptr;

    void SetUp() override {
        UiTest::SetUp();
        w = ui->showDesigner();
        QCoreApplication::processEvents();
    }
    void clickRow(int row) {
        const QRect r = w->lstSections->visualItemRect(w->lstSections->item(row));
        QTest::mouseClick(w->lstSections->viewport(), Qt::LeftButton, {}, r.center());
    }
};

TEST_F(Designer, HasNoCloseButtonAndItsBlankMenuItemOnlyTalks) {
    EXPECT_EQ(w->windowTitle(), "Template designer... Where templates are born!");
    EXPECT_FALSE(w->windowFlags() & Qt::WindowCloseButtonHint);
    w->mnuSpaces->trigger();
    EXPECT_EQ(told(), "You can't click on empty space! | Empty space like your brain | "
                      "information | OK");
    modalSteps.push_back([](QDialog& d) { static_cast<frmAbout&>(d).cmdOk->click(); });
    w->mnuHelpAbout->trigger();
    EXPECT_EQ(modalTitles, QStringList{"About Quillane"});
    EXPECT_FALSE(ws().IsDirty);
}

// Each resizable window opens at exactly its smallest outer size (the HTML editor: its client
// area), keeps it when made smaller, and stretches by its margins, given in twips of that size.
TEST_F(Designer, WindowsOpenAtTheirMinimumSizeAndStretchByTheirMargins) {
    frmSections d(*ui, w);
    d.show();
    frmHTMLEditor* e = ui->showHtmlEditor();
    const struct {
        QWidget* sized;
        QSize least;
        QWidget* last;
        std::function<QRect(int, int)> at;
    } cases[] = {
        {w,
         {5865, 6195},
         w->cmdPreview,
         [](int W, int H) { return QRect(120, H - 1275, W - 330, 495); }},
        {&d,
         {5865, 4260},
         d.cmdCancel,
         [](int W, int H) { return QRect(W - 2145, H - 1140, 1935, 615); }},
        {e->centralWidget(),
         {5745, 4110},
         e->cmdBuild,
         [](int W, int H) { return QRect(120, H - 630, W - 210, 495); }},
    };
    for (const auto& c : cases) {
        QWidget* win = c.sized->window();
        SCOPED_TRACE(win->objectName().toStdString());
        const auto size = [&] {
            return c.sized->isWindow() ? win->frameGeometry().size() : c.sized->size();
        };
        const auto tw = [win](int t) { return twips(win, t); };
        EXPECT_EQ(size(), QSize(tw(c.least.width()), tw(c.least.height()))) << "opens at it";
        win->resize(50, 50);
        QCoreApplication::processEvents();
        EXPECT_EQ(size(), QSize(tw(c.least.width()), tw(c.least.height())));
        EXPECT_EQ(win->minimumSize(), win->size()) << "a real minimum, not only a spring back";
        win->resize(tw(9000), tw(8000));
        QCoreApplication::processEvents();
        const QRect r = c.at(fromPixels(win, size().width()), fromPixels(win, size().height()));
        EXPECT_EQ(c.last->geometry(), QRect(tw(r.x()), tw(r.y()), tw(r.width()), tw(r.height())));
    }
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
    frmMain* start = showStartWindow(*ui);
    for (QWidget* window :
         std::initializer_list<QWidget*>{w, &d, ui->showHtmlEditor(), &about, &splash, start})
        EXPECT_EQ(cutOff(window), QStringList()) << window->objectName().toStdString();
}

// Tab and Shift+Tab follow the designed order through every control, the HTML fields included
// (Ctrl+Tab types a tab there), in the designer and in each use of the section editor; after a
// dialog the focus goes back where it was.
TEST_F(Designer, TheKeyboardFollowsTheTabOrderEverywhere) {
    clickRow(0); // Edit and Delete take part once enabled
    const QStringList order = {"txtTemplate", "lstSections", "rtxDefaultHTML", "cmdAdd",
                               "cmdEdit",     "cmdDelete",   "cmdPreview",     "txtTemplate"};
    EXPECT_EQ(tabCycle(w->txtTemplate, 7), order);
    EXPECT_EQ(tabCycle(w->txtTemplate, 7, true), QStringList(order.rbegin(), order.rend()));

    const std::pair<SectionDialogUse, QStringList> uses[] = {
        {SectionDialogUse::Add,
         {"txtSectionName", "rtxDefaultHTML", "cmdOk", "cmdCancel", "chkSectEditable"}},
        {SectionDialogUse::Edit, {"txtSectionName", "rtxDefaultHTML", "cmdOk", "chkSectEditable"}},
        {SectionDialogUse::Content, {"rtxDefaultHTML", "cmdOk"}},
    };
    for (const auto& [use, cycle] : uses) {
        modalSteps.push_back([&cycle](QDialog& d) {
            auto& s = static_cast<frmSections&>(d);
            EXPECT_EQ(tabCycle(s.findChild<QWidget*>(cycle[0]), int(cycle.size())),
                      cycle + QStringList{cycle[0]});
            s.rtxDefaultHTML->setText("");
            QTest::keyClick(s.rtxDefaultHTML, Qt::Key_Tab, Qt::ControlModifier);
            s.cmdOk->click();
        });
        EXPECT_EQ(runSectionEditor(*ui, w, use, {"Use", "n", "h", 1})->html, "\t");
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

// A click on an entry enables Edit and Delete; Edit shows the section of that entry without
// Cancel and stores what OK leaves; afterwards both buttons are disabled again.
TEST_F(Designer, AClickOnAnEntryEnablesEditAndDeleteForThatEntry) {
    EXPECT_FALSE(w->cmdEdit->isEnabled() || w->cmdDelete->isEnabled());
    clickRow(1);
    EXPECT_TRUE(w->cmdEdit->isEnabled() && w->cmdDelete->isEnabled());
    modalSteps.push_back([](QDialog& d) {
        auto& s = static_cast<frmSections&>(d);
        EXPECT_EQ(QStringList({s.windowTitle(), s.sectionName(), s.html()}).join(" | "),
                  "Editing section ID 2 | footer | <hr>\r\n<p>Contact</p>");
        EXPECT_TRUE(s.cmdCancel->isHidden());
        s.txtSectionName->setText("foot");
        s.setHtml("<hr>");
        s.chkSectEditable->click();
        s.cmdOk->click();
    });
    w->cmdEdit->click();
    EXPECT_EQ(dump(ws().sections), "body,1,<p>Text</p>;foot,1,<hr>;,0,");
    EXPECT_EQ(entries(w->lstSections), QStringList({"body", "foot"}));
    EXPECT_FALSE(w->cmdEdit->isEnabled() || w->cmdDelete->isEnabled());

    clickRow(0);
    prompter.answers = {MsgAnswer::Yes};
    w->cmdDelete->click();
    EXPECT_EQ(entries(w->lstSections), QStringList({"foot"}));
    EXPECT_FALSE(w->cmdEdit->isEnabled() || w->cmdDelete->isEnabled());
}

// Only hand-made files hold flags other than 0 and 1: 2 shows greyed and is kept until the box
// is clicked, larger ones show and are stored as not ticked.
TEST_F(Designer, EditKeepsTheGreyedFlagAndShowsLargerFlagsAsNotTicked) {
    // flag, clicks, state shown, flag stored
    const std::tuple<int, int, Qt::CheckState, int> cases[] = {
        {1, 0, Qt::Checked, 1},
        {2, 0, Qt::PartiallyChecked, 2},
        {7, 0, Qt::Unchecked, 0},
        {2, 3, Qt::PartiallyChecked, 1}, // greyed, ticked, not, ticked: never greyed again
    };
    for (const auto& [flag, clicks, shown, stored] : cases) {
        modalSteps.push_back([&](QDialog& d) {
            auto& s = static_cast<frmSections&>(d);
            EXPECT_EQ(s.chkSectEditable->checkState(), shown) << flag;
            for (int i = 0; i < clicks; ++i)
                s.chkSectEditable->click();
            s.cmdOk->click();
        });
        EXPECT_EQ(runSectionEditor(*ui, w, SectionDialogUse::Edit, {"", "s", "", flag})->editable,
                  stored);
    }
}

TEST_F(Designer, PreviewShowsTheDefaultHtmlAsItStandsAndWritesNothing) {
    if (!kPreviewServer) GTEST_SKIP() << "built without the preview server (Qt HTTP Server)";
    w->rtxDefaultHTML->setText("<p>::title:: caf\u00e9</p>");
    ws().IsDirty = false;
    const auto before = snapshot(tmp.path());
    w->cmdPreview->click();
    ASSERT_EQ(pagesOpened.size(), 1);
    EXPECT_TRUE(pagesOpened[0].startsWith("http://127.0.0.1:"));
    EXPECT_EQ(ui->session().preview.shown(QUrl(pagesOpened[0])), "<p>::title:: caf\xe9</p>\r\n");
    EXPECT_EQ(snapshot(tmp.path()), before);
    EXPECT_FALSE(ws().IsDirty);
}

} // namespace
} // namespace quillane::test
