#include "core/settings.h"
#include "ui/navigation_panel.h"

namespace zt {

void SavePanelPosition() {
    RECT frame;
    if (!GetWindowRect(NavigationPanel(), &frame)) return;
    WriteSetting(key::kPanelTop, frame.top);
    WriteSetting(key::kPanelLeft, frame.left);
}

void RestorePanelPosition() {
    HWND panel = NavigationPanel();
    RECT frame;
    if (!GetWindowRect(panel, &frame)) return;
    int top = ReadSetting(key::kPanelTop, 0);
    int left = ReadSetting(key::kPanelLeft, 0);
    MoveWindow(panel, left, top, frame.right - frame.left, frame.bottom - frame.top, TRUE);
}

}  // namespace zt
