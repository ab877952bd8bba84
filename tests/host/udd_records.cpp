#include "udd_records.h"

#include "guard_buffer.h"
#include "host/host.h"

#include <cstring>

namespace sim {
namespace {

std::vector<SavedRecord> g_saved;
int g_failCountdown = 0;

}  // namespace

const std::vector<SavedRecord>& SavedRecords() { return g_saved; }
void FailSaveRecord(int nth) { g_failCountdown = nth; }

int DeliverRecord(UddRecordHandler handler, void* module, int isMainModule, uint32_t tag,
                  const std::vector<uint8_t>& body) {
    GuardBuffer buffer(body.size());
    if (!body.empty()) std::memcpy(buffer.data(), body.data(), body.size());
    return handler(module, isMainModule, tag, static_cast<unsigned long>(body.size()), buffer.data());
}

void ResetUddRecords() {
    g_saved.clear();
    g_failCountdown = 0;
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostSaveUddRecord(uint32_t tag, uint32_t size, const void* body) {
    SavedRecord record{tag, size, {}, true};
    if (body != nullptr) {
        const uint8_t* bytes = static_cast<const uint8_t*>(body);
        record.body.assign(bytes, bytes + size);
    }
    if (g_failCountdown > 0 && --g_failCountdown == 0) record.written = false;
    g_saved.push_back(record);
    return record.written ? 1 : 0;
}
