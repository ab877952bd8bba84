#include "plugin/cpu_pane_commands.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/bookmark_list.h"
#include "core/navigation.h"
#include "core/settings.h"
#include "core/store.h"
#include "host/host.h"
#include "ui/list_window.h"
#include "ui/text_prompt.h"

namespace zt {

namespace {

constexpr int kToggleAction = 0;

uint32_t SelectedAddress(const void* item) {
    return item ? static_cast<const HostCpuPane*>(item)->selected : 0;
}

void AskForName(uint32_t address) {
    char prompt[48];
    char entry[kTextEntrySize];
    std::snprintf(prompt, sizeof prompt, "Enter bookmark name at address %08X", address);
    if (!AskText(prompt, entry)) return;
    const BookmarkRecord* record = NameBookmark(address, entry);
    if (!record) return;
    if (IsLabelMappingOn()) HostInsertName(address, kHostNameLabel, record->name);
    RepaintListWindow();
}

// The modifiers of a hot key, compared alt, shift, ctrl as the settings
// dialog stores them.
bool ModifiersMatch(const HotKeyKeys& keys, int ctrl, int alt, int shift) {
    if (ReadSetting(keys.alt, 0) != alt) return false;
    if (ReadSetting(keys.shift, 0) != shift) return false;
    return ReadSetting(keys.ctrl, 0) == ctrl;
}

int ToggleByKey(uint32_t address) {
    if (address == 0)
        MessageBeep(0);
    else
        SetBookmark(address, true, true, true);
    return 1;  // the key is claimed either way
}

int NavigateByKey(uint32_t address, uint32_t (*find)(uint32_t), const char* nothingThere) {
    if (address == 0) return 0;
    if (uint32_t target = find(address)) {
        GoToBookmark(target);
        return 1;
    }
    HostFlash(nothingThere);
    MessageBeep(0);
    return 1;
}

}  // namespace

int CpuPaneMenu(char* text, void* item) {
    if (!ReadSetting(key::kShowToggleBookmark, 1) || !item) return 0;
    const HostCpuPane* pane = static_cast<const HostCpuPane*>(item);
    if (pane->blockSize == 0) return 0;
    std::sprintf(text, "0 Toggle Bookmark \t%c[%08X]", IsBookmarked(pane->selected) ? '-' : '+', pane->selected);
    return 1;
}

void CpuPaneAction(int action, void* item) {
    if (action != kToggleAction) return;
    uint32_t address = SelectedAddress(item);
    if (address == 0) {
        MessageBeep(0);
        return;
    }
    if (SetBookmark(address, true, true, true) != kBookmarkAdded) return;
    if (ReadSetting(key::kShowBookmarkNameDialog, 0)) AskForName(address);
}

int CpuPaneShortcut(int ctrl, int alt, int shift, int key, void* item) {
    // The toggle key's code decides first, then the previous key's, then the next key's.
    if (ReadSetting(kToggleHotKey.key, 0) == key) {
        if (!ModifiersMatch(kToggleHotKey, ctrl, alt, shift)) return 0;
        return ToggleByKey(SelectedAddress(item));
    }
    if (ReadSetting(kPreviousHotKey.key, 0) == key) {
        if (!ModifiersMatch(kPreviousHotKey, ctrl, alt, shift)) return 0;
        return NavigateByKey(SelectedAddress(item), FindPreviousActive, "No bookmarks!, try to search forward, >.");
    }
    if (ReadSetting(kNextHotKey.key, 0) != key) return 0;
    if (!ModifiersMatch(kNextHotKey, ctrl, alt, shift)) return 0;
    return NavigateByKey(SelectedAddress(item), FindNextActive, "No bookmarks!, try to search backward, <.");
}

}  // namespace zt
