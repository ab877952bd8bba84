// The 602-byte record of an exchange file, written out here apart from the
// plug-in's own declaration so that the tests never take its layout on
// trust: build records and files for a test, or read what an export wrote.
//
//   sim::ExchangeBytes(relative, active, module, name, original, comment)
//                                  one record: the bookmark record's 346 bytes
//                                  (bookmark_bytes.h) with the relative address in
//                                  place of the address, then the comment (256)
//   sim::ReadExchange(bytes)       its fields, each text up to its terminator or field end
//   sim::ExchangeFile(records)     records one after the other, as a file holds them
//   sim::SplitExchangeFile(bytes)  the fields of every whole record of a file
#pragma once

#include "bookmark_bytes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

constexpr size_t kExchangeSize = 602;
constexpr size_t kExchangeCommentAt = 346, kExchangeCommentSize = 256;

struct ExchangeFields {
    BookmarkFields bookmark;   // bookmark.address is the relative address
    std::string comment;
};

std::vector<uint8_t> ExchangeBytes(uint32_t relative, uint8_t active, const std::string& module,
                                   const std::string& name, const std::string& original,
                                   const std::string& comment);
ExchangeFields ReadExchange(const uint8_t* bytes);
std::vector<uint8_t> ExchangeFile(const std::vector<std::vector<uint8_t>>& records);
std::vector<ExchangeFields> SplitExchangeFile(const std::vector<uint8_t>& bytes);

}  // namespace sim
