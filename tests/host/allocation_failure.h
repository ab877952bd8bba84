// Makes the plug-in's allocations fail on demand: its calls to the C
// runtime's malloc go through the host, like its other imports.
//
//   sim::InstallAllocationStub(plugin)   rewrites the plug-in's malloc import
//   sim::FailNextAllocation()            the next malloc of the plug-in returns null
#pragma once

#include <windows.h>

namespace sim {

bool InstallAllocationStub(HMODULE plugin);
void FailNextAllocation();
void ResetAllocationStub();

}  // namespace sim
