// Export: one record per bookmark, in address order, each address made
// relative to the block the CPU pane shows; or, when the user chose one of
// the bookmark lists' types, that list, x64dbg's database, or the shown
// module as Ghidra's program XML.
#include <cstdio>

#include "core/bookmark_list.h"
#include "core/store.h"
#include "core/text.h"
#include "exchange/list/bookmark_lists.h"
#include "exchange/exchange_file/exchange_file.h"
#include "exchange/exchange_file/exchange_record.h"
#include "exchange/common/file_chooser.h"
#include "exchange/common/file_replace.h"
#include "exchange/common/shown_block.h"
#include "exchange/ghidra/program_xml.h"
#include "exchange/x64dbg/x64dbg_database.h"
#include "host/host.h"

namespace zt {

namespace {

ExchangeRecord RecordFor(const BookmarkRecord& bookmark, uint32_t base) {
    ExchangeRecord record = NewExchangeRecord();
    record.bookmark.address = bookmark.address - base;
    if (!IsPlaceholderName(bookmark.name)) CopyText(record.bookmark.name, bookmark.name, sizeof bookmark.name);
    CopyText(record.bookmark.originalDisassembly, bookmark.originalDisassembly,
             sizeof bookmark.originalDisassembly);
    CopyText(record.bookmark.module, bookmark.module, sizeof bookmark.module);
    record.bookmark.active = bookmark.active;

    char comment[kCommentFieldSize] = {};
    if (HostFindName(bookmark.address, kHostNameComment, comment) != 0)
        CopyText(record.comment, comment, sizeof comment);
    return record;
}

// Writes every bookmark that has its record; false as soon as a write fails.
bool WriteBookmarks(std::FILE* file, void* context) {
    const HostCpuPane& pane = *static_cast<const HostCpuPane*>(context);
    for (uint32_t address : g_bookmarks) {
        const BookmarkRecord* bookmark = FindRecord(address);
        if (!bookmark) continue;
        const ExchangeRecord record = RecordFor(*bookmark, pane.blockBase);
        if (std::fwrite(&record, sizeof record, 1, file) != 1) return false;
    }
    return true;
}

}  // namespace

void ExportBookmarks() {
    const HostCpuPane* pane = PaneShowingMemory();
    if (!pane) return;
    char path[kFilePathSize];
    bool (*write)(std::FILE*, void*) = &WriteBookmarks;
    switch (ChooseBookmarkFile(path, kSaveDialog)) {
    case kNoBookmarkFile: return;
    case kDatFile: break;
    case kJsonFile: write = &WriteJsonBookmarkList; break;
    case kCsvFile: write = &WriteCsvBookmarkList; break;
    case kX64dbgFile: ExportX64dbgDatabase(path); return;
    case kProgramXmlFile: ExportProgramXml(path, *pane); return;
    }

    // The file is replaced only when all of it reached the disk.
    if (ReplaceFileWith(path, write, const_cast<HostCpuPane*>(pane)))
        HostFlash("Zentrilo: Bookmarks exported successfully%s!", write == &WriteJsonBookmarkList ? JsonExportNote() : "");
    else
        HostFlash("[ERROR]: Nothing exported!");
}

}  // namespace zt
