#include "names.h"

#include "host/host.h"

#include <cstring>
#include <map>
#include <utility>

namespace sim {
namespace {

constexpr size_t kNameLength = 255;   // the host keeps at most this many characters

std::map<std::pair<uint32_t, int>, std::string> g_names;
std::vector<NameCall> g_insertions;

}  // namespace

void SetName(uint32_t address, int type, const std::string& text) {
    if (text.empty()) {
        g_names.erase({address, type});
    } else {
        g_names[{address, type}] = text.substr(0, kNameLength);
    }
}

std::string NameAt(uint32_t address, int type) {
    auto it = g_names.find({address, type});
    return it == g_names.end() ? std::string() : it->second;
}

const std::vector<NameCall>& NameInsertions() { return g_insertions; }

void ResetNames() {
    g_names.clear();
    g_insertions.clear();
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostInsertName(uint32_t address, int type, const char* text) {
    std::string value = text ? text : "";
    g_insertions.push_back({address, type, value});
    SetName(address, type, value);
    return 0;
}

// The text buffer is left alone when there is no name.
extern "C" int __cdecl HostFindName(uint32_t address, int type, char* text) {
    auto it = g_names.find({address, type});
    if (it == g_names.end()) return 0;
    if (text != nullptr) std::memcpy(text, it->second.c_str(), it->second.size() + 1);
    return int(it->second.size());
}
