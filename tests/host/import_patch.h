// Rewrites a loaded module's import address table: every slot that imports
// `function` (by name) from `dll` (name compared ignoring case) is pointed
// at `replacement`.
//
//   sim::PatchImport(module, "user32.dll", "MessageBeep", stub)   number of slots changed
#pragma once

#include <windows.h>

namespace sim {

int PatchImport(HMODULE module, const char* dll, const char* function, const void* replacement);

}  // namespace sim
