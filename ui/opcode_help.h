// Help on a bookmark's instruction from the help file the user chose.
#pragma once

#include <cstdint>

namespace zt {

// Opens the help file at the first word of the original disassembly of the
// bookmark at address. Without a help file it says so and opens the Settings
// dialog, where one can be chosen.
void ShowOpcodeHelp(uint32_t address);

}  // namespace zt
