// The 32-bit variable at 0x4CD6A8. It sits in an uninitialised section of
// its own, which the link places at 0x401000 (see tests/CMakeLists.txt):
// 0x4CD6A8 - 0x401000 = 0xCC6A8 bytes of padding come before it. The file
// holds nothing else, so switching back to .text at the end is safe.
#include <cstdint>

__asm__(
    ".section .cpuwnd,\"bw\"\n"
    ".space 0xCC6A8\n"
    ".globl _sim_paneHandleSlot\n"
    "_sim_paneHandleSlot:\n"
    ".space 4\n"
    ".space 0x954\n"   // to the end of the section at 0x4CE000
    ".text\n");
