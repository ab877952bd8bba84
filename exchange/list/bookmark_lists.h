// Bookmark lists for other tools: every bookmark with its module and offset
// and its fields, as JSON or CSV in UTF-8, and the JSON read back.
#pragma once

#include <cstdint>
#include <cstdio>

namespace zt {

constexpr char kBookmarkListFormat[] = "zentrilo-bookmarks";
constexpr unsigned kBookmarkListVersion = 1;

// Writers for ReplaceFileWith: the whole list; false when a write failed.
bool WriteJsonBookmarkList(std::FILE* file, void* context);
bool WriteCsvBookmarkList(std::FILE* file, void* context);
// What the status line of the last JSON list written adds after "exported
// successfully": ", N without a code pattern (time limit)" when the patterns'
// time ran out; "" otherwise.
const char* JsonExportNote();

// Reads a JSON bookmark list and, only when all of it is valid, applies its
// entries: each at its recorded address when the module there now is the
// recorded one, else at the recorded offset in the loaded module of the
// recorded name, else not at all; an entry whose module is loaded from
// another build arrives disabled. The outcome goes to the status bar. Never
// throws.
void ImportJsonBookmarkList(const char* path);

}  // namespace zt
