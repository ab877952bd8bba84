// What an import does with one bookmark it read, whatever the file's format.
#pragma once

#include <cstdint>

#include "exchange/exchange_file/exchange_record.h"

namespace zt {

// Makes or keeps the bookmark at address and gives it the record's name,
// original disassembly, module and active flag, the record's comment as the
// debugger's comment and, when label mapping is on, its name as the label;
// a bookmark whose module is no longer the one at the address is disabled
// and marked. False when the bookmark has no record to fill.
bool ApplyRecord(const ExchangeRecord& record, uint32_t address);

}  // namespace zt
