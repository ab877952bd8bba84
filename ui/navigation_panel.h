// The floating navigation panel with its "<", ">", "#" and "!" buttons; its
// caption is the plug-in's status line.
#pragma once

#include <windows.h>

namespace zt {

// Creates the panel hidden, owned by the debugger's main window; null on failure.
HWND CreateNavigationPanel();
HWND NavigationPanel();
// Destroys the panel when it still exists.
void DestroyNavigationPanel();
bool IsNavigationPanelVisible();

void SetPanelCaption(const char* caption);
// Has the panel publish a caption that is due (PublishPendingStatus) once the
// message loop runs again.
void AskForPanelCaption();
void EnableSwitchButton(bool enable);

// The panel's screen position in the settings "top" and "left".
void SavePanelPosition();
void RestorePanelPosition();

}  // namespace zt
