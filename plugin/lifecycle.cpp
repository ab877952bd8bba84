#include "plugin/lifecycle.h"

#include "core/bookmark_views.h"
#include "core/plugin_state.h"
#include "core/settings.h"
#include "core/store.h"
#include "core/undo_journal.h"
#include "core/version.h"
#include "host/host.h"
#include "ui/cpu_pane.h"
#include "ui/list_window.h"
#include "ui/navigation_panel.h"
#include "ui/toolbar_button.h"

namespace zt {

namespace {

constexpr int kFirstItems = 16;

void RefuseWith(const char* format) { HostLog(0, kHostLogFailure, format, kPluginName); }

// The store and navigation show their changes in the list window and on the panel.
void ConnectWindows() {
    ConnectBookmarkViews({RepaintListWindow, SetPanelCaption, EnableSwitchButton, AskForPanelCaption});
}

// A window still calls our subclass procedure: unmapping the library would
// leave it calling into nothing, so the library stays until the process ends.
void StayLoaded() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&StayLoaded), &self);
    HostLog(0, kHostLogPlain, "%s: Another subclass sits above ours, the plug-in stays loaded", kPluginName);
}

}  // namespace

int InitialisePlugin(int hostVersion, HWND mainWindow) {
    if (hostVersion < kPluginInterfaceVersion) return -1;
    ConnectWindows();

    if (HostCreateSorted(BookmarkSorted(), "ZentriloList", sizeof(BookmarkRecord), kFirstItems, nullptr,
                         nullptr) != 0) {
        RefuseWith("%s: Unable to allocate memory!");
        return -1;
    }
    if (HostRegisterClass(g_listWindowClass, nullptr, g_instance, ListWindowProc) < 0) {
        HostDestroySorted(BookmarkSorted());
        RefuseWith("%s: Unable to register class!");
        return -1;
    }
    g_mainWindow = mainWindow;
    if (!CreateNavigationPanel()) {
        HostUnregisterClass(g_listWindowClass);
        HostDestroySorted(BookmarkSorted());
        RefuseWith("%s: Unable to create main window!");
        return -1;
    }
    RestorePanelPosition();
    if (ReadSetting(key::kAutoShow, 1)) ShowWindow(NavigationPanel(), SW_SHOWNORMAL);
    if (ReadSetting(key::kRestoreBookmarksWindow, 0)) OpenListWindow();
    InstallToolbarButton();
    StartCpuPaneWatcher();
    HostLog(0, kHostLogPlain, "%s Plug-in version %s\n\t" ZT_MAKERS_NOTICE, kPluginName, kPluginVersion);
    return 0;
}

void ResetPlugin() {
    ClearAllBookmarks();
    ForgetUndo();
}

int ClosePlugin() {
    SavePanelPosition();
    return 0;
}

void DestroyPlugin() {
    const bool paneReleased = StopCpuPaneWatcher();
    const bool mainWindowReleased = RemoveMainWindowSubclass();
    // The windows go before their class and the table they show.
    CloseListWindow();
    DestroyNavigationPanel();
    HostUnregisterClass(g_listWindowClass);
    HostDestroySorted(BookmarkSorted());
    ForgetUndo();
    if (!paneReleased || !mainWindowReleased) StayLoaded();
}

}  // namespace zt
