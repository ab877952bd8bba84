#include "plugin_exports.h"

namespace sim {
namespace {

template <typename Fn>
void Bind(HMODULE module, const char* name, Fn& target, std::vector<std::string>& missing) {
    target = reinterpret_cast<Fn>(GetProcAddress(module, name));
    if (target == nullptr) missing.push_back(name);
}

}  // namespace

std::vector<std::string> PluginExports::Resolve(HMODULE module) {
    std::vector<std::string> missing;
    Bind(module, "_ODBG_Pluginaction", Pluginaction, missing);
    Bind(module, "_ODBG_Pluginclose", Pluginclose, missing);
    Bind(module, "_ODBG_Plugindata", Plugindata, missing);
    Bind(module, "_ODBG_Plugindestroy", Plugindestroy, missing);
    Bind(module, "_ODBG_Plugininit", Plugininit, missing);
    Bind(module, "_ODBG_Pluginmenu", Pluginmenu, missing);
    Bind(module, "_ODBG_Pluginreset", Pluginreset, missing);
    Bind(module, "_ODBG_Pluginsaveudd", Pluginsaveudd, missing);
    Bind(module, "_ODBG_Pluginshortcut", Pluginshortcut, missing);
    Bind(module, "_ODBG_Pluginuddrecord", Pluginuddrecord, missing);
    Bind(module, "_zt_Count", zt_Count, missing);
    Bind(module, "_zt_Exists", zt_Exists, missing);
    Bind(module, "_zt_NavigateBack", zt_NavigateBack, missing);
    Bind(module, "_zt_NavigateForward", zt_NavigateForward, missing);
    Bind(module, "_zt_Toggle", zt_Toggle, missing);
    return missing;
}

}  // namespace sim
