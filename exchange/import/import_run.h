// The one import every format shares: a check pass over the whole file that
// changes nothing, then the applying passes (bookmarks first, then labels and
// comments, so that a label may come before its bookmark), with placement,
// application, counting and the status line in one place. A lack of memory,
// a read error and a file that changes while read are said in the status bar.
#pragma once

#include <cstdint>

#include "exchange/import/import_entry.h"

namespace zt {

struct ImportOptions {
    // The status line opens "N bookmarks imported" or, for formats that carry
    // labels and comments of their own, "N bookmarks, N names, N labels,
    // N comments imported".
    bool countsNames;
    // Entries of a module that is not loaded go to this one instead (size 0:
    // nowhere), and the status line says so with fallbackNote.
    uint32_t fallbackBase;
    uint32_t fallbackSize;
    const char* fallbackNote;
};

// Reads the file at path with reader and, only when all of it is valid,
// applies its entries. The outcome goes to the status bar. Never throws.
void RunImport(const char* path, ImportReader& reader, const ImportOptions& options);

}  // namespace zt
