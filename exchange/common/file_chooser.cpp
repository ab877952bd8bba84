#include "exchange/common/file_chooser.h"

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
constexpr char kExportFilter[] =
    "Dat files\0*.dat\0Bookmark list, JSON (*.json)\0*.json\0Bookmark list, CSV (*.csv)\0*.csv\0"
    "x64dbg database (*.dd32)\0*.dd32\0Ghidra/IDA program XML (*.xml)\0*.xml\0";
constexpr char kImportFilter[] =
    "Dat files\0*.dat\0Bookmark list, JSON (*.json)\0*.json\0x64dbg database (*.dd32)\0*.dd32\0"
    "Ghidra/IDA program XML (*.xml)\0*.xml\0";
constexpr const char* kExtensions[] = {"", "dat", "json", "csv", "dd32", "xml"};
// The types in the order of each dialog's list.
constexpr BookmarkFileType kExportTypes[] = {kDatFile, kJsonFile, kCsvFile, kX64dbgFile, kProgramXmlFile};
constexpr BookmarkFileType kImportTypes[] = {kDatFile, kJsonFile, kX64dbgFile, kProgramXmlFile};
constexpr DWORD kFlags =
    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_EXPLORER | OFN_ENABLESIZING;
static_assert(kFlags == 0x0088000E, "file dialog flags");
constexpr size_t kLongestProposedName = 255;

bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// The dialog as the exchange file's and the help file's dialogs share it.
void FillDialog(OPENFILENAMEA& dialog, const char* filter, int filterIndex, char (&path)[kFilePathSize],
                const char* defaultExtension) {
    std::memset(&dialog, 0, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = g_mainWindow;
    dialog.hInstance = GetModuleHandleA(nullptr);
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = static_cast<DWORD>(filterIndex);
    dialog.lpstrFile = path;
    dialog.nMaxFile = kFilePathSize;
    dialog.lpstrDefExt = defaultExtension;
    dialog.Flags = kFlags;
}

bool RunDialog(OPENFILENAMEA& dialog, uint8_t mode) {
    switch (mode) {
    case kSaveDialog: return GetSaveFileNameA(&dialog) != 0;
    case kOpenDialog: return GetOpenFileNameA(&dialog) != 0;
    }
    return false;
}

// The dialog adds the chosen type's extension to a name typed without one;
// where it did not, it is added here, when it fits.
void EnsureExtension(const OPENFILENAMEA& dialog, char (&path)[kFilePathSize], const char* extension) {
    const size_t length = strnlen(path, kFilePathSize);
    const bool hasExtension = dialog.nFileExtension != 0 && dialog.nFileExtension < length;
    if (hasExtension || length + 1 + std::strlen(extension) >= kFilePathSize) return;
    path[length] = '.';
    std::strcpy(path + length + 1, extension);
}

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
    FillDialog(dialog, kFilter, filterIndex, path, filterIndex == kExchangeFiles ? "dat" : nullptr);
    return RunDialog(dialog, mode);
}

BookmarkFileType ChooseBookmarkFile(char (&path)[kFilePathSize], uint8_t mode) {
    DefaultExchangeFileName(path);
    OPENFILENAMEA dialog;
    FillDialog(dialog, mode == kSaveDialog ? kExportFilter : kImportFilter, kDatFile, path, "dat");
    if (!RunDialog(dialog, mode)) return kNoBookmarkFile;
    const BookmarkFileType* types = mode == kSaveDialog ? kExportTypes : kImportTypes;
    const DWORD count = mode == kSaveDialog ? sizeof kExportTypes / sizeof *kExportTypes
                                            : sizeof kImportTypes / sizeof *kImportTypes;
    const BookmarkFileType type = dialog.nFilterIndex >= 1 && dialog.nFilterIndex <= count
                                      ? types[dialog.nFilterIndex - 1]
                                      : kDatFile;
    if (type != kDatFile) EnsureExtension(dialog, path, kExtensions[type]);
    return type;
}

}  // namespace zt
