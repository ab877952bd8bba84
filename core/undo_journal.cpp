#include "core/undo_journal.h"

#include <cstdlib>
#include <cstring>

#include "core/bookmark_list.h"
#include "core/bookmark_views.h"
#include "core/grow_array.h"
#include "core/store.h"
#include "core/text.h"
#include "host/host.h"

namespace zt {

namespace {

constexpr size_t kNameTextSize = 256;   // the debugger's comments and labels

// One remembered address, packed: the address, the flags, then the texts
// each with its terminator: module, name and original disassembly when
// there was a bookmark, then comment and label.
enum : uint8_t { kHadBookmark = 1, kWasActive = 2 };
constexpr size_t kLongestEntry =
    4 + 1 + kModuleFieldSize + kNameFieldSize + kDisassemblyFieldSize + 2 * kNameTextSize;

struct Journal {
    char* bytes = nullptr;
    size_t used = 0, capacity = 0;
    uint32_t* starts = nullptr;   // where each entry begins in bytes
    size_t count = 0, startCapacity = 0;
    UndoKind kept = UndoKind::kNothing;        // what the entries undo
    UndoKind recording = UndoKind::kNothing;   // the operation between Begin and End
    bool started = false;       // the recording has replaced what was kept
    bool tooLarge = false;
    bool noMemory = false;
};

Journal g_journal;

void FreeEntries() {
    std::free(g_journal.bytes);
    std::free(g_journal.starts);
    g_journal.bytes = nullptr;
    g_journal.starts = nullptr;
    g_journal.used = g_journal.capacity = g_journal.count = g_journal.startCapacity = 0;
    g_journal.kept = UndoKind::kNothing;
}

size_t PutText(char* entry, size_t at, const char* text, size_t fieldSize) {
    size_t length = 0;
    while (length + 1 < fieldSize && text[length]) ++length;
    std::memcpy(entry + at, text, length);
    entry[at + length] = '\0';
    return at + length + 1;
}

size_t PutName(char* entry, size_t at, uint32_t address, int type) {
    char text[kNameTextSize] = "";
    if (HostFindName(address, type, text) == 0) text[0] = '\0';
    text[kNameTextSize - 1] = '\0';
    return PutText(entry, at, text, kNameTextSize);
}

size_t PackEntry(uint32_t address, char (&entry)[kLongestEntry]) {
    std::memcpy(entry, &address, 4);
    size_t at = 5;
    uint8_t flags = 0;
    if (const BookmarkRecord* record = FindRecord(address)) {
        flags = kHadBookmark | (record->active ? kWasActive : 0);
        at = PutText(entry, at, record->module, sizeof record->module);
        at = PutText(entry, at, record->name, sizeof record->name);
        at = PutText(entry, at, record->originalDisassembly, sizeof record->originalDisassembly);
    }
    entry[4] = static_cast<char>(flags);
    at = PutName(entry, at, address, kHostNameComment);
    return PutName(entry, at, address, kHostNameLabel);
}

bool Append(const char* entry, size_t length) {
    Journal& j = g_journal;
    if (j.used + length + (j.count + 1) * sizeof *j.starts > kUndoJournalBytes) {
        j.tooLarge = true;
        return false;
    }
    bool room = true;
    while (room && j.used + length > j.capacity) room = GrowArray(j.bytes, j.capacity, 4096);
    if (room && j.count == j.startCapacity) room = GrowArray(j.starts, j.startCapacity, 256);
    if (!room) {
        j.noMemory = true;
        return false;
    }
    std::memcpy(j.bytes + j.used, entry, length);
    j.starts[j.count++] = static_cast<uint32_t>(j.used);
    j.used += length;
    return true;
}

const char* NextText(const char*& at) {
    const char* text = at;
    at += std::strlen(at) + 1;
    return text;
}

// Puts the comment or label back when it differs from the one there now.
bool RestoreName(uint32_t address, int type, const char* text) {
    char now[kNameTextSize] = "";
    if (HostFindName(address, type, now) == 0) now[0] = '\0';
    now[kNameTextSize - 1] = '\0';
    if (std::strcmp(now, text) == 0) return false;
    HostInsertName(address, type, text);
    return true;
}

// The address as the entry remembers it; true when a comment or label changed.
bool Restore(const char* entry) {
    uint32_t address;
    std::memcpy(&address, entry, 4);
    const uint8_t flags = static_cast<uint8_t>(entry[4]);
    const char* at = entry + 5;
    if (flags & kHadBookmark) {
        const char* module = NextText(at);
        const char* name = NextText(at);
        const char* original = NextText(at);
        LoadBookmark(address);
        if (BookmarkRecord* record = FindRecord(address)) {
            CopyText(record->module, module);
            CopyText(record->name, name);
            CopyText(record->originalDisassembly, original);
            SetBookmarkActive(*record, (flags & kWasActive) ? 1 : 0);
        }
    } else {
        UnloadBookmark(address);
    }
    const char* comment = NextText(at);
    const char* label = NextText(at);
    const bool comments = RestoreName(address, kHostNameComment, comment);
    return RestoreName(address, kHostNameLabel, label) || comments;
}

}  // namespace

void BeginUndo(UndoKind kind) {
    g_journal.recording = kind;
    g_journal.started = g_journal.tooLarge = g_journal.noMemory = false;
}

void RememberAddress(uint32_t address) {
    Journal& j = g_journal;
    if (j.recording == UndoKind::kNothing) return;
    if (!j.started) {
        FreeEntries();
        j.started = true;
    }
    if (j.tooLarge || j.noMemory) return;
    char entry[kLongestEntry];
    if (!Append(entry, PackEntry(address, entry))) FreeEntries();
}

const char* FinishUndo() {
    Journal& j = g_journal;
    const UndoKind kind = j.recording;
    j.recording = UndoKind::kNothing;
    if (!j.started) return nullptr;
    if (!j.tooLarge && !j.noMemory) {
        j.kept = kind;
        return nullptr;
    }
    FreeEntries();
    const char* why = j.tooLarge ? "it changed too many bookmarks" : "not enough memory";
    HostLog(0, kHostLogFailure, "Zentrilo: %s cannot be undone, %s", UndoKindName(kind), why);
    return why;
}

void EndUndo() {
    const UndoKind kind = g_journal.recording;
    if (const char* why = FinishUndo()) HostFlash("Zentrilo: %s cannot be undone, %s", UndoKindName(kind), why);
}

UndoKind UndoableKind() { return g_journal.kept; }

const char* UndoKindName(UndoKind kind) {
    switch (kind) {
    case UndoKind::kDelete: return "Delete";
    case UndoKind::kClear: return "Clear";
    case UndoKind::kImport: return "Import";
    case UndoKind::kNothing: break;
    }
    return "";
}

bool UndoLast() {
    Journal& j = g_journal;
    const UndoKind kind = j.kept;
    if (kind == UndoKind::kNothing) return false;
    // The latest entries first, so that an address remembered twice ends as
    // it was first found; but a Clear, which remembered each address once in
    // ascending order, refills the debugger's table at its end.
    bool namesChanged = false;
    for (size_t i = 0; i < j.count; ++i) {
        const size_t entry = kind == UndoKind::kClear ? i : j.count - 1 - i;
        namesChanged |= Restore(j.bytes + j.starts[entry]);
    }
    FreeEntries();
    if (namesChanged) HostRefreshDisassembly();
    RepaintBookmarkList();
    PublishStatus(-1);
    HostFlash("Zentrilo: %s undone", UndoKindName(kind));
    return true;
}

void ForgetUndo() {
    FreeEntries();
    g_journal.recording = UndoKind::kNothing;
}

void DeleteBookmarkUndoably(uint32_t address) {
    UndoRecording undo(UndoKind::kDelete);
    RememberAddress(address);
    SetBookmark(address, true, true, true);
}

void ClearBookmarksUndoably() {
    UndoRecording undo(UndoKind::kClear);
    for (uint32_t address : g_bookmarks) RememberAddress(address);
    ClearAllBookmarks();
}

}  // namespace zt
