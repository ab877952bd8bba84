// The debugger's CPU disassembler pane: its selection, and the watcher that
// subclasses its window so that the panel follows the selection.
#pragma once

#include <cstdint>

namespace zt {

// The pane's selected address; 0 when there is no pane or no selection.
uint32_t SelectedPaneAddress();

// Starts the timer that attaches the watcher once the pane's window exists.
void StartCpuPaneWatcher();
// Stops a timer still waiting and gives the pane its own procedure back, so
// that nothing reaches this library once it is gone. When another subclass
// sits above ours, ours cannot leave the chain: it stays, passing every
// message on, and the result is false (the library must then stay loaded).
bool StopCpuPaneWatcher();

}  // namespace zt
