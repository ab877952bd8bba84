#include "ui/list_popup_menu.h"

#include <cstdint>
#include <cstdio>

#include "core/navigation.h"
#include "core/plugin_state.h"
#include "core/undo_journal.h"
#include "host/host.h"
#include "ui/list_commands.h"

namespace zt {

namespace {

constexpr UINT kPopupMenuMessage = 1125;
constexpr UINT_PTR kSeparatorId = static_cast<UINT_PTR>(-1);

enum : UINT { kFollow = 1, kDelete, kSwitch, kEditName, kEditComment, kBreakpoint, kSearch, kHelp, kFind, kUndo };

struct MenuCommand {
    UINT id;
    ListCommand command;
};
constexpr MenuCommand kCommands[] = {
    {kFollow, ListCommand::Follow},           {kDelete, ListCommand::Delete},
    {kSwitch, ListCommand::SwitchActive},     {kEditName, ListCommand::EditName},
    {kEditComment, ListCommand::EditComment}, {kBreakpoint, ListCommand::SetBreakpoint},
    {kSearch, ListCommand::SearchWeb},        {kHelp, ListCommand::OpcodeHelp},
    {kFind, ListCommand::Find},               {kUndo, ListCommand::Undo},
};

void AppendSeparator(HMENU menu) { AppendMenuA(menu, MF_SEPARATOR, kSeparatorId, "-"); }

void AppendEntries(HMENU menu, const BookmarkRecord& record) {
    AppendMenuA(menu, MF_STRING, kFollow, "&Follow\tEnter");
    AppendMenuA(menu, MF_STRING, kDelete, "&Delete\tDel");
    AppendMenuA(menu, MF_STRING, kSwitch, record.active ? "&Disable\tSpace" : "&Enable\tSpace");
    AppendSeparator(menu);
    AppendMenuA(menu, MF_STRING, kEditName, "&Edit Name\t:");
    AppendMenuA(menu, MF_STRING, kEditComment, "&Edit Comment\t;");
    AppendSeparator(menu);
    UINT breakpointFlags = IsReachable(record.address) ? MF_STRING : MF_STRING | MF_GRAYED;
    AppendMenuA(menu, breakpointFlags, kBreakpoint, "Set one-shot breakpoint");
    AppendSeparator(menu);
    AppendMenuA(menu, MF_STRING, kSearch, "Google\tG");
    AppendSeparator(menu);
    AppendMenuA(menu, MF_STRING, kHelp, "Help\t?");
}

// The list's own entries, which need no row.
void AppendListEntries(HMENU menu) {
    AppendMenuA(menu, MF_STRING, kFind, "Find...");
    const UndoKind undoable = UndoableKind();
    char undo[32] = "Undo";
    if (undoable != UndoKind::kNothing) std::snprintf(undo, sizeof undo, "Undo %s", UndoKindName(undoable));
    AppendMenuA(menu, undoable != UndoKind::kNothing ? MF_STRING : MF_STRING | MF_GRAYED, kUndo, undo);
}

void RunChosen(int id, bool selected, uint32_t address) {
    for (const MenuCommand& entry : kCommands) {
        if (static_cast<int>(entry.id) == id && (selected || !NeedsBookmark(entry.command)))
            RunListCommand(entry.command, address);
    }
}

}  // namespace

void ShowListPopupMenu(HWND window) {
    HMENU menu = CreatePopupMenu();
    const BookmarkRecord* record = SelectedBookmark();
    if (menu && record) {
        AppendEntries(menu, *record);
        AppendSeparator(menu);
    }
    if (menu) AppendListEntries(menu);
    // The menu runs a message loop of its own: only the address is kept across it.
    const bool selected = record != nullptr;
    const uint32_t address = selected ? record->address : 0;
    int chosen = HostTableFunction(&g_table, window, kPopupMenuMessage, 0, reinterpret_cast<LPARAM>(menu));
    if (menu) DestroyMenu(menu);
    RunChosen(chosen, selected, address);
}

}  // namespace zt
