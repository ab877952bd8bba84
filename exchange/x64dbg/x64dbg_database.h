// x64dbg's database of a debugged program, uncompressed (.dd32, JSON in
// UTF-8): its "bookmarks", "labels" and "comments", each entry by the file
// name of its module, in lower case, and the offset in it as text "0x1A2B".
#pragma once

#include <cstddef>

namespace zt {

// x64dbg refuses a comment of 512 bytes or more.
constexpr size_t kLongestX64dbgComment = 511;

// Every bookmark in a module whose file name is found, its name as a label
// and the debugger's comment at its address as a comment; written
// failure-safe. The outcome goes to the status bar.
void ExportX64dbgDatabase(const char* path);

// Reads the database and, only when all of it is valid, makes its bookmarks
// in the loaded modules of their file names, names them after the labels at
// their addresses and sets its comments (and labels, when names are mapped
// to labels) as the debugger's. The outcome goes to the status bar. Never
// throws.
void ImportX64dbgDatabase(const char* path);

}  // namespace zt
