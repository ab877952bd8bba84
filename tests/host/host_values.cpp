#include "host_values.h"

#include "cpu_pane.h"
#include "host/host.h"
#include "main_window.h"
#include "violations.h"

#include <cstdint>
#include <set>

namespace sim {
namespace {

const char kDefaultExePath[] = "C:\\Debuggee\\target.exe";

char g_exePath[MAX_PATH] = "";
std::set<int> g_failing;
std::vector<int> g_requests;

}  // namespace

void SetExePath(const std::string& path) { lstrcpynA(g_exePath, path.c_str(), sizeof g_exePath); }
void FailValue(int which) { g_failing.insert(which); }
const std::vector<int>& ValueRequests() { return g_requests; }

void ResetHostValues() {
    SetExePath(kDefaultExePath);
    g_failing.clear();
    g_requests.clear();
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostGetValue(int which) {
    g_requests.push_back(which);
    if (g_failing.count(which)) return 0;
    switch (which) {
        case kHostValueMainWindow: return int(reinterpret_cast<intptr_t>(MainWindow()));
        case kHostValueExePath: return int(reinterpret_cast<intptr_t>(g_exePath));
        case kHostValueCpuPane: return int(reinterpret_cast<intptr_t>(Pane()));
        default:
            ReportViolation("HostGetValue(" + std::to_string(which) + ") is not a value the host serves here");
            return 0;
    }
}
