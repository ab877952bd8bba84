// Host table windows: the window class the host registers for a plug-in,
// the MDI child it creates for a table descriptor, and the host's default
// handling of table messages (HostTableFunction).
//
//   sim::FailRegisterClass()          the next HostRegisterClass returns -1
//   sim::ClassRegistrations()         every HostRegisterClass (name filled in, e.g. "ZtTable1")
//   sim::ClassUnregistrations()       every HostUnregisterClass argument
//   sim::IsClassRegistered(name)
//   sim::QuickTableCalls()            every HostQuickTableWindow call and what it did
//   sim::TableFunctionCalls()         every HostTableFunction call
//   sim::CountTableFunction(message)
//   sim::ChoosePopupItem(id)          the next popup (message 1125) returns this id
//                                     (default: nothing chosen, 0)
//   sim::PopupsShown()                every popup: whether a menu came, and its entries
//   sim::WhilePopupShown(action)      the next popup runs action while it is shown, before
//                                     the choice comes back (the user's other doings meanwhile)
//   sim::AnswerTableFunction(message, result)
//                                     HostTableFunction answers this message with result from
//                                     now on (default 0; the popup message answers its choice)
//   sim::FirstShownRow(table)         the first of the kShownRows rows the table's window shows
//
// WM_KEYDOWN with VK_DOWN or VK_UP moves the table's selected row by one, within its rows,
// and scrolls the window so that the selected row is shown, as the real host's tables do.
//
// HostTableFunction(WM_DESTROY) for the table's own window clears
// table->window, as the real host does.
#pragma once

#include "host/host.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sim {

constexpr UINT kTablePopupMessage = 1125;
constexpr int kShownRows = 10;

struct ClassRegistration {
    std::string name;
    HINSTANCE instance;
    WNDPROC procedure;
    bool hadIcon;
    int result;
};

struct QuickTableCall {
    HostTable* table;
    int lines;
    int columns;
    std::string className;
    std::string title;
    bool created;   // false: an existing window was brought forward (or creation failed)
    HWND window;
};

struct TableFunctionCall {
    HostTable* table;
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

struct MenuEntry {
    UINT id;
    UINT state;   // GetMenuState: MF_GRAYED, MF_SEPARATOR, ...
    std::string text;
};

struct PopupShown {
    bool hadMenu;
    std::vector<MenuEntry> entries;
    int chosen;
};

void FailRegisterClass();
const std::vector<ClassRegistration>& ClassRegistrations();
const std::vector<std::string>& ClassUnregistrations();
bool IsClassRegistered(const std::string& name);
const std::vector<QuickTableCall>& QuickTableCalls();
const std::vector<TableFunctionCall>& TableFunctionCalls();
int CountTableFunction(UINT message);
void ChoosePopupItem(int id);
const std::vector<PopupShown>& PopupsShown();
void WhilePopupShown(std::function<void()> action);
void AnswerTableFunction(UINT message, int result);
int FirstShownRow(const HostTable* table);

// Unregisters classes the plug-in left registered; call once its windows are gone.
void ResetTableWindows();

}  // namespace sim
