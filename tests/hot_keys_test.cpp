// The CPU pane's three hot keys: toggle, previous and next bookmark.
#include "host/plugin_fixture.h"

#include <string>
#include <vector>

namespace {

constexpr uint32_t kBlock = 0x401000;
constexpr uint32_t kLow = 0x401100;
constexpr uint32_t kHigh = 0x401200;
constexpr int kKeyB = 'B';
constexpr int kKeyN = 'N';

class HotKeysTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        AddBlock(kBlock, 0x1000, 0x90);
        ShowBlock(kBlock, 0x1000);
    }

    // One key code per hot key, each with its own single modifier.
    static void StoreHotKeys() {
        StoreHotKey("toggle", VK_F2, 1, 0, 0);
        StoreHotKey("previous", VK_F3, 0, 1, 0);
        StoreHotKey("next", VK_F4, 0, 0, 1);
    }
    static void StoreHotKey(const std::string& which, int key, int alt, int shift, int ctrl) {
        StoreSetting("hotkey_" + which + "__key", key);
        StoreSetting("hotkey_" + which + "__alt", alt);
        StoreSetting("hotkey_" + which + "__shift", shift);
        StoreSetting("hotkey_" + which + "__ctrl", ctrl);
    }

    // Pluginshortcut's order: ctrl, alt, shift, key.
    int Press(int ctrl, int alt, int shift, int key, uint32_t selected) {
        sim::Pane()->selected = selected;
        return Shortcut(kOriginCpuPane, ctrl, alt, shift, key, PaneItem());
    }
    static std::vector<uint32_t> Moves() {
        std::vector<uint32_t> moves;
        for (const sim::SetCpuCall& call : sim::SetCpuCalls()) moves.push_back(call.disasmAddress);
        return moves;
    }
    // The defaults passed by every read of the hot-key settings, as "key:default".
    static std::vector<std::string> HotKeyReadsWithNonZeroDefault() {
        std::vector<std::string> reads;
        for (const sim::SettingCall& call : sim::SettingsLog()) {
            if (call.key.rfind("hotkey_", 0) == 0 && call.defaultValue != "0") {
                reads.push_back(call.key + ":" + call.defaultValue);
            }
        }
        return reads;
    }
};

TEST_F(HotKeysTest, ToggleKeyMatchesAltShiftCtrlExactly) {
    StoreHotKeys();
    ASSERT_EQ(0, Start());
    EXPECT_EQ(0, Press(1, 0, 0, VK_F2, kLow));
    EXPECT_EQ(0, Press(0, 0, 1, VK_F2, kLow));
    EXPECT_EQ(0, Press(0, 1, 1, VK_F2, kLow));
    EXPECT_EQ(0, Press(0, 0, 0, VK_F2, kLow));
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_EQ(1, Press(0, 1, 0, VK_F2, kLow));
    EXPECT_EQ("Zentrilo: Bookmark added Successfully to line 00401100", LastFlash());
    EXPECT_EQ(1, Press(0, 1, 0, VK_F2, kLow));
    EXPECT_EQ("Zentrilo: Bookmark deleted from line 00401100", LastFlash());
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_EQ(0, Shortcut(5, 0, 1, 0, VK_F2, PaneItem()));
    EXPECT_EQ(0, dll.zt_Count());
}

TEST_F(HotKeysTest, PreviousAndNextMoveWithoutWrapping) {
    StoreHotKeys();
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kLow);
    dll.zt_Toggle(kHigh);
    EXPECT_EQ(0, Press(0, 1, 0, VK_F3, kHigh));
    EXPECT_EQ(0, Press(1, 0, 0, VK_F3, kHigh));
    EXPECT_EQ(1, Press(0, 0, 1, VK_F3, kHigh));
    EXPECT_EQ(0, Press(0, 0, 1, VK_F4, kLow));
    EXPECT_EQ(0, Press(0, 1, 0, VK_F4, kLow));
    EXPECT_EQ(1, Press(1, 0, 0, VK_F4, kLow));
    EXPECT_EQ((std::vector<uint32_t>{kLow, kHigh}), Moves());
    EXPECT_EQ("Bk. (2/02/2)", Caption(FindPanel()));
    EXPECT_TRUE(Beeps().empty());
}

