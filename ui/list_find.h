// Finding a bookmark in the list window: the next row after the selected one,
// wrapping at the end, whose name, address (as the list shows it), module,
// original instruction or comment holds a text, letter case aside. Finding
// moves only the list's selection.
#pragma once

namespace zt {

// Asks for the text, offering the last one searched, and finds it.
void FindInList();
// Finds the last text again; asks for one when there was none.
void FindNextInList();

}  // namespace zt
