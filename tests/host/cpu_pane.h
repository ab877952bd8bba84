// The CPU disassembler pane: the host's descriptor of it (HostGetValue(53),
// also the item of origin-31 calls) and its window, a child of the main
// window. The pane's handle is published in the 32-bit variable at
// 0x4CD6A8 of this executable, where the real host keeps it.
//
//   sim::Pane()                      the descriptor (zeroed at reset); set blockBase,
//                                    blockSize, selected directly
//   sim::ShowBlock(base, size)       the pane shows this memory block
//   sim::CreatePaneWindow(parent)    the window; its handle goes to the variable
//   sim::PaneWindow()
//   sim::WithdrawPaneHandle()        the variable reads 0 (the pane "does not exist yet")
//   sim::PublishPaneHandle()         the variable holds the pane window again
//   sim::PaneHandleSlot()            the variable itself (at 0x4CD6A8)
//   sim::SelectInPane(address)       selection moves: sets `selected`, sends 1128 to the window
//   sim::PaneMessages()              1128, 1131 and WM_KEYDOWN messages the pane's own
//                                    procedure received (after any subclass passed them on)
#pragma once

#include "host/host.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace sim {

constexpr uintptr_t kPaneHandleAddress = 0x4CD6A8;
constexpr UINT kPaneSelectionChanged = 1128;
constexpr UINT kPaneScrolled = 1131;

struct PaneMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

HostCpuPane* Pane();
void ShowBlock(uint32_t base, uint32_t size);
HWND CreatePaneWindow(HWND parent);
HWND PaneWindow();
void WithdrawPaneHandle();
void PublishPaneHandle();
volatile uint32_t* PaneHandleSlot();
void SelectInPane(uint32_t address);
const std::vector<PaneMessage>& PaneMessages();

void ResetCpuPane();

}  // namespace sim
