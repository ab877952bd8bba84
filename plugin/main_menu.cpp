#include "plugin/main_menu.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

#include "core/plugin_state.h"
#include "core/undo_journal.h"
#include "core/version.h"
#include "exchange/exchange_file/exchange_file.h"
#include "ui/list_window.h"
#include "ui/navigation_panel.h"
#include "ui/settings_dialog.h"

namespace zt {

namespace {

enum MainMenuCommand {
    kShowHide = 0,
    kClearBookmarks = 1,
    kImport = 2,
    kExport = 3,
    kList = 4,
    kSettings = 5,
    kOrvandelLink = 6,
    kPellumarLink = 7,
    kAbout = 8,
};

// In the host's menu syntax: "number caption" entries, "," within a group,
// "|" between groups, "caption{...}" for a submenu.
constexpr char kMenuFormat[] =
    "0 Show/Hide | 1 Clear Bookmarks | 2 Import..., 3 Export... | 4 List... | 5 Settings... | "
    "Links{6 Orvandel, 7 Pellumar} | 8 %s v%s";
constexpr size_t kMenuTextSize = 256;  // the whole menu, far within the host's buffer

constexpr char kAboutFormat[] =
    "%s Plug-in v%s\n" ZT_MAKERS_NOTICE "\n"
    "\nCompiled %s %s\n"
    "---------------------------------\n" ZT_ACKNOWLEDGEMENT;
constexpr size_t kAboutTextSize = 1024;

void ShowOrHidePanel() {
    HWND panel = NavigationPanel();
    if (!panel) return;
    ShowWindow(panel, IsWindowVisible(panel) ? SW_HIDE : SW_SHOWNORMAL);
}

void OpenWebPage(const char* address) {
    ShellExecuteA(g_mainWindow, "open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowAbout() {
    char text[kAboutTextSize];
    std::snprintf(text, sizeof text, kAboutFormat, kPluginName, kPluginVersion, __DATE__, __TIME__);
    MessageBoxA(g_mainWindow, text, kPluginName, MB_ICONINFORMATION);
}

}  // namespace

int MainMenu(char* text) {
    std::snprintf(text, kMenuTextSize, kMenuFormat, kPluginName, kPluginVersion);
    return 1;
}

void MainMenuAction(int action) {
    switch (action) {
    case kShowHide: ShowOrHidePanel(); break;
    case kClearBookmarks: ClearBookmarksUndoably(); break;
    case kImport: ImportBookmarks(); break;
    case kExport: ExportBookmarks(); break;
    case kList: OpenListWindow(); break;
    case kSettings: ShowSettingsDialog(); break;
    case kOrvandelLink: OpenWebPage(kOrvandelForumAddress); break;
    case kPellumarLink: OpenWebPage(kPellumarForumAddress); break;
    case kAbout: ShowAbout(); break;
    }
}

}  // namespace zt
