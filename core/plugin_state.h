// The plug-in's process-wide state. There is one plug-in per process and all
// of it is used from the debugger's user-interface thread only.
#pragma once

#include <windows.h>

#include "host/host.h"

namespace zt {

extern HINSTANCE g_instance;       // this library, kept at load
extern HWND g_mainWindow;          // the debugger's main window, kept at initialisation
extern HostTable g_table;          // the bookmark records and the list window
extern char g_listWindowClass[32]; // filled in by the host when the class is registered

inline HostSorted* BookmarkSorted() { return &g_table.sorted; }

}  // namespace zt
