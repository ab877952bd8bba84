#include "allocation_failure.h"

#include <malloc.h>

#include <cstdlib>

#include "import_patch.h"

namespace sim {

namespace {

bool g_failNext = false;
long long g_held = 0;   // the plug-in's blocks, in bytes, since the stub was installed
long long g_start = 0;
long long g_peak = 0;

void Count(long long bytes) {
    g_held += bytes;
    if (g_held > g_peak) g_peak = g_held;
}

void* __cdecl StubMalloc(size_t size) {
    if (g_failNext) {
        g_failNext = false;
        return nullptr;
    }
    void* block = std::malloc(size);
    if (block) Count(static_cast<long long>(_msize(block)));
    return block;
}

void* __cdecl StubCalloc(size_t count, size_t size) {
    void* block = std::calloc(count, size);
    if (block) Count(static_cast<long long>(_msize(block)));
    return block;
}

void* __cdecl StubRealloc(void* block, size_t size) {
    const long long old = block ? static_cast<long long>(_msize(block)) : 0;
    void* grown = std::realloc(block, size);
    if (grown) Count(static_cast<long long>(_msize(grown)) - old);
    else if (size == 0) Count(-old);
    return grown;
}

void __cdecl StubFree(void* block) {
    if (block) Count(-static_cast<long long>(_msize(block)));
    std::free(block);
}

}  // namespace

bool InstallAllocationStub(HMODULE plugin) {
    g_held = g_start = g_peak = 0;
    PatchImport(plugin, "msvcrt.dll", "calloc", reinterpret_cast<const void*>(&StubCalloc));
    PatchImport(plugin, "msvcrt.dll", "realloc", reinterpret_cast<const void*>(&StubRealloc));
    PatchImport(plugin, "msvcrt.dll", "free", reinterpret_cast<const void*>(&StubFree));
    return PatchImport(plugin, "msvcrt.dll", "malloc", reinterpret_cast<const void*>(&StubMalloc)) > 0;
}

void FailNextAllocation() { g_failNext = true; }

void StartHeapCount() { g_start = g_peak = g_held; }
long long HeapPeak() { return g_peak - g_start; }
long long HeapHeld() { return g_held - g_start; }

void ResetAllocationStub() { g_failNext = false; }

}  // namespace sim
