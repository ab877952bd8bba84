#include <windows.h>

#include "core/bookmark_list.h"
#include "core/store.h"
#include "host/host.h"
#include "ui/cpu_pane.h"
#include "ui/navigation_panel.h"

namespace zt {

namespace {

// Where OllyDbg 1.10 keeps the CPU disassembler pane's window handle.
const uintptr_t kCpuPaneWindowSlot = 0x4CD6A8;
constexpr UINT kAttachPeriod = 3000;
constexpr UINT kPaneSelectionChanged = 1128;
constexpr UINT kPaneSelectionMoved = 1131;

UINT_PTR g_attachTimer = 0;
HWND g_pane = nullptr;
WNDPROC g_panePreviousProc = nullptr;

HWND ReadCpuPaneWindow() {
    DWORD processId = 0;
    GetWindowThreadProcessId(reinterpret_cast<HWND>(HostGetValue(kHostValueMainWindow)), &processId);
    if (processId == 0) return nullptr;
    HANDLE process = OpenProcess(PROCESS_VM_READ, FALSE, processId);
    if (!process) return nullptr;
    uint32_t value = 0;
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(kCpuPaneWindowSlot), &value, sizeof value, &read) ||
        read != sizeof value)
        value = 0;
    CloseHandle(process);
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

void RefreshFromSelection() {
    uint32_t address = SelectedPaneAddress();
    if (address == 0) return;
    PublishStatus(ActivePosition(address));
    EnableSwitchButton(IsBookmarked(address));
}

LRESULT CALLBACK CpuPaneSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(g_panePreviousProc, window, message, wParam, lParam);
    // Runs for every message of the pane: only three of them matter, and only
    // while the panel is there to show anything.
    bool selectionMayHaveMoved =
        message == WM_KEYDOWN || message == kPaneSelectionChanged || message == kPaneSelectionMoved;
    if (selectionMayHaveMoved && IsNavigationPanelVisible()) RefreshFromSelection();
    return result;
}

void CALLBACK AttachToCpuPane(HWND window, UINT, UINT_PTR timer, DWORD) {
    HWND pane = ReadCpuPaneWindow();
    if (!pane) return;
    g_pane = pane;
    g_panePreviousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongA(pane, GWL_WNDPROC, static_cast<LONG>(reinterpret_cast<LONG_PTR>(CpuPaneSubclassProc))));
    if (!KillTimer(nullptr, timer)) KillTimer(window, timer);
    g_attachTimer = 0;
}

}  // namespace

uint32_t SelectedPaneAddress() {
    const HostCpuPane* pane = reinterpret_cast<const HostCpuPane*>(HostGetValue(kHostValueCpuPane));
    return pane ? pane->selected : 0;
}

void StartCpuPaneWatcher() { g_attachTimer = SetTimer(nullptr, 0, kAttachPeriod, AttachToCpuPane); }

bool StopCpuPaneWatcher() {
    if (g_attachTimer) {
        KillTimer(nullptr, g_attachTimer);
        g_attachTimer = 0;
    }
    if (g_pane && g_panePreviousProc && IsWindow(g_pane)) {
        const LONG ours = static_cast<LONG>(reinterpret_cast<LONG_PTR>(CpuPaneSubclassProc));
        // Ours is below another one: it keeps the procedure it passes messages to.
        if (GetWindowLongA(g_pane, GWL_WNDPROC) != ours) return false;
        SetWindowLongA(g_pane, GWL_WNDPROC, static_cast<LONG>(reinterpret_cast<LONG_PTR>(g_panePreviousProc)));
    }
    g_pane = nullptr;
    g_panePreviousProc = nullptr;
    return true;
}

}  // namespace zt
