// The Settings dialog, opened from the plug-in menu and driven as a user
// would: what it shows of the stored settings, what OK writes and in which
// order, what Cancel, the close box and "..." do, and the toolbar button
// following the offset's arrows.
#include "host/common_controls.h"
#include "host/dialog_controls.h"
#include "host/plugin_fixture.h"

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kLoadOldBookmarks = 1011;
constexpr int kAutoShow = 1012;
constexpr int kOk = 1013;
constexpr int kCancel = 1014;
constexpr int kShowToggleItem = 1015;
constexpr int kRestoreList = 1016;
constexpr int kToggleKey = 1017;
constexpr int kPreviousKey = 1018;
constexpr int kNextKey = 1019;
constexpr int kToolbarButton = 1020;
constexpr int kHelpFile = 1022;
constexpr int kBrowse = 1023;
constexpr int kSpin = 1024;
constexpr int kShift = 1025;
constexpr int kNameDialog = 1030;
constexpr int kMapLabel = 1031;
constexpr int kCheckBoxes[] = {kLoadOldBookmarks, kAutoShow,   kShowToggleItem, kRestoreList,
                               kToolbarButton,    kNameDialog, kMapLabel};

constexpr int kSettingsCommand = 5;
constexpr uint32_t kBlock = 0x401000;
constexpr WORD kCtrlB = MAKEWORD('B', HOTKEYF_CONTROL);

using Writes = std::vector<std::string>;

// What the dialog shows, read from its controls.
struct Shown {
    std::vector<bool> checked;  // in the order of kCheckBoxes
    std::vector<WORD> hotKeys;  // toggle, previous, next
    std::string helpFile;
    std::string shift;
};

Shown Read(HWND dialog) {
    Shown shown;
    for (int box : kCheckBoxes) shown.checked.push_back(sim::IsChecked(dialog, box));
    for (int control : {kToggleKey, kPreviousKey, kNextKey}) shown.hotKeys.push_back(sim::HotKeyOf(dialog, control));
    shown.helpFile = sim::ControlText(dialog, kHelpFile);
    shown.shift = sim::ControlText(dialog, kShift);
    return shown;
}

class SettingsDialogTest : public PluginTest {
protected:
    // Opens the dialog from the plug-in menu; each step runs inside its modal
    // loop, the next one once the earlier has returned; the last closes it.
    void OpenSettings(std::vector<std::function<void(HWND)>> steps) {
        for (auto& step : steps) sim::WhenDialogAppears("Settings", std::move(step));
        Action(kOriginPluginMenu, kSettingsCommand);
        EXPECT_EQ(nullptr, sim::FindDialog("Settings"));
    }
    void OpenSettings(std::function<void(HWND)> step) { OpenSettings(std::vector<std::function<void(HWND)>>{step}); }

    static void Ok(HWND dialog) { sim::ClickControl(dialog, kOk); }
    static void Cancel(HWND dialog) { sim::ClickControl(dialog, kCancel); }

    static HWND ToolbarButtonWindow() { return FindWindowExA(sim::MainWindow(), nullptr, "Button", nullptr); }
    static int ToolbarButtonX() { return sim::ClientTopLeft(ToolbarButtonWindow()).x; }

