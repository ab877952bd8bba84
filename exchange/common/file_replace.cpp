#include "exchange/common/file_replace.h"

#include <windows.h>

namespace zt {

namespace {

// A new, empty file with a unique name in the target's folder, so that the
// final move is a rename within one file system.
bool MakeTemporaryFileBeside(const char* path, char (&temporary)[MAX_PATH]) {
    char full[MAX_PATH];
    char* name = nullptr;
    const DWORD length = GetFullPathNameA(path, sizeof full, full, &name);
    if (length == 0 || length >= sizeof full || !name) return false;
    *name = '\0';   // full now holds the folder, with its trailing separator
    return GetTempFileNameA(full, "zt", 0, temporary) != 0;
}

// Writes through `write`, then flushes and closes, checking each: the C
// runtime's fclose may report success although its final flush failed (a full
// disk), so the buffer is flushed explicitly first.
bool WriteAndClose(const char* temporary, bool (*write)(std::FILE*, void*), void* context) {
    std::FILE* file = std::fopen(temporary, "wb");
    if (!file) return false;
    bool written = write(file, context);
    written = std::fflush(file) == 0 && written;
    written = std::ferror(file) == 0 && written;
    return std::fclose(file) == 0 && written;
}

}  // namespace

bool ReplaceFileWith(const char* path, bool (*write)(std::FILE* file, void* context), void* context) {
    char temporary[MAX_PATH];
    if (!MakeTemporaryFileBeside(path, temporary)) return false;
    if (WriteAndClose(temporary, write, context) &&
        MoveFileExA(temporary, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(temporary);
    return false;
}

}  // namespace zt
