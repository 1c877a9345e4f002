// The workspace's shared routines and the command-line split.

#include "core/command_line.h"
#include "core/workspace.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace quillane;
using namespace quillane::test;

namespace {

void name(Workspace& ws, int slot, const QString& n, quint8 flag = 1) {
    while (ws.lastSlot() < slot)
        ws.growTable();
    ws.SectionNames[slot] = n;
    ws.SectionEditable[slot] = flag;
}

} // namespace

TEST(AllocateSectionSlot, ReusesTheLowestFreeSlotAndGrowsOnlyWhenFull) {
    FakeSession f;
    Workspace& ws = f.s.ws;
    EXPECT_EQ(AllocateSectionSlot(f.s), 1);
    EXPECT_EQ(ws.lastSlot(), 1) << "a fresh table has a free slot 1";

    name(ws, 1, "a");
    EXPECT_EQ(AllocateSectionSlot(f.s), 2);
    EXPECT_EQ(ws.lastSlot(), 2);
    EXPECT_TRUE(ws.SectionNames[2].isEmpty() && ws.SectionHtml[2].isEmpty());
    EXPECT_EQ(ws.SectionEditable[2], 0);

    // As after reading a template of three sections: slot 4 is the trailing free slot.
    name(ws, 2, "b");
    name(ws, 3, "c");
    ws.growTable();
    EXPECT_EQ(AllocateSectionSlot(f.s), 4);
    EXPECT_EQ(ws.lastSlot(), 4);

    ws.SectionNames[2].clear();
    EXPECT_EQ(AllocateSectionSlot(f.s), 2);
    EXPECT_TRUE(f.prompter.shown.empty());
}

TEST(AllocateSectionSlot, AFullTemplateRefusesWithAMessageInsteadOfOverflowing) {
    FakeSession f;
    Workspace& ws = f.s.ws;
    for (int slot = 1; slot <= kMaxSections; ++slot)
        name(ws, slot, "s");
    EXPECT_EQ(AllocateSectionSlot(f.s), 0);
    EXPECT_EQ(ws.lastSlot(), kMaxSections);
    ASSERT_EQ(f.prompter.shown.size(), 1u);
    EXPECT_EQ(f.prompter.last().title, "Quillane");
    EXPECT_EQ(f.prompter.last().icon, MsgIcon::Exclamation);
    EXPECT_TRUE(f.prompter.last().text.contains("32766"));

    ws.SectionNames[kMaxSections - 5].clear();
    EXPECT_EQ(AllocateSectionSlot(f.s), kMaxSections - 5);
}

TEST(FillSectionList, DesignerListsEveryNamedSlotEditorOnlyEditableOnesWithTheirSlots) {
    FakeSession f;
    Workspace& ws = f.s.ws;
    name(ws, 1, "head", 1);
    name(ws, 2, "nav", 0);
    name(ws, 3, "body", 1);
    name(ws, 4, "side", 2);
    name(ws, 6, "foot", 1); // slot 5 stays free
    ws.SectionEditable[5] = 1;

    f.designer.list = QStringList{"stale"};
    FillSectionList(f.s, EditorMode::Designer);
    EXPECT_EQ(f.designer.list, (QStringList{"head", "nav", "body", "side", "foot"}));

    FillSectionList(f.s, EditorMode::HtmlEditor);
    EXPECT_EQ(f.editor.list, (QStringList{"head", "body", "foot"}));
    EXPECT_EQ(f.editor.itemData, (std::vector<int>{1, 3, 6}));
}

