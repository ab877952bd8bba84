// Where a module wants to load: the ImageBase of its file on disk. In the
// debugged process's memory the header carries the base the loader chose
// instead, which differs whenever the module was moved (always, under ASLR).
#pragma once

#include <cstdint>

namespace zt {

// The preferred image base of the loaded module at moduleBase, from its file:
// for the debugged program, the debugged file; for a DLL, the file of its
// export directory's name beside the debugged file, then in the system
// folder, then in the Windows folder. A file counts only when its header's
// time stamp and image size are those of the module in memory. False, with
// `preferred` set to moduleBase, when no such file is found.
bool FindPreferredBase(uint32_t moduleBase, uint32_t& preferred);

}  // namespace zt
