#include "violations.h"

namespace sim {
namespace {
std::vector<std::string> g_violations;
}

void ReportViolation(const std::string& text) { g_violations.push_back(text); }

const std::vector<std::string>& Violations() { return g_violations; }

void ResetViolations() { g_violations.clear(); }

}  // namespace sim