TEST(ConfirmSaveChanges, AsksOnlyWhenChangedAndGoesOnOnlyWhenNothingIsLost) {
    struct Case {
        const char* what;
        int mode;
        bool dirty;
        std::vector<MsgAnswer> answers;
        bool saveWrites;
        bool expectResult;
        bool expectDirty;
        int expectSaves;
    };
    const Case cases[] = {
        {"unchanged: nothing asked", EditorMode::Designer, false, {}, true, true, false, 0},
        {"cancel", EditorMode::Designer, true, {MsgAnswer::Cancel}, true, false, true, 0},
        {"no", EditorMode::HtmlEditor, true, {MsgAnswer::No}, true, true, false, 0},
        {"yes, saved", EditorMode::HtmlEditor, true, {MsgAnswer::Yes}, true, true, false, 1},
        // Regression: Yes with a Save that wrote nothing went on and lost the edits.
        {"yes, nothing saved", EditorMode::Designer, true, {MsgAnswer::Yes}, false, false, true, 1},
        {"yes, nothing saved (editor)",
         EditorMode::HtmlEditor,
         true,
         {MsgAnswer::Yes},
         false,
         false,
         true,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSession f;
        f.designer.name = "My template";
        f.editor.titleText = "My page";
        f.designer.onSave = f.editor.onSave = [&] { return c.saveWrites; };
        f.s.ws.IsDirty = c.dirty;
        f.prompter.answers.assign(c.answers.begin(), c.answers.end());

        EXPECT_EQ(ConfirmSaveChanges(f.s, c.mode), c.expectResult);
        EXPECT_EQ(f.s.ws.IsDirty, c.expectDirty);
        EXPECT_EQ(f.designer.saves + f.editor.saves, c.expectSaves);
        ASSERT_EQ(f.prompter.shown.size(), c.dirty ? 1u : 0u);
        if (c.dirty) {
            const Message& m = f.prompter.last();
            EXPECT_EQ(m.text, c.mode == EditorMode::Designer
                                  ? "Do you want to save your changes to My template?"
                                  : "Do you want to save your changes to My page?");
            EXPECT_EQ(m.title, "Quillane");
            EXPECT_EQ(m.icon, MsgIcon::Question);
            EXPECT_EQ(m.buttons, MsgButtons::YesNoCancel);
            EXPECT_EQ(m.defaultButton, MsgAnswer::Yes);
        }
    }
}

// Regression: No, then a cancelled file dialog, left the edits on screen marked as saved.
TEST(SaveQuestion, ANoCountsOnlyOnceTheCommandHappened) {
    // Changed, the answer, whether the command then happened; go on, changed afterwards.
    const std::tuple<bool, MsgAnswer, bool, bool, bool> cases[] = {
        {true, MsgAnswer::No, false, true, true},
        {true, MsgAnswer::No, true, true, false},
        {true, MsgAnswer::Yes, false, true, false},
        {true, MsgAnswer::Cancel, false, false, true},
        {false, MsgAnswer::Cancel, false, true, false},
    };
    for (const auto& [dirty, answer, done, goOn, dirtyAfter] : cases) {
        FakeSession f;
        f.s.ws.IsDirty = dirty;
        f.prompter.answers = {answer};
        {
            SaveQuestion asked(f.s, EditorMode::HtmlEditor);
            EXPECT_EQ(asked.goOn(), goOn);
            if (done) asked.done();
        }
        EXPECT_EQ(f.s.ws.IsDirty, dirtyAfter) << dirty << int(answer) << done;
    }
}

TEST(ResetEditor, EmptiesTheWindowAndTableAndEndsUnchanged) {
    FakeSession f;
    Workspace& ws = f.s.ws;
    name(ws, 3, "body");
    ws.CurrentFile = "/x/doc.qht";
    ws.TemplatePath = "/x/t.qtf";
    f.designer.name = "n";
    f.designer.html = "h";
    f.designer.list = QStringList{"a"};
    f.editor.titleText = "t";
    f.editor.outputText = "o";
    f.editor.caption = "Template used: x";

    ResetEditor(f.s, EditorMode::Designer);
    EXPECT_TRUE(f.designer.name.isEmpty() && f.designer.html.isEmpty() &&
                f.designer.list.isEmpty());
    EXPECT_EQ(f.editor.titleText, "t") << "the other editor is not touched";
    EXPECT_EQ(ws.lastSlot(), 1);
    EXPECT_FALSE(ws.IsDirty);

    ResetEditor(f.s, EditorMode::HtmlEditor);
    EXPECT_TRUE(f.editor.titleText.isEmpty() && f.editor.outputText.isEmpty());
    EXPECT_EQ(f.editor.caption, "Template used: x");
    EXPECT_FALSE(ws.IsDirty);
    EXPECT_EQ(ws.CurrentFile, "/x/doc.qht");
    EXPECT_EQ(ws.TemplatePath, "/x/t.qtf");
}

TEST(CommandLine, SplitsAtTheFirstColonOnly) {
    struct Case {
        const char* text;
        const char* option;
        const char* file;
        bool colon;
    };
    const Case cases[] = {
        {"/T:C:\\web\\site.qtf", "/T", "C:\\web\\site.qtf", true},
        {"/H:", "/H", "", true},
        {"/A:whatever", "/A", "whatever", true},
        {"/H:/home/me/my site/\"a b\".qht", "/H", "/home/me/my site/\"a b\".qht", true},
        {" /T:x", " /T", "x", true},
        {"/h:x", "/h", "x", true},
        {"/A", "/A", "", false},
        {"", "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const CommandLine cl = splitCommandLine(QString::fromUtf8(c.text));
        EXPECT_EQ(cl.option, QString::fromUtf8(c.option));
        EXPECT_EQ(cl.file, QString::fromUtf8(c.file));
        EXPECT_EQ(cl.hasColon, c.colon);
    }
    EXPECT_EQ(argumentText({"/H:/tmp/a", "b.qht"}), "/H:/tmp/a b.qht");
    EXPECT_EQ(
        invalidOptionMessage("/X"),
        "Invalid command line option: /X(don't worry - it won't kill you, or will it......:))");
}
