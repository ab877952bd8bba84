#include "file_failure.h"

#include "import_patch.h"

#include <cstdio>
#include <set>

namespace sim {

namespace {

struct SizeAnswer {
    bool scripted;
    DWORD low;
    DWORD high;
    DWORD error;
};

bool g_failOpen = false;
int g_writesToFailure = 0;   // 0: none scripted
int g_readsToFailure = 0;
bool g_failFlush = false;
bool g_failClose = false;
SizeAnswer g_size = {};
std::set<FILE*> g_failedStreams;   // a failed read or write sets the stream's error, as the runtime's does

// Counts down a scripted n-th call; true for the call that must fail.
bool Due(int& countdown) { return countdown > 0 && --countdown == 0; }

FILE* __cdecl StubFopen(const char* path, const char* mode) {
    if (g_failOpen) {
        g_failOpen = false;
        return nullptr;
    }
    return std::fopen(path, mode);
}

size_t __cdecl StubFwrite(const void* data, size_t size, size_t count, FILE* file) {
    if (!Due(g_writesToFailure)) return std::fwrite(data, size, count, file);
    g_failedStreams.insert(file);
    return 0;
}

size_t __cdecl StubFread(void* data, size_t size, size_t count, FILE* file) {
    if (!Due(g_readsToFailure)) return std::fread(data, size, count, file);
    g_failedStreams.insert(file);
    return 0;
}

int __cdecl StubFflush(FILE* file) {
    if (!g_failFlush) return std::fflush(file);
    g_failFlush = false;
    return EOF;
}

int __cdecl StubFerror(FILE* file) { return g_failedStreams.count(file) ? 1 : std::ferror(file); }

int __cdecl StubFclose(FILE* file) {
    g_failedStreams.erase(file);
    int result = std::fclose(file);
    if (!g_failClose) return result;
    g_failClose = false;
    return EOF;
}

DWORD WINAPI StubGetFileSize(HANDLE file, DWORD* high) {
    if (!g_size.scripted) return GetFileSize(file, high);
    g_size.scripted = false;
    if (high) *high = g_size.high;
    SetLastError(g_size.error);
    return g_size.low;
}

}  // namespace

std::vector<std::string> InstallFileStubs(HMODULE plugin) {
    const struct {
        const char* dll;
        const char* name;
        const void* stub;
    } stubs[] = {
        {"msvcrt.dll", "fopen", reinterpret_cast<const void*>(&StubFopen)},
        {"msvcrt.dll", "fwrite", reinterpret_cast<const void*>(&StubFwrite)},
        {"msvcrt.dll", "fread", reinterpret_cast<const void*>(&StubFread)},
        {"msvcrt.dll", "fflush", reinterpret_cast<const void*>(&StubFflush)},
        {"msvcrt.dll", "ferror", reinterpret_cast<const void*>(&StubFerror)},
        {"msvcrt.dll", "fclose", reinterpret_cast<const void*>(&StubFclose)},
        {"kernel32.dll", "GetFileSize", reinterpret_cast<const void*>(&StubGetFileSize)},
    };
    std::vector<std::string> patched;
    for (const auto& stub : stubs) {
        if (PatchImport(plugin, stub.dll, stub.name, stub.stub) > 0) patched.push_back(stub.name);
    }
    return patched;
}

void FailFileOpen() { g_failOpen = true; }
void FailFileWrite(int nth) { g_writesToFailure = nth; }
void FailFileRead(int nth) { g_readsToFailure = nth; }
void FailFileFlush() { g_failFlush = true; }
void FailFileClose() { g_failClose = true; }
void ReportFileSize(DWORD low, DWORD high, DWORD error) { g_size = {true, low, high, error}; }

bool FileFailurePending() {
    return g_failOpen || g_writesToFailure > 0 || g_readsToFailure > 0 || g_failClose || g_size.scripted;
}

void ResetFileStubs() {
    g_failOpen = false;
    g_writesToFailure = 0;
    g_readsToFailure = 0;
    g_failFlush = false;
    g_failClose = false;
    g_size = {};
    g_failedStreams.clear();
}

}  // namespace sim
