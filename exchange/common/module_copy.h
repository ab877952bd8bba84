// A copy of a module's image read from the debugged process, with what the
// code patterns need of it: which bytes could be read, where its relocations
// lie and which ranges hold code.
#pragma once

#include <cstdint>

#include "core/module_view.h"
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
    // is then empty.
    bool Read(uint32_t base, uint32_t size);
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
