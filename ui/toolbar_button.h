// The optional button on the debugger's main window that opens the list.
#pragma once

#include <windows.h>

namespace zt {

constexpr int kToolbarButtonBaseX = 686;

// Subclasses the main window and creates the button; each failure only
// leaves its piece out.
void InstallToolbarButton();
HWND ToolbarButton();
// Gives the main window its own procedure back, when it still runs ours, so
// that nothing reaches this library once it is gone. The button no longer
// opens the list. When another subclass sits above ours, ours stays, passing
// every message on, and the result is false (the library must stay loaded).
bool RemoveMainWindowSubclass();

// Puts the button at 686 + offset and repaints it; nothing when there is none.
void MoveToolbarButton(int offset);

}  // namespace zt
