#include "core/main_menu.h"

namespace zt {

int MainMenu(char*) { return 0; }
void MainMenuAction(int) {}

}  // namespace zt
