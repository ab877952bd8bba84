// The plug-in's life: start, reset, close and end.
#pragma once

#include <windows.h>

namespace zt {

int InitialisePlugin(int hostVersion, HWND mainWindow);
void ResetPlugin();
int ClosePlugin();
void DestroyPlugin();

}  // namespace zt
