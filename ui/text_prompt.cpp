#include "ui/text_prompt.h"

#include <windows.h>

#include "host/host.h"

namespace zt {

namespace {
constexpr int kCancelled = -1;
constexpr int kEntryType = 255;
}

bool AskText(const char* title, char (&entry)[kTextEntrySize], bool offered) {
    if (!offered) entry[0] = '\0';
    entry[kTextEntrySize - 1] = '\0';
    int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    if (HostGetTextAt(title, entry, 0, kEntryType, 0, x, y) == kCancelled) return false;
    entry[kTextEntrySize - 1] = '\0';
    return true;
}

}  // namespace zt
