// The loaded modules by file name (with extension), as x64dbg names them:
// the file name that ReadModuleFileName finds for each.
#pragma once

#include <cstddef>
#include <cstdint>

#include "exchange/common/file_chooser.h"

namespace zt {

struct ModuleFile {
    uint32_t base;
    uint32_t size;
    char file[kFilePathSize];   // empty: not found
};

class ModuleFiles {
public:
    ModuleFiles() = default;
    ModuleFiles(const ModuleFiles&) = delete;
    ModuleFiles& operator=(const ModuleFiles&) = delete;
    ~ModuleFiles();

    // Asks the debugger for every module and its file name now. False when
    // memory ran out.
    bool Scan();

    // The loaded module of this file name (letter case aside), and how many
    // there are; null when none is.
    const ModuleFile* Named(const char* file, unsigned& count) const;

private:
    ModuleFile* items_ = nullptr;
    size_t count_ = 0;
};

}  // namespace zt
