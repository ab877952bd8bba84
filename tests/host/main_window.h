// The host's main window: an MDI frame with an MDICLIENT child, created
// visible for each test and destroyed at its end.
//
//   sim::CreateMainWindow()     creates and shows it; returns the frame
//   sim::DestroyMainWindow()    destroys it (and every window it owns)
//   sim::MainWindow(), sim::MdiClient()
//   sim::kHostEchoMessage       the frame answers it with lParam + 1, so a test can
//                               see that a subclass passes the host's result through
//   sim::FrameCommands()        WM_COMMAND wParams that reached the host's frame procedure
#pragma once

#include <windows.h>

#include <vector>

namespace sim {

constexpr UINT kHostEchoMessage = WM_APP + 0x10;

HWND CreateMainWindow();
void DestroyMainWindow();
HWND MainWindow();
HWND MdiClient();
const std::vector<WPARAM>& FrameCommands();

}  // namespace sim
