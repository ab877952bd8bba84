// What a pattern's wildcards point to. Two routines with the same code apart
// from their addresses (wrappers that pass another string, stubs that jump
// to another import, handlers that store another routine) differ in what
// those addresses lead to: a string's text, an imported function's name, the
// code of the routine called. Each wildcard field of a pattern, placed at an
// address, gets a 32-bit description of its target; two places of one
// pattern whose descriptions differ are told apart by them, in either build.
//
// A field is each run of four wildcard bytes (a run of another length says
// nothing). Its description is, for a relative call or jump, the name of the
// import when the target is a `jmp [slot]` stub, the routine's name when the
// module exports it, else a hash of the target routine's first instructions
// (their own wildcards blanked, up to the end of the flow, and what those
// point to, one level down); for an absolute address, the import's name when
// it is a slot of the import address table, the routine's description as
// above when it lies in code, a hash of the bytes it points to (up to a zero, at
// most 32, relocated fields blanked) when it lies in a section that is not
// written to; anything else (writable data, which a running program changes,
// unreadable bytes, outside the image) is unknown: 0. Every offset read from
// the image, the import and export directories' among them, is checked. Pure code: no
// host calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/code_pattern.h"
#include "core/module_view.h"
#include "core/pattern_search.h"
#include "core/twin_order.h"

namespace zt {

constexpr size_t kMostTargetFields = 16;   // fields of one pattern described at most (the first ones)
constexpr uint32_t kUnknownTarget = 0;
constexpr size_t kMostImportSlots = 8192;  // slots of the import address table named at most
constexpr size_t kMostExports = 8192;      // the module's own exported routines named at most
constexpr size_t kMostDataSections = 32;   // sections weighed for "not written to"

// The module's import slots, exported routines and read-only sections, read
// once; then the descriptions of patterns placed anywhere in it. About
// 192 KB.
class PointerTargets {
public:
    explicit PointerTargets(const ModuleView& module);
    PointerTargets(const PointerTargets&) = delete;
    PointerTargets& operator=(const PointerTargets&) = delete;
    ~PointerTargets();

    // The fields of a pattern: how many of its wildcard runs' four-byte
    // fields it has (at most kMostTargetFields). Depends on the pattern only.
    static size_t FieldsOf(const CodePattern& pattern);

    // The description of each field of the pattern with its bookmark's byte
    // at address, to out[0 .. FieldsOf(pattern)); returns that count. Spends
    // from budget; with none left, every field is unknown.
    size_t Describe(const CodePattern& pattern, uint32_t address, uint32_t* out, WorkBudget& budget) const;

    size_t importSlots() const { return slotCount_; }
    // The one slot whose import has this description; false when none or
    // several have it.
    bool SlotNamed(uint32_t name, uint32_t& rva) const;
    uint32_t base() const { return module_.base; }

    // The description of the names the module exports the routine at rva
    // under (all of them together), or kUnknownTarget when it exports none
    // there. Another build exports the routine under the same names wherever
    // its code went, however it changed.
    uint32_t ExportNames(uint32_t rva) const { return ExportName(rva); }
    // The one routine the module exports under the names so described; false
    // when none or several are.
    bool ExportedRoutine(uint32_t names, uint32_t& rva) const;

private:
    struct Slot {
        uint32_t rva;
        uint32_t name;   // hash of the library's and the function's names
    };
    struct Range {
        uint32_t begin, end;
    };
    void ReadSections();
    uint32_t DataDirectory(uint32_t index) const;
    bool MixName(uint64_t rva, bool foldCase, uint32_t& hash) const;
    void ReadImports();
    void ReadExports();
    uint32_t Field(uint32_t rva, int depth, uint32_t& work) const;
    uint32_t Routine(uint32_t rva, int depth, uint32_t& work) const;
    uint32_t Data(uint32_t rva) const;
    uint32_t SlotName(uint32_t rva) const;
    uint32_t ExportName(uint32_t rva) const;
    bool Relocated(uint32_t rva) const;
    bool Readable(uint32_t rva, uint32_t length) const;
    bool InCode(uint32_t rva) const;
    bool ReadOnly(uint32_t rva) const;

    const ModuleView& module_;
    Slot* slots_ = nullptr;     // by slot
    Slot* byName_ = nullptr;    // the same, by name
    size_t slotCount_ = 0;
    Slot* exports_ = nullptr;   // the module's exported routines and their names, by address
    Slot* exportsByName_ = nullptr;   // the same, by names
    size_t exportCount_ = 0;
    Range readOnly_[kMostDataSections];
    size_t readOnlyCount_ = 0;
};

// Which of `count` places the recorded description picks, given each
// place's description (described[c * fields + f]): the index of the one
// place that agrees on every field known on both sides (at least one),
// when every other place disagrees on a field known on both; -1 otherwise.
int ChooseByTargets(const uint32_t* recorded, const uint32_t* described, size_t count, size_t fields);

// At export: the description of the pattern at its own place (an address
// among `places`, the pattern's 2 to kMostTwins places in the module), to
// out (kMostTargetFields), when it tells that place from every other one:
// returns its field count; 0 when the evidence could not decide (the places
// alike, nothing known, no fields, the budget spent).
size_t RecordTargets(const PointerTargets& targets, const CodePattern& pattern, uint32_t own, const uint32_t* places,
                     size_t placeCount, uint32_t* out, WorkBudget& budget);

// At import: which of the pattern's `count` places (addresses, 1 to
// kMostTwins) the recorded description (`fields` of them, as
// FieldsOf(pattern) counts) picks, as ChooseByTargets; -1 when none.
int PlaceByTargets(const PointerTargets& targets, const CodePattern& pattern, const uint32_t* recorded,
                   size_t fields, const uint32_t* places, size_t count, WorkBudget& budget);

// A pattern found at too many places to weigh them one by one (a run of
// import stubs, `jmp [slot]` each) is pinned by the imports its fields
// name: *pinned is the pattern with each field whose description (of
// `fields`, as FieldsOf(pattern) counts) names one slot of this module's
// import table fixed to that slot's address, unless the field is a relative
// branch's. Returns how many fields were fixed; 0: none, *pinned not made.
// The pinned pattern found once (and unique in the old build too, where the
// export pinned it by the old slots) is the bookmark's place, when the
// place's description agrees (PlaceByTargets).
size_t PinImports(const PointerTargets& targets, const CodePattern& pattern, const uint32_t* recorded, size_t fields,
                  CodePattern* pinned);

}  // namespace zt
