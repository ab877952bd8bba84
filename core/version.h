// The plug-in's name, version and the texts that carry them.
#pragma once

namespace zt {

constexpr const char kPluginName[] = "Zentrilo";
constexpr const char kPluginVersion[] = "1.9";
constexpr int kPluginInterfaceVersion = 110;
// A macro so that it can be joined into format strings at compile time.
#define ZT_MAKERS_NOTICE "Bookmarks for OllyDbg 1.10, by the Zentrilo developers"

}  // namespace zt
