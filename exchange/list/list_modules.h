// The modules a JSON bookmark list names (its "modules" list): the build each
// of them was when the list was written.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/bookmark_record.h"
#include "exchange/common/loaded_modules.h"

namespace zt {

constexpr size_t kMostListedModules = 4096;

struct ListedModule {
    char name[kModuleFieldSize];
    uint32_t base;
    ModuleBuild build;
    bool hasName, hasBase, hasTimestamp, hasImageSize, hasChecksum;

    // A build is compared only when all three of its values were written.
    bool HasBuild() const { return hasTimestamp && hasImageSize && hasChecksum; }
};

class ListModules {
public:
    ListModules() = default;
    ListModules(const ListModules&) = delete;
    ListModules& operator=(const ListModules&) = delete;
    ~ListModules();

    // False when the list holds kMostListedModules already or memory ran out.
    bool Add(const ListedModule& module);
    // Forgets those added (a later list of modules replaces them).
    void Clear() { count_ = 0; }
    // Done adding: from now on Find answers.
    void Seal();
    // The listed module of that name (letter case aside) and base; without a
    // base, the one of that name when only one has it. Null when none.
    const ListedModule* Find(const char* name, uint32_t base, bool hasBase) const;

private:
    ListedModule* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

}  // namespace zt
