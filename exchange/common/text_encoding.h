// The debugger's text is 8-bit ANSI (the system's code page); bookmark lists
// are UTF-8.
#pragma once

#include <cstddef>

namespace zt {

// UTF-8 takes at most three bytes for a character of the code page, which
// takes at least one.
constexpr size_t Utf8SizeFor(size_t ansiSize) { return 3 * ansiSize + 1; }

// At most `limit` characters of text, up to its terminator, as UTF-8 into
// out (outSize bytes, always terminated). The length written.
size_t AnsiToUtf8(const char* text, size_t limit, char* out, size_t outSize);

// length bytes of UTF-8 text in the system's code page, into a field of
// fieldSize bytes. Characters the code page lacks become '?'. False, with the
// field empty, when the text is not UTF-8, holds a zero character, or does
// not fit with its terminator.
bool Utf8ToAnsi(const char* text, size_t length, char* field, size_t fieldSize);

}  // namespace zt
