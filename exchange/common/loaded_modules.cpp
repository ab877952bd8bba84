#include "exchange/common/loaded_modules.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "core/text.h"
#include "exchange/common/file_chooser.h"
#include "exchange/common/grow_array.h"

namespace zt {

namespace {

constexpr uint32_t kModuleAlignment = 0x10000;

// The parts of the PE header that identify a module, as they lie in memory.
constexpr uint32_t kNewHeaderOffset = 0x3C;   // e_lfanew in the DOS header
constexpr uint32_t kLargestNewHeaderOffset = 0x1000;
constexpr uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kDllFlag = 0x2000;          // IMAGE_FILE_DLL

#pragma pack(push, 1)
struct PeHeads {
    uint32_t signature;
    uint16_t machine;
    uint16_t sectionCount;
    uint32_t timestamp;
    uint32_t symbolTable;
    uint32_t symbolCount;
    uint16_t optionalHeaderSize;
    uint16_t characteristics;
    uint16_t magic;            // optional header from here
    uint8_t skipped1[54];
    uint32_t imageSize;        // 56 into the optional header
    uint32_t headersSize;
    uint32_t checksum;         // 64
    uint8_t skipped2[28];
    uint32_t exportDirectory;  // 96: the first data directory's address
    uint32_t exportSize;
};
#pragma pack(pop)
static_assert(offsetof(PeHeads, timestamp) == 8, "TimeDateStamp at 8");
static_assert(offsetof(PeHeads, characteristics) == 22, "Characteristics at 22");
static_assert(offsetof(PeHeads, imageSize) == 24 + 56, "SizeOfImage at 56 of the optional header");
static_assert(offsetof(PeHeads, checksum) == 24 + 64, "CheckSum at 64 of the optional header");
static_assert(offsetof(PeHeads, exportDirectory) == 24 + 96, "export directory at 96 of the optional header");

template <typename T>
bool ReadFrom(uint32_t address, T& value) {
    return HostReadMemory(&value, address, sizeof value, kHostReadMemoryMode) == sizeof value;
}

bool ReadHeads(uint32_t base, PeHeads& heads) {
    uint16_t dosMagic = 0;
    uint32_t offset = 0;
    if (!ReadFrom(base, dosMagic) || dosMagic != 0x5A4D || !ReadFrom(base + kNewHeaderOffset, offset) ||
        offset > kLargestNewHeaderOffset || !ReadFrom(base + offset, heads))
        return false;
    return heads.signature == kPeSignature && heads.magic == kPe32Magic &&
           heads.optionalHeaderSize >= offsetof(PeHeads, exportSize) + 4 - 24;
}

// The name the export directory gives, read a byte at a time up to its end
// or the field's size.
void ReadExportName(uint32_t base, const PeHeads& heads, char* file, size_t fileSize) {
    uint32_t nameAddress = 0;
    if (heads.exportDirectory == 0 || heads.exportSize < 16 || heads.exportDirectory >= heads.imageSize ||
        !ReadFrom(base + heads.exportDirectory + 12, nameAddress) || nameAddress == 0 ||
        nameAddress >= heads.imageSize)
        return;
    char name[kFilePathSize] = {};
    const uint32_t count = HostReadMemory(name, base + nameAddress, sizeof name - 1, kHostReadMemoryMode);
    if (count == 0 || strnlen(name, count) == count) return;   // unreadable or unterminated
    CopyText(file, fileSize, name);
}

// The file name of the debugged program's path, with its extension.
void ProgramFileName(char* file, size_t fileSize) {
    const char* path = reinterpret_cast<const char*>(HostGetValue(kHostValueExePath));
    if (!path) return;
    const char* const stop = path + strnlen(path, kFilePathSize);
    const char* start = path;
    for (const char* p = path; p < stop; ++p)
        if (*p == '\\' || *p == '/' || *p == ':') start = p + 1;
    CopyText(file, fileSize, start, static_cast<size_t>(stop - start));
}

}  // namespace

LoadedModules::~LoadedModules() { std::free(items_); }

bool LoadedModules::Scan(bool files) {
    count_ = 0;
    uint32_t step = 0;
    do {
        const HostModule* module = HostFindModule(step);
        if (!module) continue;
        if (count_ == 0 || items_[count_ - 1].base != module->base) {
            if (count_ == capacity_ && !GrowArray(items_, capacity_, 64)) return false;
            LoadedModule& item = items_[count_++];
            item.base = module->base;
            item.size = module->size;
            ModuleName(*module, item.name);
            item.file[0] = '\0';
            if (files) ReadModuleFileName(module->base, item.file, sizeof item.file);
        }
        // On past the module's end, at the step that holds it.
        const uint64_t end = uint64_t(module->base) + module->size;
        if (end > uint64_t(step) + kModuleAlignment && end <= 0x100000000ull)
            step = static_cast<uint32_t>((end - 1) & ~uint64_t(kModuleAlignment - 1));
    } while ((step += kModuleAlignment) != 0);
    return true;
}

const LoadedModule* LoadedModules::Named(const char* name, unsigned& count) const {
    return FindBy(name, [](const LoadedModule& module) { return module.name; }, count);
}

const LoadedModule* LoadedModules::WithFile(const char* file, unsigned& count) const {
    count = 0;
    return file[0] ? FindBy(file, [](const LoadedModule& module) { return module.file; }, count) : nullptr;
}

void ModuleName(const HostModule& module, char (&name)[kModuleFieldSize]) {
    CopyText(name, module.shortName, kHostModuleNameLength);
}

bool ReadModuleBuild(uint32_t base, ModuleBuild& build) {
    PeHeads heads;
    if (!ReadHeads(base, heads)) return false;
    build.timestamp = heads.timestamp;
    build.imageSize = heads.imageSize;
    build.checksum = heads.checksum;
    return true;
}

void ReadModuleFileName(uint32_t base, char* file, size_t fileSize) {
    file[0] = '\0';
    PeHeads heads;
    if (!ReadHeads(base, heads)) return;
    if (heads.characteristics & kDllFlag)
        ReadExportName(base, heads, file, fileSize);
    else
        ProgramFileName(file, fileSize);
}

}  // namespace zt
