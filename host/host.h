// The debugger's side of the plug-in boundary: the records it shares with us
// and the functions OllyDbg.EXE exports by ordinal (the import library built
// from host/ollydbg.def binds each name below to its ordinal only).
//
// Everything here uses the plain C calling convention: the caller removes the
// arguments. All of it runs on the debugger's user-interface thread.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// Every item of a host sorted table starts with this header.
struct HostItemHeader {
    uint32_t address;
    uint32_t size;
    uint32_t type;
};
static_assert(sizeof(HostItemHeader) == 12, "item header is three 32-bit words");

// The host's sorted data. Its bytes are the host's; the plug-in reads only
// the selected row, which the host keeps inside it.
struct HostSorted {
    uint8_t hostOwned[268];
    int32_t selectedRow;          // 0-based row in address order; <0: none
    uint8_t hostOwnedTail[40];
};
static_assert(sizeof(HostSorted) == 312, "sorted data spans bytes 4..316 of a table");

struct HostTable;
typedef int(__cdecl* HostCellTextFn)(char* text, char* mask, int* attribute, void* item, int column);

constexpr int kHostMaxColumns = 17;

// A table window descriptor: owned by the plug-in, read and written by the host.
struct HostTable {
    HWND window;                                  // 0: the table's window, 0 while none
    HostSorted sorted;                            // 4
    int32_t columnCount;                          // 316
    uint8_t hostOwned1[72];
    int32_t columnWidth[kHostMaxColumns];         // 392: in characters
    const char* columnCaption[kHostMaxColumns];   // 460
    uint8_t columnMode[kHostMaxColumns];          // 528
    uint8_t hostOwned2[20];
    int32_t tableMode;                            // 565
    uint8_t hostOwned3[16];
    HostCellTextFn cellText;                      // 585
};
static_assert(sizeof(HostTable) == 589, "table descriptor is 589 bytes");
static_assert(offsetof(HostTable, sorted) == 4, "sorted data at 4");
static_assert(offsetof(HostTable, sorted) + offsetof(HostSorted, selectedRow) == 272, "selected row at 272");
static_assert(offsetof(HostTable, columnCount) == 316, "column count at 316");
static_assert(offsetof(HostTable, columnWidth) == 392, "column widths at 392");
static_assert(offsetof(HostTable, columnCaption) == 460, "column captions at 460");
static_assert(offsetof(HostTable, columnMode) == 528, "column modes at 528");
static_assert(offsetof(HostTable, tableMode) == 565, "table mode at 565");
static_assert(offsetof(HostTable, cellText) == 585, "cell text callback at 585");

// The CPU disassembler pane's descriptor (HostGetValue(kHostValueCpuPane),
// and the item of every origin-31 call).
struct HostCpuPane {
    uint8_t hostOwned1[885];
    uint32_t blockBase;       // 885: base of the memory block shown
    uint32_t blockSize;       // 889: its size, 0 when no memory is shown
    uint8_t hostOwned2[8];
    uint32_t selected;        // 901: first selected byte, 0 when none
};
static_assert(offsetof(HostCpuPane, blockBase) == 885, "shown block base at 885");
static_assert(offsetof(HostCpuPane, blockSize) == 889, "shown block size at 889");
static_assert(offsetof(HostCpuPane, selected) == 901, "selected address at 901");

// A memory block of the debugged process.
struct HostMemoryBlock {
    uint32_t base;
    uint32_t size;
};
static_assert(sizeof(HostMemoryBlock) == 8, "block base and size");

constexpr int kHostModuleNameLength = 8;   // short names: up to 8 characters, not always terminated

// A module of the debugged process; only the short name is read.
struct HostModule {
    uint32_t base;
    uint32_t size;
    uint8_t hostOwned[64];
    char shortName[kHostModuleNameLength];  // 72
};
static_assert(offsetof(HostModule, shortName) == 72, "module short name at 72");

// What the disassembler fills in; the instruction's text lies at 260.
constexpr int kHostDisasmTextLength = 256;
struct HostDisasm {
    uint8_t hostOwned1[260];
    char text[kHostDisasmTextLength];        // 260
    uint8_t hostOwned2[2156 - 260 - kHostDisasmTextLength];
};
static_assert(sizeof(HostDisasm) == 2156, "disassembly result is 2156 bytes");
static_assert(offsetof(HostDisasm, text) == 260, "instruction text at 260");

#pragma pack(pop)

