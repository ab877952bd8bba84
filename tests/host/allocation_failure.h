// Makes the plug-in's allocations fail on demand: its calls to the C
// runtime's malloc go through the host, like its other imports.
//
//   sim::InstallAllocationStub(plugin)   rewrites the plug-in's malloc import
//   sim::FailNextAllocation()            the next malloc of the plug-in returns null
//   sim::StartHeapCount()                from now on, counts the bytes the plug-in holds on the
//                                        heap (its malloc, calloc, realloc and free)
//   sim::HeapPeak() / sim::HeapHeld()    the most it held at once since then, and what it holds now,
//                                        both above what it held at the start (negative: less)
#pragma once

#include <windows.h>

namespace sim {

bool InstallAllocationStub(HMODULE plugin);
void FailNextAllocation();
void StartHeapCount();
long long HeapPeak();
long long HeapHeld();
void ResetAllocationStub();

}  // namespace sim
