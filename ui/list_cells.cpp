#include "ui/list_cells.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/bookmark_record.h"
#include "core/store.h"
#include "core/text.h"
#include "host/host.h"

namespace zt {

namespace {

constexpr int kCellSize = 256;
constexpr int kPlain = 0;
constexpr int kGreyed = 1;
constexpr int kMasked = 0x80;
constexpr char kHighlighted = 2;
constexpr char kUnreadable = 0x20;

int Highlight(int length, char* mask, int* attribute, char how) {
    *attribute = kMasked;
    std::memset(mask, how, static_cast<size_t>(length) + 1);
    return length;
}

int CopyCell(char* text, const char* value, size_t limit) {
    CopyText(text, kCellSize, value, limit);
    return static_cast<int>(std::strlen(text));
}

int CurrentDisassembly(const BookmarkRecord& record, char* text, char* mask, int* attribute) {
    char now[kDisassemblyFieldSize];
    if (!SnapshotDisassembly(record.address, now)) {
        std::strcpy(text, "???");
        *attribute = kMasked;
        std::memset(mask, kUnreadable, 4);
        return 3;
    }
    int length = CopyCell(text, now, sizeof now);
    char original[kDisassemblyFieldSize];
    CopyText(original, record.originalDisassembly, sizeof record.originalDisassembly);
    if (lstrcmpiA(text, original) != 0) Highlight(length, mask, attribute, kHighlighted);
    return length;
}

}  // namespace

int __cdecl ListCellText(char* text, char* mask, int* attribute, void* item, int column) {
    const BookmarkRecord& record = *static_cast<const BookmarkRecord*>(item);
    *attribute = record.active ? kPlain : kGreyed;
    const bool moduleChanged =
        std::strncmp(record.name, kModuleChangedMarker, sizeof record.name) == 0;
    int length = 0;
    switch (column) {
    case 0:
        length = CopyCell(text, record.name, sizeof record.name);
        return moduleChanged ? Highlight(length, mask, attribute, kHighlighted) : length;
    case 1:
        return std::snprintf(text, kCellSize, "%08X", record.address);
    case 2:
        length = CopyCell(text, record.module, sizeof record.module);
        return moduleChanged ? Highlight(length, mask, attribute, kHighlighted) : length;
    case 3:
        return CopyCell(text, record.active ? "Always" : "Disabled", kCellSize);
    case 4:
        return CurrentDisassembly(record, text, mask, attribute);
    case 5:
        return CopyCell(text, record.originalDisassembly, sizeof record.originalDisassembly);
    case 6:
        return HostFindName(record.address, kHostNameComment, text);
    }
    return 0;
}

}  // namespace zt
