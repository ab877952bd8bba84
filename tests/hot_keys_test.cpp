// The CPU pane's three hot keys: toggle, previous and next bookmark.
#include "host/plugin_fixture.h"

#include <cstdio>

namespace {

constexpr uint32_t kLow = 0x401100;
constexpr uint32_t kHigh = 0x401200;
constexpr uint32_t kNoItem = 0xFFFFFFFF;   // the host passes no pane item
constexpr int kKeyB = 'B';
constexpr int kKeyN = 'N';

class HotKeysTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        AddBlock(0x401000, 0x1000, 0x90);
        ShowBlock(0x401000, 0x1000);
    }

    // One key code per hot key, each with its own single modifier.
    static void StoreHotKeys() {
        StoreHotKey("toggle", VK_F2, 1, 0, 0);
        StoreHotKey("previous", VK_F3, 0, 1, 0);
        StoreHotKey("next", VK_F4, 0, 0, 1);
    }

    // Pluginshortcut's order: ctrl, alt, shift, key. What it returned and
    // what the user saw: "added", "deleted", "moved to ADDRESS", "beep" with
    // the status line's text when it came with one.
    std::string Press(int ctrl, int alt, int shift, int key, uint32_t selected) {
        int count = dll.zt_Count();
        size_t moves = sim::SetCpuCalls().size(), beeps = Beeps().size(), flashes = Flashes().size();
        sim::Pane()->selected = selected;
        std::string seen = std::to_string(
            Shortcut(kOriginCpuPane, ctrl, alt, shift, key, selected == kNoItem ? nullptr : PaneItem()));
        if (dll.zt_Count() != count) seen += dll.zt_Count() > count ? " added" : " deleted";
        if (sim::SetCpuCalls().size() != moves) {
            char to[32];
            std::snprintf(to, sizeof to, " moved to %08X", sim::SetCpuCalls().back().disasmAddress);
            seen += to;
        }
        if (Beeps().size() != beeps) seen += " beep";
        if (Beeps().size() != beeps && Flashes().size() != flashes) seen += ": " + LastFlash();
        return seen;
    }
};

TEST_F(HotKeysTest, ToggleKeyMatchesAltShiftCtrlExactlyAndNeverAsksForName) {
    StoreHotKeys();
    StoreSetting("show_bookmark_name_dialog", 1);
    ASSERT_EQ(0, Start());
    sim::ReplyText("unused");
    EXPECT_EQ("0", Press(1, 0, 0, VK_F2, kLow));
    EXPECT_EQ("0", Press(0, 0, 1, VK_F2, kLow));
    EXPECT_EQ("0", Press(0, 1, 1, VK_F2, kLow));
    EXPECT_EQ("0", Press(0, 0, 0, VK_F2, kLow));
    ASSERT_EQ("1 added", Press(0, 1, 0, VK_F2, kLow));
    EXPECT_TRUE(sim::Prompts().empty());
    EXPECT_EQ("n/a", Bookmark(kLow)->name);
    EXPECT_EQ("1 deleted", Press(0, 1, 0, VK_F2, kLow));
    EXPECT_EQ(0, Shortcut(5, 0, 1, 0, VK_F2, PaneItem()));
    EXPECT_EQ(0, dll.zt_Count());
}

TEST_F(HotKeysTest, PreviousAndNextMoveWithoutWrappingOrSayWhereToLook) {
    StoreHotKeys();
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kLow);
    dll.zt_Toggle(kHigh);
    EXPECT_EQ("0", Press(0, 1, 0, VK_F3, kHigh));
    EXPECT_EQ("0", Press(1, 0, 0, VK_F3, kHigh));
    EXPECT_EQ("1 moved to 00401100", Press(0, 0, 1, VK_F3, kHigh));
    EXPECT_EQ("0", Press(0, 0, 1, VK_F4, kLow));
    EXPECT_EQ("0", Press(0, 1, 0, VK_F4, kLow));
    EXPECT_EQ("1 moved to 00401200", Press(1, 0, 0, VK_F4, kLow));
    EXPECT_EQ("Bk. (2/02/2)", Caption(FindPanel()));

    EXPECT_EQ("1 beep: No bookmarks!, try to search forward, >.", Press(0, 0, 1, VK_F3, kLow));
    EXPECT_EQ("1 beep: No bookmarks!, try to search backward, <.", Press(1, 0, 0, VK_F4, kHigh));
}

TEST_F(HotKeysTest, NothingSelectedToggleBeepsAndClaimsNavigationLeavesKey) {
    StoreHotKeys();
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kLow);
    EXPECT_EQ("1 beep", Press(0, 1, 0, VK_F2, 0));
    EXPECT_EQ("1 beep", Press(0, 1, 0, VK_F2, kNoItem));
    EXPECT_EQ("0", Press(0, 0, 1, VK_F3, 0));
    EXPECT_EQ("0", Press(1, 0, 0, VK_F4, 0));
    EXPECT_EQ("0", Press(1, 0, 0, VK_F4, kNoItem));
}

TEST_F(HotKeysTest, ToggleKeyCodeDecidesBeforePreviousWithOtherModifiers) {
    StoreHotKey("toggle", kKeyB, 0, 0, 1);
    StoreHotKey("previous", kKeyB, 1, 0, 0);
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kLow);
    EXPECT_EQ("0", Press(0, 1, 0, kKeyB, kHigh));
}

TEST_F(HotKeysTest, WithNothingStoredNoKeyIsTaken) {
    ASSERT_EQ(0, Start());
    for (int key : {kKeyB, VK_F2, VK_RETURN}) EXPECT_EQ("0", Press(1, 1, 1, key, kLow));
    EXPECT_EQ("0", Press(0, 0, 0, kKeyB, kLow));
    for (const sim::SettingCall& call : sim::SettingsLog())
        EXPECT_TRUE(call.key.rfind("hotkey_", 0) != 0 || call.defaultValue == "0") << call.key;
    EXPECT_TRUE(SettingWrites().empty());
}

TEST_F(HotKeysTest, HotKeySettingsAreReadAtEachPress) {
    StoreHotKey("toggle", kKeyB, 0, 0, 1);
    ASSERT_EQ(0, Start());
    EXPECT_EQ("1 added", Press(1, 0, 0, kKeyB, kLow));
    StoreHotKey("toggle", kKeyN, 0, 1, 0);
    EXPECT_EQ("0", Press(1, 0, 0, kKeyB, kHigh));
    EXPECT_EQ("1 added", Press(0, 0, 1, kKeyN, kHigh));
    StoreHotKey("next", kKeyB, 0, 0, 1);
    EXPECT_EQ("1 moved to 00401200", Press(1, 0, 0, kKeyB, kLow));
}

}  // namespace
