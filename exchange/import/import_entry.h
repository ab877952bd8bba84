// What every format's reader turns a file into: neutral entries, one a
// bookmark, label or comment, with where it lay (module, offset, address)
// and what it carries. The shared import decides where each goes now and
// applies it; a reader only reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/bookmark_record.h"
#include "core/call_sites.h"
#include "core/code_pattern.h"
#include "core/routine_align.h"
#include "core/pointer_targets.h"
#include "core/twin_order.h"
#include "exchange/common/file_chooser.h"
#include "exchange/common/loaded_modules.h"

namespace zt {

enum class EntryKind : uint8_t {
    kBookmark,   // makes or updates the bookmark at its place
    kLabel,      // names the bookmark there, and is the debugger's label when names are mapped to labels
    kComment,    // the debugger's comment at its place
};

// How the entry's module is named.
enum class ModuleKey : uint8_t {
    kNone,   // it lay in no module: placed at its address, when it has one
    kName,   // the module's short name, as the debugger shows it
    kFile,   // the module's file name with extension, as x64dbg and Ghidra name it
};

// Labels and comments longer than the debugger keeps are cut when applied,
// as typed ones are; of a text, a reader keeps at most this many bytes.
constexpr size_t kEntryTextSize = 1025;

struct ImportEntry {
    EntryKind kind;
    ModuleKey moduleKey;

    bool hasAddress;      // the address it had when written
    uint32_t address;
    bool hasOffset;       // from its module's base
    uint32_t offset;
    bool hasModuleBase;   // where its module lay when written
    uint32_t moduleBase;
    bool hasBuild;        // the build its module was when written
    ModuleBuild build;

    bool hasActive;       // bookmarks: without, a bookmark already there keeps its state (a new one is active)
    uint8_t active;
    bool hasName;         // a bookmark's name, as it is to be stored, or a label's text
    bool namesUnnamedOnly;   // labels: name only a bookmark that has no name yet
    bool hasOriginal;     // bookmarks: the instruction recorded when it was made
    bool hasRecordedModule;   // bookmarks: the module field recorded (the store's own otherwise)
    bool hasComment;      // bookmarks and comments: the comment (empty clears the debugger's)
    bool hasPattern;      // bookmarks: the code around it, to find it in another build
    CodePattern pattern;
    // Bookmarks with a pattern that was not unique where it was made: the
    // places of that pattern in the old build (each the bookmark's byte, as
    // an offset from the module's base, its own among them), which the order
    // of the entries' routines may decide between. 0: none recorded.
    // hasOldPlaces: the writer records them (a list from before it had
    // none: its twins are not placed by order).
    bool hasOldPlaces;
    // Bookmarks: the list's writer gives every bookmark of a module a code
    // pattern where one can be made, so that one of another build without
    // a pattern to search could not be found again: it is not placed by its
    // offset, which is the old build's.
    bool patternsMade;
    uint8_t oldPlaceCount;
    uint32_t oldPlaces[kMostTwins];
    // With such a pattern: the patterns of places that called the bookmark
    // in the old build (each on the call's E8 byte, unique there), which
    // name its new place when found again.
    uint8_t callerCount;
    CodePattern callers[kMostCallers];
    // With a pattern: the keys of the instructions of its routine around it,
    // which place it when its routine changed (count 0: none).
    AlignKeys align;
    // With such a pattern: what each wildcard field of it pointed to at the
    // bookmark's place (core/pointer_targets.h), which tells its new place
    // from the others. 0: none recorded.
    uint8_t targetCount;
    uint32_t targets[kMostTargetFields];
    // With a pattern: the description of the names its module exported the
    // routine it is on under (core/pointer_targets.h), which name the routine
    // in another build however its code changed. 0: none.
    uint32_t exportNames;

    // The texts, last: an entry is cleared for every one read, up to here.
    char module[kFilePathSize];
    char name[kEntryTextSize];
    char original[kDisassemblyFieldSize];
    char recordedModule[kModuleFieldSize];
    char comment[kEntryTextSize];
};

// Blank: no module, no address, nothing carried.
void ClearEntry(ImportEntry& entry, EntryKind kind);

// Where a reader's entries go. A reader calls Take for each entry in file
// order, and PassOver for what it reads but does not import (Ghidra's
// analysis bookmarks, say), with a reason that the status line counts.
class EntrySink {
public:
    virtual void Take(const ImportEntry& entry) = 0;
    virtual void PassOver(const char* why) = 0;

protected:
    ~EntrySink() = default;
};

constexpr size_t kReadFaultSize = 160;

// A format's reader. Read goes over the whole file from where it stands and
// may be called several times on one file; it is false when it did not read
// all of it, with the reason in fault (a fault of the file's, "not valid
// JSON (line 3, column 7)"; or readFailed when the file could not be read).
class ImportReader {
public:
    virtual bool Read(std::FILE* file, EntrySink& sink) = 0;
    const char* fault() const { return fault_; }
    bool readFailed() const { return readFailed_; }

protected:
    ~ImportReader() = default;
    char fault_[kReadFaultSize] = "";
    bool readFailed_ = false;
};

}  // namespace zt
