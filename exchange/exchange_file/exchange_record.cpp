#include "exchange/exchange_file/exchange_record.h"

#include <cstring>

namespace zt {

ExchangeRecord NewExchangeRecord() {
    ExchangeRecord record;
    std::memset(&record, 0, sizeof record);
    record.bookmark = NewBookmarkRecord(0);
    return record;
}

bool IsPlaceholderName(const char (&name)[kNameFieldSize]) {
    return std::strncmp(name, kUnnamed, sizeof name) == 0 ||
           std::strncmp(name, kModuleChangedMarker, sizeof name) == 0;
}

}  // namespace zt
