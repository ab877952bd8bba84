// A code pattern: the bytes around a bookmark, some of them wildcards, with
// the bookmark's place among them. It is what finds the bookmark's
// instruction again in another build of its module. Its text form, for lists
// of bookmarks, is the bytes as upper-case hex pairs and "??" for a wildcard,
// one space between them: "55 8B EC 83 EC ?? E8 ?? ?? ?? ??"; the position
// and the uniqueness travel beside it. Pure code: no host calls.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

constexpr size_t kPatternBack = 32;     // bytes before the bookmark at most
constexpr size_t kPatternForward = 64;  // bytes from the bookmark on at most
constexpr size_t kPatternMax = kPatternBack + kPatternForward;

// Three characters a byte, the last one's space being the terminator.
constexpr size_t kPatternTextMax = kPatternMax * 3;

#pragma pack(push, 1)
struct CodePattern {
    uint8_t length;    // bytes in use; 0: no pattern
    uint8_t position;  // the bookmark's byte: bytes[position]
    uint8_t unique;    // 1: it occurred exactly once in the module's code when made
    uint8_t reserved;
    uint8_t bytes[kPatternMax];  // a wildcard's byte is 0
    uint8_t fixed[kPatternMax];  // 1: must match; 0: wildcard
};
#pragma pack(pop)
static_assert(sizeof(CodePattern) == 4 + 2 * kPatternMax, "CodePattern is a fixed layout");

// Writes the text form (at most kPatternTextMax bytes with the terminator);
// an empty pattern gives "".
void FormatPattern(const CodePattern& pattern, char* text);

// Reads the text form: 1 to kPatternMax items, each two hex digits (either
// case) or "??", separated by single spaces, with at least one fixed byte.
// The position is checked against the length; `unique` is left 0 for the
// caller to set from what the list says. False, and *out emptied, on
// anything else.
bool ParsePattern(const char* text, unsigned position, CodePattern* out);

}  // namespace zt
