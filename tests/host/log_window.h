// The host's log window (HostLog) and status bar (HostFlash), captured as
// formatted text.
//
//   sim::LogLines()     every HostLog line: address, highlight, text
//   sim::Flashes()      every HostFlash text, in order
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct LogLine {
    uint32_t address;
    int highlight;
    std::string text;
};

const std::vector<LogLine>& LogLines();
const std::vector<std::string>& Flashes();

void ResetLogWindow();

}  // namespace sim
