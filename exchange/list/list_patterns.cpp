#include "exchange/list/list_patterns.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/bookmark_list.h"
#include "core/code_signature.h"
#include "exchange/common/module_copy.h"
#include "exchange/common/grow_array.h"
#include "host/host.h"

namespace zt {

namespace {

// Disassembly is ASCII: plain tests, whatever the C runtime's locale.
bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }
bool IsWordCharacter(char c) { return IsHexDigit(c) || (c >= 'G' && c <= 'Z') || (c >= 'g' && c <= 'z') || c == '_'; }
char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// The length of the run of hex digits at text, when it stands as a number of
// its own (not inside a word) and is long enough to be an address; else 0.
size_t AddressAt(const char* text, const char* start) {
    if (text > start && IsWordCharacter(text[-1])) return 0;
    size_t length = 0;
    while (IsHexDigit(text[length])) ++length;
    if (IsWordCharacter(text[length])) return 0;
    return length >= 5 ? length : 0;
}

}  // namespace

ExportPatterns::~ExportPatterns() {
    std::free(addresses_);
    std::free(patterns_);
    std::free(places_);
    std::free(placeCounts_);
    std::free(callerSlots_);
    std::free(callers_);
    std::free(callerCounts_);
    std::free(aligns_);
    std::free(targets_);
    std::free(targetCounts_);
    std::free(exportNames_);
}

namespace {

constexpr uint32_t kNoSlot = 0xFFFFFFFF;

// The first `count` places, ascending (a handful: no sort from the runtime).
void SortPlaces(uint32_t* places, size_t count) {
    for (size_t i = 1; i < count; ++i)
        for (size_t j = i; j > 0 && places[j - 1] > places[j]; --j) {
            const uint32_t swap = places[j];
            places[j] = places[j - 1];
            places[j - 1] = swap;
        }
}

}  // namespace

// The places of each pattern that is not unique, for the order of the
// routines to decide between at import. Spent from the same budget; what it
// cannot settle (the budget, memory) simply gets no places.
void ExportPatterns::FindPlaces(const ModuleView& module) {
    constexpr uint32_t kEnough = kMostTwins + 1;
    size_t wanted = 0;
    for (size_t i = 0; i < count_; ++i) wanted += patterns_[i].length && !patterns_[i].unique;
    if (wanted == 0) return;
    const CodePattern** each = static_cast<const CodePattern**>(std::malloc(wanted * sizeof *each));
    uint32_t* which = static_cast<uint32_t*>(std::malloc(wanted * sizeof *which));
    PatternMatch* matches = static_cast<PatternMatch*>(std::malloc(wanted * sizeof *matches));
    uint32_t* where = static_cast<uint32_t*>(std::malloc(wanted * kEnough * sizeof *where));
    if (each && which && matches && where) {
        size_t next = 0;
        for (size_t i = 0; i < count_; ++i) {
            if (!patterns_[i].length || patterns_[i].unique) continue;
            each[next] = &patterns_[i];
            which[next++] = static_cast<uint32_t>(i);
        }
        if (SearchPatterns(module, each, wanted, matches, budget_, kEnough, kMinFixedBytes, where)) {
            for (size_t k = 0; k < wanted; ++k) {
                const PatternMatch& match = matches[k];
                if (match.givenUp || match.count < 2 || match.count > kMostTwins) continue;
                const size_t i = which[k];
                uint32_t* places = places_ + i * kMostTwins;
                bool own = false;
                for (uint32_t t = 0; t < match.count; ++t) {
                    places[t] = where[k * kEnough + t] - base_;
                    own = own || places[t] == addresses_[i] - base_;
                }
                SortPlaces(places, match.count);
                if (own) placeCounts_[i] = static_cast<uint8_t>(match.count);
            }
        }
    }
    std::free(each);
    std::free(which);
    std::free(matches);
    std::free(where);
}