// Values of HostGetValue.
constexpr int kHostValueMainWindow = 2;
constexpr int kHostValueExePath = 26;
constexpr int kHostValueCpuPane = 53;

// Log highlights.
constexpr int kHostLogFailure = 1;
constexpr int kHostLogPlain = 0;
constexpr int kHostLogRoutine = -1;

// Name types of HostFindName and HostInsertName.
constexpr int kHostNameLabel = 49;
constexpr int kHostNameComment = 54;

// Fixed arguments the host expects.
constexpr int kHostReadMemoryMode = 3;
constexpr int kHostDisasmMode = 4;
constexpr int kHostSetCpuMode = 13;
constexpr uint32_t kHostOneShotBreakpoint = 0x800;

extern "C" {

// 1: copies the item into the table; returns the host's copy, 0 when refused.
void* __cdecl HostAddSorted(HostSorted* sorted, const void* item);
// 2
void __cdecl HostLog(uint32_t address, int highlight, const char* format, ...);
// 12: 0 when created.
int __cdecl HostCreateSorted(HostSorted* sorted, const char* name, int itemSize, int initialCount,
                             void* sortFunction, void* destroyFunction);
// 27
void __cdecl HostDeleteSorted(HostSorted* sorted, uint32_t address);
// 28
void __cdecl HostDeleteSortedRange(HostSorted* sorted, uint32_t first, uint32_t last);
// 30
void __cdecl HostDestroySorted(HostSorted* sorted);
// 31: the instruction's length; its text at result->text.
uint32_t __cdecl HostDisassemble(const uint8_t* bytes, uint32_t count, uint32_t address, const uint8_t* decode,
                                 HostDisasm* result, int mode, uint32_t thread);
// 38: the analysis bytes for an address and how many bytes they cover, or 0.
const uint8_t* __cdecl HostFindDecode(uint32_t address, uint32_t* count);
// 44: the block that holds the address, 0 when unreachable.
const HostMemoryBlock* __cdecl HostFindMemory(uint32_t address);
// 45
const HostModule* __cdecl HostFindModule(uint32_t address);
// 46: the length of the name of that type at the address, 0 when none.
int __cdecl HostFindName(uint32_t address, int type, char* text);
// 49: the item covering the address (writable), or 0.
void* __cdecl HostFindSorted(HostSorted* sorted, uint32_t address);
// 54
int __cdecl HostFlash(const char* format, ...);
// 71: the item at a 0-based row, or 0.
void* __cdecl HostSortedBySelection(HostSorted* sorted, int row);
// 79
int __cdecl HostInsertName(uint32_t address, int type, const char* text);
// 87
int __cdecl HostPaintTable(HWND window, HostTable* table, HostCellTextFn cellText);
// 88
int __cdecl HostGetValue(int which);
// 89
int __cdecl HostReadIniInt(HINSTANCE instance, const char* key, int defaultValue);
// 90: fills text (260 bytes) with the stored text or the default.
int __cdecl HostReadIniString(HINSTANCE instance, const char* key, char* text, const char* defaultText);
// 91: 0 when the record was not written.
int __cdecl HostSaveUddRecord(uint32_t tag, uint32_t size, const void* body);
// 92
int __cdecl HostWriteIniInt(HINSTANCE instance, const char* key, int value);
// 93
int __cdecl HostWriteIniString(HINSTANCE instance, const char* key, const char* text);
// 100: creates the table's window or brings it forward; the handle lands in table->window.
HWND __cdecl HostQuickTableWindow(HostTable* table, int lines, int columns, const char* windowClass,
                                  const char* title);
// 101: the number of bytes read.
uint32_t __cdecl HostReadMemory(void* buffer, uint32_t address, uint32_t count, int mode);
// 102
void __cdecl HostRefreshDisassembly(void);
// 104: fills className (32 chars); negative when it failed.
int __cdecl HostRegisterClass(char* className, const char* iconName, HINSTANCE instance, WNDPROC procedure);
// 107
int __cdecl HostSetCpu(uint32_t thread, uint32_t disasmAddress, uint32_t dumpAddress, uint32_t stackAddress,
                       int mode);
// 113
int __cdecl HostTableFunction(HostTable* table, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// 114
int __cdecl HostUnregisterClass(const char* className);
// 149: -1 when cancelled; text holds at most 255 characters.
int __cdecl HostGetTextAt(const char* title, char* text, int letter, int type, int fontIndex, int x, int y);
// 179
int __cdecl HostTempBreakpoint(uint32_t address, uint32_t flags);

}  // extern "C"
