// The plug-in's name, version and the texts that carry them, with the maker's
// web pages that the plug-in menu links to.
#pragma once

#include "core/version_numbers.h"

namespace zt {

constexpr const char kPluginName[] = "Zentrilo";
constexpr const char kPluginVersion[] = ZT_VERSION_TEXT;
constexpr int kPluginInterfaceVersion = 110;
// Macros so that they can be joined into format strings at compile time.
#define ZT_MAKERS_NOTICE "Bookmarks for OllyDbg 1.10, by the Zentrilo developers"
#define ZT_ACKNOWLEDGEMENT "With thanks to the Orvandel and Pellumar forums for their ideas and testing"

// The two forums of the menu's "Links" submenu, named as in their captions.
constexpr const char kOrvandelForumAddress[] = "https://forum.orvandel.org/";
constexpr const char kPellumarForumAddress[] = "https://forum.pellumar.org/";

}  // namespace zt
