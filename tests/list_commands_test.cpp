// The list window's commands on the selected bookmark: follow, switch,
// rename, comment, web search and opcode help (deleting is the store's).
#include "list_window_fixture.h"

namespace {

using namespace listwindow;

constexpr int kNameColumn = 0;
constexpr int kActiveColumn = 3;
constexpr int kCommentColumn = 6;

class ListCommandsTest : public ListWindowTest {
protected:
    void SetUp() override {
        ListWindowTest::SetUp();
        StartWithList();
    }

    static std::string PanelCaption() { return Caption(FindPanel()); }

    std::string Cell(int row, int column) {
        sim::PaintNow(ListWindow());
        return sim::Painted(row, column).text;
    }

    std::string RenameTo(const std::string& text) {
        sim::ReplyText(text);
        Press(kSemicolonKey, true);
        return Bookmark(kA)->name;
    }

    std::string CommentWith(const std::string& text) {
        sim::ReplyText(text);
        Press(kSemicolonKey);
        return sim::NameAt(kA, kHostNameComment);
    }

    std::string SearchFor(const std::string& original) {
        SetOriginal(kA, original);
        Press('G');
        return sim::ShellLaunches().empty() ? "" : sim::ShellLaunches().back().file;
    }

    // A help file that exists, in the test's temporary folder.
    std::string MakeHelpFile() {
        char folder[MAX_PATH];
        char path[MAX_PATH];
        GetTempPathA(sizeof folder, folder);
        GetTempFileNameA(folder, "zth", 0, path);
        helpFile_ = path;
        return helpFile_;
    }

    void TearDown() override {
        if (!helpFile_.empty()) DeleteFileA(helpFile_.c_str());
        ListWindowTest::TearDown();
    }

    std::string helpFile_;
};

// A disabled bookmark has no position among the active ones: no row stays selected.
TEST_F(ListCommandsTest, FollowingADisabledBookmarkLeavesNoRowSelected) {
    Add({kA, kB});
    SetActive(kB, 0);
    Select(kB);
    Press(VK_RETURN);
    EXPECT_EQ(kB, sim::SetCpuCalls().back().disasmAddress);
    EXPECT_EQ(-2, Table()->sorted.selectedRow);
    EXPECT_EQ("Bk. (-1/01/2)", PanelCaption());
}

TEST_F(ListCommandsTest, DeleteSaysSoAndTheCaptionCountsWhatIsLeft) {
    Add({kA, kB});
    Select(kB);
    Press(VK_DELETE);
    EXPECT_EQ((std::vector<uint32_t>{kA}), BookmarkAddresses());
    EXPECT_EQ("Zentrilo: Bookmark deleted from line 00401003", LastFlash());
    EXPECT_EQ("Bk. (-1/01/1)", PanelCaption());
}

TEST_F(ListCommandsTest, SpaceRepaintsRowAtOnceWhileCaptionKeepsItsCounts) {
    Add({kA, kB});
    EXPECT_EQ("Always", Cell(0, kActiveColumn));
    std::string caption = PanelCaption();

    Press(VK_SPACE);
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    EXPECT_EQ("Disabled", Cell(0, kActiveColumn));
    EXPECT_EQ(caption, PanelCaption());

    Press(VK_SPACE);
    EXPECT_EQ("Always", Cell(0, kActiveColumn));
    EXPECT_EQ(caption, PanelCaption());
}

TEST_F(ListCommandsTest, NamePromptIsCentredAndEmptyAndLongNamesAreCut) {
    Add({kA});
    const std::string name62(62, 'n');
    EXPECT_EQ(name62, RenameTo(name62));
    EXPECT_EQ(std::string(60, 'm') + "...", RenameTo(std::string(63, 'm')));
    EXPECT_EQ(std::string(60, 'x') + "...", RenameTo(std::string(255, 'x')));

    const sim::Prompt& prompt = sim::Prompts().back();
    EXPECT_EQ("Edit bookmark name at address 00401001", prompt.title);
    EXPECT_EQ("", prompt.initialText);
    EXPECT_EQ(0, prompt.letter);
    EXPECT_EQ(255, prompt.type);
    EXPECT_EQ(0, prompt.fontIndex);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, prompt.x);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2, prompt.y);
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    EXPECT_EQ(std::string(60, 'x') + "...", Cell(0, kNameColumn));

    sim::ReplyCancel();
    Press(kSemicolonKey, true);
    EXPECT_EQ(std::string(60, 'x') + "...", Bookmark(kA)->name);
    EXPECT_TRUE(sim::NameInsertions().empty());
}

