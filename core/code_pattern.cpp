#include "core/code_pattern.h"

namespace zt {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

void FormatPattern(const CodePattern& pattern, char* text) {
    static const char kDigits[] = "0123456789ABCDEF";
    char* at = text;
    const size_t length = pattern.length <= kPatternMax ? pattern.length : kPatternMax;
    for (size_t i = 0; i < length; ++i) {
        if (i) *at++ = ' ';
        if (pattern.fixed[i]) {
            *at++ = kDigits[pattern.bytes[i] >> 4];
            *at++ = kDigits[pattern.bytes[i] & 15];
        } else {
            *at++ = '?';
            *at++ = '?';
        }
    }
    *at = '\0';
}

bool ParsePattern(const char* text, unsigned position, CodePattern* out) {
    *out = CodePattern{};
    CodePattern pattern{};
    size_t length = 0;
    bool anyFixed = false;
    const char* at = text;
    while (true) {
        if (length == kPatternMax) return false;
        if (at[0] == '?' && at[1] == '?') {
            pattern.fixed[length] = 0;
        } else {
            const int high = HexDigit(at[0]);
            const int low = high < 0 ? -1 : HexDigit(at[1]);
            if (low < 0) return false;
            pattern.bytes[length] = static_cast<uint8_t>(high << 4 | low);
            pattern.fixed[length] = 1;
            anyFixed = true;
        }
        ++length;
        at += 2;
        if (*at == '\0') break;
        if (*at != ' ') return false;
        ++at;
    }
    if (!anyFixed || position >= length) return false;
    pattern.length = static_cast<uint8_t>(length);
    pattern.position = static_cast<uint8_t>(position);
    *out = pattern;
    return true;
}

}  // namespace zt
