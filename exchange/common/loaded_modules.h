// The modules of the debugged process, wherever they load. The debugger has
// no call that lists them, but every module's base is 64 KB aligned, so
// asking for the module at each 64 KB step of the address space finds all.
#pragma once

#include <cstddef>
#include <cstdint>

#include <windows.h>

#include "core/bookmark_record.h"
#include "exchange/common/file_chooser.h"
#include "host/host.h"

namespace zt {

struct LoadedModule {
    uint32_t base;
    uint32_t size;
    char name[kModuleFieldSize];   // the short name, terminated
    char file[kFilePathSize];      // the file name (ReadModuleFileName), when asked for; empty: not found
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

    // Asks the debugger for every module now, and with files for their file
    // names. False when memory ran out.
    bool Scan(bool files = false);

    // The one loaded module of this short name (letter case aside) and how
    // many there are.
    const LoadedModule* Named(const char* name, unsigned& count) const;
    // The same by file name, after a Scan with files.
    const LoadedModule* WithFile(const char* file, unsigned& count) const;

    // Every module found, lowest base first.
    const LoadedModule* begin() const { return items_; }
    const LoadedModule* end() const { return items_ + count_; }

private:
    // The last module whose text field is text (letter case aside), and how many are.
    template <typename Field>
    const LoadedModule* FindBy(const char* text, Field field, unsigned& count) const {
        const LoadedModule* found = nullptr;
        count = 0;
        for (const LoadedModule& module : *this) {
            if (lstrcmpiA(field(module), text) != 0) continue;
            found = &module;
            ++count;
        }
        return found;
    }

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
