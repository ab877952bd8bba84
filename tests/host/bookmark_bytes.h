// The plug-in's 346-byte bookmark record, as bytes the host stores and the
// project file carries: build one for a test, or read one the host holds.
//
//   sim::BookmarkBytes(address, active, module, name, original)   a record body
//   sim::ReadBookmark(bytes)                                      its fields
//   sim::Fields(address, active, module, name, original)          the fields of a record the
//                                                                 plug-in made (size 1, type 0, its tag)
//   fields compare with ==, and a failed comparison prints them on one line
//   offsets: address 0, size 4, type 8, tag 12, active 16, module 17 (9),
//            name 26 (64), original disassembly 90 (256)
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

constexpr uint32_t kBookmarkTag = 0x4C4D440A;
constexpr uint32_t kOldBookmarkTag = 0x236D420A;
constexpr size_t kBookmarkSize = 346;

struct BookmarkFields {
    uint32_t address;
    uint32_t size;
    uint32_t type;
    uint32_t tag;
    uint8_t active;
    std::string module;     // each text up to its terminator, never past its field
    std::string name;
    std::string original;
};

std::vector<uint8_t> BookmarkBytes(uint32_t address, uint8_t active, const std::string& module,
                                   const std::string& name, const std::string& original);
BookmarkFields ReadBookmark(const uint8_t* bytes);
BookmarkFields Fields(uint32_t address, uint8_t active, const std::string& module, const std::string& name,
                      const std::string& original);
bool operator==(const BookmarkFields& a, const BookmarkFields& b);
void PrintTo(const BookmarkFields& fields, std::ostream* out);

}  // namespace sim
