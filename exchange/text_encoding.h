// The debugger's text is 8-bit ANSI (the system's code page); bookmark lists
// are UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace zt {

// At most `limit` characters of text, up to its terminator, as UTF-8.
std::string AnsiToUtf8(const char* text, size_t limit);

// UTF-8 text in the system's code page, into a field of fieldSize bytes.
// Characters the code page lacks become '?'. False, with the field empty,
// when the text is not UTF-8 or does not fit with its terminator.
bool Utf8ToAnsi(const std::string& text, char* field, size_t fieldSize);

}  // namespace zt
