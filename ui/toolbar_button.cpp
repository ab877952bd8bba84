#include "ui/toolbar_button.h"

#include "core/plugin_state.h"
#include "core/settings.h"
#include "res/resource.h"
#include "ui/list_window.h"

namespace zt {

namespace {

constexpr int kButtonSize = 18;
constexpr int kPictureSize = 16;
constexpr int kButtonY = 2;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_BITMAP;

HWND g_button = nullptr;
WNDPROC g_mainWindowPreviousProc = nullptr;

// 686 + offset, summed without overflow: a stored offset near INT_MAX wraps
// around instead of being undefined.
int ButtonX(int offset) {
    return static_cast<int>(static_cast<unsigned>(kToolbarButtonBaseX) + static_cast<unsigned>(offset));
}

LRESULT CALLBACK MainWindowSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(g_mainWindowPreviousProc, window, message, wParam, lParam);
    if (message == WM_COMMAND && g_button && reinterpret_cast<HWND>(lParam) == g_button) OpenListWindow();
    return result;
}

}  // namespace

void InstallToolbarButton() {
    if (!ReadSetting(key::kAddToolbarButton, 0)) return;
    g_mainWindowPreviousProc = reinterpret_cast<WNDPROC>(SetWindowLongA(
        g_mainWindow, GWL_WNDPROC, static_cast<LONG>(reinterpret_cast<LONG_PTR>(MainWindowSubclassProc))));
    if (!g_mainWindowPreviousProc) return;

    int x = ButtonX(ReadSetting(key::kToolbarButtonShift, 0));
    g_button = CreateWindowExA(0, "Button", nullptr, kButtonStyle, x, kButtonY, kButtonSize, kButtonSize,
                               g_mainWindow, nullptr, g_instance, nullptr);
    if (!g_button) return;
    HANDLE picture = LoadImageA(g_instance, MAKEINTRESOURCEA(IDB_TOOLBAR_BUTTON), IMAGE_BITMAP, kPictureSize,
                                kPictureSize, 0);
    if (picture) SendMessageA(g_button, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
}

HWND ToolbarButton() { return g_button; }

void MoveToolbarButton(int offset) {
    if (g_button) MoveWindow(g_button, ButtonX(offset), kButtonY, kButtonSize, kButtonSize, TRUE);
}

bool RemoveMainWindowSubclass() {
    g_button = nullptr;
    const LONG ours = static_cast<LONG>(reinterpret_cast<LONG_PTR>(MainWindowSubclassProc));
    if (!g_mainWindowPreviousProc || !IsWindow(g_mainWindow)) return true;
    // Ours is below another one: it keeps the procedure it passes messages to.
    if (GetWindowLongA(g_mainWindow, GWL_WNDPROC) != ours) return false;
    SetWindowLongA(g_mainWindow, GWL_WNDPROC, static_cast<LONG>(reinterpret_cast<LONG_PTR>(g_mainWindowPreviousProc)));
    g_mainWindowPreviousProc = nullptr;
    return true;
}

}  // namespace zt
