// The plug-in's 15 exports as the host calls them (plain C convention).
//
//   sim::PluginExports::Resolve(module)   fills every pointer by name; returns the
//                                         names that could not be found
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct PluginExports {
    void(__cdecl* Pluginaction)(int origin, int action, void* item) = nullptr;
    int(__cdecl* Pluginclose)() = nullptr;
    int(__cdecl* Plugindata)(char* name) = nullptr;
    void(__cdecl* Plugindestroy)() = nullptr;
    int(__cdecl* Plugininit)(int version, HWND main, unsigned long* features) = nullptr;
    int(__cdecl* Pluginmenu)(int origin, char* text, void* item) = nullptr;
    void(__cdecl* Pluginreset)() = nullptr;
    void(__cdecl* Pluginsaveudd)(void* module, int isMainModule) = nullptr;
    int(__cdecl* Pluginshortcut)(int origin, int ctrl, int alt, int shift, int key, void* item) = nullptr;
    int(__cdecl* Pluginuddrecord)(void* module, int isMainModule, unsigned long tag, unsigned long size,
                                  void* data) = nullptr;
    int(__cdecl* zt_Count)() = nullptr;
    unsigned char(__cdecl* zt_Exists)(uint32_t address) = nullptr;
    int(__cdecl* zt_NavigateBack)(uint32_t address) = nullptr;
    int(__cdecl* zt_NavigateForward)(uint32_t address) = nullptr;
    int(__cdecl* zt_Toggle)(uint32_t address) = nullptr;

    std::vector<std::string> Resolve(HMODULE module);
};

}  // namespace sim
