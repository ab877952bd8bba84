// The list window's popup menu, which the debugger shows on a right click.
#pragma once

#include <windows.h>

namespace zt {

// Builds the menu for the selected bookmark (none of its entries when no
// row is selected) and the list's own, Find and Undo; lets the debugger
// show it and runs the chosen command.
void ShowListPopupMenu(HWND window);

}  // namespace zt
