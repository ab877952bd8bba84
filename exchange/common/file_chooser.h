// The common file dialog that picks an exchange file or a help file.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zt {

constexpr size_t kFilePathSize = 260;

enum FileFilter { kExchangeFiles = 1, kHelpFiles = 2 };
enum FileDialogMode : uint8_t { kSaveDialog = 0, kOpenDialog = 1 };

// The file types of the Export... and Import... dialogs. The export lists
// all five in this order; the import lists dat, json, the x64dbg database
// and the program XML.
enum BookmarkFileType {
    kNoBookmarkFile = 0,
    kDatFile = 1,
    kJsonFile = 2,
    kCsvFile = 3,
    kX64dbgFile = 4,
    kProgramXmlFile = 5
};

// Shows the save (mode 0) or open (mode 1) dialog with the given filter
// selected. For exchange files the debugged program's name is proposed and
// "dat" is the default extension; otherwise the name starts empty. True when
// the user confirmed a name, which is then in path.
bool ChooseFile(int filterIndex, char (&path)[kFilePathSize], uint8_t mode);

// The save (mode 0) or open (mode 1) dialog of Export... and Import...: the
// exchange file first and chosen, with the debugged program's name proposed.
// The type the user chose, which the name ends in when the user typed no
// extension; kNoBookmarkFile when the user cancelled.
BookmarkFileType ChooseBookmarkFile(char (&path)[kFilePathSize], uint8_t mode);

// The debugged program's file name without drive, directory and extension;
// empty when the host has none or it is longer than 255 characters.
void DefaultExchangeFileName(char (&name)[kFilePathSize]);

}  // namespace zt
