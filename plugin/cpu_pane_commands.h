// The CPU disassembler pane's "Toggle Bookmark" menu item and hot keys.
#pragma once

namespace zt {

int CpuPaneMenu(char* text, void* item);
void CpuPaneAction(int action, void* item);
int CpuPaneShortcut(int ctrl, int alt, int shift, int key, void* item);

}  // namespace zt
