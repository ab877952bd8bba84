// The plug-in's few growable arrays, on the C runtime's heap: std::vector
// would bring the C++ runtime's string class with its length check.
#pragma once

#include <cstddef>
#include <cstdlib>

namespace zt {

// Doubles items' room (or makes room for `first` items). False, with items
// as they were, when memory ran out.
template <typename T>
bool GrowArray(T*& items, size_t& capacity, size_t first) {
    const size_t grown = capacity ? 2 * capacity : first;
    void* block = std::realloc(items, grown * sizeof *items);
    if (!block) return false;
    items = static_cast<T*>(block);
    capacity = grown;
    return true;
}

}  // namespace zt
