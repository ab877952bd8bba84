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
// together: its patterns are made when its first one comes. All modules'
// patterns share one work budget: when it runs out, the bookmarks still
// without a settled pattern get none, and are counted.
class ExportPatterns {
public:
    ExportPatterns() = default;
    ExportPatterns(const ExportPatterns&) = delete;
    ExportPatterns& operator=(const ExportPatterns&) = delete;
    ~ExportPatterns();

    // The pattern of the bookmark at address, or null when it has none (in
    // no module, outside its code, unreadable, too few fixed bytes, the
    // budget spent, or no memory to make it).
    const CodePattern* For(uint32_t address);
    // Bookmarks left without a pattern because the budget ran out.
    size_t givenUp() const { return givenUp_; }

private:
    bool MakeFor(uint32_t base, uint32_t size);

    uint32_t base_ = 0;
    uint32_t size_ = 0;
    uint32_t* addresses_ = nullptr;
    CodePattern* patterns_ = nullptr;
    size_t count_ = 0;
    size_t givenUp_ = 0;
    WorkBudget budget_;
};

// An import searches the patterns of at most this many entries; later ones
// are not searched (and counted so). Memory then stays under about 12 MB
// besides the copy of the module searched: about 20 bytes an entry, and
// about 220 bytes for each pattern that differs from the others of its
// module.
constexpr size_t kMostSearchedEntries = 50000;

// At import: entries of another build, by their number in the list.
class ImportPatterns {
public:
    ImportPatterns() = default;
    ImportPatterns(const ImportPatterns&) = delete;
    ImportPatterns& operator=(const ImportPatterns&) = delete;
    ~ImportPatterns();

    // Entries come in ascending numbers. An empty pattern, or one with too
    // few fixed bytes, is not kept: its entry goes as one without a pattern.
    // Past kMostSearchedEntries, entries are not kept either, and are not
    // searched. False when memory ran out.
    bool Add(unsigned entry, uint32_t moduleBase, uint32_t moduleSize, const CodePattern& pattern);
    // Searches every module's patterns in its code, one pass each, all
    // within one work budget.
    void Search();
    // What the search made of the entry's pattern, taken only when the entry
    // holds the pattern (with its uniqueness) and the module base it was
    // added with: otherwise (the file changed between the reads, or the
    // entry was past the limit) kNotSearched. False when the pattern is one
    // Add does not keep: the entry goes as one without a pattern.
    bool Find(unsigned entry, const CodePattern& pattern, uint32_t moduleBase, Placement& placement,
              uint32_t& address) const;
    size_t count() const { return count_; }

private:
    struct Wanted {
        unsigned entry;
        uint32_t moduleBase;
        uint32_t moduleSize;
        uint32_t distinct;   // its pattern among distinct_
        uint8_t unique;
    };
    // A pattern as it came (uniqueness aside), once for each module.
    struct Distinct {
        CodePattern pattern;
        uint32_t moduleBase;
        uint32_t next;       // the next of the same hash
        PatternMatch match;
    };
    void SearchModule(uint32_t base, uint32_t size, WorkBudget& budget);

    Wanted* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
    Distinct* distinct_ = nullptr;
    size_t distinctCount_ = 0;
    size_t distinctCapacity_ = 0;
    uint32_t* heads_ = nullptr;   // of distinct_, by a hash of the pattern and module
};

// Whether the instruction recorded and the one found now are the same,
// letter case and addresses (hexadecimal numbers of five digits or more)
// aside.
bool SameInstruction(const char* recorded, const char* now);

}  // namespace zt
