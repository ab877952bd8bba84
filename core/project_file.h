// Bookmarks in the debugger's project (.udd) file.
#pragma once

#include <cstdint>

namespace zt {

void SaveToProject(int isMainModule);
int LoadProjectRecord(int isMainModule, uint32_t tag, uint32_t size, const void* body);

}  // namespace zt
