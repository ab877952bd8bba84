#include "ui/list_keys.h"

#include "core/plugin_state.h"
#include "host/host.h"
#include "ui/list_commands.h"

namespace zt {

namespace {

constexpr WPARAM kSemicolonKey = 0xBA;  // ";" and ":" on the US layout
constexpr WPARAM kSlashKey = 0xBF;      // "/" and "?" on the US layout

// Every key is taken without Ctrl; Alt is not looked at.
struct KeyBinding {
    WPARAM key;
    bool shift;
    ListCommand command;
};
constexpr KeyBinding kBindings[] = {
    {VK_RETURN, false, ListCommand::Follow},
    {VK_SPACE, false, ListCommand::SwitchActive},
    {VK_DELETE, false, ListCommand::Delete},
    {'G', false, ListCommand::SearchWeb},
    {kSemicolonKey, true, ListCommand::EditName},
    {kSemicolonKey, false, ListCommand::EditComment},
    {kSlashKey, true, ListCommand::OpcodeHelp},
};

bool IsHeld(int key) { return GetKeyState(key) < 0; }

const KeyBinding* BindingFor(WPARAM key) {
    if (IsHeld(VK_CONTROL)) return nullptr;
    bool shift = IsHeld(VK_SHIFT);
    for (const KeyBinding& binding : kBindings) {
        if (binding.key == key && binding.shift == shift) return &binding;
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
    if (const BookmarkRecord* record = SelectedBookmark()) RunListCommand(binding->command, record->address);
}

}  // namespace zt