TEST_F(HotKeysTest, NothingInThatDirectionFlashesTheOtherDirectionAndBeeps) {
    StoreHotKeys();
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kLow);
    dll.zt_Toggle(kHigh);
    EXPECT_EQ(1, Press(0, 0, 1, VK_F3, kLow));
    EXPECT_EQ("No bookmarks!, try to search forward, >.", LastFlash());
    EXPECT_EQ(1, Press(1, 0, 0, VK_F4, kHigh));
    EXPECT_EQ("No bookmarks!, try to search backward, <.", LastFlash());
    EXPECT_EQ((std::vector<UINT>{0, 0}), Beeps());
    EXPECT_TRUE(Moves().empty());
}

TEST_F(HotKeysTest, NothingSelectedToggleBeepsAndClaimsNavigationLeavesKey) {
    StoreHotKeys();
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kLow);
    EXPECT_EQ(1, Press(0, 1, 0, VK_F2, 0));
    EXPECT_EQ(1, Shortcut(kOriginCpuPane, 0, 1, 0, VK_F2, nullptr));
    EXPECT_EQ((std::vector<UINT>{0, 0}), Beeps());
    EXPECT_EQ(0, Press(0, 0, 1, VK_F3, 0));
    EXPECT_EQ(0, Press(1, 0, 0, VK_F4, 0));
    EXPECT_EQ(0, Shortcut(kOriginCpuPane, 1, 0, 0, VK_F4, nullptr));
    EXPECT_EQ(2u, Beeps().size());
    EXPECT_EQ(1, dll.zt_Count());
    EXPECT_TRUE(Moves().empty());
}

TEST_F(HotKeysTest, ToggleKeyCodeDecidesBeforePreviousWithOtherModifiers) {
    StoreHotKey("toggle", kKeyB, 0, 0, 1);
    StoreHotKey("previous", kKeyB, 1, 0, 0);
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kLow);
    EXPECT_EQ(0, Press(0, 1, 0, kKeyB, kHigh));
    EXPECT_TRUE(Moves().empty());
    EXPECT_EQ(1, dll.zt_Count());
    EXPECT_TRUE(Beeps().empty());
}

TEST_F(HotKeysTest, ToggleKeyNeverAsksForName) {
    StoreHotKeys();
    StoreSetting("show_bookmark_name_dialog", 1);
    ASSERT_EQ(0, Start());
    sim::ReplyText("unused");
    EXPECT_EQ(1, Press(0, 1, 0, VK_F2, kLow));
    EXPECT_TRUE(sim::Prompts().empty());
    EXPECT_EQ("n/a", Bookmark(kLow)->name);
}

TEST_F(HotKeysTest, WithNothingStoredNoKeyIsTaken) {
    ASSERT_EQ(0, Start());
    for (int key : {kKeyB, VK_F2, VK_RETURN}) EXPECT_EQ(0, Press(1, 1, 1, key, kLow));
    EXPECT_EQ(0, Press(0, 0, 0, kKeyB, kLow));
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_TRUE(HotKeyReadsWithNonZeroDefault().empty());
    EXPECT_TRUE(SettingWrites().empty());
}

TEST_F(HotKeysTest, HotKeySettingsAreReadAtEachPress) {
    StoreHotKey("toggle", kKeyB, 0, 0, 1);
    ASSERT_EQ(0, Start());
    EXPECT_EQ(1, Press(1, 0, 0, kKeyB, kLow));
    StoreHotKey("toggle", kKeyN, 0, 1, 0);
    EXPECT_EQ(0, Press(1, 0, 0, kKeyB, kHigh));
    EXPECT_EQ(1, Press(0, 0, 1, kKeyN, kHigh));
    StoreHotKey("next", kKeyB, 0, 0, 1);
    EXPECT_EQ(1, Press(1, 0, 0, kKeyB, kLow));
    EXPECT_EQ((std::vector<uint32_t>{kHigh}), Moves());
}

}  // namespace
