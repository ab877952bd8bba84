#include "exchange/common/text_encoding.h"

#include <windows.h>

#include <cstring>

namespace zt {

namespace {

// Texts are converted through UTF-16 on the stack: no field or list text is
// longer than this.
constexpr int kLongestText = 4096;

}  // namespace

size_t AnsiToUtf8(const char* text, size_t limit, char* out, size_t outSize) {
    out[0] = '\0';
    const int length = static_cast<int>(strnlen(text, limit < kLongestText ? limit : kLongestText));
    if (length == 0 || outSize < 2) return 0;
    wchar_t wide[kLongestText];
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text, length, wide, kLongestText);
    if (wideLength <= 0) return 0;
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, out, static_cast<int>(outSize - 1),
                                               nullptr, nullptr);
    if (utf8Length <= 0) {
        out[0] = '\0';
        return 0;
    }
    out[utf8Length] = '\0';
    return static_cast<size_t>(utf8Length);
}

bool Utf8ToAnsi(const char* text, size_t length, char* field, size_t fieldSize) {
    field[0] = '\0';
    if (length == 0) return true;
    if (length > kLongestText || std::memchr(text, '\0', length)) return false;
    wchar_t wide[kLongestText];
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, static_cast<int>(length), wide, kLongestText);
    if (wideLength <= 0) return false;
    const int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0 || static_cast<size_t>(ansiLength) >= fieldSize) return false;
    WideCharToMultiByte(CP_ACP, 0, wide, wideLength, field, ansiLength, nullptr, nullptr);
    field[ansiLength] = '\0';
    return true;
}

}  // namespace zt
