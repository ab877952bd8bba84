// Misuse of the host that the host itself notices (a settings call with a
// foreign instance handle, a sorted table used before it was created, a
// modal dialog left open, ...). The fixture fails a test that leaves any.
//
//   sim::ReportViolation(text)   note one misuse
//   sim::Violations()            everything noted since the last reset
#pragma once

#include <string>
#include <vector>

namespace sim {

void ReportViolation(const std::string& text);
const std::vector<std::string>& Violations();
void ResetViolations();

}  // namespace sim
