// HostGetValue: (2) the main window, (26) the path of the debugged file,
// (53) the CPU pane descriptor. Any of them can be made to answer 0.
//
//   sim::SetExePath(path)         default "C:\\Debuggee\\target.exe"
//   sim::FailValue(which)         HostGetValue(which) returns 0 until reset
//   sim::ValueRequests()          every `which` asked for, in order
#pragma once

#include <string>
#include <vector>

namespace sim {

void SetExePath(const std::string& path);
void FailValue(int which);
const std::vector<int>& ValueRequests();

void ResetHostValues();

}  // namespace sim
