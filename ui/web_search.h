// A web search for the instruction a bookmark was made on.
#pragma once

#include "core/bookmark_record.h"

namespace zt {

// Opens the default browser on a search for the record's original
// disassembly as an exact phrase.
void SearchWeb(const BookmarkRecord& record);

}  // namespace zt
