// What the user can do to a bookmark from the list window. A command is
// given the bookmark's address and looks its record up when it needs it:
// a menu or prompt runs a message loop of its own, during which the bookmark
// may be deleted (by a hot key, another plug-in, a reset), and then the
// command does nothing.
#pragma once

#include <cstdint>

#include "core/bookmark_record.h"

namespace zt {

enum class ListCommand {
    Follow, Delete, SwitchActive, EditName, EditComment, SetBreakpoint, SearchWeb, OpcodeHelp,
    // These need no bookmark.
    Find, FindNext, Undo,
};

inline bool NeedsBookmark(ListCommand command) { return command < ListCommand::Find; }

// The record of the row selected in the list window, or null.
const BookmarkRecord* SelectedBookmark();

// Runs a command on the bookmark at address; nothing when there is none
// (unless the command needs no bookmark).
void RunListCommand(ListCommand command, uint32_t address);

// Ask for a new name (kept to 63 characters) or for the comment at the
// address (kept to 255 characters, in the debugger). The caller repaints.
void EditBookmarkName(uint32_t address);
void EditBookmarkComment(uint32_t address);

}  // namespace zt
