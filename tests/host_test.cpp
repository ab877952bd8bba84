// Checks of the simulated host itself, where a fault would let a fault of the
// plug-in pass unseen.
#include "host/plugin_fixture.h"

#include <cstring>

namespace {

class HostTest : public ::testing::Test {
protected:
    void SetUp() override { sim::ResetHost(); }
    void TearDown() override {
        for (const std::string& violation : sim::Violations()) ADD_FAILURE() << "host: " << violation;
        sim::ResetHost();
    }
};

struct Item {
    HostItemHeader header;
    uint32_t payload;
};

std::vector<uint32_t> Addresses(const HostSorted* sorted) {
    std::vector<uint32_t> addresses;
    for (const uint8_t* item : sim::SortedItems(sorted))
        addresses.push_back(reinterpret_cast<const HostItemHeader*>(item)->address);
    return addresses;
}

TEST_F(HostTest, SortedDataKeepsOrderRefusesOnDemandAndReportsUseAfterDestroy) {
    HostSorted sorted{};
    sim::FailCreateSorted();
    EXPECT_NE(0, HostCreateSorted(&sorted, "T", sizeof(Item), 4, nullptr, nullptr));
    EXPECT_FALSE(sim::IsLiveSorted(&sorted));
    ASSERT_EQ(0, HostCreateSorted(&sorted, "T", sizeof(Item), 4, nullptr, nullptr));

    sim::RefuseAddSorted(3);
    for (uint32_t address : {0x500u, 0x100u, 0x200u, 0xFFFFFFFFu, 0x300u}) {
        Item item{{address, 1, 0}, address};
        EXPECT_EQ(address != 0x200, HostAddSorted(&sorted, &item) != nullptr) << address;
    }
    Item replacement{{0x300, 1, 0}, 77};
    HostAddSorted(&sorted, &replacement);
    EXPECT_EQ((std::vector<uint32_t>{0x100, 0x300, 0x500, 0xFFFFFFFF}), Addresses(&sorted));
    EXPECT_EQ(77u, static_cast<Item*>(HostFindSorted(&sorted, 0x300))->payload);
    EXPECT_EQ(0x500u, static_cast<Item*>(HostSortedBySelection(&sorted, 2))->header.address);
    EXPECT_EQ(nullptr, HostSortedBySelection(&sorted, 4));
    EXPECT_EQ(nullptr, HostSortedBySelection(&sorted, -1));

    HostDeleteSortedRange(&sorted, 0x100, 0x2FF);
    EXPECT_EQ((std::vector<uint32_t>{0x300, 0x500, 0xFFFFFFFF}), Addresses(&sorted));
    HostDeleteSortedRange(&sorted, 0, 0xFFFFFFFF);
    EXPECT_TRUE(Addresses(&sorted).empty());

    HostDestroySorted(&sorted);
    EXPECT_EQ(nullptr, HostFindSorted(&sorted, 1));
    EXPECT_EQ(1u, sim::Violations().size());
    sim::ResetViolations();
}

TEST_F(HostTest, GuardBuffersAndDeliveredRecordBodiesEndAtAnInaccessiblePage) {
    for (size_t size : {size_t(8), size_t(346), size_t(4096), size_t(5000)}) {
        sim::GuardBuffer buffer(size);
        buffer.data()[0] = 1;
        buffer.data()[size - 1] = 2;
        MEMORY_BASIC_INFORMATION after;
        ASSERT_NE(0u, VirtualQuery(buffer.data() + size, &after, sizeof after));
        EXPECT_EQ(DWORD(PAGE_NOACCESS), after.Protect) << size;
    }

    static std::vector<uint8_t> seen;
    static const uint8_t* end = nullptr;
    auto handler = [](void*, int, unsigned long, unsigned long size, void* data) -> int {
        seen.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        end = static_cast<uint8_t*>(data) + size;
        return 7;
    };
    EXPECT_EQ(7, sim::DeliverRecord(handler, nullptr, 1, 0x1234, {1, 2, 3}));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), seen);
    MEMORY_BASIC_INFORMATION after;
    ASSERT_NE(0u, VirtualQuery(end, &after, sizeof after));
    EXPECT_EQ(DWORD(PAGE_NOACCESS), after.Protect);
}

TEST_F(HostTest, PaneHandleLivesAtTheHostsFixedAddress) {
    ASSERT_EQ(sim::kPaneHandleAddress, reinterpret_cast<uintptr_t>(sim::PaneHandleSlot()));
    HWND pane = sim::CreatePaneWindow(sim::CreateMainWindow());

    // As the plug-in reads it: from this process, through its memory.
    auto readSlot = [] {
        uint32_t value = 0;
        HANDLE self = OpenProcess(PROCESS_VM_READ, FALSE, GetCurrentProcessId());
        ReadProcessMemory(self, reinterpret_cast<void*>(sim::kPaneHandleAddress), &value, 4, nullptr);
        CloseHandle(self);
        return value;
    };
    EXPECT_EQ(uint32_t(reinterpret_cast<uintptr_t>(pane)), readSlot());
    sim::WithdrawPaneHandle();
    EXPECT_EQ(0u, readSlot());
    sim::PublishPaneHandle();
    sim::DestroyMainWindow();
    EXPECT_EQ(0u, readSlot());
    sim::ResetCpuPane();
}

TEST_F(HostTest, ModuleShortNameFillsTheFieldWithoutTerminator) {
    sim::AddModule(0x400000, 0x10000, "KERNEL32X");
    const HostModule* module = HostFindModule(0x40FFFF);
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(0, std::memcmp("KERNEL32", module->shortName, 8));
    EXPECT_NE('\0', module->shortName[8]);   // the byte after the field is not a terminator
    EXPECT_EQ(nullptr, HostFindModule(0x410000));
}

}  // namespace
