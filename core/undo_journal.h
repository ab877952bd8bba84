// One level of undo for the operations that change many bookmarks at once or
// lose one: Delete, Clear Bookmarks and every import. An operation records,
// between BeginUndo and EndUndo, each address it is about to change, once
// per place where it changes something: RememberAddress keeps the bookmark
// as it is there (or that there is none) and the debugger's comment and
// label at the address. UndoLast puts every remembered address back as it
// was, the first remembered state of an address winning.
//
// The journal keeps its texts packed and holds at most kUndoJournalBytes;
// an operation that needs more (or finds no memory) cannot be undone, and
// EndUndo says so in the status bar and the log. An operation that
// remembered nothing leaves the previous one undoable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

enum class UndoKind : uint8_t { kNothing, kDelete, kClear, kImport };

// 8 MiB of entries: a Clear of over 100,000 bookmarks with short names and
// no comments (about 50 bytes each), or about 9,800 addresses whose every
// text is full (848 bytes each). The arrays grow by doubling, so at most
// 12 MiB are reserved.
constexpr size_t kUndoJournalBytes = 8u << 20;

void BeginUndo(UndoKind kind);
// Before the recording operation changes the bookmark, comment or label at
// address. Outside a recording it does nothing.
void RememberAddress(uint32_t address);
void EndUndo();
// EndUndo for an operation that says its own outcome: when the operation
// cannot be undone, the log says so and the reason ("it changed too many
// bookmarks") is returned for the outcome to say too; else null.
const char* FinishUndo();

// Begin and end with a scope, whichever way it is left.
class UndoRecording {
public:
    explicit UndoRecording(UndoKind kind) { BeginUndo(kind); }
    ~UndoRecording() { EndUndo(); }
    UndoRecording(const UndoRecording&) = delete;
    UndoRecording& operator=(const UndoRecording&) = delete;
};

// What UndoLast would take back, and its name ("Delete", "Clear", "Import").
UndoKind UndoableKind();
const char* UndoKindName(UndoKind kind);

// Takes the last recorded operation back and forgets it; false when there
// was nothing to undo.
bool UndoLast();

// After the debugger's reset: the addresses belong to another program.
void ForgetUndo();

// Delete and Clear Bookmarks as the user gives them: recorded for undo.
void DeleteBookmarkUndoably(uint32_t address);
void ClearBookmarksUndoably();

}  // namespace zt