// The call sites of each bookmark whose pattern is not unique (a routine's
// twin, when it is its entry), each with a pattern of its own that is unique
// and on the call: at import, those found again name the routine's new
// entry. Spent from the same budget; what it cannot settle gets no callers.
void ExportPatterns::FindCallers(const ModuleView& module) {
    std::free(callerSlots_);
    std::free(callers_);
    std::free(callerCounts_);
    callers_ = nullptr;
    callerCounts_ = nullptr;
    callerSlots_ = static_cast<uint32_t*>(std::malloc((count_ ? count_ : 1) * sizeof *callerSlots_));
    if (!callerSlots_) return;
    size_t slots = 0;
    for (size_t i = 0; i < count_; ++i)
        callerSlots_[i] = patterns_[i].length && !patterns_[i].unique ? static_cast<uint32_t>(slots++) : kNoSlot;
    if (slots == 0) return;
    uint32_t* targets = static_cast<uint32_t*>(std::malloc(slots * sizeof *targets));
    uint32_t* sites = static_cast<uint32_t*>(std::malloc(slots * kMostCallers * sizeof *sites));
    uint8_t* siteCounts = static_cast<uint8_t*>(std::malloc(slots));
    CodePattern* made = static_cast<CodePattern*>(std::calloc(slots * kMostCallers, sizeof *made));
    uint32_t* flat = static_cast<uint32_t*>(std::malloc(slots * kMostCallers * sizeof *flat));
    callers_ = static_cast<CodePattern*>(std::calloc(slots * kMostCallers, sizeof *callers_));
    callerCounts_ = static_cast<uint8_t*>(std::calloc(slots, 1));
    if (targets && sites && siteCounts && made && flat && callers_ && callerCounts_) {
        for (size_t i = 0; i < count_; ++i)
            if (callerSlots_[i] != kNoSlot) targets[callerSlots_[i]] = addresses_[i];
        FindCallSites(module, targets, slots, sites, siteCounts, budget_);
        size_t n = 0;
        for (size_t s = 0; s < slots; ++s)
            for (size_t k = 0; k < siteCounts[s]; ++k) flat[n++] = sites[s * kMostCallers + k];
        if (n && BuildPatterns(module, flat, n, made, budget_)) {
            n = 0;
            for (size_t s = 0; s < slots; ++s) {
                for (size_t k = 0; k < siteCounts[s]; ++k) {
                    const CodePattern& p = made[n++];
                    if (!p.length || !p.unique || !OnBranch(p)) continue;
                    callers_[s * kMostCallers + callerCounts_[s]++] = p;
                }
            }
        }
    }
    std::free(targets);
    std::free(sites);
    std::free(siteCounts);
    std::free(made);
    std::free(flat);
}

bool ExportPatterns::MakeFor(uint32_t base, uint32_t size) {
    base_ = base;
    size_ = size;
    count_ = 0;
    size_t capacity = 0;
    for (uint32_t address : g_bookmarks) {
        if (address - base >= size) continue;
        if (count_ == capacity && !GrowArray(addresses_, capacity, 64)) return false;
        addresses_[count_++] = address;
    }
    std::free(patterns_);
    std::free(places_);
    std::free(placeCounts_);
    patterns_ = static_cast<CodePattern*>(std::calloc(count_ ? count_ : 1, sizeof *patterns_));
    places_ = static_cast<uint32_t*>(std::malloc((count_ ? count_ : 1) * kMostTwins * sizeof *places_));
    placeCounts_ = static_cast<uint8_t*>(std::calloc(count_ ? count_ : 1, 1));
    if (!patterns_ || !places_ || !placeCounts_) return false;
    ModuleCopy copy;
    size_t givenUp = 0;
    if (!copy.Read(base, size, &budget_)) {
        // Out of budget: this module's bookmarks are given up on, and counted.
        if (budget_.left == 0) givenUp_ += count_;
        return false;
    }
    const bool made = BuildPatterns(copy.view(), addresses_, count_, patterns_, budget_, &givenUp);
    givenUp_ += givenUp;
    if (made) FindPlaces(copy.view());
    if (made) FindCallers(copy.view());
    std::free(aligns_);
    aligns_ = made ? static_cast<AlignKeys*>(std::calloc(count_ ? count_ : 1, sizeof *aligns_)) : nullptr;
    // From the same budget: what it cannot pay for goes without keys.
    for (size_t i = 0; aligns_ && i < count_ && budget_.left >= kAlignKeysWork; ++i) {
        if (!patterns_[i].length) continue;
        budget_.left -= kAlignKeysWork;
        MakeAlignKeys(copy.view(), addresses_[i], &aligns_[i]);
    }
    if (made) FindTargets(copy.view());
    return made;
}

