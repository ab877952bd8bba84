#include "exchange_bytes.h"

#include <algorithm>
#include <cstring>

namespace sim {

std::vector<uint8_t> ExchangeBytes(uint32_t relative, uint8_t active, const std::string& module,
                                   const std::string& name, const std::string& original,
                                   const std::string& comment) {
    std::vector<uint8_t> bytes = BookmarkBytes(relative, active, module, name, original);
    bytes.resize(kExchangeSize, 0);
    std::memcpy(&bytes[kExchangeCommentAt], comment.data(), std::min(comment.size(), kExchangeCommentSize - 1));
    return bytes;
}

ExchangeFields ReadExchange(const uint8_t* bytes) {
    const char* comment = reinterpret_cast<const char*>(bytes + kExchangeCommentAt);
    return {ReadBookmark(bytes), std::string(comment, strnlen(comment, kExchangeCommentSize))};
}

std::vector<uint8_t> ExchangeFile(const std::vector<std::vector<uint8_t>>& records) {
    std::vector<uint8_t> bytes;
    for (const std::vector<uint8_t>& record : records) bytes.insert(bytes.end(), record.begin(), record.end());
    return bytes;
}

std::vector<ExchangeFields> SplitExchangeFile(const std::vector<uint8_t>& bytes) {
    std::vector<ExchangeFields> records;
    for (size_t at = 0; at + kExchangeSize <= bytes.size(); at += kExchangeSize)
        records.push_back(ReadExchange(bytes.data() + at));
    return records;
}

}  // namespace sim
