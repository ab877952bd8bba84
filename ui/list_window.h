// The bookmark list: a table window of the debugger's that shows the records
// of the bookmark table.
#pragma once

#include <windows.h>

namespace zt {

bool ListWindowExists();
// Repaints the list window, when it exists, without erasing it.
void RepaintListWindow();
// Creates the list window or brings it forward.
void OpenListWindow();
// Closes the list window when it exists.
void CloseListWindow();

LRESULT CALLBACK ListWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace zt
