#include "ui/navigation_panel.h"

#include <cstdint>

#include "core/navigation.h"
#include "core/plugin_state.h"
#include "core/store.h"
#include "host/host.h"
#include "res/resource.h"
#include "ui/cpu_pane.h"
#include "ui/list_window.h"

namespace zt {

namespace {

constexpr UINT kCaptionDue = WM_APP + 1;

HWND g_panel = nullptr;
HWND g_switchButton = nullptr;
bool g_captionAsked = false;  // kCaptionDue is posted and not yet handled

void GoBack(uint32_t address) {
    switch (NavigateBack(address)) {
    case kNavigationWrapped:
        HostFlash("No bookmarks in that direction, moving to last bookmark.");
        break;
    case kNavigationNone:
        HostFlash("No bookmarks!");
        MessageBeep(0);
        break;
    }
}

void GoForward(uint32_t address) {
    switch (NavigateForward(address)) {
    case kNavigationWrapped:
        HostFlash("No bookmarks in that direction, moving to first bookmark.");
        break;
    case kNavigationNone:
        HostFlash("No bookmarks!");
        MessageBeep(0);
        break;
    }
}

void Toggle(uint32_t address) {
    if (ToggleFromCaller(address) == 0) MessageBeep(0);
}

void SwitchActive(uint32_t address) {
    BookmarkRecord* record = FindRecord(address);
    if (!record) return;
    SetBookmarkActive(*record, record->active ? 0 : 1);
    RepaintListWindow();
    PublishStatus(ActivePosition(record->address));
}

void OnCommand(int id) {
    uint32_t address = SelectedPaneAddress();
    if (address == 0) return;
    switch (id) {
    case IDC_PANEL_PREVIOUS: GoBack(address); break;
    case IDC_PANEL_NEXT: GoForward(address); break;
    case IDC_PANEL_TOGGLE: Toggle(address); break;
    case IDC_PANEL_SWITCH: SwitchActive(address); break;
    }
}

void OnInitDialog(HWND panel) {
    g_panel = panel;
    SetWindowTextA(panel, "Zentrilo");
    g_switchButton = GetDlgItem(panel, IDC_PANEL_SWITCH);
}

// The panel goes with its owner, or when the plug-in ends.
void OnDestroy() {
    g_panel = nullptr;
    g_switchButton = nullptr;
}

void OnClose(HWND panel) {
    SavePanelPosition();
    EndDialog(panel, 0);  // hides the modeless panel; Show/Hide brings it back
}

INT_PTR CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: OnInitDialog(panel); return TRUE;
    case WM_COMMAND: OnCommand(LOWORD(wParam)); return TRUE;
    case WM_CLOSE: OnClose(panel); return TRUE;
    case WM_DESTROY: OnDestroy(); return FALSE;
    case WM_NCACTIVATE: return wParam ? TRUE : FALSE;  // keeps the frame painted inactive
    case kCaptionDue:
        g_captionAsked = false;
        PublishPendingStatus();
        return TRUE;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        PublishPendingStatus();  // whoever reads the caption reads it up to date
        return FALSE;
    }
    return FALSE;
}

}  // namespace

HWND CreateNavigationPanel() {
    return CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_NAVIGATION_PANEL), g_mainWindow, PanelProc, 0);
}

HWND NavigationPanel() { return g_panel; }

void DestroyNavigationPanel() {
    if (g_panel) DestroyWindow(g_panel);
    OnDestroy();
}

bool IsNavigationPanelVisible() { return g_panel && IsWindowVisible(g_panel); }

void SetPanelCaption(const char* caption) {
    if (g_panel) SetWindowTextA(g_panel, caption);
}

void AskForPanelCaption() {
    if (g_panel && !g_captionAsked) g_captionAsked = PostMessageA(g_panel, kCaptionDue, 0, 0) != FALSE;
}

void EnableSwitchButton(bool enable) {
    if (g_switchButton) EnableWindow(g_switchButton, enable ? TRUE : FALSE);
}

}  // namespace zt
