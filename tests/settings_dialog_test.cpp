// The Settings dialog, opened from the plug-in menu and driven as a user
// would: what it shows of the stored settings, what OK writes and in which
// order, what Cancel, the close box and "..." do, and the toolbar button
// following the offset's arrows.
#include "host/common_controls.h"
#include "host/dialog_controls.h"
#include "host/plugin_fixture.h"

#include <commctrl.h>

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

// What OK writes, in its order: the check boxes, each hot key's key, alt,
// shift and ctrl, the help file and the offset.
Writes OkWrites(const std::vector<int>& boxes, const std::vector<std::vector<int>>& hotKeys, const std::string& help,
                int shift) {
    const char* boxKeys[] = {"auto_show",      "load_old_bookmarks",        "show_toggle_bookmark",
                             "restore_bookmarks_window", "add_bookmarks_toolbar_button", "show_bookmark_name_dialog",
                             "map_bookmark_name_to_label"};
    Writes writes;
    for (size_t i = 0; i < boxes.size(); ++i) writes.push_back(boxKeys[i] + ("=" + std::to_string(boxes[i])));
    const char* which[] = {"toggle", "previous", "next"};
    const char* parts[] = {"key", "alt", "shift", "ctrl"};
    for (int k = 0; k < 3; ++k)
        for (int p = 0; p < 4; ++p)
            writes.push_back("hotkey_" + std::string(which[k]) + "__" + parts[p] + "=" + std::to_string(hotKeys[k][p]));
    writes.push_back("opcode_help_file=" + help);
    writes.push_back("toolbar_button_shift=" + std::to_string(shift));
    return writes;
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
    // What the dialog shows as it opens; then OK or Cancel closes it.
    Shown ShownThen(int button) {
        Shown shown;
        OpenSettings([&](HWND dialog) {
            shown = Read(dialog);
            sim::ClickControl(dialog, button);
        });
        return shown;
    }

    static HWND ToolbarButtonWindow() { return FindWindowExA(sim::MainWindow(), nullptr, "Button", nullptr); }
    static int ToolbarButtonX() { return sim::ClientTopLeft(ToolbarButtonWindow()).x; }
    // Key, alt, shift, ctrl as stored; -1 for one never written.
    static std::vector<int> StoredHotKey(const std::string& which) {
        std::vector<int> values;
        for (const char* part : {"key", "alt", "shift", "ctrl"})
            values.push_back(SettingInt("hotkey_" + which + "__" + part, -1));
        return values;
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

    Shown shown = ShownThen(kOk);
    EXPECT_EQ(std::vector<bool>(7, false), shown.checked);
    EXPECT_EQ(std::vector<WORD>(3, 0), shown.hotKeys);
    EXPECT_EQ("", shown.helpFile);
    EXPECT_EQ("0", shown.shift);
    EXPECT_EQ(OkWrites({0, 0, 0, 0, 0, 0, 0}, {{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}, "", 0), SettingWrites());
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

    Shown shown = ShownThen(kOk);
    EXPECT_EQ((std::vector<bool>{false, true, false, true, false, false, true}), shown.checked);
    EXPECT_EQ((std::vector<WORD>{kCtrlB, MAKEWORD(VK_F3, HOTKEYF_SHIFT | HOTKEYF_CONTROL), 0}), shown.hotKeys);
    EXPECT_EQ("C:\\help\\x86 opcodes.hlp", shown.helpFile);
    EXPECT_EQ("17", shown.shift);
    EXPECT_EQ(OkWrites({1, 0, 0, 1, 0, 0, 1}, {{'B', 0, 0, 1}, {VK_F3, 0, 1, 1}, {0, 0, 0, 0}},
                       "C:\\help\\x86 opcodes.hlp", 17),
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
        sim::ClickControl(dialog, kOk);
    });

    EXPECT_EQ(0, SettingInt("show_toggle_bookmark", -1));
    EXPECT_EQ(1, SettingInt("show_bookmark_name_dialog", -1));
    EXPECT_EQ("D:\\ref.hlp", SettingText("opcode_help_file"));
    EXPECT_FALSE(ToggleItemOffered());
    // Ctrl+B is stored as B without alt and shift, with ctrl, and toggles at once.
    EXPECT_EQ((std::vector<int>{'B', 0, 0, 1}), StoredHotKey("toggle"));
    EXPECT_EQ(1, Shortcut(kOriginCpuPane, 1, 0, 0, 'B', PaneItem()));
    EXPECT_EQ(1, dll.zt_Count());
    // The cleared hot key is stored as four zeros and is gone.
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0}), StoredHotKey("next"));
    EXPECT_EQ(0, Shortcut(kOriginCpuPane, 0, 0, 1, VK_F4, PaneItem()));
    // The control's extended-key flag is not a modifier and is not kept.
    EXPECT_EQ((std::vector<int>{VK_PRIOR, 1, 0, 0}), StoredHotKey("previous"));
}

