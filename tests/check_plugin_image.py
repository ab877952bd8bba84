#!/usr/bin/python3
"""Checks what the debugger and Windows see of Zentrilo.dll without running it:
its export directory, its imports and its resources with the version resource, that it loads on
Windows XP SP3, and that the release DLL is lean with its symbols beside it. Prints a
GoogleTest-like summary line of its own: 'N passed, N failed'."""
import binascii
import fnmatch
import os
import pathlib
import re
import struct
import subprocess
import sys

import pefile

HOST_ORDINALS = {1, 2, 12, 27, 28, 30, 31, 38, 44, 45, 46, 49, 54, 71, 79, 87, 88, 89, 90, 91, 92, 93,
                 100, 101, 102, 104, 107, 113, 114, 149, 179}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll", "shell32.dll",
               "msvcrt.dll", "advapi32.dll"}
EXPORTS = ["_ODBG_Pluginaction", "_ODBG_Pluginclose", "_ODBG_Plugindata", "_ODBG_Plugindestroy",
           "_ODBG_Plugininit", "_ODBG_Pluginmenu", "_ODBG_Pluginreset", "_ODBG_Pluginsaveudd",
           "_ODBG_Pluginshortcut", "_ODBG_Pluginuddrecord", "_zt_Count", "_zt_Exists", "_zt_NavigateBack",
           "_zt_NavigateForward", "_zt_Toggle"]
NO_ID = 0xFFFFFFFF
CHECK_BOX, GROUP_BOX, PUSH_BUTTON, HOT_KEY, LEFT_TEXT, CENTRED_TEXT, PATH_EDIT, UP_DOWN = (
    0x50010003, 0x50000007, 0x50010000, 0x50810000, 0x50000000, 0x50000001, 0x50810080, 0x500001A2)
SETTINGS_CONTROLS = [
    (NO_ID, "Button", "", GROUP_BOX, (2, 0, 216, 83)),
    (1011, "Button", "Recognize bookmarks created using bookmarks.dll", CHECK_BOX, (5, 38, 179, 9)),
    (1012, "Button", "Auto show navigation panel", CHECK_BOX, (5, 8, 111, 9)),
    (1013, "Button", "OK", PUSH_BUTTON, (113, 179, 50, 14)),
    (1014, "Button", "Cancel", PUSH_BUTTON, (165, 179, 50, 14)),
    (1015, "Button", "Show Toggle Bookmark menu item in Cpu pane", CHECK_BOX, (5, 28, 172, 9)),
    (1017, "msctls_hotkey32", "", HOT_KEY, (78, 123, 133, 14)),
    (NO_ID, "Button", "Shortcuts (Some combinations may not work due to conflicts)", GROUP_BOX, (1, 112, 216, 61)),
    (NO_ID, "Static", "Toggle bookmark: ", LEFT_TEXT, (8, 127, 60, 8)),
    (1018, "msctls_hotkey32", "", HOT_KEY, (78, 140, 133, 14)),
    (NO_ID, "Static", "Navigate backward: ", LEFT_TEXT, (8, 144, 67, 8)),
    (1019, "msctls_hotkey32", "", HOT_KEY, (78, 156, 133, 14)),
    (NO_ID, "Static", "Navigate forward: ", LEFT_TEXT, (8, 160, 62, 8)),
    (1016, "Button", "Auto show bookmarks window", CHECK_BOX, (5, 18, 120, 9)),
    (1020, "Button", "Create toolbar button", CHECK_BOX, (5, 48, 94, 9)),
    (NO_ID, "Button", "Opcode Ref.", GROUP_BOX, (2, 86, 215, 24)),
    (1022, "Edit", "", PATH_EDIT, (8, 95, 188, 13)),
    (1023, "Button", "...", PUSH_BUTTON, (198, 94, 16, 14)),
    (1024, "msctls_updown32", "", UP_DOWN, (203, 49, 11, 11)),
    (1025, "Static", "1", CENTRED_TEXT, (201, 41, 14, 8)),
    (1030, "Button", "Show bookmark naming dialog", CHECK_BOX, (5, 58, 119, 10)),
    (1031, "Button", "Map bookmark name to address label", CHECK_BOX, (5, 69, 141, 10)),
]
# The predefined classes a template may name by atom.
CLASS_ATOMS = {0x80: "button", 0x81: "edit", 0x82: "static"}
PANEL_BUTTONS = [(1002, "<", (0, 0, 17, 11), 0x50010000), (1003, ">", (19, 0, 17, 11), 0x50010000),
                 (1004, "#", (37, 0, 15, 11), 0x50010000), (1005, "!", (53, 0, 15, 11), 0x58010000)]

