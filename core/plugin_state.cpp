#include "core/plugin_state.h"

namespace zt {

HINSTANCE g_instance = nullptr;
HWND g_mainWindow = nullptr;
HostTable g_table = {};
char g_listWindowClass[32] = {};

}  // namespace zt
