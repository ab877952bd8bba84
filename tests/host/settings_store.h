// The host's settings file, kept in memory: one section, the plug-in's.
// Integers are stored as decimal text, as in an .ini file. Every call must
// pass the loaded plug-in's module handle; any other handle is reported as
// a violation.
//
//   sim::SetPluginInstance(module)       the handle the calls must carry
//   sim::StoreSetting(key, int|text)     a value saved before the test acts
//   sim::StoredInt(key, fallback)        the stored integer, or fallback when never written
//   sim::StoredText(key)                 the stored text ("" when none)
//   sim::SettingsLog()                   every read and write, in order
//   sim::SettingWrites()                 only the writes, as "key=value" texts
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

enum class SettingOp { ReadInt, ReadText, WriteInt, WriteText };

struct SettingCall {
    SettingOp op;
    std::string key;
    std::string value;          // the value written, or the value the read returned
    std::string defaultValue;   // reads only
};

void SetPluginInstance(HINSTANCE module);
void StoreSetting(const std::string& key, int value);
void StoreSetting(const std::string& key, const std::string& text);
int StoredInt(const std::string& key, int fallback);
std::string StoredText(const std::string& key);
const std::vector<SettingCall>& SettingsLog();
std::vector<std::string> SettingWrites();

void ResetSettings();

}  // namespace sim
