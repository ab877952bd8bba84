// What an import does at the place an entry goes: the one application of
// every format's bookmarks, labels and comments.
#pragma once

#include <cstdint>

#include "core/bookmark_record.h"
#include "exchange/import/import_entry.h"

namespace zt {

// Makes or keeps the bookmark at address and gives it what the entry
// carries: name, original instruction, module field, active flag, the
// debugger's comment (cut at its field; an empty one clears it) and, when
// label mapping is on,
// its name as the label; a bookmark whose recorded module is no longer the
// one at the address is disabled and marked. Null when the bookmark could
// not be stored.
BookmarkRecord* ApplyBookmarkEntry(const ImportEntry& entry, uint32_t address);

enum class LabelOutcome : uint8_t { kNoBookmark, kApplied };

// Names the bookmark at address after the label (cut as typed names are)
// and, when names are mapped to labels, makes it the debugger's label there.
// names and labels count what it did. kNoBookmark, with nothing done, when
// there is neither a bookmark nor label mapping.
LabelOutcome ApplyLabelEntry(const ImportEntry& entry, uint32_t address, unsigned& names, unsigned& labels);

// The debugger's comment at address, cut as typed comments are.
void ApplyCommentEntry(const ImportEntry& entry, uint32_t address);

}  // namespace zt
