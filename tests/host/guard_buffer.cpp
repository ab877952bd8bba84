#include "guard_buffer.h"

#include <windows.h>

#include <cstdlib>

namespace sim {

GuardBuffer::GuardBuffer(size_t size) : size_(size) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    size_t page = info.dwPageSize;
    size_t usable = (size + page - 1) / page * page;
    if (usable == 0) usable = page;
    base_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, usable + page, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (base_ == nullptr) std::abort();
    DWORD old;
    if (!VirtualProtect(base_ + usable, page, PAGE_NOACCESS, &old)) std::abort();
    data_ = base_ + usable - size;
}

GuardBuffer::~GuardBuffer() { VirtualFree(base_, 0, MEM_RELEASE); }

}  // namespace sim