size_t ExportPatterns::IndexOf(uint32_t address) const {
    const size_t low = static_cast<size_t>(std::lower_bound(addresses_, addresses_ + count_, address) - addresses_);
    return low < count_ && addresses_[low] == address ? low : count_;
}

size_t ExportPatterns::CallersOf(uint32_t address, const CodePattern** callers) const {
    const size_t i = IndexOf(address);
    if (i == count_ || !callerSlots_ || !callers_ || !callerCounts_ || callerSlots_[i] == kNoSlot) return 0;
    const uint32_t slot = callerSlots_[i];
    for (size_t k = 0; k < callerCounts_[slot]; ++k) callers[k] = &callers_[slot * kMostCallers + k];
    return callerCounts_[slot];
}

const AlignKeys* ExportPatterns::AlignOf(uint32_t address) const {
    const size_t i = IndexOf(address);
    return i < count_ && aligns_ && aligns_[i].count ? &aligns_[i] : nullptr;
}

const CodePattern* ExportPatterns::For(uint32_t address, uint32_t* places, size_t* placeCount) {
    if (placeCount) *placeCount = 0;
    const HostModule* module = HostFindModule(address);
    if (!module) return nullptr;
    if (!patterns_ || module->base != base_ || module->size != size_) {
        if (!MakeFor(module->base, module->size)) {
            count_ = 0;   // this module's bookmarks go without
            return nullptr;
        }
    }
    const size_t low = IndexOf(address);
    if (low == count_ || patterns_[low].length == 0) return nullptr;
    if (places && placeCount) {
        *placeCount = placeCounts_[low];
        for (size_t t = 0; t < *placeCount; ++t) places[t] = places_[low * kMostTwins + t];
    }
    return &patterns_[low];
}

