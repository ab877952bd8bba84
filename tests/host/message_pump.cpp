#include "message_pump.h"

#include "main_window.h"
#include "violations.h"

#include <cstdlib>
#include <deque>

namespace sim {
namespace {

constexpr DWORD kDriverPeriodMs = 20;
constexpr DWORD kModalLimitMs = 5000;

struct DialogAction {
    std::string caption;
    std::function<void(HWND)> action;
};

// ZENTRILO_TIME_SCALE stretches the limits of waits for something to happen,
// for machines where the tests run many times slower (an emulated one).
DWORD TimeScale() {
    static const DWORD scale = [] {
        char text[16] = "";
        DWORD length = GetEnvironmentVariableA("ZENTRILO_TIME_SCALE", text, sizeof text);
        long value = length > 0 && length < sizeof text ? std::strtol(text, nullptr, 10) : 1;
        return value >= 1 && value <= 100 ? DWORD(value) : DWORD(1);
    }();
    return scale;
}

bool PumpWithin(const std::function<bool()>& done, DWORD limitMs) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpMessages();
        if (done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= limitMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, limitMs - elapsed, QS_ALLINPUT);
    }
}

std::deque<DialogAction> g_actions;
UINT_PTR g_driverTimer = 0;
DWORD g_modalSince = 0;   // tick count when a modal dialog was first seen open; 0: none

// A modal dialog disables its owner, the host's main window, and is the
// active window while it runs (the modeless navigation panel is neither).
bool IsDialog(HWND window) {
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    return lstrcmpA(className, "#32770") == 0;
}

BOOL CALLBACK CollectDialog(HWND window, LPARAM param) {
    if (IsDialog(window) && IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    }
    return TRUE;
}

std::string Caption(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

void WatchModalDialogs() {
    HWND main = MainWindow();
    HWND active = GetActiveWindow();
    bool modal = main && IsWindow(main) && !IsWindowEnabled(main) && active && IsDialog(active);
    if (!modal) {
        g_modalSince = 0;
        return;
    }
    DWORD now = GetTickCount();
    if (g_modalSince == 0) g_modalSince = now ? now : 1;
    if (now - g_modalSince < kModalLimitMs * TimeScale()) return;
    ReportViolation("modal dialog \"" + Caption(active) + "\" was left open; cancelled by the host");
    EndDialog(active, IDCANCEL);
    g_modalSince = 0;
}

void CALLBACK DriverTick(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_actions.empty()) {
        if (HWND dialog = FindDialog(g_actions.front().caption)) {
            DialogAction next = std::move(g_actions.front());
            g_actions.pop_front();
            next.action(dialog);
        }
    }
    WatchModalDialogs();
}

}  // namespace

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) { return PumpWithin(done, limitMs * TimeScale()); }

void PumpFor(DWORD ms) { PumpWithin([] { return false; }, ms); }

std::vector<HWND> TopLevelDialogs() {
    std::vector<HWND> dialogs;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs;
}

HWND FindDialog(const std::string& caption) {
    for (HWND dialog : TopLevelDialogs()) {
        if (Caption(dialog) == caption) return dialog;
    }
    return nullptr;
}

void WhenDialogAppears(const std::string& caption, std::function<void(HWND)> action) {
    g_actions.push_back({caption, std::move(action)});
}

int PendingDialogActions() { return int(g_actions.size()); }

void StartDialogDriver() {
    g_actions.clear();
    g_modalSince = 0;
    if (g_driverTimer == 0) g_driverTimer = SetTimer(nullptr, 0, kDriverPeriodMs, DriverTick);
}

void StopDialogDriver() {
    if (g_driverTimer != 0) KillTimer(nullptr, g_driverTimer);
    g_driverTimer = 0;
    g_actions.clear();
}

}  // namespace sim
