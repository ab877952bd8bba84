// The code patterns of the bookmarks in a JSON list: made at export for all
// bookmarks of a module at once, searched at import for all entries of a
// module that is another build now, in one pass over its code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/call_sites.h"
#include "core/code_pattern.h"
#include "core/pattern_search.h"
#include "core/pointer_targets.h"
#include "core/routine_align.h"
#include "core/twin_follow.h"
#include "core/twin_order.h"

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
    // budget spent, or no memory to make it). With places: when the pattern
    // is not unique in the module and occurs there at most kMostTwins times,
    // *placeCount (else 0) of its places, each the bookmark's byte as an
    // offset from the module's base, ascending, go to places.
    const CodePattern* For(uint32_t address, uint32_t* places = nullptr, size_t* placeCount = nullptr);
    // After For(address): the patterns of up to kMostCallers places that
    // call the bookmark's address, when its pattern is not unique, each
    // unique in the module and on the call's E8 byte; returns how many.
    size_t CallersOf(uint32_t address, const CodePattern** callers) const;
    // After For(address): the keys of the instructions around it, for an
    // import to align its routine when its code changed; null when none.
    const AlignKeys* AlignOf(uint32_t address) const;
    // After For(address): when its pattern has places, what each wildcard
    // field of its pattern points to at the bookmark (*targets, the count
    // returned), when that tells its place from the others; else 0.
    size_t TargetsOf(uint32_t address, const uint32_t** targets) const;
    // After For(address): the description of the names the module exports
    // the routine at the bookmark under (PointerTargets::ExportNames), or 0.
    uint32_t ExportNamesOf(uint32_t address) const;
    // Bookmarks left without a pattern because the budget ran out.
    size_t givenUp() const { return givenUp_; }

private:
    bool MakeFor(uint32_t base, uint32_t size);
    void FindPlaces(const ModuleView& module);
    void FindCallers(const ModuleView& module);
    void FindTargets(const ModuleView& module);
    size_t IndexOf(uint32_t address) const;

    uint32_t base_ = 0;
    uint32_t size_ = 0;
    uint32_t* addresses_ = nullptr;
    CodePattern* patterns_ = nullptr;
    uint32_t* places_ = nullptr;        // kMostTwins for each bookmark
    uint8_t* placeCounts_ = nullptr;
    uint32_t* callerSlots_ = nullptr;   // of each bookmark, into callers_, or none
    CodePattern* callers_ = nullptr;    // kMostCallers a slot
    uint8_t* callerCounts_ = nullptr;   // a slot
    AlignKeys* aligns_ = nullptr;       // of each bookmark
    uint32_t* targets_ = nullptr;       // kMostTargetFields for each bookmark
    uint8_t* targetCounts_ = nullptr;
    uint32_t* exportNames_ = nullptr;   // of each bookmark
    size_t count_ = 0;
    size_t givenUp_ = 0;
    WorkBudget budget_;
};

// An import searches the patterns of at most this many entries; later ones
// are not searched (and counted so). Memory then stays under about 28 MB
// besides the copy of the module searched: about 64 bytes an entry, 32 more
// for one with old places, 42 more for one with alignment keys and up to 64
// more for what its pattern's wildcards pointed to, about 225 bytes for each
// pattern that differs from the others of its module (callers' patterns
// among them, at most kMostCallerPatterns), and while its module is searched
// 44 bytes for each such pattern, 80 for each entry, 216 for each entry with
// pointer targets, 192 KB for the module's import and export tables and
// 512 KB for a region aligned.
constexpr size_t kMostSearchedEntries = 50000;
// And the patterns of at most this many callers, all entries together
// (about 225 bytes each); later ones are passed over.
constexpr size_t kMostCallerPatterns = 10000;

// At import: entries of another build, by their number in the list.
class ImportPatterns {
public:
    ImportPatterns() = default;
    ImportPatterns(const ImportPatterns&) = delete;
    ImportPatterns& operator=(const ImportPatterns&) = delete;
    ~ImportPatterns();

