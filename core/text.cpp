#include "core/text.h"

#include <cstring>

namespace zt {

void CopyText(char* field, size_t fieldSize, const char* source, size_t sourceLimit) {
    if (fieldSize == 0) return;
    size_t n = 0;
    while (n + 1 < fieldSize && n < sourceLimit && source[n] != '\0') {
        field[n] = source[n];
        ++n;
    }
    field[n] = '\0';
}

void CutWithEllipsis(char* text, size_t keep) {
    if (std::strlen(text) > keep + 2) std::strcpy(text + keep, "...");
}

}  // namespace zt
