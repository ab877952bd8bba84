// The host's project (.udd) file: records the plug-in saves, and records
// handed back to it as the host reads a project.
//
//   sim::SavedRecords()                      every HostSaveUddRecord call (failed ones included)
//   sim::FailSaveRecord(n)                   the n-th HostSaveUddRecord from now (1 = next) returns 0
//   sim::DeliverRecord(fn, module, isMain, tag, body)
//        calls the plug-in's record handler with the body in a GuardBuffer that
//        ends at a no-access page, so any read past the body crashes; returns its result
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct SavedRecord {
    uint32_t tag;
    uint32_t size;
    std::vector<uint8_t> body;
    bool written;   // false when the host refused it
};

typedef int(__cdecl* UddRecordHandler)(void* module, int isMainModule, unsigned long tag, unsigned long size,
                                       void* data);

const std::vector<SavedRecord>& SavedRecords();
void FailSaveRecord(int nth);
int DeliverRecord(UddRecordHandler handler, void* module, int isMainModule, uint32_t tag,
                  const std::vector<uint8_t>& body);

void ResetUddRecords();

}  // namespace sim
