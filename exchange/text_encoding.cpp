#include "exchange/text_encoding.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace zt {

std::string AnsiToUtf8(const char* text, size_t limit) {
    const int length = static_cast<int>(strnlen(text, limit));
    if (length == 0) return {};
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
    if (wideLength <= 0) return {};
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), wideLength);
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (utf8Length <= 0) return {};
    std::string utf8(static_cast<size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], utf8Length, nullptr, nullptr);
    return utf8;
}

bool Utf8ToAnsi(const std::string& text, char* field, size_t fieldSize) {
    field[0] = '\0';
    if (text.empty()) return true;
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (wideLength <= 0) return false;
    std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), wideLength);
    const int ansiLength = WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0 || static_cast<size_t>(ansiLength) >= fieldSize) return false;
    WideCharToMultiByte(CP_ACP, 0, wide.data(), wideLength, field, ansiLength, nullptr, nullptr);
    field[ansiLength] = '\0';
    return true;
}

}  // namespace zt