namespace {

constexpr uint32_t kNoPattern = 0xFFFFFFFF;
constexpr uint32_t kNoAlign = 0xFFFFFFFF;
constexpr unsigned kHashBits = 16;

bool SamePattern(const CodePattern& a, const CodePattern& b) {
    return a.length == b.length && a.position == b.position && a.length <= kPatternMax &&
           std::memcmp(a.bytes, b.bytes, a.length) == 0 && std::memcmp(a.fixed, b.fixed, a.length) == 0;
}

uint32_t HashOf(const CodePattern& p, uint32_t moduleBase) {
    uint32_t hash = (2166136261u ^ moduleBase) * 16777619u;
    hash = (hash ^ (p.length | p.position << 8)) * 16777619u;
    for (size_t i = 0; i < p.length && i < kPatternMax; ++i) hash = (hash ^ (p.bytes[i] | p.fixed[i] << 8)) * 16777619u;
    return (hash * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

ImportPatterns::~ImportPatterns() {
    std::free(items_);
    std::free(distinct_);
    std::free(heads_);
    std::free(places_);
    std::free(aligns_);
    std::free(targets_);
}

bool ImportPatterns::Intern(const CodePattern& pattern, uint32_t moduleBase, uint32_t& index) {
    if (!heads_) {
        heads_ = static_cast<uint32_t*>(std::malloc((size_t{1} << kHashBits) * sizeof *heads_));
        if (!heads_) return false;
        std::memset(heads_, 0xFF, (size_t{1} << kHashBits) * sizeof *heads_);
    }
    uint32_t& head = heads_[HashOf(pattern, moduleBase)];
    uint32_t found = head;
    while (found != kNoPattern &&
           !(distinct_[found].moduleBase == moduleBase && SamePattern(distinct_[found].pattern, pattern)))
        found = distinct_[found].next;
    if (found == kNoPattern) {
        if (distinctCount_ == distinctCapacity_ && !GrowArray(distinct_, distinctCapacity_, 64)) return false;
        Distinct& kept = distinct_[distinctCount_];
        kept.pattern = pattern;
        kept.pattern.unique = 0;
        kept.moduleBase = moduleBase;
        kept.next = head;
        kept.match = {};
        found = head = static_cast<uint32_t>(distinctCount_++);
    }
    index = found;
    return true;
}

bool ImportPatterns::Add(unsigned entry, uint32_t moduleBase, uint32_t moduleSize, const CodePattern& pattern,
                         uint32_t oldOffset, bool placesKnown, const uint32_t* oldPlaces, size_t oldPlaceCount,
                         const CodePattern* callers, size_t callerCount, const uint32_t* targets,
                         size_t targetCount, const AlignKeys* align, uint32_t exportNames) {
    if (pattern.length == 0 || !StrongEnough(pattern) || count_ >= kMostSearchedEntries) return true;
    if (count_ == capacity_ && !GrowArray(items_, capacity_, 64)) return false;
    uint32_t found = 0;
    if (!Intern(pattern, moduleBase, found)) return false;
    uint32_t callerIndex[kMostCallers];
    size_t callersKept = 0;
    for (size_t k = 0; k < callerCount && k < kMostCallers && placesKnown; ++k) {
        if (!callers[k].length || !StrongEnough(callers[k]) || callersKept_ >= kMostCallerPatterns) continue;
        ++callersKept_;
        if (!Intern(callers[k], moduleBase, callerIndex[callersKept])) return false;
        ++callersKept;
    }
    // Old places are weighed only as the export writes them: its own among
    // a handful.
    bool own = false;
    for (size_t t = 0; t < oldPlaceCount && t <= kMostTwins; ++t) own = own || oldPlaces[t] == oldOffset;
    if (!placesKnown || pattern.unique || oldPlaceCount < 2 || oldPlaceCount > kMostTwins || !own) oldPlaceCount = 0;
    while (placeCount_ + oldPlaceCount > placeCapacity_)
        if (!GrowArray(places_, placeCapacity_, 64)) return false;
    const bool aligned = align && ValidAlignKeys(*align);
    if (aligned && alignCount_ == alignCapacity_ && !GrowArray(aligns_, alignCapacity_, 64)) return false;
    // What the wildcards pointed to, as the export writes it: for a pattern
    // not unique with its places, one description for each of its fields.
    if (!placesKnown || pattern.unique || !targets || targetCount == 0 || targetCount > kMostTargetFields ||
        targetCount != PointerTargets::FieldsOf(pattern))
        targetCount = 0;
    while (targetCount_ + targetCount > targetCapacity_)
        if (!GrowArray(targets_, targetCapacity_, 64)) return false;
    Wanted& item = items_[count_++];
    item.alignedAt = 0;
    item.align = kNoAlign;
    if (aligned) {
        item.align = static_cast<uint32_t>(alignCount_);
        aligns_[alignCount_++] = *align;
    }
    item.entry = entry;
    item.exportNames = exportNames;
    item.moduleBase = moduleBase;
    item.moduleSize = moduleSize;
    item.distinct = found;
    item.oldOffset = oldOffset;
    item.oldPlaces = static_cast<uint32_t>(placeCount_);
    item.placedAt = 0;
    item.callerCount = static_cast<uint8_t>(callersKept);
    item.targets = static_cast<uint32_t>(targetCount_);
    item.targetCount = static_cast<uint8_t>(targetCount);
    for (size_t t = 0; t < targetCount; ++t) targets_[targetCount_++] = targets[t];
    for (size_t k = 0; k < callersKept; ++k) item.callers[k] = callerIndex[k];
    item.unique = pattern.unique;
    item.placesKnown = placesKnown;
    item.oldPlaceCount = static_cast<uint8_t>(oldPlaceCount);
    for (size_t t = 0; t < oldPlaceCount; ++t) places_[placeCount_++] = oldPlaces[t];
    return true;
}

namespace {

constexpr uint32_t kEnough = kMostTwins + 1;   // places of a pattern found, to weigh twins

}  // namespace

void ImportPatterns::SearchModule(uint32_t base, uint32_t size, WorkBudget& budget) {
    size_t count = 0;
    for (size_t i = 0; i < distinctCount_; ++i) count += distinct_[i].moduleBase == base;
    const CodePattern** patterns = static_cast<const CodePattern**>(std::malloc(count * sizeof *patterns));
    PatternMatch* matches = static_cast<PatternMatch*>(std::calloc(count, sizeof *matches));
    uint32_t* where = static_cast<uint32_t*>(std::malloc(count * kEnough * sizeof *where));
    if (patterns && matches && where) {
        size_t next = 0;
        for (size_t i = 0; i < distinctCount_; ++i) {
            if (distinct_[i].moduleBase != base) continue;
            distinct_[i].slot = static_cast<uint32_t>(next);
            patterns[next++] = &distinct_[i].pattern;
        }
        // A module that cannot be read, or no memory for the search: its
        // patterns are not found. No budget left to read it: not searched.
        ModuleCopy copy;
        if (copy.Read(base, size, &budget) &&
            SearchPatterns(copy.view(), patterns, count, matches, budget, kEnough, kMinFixedBytes, where)) {
            next = 0;
            for (size_t i = 0; i < distinctCount_; ++i)
                if (distinct_[i].moduleBase == base) distinct_[i].match = matches[next++];
            const PointerTargets targets(copy.view());   // its imports and exports, read once
            PlaceByExports(base, targets);
            PlaceByOrder(base, where);
            PlaceByCallers(base, copy.view());
            PlaceByTargets(base, copy.view(), targets, where, kEnough, budget);
            FollowNeighbours(base, copy.view());
            PlaceByAlignment(base, copy.view(), budget);
        } else if (budget.left == 0) {
            for (size_t i = 0; i < distinctCount_; ++i)
                if (distinct_[i].moduleBase == base) distinct_[i].match.givenUp = 1;
        }
    }
    std::free(patterns);
    std::free(matches);
    std::free(where);
}

size_t ImportPatterns::ItemsOf(uint32_t base, uint32_t* which) const {
    size_t count = 0;
    for (size_t i = 0; i < count_; ++i) {
        if (items_[i].moduleBase != base) continue;
        if (which) which[count] = static_cast<uint32_t>(i);
        ++count;
    }
    return count;
}

Placement ImportPatterns::PlacementOfItem(const Wanted& item) const {
    const Distinct& kept = distinct_[item.distinct];
    CodePattern shape = {};
    shape.length = kept.pattern.length;
    shape.unique = item.unique;
    return PlacementOf(shape, kept.match);
}

// The entries of the module at base as marks of a step of the import: fill
// makes each entry's mark, decide places what it can among them, and take
// gives back each mark it placed. No memory for it: nothing is placed.
template <typename Mark, typename Fill, typename Decide, typename Take>
void ImportPatterns::StepOverModule(uint32_t base, Fill&& fill, Decide&& decide, Take&& take) {
    const size_t count = ItemsOf(base, nullptr);
    Mark* marks = static_cast<Mark*>(std::calloc(count ? count : 1, sizeof *marks));
    uint32_t* which = static_cast<uint32_t*>(std::malloc((count ? count : 1) * sizeof *which));
    if (marks && which) {
        ItemsOf(base, which);
        for (size_t k = 0; k < count; ++k) fill(items_[which[k]], marks[k]);
        decide(marks, count);
        for (size_t k = 0; k < count; ++k) take(items_[which[k]], marks[k]);
    }
    std::free(marks);
    std::free(which);
}

// An entry on a routine the old build exported, whose pattern is not found
// once (the routine changed, or has twins): the routine the module exports
// under the same names now. Its place is then known before the other steps,
// which take it as a neighbour.
void ImportPatterns::PlaceByExports(uint32_t base, const PointerTargets& targets) {
    for (size_t i = 0; i < count_; ++i) {
        Wanted& item = items_[i];
        if (item.moduleBase != base || !item.exportNames || distinct_[item.distinct].match.givenUp ||
            PlacementOfItem(item) == Placement::kFound)
            continue;
        uint32_t rva = 0;
        if (targets.ExportedRoutine(item.exportNames, rva)) item.placedAt = base + rva;
    }
}

// The module's entries in the order of the old build: an entry whose pattern
// was found at several places (up to kMostTwins, all of them known) is given
// the one place that lies between its nearest uniquely placed neighbours,
// when its old place too was the only one between theirs. No memory for it:
// nothing is placed by order.
void ImportPatterns::PlaceByOrder(uint32_t base, const uint32_t* where) {
    const auto fill = [&](const Wanted& item, OrderedMark& mark) {
        const Distinct& kept = distinct_[item.distinct];
        mark.oldOffset = item.oldOffset;
        mark.newOffset = kUnplaced;
        const Placement placement = PlacementOfItem(item);
        if (item.placedAt) {   // by its export names
            mark.newOffset = item.placedAt - base;
            return;
        }
        if (placement == Placement::kFound) {
            mark.newOffset = kept.match.address - base;
            return;
        }
        // Every place must be known: not one left unsearched, none past the count.
        if (placement != Placement::kAmbiguous || kept.match.givenUp || kept.match.count > kMostTwins) return;
        mark.twinCount = kept.match.count;
        for (uint32_t t = 0; t < mark.twinCount; ++t) mark.twins[t] = where[kept.slot * kEnough + t] - base;
        if (!item.placesKnown) {
            mark.twinCount = 0;   // a list from before: as it always imported
        } else if (item.unique) {
            mark.oldTwinCount = 1;
            mark.oldTwins[0] = item.oldOffset;
        } else {
            mark.oldTwinCount = item.oldPlaceCount;
            for (uint32_t t = 0; t < mark.oldTwinCount; ++t) mark.oldTwins[t] = places_[item.oldPlaces + t];
        }
    };
    StepOverModule<OrderedMark>(
        base, fill, [](OrderedMark* marks, size_t count) { PlaceTwinsByOrder(marks, count); },
        [&](Wanted& item, const OrderedMark& mark) {
            if (mark.byOrder) item.placedAt = base + mark.newOffset;
        });
}

void ImportPatterns::Search() {
    // Module by module, in the order they first come; lists hold few modules.
    WorkBudget budget;
    uint32_t* searched = nullptr;
    size_t modules = 0, capacity = 0;
    for (size_t i = 0; i < count_; ++i) {
        const uint32_t base = items_[i].moduleBase;
        bool done = false;
        for (size_t j = 0; j < modules && !done; ++j) done = searched[j] == base;
        if (done) continue;
        if (modules == capacity && !GrowArray(searched, capacity, 8)) break;
        searched[modules++] = base;
        SearchModule(base, items_[i].moduleSize, budget);
    }
    std::free(searched);
}

// An entry still ambiguous whose callers, found again once each, call one
// place: placed there when at least two agree, none calls elsewhere, and its
// own pattern matches there.
void ImportPatterns::PlaceByCallers(uint32_t base, const ModuleView& module) {
    for (size_t i = 0; i < count_; ++i) {
        Wanted& item = items_[i];
        if (item.moduleBase != base || item.placedAt || item.callerCount < 2) continue;
        const Distinct& kept = distinct_[item.distinct];
        if (PlacementOfItem(item) != Placement::kAmbiguous) continue;
        uint32_t chosen = 0, agreeing = 0;
        bool against = false;
        for (size_t k = 0; k < item.callerCount && !against; ++k) {
            const PatternMatch& call = distinct_[item.callers[k]].match;
            if (call.givenUp || call.count != 1) continue;   // not found again once: no word either way
            uint32_t target = 0;
            if (!CallTarget(module, call.address, target) || (agreeing && target != chosen)) {
                against = true;
                continue;
            }
            chosen = target;
            ++agreeing;
        }
        if (!against && agreeing >= 2 && PatternFitsAt(module, kept.pattern, chosen)) item.placedAt = chosen;
    }
}

// An entry still ambiguous goes with a neighbour of its routine that was
// placed, when one of their patterns covers the other's old place and its own
// matches there. No memory for it: nothing is placed so.
void ImportPatterns::FollowNeighbours(uint32_t base, const ModuleView& module) {
    StepOverModule<FollowingMark>(
        base,
        [&](const Wanted& item, FollowingMark& mark) {
            const Distinct& kept = distinct_[item.distinct];
            const Placement placement = PlacementOfItem(item);
            mark.oldOffset = item.oldOffset;
            mark.pattern = &kept.pattern;
            mark.newOffset = item.placedAt                      ? item.placedAt - base
                             : placement == Placement::kFound ? kept.match.address - base
                                                              : kUnplaced;
            mark.ambiguous = placement == Placement::kAmbiguous && !kept.match.givenUp && item.placesKnown;
        },
        [&](FollowingMark* marks, size_t count) { FollowPlacedNeighbours(module, marks, count); },
        [&](Wanted& item, const FollowingMark& mark) {
            if (mark.followed) item.placedAt = base + mark.newOffset;
        });
}

// The module's entries whose patterns are not found, placed by aligning the
// instructions of their routines between their placed neighbours. No memory
// for it: nothing is placed so.
void ImportPatterns::PlaceByAlignment(uint32_t base, const ModuleView& module, WorkBudget& budget) {
    StepOverModule<AlignMark>(
        base,
        [&](const Wanted& item, AlignMark& mark) {
            const Distinct& kept = distinct_[item.distinct];
            mark.oldOffset = item.oldOffset;
            mark.newOffset = kAlignUnplaced;
            const Placement placement = PlacementOfItem(item);
            if (placement == Placement::kFound) mark.newOffset = kept.match.address - base;
            if (item.placedAt) mark.newOffset = item.placedAt - base;
            if (placement == Placement::kNotFound && !item.placedAt && item.align != kNoAlign)
                mark.keys = &aligns_[item.align];
        },
        [&](AlignMark* marks, size_t count) { zt::PlaceByAlignment(module, marks, count, budget); },
        [&](Wanted& item, const AlignMark& mark) {
            if (mark.byAlignment) item.alignedAt = base + mark.newOffset;
        });
}

bool ImportPatterns::Find(unsigned entry, const CodePattern& pattern, uint32_t oldOffset, uint32_t moduleBase,
                          Placement& placement, uint32_t& address) const {
    if (pattern.length == 0 || !StrongEnough(pattern)) return false;
    placement = Placement::kNotSearched;
    address = 0;
    size_t low = 0, high = count_;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (items_[middle].entry < entry)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == count_ || items_[low].entry != entry) return true;
    const Wanted& item = items_[low];
    const Distinct& kept = distinct_[item.distinct];
    if (item.moduleBase != moduleBase || item.oldOffset != oldOffset || item.unique != pattern.unique ||
        !SamePattern(kept.pattern, pattern))
        return true;
    placement = PlacementOf(pattern, kept.match);
    address = kept.match.address;
    if ((placement == Placement::kAmbiguous || placement == Placement::kNotFound) && item.placedAt) {
        placement = Placement::kFound;
        address = item.placedAt;
    }
    if (placement == Placement::kNotFound && item.alignedAt) {
        placement = Placement::kFound;
        address = item.alignedAt;
    }
    return true;
}

bool SameInstruction(const char* recorded, const char* now) {
    const char* a = recorded;
    const char* b = now;
    for (;;) {
        const size_t addressA = AddressAt(a, recorded), addressB = AddressAt(b, now);
        if (addressA && addressB) {
            a += addressA;
            b += addressB;
            continue;
        }
        if (Upper(*a) != Upper(*b)) return false;
        if (!*a) return true;
        ++a;
        ++b;
    }
}

}  // namespace zt
