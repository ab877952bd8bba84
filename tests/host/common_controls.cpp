#include "common_controls.h"

#include "import_patch.h"
#include "violations.h"

#include <commctrl.h>

namespace sim {
namespace {

struct ForgettableClass {
    const wchar_t* name;
    DWORD flag;             // the ICC_ flag that registers it
    WNDCLASSEXW saved;
    bool forgotten;
};

ForgettableClass g_classes[] = {
    {L"msctls_hotkey32", ICC_HOTKEY_CLASS, {}, false},
    {L"msctls_updown32", ICC_UPDOWN_CLASS, {}, false},
};
ForgetMode g_mode = kUntilInitialised;

HINSTANCE CommonControlsModule() { return GetModuleHandleA("comctl32.dll"); }

void RegisterAgain(ForgettableClass& known) {
    if (!known.forgotten) return;
    if (!RegisterClassExW(&known.saved)) ReportViolation("a forgotten common control class could not come back");
    known.forgotten = false;
}

BOOL WINAPI StubInitCommonControlsEx(const INITCOMMONCONTROLSEX* controls) {
    if (controls == nullptr || controls->dwSize != sizeof *controls) return FALSE;
    if (g_mode == kUntilInitialised) {
        for (ForgettableClass& known : g_classes) {
            if (controls->dwICC & known.flag) RegisterAgain(known);
        }
    }
    return InitCommonControlsEx(controls);
}

}  // namespace

bool InstallCommonControlsStub(HMODULE plugin) {
    return PatchImport(plugin, "comctl32.dll", "InitCommonControlsEx",
                       reinterpret_cast<const void*>(&StubInitCommonControlsEx)) > 0;
}

void ForgetCommonControlClasses(ForgetMode mode) {
    g_mode = mode;
    for (ForgettableClass& known : g_classes) {
        if (known.forgotten) continue;
        known.saved = WNDCLASSEXW{};
        known.saved.cbSize = sizeof known.saved;
        if (!GetClassInfoExW(CommonControlsModule(), known.name, &known.saved)) {
            ReportViolation("a common control class to forget is not registered");
            continue;
        }
        known.saved.lpszClassName = known.name;
        known.forgotten = UnregisterClassW(known.name, known.saved.hInstance) != FALSE;
        if (!known.forgotten) ReportViolation("a common control class could not be forgotten");
    }
}

bool IsCommonControlRegistered(const std::string& name) {
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    return GetClassInfoExA(CommonControlsModule(), name.c_str(), &info) != FALSE;
}

void ResetCommonControls() {
    for (ForgettableClass& known : g_classes) RegisterAgain(known);
    g_mode = kUntilInitialised;
}

}  // namespace sim
