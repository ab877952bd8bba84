#include "allocation_failure.h"

#include <cstdlib>

#include "import_patch.h"

namespace sim {

namespace {

bool g_failNext = false;

void* __cdecl StubMalloc(size_t size) {
    if (g_failNext) {
        g_failNext = false;
        return nullptr;
    }
    return std::malloc(size);
}

}  // namespace

bool InstallAllocationStub(HMODULE plugin) {
    return PatchImport(plugin, "msvcrt.dll", "malloc", reinterpret_cast<const void*>(&StubMalloc)) > 0;
}

void FailNextAllocation() { g_failNext = true; }

void ResetAllocationStub() { g_failNext = false; }

}  // namespace sim
