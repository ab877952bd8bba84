// The debugger's text entry, as every prompt of the plug-in uses it: at the
// centre of the screen and starting empty.
#pragma once

#include <cstddef>

namespace zt {

constexpr size_t kTextEntrySize = 256;  // 255 characters and the terminator

// Asks with this title, offering the text in entry when offered is set. False
// when the user cancelled; otherwise entry holds the answer, terminated
// within the buffer whatever the host left there.
bool AskText(const char* title, char (&entry)[kTextEntrySize], bool offered = false);

}  // namespace zt
