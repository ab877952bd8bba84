#include "cpu_pane.h"

#include <cstdlib>
#include <cstring>

extern "C" volatile uint32_t sim_paneHandleSlot;

namespace sim {
namespace {

const char kPaneClass[] = "SimCpuDisasm";

// The descriptor is larger than the part the plug-in reads; keep the rest zero.
alignas(8) uint8_t g_paneBytes[2048];
HWND g_paneWindow = nullptr;
std::vector<PaneMessage> g_paneMessages;

LRESULT CALLBACK PaneProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPaneSelectionChanged || message == kPaneScrolled || message == WM_KEYDOWN) {
        g_paneMessages.push_back({message, wParam, lParam});
        return 0;
    }
    if (message == WM_NCDESTROY && window == g_paneWindow) {
        g_paneWindow = nullptr;
        sim_paneHandleSlot = 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterPaneClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = PaneProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kPaneClass;
    if (!RegisterClassA(&wc)) std::abort();
    registered = true;
}

}  // namespace

HostCpuPane* Pane() { return reinterpret_cast<HostCpuPane*>(g_paneBytes); }

void ShowBlock(uint32_t base, uint32_t size) {
    Pane()->blockBase = base;
    Pane()->blockSize = size;
}

HWND CreatePaneWindow(HWND parent) {
    RegisterPaneClass();
    g_paneWindow = CreateWindowExA(0, kPaneClass, "Disassembler", WS_CHILD | WS_VISIBLE, 0, 40, 600, 400, parent,
                                   nullptr, GetModuleHandleA(nullptr), nullptr);
    PublishPaneHandle();
    return g_paneWindow;
}

HWND PaneWindow() { return g_paneWindow; }
void WithdrawPaneHandle() { sim_paneHandleSlot = 0; }
void PublishPaneHandle() { sim_paneHandleSlot = uint32_t(reinterpret_cast<uintptr_t>(g_paneWindow)); }
volatile uint32_t* PaneHandleSlot() { return &sim_paneHandleSlot; }

void SelectInPane(uint32_t address) {
    Pane()->selected = address;
    if (g_paneWindow) SendMessageA(g_paneWindow, kPaneSelectionChanged, 0, 0);
}

const std::vector<PaneMessage>& PaneMessages() { return g_paneMessages; }

void ResetCpuPane() {
    std::memset(g_paneBytes, 0, sizeof g_paneBytes);
    g_paneMessages.clear();
    if (g_paneWindow && IsWindow(g_paneWindow)) DestroyWindow(g_paneWindow);
    g_paneWindow = nullptr;
    sim_paneHandleSlot = 0;
}

}  // namespace sim
