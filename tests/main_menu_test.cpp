// The plug-in's submenu in the host's plug-in menu and its commands.
#include "host/log_dump.h"
#include "host/plugin_fixture.h"

#include <regex>
#include <sstream>

namespace {

enum Command { kShowHide = 0, kClear = 1, kList = 4, kSettings = 5, kFirstLink = 6, kSecondLink = 7, kAbout = 8 };

class MainMenuTest : public PluginTest {
protected:
    void Choose(int command) { Action(kOriginPluginMenu, command); }
};

TEST_F(MainMenuTest, MenuListsEveryCommandWhateverTheItem) {
    ASSERT_EQ(0, Start());
    const std::string menu =
        "0 Show/Hide | 1 Clear Bookmarks | 2 Import..., 3 Export... | 4 List... | 5 Settings... | "
        "Links{6 Orvandel, 7 Pellumar} | 8 Zentrilo v1.9";
    int item = 0;
    for (void* given : {static_cast<void*>(nullptr), static_cast<void*>(&item)}) {
        EXPECT_EQ(1, Menu(kOriginPluginMenu, given).result);
        EXPECT_EQ(menu, Menu(kOriginPluginMenu, given).text);
    }
}

TEST_F(MainMenuTest, ShowHideTwiceGivesPanelBackWithoutSavingItsPosition) {
    ASSERT_EQ(0, Start());
    Choose(kShowHide);
    EXPECT_FALSE(IsWindowVisible(FindPanel()));
    Choose(kShowHide);
    EXPECT_TRUE(IsWindowVisible(FindPanel()));
    EXPECT_TRUE(SettingWrites().empty());
}

// The host's reset (a new program) does what the menu's Clear does.
TEST_F(MainMenuTest, ClearAndResetDeleteEveryBookmarkLowestFirstWithoutAsking) {
    StoreSetting("restore_bookmarks_window", 1);
    ASSERT_EQ(0, Start());
    for (bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "reset" : "clear");
        for (uint32_t address : {0x401030u, 0x401010u, 0x401020u}) dll.zt_Toggle(address);
        sim::PaintNow(ListWindow());
        size_t logged = sim::LogLines().size(), flashes = Flashes().size();

        reset ? dll.Pluginreset() : Choose(kClear);
        const char* deleting = "Zentrilo: Deleting bookmark from line %08X";
        EXPECT_EQ((std::vector<std::string>{sim::LogEntry(0x401010, -1, deleting, 0x401010),
                                            sim::LogEntry(0x401020, -1, deleting, 0x401020),
                                            sim::LogEntry(0x401030, -1, deleting, 0x401030)}),
                  sim::LogDump(logged));
        EXPECT_EQ(0, dll.zt_Count());
        EXPECT_TRUE(BookmarkAddresses().empty());
        EXPECT_TRUE(sim::RepaintPending(ListWindow()));
        EXPECT_EQ("Zentrilo", Caption(FindPanel()));
        EXPECT_EQ(flashes, Flashes().size());
        EXPECT_TRUE(sim::MessageBoxes().empty());

        // With nothing to clear it still says so on the panel, and logs nothing.
        SetWindowTextA(FindPanel(), "Bk. (-1/00/0)");
        reset ? dll.Pluginreset() : Choose(kClear);
        EXPECT_EQ(logged + 3, sim::LogLines().size());
        EXPECT_EQ("Zentrilo", Caption(FindPanel()));
    }
}

TEST_F(MainMenuTest, ListOpensListWindowOnce) {
    ASSERT_EQ(0, Start());
    Choose(kList);
    HWND list = ListWindow();
    ASSERT_NE(nullptr, list);
    Choose(kList);
    EXPECT_EQ(list, ListWindow());
    EXPECT_EQ(2u, sim::QuickTableCalls().size());
}

TEST_F(MainMenuTest, SettingsRunsModalDialogOwnedByMainWindow) {
    ASSERT_EQ(0, Start());
    HWND owner = nullptr;
    bool mainEnabled = true;
    sim::WhenDialogAppears("Settings", [&](HWND dialog) {
        owner = GetWindow(dialog, GW_OWNER);
        mainEnabled = IsWindowEnabled(mainWindow_) != FALSE;
        SendMessageA(dialog, WM_COMMAND, 1014, 0);
    });
    Choose(kSettings);
    EXPECT_EQ(mainWindow_, owner);
    EXPECT_FALSE(mainEnabled);
    EXPECT_TRUE(IsWindowEnabled(mainWindow_));
}

TEST_F(MainMenuTest, LinksOpenEachForumsPageInTheBrowser) {
    ASSERT_EQ(0, Start());
    Choose(kFirstLink);
    Choose(kSecondLink);
    ASSERT_EQ(2u, sim::ShellLaunches().size());
    for (const sim::ShellLaunch& launch : sim::ShellLaunches()) {
        EXPECT_EQ(mainWindow_, launch.owner);
        EXPECT_EQ("open", launch.verb);
        EXPECT_EQ(SW_SHOWNORMAL, launch.show);
    }
    EXPECT_EQ("https://forum.orvandel.org/", sim::ShellLaunches()[0].file);
    EXPECT_EQ("https://forum.pellumar.org/", sim::ShellLaunches()[1].file);
}

TEST_F(MainMenuTest, AboutBoxNamesVersionNoticeBuildAndThanks) {
    ASSERT_EQ(0, Start());
    std::string versionLine = sim::LogLines().at(0).text;
    Choose(kAbout);

    ASSERT_EQ(1u, sim::MessageBoxes().size());
    const sim::MessageBoxCall& box = sim::MessageBoxes()[0];
    EXPECT_EQ(mainWindow_, box.owner);
    EXPECT_EQ("Zentrilo", box.caption);
    EXPECT_EQ(UINT(MB_ICONINFORMATION), box.type);
    std::vector<std::string> lines;
    std::istringstream in(box.text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(6u, lines.size()) << box.text;
    EXPECT_EQ("Zentrilo Plug-in v1.9", lines[0]);
    EXPECT_EQ(versionLine.substr(versionLine.find("\n\t") + 2), lines[1]) << "the notice of the log's version line";
    EXPECT_TRUE(std::regex_match(lines[3], std::regex("Compiled [A-Z][a-z]{2} [ 1-3][0-9] [0-9]{4} [0-9:]{8}")))
        << lines[3];
    EXPECT_EQ(std::string(33, '-'), lines[4]);
    EXPECT_FALSE(lines[5].empty()) << "the thanks";
}

TEST_F(MainMenuTest, OtherCommandNumbersDoNothing) {
    ASSERT_EQ(0, Start());
    size_t logged = sim::LogLines().size();
    for (int command : {-1, 9, 10, 100}) Choose(command);
    EXPECT_EQ(logged, sim::LogLines().size());
    EXPECT_TRUE(sim::ShellLaunches().empty());
    EXPECT_TRUE(sim::MessageBoxes().empty());
    EXPECT_TRUE(sim::QuickTableCalls().empty());
    EXPECT_TRUE(SettingWrites().empty());
    EXPECT_TRUE(IsWindowVisible(FindPanel()));
}

}  // namespace
