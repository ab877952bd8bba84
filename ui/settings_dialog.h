// The modal Settings dialog (dialog 126), owned by the debugger's main window.
#pragma once

#include <windows.h>

namespace zt {

// Opens the dialog and returns when it has been closed.
void ShowSettingsDialog();

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace zt
