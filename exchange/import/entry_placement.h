// Where an import's entry goes now: in the loaded module of its name or file
// name, at its recorded address when that module stayed where it was, else
// at its offset in the module (never past the module's end); and whether the
// module loaded now is another build than the one recorded.
#pragma once

#include <cstdint>

#include "exchange/common/loaded_modules.h"
#include "exchange/import/import_entry.h"

namespace zt {

enum class Where : uint8_t { kPlaced, kInNoModule, kNotLoaded, kNotUnique, kOutside };

struct Target {
    uint32_t address;
    bool otherBuild;     // the module there now is another build than the entry's
    bool fallback;       // placed in the fallback module, its own not being loaded
    uint32_t moduleBase;
    uint32_t moduleSize;
};

class EntryPlacement {
public:
    EntryPlacement(uint32_t fallbackBase, uint32_t fallbackSize)
        : fallbackBase_(fallbackBase), fallbackSize_(fallbackSize) {}
    EntryPlacement(const EntryPlacement&) = delete;
    EntryPlacement& operator=(const EntryPlacement&) = delete;

    // Asks the debugger for its modules now (and their file names, with
    // files). False when memory ran out.
    bool Scan(bool files);

    Where Place(const ImportEntry& entry, Target& target);

private:
    struct Named {
        uint32_t base;
        uint32_t size;
        unsigned count;
    };
    const Named& FindNamed(const ImportEntry& entry);
    bool IsNamedModuleThere(const ImportEntry& entry, const HostModule* there);
    bool IsOtherBuild(const ImportEntry& entry, uint32_t base);

    const uint32_t fallbackBase_;
    const uint32_t fallbackSize_;
    LoadedModules loaded_;

    // Entries come grouped by module, and neither the modules nor their
    // headers change during an import: the last entry's answers serve the
    // next one of the same module.
    ModuleKey namedKey_ = ModuleKey::kNone;
    char namedModule_[kFilePathSize] = "";
    Named named_ = {};
    uint32_t thereBase_ = 0;
    bool thereKnown_ = false;
    bool thereIsNamed_ = false;
    uint32_t buildBase_ = 0;
    ModuleBuild buildWanted_ = {};
    bool buildKnown_ = false;
    bool otherBuild_ = false;
};

}  // namespace zt