    static void StoreHotKey(const std::string& which, int key, int alt, int shift, int ctrl) {
        StoreSetting("hotkey_" + which + "__key", key);
        StoreSetting("hotkey_" + which + "__alt", alt);
        StoreSetting("hotkey_" + which + "__shift", shift);
        StoreSetting("hotkey_" + which + "__ctrl", ctrl);
    }
    static Writes HotKeyWrites(const std::string& which, int key, int alt, int shift, int ctrl) {
        Writes writes;
        const std::pair<const char*, int> parts[] = {{"key", key}, {"alt", alt}, {"shift", shift}, {"ctrl", ctrl}};
        for (const auto& [part, value] : parts)
            writes.push_back("hotkey_" + which + "__" + part + "=" + std::to_string(value));
        return writes;
    }
    // Key, alt, shift, ctrl as stored; -1 for one never written.
    static std::vector<int> StoredHotKey(const std::string& which) {
        std::vector<int> values;
        for (const char* part : {"key", "alt", "shift", "ctrl"})
            values.push_back(SettingInt("hotkey_" + which + "__" + part, -1));
        return values;
    }
    static Writes Joined(std::initializer_list<Writes> parts) {
        Writes all;
        for (const Writes& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    }
    bool ToggleItemOffered() { return Menu(kOriginCpuPane, PaneItem()).result == 1; }
};

TEST_F(SettingsDialogTest, NothingStoredShowsEverythingOffAndOkStoresItInOrder) {
    AddBlock(kBlock, 0x100, 0x90);
    ShowBlock(kBlock, 0x100);
    sim::Pane()->selected = kBlock;
    ASSERT_EQ(0, Start());
    // Start-up and the pane's menu take both switches as on when nothing is stored.
    EXPECT_TRUE(IsWindowVisible(FindPanel()));
    EXPECT_TRUE(ToggleItemOffered());

    Shown shown;
    OpenSettings([&](HWND dialog) {
        shown = Read(dialog);
        Ok(dialog);
    });

    EXPECT_EQ(std::vector<bool>(7, false), shown.checked);
    EXPECT_EQ(std::vector<WORD>(3, 0), shown.hotKeys);
    EXPECT_EQ("", shown.helpFile);
    EXPECT_EQ("0", shown.shift);
    EXPECT_EQ(Joined({{"auto_show=0", "load_old_bookmarks=0", "show_toggle_bookmark=0", "restore_bookmarks_window=0",
                       "add_bookmarks_toolbar_button=0", "show_bookmark_name_dialog=0",
                       "map_bookmark_name_to_label=0"},
                      HotKeyWrites("toggle", 0, 0, 0, 0),
                      HotKeyWrites("previous", 0, 0, 0, 0),
                      HotKeyWrites("next", 0, 0, 0, 0),
                      {"opcode_help_file=", "toolbar_button_shift=0"}}),
              SettingWrites());
    EXPECT_FALSE(ToggleItemOffered());
}

TEST_F(SettingsDialogTest, StoredValuesAreShownAndOkWritesThemBack) {
    StoreSetting("auto_show", 1);
    StoreSetting("restore_bookmarks_window", 7);
    StoreSetting("map_bookmark_name_to_label", 2);
    StoreHotKey("toggle", 'B', 0, 0, 1);
    StoreHotKey("previous", VK_F3, 0, 1, 1);
    StoreHotKey("next", 0x142, 0, 0, 1);  // no virtual-key code: shown as no hot key
    StoreSetting("opcode_help_file", "C:\\help\\x86 opcodes.hlp");
    StoreSetting("toolbar_button_shift", 17);
    ASSERT_EQ(0, Start());

    Shown shown;
    OpenSettings([&](HWND dialog) {
        shown = Read(dialog);
        Ok(dialog);
    });

    EXPECT_EQ((std::vector<bool>{false, true, false, true, false, false, true}), shown.checked);
    EXPECT_EQ((std::vector<WORD>{kCtrlB, MAKEWORD(VK_F3, HOTKEYF_SHIFT | HOTKEYF_CONTROL), 0}), shown.hotKeys);
    EXPECT_EQ("C:\\help\\x86 opcodes.hlp", shown.helpFile);
    EXPECT_EQ("17", shown.shift);
    EXPECT_EQ(Joined({{"auto_show=1", "load_old_bookmarks=0", "show_toggle_bookmark=0", "restore_bookmarks_window=1",
                       "add_bookmarks_toolbar_button=0", "show_bookmark_name_dialog=0",
                       "map_bookmark_name_to_label=1"},
                      HotKeyWrites("toggle", 'B', 0, 0, 1),
                      HotKeyWrites("previous", VK_F3, 0, 1, 1),
                      HotKeyWrites("next", 0, 0, 0, 0),
                      {"opcode_help_file=C:\\help\\x86 opcodes.hlp", "toolbar_button_shift=17"}}),
              SettingWrites());
}

TEST_F(SettingsDialogTest, ChangedBoxesAndHotKeysTakeEffectAfterOk) {
    AddBlock(kBlock, 0x100, 0x90);
    ShowBlock(kBlock, 0x100);
    StoreSetting("show_toggle_bookmark", 1);
    StoreHotKey("next", VK_F4, 0, 1, 0);
    ASSERT_EQ(0, Start());
    sim::Pane()->selected = kBlock;

    OpenSettings([&](HWND dialog) {
        sim::ClickControl(dialog, kShowToggleItem);
        sim::ClickControl(dialog, kNameDialog);
        sim::SetHotKey(dialog, kToggleKey, kCtrlB);
        sim::SetHotKey(dialog, kPreviousKey, MAKEWORD(VK_PRIOR, HOTKEYF_ALT | HOTKEYF_EXT));
        sim::SetHotKey(dialog, kNextKey, 0);
        SetDlgItemTextA(dialog, kHelpFile, "D:\\ref.hlp");
        Ok(dialog);
    });

    EXPECT_EQ(0, SettingInt("show_toggle_bookmark", -1));
    EXPECT_EQ(1, SettingInt("show_bookmark_name_dialog", -1));
    EXPECT_EQ("D:\\ref.hlp", SettingText("opcode_help_file"));
    EXPECT_FALSE(ToggleItemOffered());
    // Ctrl+B toggles at once; the cleared hot key is stored as four zeros and is gone.
    EXPECT_EQ(1, Shortcut(kOriginCpuPane, 1, 0, 0, 'B', PaneItem()));
    EXPECT_EQ(1, dll.zt_Count());
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), StoredHotKey("next"));
    EXPECT_EQ(0, Shortcut(kOriginCpuPane, 0, 0, 1, VK_F4, PaneItem()));
    // The control's extended-key flag is not a modifier and is not kept.
    EXPECT_EQ((std::vector<int>{VK_PRIOR, 1, 0, 0}), StoredHotKey("previous"));
}

