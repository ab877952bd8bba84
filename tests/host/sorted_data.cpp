#include "sorted_data.h"

#include "guard_buffer.h"
#include "violations.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>

namespace sim {
namespace {

constexpr uint32_t kMarker = 0x4D49535A;  // "ZSIM"

struct Store {
    std::string name;
    int itemSize = 0;
    // Ascending by header address. Each item ends at a no-access page and is
    // released when deleted, so reading past an item or keeping one beyond its
    // deletion faults at once.
    std::vector<std::unique_ptr<GuardBuffer>> items;
    // Lean tables (the benchmark's) keep plain copies in a tree instead:
    // every call costs O(log n) of the host, as in the real debugger.
    bool lean = false;
    std::map<uint32_t, std::unique_ptr<uint8_t[]>> leanItems;
    // The row last asked for by HostSortedBySelection, so that the rows one
    // after another cost O(1) each, as in the real debugger's array; -1 after
    // any change of the items.
    int cursorRow = -1;
    std::map<uint32_t, std::unique_ptr<uint8_t[]>>::iterator cursor;
};

std::vector<std::unique_ptr<Store>> g_stores;
std::vector<SortedCreation> g_creations;
HostSorted* g_lastCreated = nullptr;
bool g_failCreate = false;
int g_refuseAddCountdown = 0;
bool g_leanTables = false;

const HostItemHeader& HeaderOf(const uint8_t* item) { return *reinterpret_cast<const HostItemHeader*>(item); }

bool Covers(const uint8_t* item, uint32_t address) {
    const HostItemHeader& h = HeaderOf(item);
    return h.address <= address && uint64_t(address) < uint64_t(h.address) + h.size;
}

// The store behind a descriptor, or null when the descriptor was never
// created (or was destroyed). Reports the misuse under the caller's name.
Store* StoreOf(const HostSorted* sorted, const char* caller) {
    if (sorted == nullptr) {
        ReportViolation(std::string(caller) + " called with a null sorted data");
        return nullptr;
    }
    uint32_t marker;
    Store* store;
    std::memcpy(&marker, sorted->hostOwned, 4);
    std::memcpy(&store, sorted->hostOwned + 4, sizeof store);
    bool live = marker == kMarker &&
                std::any_of(g_stores.begin(), g_stores.end(), [&](const auto& s) { return s.get() == store; });
    if (!live) {
        ReportViolation(std::string(caller) + " on sorted data that was not created or is destroyed");
        return nullptr;
    }
    return store;
}

// The lean table's item that covers address, or end().
auto LeanCover(Store& store, uint32_t address) {
    auto at = store.leanItems.upper_bound(address);
    if (at == store.leanItems.begin()) return store.leanItems.end();
    --at;
    return Covers(at->second.get(), address) ? at : store.leanItems.end();
}

}  // namespace

std::vector<const uint8_t*> SortedItems(const HostSorted* sorted, size_t limit) {
    std::vector<const uint8_t*> result;
    if (Store* store = StoreOf(sorted, "SortedItems")) {
        for (const auto& item : store->items) {
            if (result.size() == limit) break;
            result.push_back(item->data());
        }
        for (const auto& entry : store->leanItems) {
            if (result.size() == limit) break;
            result.push_back(entry.second.get());
        }
    }
    return result;
}

void UseLeanTables(bool lean) { g_leanTables = lean; }
bool LeanTables() { return g_leanTables; }

const std::vector<SortedCreation>& SortedCreations() { return g_creations; }
HostSorted* LastCreatedSorted() { return g_lastCreated; }

void FailCreateSorted() { g_failCreate = true; }
void RefuseAddSorted(int nth) { g_refuseAddCountdown = nth; }

bool IsLiveSorted(const HostSorted* sorted) {
    if (sorted == nullptr) return false;
    uint32_t marker;
    Store* store;
    std::memcpy(&marker, sorted->hostOwned, 4);
    std::memcpy(&store, sorted->hostOwned + 4, sizeof store);
    return marker == kMarker &&
           std::any_of(g_stores.begin(), g_stores.end(), [&](const auto& s) { return s.get() == store; });
}

void ResetSortedData() {
    g_stores.clear();
    g_creations.clear();
    g_lastCreated = nullptr;
    g_failCreate = false;
    g_refuseAddCountdown = 0;
    g_leanTables = false;
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostCreateSorted(HostSorted* sorted, const char* name, int itemSize, int initialCount,
                                        void* sortFunction, void* destroyFunction) {
    SortedCreation creation{sorted, name ? name : "", itemSize, initialCount, sortFunction, destroyFunction, -1};
    if (g_failCreate || sorted == nullptr || itemSize < int(sizeof(HostItemHeader))) {
        g_failCreate = false;
        g_creations.push_back(creation);
        return -1;
    }
    if (IsLiveSorted(sorted)) ReportViolation("HostCreateSorted on sorted data that is already created");
    auto store = std::make_unique<Store>();
    store->name = creation.name;
    store->itemSize = itemSize;
    store->lean = g_leanTables;
    std::memset(sorted, 0, sizeof *sorted);
    Store* raw = store.get();
    std::memcpy(sorted->hostOwned, &kMarker, 4);
    std::memcpy(sorted->hostOwned + 4, &raw, sizeof raw);
    g_stores.push_back(std::move(store));
    g_lastCreated = sorted;
    creation.result = 0;
    g_creations.push_back(creation);
    return 0;
}

extern "C" void* __cdecl HostAddSorted(HostSorted* sorted, const void* item) {
    Store* store = StoreOf(sorted, "HostAddSorted");
    uint32_t address = item ? HeaderOf(static_cast<const uint8_t*>(item)).address : 0;
    bool refuse = false;
    if (g_refuseAddCountdown > 0 && --g_refuseAddCountdown == 0) refuse = true;
    if (store == nullptr || item == nullptr || refuse) return nullptr;
    if (store->lean) {
        store->cursorRow = -1;
        std::unique_ptr<uint8_t[]>& slot = store->leanItems[address];
        slot.reset(new uint8_t[size_t(store->itemSize)]);
        std::memcpy(slot.get(), item, store->itemSize);
        return slot.get();
    }
    auto copy = std::make_unique<GuardBuffer>(size_t(store->itemSize));
    std::memcpy(copy->data(), item, store->itemSize);
    auto& items = store->items;
    auto at = std::find_if(items.begin(), items.end(),
                           [&](const auto& existing) { return HeaderOf(existing->data()).address >= address; });
    uint8_t* stored = copy->data();
    if (at != items.end() && HeaderOf((*at)->data()).address == address) {
        *at = std::move(copy);
    } else {
        items.insert(at, std::move(copy));
    }
    return stored;
}

extern "C" void* __cdecl HostFindSorted(HostSorted* sorted, uint32_t address) {
    uint8_t* found = nullptr;
    if (Store* store = StoreOf(sorted, "HostFindSorted")) {
        if (store->lean) {
            auto at = LeanCover(*store, address);
            return at == store->leanItems.end() ? nullptr : at->second.get();
        }
        for (auto& item : store->items) {
            if (Covers(item->data(), address)) {
                found = item->data();
                break;
            }
        }
    }
    return found;
}

extern "C" void __cdecl HostDeleteSorted(HostSorted* sorted, uint32_t address) {
    if (Store* store = StoreOf(sorted, "HostDeleteSorted")) {
        store->cursorRow = -1;
        auto lean = LeanCover(*store, address);
        if (lean != store->leanItems.end()) store->leanItems.erase(lean);
        auto& items = store->items;
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [&](const auto& item) { return Covers(item->data(), address); }),
                    items.end());
    }
}