    // Entries come in ascending numbers, each with its offset in the old
    // build and, when its pattern was not unique there, that pattern's
    // places in the old build (used only when its own offset is among 2 to
    // kMostTwins of them); placesKnown: the writer records such places (else
    // the order places nothing for the entry). An empty pattern, or one with too few fixed
    // bytes, is not kept: its entry goes as one without a pattern. Past
    // kMostSearchedEntries, entries are not kept either, and are not
    // searched. False when memory ran out.
    // With placesKnown, callers (patterns of the places that called the
    // bookmark in the old build) are searched too: an entry still ambiguous
    // after the order goes where two or more of them found again call, when
    // none calls elsewhere and its own pattern was found there.
    // With old places, targets (what each wildcard field of the pattern
    // pointed to at the bookmark, PointerTargets::FieldsOf(pattern) of them)
    // decide what is still ambiguous after the callers: placed at the one
    // place whose fields agree. With align (keys of the instructions around
    // the bookmark), an entry whose pattern is not found is placed by
    // aligning its routine's instructions between its placed neighbours
    // (PlaceByAlignment). With exportNames (those of the exported routine it
    // was on), an entry whose pattern is not found once goes to the routine
    // the module exports under those names now, before any other step.
    bool Add(unsigned entry, uint32_t moduleBase, uint32_t moduleSize, const CodePattern& pattern, uint32_t oldOffset,
             bool placesKnown, const uint32_t* oldPlaces, size_t oldPlaceCount, const CodePattern* callers = nullptr,
             size_t callerCount = 0, const uint32_t* targets = nullptr, size_t targetCount = 0,
             const AlignKeys* align = nullptr, uint32_t exportNames = 0);
    // Searches every module's patterns in its code, one pass each, all
    // within one work budget; then settles, module by module, what the
    // order of the entries decides among the places of patterns found more
    // than once (PlaceTwinsByOrder).
    void Search();
    // What the search made of the entry's pattern, taken only when the entry
    // holds the pattern (with its uniqueness), the old offset and the module
    // base it was added with: otherwise (the file changed between the reads,
    // or the entry was past the limit) kNotSearched. An ambiguous pattern
    // that the order or the callers decided is kFound there, and so is one
    // not found that its routine's alignment placed. False when the
    // pattern is one Add does not keep: the entry goes as one without a
    // pattern.
    bool Find(unsigned entry, const CodePattern& pattern, uint32_t oldOffset, uint32_t moduleBase,
              Placement& placement, uint32_t& address) const;
    size_t count() const { return count_; }

private:
    struct Wanted {
        unsigned entry;
        uint32_t moduleBase;
        uint32_t moduleSize;
        uint32_t distinct;    // its pattern among distinct_
        uint32_t oldOffset;
        uint32_t oldPlaces;   // its first old place in places_
        uint32_t placedAt;    // the address its export names, the order, the callers... chose, or 0
        uint32_t alignedAt;   // the address the alignment chose, or 0
        uint32_t align;       // its keys in aligns_, or kNoAlign
        uint32_t callers[kMostCallers];   // its callers' patterns among distinct_
        uint32_t targets;     // its first recorded target in targets_
        uint32_t exportNames;   // of the exported routine it was on, or 0
        uint8_t targetCount;
        uint8_t callerCount;
        uint8_t unique;
        uint8_t placesKnown;
        uint8_t oldPlaceCount;
    };
    // A pattern as it came (uniqueness aside), once for each module.
    struct Distinct {
        CodePattern pattern;
        uint32_t moduleBase;
        uint32_t next;       // the next of the same hash
        uint32_t slot;       // its place in its module's search
        PatternMatch match;
    };
    void SearchModule(uint32_t base, uint32_t size, WorkBudget& budget);
    // The entries of the module at base: how many, and their indices into
    // items_ in which (when given).
    size_t ItemsOf(uint32_t base, uint32_t* which) const;
    // What the search made of the entry's pattern, with its uniqueness.
    Placement PlacementOfItem(const Wanted& item) const;
    template <typename Mark, typename Fill, typename Decide, typename Take>
    void StepOverModule(uint32_t base, Fill&& fill, Decide&& decide, Take&& take);
    void PlaceByExports(uint32_t base, const PointerTargets& targets);
    void PlaceByOrder(uint32_t base, const uint32_t* where);
    void PlaceByCallers(uint32_t base, const ModuleView& module);
    void FollowNeighbours(uint32_t base, const ModuleView& module);
    void PlaceByAlignment(uint32_t base, const ModuleView& module, WorkBudget& budget);
    // In list_targets.cpp: where[slot * stride + k] are the places of each pattern.
    void PlaceByTargets(uint32_t base, const ModuleView& module, const PointerTargets& targets, const uint32_t* where,
                        uint32_t stride, WorkBudget& budget);
    bool Ambiguous(const Wanted& item) const;
    bool Intern(const CodePattern& pattern, uint32_t moduleBase, uint32_t& index);

    Wanted* items_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
    Distinct* distinct_ = nullptr;
    size_t distinctCount_ = 0;
    size_t distinctCapacity_ = 0;
    uint32_t* heads_ = nullptr;   // of distinct_, by a hash of the pattern and module
    uint32_t* places_ = nullptr;  // the entries' old places
    size_t placeCount_ = 0;
    size_t placeCapacity_ = 0;
    size_t callersKept_ = 0;
    AlignKeys* aligns_ = nullptr;  // the entries' alignment keys
    size_t alignCount_ = 0;
    size_t alignCapacity_ = 0;
    uint32_t* targets_ = nullptr;  // the entries' recorded targets
    size_t targetCount_ = 0;
    size_t targetCapacity_ = 0;
};

// Whether the instruction recorded and the one found now are the same,
// letter case and addresses (hexadecimal numbers of five digits or more)
// aside.
bool SameInstruction(const char* recorded, const char* now);

}  // namespace zt
