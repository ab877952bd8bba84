// The host's sorted data tables: fixed-size items, each starting with a
// HostItemHeader, kept in ascending address order. The host's bookkeeping
// lives here; HostSorted's opaque bytes hold only a marker and a handle.
//
//   sim::SortedItems(sorted)        the items in address order (host copies)
//   sim::SortedItems(sorted, limit) the first `limit` of them
//   sim::SortedCreations()          every HostCreateSorted call, in order
//   sim::LastCreatedSorted()        the descriptor of the most recent successful create
//   sim::FailCreateSorted()         the next HostCreateSorted fails (returns -1)
//   sim::RefuseAddSorted(n)         the n-th HostAddSorted from now (1 = next) returns 0
//   sim::IsLiveSorted(sorted)       created and not yet destroyed
//
// Every item ends at a no-access page and its memory is released when it is
// deleted: a read past an item's end, or through a pointer kept after its
// deletion, crashes the test.
//
// Lean tables (sim::UseLeanTables(true) before HostCreateSorted; for the
// benchmark, where 100,000 guard pages cost too much address space) keep
// plain copies in a tree: no guard pages, every call O(log n), and
// HostSortedBySelection O(1) for the rows one after another.
//
// HostDeleteSortedRange(first, last) removes the items that overlap
// [first, last] with last included, so (0, 0xFFFFFFFF) empties a table.
#pragma once

#include "host/host.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct SortedCreation {
    HostSorted* sorted;
    std::string name;
    int itemSize;
    int initialCount;
    void* sortFunction;
    void* destroyFunction;
    int result;
};

std::vector<const uint8_t*> SortedItems(const HostSorted* sorted, size_t limit = SIZE_MAX);
const std::vector<SortedCreation>& SortedCreations();
HostSorted* LastCreatedSorted();
void FailCreateSorted();
void RefuseAddSorted(int nth);
bool IsLiveSorted(const HostSorted* sorted);
void UseLeanTables(bool lean);
bool LeanTables();

void ResetSortedData();

}  // namespace sim
