// Twins told apart by what their patterns' wildcards point to
// (core/pointer_targets.h): recorded at export for the bookmarks whose
// patterns are not unique, weighed at import after the order and the
// callers.
#include <cstdlib>
#include <cstring>

#include "exchange/list/list_patterns.h"

namespace zt {

// What the wildcards of each pattern with places point to, kept when that
// tells the bookmark's place from the pattern's other places; of a pattern
// with more places than are recorded, kept when the pattern pinned by the
// imports its fields name is unique. Spent from the same budget; what it
// cannot settle gets none.
void ExportPatterns::FindTargets(const ModuleView& module) {
    std::free(targets_);
    std::free(targetCounts_);
    std::free(exportNames_);
    targets_ = static_cast<uint32_t*>(std::malloc((count_ ? count_ : 1) * kMostTargetFields * sizeof *targets_));
    targetCounts_ = static_cast<uint8_t*>(std::calloc(count_ ? count_ : 1, 1));
    exportNames_ = static_cast<uint32_t*>(std::calloc(count_ ? count_ : 1, sizeof *exportNames_));
    if (!targets_ || !targetCounts_ || !exportNames_) return;
    const PointerTargets targets(module);
    // A bookmark on a routine the module exports: the names, which find the
    // routine in another build however its code changed.
    for (size_t i = 0; i < count_; ++i)
        if (patterns_[i].length) exportNames_[i] = targets.ExportNames(addresses_[i] - base_);
    size_t pinnedCount = 0;
    for (size_t i = 0; i < count_; ++i) {
        if (!patterns_[i].length || patterns_[i].unique) continue;
        if (placeCounts_[i] == 0) {
            ++pinnedCount;   // too many places to record: perhaps pinned by its imports, below
            continue;
        }
        uint32_t places[kMostTwins];
        for (size_t t = 0; t < placeCounts_[i]; ++t) places[t] = base_ + places_[i * kMostTwins + t];
        targetCounts_[i] = static_cast<uint8_t>(RecordTargets(targets, patterns_[i], addresses_[i], places,
                                                              placeCounts_[i], targets_ + i * kMostTargetFields, budget_));
    }
    if (pinnedCount == 0 || targets.importSlots() == 0) return;
    // A pattern with more places than are recorded, whose fields name
    // imports: recorded when, pinned by those imports, it is unique.
    CodePattern* pinned = static_cast<CodePattern*>(std::malloc(pinnedCount * sizeof *pinned));
    const CodePattern** each = static_cast<const CodePattern**>(std::malloc(pinnedCount * sizeof *each));
    uint32_t* which = static_cast<uint32_t*>(std::malloc(pinnedCount * sizeof *which));
    PatternMatch* matches = static_cast<PatternMatch*>(std::malloc(pinnedCount * sizeof *matches));
    size_t n = 0;
    for (size_t i = 0; pinned && each && which && matches && i < count_; ++i) {
        if (!patterns_[i].length || patterns_[i].unique || placeCounts_[i] != 0) continue;
        uint32_t* own = targets_ + i * kMostTargetFields;
        const size_t fields = targets.Describe(patterns_[i], addresses_[i], own, budget_);
        if (!PinImports(targets, patterns_[i], own, fields, &pinned[n])) continue;
        each[n] = &pinned[n];
        which[n++] = static_cast<uint32_t>(i);
    }
    if (n && SearchPatterns(module, each, n, matches, budget_)) {
        for (size_t k = 0; k < n; ++k)
            if (matches[k].count == 1 && !matches[k].givenUp)
                targetCounts_[which[k]] = static_cast<uint8_t>(PointerTargets::FieldsOf(patterns_[which[k]]));
    }
    std::free(pinned);
    std::free(each);
    std::free(which);
    std::free(matches);
}

uint32_t ExportPatterns::ExportNamesOf(uint32_t address) const {
    const size_t i = IndexOf(address);
    return i == count_ || !exportNames_ ? 0 : exportNames_[i];
}

size_t ExportPatterns::TargetsOf(uint32_t address, const uint32_t** targets) const {
    const size_t i = IndexOf(address);
    if (i == count_ || !targets_ || !targetCounts_ || !targetCounts_[i]) return 0;
    *targets = targets_ + i * kMostTargetFields;
    return targetCounts_[i];
}

// An entry still ambiguous, whose pattern's places now are all known (at
// most kMostTwins): placed at the one whose wildcards point to what they
// pointed to at the bookmark, when every other place's differ.
void ImportPatterns::PlaceByTargets(uint32_t base, const ModuleView& module, const PointerTargets& targets,
                                    const uint32_t* where, uint32_t stride, WorkBudget& budget) {
    size_t wanted = 0;
    for (size_t i = 0; i < count_; ++i)
        wanted += items_[i].moduleBase == base && !items_[i].placedAt && items_[i].targetCount;
    if (!wanted) return;
    for (size_t i = 0; i < count_; ++i) {
        Wanted& item = items_[i];
        if (item.moduleBase != base || item.placedAt || !item.targetCount) continue;
        const Distinct& kept = distinct_[item.distinct];
        if (!Ambiguous(item) || kept.match.count > kMostTwins) continue;
        const uint32_t* places = where + kept.slot * stride;
        const int chosen = zt::PlaceByTargets(targets, kept.pattern, targets_ + item.targets, item.targetCount, places,
                                              kept.match.count, budget);
        if (chosen >= 0) item.placedAt = places[chosen];
    }
    // Those still ambiguous: their patterns pinned by the imports their
    // fields named, each searched for the one place where it fits.
    if (targets.importSlots() == 0) return;
    CodePattern* pinned = static_cast<CodePattern*>(std::malloc(wanted * sizeof *pinned));
    const CodePattern** each = static_cast<const CodePattern**>(std::malloc(wanted * sizeof *each));
    uint32_t* which = static_cast<uint32_t*>(std::malloc(wanted * sizeof *which));
    PatternMatch* matches = static_cast<PatternMatch*>(std::malloc(wanted * sizeof *matches));
    size_t n = 0;
    for (size_t i = 0; pinned && each && which && matches && i < count_; ++i) {
        const Wanted& item = items_[i];
        if (item.moduleBase != base || item.placedAt || !item.targetCount || !Ambiguous(item)) continue;
        if (!PinImports(targets, distinct_[item.distinct].pattern, targets_ + item.targets, item.targetCount, &pinned[n]))
            continue;
        each[n] = &pinned[n];
        which[n++] = static_cast<uint32_t>(i);
    }
    if (n && SearchPatterns(module, each, n, matches, budget)) {
        for (size_t k = 0; k < n; ++k) {
            Wanted& item = items_[which[k]];
            if (matches[k].count != 1 || matches[k].givenUp) continue;
            if (zt::PlaceByTargets(targets, distinct_[item.distinct].pattern, targets_ + item.targets, item.targetCount,
                                   &matches[k].address, 1, budget) == 0)
                item.placedAt = matches[k].address;
        }
    }
    std::free(pinned);
    std::free(each);
    std::free(which);
    std::free(matches);
}

// Whether the entry's pattern is ambiguous, every place searched.
bool ImportPatterns::Ambiguous(const Wanted& item) const {
    return PlacementOfItem(item) == Placement::kAmbiguous && !distinct_[item.distinct].match.givenUp;
}

}  // namespace zt
