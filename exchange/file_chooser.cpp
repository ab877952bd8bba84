#include "exchange/file_chooser.h"

#include <windows.h>

#include <commdlg.h>

#include <cstring>

#include "core/plugin_state.h"
#include "host/host.h"

namespace zt {

namespace {

// The dialog is given the full structure of Windows 2000 and later.
static_assert(sizeof(OPENFILENAMEA) == 88, "OPENFILENAME is 88 bytes");

constexpr char kFilter[] = "Dat files\0*.dat\0Help files\0*.hlp\0";
constexpr DWORD kFlags =
    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_ENABLESIZING;
static_assert(kFlags == 0x0088000E, "file dialog flags");
constexpr size_t kLongestProposedName = 255;

bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

}  // namespace

void DefaultExchangeFileName(char (&name)[kFilePathSize]) {
    name[0] = '\0';
    const char* path = reinterpret_cast<const char*>(HostGetValue(kHostValueExePath));
    if (!path) return;
    // The host keeps the path in a buffer of kFilePathSize characters.
    const char* const stop = path + strnlen(path, kFilePathSize);
    const char* start = path;
    const char* end = stop;  // the last dot of the file name, or its end
    for (const char* p = path; p < stop; ++p) {
        if (IsPathSeparator(*p)) {
            start = p + 1;
            end = stop;
        } else if (*p == '.') {
            end = p;
        }
    }
    const size_t length = static_cast<size_t>(end - start);
    if (length > kLongestProposedName) return;
    std::memcpy(name, start, length);
    name[length] = '\0';
}

bool ChooseFile(int filterIndex, char (&path)[kFilePathSize], uint8_t mode) {
    if (filterIndex == kExchangeFiles)
        DefaultExchangeFileName(path);
    else
        path[0] = '\0';

    OPENFILENAMEA dialog;
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = g_mainWindow;
    dialog.hInstance = GetModuleHandleA(nullptr);
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = static_cast<DWORD>(filterIndex);
    dialog.lpstrFile = path;
    dialog.nMaxFile = kFilePathSize;
    dialog.lpstrDefExt = filterIndex == kExchangeFiles ? "dat" : nullptr;
    dialog.Flags = kFlags;

    switch (mode) {
    case kSaveDialog: return GetSaveFileNameA(&dialog) != 0;
    case kOpenDialog: return GetOpenFileNameA(&dialog) != 0;
    }
    return false;
}

}  // namespace zt
