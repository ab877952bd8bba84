#include "core/pointer_targets.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/code_signature.h"
#include "core/x86_length.h"

namespace zt {

namespace {

constexpr uint32_t kScnCode = 0x00000020;
constexpr uint32_t kScnExecute = 0x20000000;
constexpr uint32_t kScnWrite = 0x80000000;
constexpr size_t kMostSections = 96;       // section headers looked at
constexpr size_t kMostDescriptors = 256;   // import descriptors looked at
constexpr size_t kLongestName = 128;       // of an imported function or library
constexpr size_t kRoutineBytes = 24;       // of a routine's first instructions hashed
constexpr size_t kDataBytes = 32;          // of the bytes an address points to hashed
// A byte described costs about six positions of the search (14 ns against
// 2.4 natively): each is spent as this many units of the shared budget.
constexpr uint64_t kUnitsPerByte = 8;
constexpr uint32_t kFieldWork = 256 * kUnitsPerByte;   // a field's units at most, about what it reads
// What a routine's own fields point to is part of its description this many
// levels down (one: a second level placed no more twins on the corpus).
constexpr int kNestedLevels = 1;

uint32_t Mix(uint32_t hash, uint32_t value) { return (hash ^ value) * 16777619u; }
uint32_t Finish(uint32_t hash) { return hash == kUnknownTarget ? 1 : hash; }

uint32_t Read32(const uint8_t* bytes, uint32_t at) {
    uint32_t value;
    std::memcpy(&value, bytes + at, 4);
    return value;
}

bool Fits(uint32_t size, uint64_t at, uint64_t count) { return at <= size && count <= size - at; }

}  // namespace

PointerTargets::PointerTargets(const ModuleView& module) : module_(module) {
    ReadSections();
    ReadImports();
    ReadExports();
}

PointerTargets::~PointerTargets() {
    std::free(slots_);
    std::free(byName_);
    std::free(exports_);
    std::free(exportsByName_);
}

bool PointerTargets::Readable(uint32_t rva, uint32_t length) const {
    if (!Fits(module_.size, rva, length)) return false;
    if (!module_.readable) return true;
    for (uint32_t i = 0; i < length; ++i)
        if (!module_.readable[rva + i]) return false;
    return true;
}

bool PointerTargets::InCode(uint32_t rva) const {
    for (size_t r = 0; r < module_.codeCount; ++r)
        if (rva >= module_.code[r].begin && rva < module_.code[r].end) return true;
    return false;
}

bool PointerTargets::ReadOnly(uint32_t rva) const {
    for (size_t r = 0; r < readOnlyCount_; ++r)
        if (rva >= readOnly_[r].begin && rva < readOnly_[r].end) return true;
    return false;
}

bool PointerTargets::Relocated(uint32_t rva) const {
    const uint32_t* end = module_.relocations + module_.relocationCount;
    return module_.relocations && std::binary_search(module_.relocations, end, rva);
}

// Sections neither code nor written to: constants, strings.
void PointerTargets::ReadSections() {
    const uint8_t* image = module_.bytes;
    const uint32_t size = module_.size;
    if (!Readable(0, 0x40) || image[0] != 'M' || image[1] != 'Z') return;
    const uint32_t nt = Read32(image, 0x3C);
    if (!Fits(size, nt, 24) || !Readable(nt, 24) || std::memcmp(image + nt, "PE\0\0", 4) != 0) return;
    uint16_t sections, optionalSize;
    std::memcpy(&sections, image + nt + 6, 2);
    std::memcpy(&optionalSize, image + nt + 20, 2);
    const uint64_t table = uint64_t{nt} + 24 + optionalSize;
    for (size_t i = 0; i < sections && i < kMostSections && readOnlyCount_ < kMostDataSections; ++i) {
        const uint64_t header = table + 40 * i;
        if (!Fits(size, header, 40) || !Readable(static_cast<uint32_t>(header), 40)) break;
        const uint32_t at = static_cast<uint32_t>(header);
        const uint32_t length = Read32(image, at + 8), rva = Read32(image, at + 12), flags = Read32(image, at + 36);
        if (flags & (kScnCode | kScnExecute | kScnWrite) || rva >= size || length == 0) continue;
        readOnly_[readOnlyCount_++] = Range{rva, static_cast<uint32_t>(std::min<uint64_t>(uint64_t{rva} + length, size))};
    }
}

// The address of the image's data directory `index` (0: exports, 1:
// imports) when the headers hold it and it is not empty; else 0.
uint32_t PointerTargets::DataDirectory(uint32_t index) const {
    const uint8_t* image = module_.bytes;
    const uint32_t size = module_.size;
    if (!Readable(0, 0x40) || image[0] != 'M' || image[1] != 'Z') return 0;
    const uint32_t nt = Read32(image, 0x3C);
    // Signature, file header, the optional header to the directory's entry.
    const uint32_t entry = 96 + 8 * index;
    if (!Fits(size, nt, 24 + entry + 8) || !Readable(nt, 24 + entry + 8) || Read32(image, nt + 24 + 92) <= index)
        return 0;
    uint16_t optionalSize;
    std::memcpy(&optionalSize, image + nt + 20, 2);
    return optionalSize < entry + 8 ? 0 : Read32(image, nt + 24 + entry);
}

// Mixes into hash the name at rva, a text of 1 to kLongestName - 1
// characters ending in a zero, every byte read (letters folded to lower case
// with foldCase); false when there is none such.
bool PointerTargets::MixName(uint64_t rva, bool foldCase, uint32_t& hash) const {
    const uint8_t* image = module_.bytes;
    for (size_t n = 0; n < kLongestName; ++n) {
        if (!Fits(module_.size, rva + n, 1) || !Readable(static_cast<uint32_t>(rva + n), 1)) return false;
        uint8_t c = image[rva + n];
        if (c == 0) return n != 0;
        if (foldCase && c >= 'A' && c <= 'Z') c = static_cast<uint8_t>(c - 'A' + 'a');
        hash = Mix(hash, c);
    }
    return false;
}

// The import address table's slots with the names they are bound to, from
// the import directory: each descriptor's name table (the original first
// thunks) beside its slots. A descriptor without a name table says nothing;
// the walk ends at a zero descriptor, outside the image, or at the bounds.
void PointerTargets::ReadImports() {
    const uint8_t* image = module_.bytes;
    const uint32_t size = module_.size;
    const uint32_t directory = DataDirectory(1);
    if (directory == 0) return;
    slots_ = static_cast<Slot*>(std::malloc(kMostImportSlots * sizeof *slots_));
    if (!slots_) return;
    for (size_t d = 0; d < kMostDescriptors && slotCount_ < kMostImportSlots; ++d) {
        const uint64_t at64 = uint64_t{directory} + 20 * d;
        if (!Fits(size, at64, 20) || !Readable(static_cast<uint32_t>(at64), 20)) break;
        const uint32_t at = static_cast<uint32_t>(at64);
        const uint32_t names = Read32(image, at), library = Read32(image, at + 12), thunks = Read32(image, at + 16);
        if (names == 0 && library == 0 && thunks == 0) break;
        uint32_t libraryHash = 2166136261u;
        if (names == 0 || !MixName(library, true, libraryHash)) continue;
        for (uint32_t k = 0; slotCount_ < kMostImportSlots; ++k) {
            const uint64_t entry = uint64_t{names} + 4ull * k, slot = uint64_t{thunks} + 4ull * k;
            if (!Fits(size, entry, 4) || !Fits(size, slot, 4) || !Readable(static_cast<uint32_t>(entry), 4)) break;
            const uint32_t value = Read32(image, static_cast<uint32_t>(entry));
            if (value == 0) break;
            uint32_t hash = Mix(libraryHash, '!');
            if (value & 0x80000000u) {
                hash = Mix(Mix(hash, '#'), value & 0xFFFF);
            } else if (!MixName(uint64_t{value} + 2, false, hash)) {
                continue;   // no name that ends: this slot stays unnamed
            }
            slots_[slotCount_++] = Slot{static_cast<uint32_t>(slot), Finish(Mix(hash, 'I'))};
        }
    }
    // By slot; a slot named twice (a directory that lies) alike is kept,
    // differently is unnamed. A heap sort: no memmove from the runtime.
    const auto bySlot = [](const Slot& x, const Slot& y) { return x.rva < y.rva; };
    std::make_heap(slots_, slots_ + slotCount_, bySlot);
    std::sort_heap(slots_, slots_ + slotCount_, bySlot);
    for (size_t i = 1; i < slotCount_; ++i)
        if (slots_[i].rva == slots_[i - 1].rva && slots_[i].name != slots_[i - 1].name)
            slots_[i].name = slots_[i - 1].name = kUnknownTarget;
    byName_ = static_cast<Slot*>(std::malloc((slotCount_ ? slotCount_ : 1) * sizeof *byName_));
    if (!byName_) {
        slotCount_ = 0;   // no names: every import unknown
        return;
    }
    for (size_t i = 0; i < slotCount_; ++i) byName_[i] = slots_[i];
    const auto byName = [](const Slot& x, const Slot& y) { return x.name < y.name || (x.name == y.name && x.rva < y.rva); };
    std::make_heap(byName_, byName_ + slotCount_, byName);
    std::sort_heap(byName_, byName_ + slotCount_, byName);
}

// The module's own exported routines by name, from its export directory
// (directory 0): a routine another build changed keeps its name, so a call
// of it is described by that. A routine exported under several names is
// described by them all; the walk stops at the bounds or outside the image.
void PointerTargets::ReadExports() {
    const uint8_t* image = module_.bytes;
    const uint32_t size = module_.size;
    const uint32_t directory = DataDirectory(0);
    if (directory == 0 || !Fits(size, directory, 40) || !Readable(directory, 40)) return;
    const uint32_t functionCount = Read32(image, directory + 20), nameCount = Read32(image, directory + 24);
    const uint32_t functions = Read32(image, directory + 28), names = Read32(image, directory + 32),
                   ordinals = Read32(image, directory + 36);
    const uint32_t count = std::min<uint32_t>(nameCount, kMostExports);
    if (count == 0 || !Fits(size, names, 4ull * count) || !Readable(names, 4 * count) ||
        !Fits(size, ordinals, 2ull * count) || !Readable(ordinals, 2 * count))
        return;
    exports_ = static_cast<Slot*>(std::malloc(count * sizeof *exports_));
    if (!exports_) return;
    for (uint32_t i = 0; i < count; ++i) {
        uint16_t ordinal;
        std::memcpy(&ordinal, image + ordinals + 2 * i, 2);
        const uint64_t entry = uint64_t{functions} + 4ull * ordinal;
        if (ordinal >= functionCount || !Fits(size, entry, 4) || !Readable(static_cast<uint32_t>(entry), 4)) continue;
        const uint32_t routine = Read32(image, static_cast<uint32_t>(entry));
        if (!InCode(routine)) continue;   // a forwarder or data
        uint32_t hash = Mix(2166136261u, 'E');
        if (!MixName(Read32(image, names + 4 * i), false, hash)) continue;
        exports_[exportCount_++] = Slot{routine, Finish(hash)};
    }
    const auto byAddress = [](const Slot& x, const Slot& y) { return x.rva < y.rva || (x.rva == y.rva && x.name < y.name); };
    std::make_heap(exports_, exports_ + exportCount_, byAddress);
    std::sort_heap(exports_, exports_ + exportCount_, byAddress);
    // One description a routine: its names together.
    size_t kept = 0;
    for (size_t i = 0; i < exportCount_; ++i) {
        if (kept && exports_[kept - 1].rva == exports_[i].rva)
            exports_[kept - 1].name = Finish(Mix(exports_[kept - 1].name, exports_[i].name));
        else
            exports_[kept++] = exports_[i];
    }
    exportCount_ = kept;
    exportsByName_ = static_cast<Slot*>(std::malloc((exportCount_ ? exportCount_ : 1) * sizeof *exportsByName_));
    if (!exportsByName_) return;
    for (size_t i = 0; i < exportCount_; ++i) exportsByName_[i] = exports_[i];
    const auto byName = [](const Slot& x, const Slot& y) { return x.name < y.name || (x.name == y.name && x.rva < y.rva); };
    std::make_heap(exportsByName_, exportsByName_ + exportCount_, byName);
    std::sort_heap(exportsByName_, exportsByName_ + exportCount_, byName);
}

bool PointerTargets::ExportedRoutine(uint32_t names, uint32_t& rva) const {
    if (names == kUnknownTarget || !exportsByName_ || exportCount_ == 0) return false;
    const Slot* begin = exportsByName_;
    const Slot* end = exportsByName_ + exportCount_;
    const Slot* first = std::lower_bound(begin, end, names, [](const Slot& s, uint32_t v) { return s.name < v; });
    if (first == end || first->name != names || (first + 1 != end && first[1].name == names)) return false;
    rva = first->rva;
    return true;
}

uint32_t PointerTargets::ExportName(uint32_t rva) const {
    const Slot* begin = exports_;
    const Slot* end = exports_ + exportCount_;
    const Slot* found = std::lower_bound(begin, end, rva, [](const Slot& s, uint32_t v) { return s.rva < v; });
    return found != end && found->rva == rva ? found->name : kUnknownTarget;
}

uint32_t PointerTargets::SlotName(uint32_t rva) const {
    const Slot* begin = slots_;
    const Slot* end = slots_ + slotCount_;
    const Slot* found = std::lower_bound(begin, end, rva, [](const Slot& s, uint32_t v) { return s.rva < v; });
    return found != end && found->rva == rva ? found->name : kUnknownTarget;
}

bool PointerTargets::SlotNamed(uint32_t name, uint32_t& rva) const {
    if (name == kUnknownTarget || slotCount_ == 0) return false;
    const Slot* begin = byName_;
    const Slot* end = byName_ + slotCount_;
    const Slot* first = std::lower_bound(begin, end, name, [](const Slot& s, uint32_t v) { return s.name < v; });
    if (first == end || first->name != name) return false;
    const Slot* last = first;
    while (last + 1 != end && last[1].name == name && last[1].rva == first->rva) ++last;
    if (last + 1 != end && last[1].name == name) return false;   // two slots of that name
    rva = first->rva;
    return true;
}

// A routine's first instructions, their wildcards blanked; at the first
// level also what those wildcards point to. An import stub (jmp [slot]) is
// the import's name.
uint32_t PointerTargets::Routine(uint32_t rva, int depth, uint32_t& work) const {
    if (!InCode(rva) || !Readable(rva, 1)) return kUnknownTarget;
    if (Readable(rva, 6) && module_.bytes[rva] == 0xFF && module_.bytes[rva + 1] == 0x25) {
        const uint32_t name = SlotName(Read32(module_.bytes, rva + 2) - module_.base);
        if (name != kUnknownTarget) return name;
    }
    const uint32_t exported = ExportName(rva);
    if (exported != kUnknownTarget) return exported;
    uint32_t hash = Mix(2166136261u, 'C');
    size_t done = 0;
    while (done < kRoutineBytes) {
        const uint32_t at = rva + static_cast<uint32_t>(done);
        X86Fields f;
        uint8_t fixed[16];
        if (!InCode(at) || !DecodeX86(module_.bytes + at, std::min<size_t>(16, module_.size - at), &f) ||
            !Readable(at, f.length) || MarkFixedBytes(module_, at, f.length, fixed) != f.length)
            break;
        work += f.length;
        for (size_t i = 0; i < f.length; ++i) {
            if (fixed[i]) {
                hash = Mix(hash, module_.bytes[at + i]);
                continue;
            }
            size_t run = i;
            while (run < f.length && !fixed[run]) ++run;
            hash = Mix(hash, 0x100 | static_cast<uint32_t>(run - i));
            if (depth < kNestedLevels && (run - i) % 4 == 0)
                for (size_t k = i; k < run; k += 4) hash = Mix(hash, Field(at + static_cast<uint32_t>(k), depth + 1, work));
            i = run - 1;
        }
        done += f.length;
        const uint8_t op = module_.bytes[at];
        const bool indirectJump = op == 0xFF && f.length >= 2 && ((module_.bytes[at + 1] >> 3) & 7) >= 4 &&
                                  ((module_.bytes[at + 1] >> 3) & 7) <= 5;
        if (op == 0xC3 || op == 0xC2 || op == 0xE9 || op == 0xEB || op == 0xCC || indirectJump) break;
    }
    return done ? Finish(Mix(hash, static_cast<uint32_t>(done))) : kUnknownTarget;
}

// The bytes an address points to, up to a zero: a string's text, a
// constant's bytes; relocated fields in them blanked.
uint32_t PointerTargets::Data(uint32_t rva) const {
    uint32_t hash = Mix(2166136261u, 'D');
    size_t i = 0;
    while (i < kDataBytes && Readable(rva + static_cast<uint32_t>(i), 1) && rva + i >= rva) {
        const uint32_t at = rva + static_cast<uint32_t>(i);
        if (Relocated(at)) {
            hash = Mix(hash, 0x100);
            i += 4;
            continue;
        }
        hash = Mix(hash, module_.bytes[at]);
        ++i;
        if (module_.bytes[at] == 0) break;
    }
    return i ? Finish(Mix(hash, static_cast<uint32_t>(i))) : kUnknownTarget;
}

// The field of four bytes at rva: a relative call's or jump's target, or an
// absolute address in the image.
uint32_t PointerTargets::Field(uint32_t rva, int depth, uint32_t& work) const {
    if (!Readable(rva, 4)) return kUnknownTarget;
    const uint8_t* bytes = module_.bytes;
    const uint32_t value = Read32(bytes, rva);
    const bool relocated = Relocated(rva);
    const bool relative = !relocated && ((rva >= 1 && Readable(rva - 1, 1) && (bytes[rva - 1] == 0xE8 || bytes[rva - 1] == 0xE9)) ||
                                         (rva >= 2 && Readable(rva - 2, 2) && bytes[rva - 2] == 0x0F &&
                                          (bytes[rva - 1] & 0xF0) == 0x80));
    if (relative) return Routine(rva + 4 + value, depth, work);
    const uint32_t target = value - module_.base;
    if (target >= module_.size) return kUnknownTarget;
    const uint32_t name = SlotName(target);
    if (name != kUnknownTarget) return name;
    if (InCode(target)) return Routine(target, depth, work);
    if (ReadOnly(target)) {
        work += kDataBytes;
        return Data(target);
    }
    return kUnknownTarget;
}

size_t PointerTargets::FieldsOf(const CodePattern& pattern) {
    size_t fields = 0;
    const size_t length = std::min<size_t>(pattern.length, kPatternMax);
    for (size_t i = 0; i < length && fields < kMostTargetFields;) {
        if (pattern.fixed[i]) {
            ++i;
            continue;
        }
        size_t run = i;
        while (run < length && !pattern.fixed[run]) ++run;
        if ((run - i) % 4 == 0) fields = std::min(kMostTargetFields, fields + (run - i) / 4);
        i = run;
    }
    return fields;
}

size_t PointerTargets::Describe(const CodePattern& pattern, uint32_t address, uint32_t* out,
                                WorkBudget& budget) const {
    const size_t fields = FieldsOf(pattern);
    std::memset(out, 0, fields * sizeof *out);
    const uint32_t start = address - module_.base - pattern.position;
    if (address - module_.base < pattern.position || !Fits(module_.size, start, pattern.length)) return fields;
    size_t n = 0;
    for (size_t i = 0; i < pattern.length && n < fields;) {
        if (pattern.fixed[i]) {
            ++i;
            continue;
        }
        size_t run = i;
        while (run < pattern.length && !pattern.fixed[run]) ++run;
        for (size_t k = i; (run - i) % 4 == 0 && k < run && n < fields; k += 4) {
            if (budget.left < kFieldWork) {
                budget.left = 0;
                return fields;
            }
            uint32_t work = 0;
            out[n++] = Field(start + static_cast<uint32_t>(k), 0, work);
            budget.left -= std::min<uint64_t>(budget.left, kUnitsPerByte * (work + 16));
        }
        i = run;
    }
    return fields;
}

int ChooseByTargets(const uint32_t* recorded, const uint32_t* described, size_t count, size_t fields) {
    int chosen = -1;
    for (size_t c = 0; c < count; ++c) {
        size_t known = 0, differ = 0;
        for (size_t f = 0; f < fields; ++f) {
            const uint32_t x = recorded[f], y = described[c * fields + f];
            if (x == kUnknownTarget || y == kUnknownTarget) continue;
            ++known;
            differ += x != y;
        }
        if (known && !differ) {
            if (chosen >= 0) return -1;   // two agree
            chosen = static_cast<int>(c);
        } else if (!differ) {
            return -1;   // one that cannot be told apart
        }
    }
    return chosen;
}

namespace {

// A field that every place describes alike tells none of them from the
// others: it is recorded as unknown, so that a change common to all of them
// in the next build (a routine they all call, changed) costs nothing.
void KeepWhatDiffers(uint32_t* own, const uint32_t* described, size_t count, size_t fields) {
    for (size_t f = 0; f < fields; ++f) {
        bool alike = true;
        for (size_t c = 1; c < count && alike; ++c) alike = described[c * fields + f] == described[f];
        if (alike) own[f] = kUnknownTarget;
    }
}

}  // namespace

size_t RecordTargets(const PointerTargets& targets, const CodePattern& pattern, uint32_t own, const uint32_t* places,
                     size_t placeCount, uint32_t* out, WorkBudget& budget) {
    const size_t fields = PointerTargets::FieldsOf(pattern);
    if (fields == 0 || placeCount < 2 || placeCount > kMostTwins) return 0;
    uint32_t described[kMostTwins * kMostTargetFields];
    int ownIndex = -1;
    for (size_t c = 0; c < placeCount; ++c) {
        targets.Describe(pattern, places[c], described + c * fields, budget);
        if (places[c] == own) ownIndex = static_cast<int>(c);
    }
    if (ownIndex < 0 || budget.left == 0) return 0;
    std::memcpy(out, described + ownIndex * fields, fields * sizeof *out);
    KeepWhatDiffers(out, described, placeCount, fields);
    return ChooseByTargets(out, described, placeCount, fields) == ownIndex ? fields : 0;
}

int PlaceByTargets(const PointerTargets& targets, const CodePattern& pattern, const uint32_t* recorded,
                   size_t fields, const uint32_t* places, size_t count, WorkBudget& budget) {
    if (fields == 0 || fields != PointerTargets::FieldsOf(pattern) || count == 0 || count > kMostTwins) return -1;
    uint32_t described[kMostTwins * kMostTargetFields];
    for (size_t c = 0; c < count; ++c) targets.Describe(pattern, places[c], described + c * fields, budget);
    if (budget.left == 0) return -1;
    return ChooseByTargets(recorded, described, count, fields);
}

size_t PinImports(const PointerTargets& targets, const CodePattern& pattern, const uint32_t* recorded, size_t fields,
                  CodePattern* pinned) {
    if (fields == 0 || fields != PointerTargets::FieldsOf(pattern)) return 0;
    CodePattern copy = pattern;
    size_t n = 0, fixedCount = 0;
    const size_t length = std::min<size_t>(pattern.length, kPatternMax);
    for (size_t i = 0; i < length && n < fields;) {
        if (pattern.fixed[i]) {
            ++i;
            continue;
        }
        size_t run = i;
        while (run < length && !pattern.fixed[run]) ++run;
        for (size_t k = i; (run - i) % 4 == 0 && k < run && n < fields; k += 4, ++n) {
            const bool branch = (k >= 1 && (pattern.bytes[k - 1] == 0xE8 || pattern.bytes[k - 1] == 0xE9)) ||
                                (k >= 2 && pattern.bytes[k - 2] == 0x0F && (pattern.bytes[k - 1] & 0xF0) == 0x80);
            uint32_t slot = 0;
            if (k == i && k >= 1 && !branch && pattern.fixed[k - 1] && targets.SlotNamed(recorded[n], slot)) {
                const uint32_t address = targets.base() + slot;
                std::memcpy(copy.bytes + k, &address, 4);
                std::memset(copy.fixed + k, 1, 4);
                ++fixedCount;
            }
        }
        i = run;
    }
    if (fixedCount) *pinned = copy;
    return fixedCount;
}

}  // namespace zt
