// A module image for the code-pattern tests: bytes at a base, a code range,
// relocated fields and unreadable bytes, as the plug-in would read them from
// the debugged process.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "core/code_pattern.h"
#include "core/module_view.h"

class CodeModule {
public:
    explicit CodeModule(uint32_t base = 0x10000000, uint32_t size = 0x3000, zt::CodeRange code = {0x1000, 0x2000})
        : base_(base), bytes_(size, 0), readable_(size, 1), code_(code) {}

    void Put(uint32_t rva, std::initializer_list<uint8_t> bytes) {
        for (uint8_t b : bytes) bytes_.at(rva++) = b;
    }
    void Put32(uint32_t rva, uint32_t value) {
        for (int i = 0; i < 4; ++i) bytes_.at(rva + i) = static_cast<uint8_t>(value >> (8 * i));
    }
    void Relocate(uint32_t rva) { relocations_.push_back(rva); }  // ascending, as a caller keeps them
    void Unreadable(uint32_t rva, uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            readable_.at(rva + i) = 0;
            bytes_.at(rva + i) = 0;
        }
    }
    uint32_t base() const { return base_; }

    zt::ModuleView View() const {
        return zt::ModuleView{base_,        static_cast<uint32_t>(bytes_.size()), bytes_.data(),   readable_.data(),
                              relocations_.data(), relocations_.size(),          &code_, 1};
    }

private:
    uint32_t base_;
    std::vector<uint8_t> bytes_;
    std::vector<uint8_t> readable_;
    std::vector<uint32_t> relocations_;
    zt::CodeRange code_;
};

inline std::string PatternText(const zt::CodePattern& pattern) {
    char text[zt::kPatternTextMax];
    zt::FormatPattern(pattern, text);
    return text;
}

inline zt::CodePattern Pattern(const char* text, unsigned position = 0, bool unique = true) {
    zt::CodePattern pattern;
    zt::ParsePattern(text, position, &pattern);
    pattern.unique = unique ? 1 : 0;
    return pattern;
}
