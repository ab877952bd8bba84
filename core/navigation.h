// Moving the CPU disassembler between bookmarks.
#pragma once

#include <cstdint>

namespace zt {

enum NavigationResult { kNavigationNone = 0, kNavigationMoved = 1, kNavigationWrapped = 2 };

bool IsReachable(uint32_t address);

// Shows a bookmark in the CPU pane, republishes the caption and selects its
// row in the list window.
void GoToBookmark(uint32_t address);

// The nearest active, reachable bookmark above (below) start; 0 for none.
uint32_t FindNextActive(uint32_t start);
uint32_t FindPreviousActive(uint32_t start);

int ToggleFromCaller(uint32_t address);
int NavigateBack(uint32_t start);
int NavigateForward(uint32_t start);

}  // namespace zt
