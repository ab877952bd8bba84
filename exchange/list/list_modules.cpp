#include "exchange/list/list_modules.h"

#include <windows.h>

#include <cstdlib>

#include "exchange/common/grow_array.h"

namespace zt {

namespace {

// By name, letter case aside, then by base; a module without a base sorts
// first among those of its name.
int Compare(const char* name, uint32_t base, const ListedModule& module) {
    const int byName = lstrcmpiA(name, module.name);
    if (byName != 0) return byName;
    const uint32_t other = module.hasBase ? module.base : 0;
    return base < other ? -1 : base > other ? 1 : 0;
}

int CompareModules(const void* a, const void* b) {
    const ListedModule& first = *static_cast<const ListedModule*>(a);
    return Compare(first.name, first.hasBase ? first.base : 0, *static_cast<const ListedModule*>(b));
}

}  // namespace

ListModules::~ListModules() { std::free(items_); }

bool ListModules::Add(const ListedModule& module) {
    if (count_ == kMostListedModules) return false;
    if (count_ == capacity_ && !GrowArray(items_, capacity_, 16)) return false;
    items_[count_++] = module;
    return true;
}

void ListModules::Seal() {
    if (count_ > 1) std::qsort(items_, count_, sizeof *items_, &CompareModules);
}

const ListedModule* ListModules::Find(const char* name, uint32_t base, bool hasBase) const {
    // The first of the name at or above the base.
    size_t low = 0, high = count_;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (Compare(name, hasBase ? base : 0, items_[middle]) > 0)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == count_ || lstrcmpiA(name, items_[low].name) != 0) return nullptr;
    if (hasBase) return Compare(name, base, items_[low]) == 0 ? &items_[low] : nullptr;
    const bool unique = low + 1 == count_ || lstrcmpiA(name, items_[low + 1].name) != 0;
    return unique ? &items_[low] : nullptr;
}

}  // namespace zt
