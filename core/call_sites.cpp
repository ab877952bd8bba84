#include "core/call_sites.h"

#include <algorithm>
#include <cstring>

namespace zt {

namespace {

bool Readable(const ModuleView& module, uint32_t rva, uint32_t length) {
    if (rva > module.size || length > module.size - rva) return false;
    if (!module.readable) return true;
    for (uint32_t i = 0; i < length; ++i)
        if (!module.readable[rva + i]) return false;
    return true;
}

bool InCode(const ModuleView& module, uint32_t rva) {
    for (size_t r = 0; r < module.codeCount; ++r)
        if (rva >= module.code[r].begin && rva < module.code[r].end) return true;
    return false;
}

}  // namespace

size_t BranchLength(const uint8_t* code, size_t available) {
    if (available >= 5 && (code[0] == 0xE8 || code[0] == 0xE9)) return 5;
    if (available >= 6 && code[0] == 0x0F && (code[1] & 0xF0) == 0x80) return 6;
    return 0;
}

bool OnBranch(const CodePattern& pattern) {
    const size_t at = pattern.position;
    if (pattern.length > kPatternMax || at >= pattern.length || !pattern.fixed[at]) return false;
    const size_t length = BranchLength(pattern.bytes + at, pattern.length - at);
    return length == 5 || (length == 6 && pattern.fixed[at + 1]);
}

bool CallTarget(const ModuleView& module, uint32_t site, uint32_t& target) {
    const uint32_t rva = site - module.base;
    if (rva >= module.size || !InCode(module, rva)) return false;
    const size_t length = BranchLength(module.bytes + rva, module.size - rva);
    if (!length || !Readable(module, rva, static_cast<uint32_t>(length))) return false;
    int32_t displacement;
    std::memcpy(&displacement, module.bytes + rva + length - 4, 4);
    const uint32_t to = rva + static_cast<uint32_t>(length) + static_cast<uint32_t>(displacement);
    if (!InCode(module, to)) return false;
    target = module.base + to;
    return true;
}

bool PatternFitsAt(const ModuleView& module, const CodePattern& pattern, uint32_t address) {
    const uint32_t rva = address - module.base;
    if (pattern.length == 0 || pattern.length > kPatternMax || pattern.position >= pattern.length ||
        rva < pattern.position)
        return false;
    const uint32_t start = rva - pattern.position;
    bool inside = false;
    for (size_t r = 0; r < module.codeCount && !inside; ++r)
        inside = start >= module.code[r].begin && module.code[r].end <= module.size &&
                 pattern.length <= module.code[r].end - start && module.code[r].end > start;
    if (!inside || !Readable(module, start, pattern.length)) return false;
    for (size_t i = 0; i < pattern.length; ++i)
        if (pattern.fixed[i] && module.bytes[start + i] != pattern.bytes[i]) return false;
    return true;
}

bool FindCallSites(const ModuleView& module, const uint32_t* targets, size_t count, uint32_t* sites,
                   uint8_t* siteCounts, WorkBudget& budget) {
    std::memset(siteCounts, 0, count);
    if (count == 0) return true;
    for (size_t r = 0; r < module.codeCount; ++r) {
        const CodeRange& range = module.code[r];
        if (range.end > module.size || range.begin >= range.end || range.end - range.begin < 5) continue;
        const uint32_t length = range.end - range.begin;
        if (budget.left < length) {
            budget.left = 0;
            return false;
        }
        budget.left -= length;
        for (uint32_t rva = range.begin; rva + 5 <= range.end; ++rva) {
            if (!BranchLength(module.bytes + rva, range.end - rva)) continue;
            uint32_t target;
            if (!CallTarget(module, module.base + rva, target)) continue;
            const size_t low = static_cast<size_t>(std::lower_bound(targets, targets + count, target) - targets);
            if (low == count || targets[low] != target || siteCounts[low] >= kMostCallers) continue;
            sites[low * kMostCallers + siteCounts[low]++] = module.base + rva;
        }
    }
    return true;
}

}  // namespace zt
