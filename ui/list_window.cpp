#include "ui/list_window.h"

#include "core/navigation.h"
#include "core/plugin_state.h"
#include "core/store.h"
#include "host/host.h"
#include "ui/list_cells.h"
#include "ui/list_keys.h"
#include "ui/list_popup_menu.h"

namespace zt {

namespace {

constexpr UINT kTablePopupMenu = 1125;
constexpr UINT kTableFollowSelection = 1135;
constexpr UINT kTableRepaint1 = 1140;
constexpr UINT kTableRepaint2 = 1141;

struct Column {
    const char* caption;
    int width;
};
constexpr Column kColumns[] = {
    {"Name", 16},        {"Address", 10},     {"Module", 10},
    {"Active", 9},       {"Disassembly", 32}, {"Original Disassembly", 32},
    {"Comment", 128},
};
constexpr int kColumnCount = sizeof kColumns / sizeof kColumns[0];
constexpr uint8_t kColumnMode = 4;
constexpr int32_t kTableMode = 0x8212;

void FillColumnBar() {
    g_table.columnCount = kColumnCount;
    for (int i = 0; i < kColumnCount; ++i) {
        g_table.columnWidth[i] = kColumns[i].width;
        g_table.columnCaption[i] = kColumns[i].caption;
        g_table.columnMode[i] = kColumnMode;
    }
    g_table.tableMode = kTableMode;
    g_table.cellText = ListCellText;
}

LRESULT TableThenDefault(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    HostTableFunction(&g_table, window, message, wParam, lParam);
    return DefMDIChildProcA(window, message, wParam, lParam);
}

LRESULT FollowSelection() {
    const auto* record =
        static_cast<const BookmarkRecord*>(HostSortedBySelection(BookmarkSorted(), g_table.sorted.selectedRow));
    if (record) GoToBookmark(record->address);
    return 1;
}

}  // namespace

bool ListWindowExists() { return g_table.window != nullptr; }

void RepaintListWindow() {
    if (g_table.window) InvalidateRect(g_table.window, nullptr, FALSE);
}

void OpenListWindow() {
    if (g_table.columnCount == 0) FillColumnBar();
    HostQuickTableWindow(&g_table, 3, 5, g_listWindowClass, "Tessivor");
}

void CloseListWindow() {
    // An MDI child goes through its MDI client; the host's table function
    // forgets the window on WM_DESTROY.
    if (g_table.window) SendMessageA(GetParent(g_table.window), WM_MDIDESTROY, WPARAM(g_table.window), 0);
}

LRESULT CALLBACK ListWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        HostPaintTable(window, &g_table, ListCellText);
        return 0;
    case WM_WINDOWPOSCHANGED:
        return HostTableFunction(&g_table, window, message, wParam, lParam);
    case WM_DESTROY:
    case WM_SYSKEYDOWN:
    case WM_TIMER:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        return TableThenDefault(window, message, wParam, lParam);
    case WM_KEYDOWN:
        HandleListKey(window, wParam, lParam);
        return DefMDIChildProcA(window, message, wParam, lParam);
    case kTablePopupMenu:
        ShowListPopupMenu(window);
        return 0;
    case 1126:
    case 1128:
    case 1129:
    case 1130:
    case 1131:
    case 1132:
    case 1133:
        return HostTableFunction(&g_table, window, message, wParam, lParam);
    case kTableFollowSelection:
        return FollowSelection();
    case kTableRepaint1:
    case kTableRepaint2:
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    }
    return DefMDIChildProcA(window, message, wParam, lParam);
}

}  // namespace zt
