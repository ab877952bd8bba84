#include "ui/list_keys.h"

#include "core/plugin_state.h"
#include "host/host.h"
#include "ui/list_commands.h"

namespace zt {

namespace {

constexpr WPARAM kSemicolonKey = 0xBA;  // ";" and ":" on the US layout
constexpr WPARAM kSlashKey = 0xBF;      // "/" and "?" on the US layout

// A key with exactly these of Shift and Ctrl; Alt is not looked at.
struct KeyBinding {
    WPARAM key;
    bool shift;
    bool ctrl;
    ListCommand command;
};
constexpr KeyBinding kBindings[] = {
    {VK_RETURN, false, false, ListCommand::Follow},
    {VK_SPACE, false, false, ListCommand::SwitchActive},
    {VK_DELETE, false, false, ListCommand::Delete},
    {'G', false, false, ListCommand::SearchWeb},
    {kSemicolonKey, true, false, ListCommand::EditName},
    {kSemicolonKey, false, false, ListCommand::EditComment},
    {kSlashKey, true, false, ListCommand::OpcodeHelp},
    {'F', false, true, ListCommand::Find},
    {'L', false, true, ListCommand::FindNext},   // the debugger's own "search again"
    {'Z', false, true, ListCommand::Undo},
};

bool IsHeld(int key) { return GetKeyState(key) < 0; }

const KeyBinding* BindingFor(WPARAM key) {
    const bool shift = IsHeld(VK_SHIFT);
    const bool ctrl = IsHeld(VK_CONTROL);
    for (const KeyBinding& binding : kBindings) {
        if (binding.key == key && binding.shift == shift && binding.ctrl == ctrl) return &binding;
    }
    return nullptr;
}

}  // namespace

void HandleListKey(HWND window, WPARAM key, LPARAM lParam) {
    const KeyBinding* binding = BindingFor(key);
    if (!binding) {
        HostTableFunction(&g_table, window, WM_KEYDOWN, key, lParam);
        return;
    }
    if (!NeedsBookmark(binding->command))
        RunListCommand(binding->command, 0);
    else if (const BookmarkRecord* record = SelectedBookmark())
        RunListCommand(binding->command, record->address);
}

}  // namespace zt
