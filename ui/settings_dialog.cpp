#include "ui/settings_dialog.h"

#include <commctrl.h>

#include <cstdlib>

#include "core/plugin_state.h"
#include "core/settings.h"
#include "core/version.h"
#include "exchange/common/file_chooser.h"
#include "host/host.h"
#include "res/resource.h"
#include "ui/hot_key_value.h"
#include "ui/toolbar_button.h"

namespace zt {

namespace {

// The offset range: the up arrow moves towards 0, the down arrow towards 320.
constexpr int kSmallestShift = 0;
constexpr int kLargestShift = 320;
constexpr int kShiftTextSize = 7;  // six characters and the terminator

struct CheckBoxSetting {
    int control;
    const char* key;
};

// In the order they are read and written.
constexpr CheckBoxSetting kCheckBoxes[] = {
    {IDC_SETTINGS_AUTO_SHOW, key::kAutoShow},
    {IDC_SETTINGS_LOAD_OLD_BOOKMARKS, key::kLoadOldBookmarks},
    {IDC_SETTINGS_SHOW_TOGGLE_ITEM, key::kShowToggleBookmark},
    {IDC_SETTINGS_RESTORE_LIST, key::kRestoreBookmarksWindow},
    {IDC_SETTINGS_TOOLBAR_BUTTON, key::kAddToolbarButton},
    {IDC_SETTINGS_NAME_DIALOG, key::kShowBookmarkNameDialog},
    {IDC_SETTINGS_MAP_LABEL, key::kMapNameToLabel},
};

struct HotKeySetting {
    int control;
    const HotKeyKeys& keys;
};

const HotKeySetting kHotKeys[] = {
    {IDC_SETTINGS_HOTKEY_TOGGLE, kToggleHotKey},
    {IDC_SETTINGS_HOTKEY_PREVIOUS, kPreviousHotKey},
    {IDC_SETTINGS_HOTKEY_NEXT, kNextHotKey},
};

int Clamp(int value, int low, int high) { return value < low ? low : value > high ? high : value; }

// The hot-key and up-down classes are the common controls' own; make sure
// they exist whatever the host registered before.
void RegisterDialogControls() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_HOTKEY_CLASS | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
}

// A stored offset outside the range, taken as a 16-bit number, shows as 0.
int StoredShift() {
    int shift = static_cast<SHORT>(LOWORD(ReadSetting(key::kToolbarButtonShift, 0)));
    return shift < kSmallestShift || shift > kLargestShift ? 0 : shift;
}

void ShowShift(HWND dialog) {
    HWND spin = GetDlgItem(dialog, IDC_SETTINGS_SHIFT_SPIN);
    SendMessageA(spin, UDM_SETBUDDY, reinterpret_cast<WPARAM>(GetDlgItem(dialog, IDC_SETTINGS_SHIFT_TEXT)), 0);
    SendMessageA(spin, UDM_SETRANGE, 0, MAKELPARAM(kSmallestShift, kLargestShift));
    SendMessageA(spin, UDM_SETPOS, 0, MAKELPARAM(StoredShift(), 0));
}

void ShowCheckBoxes(HWND dialog) {
    for (const CheckBoxSetting& box : kCheckBoxes) {
        WPARAM state = ReadSetting(box.key, 0) ? BST_CHECKED : BST_UNCHECKED;
        SendDlgItemMessageA(dialog, box.control, BM_SETCHECK, state, 0);
    }
}

void ShowHotKeys(HWND dialog) {
    for (const HotKeySetting& hotKey : kHotKeys) {
        HotKey stored = ReadHotKey(hotKey.keys);
        if (stored.key != 0) SendDlgItemMessageA(dialog, hotKey.control, HKM_SETHOTKEY, ToControlValue(stored), 0);
    }
}

void ShowHelpFile(HWND dialog) {
    char path[kSettingTextSize];
    ReadSettingText(key::kOpcodeHelpFile, path, "");
    SetDlgItemTextA(dialog, IDC_SETTINGS_HELP_FILE, path);
}

void OnInitDialog(HWND dialog) {
    ShowShift(dialog);
    ShowCheckBoxes(dialog);
    ShowHotKeys(dialog);
    ShowHelpFile(dialog);
}

void SaveCheckBoxes(HWND dialog) {
    for (const CheckBoxSetting& box : kCheckBoxes) {
        bool ticked = SendDlgItemMessageA(dialog, box.control, BM_GETCHECK, 0, 0) == BST_CHECKED;
        WriteSetting(box.key, ticked ? 1 : 0);
    }
}

void SaveHotKeys(HWND dialog) {
    for (const HotKeySetting& hotKey : kHotKeys) {
        WORD value = LOWORD(SendDlgItemMessageA(dialog, hotKey.control, HKM_GETHOTKEY, 0, 0));
        WriteHotKey(hotKey.keys, FromControlValue(value));
    }
}

void SaveHelpFile(HWND dialog) {
    char path[kSettingTextSize] = "";
    GetDlgItemTextA(dialog, IDC_SETTINGS_HELP_FILE, path, sizeof path);
    WriteSettingText(key::kOpcodeHelpFile, path);
}

// The number beside the arrows; a value outside the range keeps the stored one.
void SaveShift(HWND dialog) {
    char text[kShiftTextSize] = "";
    GetDlgItemTextA(dialog, IDC_SETTINGS_SHIFT_TEXT, text, sizeof text);
    long shift = std::strtol(text, nullptr, 10);
    if (shift >= kSmallestShift && shift <= kLargestShift) WriteSetting(key::kToolbarButtonShift, int(shift));
}

void OnOk(HWND dialog) {
    SaveCheckBoxes(dialog);
    SaveHotKeys(dialog);
    SaveHelpFile(dialog);
    SaveShift(dialog);
    EndDialog(dialog, 0);
}

// A chosen help file is kept at once, whether the dialog is confirmed or not.
void OnBrowse(HWND dialog) {
    char path[kFilePathSize] = "";
    if (!ChooseFile(kHelpFiles, path, kOpenDialog)) return;
    WriteSettingText(key::kOpcodeHelpFile, path);
    SetDlgItemTextA(dialog, IDC_SETTINGS_HELP_FILE, path);
}

// Enter and Escape (ids 1 and 2) do not close the dialog.
void OnCommand(HWND dialog, int id) {
    switch (id) {
    case IDC_SETTINGS_OK: OnOk(dialog); break;
    case IDC_SETTINGS_CANCEL: EndDialog(dialog, 0); break;
    case IDC_SETTINGS_BROWSE: OnBrowse(dialog); break;
    }
}

// Each step of the arrows moves the toolbar button at once; the step itself
// is left to the control (the notification's result stays 0).
bool OnNotify(HWND dialog, const NMHDR* header) {
    if (header->hwndFrom != GetDlgItem(dialog, IDC_SETTINGS_SHIFT_SPIN) || header->code != UDN_DELTAPOS) return false;
    const NMUPDOWN* step = reinterpret_cast<const NMUPDOWN*>(header);
    MoveToolbarButton(Clamp(step->iPos + step->iDelta, kSmallestShift, kLargestShift));
    return true;
}

}  // namespace

void ShowSettingsDialog() {
    RegisterDialogControls();
    INT_PTR result =
        DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_SETTINGS), g_mainWindow, SettingsDialogProc, 0);
    if (result == -1) HostLog(0, kHostLogFailure, "%s: Unable to open the Settings dialog!", kPluginName);
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog); return TRUE;  // focus on the first tab stop
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam)); return TRUE;
    case WM_NOTIFY: return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_CLOSE: EndDialog(dialog, 0); return TRUE;
    }
    return FALSE;
}

}  // namespace zt