TEST_F(SettingsDialogTest, OffsetOutsideItsRangeShowsZeroAndCancelKeepsIt) {
    StoreSetting("toolbar_button_shift", 400);
    ASSERT_EQ(0, Start());
    std::string shown;
    OpenSettings([&](HWND dialog) {
        shown = sim::ControlText(dialog, kShift);
        Ok(dialog);
    });
    EXPECT_EQ("0", shown);
    EXPECT_EQ(0, SettingInt("toolbar_button_shift", -1));

    StoreSetting("toolbar_button_shift", -5);
    OpenSettings([&](HWND dialog) {
        shown = sim::ControlText(dialog, kShift);
        Cancel(dialog);
    });
    EXPECT_EQ("0", shown);
    EXPECT_EQ(-5, SettingInt("toolbar_button_shift", 0));
}

TEST_F(SettingsDialogTest, ArrowsMoveToolbarButtonAtOnceWithinZeroTo320) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    StoreSetting("toolbar_button_shift", 5);
    ASSERT_EQ(0, Start());
    ASSERT_NE(nullptr, ToolbarButtonWindow());

    std::vector<std::string> shown;
    std::vector<int> x;
    auto note = [&](HWND dialog) {
        shown.push_back(sim::ControlText(dialog, kShift));
        x.push_back(ToolbarButtonX());
    };
    OpenSettings([&](HWND dialog) {
        sim::ClickArrow(dialog, kSpin, true);
        note(dialog);
        sim::ClickArrow(dialog, kSpin, false);
        sim::ClickArrow(dialog, kSpin, false);
        note(dialog);
        Cancel(dialog);
    });
    EXPECT_EQ((std::vector<std::string>{"4", "6"}), shown);
    EXPECT_EQ((std::vector<int>{690, 692}), x);
    // Cancel writes nothing; the button stays where the last step put it.
    EXPECT_TRUE(SettingWrites().empty());
    EXPECT_EQ(692, ToolbarButtonX());
    EXPECT_EQ(2, sim::ClientTopLeft(ToolbarButtonWindow()).y);

    StoreSetting("toolbar_button_shift", 320);
    OpenSettings([&](HWND dialog) {
        sim::ClickArrow(dialog, kSpin, false);
        note(dialog);
        Ok(dialog);
    });
    StoreSetting("toolbar_button_shift", 0);
    OpenSettings([&](HWND dialog) {
        sim::ClickArrow(dialog, kSpin, true);
        note(dialog);
        Cancel(dialog);
    });
    EXPECT_EQ((std::vector<std::string>{"4", "6", "320", "0"}), shown);
    EXPECT_EQ((std::vector<int>{690, 692, 686 + 320, 686}), x);
    EXPECT_EQ("toolbar_button_shift=320", SettingWrites().back());
}

