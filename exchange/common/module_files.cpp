#include "exchange/common/module_files.h"

#include <windows.h>

#include <cstdlib>

#include "exchange/common/loaded_modules.h"

namespace zt {

ModuleFiles::~ModuleFiles() { std::free(items_); }

bool ModuleFiles::Scan() {
    LoadedModules loaded;
    if (!loaded.Scan()) return false;
    const size_t count = static_cast<size_t>(loaded.end() - loaded.begin());
    std::free(items_);
    count_ = 0;
    items_ = static_cast<ModuleFile*>(std::malloc((count ? count : 1) * sizeof *items_));
    if (!items_) return false;
    for (const LoadedModule& module : loaded) {
        ModuleFile& item = items_[count_++];
        item.base = module.base;
        item.size = module.size;
        ReadModuleFileName(module.base, item.file, sizeof item.file);
    }
    return true;
}

const ModuleFile* ModuleFiles::Named(const char* file, unsigned& count) const {
    const ModuleFile* found = nullptr;
    count = 0;
    if (!file[0]) return nullptr;
    for (size_t i = 0; i < count_; ++i) {
        if (lstrcmpiA(items_[i].file, file) != 0) continue;
        found = &items_[i];
        ++count;
    }
    return found;
}

}  // namespace zt
