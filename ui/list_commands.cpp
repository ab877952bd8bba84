#include "ui/list_commands.h"

#include <cstdio>

#include "core/navigation.h"
#include "core/plugin_state.h"
#include "core/settings.h"
#include "core/store.h"
#include "core/text.h"
#include "core/undo_journal.h"
#include "host/host.h"
#include "ui/list_find.h"
#include "ui/list_window.h"
#include "ui/opcode_help.h"
#include "ui/text_prompt.h"
#include "ui/web_search.h"

namespace zt {

namespace {

constexpr size_t kCommentKeep = 252;  // a longer comment keeps 252 characters and "..."

void SwitchActive(BookmarkRecord& record) {
    // The panel's caption keeps its counts until it is next published.
    SetBookmarkActive(record, record.active ? 0 : 1);
    RepaintListWindow();
}

}  // namespace

const BookmarkRecord* SelectedBookmark() {
    return static_cast<const BookmarkRecord*>(HostSortedBySelection(BookmarkSorted(), g_table.sorted.selectedRow));
}

void RunListCommand(ListCommand command, uint32_t address) {
    switch (command) {
    case ListCommand::Find: FindInList(); return;
    case ListCommand::FindNext: FindNextInList(); return;
    case ListCommand::Undo:
        if (!UndoLast()) MessageBeep(0);
        return;
    default: break;
    }
    BookmarkRecord* record = FindRecord(address);
    if (!record) return;
    switch (command) {
    case ListCommand::Follow: GoToBookmark(address); break;
    case ListCommand::Delete: DeleteBookmarkUndoably(address); break;
    case ListCommand::SwitchActive: SwitchActive(*record); break;
    case ListCommand::EditName:
        EditBookmarkName(address);
        RepaintListWindow();
        break;
    case ListCommand::EditComment:
        EditBookmarkComment(address);
        RepaintListWindow();
        break;
    case ListCommand::SetBreakpoint: HostTempBreakpoint(address, kHostOneShotBreakpoint); break;
    case ListCommand::SearchWeb: SearchWeb(*record); break;
    case ListCommand::OpcodeHelp: ShowOpcodeHelp(address); break;
    default: break;
    }
}

void EditBookmarkName(uint32_t address) {
    char title[48];
    char entry[kTextEntrySize];
    std::snprintf(title, sizeof title, "Edit bookmark name at address %08X", address);
    if (!AskText(title, entry)) return;
    const BookmarkRecord* record = NameBookmark(address, entry);
    if (!record || !IsLabelMappingOn()) return;
    HostInsertName(address, kHostNameLabel, record->name);
    HostRefreshDisassembly();
}

void EditBookmarkComment(uint32_t address) {
    char title[48];
    char entry[kTextEntrySize];
    std::snprintf(title, sizeof title, "Edit comment at address %08X", address);
    if (!AskText(title, entry)) return;
    CutWithEllipsis(entry, kCommentKeep);
    if (!FindRecord(address)) return;
    HostInsertName(address, kHostNameComment, entry);
}

}  // namespace zt