TEST_F(SettingsDialogTest, BrowsedHelpFileIsStoredAtOnceAndKeptAfterCancel) {
    StoreSetting("opcode_help_file", "C:\\old.hlp");
    ASSERT_EQ(0, Start());
    sim::CancelFileDialog();
    sim::ChooseFile("C:\\help\\x86.hlp");
    std::vector<std::string> shown;
    Writes whileOpen;
    OpenSettings([&](HWND dialog) {
        sim::ClickControl(dialog, kBrowse);
        shown.push_back(sim::ControlText(dialog, kHelpFile));
        sim::ClickControl(dialog, kBrowse);
        shown.push_back(sim::ControlText(dialog, kHelpFile));
        whileOpen = SettingWrites();
        Cancel(dialog);
    });

    EXPECT_EQ((std::vector<std::string>{"C:\\old.hlp", "C:\\help\\x86.hlp"}), shown);
    EXPECT_EQ(Writes{"opcode_help_file=C:\\help\\x86.hlp"}, whileOpen);
    EXPECT_EQ(whileOpen, SettingWrites());
    ASSERT_EQ(2u, sim::FileDialogs().size());
    const sim::FileDialogCall& open = sim::FileDialogs()[1];
    EXPECT_FALSE(open.save);
    EXPECT_EQ(mainWindow_, open.owner);
    EXPECT_EQ("", open.initialFile);
    EXPECT_EQ("", open.defaultExtension);
}

TEST_F(SettingsDialogTest, OnlyOkCancelAndCloseBoxCloseIt) {
    ASSERT_EQ(0, Start());
    bool openAfterKeys = false;
    OpenSettings({[](HWND dialog) { sim::PressKey(dialog, VK_RETURN); },
                  [](HWND dialog) { sim::PressKey(dialog, VK_ESCAPE); },
                  [&](HWND dialog) {
                      SendMessageA(dialog, WM_COMMAND, IDOK, 0);
                      SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
                      openAfterKeys = IsWindowVisible(dialog) != FALSE;
                      sim::PressCloseBox(dialog);
                  }});
    EXPECT_TRUE(openAfterKeys);
    EXPECT_TRUE(SettingWrites().empty());
}

TEST_F(SettingsDialogTest, OpensWhereNoOneRegisteredHotKeyAndUpDownClasses) {
    sim::ForgetCommonControlClasses();
    ASSERT_FALSE(sim::IsCommonControlRegistered("msctls_hotkey32"));
    ASSERT_FALSE(sim::IsCommonControlRegistered("msctls_updown32"));
    ASSERT_EQ(0, Start());
    std::string shift;
    OpenSettings([&](HWND dialog) {
        shift = sim::ControlText(dialog, kShift);
        Cancel(dialog);
    });
    EXPECT_EQ("0", shift);
    EXPECT_FALSE(LogContains("Settings"));
}

TEST_F(SettingsDialogTest, DialogThatCannotBeCreatedIsReported) {
    sim::ForgetCommonControlClasses(sim::kForGood);
    ASSERT_EQ(0, Start());
    Action(kOriginPluginMenu, kSettingsCommand);
    EXPECT_TRUE(LogHas("Zentrilo: Unable to open the Settings dialog!"));
    EXPECT_TRUE(SettingWrites().empty());
}

}  // namespace
