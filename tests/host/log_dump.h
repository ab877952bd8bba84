// The host's log as one text per line, "ADDRESS HIGHLIGHT text", so that a
// test compares address, highlight and text in one assertion.
//
//   sim::LogDump(from = 0)              the lines from index `from` on
//   sim::LogEntry(address, highlight, format, value)   one such text, formatted
#pragma once

#include "log_window.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sim {

inline std::string LogEntry(uint32_t address, int highlight, const std::string& text) {
    char head[32];
    std::snprintf(head, sizeof head, "%08X %d ", unsigned(address), highlight);
    return head + text;
}

inline std::string LogEntry(uint32_t address, int highlight, const char* format, uint32_t value) {
    char text[512];
    std::snprintf(text, sizeof text, format, unsigned(value));
    return LogEntry(address, highlight, std::string(text));
}

inline std::vector<std::string> LogDump(size_t from = 0) {
    std::vector<std::string> lines;
    const std::vector<LogLine>& all = LogLines();
    for (size_t i = from; i < all.size(); ++i) lines.push_back(LogEntry(all[i].address, all[i].highlight, all[i].text));
    return lines;
}

}  // namespace sim
