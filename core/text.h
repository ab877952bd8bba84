// Bounded copies into fixed-size text fields.
#pragma once

#include <cstddef>

namespace zt {

// Copies at most fieldSize - 1 characters of source, stopping early at a
// terminator or after sourceLimit characters, and always terminates field.
void CopyText(char* field, size_t fieldSize, const char* source, size_t sourceLimit = static_cast<size_t>(-1));

template <size_t N>
void CopyText(char (&field)[N], const char* source, size_t sourceLimit = static_cast<size_t>(-1)) {
    CopyText(field, N, source, sourceLimit);
}

// Cuts typed text that is longer than keep + 2 characters to its first keep
// characters followed by "...".
void CutWithEllipsis(char* text, size_t keep);

}  // namespace zt
