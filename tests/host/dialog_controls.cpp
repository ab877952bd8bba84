#include "dialog_controls.h"

#include <commctrl.h>

namespace sim {

void ClickControl(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetHotKey(HWND dialog, int id, WORD value) { SendDlgItemMessageA(dialog, id, HKM_SETHOTKEY, value, 0); }

WORD HotKeyOf(HWND dialog, int id) { return LOWORD(SendDlgItemMessageA(dialog, id, HKM_GETHOTKEY, 0, 0)); }

std::string ControlText(HWND dialog, int id) {
    char text[512] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void ClickArrow(HWND dialog, int id, bool upper) {
    HWND control = GetDlgItem(dialog, id);
    RECT client{};
    GetClientRect(control, &client);
    LPARAM point = MAKELPARAM(client.right / 2, upper ? client.bottom / 4 : client.bottom * 3 / 4);
    SendMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, point);
    SendMessageA(control, WM_LBUTTONUP, 0, point);
}

void PressCloseBox(HWND dialog) { SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }

void PressKey(HWND dialog, UINT key) {
    HWND focus = GetFocus();
    HWND target = focus && IsChild(dialog, focus) ? focus : dialog;
    PostMessageA(target, WM_KEYDOWN, key, 1);
    PostMessageA(target, WM_KEYUP, key, 0xC0000001);
}

POINT ClientTopLeft(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    POINT corner{rect.left, rect.top};
    ScreenToClient(GetParent(window), &corner);
    return corner;
}

}  // namespace sim