extern "C" void __cdecl HostDeleteSortedRange(HostSorted* sorted, uint32_t first, uint32_t last) {
    if (Store* store = StoreOf(sorted, "HostDeleteSortedRange")) {
        store->cursorRow = -1;
        auto& lean = store->leanItems;
        for (auto at = lean.begin(); at != lean.end();) {
            const HostItemHeader& h = HeaderOf(at->second.get());
            uint64_t end = uint64_t(h.address) + std::max<uint32_t>(h.size, 1);
            at = h.address <= last && end > first ? lean.erase(at) : std::next(at);
        }
        auto& items = store->items;
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [&](const auto& item) {
                                       const HostItemHeader& h = HeaderOf(item->data());
                                       uint64_t end = uint64_t(h.address) + std::max<uint32_t>(h.size, 1);
                                       return h.address <= last && end > first;
                                   }),
                    items.end());
    }
}

extern "C" void __cdecl HostDestroySorted(HostSorted* sorted) {
    if (Store* store = StoreOf(sorted, "HostDestroySorted")) {
        g_stores.erase(std::find_if(g_stores.begin(), g_stores.end(), [&](const auto& s) { return s.get() == store; }));
        std::memset(sorted->hostOwned, 0, 8);
        if (g_lastCreated == sorted) g_lastCreated = nullptr;
    }
}

extern "C" void* __cdecl HostSortedBySelection(HostSorted* sorted, int row) {
    uint8_t* found = nullptr;
    if (Store* store = StoreOf(sorted, "HostSortedBySelection")) {
        if (row >= 0 && row < int(store->items.size())) found = store->items[row]->data();
        if (row >= 0 && row < int(store->leanItems.size())) {
            const bool ahead = store->cursorRow >= 0 && row >= store->cursorRow;
            store->cursor = ahead ? std::next(store->cursor, row - store->cursorRow)
                                  : std::next(store->leanItems.begin(), row);
            store->cursorRow = row;
            found = store->cursor->second.get();
        }
    }
    return found;
}
