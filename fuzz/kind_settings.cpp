// Settings values as the debugger's settings file may hold them: hot keys
// and their modifiers in and out of range, toolbar offsets of any size, help
// file paths of every length. Then one of their readers: a shortcut in the
// CPU pane, the pane's menu and toggle (with the naming prompt), the list
// window's opcode help, or the Settings dialog, confirmed or cancelled.
#include "host/dialog_controls.h"
#include "host/message_pump.h"
#include "kinds.h"
#include "session.h"

#include <climits>

namespace fuzz {

namespace {

constexpr WPARAM kSlashKey = 0xBF;
constexpr size_t kPathLimit = 259;
const char* const kHotKeys[] = {"toggle", "previous", "next"};

int AnyInt(Rng& rng) { return int(rng.Word()); }

void StoreValues(Session& session) {
    Rng& rng = session.rng();
    for (const char* which : kHotKeys) {
        if (!rng.OneIn(2)) continue;
        const std::string prefix = std::string("hotkey_") + which + "__";
        sim::StoreSetting(prefix + "key", rng.Pick(std::vector<int>{0, int(rng.Below(256)), int(rng.Below(256)),
                                                                    0x100 + int(rng.Below(256)), -1, AnyInt(rng)}));
        for (const char* part : {"alt", "shift", "ctrl"})
            sim::StoreSetting(prefix + part, rng.Pick(std::vector<int>{0, 1, 0, 1, 2, -1, AnyInt(rng)}));
    }
    if (rng.OneIn(2)) {
        sim::StoreSetting("toolbar_button_shift",
                          rng.Pick(std::vector<int>{0, 320, 321, -1, -5, 500, INT_MAX, INT_MIN, 0x10005, 0xFFFF,
                                                    int(rng.Below(321)), AnyInt(rng)}));
    }
    if (rng.OneIn(2)) {
        const size_t length = rng.Below(301);   // every length, past the 259 the plug-in reads
        std::string path = rng.OneIn(4) ? session.FilePath("help.hlp") : "C:\\" + Text(rng, length);
        sim::StoreSetting("opcode_help_file", path.substr(0, length));
        if (rng.OneIn(3)) sim::StoreSetting("opcode_help_file", session.FilePath("help.hlp"));
    }
    for (const char* flag : {"map_bookmark_name_to_label", "show_bookmark_name_dialog", "show_toggle_bookmark"})
        if (rng.OneIn(3)) sim::StoreSetting(flag, rng.Pick(std::vector<int>{0, 1, 2, -1}));
}

// The user closes the Settings dialog with OK or Cancel once it shows.
void CloseSettingsWhenShown(Rng& rng) {
    const int button = rng.OneIn(2) ? kSettingsOk : kSettingsCancel;
    sim::WhenDialogAppears("Settings", [button](HWND dialog) { sim::ClickControl(dialog, button); });
}

bool InRange(const std::string& key, const std::string& value) {
    if (key == "opcode_help_file") return value.size() <= kPathLimit;
    const long number = std::strtol(value.c_str(), nullptr, 10);
    if (key == "toolbar_button_shift") return number >= 0 && number <= 320;
    if (key.size() > 5 && key.compare(key.size() - 5, 5, "__key") == 0) return number >= 0 && number <= 255;
    if (key == "top" || key == "left") return true;
    return number == 0 || number == 1;   // flags and modifiers
}

// Whether the help file the plug-in reads (at most 259 characters of the
// setting) opens; otherwise the list's help command opens the Settings dialog.
bool HelpFileOpens() {
    const std::string path = sim::StoredText("opcode_help_file").substr(0, kPathLimit);
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

}  // namespace

void SettingsValueInput(Session& session) {
    Rng& rng = session.rng();
    StoreValues(session);
    const size_t settingCalls = sim::SettingsLog().size();
    const size_t helpCalls = sim::HelpCalls().size();
    switch (rng.Below(10)) {
    case 0: case 1: case 2: case 3: {
        const std::string prefix = std::string("hotkey_") + kHotKeys[rng.Below(3)] + "__";
        const bool stored = rng.OneIn(2);
        const int key = stored ? sim::StoredInt(prefix + "key", 0) : int(rng.Below(256));
        auto modifier = [&](const char* part) { return stored ? sim::StoredInt(prefix + part, 0) : int(rng.Below(2)); };
        const int alt = modifier("alt"), shift = modifier("shift"), ctrl = modifier("ctrl");
        session.SelectSomewhere();
        session.Shortcut(kOriginCpuPane, ctrl, alt, shift, key, sim::Pane());
        break;
    }
    case 4: case 5:
        session.SelectSomewhere();
        session.Menu(kOriginCpuPane, sim::Pane());
        sim::ReplyText(Text(rng, rng.Below(300)));
        session.Action(kOriginCpuPane, 0, sim::Pane());
        break;
    case 6: case 7: {
        const int rows = int(session.BookmarkAddresses().size());
        if (rows == 0) break;
        if (!session.ListWindow()) session.Action(kOriginPluginMenu, kMenuList);
        session.Table()->sorted.selectedRow = int(rng.Below(uint32_t(rows)));
        if (!HelpFileOpens()) CloseSettingsWhenShown(rng);
        session.ListKey(kSlashKey, true);
        break;
    }
    default:
        CloseSettingsWhenShown(rng);
        session.Action(kOriginPluginMenu, kMenuSettings);
        break;
    }
    if (sim::PendingDialogActions() > 0) session.Fail("the Settings dialog did not appear");
    if (sim::FindDialog("Settings")) session.Fail("the Settings dialog stayed open");

    const std::vector<sim::SettingCall>& calls = sim::SettingsLog();
    for (size_t i = settingCalls; i < calls.size(); ++i) {
        const sim::SettingCall& call = calls[i];
        const bool write = call.op == sim::SettingOp::WriteInt || call.op == sim::SettingOp::WriteText;
        if (write && !InRange(call.key, call.value)) session.Fail("the plug-in stored " + call.key + "=" + call.value);
    }
    for (size_t i = helpCalls; i < sim::HelpCalls().size(); ++i) {
        const sim::HelpCall& help = sim::HelpCalls()[i];
        if (help.file.size() > kPathLimit || help.keyword.size() > 15)
            session.Fail("help opened with a path of " + std::to_string(help.file.size()) + " and a keyword of " +
                         std::to_string(help.keyword.size()) + " characters");
    }
}

}  // namespace fuzz
