// Failure-safe writing of a whole file: the new content goes to a temporary
// file in the same folder, and only a file that was written, flushed and
// closed without error takes the target's place. On any failure the
// temporary file is removed and an existing target stays as it was.
#pragma once

#include <cstdio>

namespace zt {

// Writes a file through a temporary file beside it; the target is replaced only when every byte was
// written, flushed and closed. `write` returns false on any failure. True when the target now holds it.
bool ReplaceFileWith(const char* path, bool (*write)(std::FILE* file, void* context), void* context);

}  // namespace zt
