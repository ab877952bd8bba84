// The modules of the debugged process, wherever they load. The debugger has
// no call that lists them, but every module's base is 64 KB aligned, so
// asking for the module at each 64 KB step of the address space finds all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bookmark_record.h"
#include "host/host.h"

namespace zt {

struct LoadedModule {
    uint32_t base;
    uint32_t size;
    char name[kModuleFieldSize];   // the short name, terminated
};

// A module's build, from the PE header in the debugged process's memory.
struct ModuleBuild {
    uint32_t timestamp;   // TimeDateStamp
    uint32_t imageSize;   // SizeOfImage
    uint32_t checksum;    // CheckSum
};

class LoadedModules {
public:
    LoadedModules() = default;
    LoadedModules(const LoadedModules&) = delete;
    LoadedModules& operator=(const LoadedModules&) = delete;
    ~LoadedModules();

    // Asks the debugger for every module now. False when memory ran out.
    bool Scan();

    // The one loaded module of this short name (letter case aside) and how
    // many there are.
    const LoadedModule* Named(const char* name, unsigned& count) const;

    // Every module found, lowest base first.
    const LoadedModule* begin() const { return items_; }
    const LoadedModule* end() const { return items_ + count_; }

private:
    LoadedModule* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

// The module's short name as a terminated text.
void ModuleName(const HostModule& module, char (&name)[kModuleFieldSize]);

// False when the header cannot be read or is not a PE header.
bool ReadModuleBuild(uint32_t base, ModuleBuild& build);

// The module's file name with its extension: the debugged file's name for the
// program itself, the name in a DLL's export directory. Empty when neither
// can be found.
void ReadModuleFileName(uint32_t base, char* file, size_t fileSize);

}  // namespace zt
