#include "core/main_menu.h"

#include "exchange/exchange_file.h"

namespace zt {

int MainMenu(char*) { return 0; }

void MainMenuAction(int action) {
    switch (action) {
    case 2: ImportBookmarks(); break;
    case 3: ExportBookmarks(); break;
    }
}

}  // namespace zt
