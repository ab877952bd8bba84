// What every program that stands in for the debugger does first, and the
// words in which it reports a crash.
#pragma once

#include <windows.h>

#include <string>

namespace sim {

// Unbuffered output, no error boxes, and the common control classes
// registered as the real debugger's process has them; `onCrash`, when given,
// becomes the filter of unhandled exceptions.
void PrepareHostProcess(LPTOP_LEVEL_EXCEPTION_FILTER onCrash);

// "exception C0000005 at 70541234 (Z:\...\Zentrilo.dll + 234), reading address 00000000"
std::string DescribeCrash(const EXCEPTION_RECORD& record);

}  // namespace sim