// An accepted empty name is a name, and so a label that removes the old one.
TEST_F(ListCommandsTest, NameBecomesTheLabelOnlyWhenMappingIsExactlyOne) {
    StoreSetting("map_bookmark_name_to_label", 1);
    sim::SetName(kA, kHostNameLabel, "old_label");
    Add({kA});
    EXPECT_EQ("", RenameTo(""));
    EXPECT_EQ("", Cell(0, kNameColumn));
    ASSERT_EQ(1u, sim::NameInsertions().size());
    EXPECT_EQ(kHostNameLabel, sim::NameInsertions()[0].type);
    EXPECT_EQ("", sim::NameAt(kA, kHostNameLabel));
    EXPECT_EQ(1, sim::DisassemblyRefreshes());
    RenameTo(std::string(70, 'L'));
    EXPECT_EQ(std::string(60, 'L') + "...", sim::NameAt(kA, kHostNameLabel));
    EXPECT_EQ(2, sim::DisassemblyRefreshes());

    StoreSetting("map_bookmark_name_to_label", 2);
    EXPECT_EQ("start", RenameTo("start"));
    EXPECT_EQ(2u, sim::NameInsertions().size());
    EXPECT_EQ(2, sim::DisassemblyRefreshes());
}

TEST_F(ListCommandsTest, CommentsUpTo254CharactersAreKeptWholeLongerOnesCut) {
    Add({kA});
    const std::string comment254(254, 'c');
    EXPECT_EQ(comment254, CommentWith(comment254));
    EXPECT_EQ(std::string(252, 'd') + "...", CommentWith(std::string(255, 'd')));
    EXPECT_EQ("Edit comment at address 00401001", sim::Prompts().back().title);
    EXPECT_EQ("", sim::Prompts().back().initialText);
    EXPECT_EQ(kHostNameComment, sim::NameInsertions().back().type);
    EXPECT_EQ("n/a", Bookmark(kA)->name);

    EXPECT_EQ("loop start", CommentWith("loop start"));
    EXPECT_EQ("loop start", Cell(0, kCommentColumn));
    sim::ReplyCancel();
    Press(kSemicolonKey);
    EXPECT_EQ("loop start", sim::NameAt(kA, kHostNameComment));
    EXPECT_EQ(3u, sim::NameInsertions().size());
}

TEST_F(ListCommandsTest, BookmarkDeletedWhilePromptIsOpenIsLeftAlone) {
    StoreSetting("map_bookmark_name_to_label", 1);
    Add({kA});
    for (bool name : {true, false}) {
        SCOPED_TRACE(name ? "name" : "comment");
        Select(kA);
        sim::WhilePrompting([this] { dll.zt_Toggle(kA); });
        sim::ReplyText("too late");
        Press(kSemicolonKey, name);

        EXPECT_TRUE(BookmarkAddresses().empty());
        EXPECT_TRUE(sim::NameInsertions().empty());
        EXPECT_EQ(0, sim::DisassemblyRefreshes());
        dll.zt_Toggle(kA);
    }
}