# The oldest Windows that has a function, as tests/reviewed_imports.txt names it.
WINDOWS = ["2000", "XP", "XP SP2", "XP SP3", "Vista", "7", "8", "8.1", "10"]
OLDEST_SUPPORTED = "XP SP3"
REVIEWED_IMPORTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "reviewed_imports.txt")
# Windows XP lacks these, whatever the reviewed list says.
VISTA_OR_LATER = ["GetTickCount64", "InitializeCriticalSectionEx", "InitOnce*", "*SRWLock*", "*ConditionVariable*",
                  "Fls*", "*LocaleName*", "GetLocaleInfoEx", "LCMapStringEx", "CompareStringEx",
                  "CompareStringOrdinal", "EnumSystemLocalesEx", "Get*FormatEx", "GetCalendarInfoEx",
                  "CreateSemaphoreEx*", "CreateEventEx*", "CreateMutexEx*", "CreateWaitableTimerEx*",
                  "GetFileInformationByHandleEx", "SetFileInformationByHandle", "GetSystemTimePreciseAsFileTime",
                  "GetFinalPathNameByHandle*", "CreateSymbolicLink*", "QueryFullProcessImageName*", "*Threadpool*",
                  "GetCurrentProcessorNumber*", "FlushProcessWriteBuffers", "GetErrorMode", "*ThreadErrorMode",
                  "CancelIoEx", "GetQueuedCompletionStatusEx", "CreateFile2", "GetActiveProcessorCount",
                  "AddDllDirectory", "SetDefaultDllDirectories", "RaiseFailFastException", "WaitOnAddress",
                  "WakeByAddress*"]
WINDOWS_XP = (5, 1)
SIZE_LIMIT = 384 * 1024
# What the C++ runtime brings when the plug-in touches its string class (either
# ABI), std::random_device (which the string's exception classes link), its
# locales or its streams: together well over 100 KB. Mangled names, as the
# symbols file keeps them.
HEAVY_RUNTIME = {
    "std::__cxx11::basic_string": rb"_ZNSt7__cxx1112basic_string",
    "std::string (the old ABI)": rb"_ZN?K?Ss[0-9A-Z_]",
    "std::random_device": rb"_ZNSt13random_device",
    "std::locale": rb"_ZNSt6locale",
    "iostream (std::ios_base)": rb"_ZNSt8ios_base",
}

results = []
VERSION_NUMBERS = pathlib.Path(__file__).resolve().parent.parent / "core/version_numbers.h"


def check(name, condition, detail=""):
    results.append(condition)
    print(("[       OK ] " if condition else "[  FAILED  ] ") + name + ("" if condition else ": " + detail))


def resource(pe, type_id, name_id):
    for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if t.id != type_id:
            continue
        for n in t.directory.entries:
            if n.id == name_id:
                data = n.directory.entries[0].data.struct
                return pe.get_data(data.OffsetToData, data.Size)
    return None


def read_sz_or_ord(data, pos):
    if struct.unpack_from("<H", data, pos)[0] == 0xFFFF:
        return struct.unpack_from("<H", data, pos + 2)[0], pos + 4
    end = pos
    while struct.unpack_from("<H", data, end)[0] != 0:
        end += 2
    return data[pos:end].decode("utf-16-le"), end + 2


