// The plug-in's submenu in the debugger's plug-in menu.
#pragma once

namespace zt {

int MainMenu(char* text);
void MainMenuAction(int action);

}  // namespace zt
