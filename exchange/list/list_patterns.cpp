#include "exchange/list/list_patterns.h"

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
    patterns_ = static_cast<CodePattern*>(std::calloc(count_ ? count_ : 1, sizeof *patterns_));
    if (!patterns_) return false;
    ModuleCopy copy;
    return copy.Read(base, size) && BuildPatterns(copy.view(), addresses_, count_, patterns_);
}

const CodePattern* ExportPatterns::For(uint32_t address) {
    const HostModule* module = HostFindModule(address);
    if (!module) return nullptr;
    if (!patterns_ || module->base != base_ || module->size != size_) {
        if (!MakeFor(module->base, module->size)) {
            count_ = 0;   // this module's bookmarks go without
            return nullptr;
        }
    }
    size_t low = 0, high = count_;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (addresses_[middle] < address)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == count_ || addresses_[low] != address || patterns_[low].length == 0) return nullptr;
    return &patterns_[low];
}

ImportPatterns::~ImportPatterns() { std::free(items_); }

bool ImportPatterns::Add(unsigned entry, uint32_t moduleBase, uint32_t moduleSize, const CodePattern& pattern) {
    if (count_ == capacity_ && !GrowArray(items_, capacity_, 64)) return false;
    Wanted& item = items_[count_++];
    item.entry = entry;
    item.moduleBase = moduleBase;
    item.moduleSize = moduleSize;
    item.pattern = pattern;
    item.match = {};
    return true;
}

void ImportPatterns::SearchModule(uint32_t base, uint32_t size) {
    size_t count = 0;
    for (size_t i = 0; i < count_; ++i) count += items_[i].moduleBase == base;
    CodePattern* patterns = static_cast<CodePattern*>(std::malloc(count * sizeof *patterns));
    PatternMatch* matches = static_cast<PatternMatch*>(std::calloc(count, sizeof *matches));
    ModuleCopy copy;
    if (patterns && matches) {
        size_t next = 0;
        for (size_t i = 0; i < count_; ++i)
            if (items_[i].moduleBase == base) patterns[next++] = items_[i].pattern;
        // A module that cannot be read, or no memory for the search: its
        // patterns are not found.
        if (copy.Read(base, size) && SearchPatterns(copy.view(), patterns, count, matches)) {
            next = 0;
            for (size_t i = 0; i < count_; ++i)
                if (items_[i].moduleBase == base) items_[i].match = matches[next++];
        }
    }
    std::free(patterns);
    std::free(matches);
}

void ImportPatterns::Search() {
    // Module by module, in the order they first come; lists hold few modules.
    uint32_t* searched = nullptr;
    size_t modules = 0, capacity = 0;
    for (size_t i = 0; i < count_; ++i) {
        const uint32_t base = items_[i].moduleBase;
        bool done = false;
        for (size_t j = 0; j < modules && !done; ++j) done = searched[j] == base;
        if (done) continue;
        if (modules == capacity && !GrowArray(searched, capacity, 8)) break;
        searched[modules++] = base;
        SearchModule(base, items_[i].moduleSize);
    }
    std::free(searched);
}

bool ImportPatterns::Find(unsigned entry, Placement& placement, uint32_t& address) const {
    size_t low = 0, high = count_;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (items_[middle].entry < entry)
            low = middle + 1;
        else
            high = middle;
    }
    if (low == count_ || items_[low].entry != entry) return false;
    placement = PlacementOf(items_[low].pattern, items_[low].match);
    address = items_[low].match.address;
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