def parse_dialogex(data):
    ver, sig, _help, exstyle, style, count, x, y, cx, cy = struct.unpack_from("<HHIIIHhhhh", data, 0)
    pos = 26
    menu, pos = read_sz_or_ord(data, pos)
    cls, pos = read_sz_or_ord(data, pos)
    caption, pos = read_sz_or_ord(data, pos)
    points, weight, italic, charset = struct.unpack_from("<HHBB", data, pos)
    face, pos = read_sz_or_ord(data, pos + 6)
    dialog = dict(ver=ver, sig=sig, exstyle=exstyle, style=style, rect=(x, y, cx, cy), caption=caption,
                  font=(face, points, weight, italic, charset), items=[])
    for _ in range(count):
        pos = (pos + 3) & ~3
        _h, iex, istyle, ix, iy, icx, icy, iid = struct.unpack_from("<IIIhhhhI", data, pos)
        pos += 24
        icls, pos = read_sz_or_ord(data, pos)
        itext, pos = read_sz_or_ord(data, pos)
        extra = struct.unpack_from("<H", data, pos)[0]
        pos += 2 + extra
        dialog["items"].append((iid, itext, (ix, iy, icx, icy), istyle, icls))
    return dialog


def class_name(cls):
    return CLASS_ATOMS.get(cls, "?") if isinstance(cls, int) else cls.lower()


def check_template(number, d, style, exstyle, size, caption):
    check(f"dialog {number} is an extended template", (d["ver"], d["sig"]) == (1, 0xFFFF))
    check(f"dialog {number} style", d["style"] == style, hex(d["style"]))
    check(f"dialog {number} extended style", d["exstyle"] == exstyle, hex(d["exstyle"]))
    check(f"dialog {number} size", d["rect"] == (0, 0) + size, str(d["rect"]))
    check(f"dialog {number} caption", d["caption"] == caption, repr(d["caption"]))
    check(f"dialog {number} font", d["font"] == ("MS Shell Dlg", 8, 400, 0, 1), str(d["font"]))


def check_version(pe):
    """What Windows shows in the file's properties: the version of the source, the product, the licence."""
    major, minor = (int(n) for n in re.search(r"MAJOR (\d+)\s+#define ZT_VERSION_MINOR (\d+)",
                                              VERSION_NUMBERS.read_text()).groups())
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    check("has a version resource", bool(fixed))
    if not fixed:
        return
    numbers = [(f.FileVersionMS, f.FileVersionLS, f.ProductVersionMS, f.ProductVersionLS) for f in fixed]
    check(f"file and product version are {major}.{minor}.0.0", numbers == [((major << 16) | minor, 0) * 2],
          str(numbers))
    strings = {k.decode(): v.decode() for info in pe.FileInfo[0] if info.Key == b"StringFileInfo"
               for table in info.StringTable for k, v in table.entries.items()}
    want = {"ProductName": "Zentrilo", "FileVersion": f"{major}.{minor}", "ProductVersion": f"{major}.{minor}",
            "OriginalFilename": "Zentrilo.dll"}
    check("version strings name the product and version", {k: strings.get(k) for k in want} == want, str(strings))
    check("version strings describe the file", "OllyDbg" in strings.get("FileDescription", ""), str(strings))
    check("copyright names the licence", "MIT License" in strings.get("LegalCopyright", ""), str(strings))


def read_reviewed_imports():
    reviewed = {}
    for line in open(REVIEWED_IMPORTS, encoding="ascii"):
        if line.strip() and not line.startswith("#"):
            dll, function, oldest = line.split(None, 2)
            reviewed[(dll.lower(), function)] = oldest.strip()
    return reviewed


def system_imports(pe):
    return [(i.dll.decode().lower(), e.name.decode() if e.name else f"#{e.ordinal}")
            for i in pe.DIRECTORY_ENTRY_IMPORT if i.dll.decode().lower() != "ollydbg.exe" for e in i.imports]


