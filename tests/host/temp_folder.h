// A folder of its own in the Wine prefix's temporary directory for the files
// a test makes; removed with everything in it when the object goes.
//
//   sim::TempFolder folder;     folder.Path("name.dat") is a full Windows path inside it
//   sim::TempFolder folder(parent)     the same inside the folder `parent`
//   folder.Names()                     the names in it, files and folders, sorted
//   sim::WriteFileBytes(path, bytes)   creates or replaces the file
//   sim::ReadFileBytes(path)           its bytes; nullopt when it does not exist
//   sim::FillDisk(path)                writes the file until its file system is full; true when it is
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

class TempFolder {
public:
    TempFolder();
    explicit TempFolder(const std::string& parent);
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string Path(const std::string& name) const { return folder_ + "\\" + name; }
    std::vector<std::string> Names() const;

private:
    std::string folder_;
};

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::optional<std::vector<uint8_t>> ReadFileBytes(const std::string& path);
bool FillDisk(const std::string& path);

}  // namespace sim
