#include "core/cpu_pane_commands.h"

namespace zt {

int CpuPaneMenu(char*, void*) { return 0; }
void CpuPaneAction(int, void*) {}
int CpuPaneShortcut(int, int, int, int, void*) { return 0; }

}  // namespace zt
