// The list window's own keys.
#pragma once

#include <windows.h>

namespace zt {

// A key of the list window's table runs its command on the selected
// bookmark (nothing when no row is selected), or, for Find (Ctrl+F), Find
// next (Ctrl+L) and Undo (Ctrl+Z), on the list; any other key or combination
// goes to the debugger's table handling. The caller passes the message on
// to the default handling afterwards in every case.
void HandleListKey(HWND window, WPARAM key, LPARAM lParam);

}  // namespace zt
