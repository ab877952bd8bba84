#include "settings_store.h"

#include "host/host.h"
#include "violations.h"

#include <cstdlib>
#include <cstring>
#include <map>

namespace sim {
namespace {

constexpr size_t kTextBuffer = 260;

HINSTANCE g_instance = nullptr;
std::map<std::string, std::string> g_values;
std::vector<SettingCall> g_log;

void CheckInstance(HINSTANCE instance, const char* caller, const char* key) {
    if (instance != g_instance) {
        ReportViolation(std::string(caller) + "(\"" + (key ? key : "(null)") +
                        "\") with an instance handle other than the plug-in's");
    }
}

bool HasSetting(const std::string& key) { return g_values.count(key) != 0; }

}  // namespace

void SetPluginInstance(HINSTANCE module) { g_instance = module; }
void StoreSetting(const std::string& key, int value) { g_values[key] = std::to_string(value); }
void StoreSetting(const std::string& key, const std::string& text) { g_values[key] = text; }

int StoredInt(const std::string& key, int fallback) {
    auto it = g_values.find(key);
    return it == g_values.end() ? fallback : std::atoi(it->second.c_str());
}

std::string StoredText(const std::string& key) {
    auto it = g_values.find(key);
    return it == g_values.end() ? std::string() : it->second;
}

const std::vector<SettingCall>& SettingsLog() { return g_log; }

std::vector<std::string> SettingWrites() {
    std::vector<std::string> writes;
    for (const SettingCall& call : g_log) {
        if (call.op == SettingOp::WriteInt || call.op == SettingOp::WriteText) {
            writes.push_back(call.key + "=" + call.value);
        }
    }
    return writes;
}

void ResetSettings() {
    g_instance = nullptr;
    g_values.clear();
    g_log.clear();
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostReadIniInt(HINSTANCE instance, const char* key, int defaultValue) {
    CheckInstance(instance, "HostReadIniInt", key);
    std::string name = key ? key : "";
    int value = StoredInt(name, defaultValue);
    g_log.push_back({SettingOp::ReadInt, name, std::to_string(value), std::to_string(defaultValue)});
    return value;
}

extern "C" int __cdecl HostReadIniString(HINSTANCE instance, const char* key, char* text, const char* defaultText) {
    CheckInstance(instance, "HostReadIniString", key);
    std::string name = key ? key : "";
    std::string fallback = defaultText ? defaultText : "";
    std::string value = HasSetting(name) ? StoredText(name) : fallback;
    value = value.substr(0, kTextBuffer - 1);
    g_log.push_back({SettingOp::ReadText, name, value, fallback});
    if (text != nullptr) std::memcpy(text, value.c_str(), value.size() + 1);
    return int(value.size());
}

extern "C" int __cdecl HostWriteIniInt(HINSTANCE instance, const char* key, int value) {
    CheckInstance(instance, "HostWriteIniInt", key);
    std::string name = key ? key : "";
    StoreSetting(name, value);
    g_log.push_back({SettingOp::WriteInt, name, std::to_string(value), {}});
    return 1;
}

extern "C" int __cdecl HostWriteIniString(HINSTANCE instance, const char* key, const char* text) {
    CheckInstance(instance, "HostWriteIniString", key);
    std::string name = key ? key : "";
    std::string value = text ? text : "";
    StoreSetting(name, value);
    g_log.push_back({SettingOp::WriteText, name, value, {}});
    return 1;
}
