#include "exchange/import/import_entry.h"

#include <cstring>

namespace zt {

void ClearEntry(ImportEntry& entry, EntryKind kind) {
    std::memset(&entry, 0, sizeof entry);
    entry.kind = kind;
}

}  // namespace zt