TEST_F(ListCommandsTest, WebSearchAsksForExactPhraseWithOnlyUnsafeCharactersEscaped) {
    Add({kA});
    Press('G');
    ASSERT_EQ(1u, sim::ShellLaunches().size());
    const sim::ShellLaunch& launch = sim::ShellLaunches()[0];
    EXPECT_EQ(nullptr, launch.owner);
    EXPECT_EQ("open", launch.verb);
    EXPECT_EQ("https://www.google.com/search?hl=en&q=%22MOV%20EBP,ESP%22&btnG=Google+Search", launch.file);
    EXPECT_EQ("", launch.parameters);
    EXPECT_EQ(SW_SHOWNORMAL, launch.show);

    std::string plusses;
    for (int i = 0; i < 255; ++i) plusses += "%2B";
    const std::pair<std::string, std::string> cases[] = {
        {"MOV EAX,[EBX+4]", "MOV%20EAX,[EBX%2B4]"},
        {"\"#&%\t\x7F\xE9;", "%22%23%26%25%09%7F%E9%3B"},
        {"", ""},
        {std::string(255, '+'), plusses},   // the whole field, even when every character is escaped
        {std::string(256, 'A'), std::string(255, 'A')},   // no terminator: the field's end
    };
    for (const auto& [original, escaped] : cases) {
        EXPECT_EQ("https://www.google.com/search?hl=en&q=%22" + escaped + "%22&btnG=Google+Search",
                  SearchFor(original));
    }
}

TEST_F(ListCommandsTest, OpcodeHelpOpensHelpFileAtFirstWordOfOriginalInstruction) {
    StoreSetting("opcode_help_file", MakeHelpFile());
    Add({kA});
    Press(kSlashKey, true);
    ASSERT_EQ(1u, sim::HelpCalls().size());
    const sim::HelpCall& call = sim::HelpCalls()[0];
    EXPECT_EQ(mainWindow_, call.owner);
    EXPECT_EQ(helpFile_, call.file);
    EXPECT_EQ(UINT(HELP_KEY), call.command);
    EXPECT_EQ("MOV", call.keyword);
    EXPECT_EQ(0, std::count(Flashes().begin(), Flashes().end(), kNeedHelpFile));

    const std::pair<std::string, std::string> cases[] = {
        {" \t  LEA ESI,[ESI]", "LEA"},
        {"", ""},
        {"   ", ""},
        {"VPBROADCASTMW2DX_ANDMORE XMM0", "VPBROADCASTMW2D"},
        {std::string(256, 'Q'), std::string(15, 'Q')},
        {std::string(256, ' '), ""},
    };
    for (const auto& [original, keyword] : cases) {
        SetOriginal(kA, original);
        Press(kSlashKey, true);
        EXPECT_EQ(keyword, sim::HelpCalls().back().keyword) << original;
    }
}

// Without a usable help file the user is told and the Settings dialog opens;
// a file picked there with "..." is used even when the dialog is then
// cancelled, unless the bookmark was deleted meanwhile.
TEST_F(ListCommandsTest, OpcodeHelpWithoutUsableHelpFileOpensSettingsAndLooksAgain) {
    Add({kA});
    const std::string file = MakeHelpFile();
    const struct {
        const char* configured;
        bool picked, deleted;
        size_t helpCalls;
    } cases[] = {{"", false, false, 0}, {"C:\\no\\such\\opcodes.hlp", false, false, 0}, {"", true, false, 1},
                 {"", true, true, 1}};
    long asked = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.configured) + (c.picked ? " picked" : "") + (c.deleted ? " deleted" : ""));
        StoreSetting("opcode_help_file", c.configured);
        sim::WhenDialogAppears("Settings", [this, &file, &c](HWND dialog) {
            if (c.picked) {
                sim::ChooseFile(file);
                SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(1023, BN_CLICKED), 0);
            }
            if (c.deleted) dll.zt_Toggle(kA);
            SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kSettingsCancel, BN_CLICKED), 0);
        });
        Press(kSlashKey, true);
        EXPECT_EQ(++asked, std::count(Flashes().begin(), Flashes().end(), kNeedHelpFile));
        EXPECT_EQ(c.helpCalls, sim::HelpCalls().size());
    }
    EXPECT_EQ(file, sim::HelpCalls().at(0).file);
    EXPECT_EQ("MOV", sim::HelpCalls().at(0).keyword);
}

}  // namespace
