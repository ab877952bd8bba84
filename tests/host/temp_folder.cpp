#include "temp_folder.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

std::string TempPath() {
    char temp[MAX_PATH];
    DWORD length = GetTempPathA(sizeof temp, temp);
    return std::string(temp, length > 0 ? length - 1 : 0);   // without its trailing backslash
}

}  // namespace

TempFolder::TempFolder() : TempFolder(TempPath()) {}

TempFolder::TempFolder(const std::string& parent) {
    static unsigned made = 0;
    char name[64];
    std::snprintf(name, sizeof name, "zentrilo-%lu-%u", GetCurrentProcessId(), ++made);
    folder_ = parent + "\\" + name;
    CreateDirectoryA(folder_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    for (const std::string& name : Names()) {
        if (!DeleteFileA(Path(name).c_str())) RemoveDirectoryA(Path(name).c_str());
    }
    RemoveDirectoryA(folder_.c_str());
}

std::vector<std::string> TempFolder::Names() const {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder_ + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = bytes.empty() || std::fwrite(bytes.data(), bytes.size(), 1, file) == 1;
    written = std::fflush(file) == 0 && written;
    return std::fclose(file) == 0 && written;
}

std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return bytes;
}

bool FillDisk(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    static const char zeros[4096] = {};
    DWORD error = ERROR_SUCCESS;
    // Big pieces first, then single bytes for what is left of the last
    // block; never more than 1 MiB, should the file system be a large one.
    DWORD total = 0;
    for (DWORD piece : {DWORD{sizeof zeros}, DWORD{1}}) {
        DWORD written;
        while (total < (1u << 20) && WriteFile(file, zeros, piece, &written, nullptr) && written == piece)
            total += written;
        error = GetLastError();
    }
    CloseHandle(file);
    return error == ERROR_DISK_FULL;
}

}  // namespace sim
