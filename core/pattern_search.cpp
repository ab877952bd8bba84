#include "core/pattern_search.h"

#include <cstdlib>
#include <cstring>

namespace zt {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFF;
constexpr unsigned kFrequencyBits = 16;

struct Anchor {
    uint32_t value;    // the anchor's bytes, little-endian, as many as its width
    uint32_t pattern;  // index of its pattern
    uint32_t next;     // the next anchor in the same bucket, or kNone
    uint8_t offset;    // where in the pattern the anchor starts
    uint8_t width;     // 4, 2 or 1
};

uint32_t Load32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;
}

uint32_t Hash32(uint32_t value, unsigned bits) { return (value * 2654435761u) >> (32 - bits); }

// How often each (hashed) four-byte value occurs in the code, saturating.
void CountQuads(const ModuleView& module, uint16_t* frequency) {
    for (size_t r = 0; r < module.codeCount; ++r) {
        const CodeRange range = module.code[r];
        if (range.begin >= range.end || range.end > module.size) continue;
        for (uint32_t at = range.begin; at + 4 <= range.end; ++at) {
            uint16_t& slot = frequency[Hash32(Load32(module.bytes + at), kFrequencyBits)];
            if (slot != 0xFFFF) ++slot;
        }
    }
}

// The rarest run of four fixed bytes; else the first run of two; else the
// first fixed byte. False when the pattern has no fixed byte.
bool ChooseAnchor(const CodePattern& p, const uint16_t* frequency, Anchor* out) {
    bool found = false;
    uint32_t best = 0;
    for (size_t i = 0; i + 4 <= p.length; ++i) {
        if (!(p.fixed[i] && p.fixed[i + 1] && p.fixed[i + 2] && p.fixed[i + 3])) continue;
        const uint32_t value = Load32(p.bytes + i);
        const uint32_t seen = frequency[Hash32(value, kFrequencyBits)];
        if (!found || seen < best) {
            found = true;
            best = seen;
            out->value = value;
            out->offset = static_cast<uint8_t>(i);
            out->width = 4;
        }
    }
    if (found) return true;
    for (size_t i = 0; i + 2 <= p.length; ++i) {
        if (p.fixed[i] && p.fixed[i + 1]) {
            out->value = static_cast<uint32_t>(p.bytes[i] | p.bytes[i + 1] << 8);
            out->offset = static_cast<uint8_t>(i);
            out->width = 2;
            return true;
        }
    }
    for (size_t i = 0; i < p.length; ++i) {
        if (p.fixed[i]) {
            out->value = p.bytes[i];
            out->offset = static_cast<uint8_t>(i);
            out->width = 1;
            return true;
        }
    }
    return false;
}

bool Matches(const ModuleView& module, const CodePattern& p, uint32_t start) {
    const uint8_t* code = module.bytes + start;
    for (size_t i = 0; i < p.length; ++i) {
        if (p.fixed[i] && code[i] != p.bytes[i]) return false;
    }
    if (module.readable) {
        for (size_t i = 0; i < p.length; ++i) {
            if (p.fixed[i] && !module.readable[start + i]) return false;
        }
    }
    return true;
}

// Checks every anchor of the chain at `head` against the code at `at`.
void TryChain(const ModuleView& module, const CodeRange& range, const CodePattern* patterns, const Anchor* anchors,
              uint32_t head, uint32_t value, uint32_t at, PatternMatch* results) {
    for (uint32_t a = head; a != kNone; a = anchors[a].next) {
        const Anchor& anchor = anchors[a];
        if (anchor.value != value || anchor.offset > at - range.begin) continue;
        const CodePattern& p = patterns[anchor.pattern];
        const uint32_t start = at - anchor.offset;
        if (p.length > range.end - start || !Matches(module, p, start)) continue;
        PatternMatch& result = results[anchor.pattern];
        if (result.count == 0) result.address = module.base + start + p.position;
        if (result.count < kMatchCountCap) ++result.count;
    }
}

}  // namespace

Placement PlacementOf(const CodePattern& pattern, const PatternMatch& match) {
    if (pattern.length == 0 || match.count == 0) return Placement::kNotFound;
    return match.count == 1 && pattern.unique ? Placement::kFound : Placement::kAmbiguous;
}

bool SearchPatterns(const ModuleView& module, const CodePattern* patterns, size_t count, PatternMatch* results) {
    std::memset(results, 0, count * sizeof *results);
    if (count == 0) return true;
    unsigned bits = 10;
    while ((size_t{1} << bits) < 2 * count && bits < 24) ++bits;
    const size_t buckets = size_t{1} << bits;

    uint16_t* frequency = static_cast<uint16_t*>(std::calloc(size_t{1} << kFrequencyBits, sizeof(uint16_t)));
    Anchor* anchors = static_cast<Anchor*>(std::malloc(count * sizeof(Anchor)));
    // Heads of the four-byte buckets, then 65,536 two-byte ones, then 256 one-byte ones.
    uint32_t* heads = static_cast<uint32_t*>(std::malloc((buckets + 65536 + 256) * sizeof(uint32_t)));
    if (!frequency || !anchors || !heads) {
        std::free(frequency);
        std::free(anchors);
        std::free(heads);
        return false;
    }
    std::memset(heads, 0xFF, (buckets + 65536 + 256) * sizeof(uint32_t));
    uint32_t* heads2 = heads + buckets;
    uint32_t* heads1 = heads2 + 65536;

    CountQuads(module, frequency);
    bool anyShort = false;
    for (size_t i = 0; i < count; ++i) {
        const CodePattern& p = patterns[i];
        Anchor& anchor = anchors[i];
        if (p.length == 0 || p.length > kPatternMax || p.position >= p.length || !ChooseAnchor(p, frequency, &anchor)) {
            anchor.width = 0;
            continue;
        }
        anchor.pattern = static_cast<uint32_t>(i);
        uint32_t* head = anchor.width == 4 ? &heads[Hash32(anchor.value, bits)]
                         : anchor.width == 2 ? &heads2[anchor.value]
                                             : &heads1[anchor.value];
        anyShort = anyShort || anchor.width != 4;
        anchor.next = *head;
        *head = static_cast<uint32_t>(i);
    }
    std::free(frequency);

    for (size_t r = 0; r < module.codeCount; ++r) {
        const CodeRange range = module.code[r];
        if (range.begin >= range.end || range.end > module.size) continue;
        for (uint32_t at = range.begin; at < range.end; ++at) {
            const uint8_t* code = module.bytes + at;
            if (range.end - at >= 4) {
                const uint32_t value = Load32(code);
                const uint32_t head = heads[Hash32(value, bits)];
                if (head != kNone) TryChain(module, range, patterns, anchors, head, value, at, results);
            }
            if (anyShort) {
                if (range.end - at >= 2) {
                    const uint32_t value = static_cast<uint32_t>(code[0] | code[1] << 8);
                    if (heads2[value] != kNone) TryChain(module, range, patterns, anchors, heads2[value], value, at, results);
                }
                if (heads1[code[0]] != kNone) TryChain(module, range, patterns, anchors, heads1[code[0]], code[0], at, results);
            }
        }
    }
    std::free(anchors);
    std::free(heads);
    return true;
}

}  // namespace zt
