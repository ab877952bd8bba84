// A copy of a module's image read from the debugged process, with what the
// code patterns need of it: which bytes could be read, where its relocations
// lie and which ranges hold code.
#pragma once

#include <cstdint>

#include "core/module_view.h"
#include "core/pattern_search.h"
#include "core/pe_image.h"

namespace zt {

// Modules larger than this get no patterns: the copy takes twice its size.
constexpr uint32_t kLargestCopiedModule = 64u << 20;

class ModuleCopy {
public:
    ModuleCopy() = default;
    ModuleCopy(const ModuleCopy&) = delete;
    ModuleCopy& operator=(const ModuleCopy&) = delete;
    ~ModuleCopy() { Release(); }

    // Reads the module at base, of size bytes, page by page. False when it is
    // too large, memory ran out, or it holds no readable PE header; the copy
    // is then empty. With a budget, the reading (a unit for every 16 bytes)
    // and the sorting of the relocations (32 units each: a hostile image may
    // name one at every byte) are spent from it, and the copy fails, the
    // budget then spent, when they do not fit.
    bool Read(uint32_t base, uint32_t size, WorkBudget* budget = nullptr);
    uint32_t base() const { return view_.base; }
    const ModuleView& view() const { return view_; }

private:
    void Release();

    uint8_t* bytes_ = nullptr;
    uint8_t* readable_ = nullptr;
    uint32_t* relocations_ = nullptr;
    PeFacts facts_ = {};
    ModuleView view_ = {};
};

}  // namespace zt
