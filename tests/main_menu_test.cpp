// The plug-in's submenu in the host's plug-in menu and its commands.
#include "host/log_dump.h"
#include "host/plugin_fixture.h"

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

namespace {

enum Command { kShowHide = 0, kClear = 1, kList = 4, kSettings = 5, kFirstLink = 6, kSecondLink = 7, kAbout = 8 };

constexpr uint32_t kBlock = 0x401000;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// "Compiled Mmm dd yyyy hh:mm:ss", the day padded with a blank as the compiler gives it.
bool IsBuildStamp(const std::string& line) {
    const std::string pattern = "Compiled Aaa 99 9999 99:99:99";
    if (line.size() != pattern.size()) return false;
    for (size_t i = 0; i < line.size(); ++i) {
        char want = pattern[i], got = line[i];
        bool fits = want == '9'   ? std::isdigit(static_cast<unsigned char>(got)) || (i == 13 && got == ' ')
                    : want == 'A' ? std::isupper(static_cast<unsigned char>(got))
                    : want == 'a' ? std::islower(static_cast<unsigned char>(got))
                                  : got == want;
        if (!fits) return false;
    }
    return true;
}

class MainMenuTest : public PluginTest {
protected:
    void Choose(int command) { Action(kOriginPluginMenu, command); }
};

TEST_F(MainMenuTest, MenuListsEveryCommandWhateverTheItem) {
    ASSERT_EQ(0, Start());
    const std::string menu =
        "0 Show/Hide | 1 Clear Bookmarks | 2 Import..., 3 Export... | 4 List... | 5 Settings... | "
        "Links{6 Orvandel, 7 Pellumar} | 8 Zentrilo v1.9";
    EXPECT_EQ(1, Menu(kOriginPluginMenu).result);
    EXPECT_EQ(menu, Menu(kOriginPluginMenu).text);
    int item = 0;
    EXPECT_EQ(1, Menu(kOriginPluginMenu, &item).result);
    EXPECT_EQ(menu, Menu(kOriginPluginMenu, &item).text);
}

TEST_F(MainMenuTest, ShowHideTwiceGivesPanelBackWithoutSavingItsPosition) {
    ASSERT_EQ(0, Start());
    HWND panel = FindPanel();
    Choose(kShowHide);
    EXPECT_FALSE(IsWindowVisible(panel));
    Choose(kShowHide);
    EXPECT_TRUE(IsWindowVisible(panel));
    EXPECT_TRUE(SettingWrites().empty());
}

TEST_F(MainMenuTest, ClearDeletesEveryBookmarkLowestFirstWithoutAsking) {
    AddBlock(kBlock, 0x100, 0x90);
    StoreSetting("restore_bookmarks_window", 1);
    ASSERT_EQ(0, Start());
    for (uint32_t address : {kBlock + 0x30, kBlock + 0x10, kBlock + 0x20}) dll.zt_Toggle(address);
    sim::PaintNow(ListWindow());
    size_t logged = sim::LogLines().size();
    size_t flashes = Flashes().size();

    Choose(kClear);

    EXPECT_EQ((std::vector<std::string>{
                  sim::LogEntry(kBlock + 0x10, -1, "Zentrilo: Deleting bookmark from line %08X", kBlock + 0x10),
                  sim::LogEntry(kBlock + 0x20, -1, "Zentrilo: Deleting bookmark from line %08X", kBlock + 0x20),
                  sim::LogEntry(kBlock + 0x30, -1, "Zentrilo: Deleting bookmark from line %08X", kBlock + 0x30)}),
              sim::LogDump(logged));
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_TRUE(BookmarkAddresses().empty());
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    EXPECT_EQ("Zentrilo", Caption(FindPanel()));
    EXPECT_EQ(flashes, Flashes().size());
    EXPECT_TRUE(sim::MessageBoxes().empty());

    // With nothing to clear it still says so on the panel, and logs nothing.
    SetWindowTextA(FindPanel(), "Bk. (-1/00/0)");
    Choose(kClear);
    EXPECT_EQ(3u, sim::LogLines().size() - logged);
    EXPECT_EQ("Zentrilo", Caption(FindPanel()));
}

TEST_F(MainMenuTest, ListOpensListWindowOnce) {
    ASSERT_EQ(0, Start());
    Choose(kList);
    ASSERT_NE(nullptr, ListWindow());
    HWND list = ListWindow();
    Choose(kList);
    EXPECT_EQ(list, ListWindow());
    EXPECT_EQ(2u, sim::QuickTableCalls().size());
    EXPECT_TRUE(IsWindow(list));
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
    EXPECT_EQ(0, sim::PendingDialogActions());
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
        EXPECT_EQ("https://", launch.file.substr(0, 8));
        EXPECT_EQ("", launch.parameters);
        EXPECT_EQ("", launch.directory);
        EXPECT_EQ(SW_SHOWNORMAL, launch.show);
    }
    EXPECT_NE(std::string::npos, sim::ShellLaunches()[0].file.find("orvandel"));
    EXPECT_NE(std::string::npos, sim::ShellLaunches()[1].file.find("pellumar"));
}

TEST_F(MainMenuTest, AboutBoxNamesVersionNoticeBuildAndThanks) {
    ASSERT_EQ(0, Start());
    std::string versionLine = sim::LogLines().at(0).text;
    std::string notice = versionLine.substr(versionLine.find("\n\t") + 2);

    Choose(kAbout);

    ASSERT_EQ(1u, sim::MessageBoxes().size());
    const sim::MessageBoxCall& box = sim::MessageBoxes()[0];
    EXPECT_EQ(mainWindow_, box.owner);
    EXPECT_EQ("Zentrilo", box.caption);
    EXPECT_EQ(UINT(MB_ICONINFORMATION), box.type);
    std::vector<std::string> lines = Lines(box.text);
    ASSERT_EQ(6u, lines.size()) << box.text;
    EXPECT_EQ("Zentrilo Plug-in v1.9", lines[0]);
    EXPECT_EQ(notice, lines[1]);
    EXPECT_EQ("", lines[2]);
    EXPECT_TRUE(IsBuildStamp(lines[3])) << lines[3];
    EXPECT_EQ(std::string(33, '-'), lines[4]);
    EXPECT_FALSE(lines[5].empty());
    EXPECT_NE('\n', box.text.back());
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