def check_runs_on_windows_xp(pe):
    reviewed = read_reviewed_imports()
    imports = system_imports(pe)
    unreviewed = [f"{dll}!{f}" for dll, f in imports if (dll, f) not in reviewed]
    check("imports only reviewed system functions (tests/reviewed_imports.txt)", not unreviewed, str(unreviewed))
    newer = [f"{dll}!{f} ({reviewed[dll, f]})" for dll, f in imports if (dll, f) in reviewed and
             (reviewed[dll, f] not in WINDOWS or WINDOWS.index(reviewed[dll, f]) > WINDOWS.index(OLDEST_SUPPORTED))]
    check(f"imports nothing newer than Windows {OLDEST_SUPPORTED} by the reviewed list", not newer, str(newer))
    vista = [f"{dll}!{f}" for dll, f in imports if any(fnmatch.fnmatchcase(f, p) for p in VISTA_OR_LATER)]
    check("imports no function that came with Windows Vista or later", not vista, str(vista))
    header = pe.OPTIONAL_HEADER
    os_version = (header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion)
    subsystem = (header.MajorSubsystemVersion, header.MinorSubsystemVersion)
    check("operating system version in the header is at most 5.1", os_version <= WINDOWS_XP, str(os_version))
    check("subsystem version in the header is at most 5.1", subsystem <= WINDOWS_XP, str(subsystem))


def section_names(pe):
    """Section names, the long ones ("/4") looked up in the COFF string table."""
    strings = pe.FILE_HEADER.PointerToSymbolTable + 18 * pe.FILE_HEADER.NumberOfSymbols
    names = []
    for section in pe.sections:
        name = section.Name.rstrip(b"\0")
        if name.startswith(b"/") and pe.FILE_HEADER.PointerToSymbolTable:
            start = strings + int(name[1:])
            name = bytes(pe.__data__[start:start + 256]).split(b"\0")[0]
        names.append(name.decode())
    return names


def is_debug_section(name):
    return name.startswith((".debug", ".zdebug"))


def largest_symbols(symbols, count=12):
    """The largest functions and data of the symbols file, as "size name" lines (nm, when at hand)."""
    try:
        listing = subprocess.run(["i686-w64-mingw32-nm", "--size-sort", "-S", "-C", symbols],
                                 capture_output=True, text=True, check=True).stdout
    except (OSError, subprocess.CalledProcessError):
        return "(i686-w64-mingw32-nm not found to say what takes the room)"
    rows = [line.split(maxsplit=3) for line in listing.splitlines()]
    rows = [r for r in rows if len(r) == 4 and r[2].lower() in "tdbr" and not r[3].startswith(".")]
    return "; ".join(f"{int(r[1], 16)} {r[3][:80]}" for r in rows[-count:][::-1])


def check_lean(pe, path):
    size = os.path.getsize(path)
    symbols = path + ".debug"
    check(f"is smaller than {SIZE_LIMIT // 1024} KB", size < SIZE_LIMIT,
          f"{size} bytes; the largest parts: {largest_symbols(symbols)}" if size >= SIZE_LIMIT else f"{size} bytes")
    names = section_names(pe)
    check("has no debug sections", not any(is_debug_section(n) for n in names), str(names))
    check("has no symbol table", pe.FILE_HEADER.NumberOfSymbols == 0, str(pe.FILE_HEADER.NumberOfSymbols))
    check("its symbols file is beside it", os.path.isfile(symbols), symbols)
    if not os.path.isfile(symbols):
        return
    link = [s for n, s in zip(names, pe.sections) if n == ".gnu_debuglink"]
    data = link[0].get_data()[:link[0].Misc_VirtualSize] if link else b""
    name = data.split(b"\0")[0].decode()
    crc = struct.unpack_from("<I", data, (len(name) + 4) & ~3)[0] if data else None
    with open(symbols, "rb") as f:
        content = f.read()
    actual = binascii.crc32(content)
    check("links to its symbols file by name and checksum", (name, crc) == (os.path.basename(symbols), actual),
          f"{(name, crc)} instead of {(os.path.basename(symbols), actual)}")
    debug = pefile.PE(symbols, fast_load=True)
    check("its symbols file has the debug information", {".debug_info", ".debug_line"} <= set(section_names(debug)),
          str(section_names(debug)))
    # The runtime's verbose terminate handler would bring its demangler along.
    check("links no C++ name demangler", b"___cxa_demangle" not in content)
    for what, pattern in HEAVY_RUNTIME.items():
        found = sorted(set(m.group(0).decode(errors="replace") for m in re.finditer(pattern + rb"[0-9A-Za-z_]*", content)))
        check(f"links none of the runtime's {what}", not found, ", ".join(found[:5]))


