#include "core/settings.h"

#include "core/plugin_state.h"
#include "host/host.h"

namespace zt {

const HotKeyKeys kToggleHotKey = {"hotkey_toggle__key", "hotkey_toggle__alt", "hotkey_toggle__shift",
                                  "hotkey_toggle__ctrl"};
const HotKeyKeys kPreviousHotKey = {"hotkey_previous__key", "hotkey_previous__alt", "hotkey_previous__shift",
                                    "hotkey_previous__ctrl"};
const HotKeyKeys kNextHotKey = {"hotkey_next__key", "hotkey_next__alt", "hotkey_next__shift",
                                "hotkey_next__ctrl"};

int ReadSetting(const char* key, int defaultValue) { return HostReadIniInt(g_instance, key, defaultValue); }

void ReadSettingText(const char* key, char (&text)[kSettingTextSize], const char* defaultText) {
    text[0] = '\0';
    HostReadIniString(g_instance, key, text, defaultText);
    text[kSettingTextSize - 1] = '\0';
}

void WriteSetting(const char* key, int value) { HostWriteIniInt(g_instance, key, value); }

void WriteSettingText(const char* key, const char* text) { HostWriteIniString(g_instance, key, text); }

bool IsLabelMappingOn() { return ReadSetting(key::kMapNameToLabel, 0) == 1; }

}  // namespace zt
