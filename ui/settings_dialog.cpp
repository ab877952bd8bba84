#include "ui/settings_dialog.h"

namespace zt {

void ShowSettingsDialog() {}

INT_PTR CALLBACK SettingsDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

}  // namespace zt