TEST_F(SettingsDialogTest, OffsetOutsideItsRangeShowsZeroAndCancelKeepsIt) {
    StoreSetting("toolbar_button_shift", 400);
    ASSERT_EQ(0, Start());
    EXPECT_EQ("0", ShownThen(kOk).shift);
    EXPECT_EQ(0, SettingInt("toolbar_button_shift", -1));

    StoreSetting("toolbar_button_shift", -5);
    EXPECT_EQ("0", ShownThen(kCancel).shift);
    EXPECT_EQ(-5, SettingInt("toolbar_button_shift", 0));
}

// Each step moves the button at once, within 0 to 320; Cancel writes nothing
// and leaves the button where the last step put it.
TEST_F(SettingsDialogTest, ArrowsMoveToolbarButtonAtOnceWithinZeroTo320) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    StoreSetting("toolbar_button_shift", 5);
    ASSERT_EQ(0, Start());
    ASSERT_NE(nullptr, ToolbarButtonWindow());

    std::vector<std::string> shown;
    std::vector<int> x;
    auto arrow = [&](HWND dialog, bool upper) {
        sim::ClickArrow(dialog, kSpin, upper);
        shown.push_back(sim::ControlText(dialog, kShift));
        x.push_back(ToolbarButtonX());
    };
    OpenSettings([&](HWND dialog) {
        arrow(dialog, true);
        arrow(dialog, false);
        arrow(dialog, false);
        sim::ClickControl(dialog, kCancel);
    });
    EXPECT_TRUE(SettingWrites().empty());
    EXPECT_EQ(692, ToolbarButtonX());
    EXPECT_EQ(2, sim::ClientTopLeft(ToolbarButtonWindow()).y);

    StoreSetting("toolbar_button_shift", 320);
    OpenSettings([&](HWND dialog) {
        arrow(dialog, false);
        sim::ClickControl(dialog, kOk);
    });
    StoreSetting("toolbar_button_shift", 0);
    OpenSettings([&](HWND dialog) {
        arrow(dialog, true);
        sim::ClickControl(dialog, kCancel);
    });
    EXPECT_EQ((std::vector<std::string>{"4", "5", "6", "320", "0"}), shown);
    EXPECT_EQ((std::vector<int>{690, 691, 692, 686 + 320, 686}), x);
    EXPECT_EQ("toolbar_button_shift=320", SettingWrites().back());
}

// A number typed beside the arrows is kept on OK only within 0 to 320.
TEST_F(SettingsDialogTest, OkKeepsATypedOffsetOnlyWithinZeroTo320) {
    ASSERT_EQ(0, Start());
    const struct {
        const char* typed;
        int stored;
    } cases[] = {{"400", 7}, {"321", 7}, {"-1", 7}, {"320", 320}, {"0", 0}, {"12", 12}};
    for (const auto& offset : cases) {
        StoreSetting("toolbar_button_shift", 7);
        OpenSettings([&](HWND dialog) {
            SetDlgItemTextA(dialog, kShift, offset.typed);
            sim::ClickControl(dialog, kOk);
        });
        EXPECT_EQ(offset.stored, SettingInt("toolbar_button_shift", -1)) << offset.typed;
    }
}

// Only the arrows' own step notification moves the button.
TEST_F(SettingsDialogTest, OnlyTheArrowsStepNotificationMovesTheButton) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    ASSERT_EQ(0, Start());
    const struct {
        const char* what;
        int from;
        UINT code;
        int x;
    } cases[] = {
        {"another notification of the arrows", kSpin, UINT(NM_RELEASEDCAPTURE), 686},
        {"a step from another control", kShift, UINT(UDN_DELTAPOS), 686},
        {"the arrows' step", kSpin, UINT(UDN_DELTAPOS), 686 + 15},
    };
    for (const auto& notification : cases) {
        OpenSettings([&](HWND dialog) {
            HWND from = GetDlgItem(dialog, notification.from);
            NMUPDOWN step{{from, UINT_PTR(notification.from), notification.code}, 10, 5};
            SendMessageA(dialog, WM_NOTIFY, notification.from, LPARAM(&step));
            sim::ClickControl(dialog, kCancel);
        });
        EXPECT_EQ(notification.x, ToolbarButtonX()) << notification.what;
    }
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
        sim::ClickControl(dialog, kCancel);
    });

    EXPECT_EQ((std::vector<std::string>{"C:\\old.hlp", "C:\\help\\x86.hlp"}), shown);
    EXPECT_EQ(Writes{"opcode_help_file=C:\\help\\x86.hlp"}, whileOpen);
    EXPECT_EQ(whileOpen, SettingWrites());
    ASSERT_EQ(2u, sim::FileDialogs().size());
    const sim::FileDialogCall& open = sim::FileDialogs()[1];
    EXPECT_FALSE(open.save);
    EXPECT_EQ(mainWindow_, open.owner);
    EXPECT_EQ(2u, open.filterIndex);
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
    EXPECT_EQ("0", ShownThen(kCancel).shift);
    EXPECT_FALSE(LogContains("Settings"));

    sim::ForgetCommonControlClasses(sim::kForGood);
    Action(kOriginPluginMenu, kSettingsCommand);
    EXPECT_TRUE(LogHas("Zentrilo: Unable to open the Settings dialog!"));
    EXPECT_TRUE(SettingWrites().empty());
}

}  // namespace
