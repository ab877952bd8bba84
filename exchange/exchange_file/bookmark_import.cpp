// Import: each record of the file, in file order, becomes a bookmark at its
// relative address plus the base of the block the CPU pane shows now; or the
// JSON bookmark list, x64dbg's database or a program XML, when the user chose
// its type.
#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "core/store.h"
#include "core/undo_journal.h"
#include "exchange/list/bookmark_lists.h"
#include "exchange/exchange_file/exchange_file.h"
#include "exchange/exchange_file/exchange_record.h"
#include "exchange/common/file_chooser.h"
#include "exchange/exchange_file/record_apply.h"
#include "exchange/ghidra/program_xml.h"
#include "exchange/common/shown_block.h"
#include "exchange/x64dbg/x64dbg_database.h"
#include "host/host.h"

namespace zt {

namespace {

// The file's size; false when it cannot be opened or measured.
bool MeasureFile(const char* path, uint64_t& size) {
    HANDLE file =
        CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(file, &high);
    // INVALID_FILE_SIZE is also the low half of a valid size; the error says which.
    const bool measured = low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR;
    CloseHandle(file);
    size = uint64_t(high) << 32 | low;
    return measured;
}

// Applies up to count records, one at a time in file order: the file's size
// says nothing about the memory the plug-in can spare. The number read.
uint64_t ApplyRecords(std::FILE* file, uint64_t count, const HostCpuPane& pane) {
    ExchangeRecord record;
    uint64_t read = 0;
    bool applied = false;
    uint32_t last = 0;
    for (; read < count && std::fread(&record, sizeof record, 1, file) == 1; ++read) {
        const uint32_t address = record.bookmark.address + pane.blockBase;
        if (ApplyRecord(record, address)) {
            applied = true;
            last = address;
        }
    }
    // The caption once, at the end: the last bookmark's position, or -1 when
    // none could be stored.
    if (applied)
        PublishStatus(ActivePosition(last));
    else if (read > 0)
        PublishStatus(-1);
    return read;
}

}  // namespace

void ImportBookmarks() {
    const HostCpuPane* pane = PaneShowingMemory();
    if (!pane) return;
    char path[kFilePathSize];
    switch (ChooseBookmarkFile(path, kOpenDialog)) {
    case kDatFile: break;
    case kJsonFile: ImportJsonBookmarkList(path); return;
    case kX64dbgFile: ImportX64dbgDatabase(path); return;
    case kProgramXmlFile: ImportProgramXml(path); return;
    default: return;
    }
    uint64_t size;
    if (!MeasureFile(path, size) || size == 0) return;

    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        HostFlash("[ERROR]: Nothing imported!");
        return;
    }
    UndoRecording undo(UndoKind::kImport);
    const uint64_t read = ApplyRecords(file, size / sizeof(ExchangeRecord), *pane);
    // A file that got shorter since it was measured simply ends; an error
    // stops the import where it happened, keeping what came before.
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);

    if (!failed)
        HostFlash("Zentrilo: Bookmarks imported successfully!");
    else if (read == 0)
        HostFlash("[ERROR]: Nothing imported!");
    else
        HostFlash("[ERROR]: Import stopped by a read error after %u records!", unsigned(read));
}

}  // namespace zt
