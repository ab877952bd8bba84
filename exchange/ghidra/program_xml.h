// Ghidra's program XML (File > Export Program > XML, File > Add To Program),
// which IDA reads and writes through the xml_importer.py and xml_exporter.py
// plug-ins that ship with Ghidra: one module per file, its addresses as the
// file on disk would load them (the preferred image base plus the offset),
// 8 lower-case hex digits.
#pragma once

#include "host/host.h"

namespace zt {

// The category of an exported bookmark, which says it is ours and whether it
// was disabled.
constexpr char kProgramXmlCategory[] = "Zentrilo";
constexpr char kProgramXmlDisabledCategory[] = "Zentrilo (disabled)";

// Writes the bookmarks of the module of the block the CPU pane shows, their
// names as symbols and the debugger's comments at their addresses, as program
// XML; failure-safe. The outcome goes to the status bar.
void ExportProgramXml(const char* path, const HostCpuPane& pane);

// Reads a program XML that Ghidra, IDA or the export wrote and, only when all
// of it is valid, applies its Note bookmarks, its user's and imported names
// and its comments in the loaded module of the program's file name (or, when
// none is, the module the CPU pane shows). The outcome goes to the status
// bar. Never throws.
void ImportProgramXml(const char* path);

}  // namespace zt
