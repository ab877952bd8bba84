// The library's entry points: the load-time entry, the debugger's plug-in
// callbacks and the calls offered to other plug-ins. Each hands over to the
// code that does the work.
#include <windows.h>

#include <cstdint>
#include <cstring>

#include "core/bookmark_list.h"
#include "core/navigation.h"
#include "core/plugin_state.h"
#include "core/project_file.h"
#include "core/version.h"
#include "plugin/cpu_pane_commands.h"
#include "plugin/lifecycle.h"
#include "plugin/main_menu.h"

namespace {
constexpr int kOriginPluginMenu = 0;
constexpr int kOriginCpuPane = 31;
}

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) zt::g_instance = instance;
    return TRUE;
}

int __cdecl ODBG_Plugindata(char* name) {
    std::strcpy(name, zt::kPluginName);
    return zt::kPluginInterfaceVersion;
}

int __cdecl ODBG_Plugininit(int hostVersion, HWND mainWindow, unsigned long*) {
    return zt::InitialisePlugin(hostVersion, mainWindow);
}

void __cdecl ODBG_Pluginreset(void) { zt::ResetPlugin(); }

int __cdecl ODBG_Pluginclose(void) { return zt::ClosePlugin(); }

void __cdecl ODBG_Plugindestroy(void) { zt::DestroyPlugin(); }

int __cdecl ODBG_Pluginmenu(int origin, char* text, void* item) {
    if (origin == kOriginPluginMenu) return zt::MainMenu(text);
    if (origin == kOriginCpuPane) return zt::CpuPaneMenu(text, item);
    return 0;
}

void __cdecl ODBG_Pluginaction(int origin, int action, void* item) {
    if (origin == kOriginPluginMenu) zt::MainMenuAction(action);
    if (origin == kOriginCpuPane) zt::CpuPaneAction(action, item);
}

int __cdecl ODBG_Pluginshortcut(int origin, int ctrl, int alt, int shift, int key, void* item) {
    if (origin == kOriginCpuPane) return zt::CpuPaneShortcut(ctrl, alt, shift, key, item);
    return 0;
}

void __cdecl ODBG_Pluginsaveudd(void*, int isMainModule) { zt::SaveToProject(isMainModule); }

int __cdecl ODBG_Pluginuddrecord(void*, int isMainModule, unsigned long tag, unsigned long size, void* data) {
    return zt::LoadProjectRecord(isMainModule, tag, size, data);
}

int __cdecl zt_Count(void) { return zt::g_bookmarks.count(); }

bool __cdecl zt_Exists(uint32_t address) { return zt::IsBookmarked(address); }

int __cdecl zt_Toggle(uint32_t address) { return zt::ToggleFromCaller(address); }

int __cdecl zt_NavigateBack(uint32_t address) { return zt::NavigateBack(address); }

int __cdecl zt_NavigateForward(uint32_t address) { return zt::NavigateForward(address); }

}  // extern "C"
