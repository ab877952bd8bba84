#include "exchange/import/import_entry.h"

#include <cstddef>
#include <cstring>

namespace zt {

void ClearEntry(ImportEntry& entry, EntryKind kind) {
    std::memset(&entry, 0, offsetof(ImportEntry, module));
    entry.kind = kind;
    entry.module[0] = entry.name[0] = entry.original[0] = entry.recordedModule[0] = entry.comment[0] = '\0';
}

}  // namespace zt
