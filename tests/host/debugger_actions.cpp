#include "debugger_actions.h"

#include "cpu_pane.h"
#include "host/host.h"

namespace sim {
namespace {

std::vector<SetCpuCall> g_setCpu;
std::vector<BreakpointCall> g_breakpoints;
int g_refreshes = 0;

}  // namespace

const std::vector<SetCpuCall>& SetCpuCalls() { return g_setCpu; }
const std::vector<BreakpointCall>& Breakpoints() { return g_breakpoints; }
int DisassemblyRefreshes() { return g_refreshes; }

void ResetDebuggerActions() {
    g_setCpu.clear();
    g_breakpoints.clear();
    g_refreshes = 0;
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostSetCpu(uint32_t thread, uint32_t disasmAddress, uint32_t dumpAddress,
                                  uint32_t stackAddress, int mode) {
    g_setCpu.push_back({thread, disasmAddress, dumpAddress, stackAddress, mode});
    if (disasmAddress != 0) Pane()->selected = disasmAddress;
    return 0;
}

extern "C" int __cdecl HostTempBreakpoint(uint32_t address, uint32_t flags) {
    g_breakpoints.push_back({address, flags});
    return 0;
}

extern "C" void __cdecl HostRefreshDisassembly(void) { ++g_refreshes; }
