// Labels (type 49) and comments (type 54) by address. HostInsertName with an
// empty text removes the name, as the host does.
//
//   sim::SetName(address, type, text)    a name that exists before the test acts
//   sim::NameAt(address, type)           the current name ("" when none)
//   sim::NameInsertions()                every HostInsertName call, in order
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct NameCall {
    uint32_t address;
    int type;
    std::string text;
};

void SetName(uint32_t address, int type, const std::string& text);
std::string NameAt(uint32_t address, int type);
const std::vector<NameCall>& NameInsertions();

void ResetNames();

}  // namespace sim
