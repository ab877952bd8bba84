#include "log_window.h"

#include "host/host.h"

#include <cstdarg>
#include <cstdio>

namespace sim {
namespace {

std::vector<LogLine> g_log;
std::vector<std::string> g_flashes;

std::string Format(const char* format, va_list args) {
    if (format == nullptr) return "(null format)";
    char text[4096];
    std::vsnprintf(text, sizeof text, format, args);
    return text;
}

}  // namespace

const std::vector<LogLine>& LogLines() { return g_log; }
const std::vector<std::string>& Flashes() { return g_flashes; }

void ResetLogWindow() {
    g_log.clear();
    g_flashes.clear();
}

}  // namespace sim

using namespace sim;

extern "C" void __cdecl HostLog(uint32_t address, int highlight, const char* format, ...) {
    va_list args;
    va_start(args, format);
    g_log.push_back({address, highlight, Format(format, args)});
    va_end(args);
}

extern "C" int __cdecl HostFlash(const char* format, ...) {
    va_list args;
    va_start(args, format);
    g_flashes.push_back(Format(format, args));
    va_end(args);
    return 0;
}
