#include "main_window.h"

#include <cstdlib>

namespace sim {
namespace {

const char kFrameClass[] = "SimOllyFrame";

HWND g_frame = nullptr;
HWND g_client = nullptr;
std::vector<WPARAM> g_commands;

LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            CLIENTCREATESTRUCT ccs{};
            ccs.idFirstChild = 0xFF00;
            g_client = CreateWindowExA(0, "MDICLIENT", nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE, 0, 40, 1000,
                                       600, window, nullptr, GetModuleHandleA(nullptr), &ccs);
            return g_client ? 0 : -1;
        }
        case WM_COMMAND:
            g_commands.push_back(wParam);
            break;
        case kHostEchoMessage:
            return lParam + 1;
        case WM_DESTROY:
            g_client = nullptr;
            break;
        default:
            break;
    }
    return DefFrameProcA(window, g_client, message, wParam, lParam);
}

void RegisterFrameClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSA wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
    wc.lpszClassName = kFrameClass;
    if (!RegisterClassA(&wc)) std::abort();
    registered = true;
}

}  // namespace

HWND CreateMainWindow() {
    RegisterFrameClass();
    g_commands.clear();
    g_frame = CreateWindowExA(0, kFrameClass, "OllyDbg", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 1024, 720,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (g_frame) ShowWindow(g_frame, SW_SHOWNORMAL);
    return g_frame;
}

void DestroyMainWindow() {
    if (g_frame && IsWindow(g_frame)) DestroyWindow(g_frame);
    g_frame = nullptr;
    g_client = nullptr;
}

HWND MainWindow() { return g_frame; }
HWND MdiClient() { return g_client; }
const std::vector<WPARAM>& FrameCommands() { return g_commands; }

}  // namespace sim