def main(path):
    pe = pefile.PE(path)
    exports = pe.DIRECTORY_ENTRY_EXPORT
    check("export directory names the library", pe.get_string_at_rva(exports.struct.Name) == b"!Zentrilo.dll")
    listed = [(s.ordinal, s.name.decode() if s.name else None) for s in exports.symbols]
    check("exports the entry points by name at ordinals 1-15",
          listed == [(i + 1, n) for i, n in enumerate(EXPORTS)], str(listed))

    host = [i for i in pe.DIRECTORY_ENTRY_IMPORT if i.dll.decode().lower() == "ollydbg.exe"]
    check("imports from OllyDbg.EXE", len(host) == 1)
    if host:
        entries = host[0].imports
        check("imports the host by ordinal only", all(e.name is None for e in entries))
        check("imports only known host ordinals", {e.ordinal for e in entries} <= HOST_ORDINALS,
              str(sorted({e.ordinal for e in entries} - HOST_ORDINALS)))
    others = {i.dll.decode().lower() for i in pe.DIRECTORY_ENTRY_IMPORT} - {"ollydbg.exe"}
    check("imports nothing but system DLLs", others <= SYSTEM_DLLS, str(sorted(others - SYSTEM_DLLS)))

    check_runs_on_windows_xp(pe)
    check_lean(pe, path)

    panel = resource(pe, 5, 101)
    check("has dialog 101", panel is not None)
    if panel:
        d = parse_dialogex(panel)
        # A tool window with no caption of its own: the plug-in sets it.
        check_template(101, d, 0x80C800C8, 0x80, (69, 11), "")
        items = [(i, t, r, s) for i, t, r, s, c in d["items"]]
        check("dialog 101 buttons", items == PANEL_BUTTONS, str(items))
        check("dialog 101 buttons are of class BUTTON",
              all(c in ("BUTTON", 0x80) for *_, c in d["items"]), str([c for *_, c in d["items"]]))

    settings = resource(pe, 5, 126)
    check("has dialog 126", settings is not None)
    if settings:
        d = parse_dialogex(settings)
        check_template(126, d, 0x80C808C8, 0, (221, 197), "Settings")
        items = [(i, class_name(c), t, s, r) for i, t, r, s, c in d["items"]]
        expected = [(i, c.lower(), t, s, r) for i, c, t, s, r in SETTINGS_CONTROLS]
        check("dialog 126 has its controls in tab order", [i[0] for i in items] == [e[0] for e in expected],
              str([i[0] for i in items]))
        for want, got in zip(expected, items):
            check(f"dialog 126 control {want[0] if want[0] != NO_ID else -1} {want[2]!r}", got == want,
                  f"{got} instead of {want}")

    bitmap = resource(pe, 2, 132)
    check("has bitmap 132", bitmap is not None)
    if bitmap:
        size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", bitmap, 0)
        check("bitmap 132 is 16 x 16, 32 bits, uncompressed", (width, abs(height), bits, compression) == (16, 16, 32, 0),
              str((width, height, bits, compression)))

    manifest = resource(pe, 24, 2)
    check("has a manifest", manifest is not None and b"<assembly" in manifest)

    check_version(pe)

    failed = results.count(False)
    print(f"{len(results) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
