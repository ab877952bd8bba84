// The value of a JSON number's text, when it is a whole number that fits.
#include <cstdint>
#include <cstddef>

#include "exchange/json/json_events.h"

namespace zt {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool ReadWholeNumber(const char* text, size_t length, uint64_t& number) {
    size_t at = 0;
    const bool minus = at < length && text[at] == '-';
    at += minus;
    const size_t wholeStart = at;
    while (at < length && IsDigit(text[at])) ++at;
    const size_t wholeDigits = at - wholeStart;
    size_t fractionStart = at, fractionDigits = 0;
    if (at < length && text[at] == '.') {
        fractionStart = ++at;
        while (at < length && IsDigit(text[at])) ++at;
        fractionDigits = at - fractionStart;
    }
    long long exponent = 0;
    if (at < length && (text[at] == 'e' || text[at] == 'E')) {
        ++at;
        const bool negative = at < length && text[at] == '-';
        if (at < length && (text[at] == '-' || text[at] == '+')) ++at;
        for (; at < length && IsDigit(text[at]); ++at)
            if (exponent < 1000000) exponent = exponent * 10 + (text[at] - '0');
        if (negative) exponent = -exponent;
    }
    if (at != length || wholeDigits == 0) return false;

    // The mantissa's digits d, whole part then fraction; the value is
    // d * 10^scale. Digits right of the point must all be zeros.
    const size_t count = wholeDigits + fractionDigits;
    auto digit = [&](size_t i) { return i < wholeDigits ? text[wholeStart + i] : text[fractionStart + i - wholeDigits]; };
    long long scale = exponent - static_cast<long long>(fractionDigits);
    size_t kept = count;
    if (scale < 0) {
        const size_t dropped = static_cast<unsigned long long>(-scale) < count ? static_cast<size_t>(-scale) : count;
        kept = count - dropped;
        for (size_t i = kept; i < count; ++i)
            if (digit(i) != '0') return false;
        scale = 0;
    }
    uint64_t value = 0;
    for (size_t i = 0; i < kept; ++i) {
        const unsigned d = static_cast<unsigned>(digit(i) - '0');
        if (value > (UINT64_MAX - d) / 10) return false;
        value = value * 10 + d;
    }
    for (; value != 0 && scale > 0; --scale) {
        if (value > UINT64_MAX / 10) return false;
        value *= 10;
    }
    if (minus && value != 0) return false;
    number = value;
    return true;
}

}  // namespace zt
