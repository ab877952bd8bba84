// The code patterns of the bookmarks in a JSON list: made at export for all
// bookmarks of a module at once, searched at import for all entries of a
// module that is another build now, in one pass over its code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pattern.h"
#include "core/pattern_search.h"

namespace zt {

// At export, bookmarks come in address order, so a module's bookmarks come
// together: its patterns are made when its first one comes.
class ExportPatterns {
public:
    ExportPatterns() = default;
    ExportPatterns(const ExportPatterns&) = delete;
    ExportPatterns& operator=(const ExportPatterns&) = delete;
    ~ExportPatterns();

    // The pattern of the bookmark at address, or null when it has none (in
    // no module, outside its code, unreadable, or no memory to make it).
    const CodePattern* For(uint32_t address);

private:
    bool MakeFor(uint32_t base, uint32_t size);

    uint32_t base_ = 0;
    uint32_t size_ = 0;
    uint32_t* addresses_ = nullptr;
    CodePattern* patterns_ = nullptr;
    size_t count_ = 0;
};

// At import: entries of another build, by their number in the list.
class ImportPatterns {
public:
    ImportPatterns() = default;
    ImportPatterns(const ImportPatterns&) = delete;
    ImportPatterns& operator=(const ImportPatterns&) = delete;
    ~ImportPatterns();

    // Entries come in ascending numbers. False when memory ran out.
    bool Add(unsigned entry, uint32_t moduleBase, uint32_t moduleSize, const CodePattern& pattern);
    // Searches every module's patterns in its code, one pass each.
    void Search();
    // What the search made of the entry's pattern; false when it was not added.
    bool Find(unsigned entry, Placement& placement, uint32_t& address) const;
    size_t count() const { return count_; }

private:
    struct Wanted {
        unsigned entry;
        uint32_t moduleBase;
        uint32_t moduleSize;
        CodePattern pattern;
        PatternMatch match;
    };
    void SearchModule(uint32_t base, uint32_t size);

    Wanted* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

// Whether the instruction recorded and the one found now are the same,
// letter case and addresses (hexadecimal numbers of five digits or more)
// aside.
bool SameInstruction(const char* recorded, const char* now);

}  // namespace zt
