#include "exchange/common/preferred_base.h"

#include <windows.h>

#include <cstring>

#include "core/pe_image.h"
#include "core/text.h"
#include "exchange/common/file_chooser.h"
#include "exchange/common/loaded_modules.h"
#include "host/host.h"

namespace zt {

namespace {

// The headers lie in the file's first bytes; a header further in is not
// looked for.
constexpr DWORD kHeadBytes = 4096;
constexpr uint32_t kModuleAlignment = 0x10000;

bool IsPathSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// The file's header, when it describes this build of the module.
bool BaseFromFile(const char* path, const ModuleBuild& build, uint32_t& preferred) {
    const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    uint8_t head[kHeadBytes];
    DWORD count = 0;
    const bool read = ReadFile(file, head, sizeof head, &count, nullptr) != 0;
    CloseHandle(file);
    PeFacts facts;
    if (!read || !ReadPeFacts(head, count, &facts) || facts.timeDateStamp != build.timestamp ||
        facts.sizeOfImage != build.imageSize)
        return false;
    // Windows loads no image at a base that is not 64 KB aligned or that
    // leaves no room for it below 4 GB.
    if (facts.imageBase % kModuleAlignment != 0 || uint64_t(facts.imageBase) + facts.sizeOfImage > 0x100000000ull)
        return false;
    preferred = facts.imageBase;
    return true;
}

// The folder's first folderLength characters, a separator unless they end in
// one, and the file name, into path; false when that does not fit.
bool JoinPath(char (&path)[kFilePathSize], const char* folder, size_t folderLength, const char* file) {
    const size_t separator = folderLength > 0 && IsPathSeparator(folder[folderLength - 1]) ? 0 : 1;
    const size_t fileLength = std::strlen(file);
    if (folderLength + separator + fileLength >= kFilePathSize) return false;
    std::memcpy(path, folder, folderLength);
    if (separator) path[folderLength] = '\\';
    std::memcpy(path + folderLength + separator, file, fileLength + 1);
    return true;
}

}  // namespace

bool FindPreferredBase(uint32_t moduleBase, uint32_t& preferred) {
    preferred = moduleBase;
    ModuleBuild build;
    char file[kFilePathSize];
    ReadModuleFileName(moduleBase, file, sizeof file);
    if (!ReadModuleBuild(moduleBase, build) || !file[0]) return false;
    // The name comes from the debuggee's memory: a bare file name only.
    for (const char* c = file; *c; ++c)
        if (IsPathSeparator(*c)) return false;

    char path[kFilePathSize];
    const char* exePath = reinterpret_cast<const char*>(HostGetValue(kHostValueExePath));
    if (exePath) {
        const size_t length = strnlen(exePath, kFilePathSize);
        size_t folder = length;
        while (folder > 0 && !IsPathSeparator(exePath[folder - 1])) --folder;
        // The debugged file itself, under the name the module gives.
        if (length < kFilePathSize && lstrcmpiA(exePath + folder, file) == 0) {
            CopyText(path, sizeof path, exePath, length);
            if (BaseFromFile(path, build, preferred)) return true;
        }
        if (folder > 0 && JoinPath(path, exePath, folder, file) && BaseFromFile(path, build, preferred))
            return true;
    }
    char system[kFilePathSize];
    UINT length = GetSystemDirectoryA(system, sizeof system);
    if (length > 0 && length < sizeof system && JoinPath(path, system, length, file) &&
        BaseFromFile(path, build, preferred))
        return true;
    length = GetWindowsDirectoryA(system, sizeof system);
    if (length > 0 && length < sizeof system && JoinPath(path, system, length, file) &&
        BaseFromFile(path, build, preferred))
        return true;
    preferred = moduleBase;
    return false;
}

}  // namespace zt
