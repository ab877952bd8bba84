#include "exchange/import/entry_apply.h"

#include <windows.h>

#include <cstring>

#include "core/settings.h"
#include "core/store.h"
#include "core/text.h"
#include "core/undo_journal.h"
#include "exchange/exchange_file/exchange_record.h"
#include "host/host.h"

namespace zt {

namespace {

constexpr size_t kNameKeep = 60;      // and "...", as typed names are cut; labels too
constexpr size_t kCommentKeep = 252;  // and "...", as typed comments are cut

// The bookmark's module no longer matches the module at its address: it is
// disabled and its name warns about it.
void MarkIfModuleChanged(uint32_t address, BookmarkRecord& bookmark) {
    const HostModule* module = HostFindModule(address);
    if (!module) return;
    char now[kModuleFieldSize];
    CopyText(now, module->shortName, kHostModuleNameLength);
    if (lstrcmpiA(now, bookmark.module) == 0) return;
    SetBookmarkActive(bookmark, 0);
    CopyText(bookmark.name, kModuleChangedMarker);
}

// A bookmark's comment, as stored beside it in the file: cut at the field.
void SetStoredComment(uint32_t address, const char* text) {
    char comment[kCommentFieldSize];
    CopyText(comment, text);
    HostInsertName(address, kHostNameComment, comment);
}

}  // namespace

BookmarkRecord* ApplyBookmarkEntry(const ImportEntry& entry, uint32_t address) {
    RememberAddress(address);
    LoadBookmark(address);
    BookmarkRecord* bookmark = FindRecord(address);
    if (!bookmark) return nullptr;
    if (entry.hasName) {
        char name[kEntryTextSize];
        CopyText(name, entry.name);
        if (std::strlen(name) >= sizeof bookmark->name) CutWithEllipsis(name, kNameKeep);
        CopyText(bookmark->name, name);
    }
    if (entry.hasOriginal) CopyText(bookmark->originalDisassembly, entry.original);
    if (entry.hasRecordedModule) CopyText(bookmark->module, entry.recordedModule);
    if (entry.hasActive) SetBookmarkActive(*bookmark, entry.active);
    if (entry.hasComment) SetStoredComment(address, entry.comment);
    if (entry.hasName && IsLabelMappingOn() && !IsPlaceholderName(bookmark->name))
        HostInsertName(address, kHostNameLabel, bookmark->name);
    if (entry.hasRecordedModule) MarkIfModuleChanged(address, *bookmark);
    return bookmark;
}

LabelOutcome ApplyLabelEntry(const ImportEntry& entry, uint32_t address, unsigned& names, unsigned& labels) {
    const bool mapped = IsLabelMappingOn();
    BookmarkRecord* bookmark = FindRecord(address);
    if (!mapped && !bookmark) return LabelOutcome::kNoBookmark;
    RememberAddress(address);
    // The debugger's labels, like the names they mirror, take 63 characters.
    char text[kEntryTextSize];
    CopyText(text, entry.name);
    CutWithEllipsis(text, kNameKeep);
    if (mapped) {
        HostInsertName(address, kHostNameLabel, text);
        ++labels;
    }
    const bool named = bookmark && (!entry.namesUnnamedOnly || IsPlaceholderName(bookmark->name));
    if (named && NameBookmark(address, text)) ++names;
    return LabelOutcome::kApplied;
}

void ApplyCommentEntry(const ImportEntry& entry, uint32_t address) {
    RememberAddress(address);
    char comment[kEntryTextSize];
    CopyText(comment, entry.comment);
    CutWithEllipsis(comment, kCommentKeep);
    HostInsertName(address, kHostNameComment, comment);
}

}  // namespace zt
