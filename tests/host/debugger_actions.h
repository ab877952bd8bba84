// What the plug-in asks the debugger to do: show an address in the CPU
// window, set a one-shot breakpoint, redraw the disassembly.
//
//   sim::SetCpuCalls()            every HostSetCpu call (it also moves the pane's selection)
//   sim::Breakpoints()            every HostTempBreakpoint call
//   sim::DisassemblyRefreshes()   how often HostRefreshDisassembly was called
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct SetCpuCall {
    uint32_t thread;
    uint32_t disasmAddress;
    uint32_t dumpAddress;
    uint32_t stackAddress;
    int mode;
};

struct BreakpointCall {
    uint32_t address;
    uint32_t flags;
};

const std::vector<SetCpuCall>& SetCpuCalls();
const std::vector<BreakpointCall>& Breakpoints();
int DisassemblyRefreshes();

void ResetDebuggerActions();

}  // namespace sim
