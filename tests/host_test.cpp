// Checks of the simulated host itself, where a fault would hide faults of
// the plug-in, and a smoke test of loading the plug-in.
#include "host/plugin_fixture.h"

#include <cstdio>
#include <cstring>
#include <cwchar>

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

Item MakeItem(uint32_t address, uint32_t size, uint32_t payload) { return {{address, size, 0}, payload}; }

std::vector<uint32_t> Addresses(const HostSorted* sorted) {
    std::vector<uint32_t> addresses;
    for (const uint8_t* item : sim::SortedItems(sorted)) {
        addresses.push_back(reinterpret_cast<const HostItemHeader*>(item)->address);
    }
    return addresses;
}

std::string Disassemble(const std::vector<uint8_t>& bytes, uint32_t address, uint32_t* length = nullptr) {
    HostDisasm result;
    uint32_t n = HostDisassemble(bytes.data(), uint32_t(bytes.size()), address, nullptr, &result, 4, 0);
    if (length) *length = n;
    return result.text;
}

TEST_F(HostTest, SortedDataKeepsAddressOrderAndReplacesSameAddress) {
    HostTable table{};
    ASSERT_EQ(0, HostCreateSorted(&table.sorted, "T", sizeof(Item), 4, nullptr, nullptr));
    for (uint32_t address : {0x500u, 0x100u, 0xFFFFFFFFu, 0x300u}) {
        Item item = MakeItem(address, 1, address);
        ASSERT_NE(nullptr, HostAddSorted(&table.sorted, &item));
    }
    Item replacement = MakeItem(0x300, 1, 77);
    HostAddSorted(&table.sorted, &replacement);

    EXPECT_EQ((std::vector<uint32_t>{0x100, 0x300, 0x500, 0xFFFFFFFF}), Addresses(&table.sorted));
    EXPECT_EQ(77u, static_cast<Item*>(HostFindSorted(&table.sorted, 0x300))->payload);
    EXPECT_EQ(0x500u, static_cast<Item*>(HostSortedBySelection(&table.sorted, 2))->header.address);
    EXPECT_EQ(nullptr, HostSortedBySelection(&table.sorted, 4));
    EXPECT_EQ(nullptr, HostSortedBySelection(&table.sorted, -1));
    EXPECT_EQ(0, table.sorted.selectedRow);
}

TEST_F(HostTest, SortedLookupCoversItemExtentAndIsWritable) {
    HostSorted sorted{};
    HostCreateSorted(&sorted, "T", sizeof(Item), 4, nullptr, nullptr);
    Item wide = MakeItem(0x1000, 4, 1);
    Item one = MakeItem(0x2000, 1, 2);
    HostAddSorted(&sorted, &wide);
    HostAddSorted(&sorted, &one);

    EXPECT_NE(nullptr, HostFindSorted(&sorted, 0x1003));
    EXPECT_EQ(nullptr, HostFindSorted(&sorted, 0x1004));
    EXPECT_EQ(nullptr, HostFindSorted(&sorted, 0x2001));
    static_cast<Item*>(HostFindSorted(&sorted, 0x2000))->payload = 99;
    EXPECT_EQ(99u, reinterpret_cast<const Item*>(sim::SortedItems(&sorted)[1])->payload);

    HostDeleteSorted(&sorted, 0x1002);
    EXPECT_EQ((std::vector<uint32_t>{0x2000}), Addresses(&sorted));
}

TEST_F(HostTest, SortedRangeDeleteIncludesLastAddressSoFullRangeEmpties) {
    HostSorted sorted{};
    HostCreateSorted(&sorted, "T", sizeof(Item), 4, nullptr, nullptr);
    for (uint32_t address : {0x0u, 0x10u, 0x20u, 0xFFFFFFFFu}) {
        Item item = MakeItem(address, 1, 0);
        HostAddSorted(&sorted, &item);
    }
    HostDeleteSortedRange(&sorted, 0x10, 0x1F);
    EXPECT_EQ((std::vector<uint32_t>{0x0, 0x20, 0xFFFFFFFF}), Addresses(&sorted));
    HostDeleteSortedRange(&sorted, 0, 0xFFFFFFFF);
    EXPECT_TRUE(Addresses(&sorted).empty());
}

TEST_F(HostTest, SortedFailuresAndMisuse) {
    HostSorted sorted{};
    sim::FailCreateSorted();
    EXPECT_NE(0, HostCreateSorted(&sorted, "T", sizeof(Item), 4, nullptr, nullptr));
    EXPECT_FALSE(sim::IsLiveSorted(&sorted));
    ASSERT_EQ(0, HostCreateSorted(&sorted, "T", sizeof(Item), 4, nullptr, nullptr));

    sim::RefuseAddSorted(2);
    Item a = MakeItem(1, 1, 0), b = MakeItem(2, 1, 0), c = MakeItem(3, 1, 0);
    EXPECT_NE(nullptr, HostAddSorted(&sorted, &a));
    EXPECT_EQ(nullptr, HostAddSorted(&sorted, &b));
    EXPECT_NE(nullptr, HostAddSorted(&sorted, &c));
    EXPECT_EQ((std::vector<uint32_t>{1, 3}), Addresses(&sorted));

    HostDestroySorted(&sorted);
    EXPECT_EQ(nullptr, HostFindSorted(&sorted, 1));
    EXPECT_EQ(1u, sim::Violations().size());
    sim::ResetViolations();
}

TEST_F(HostTest, GuardBufferEndsAtAnInaccessiblePage) {
    for (size_t size : {size_t(8), size_t(346), size_t(4096), size_t(5000)}) {
        sim::GuardBuffer buffer(size);
        buffer.data()[0] = 1;
        buffer.data()[size - 1] = 2;
        MEMORY_BASIC_INFORMATION after;
        ASSERT_NE(0u, VirtualQuery(buffer.data() + size, &after, sizeof after));
        EXPECT_EQ(DWORD(PAGE_NOACCESS), after.Protect) << size;
    }
}

TEST_F(HostTest, DeliveredRecordBodyEndsAtTheGuardPage) {
    static std::vector<uint8_t> seen;
    static uintptr_t end = 0;
    auto handler = [](void*, int, unsigned long, unsigned long size, void* data) -> int {
        seen.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size);
        end = reinterpret_cast<uintptr_t>(data) + size;
        return 7;
    };
    EXPECT_EQ(7, sim::DeliverRecord(handler, nullptr, 1, 0x1234, {1, 2, 3}));
    EXPECT_EQ((std::vector<uint8_t>{1, 2, 3}), seen);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    EXPECT_EQ(0u, end % info.dwPageSize);
}

TEST_F(HostTest, PaneHandleLivesAtTheHostsFixedAddress) {
    ASSERT_EQ(sim::kPaneHandleAddress, reinterpret_cast<uintptr_t>(sim::PaneHandleSlot()));
    HWND main = sim::CreateMainWindow();
    HWND pane = sim::CreatePaneWindow(main);

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

TEST_F(HostTest, DisassemblerTextFollowsTheBytesAndTheirCount) {
    uint32_t length = 0;
    EXPECT_EQ("PUSH EBP", Disassemble({0x55}, 0x401000));
    EXPECT_EQ("MOV EBP,ESP", Disassemble({0x8B, 0xEC, 0x90}, 0x401000, &length));
    EXPECT_EQ(2u, length);
    EXPECT_EQ("CALL 00401015", Disassemble({0xE8, 0x10, 0, 0, 0}, 0x401000));
    EXPECT_EQ("JMP SHORT 00400FF2", Disassemble({0xEB, 0xF0}, 0x401000));
    EXPECT_EQ("MOV EAX,12345678", Disassemble({0xB8, 0x78, 0x56, 0x34, 0x12}, 0));
    EXPECT_EQ("DB 0F", Disassemble({0x0F}, 0));
    EXPECT_EQ("???", Disassemble({0xE8, 0x10, 0, 0}, 0x401000, &length));
    EXPECT_EQ(0u, length);
    EXPECT_EQ("???", Disassemble({}, 0));
}

TEST_F(HostTest, ReadMemoryHonoursBlockEndAndReadableLimit) {
    sim::AddBlock(0x401000, {0x55, 0x8B, 0xEC, 0xC3});
    uint8_t buffer[16] = {};
    EXPECT_EQ(2u, HostReadMemory(buffer, 0x401002, 16, 3));
    EXPECT_EQ(0xECu, buffer[0]);
    sim::LimitReadable(0x401000, 1);
    EXPECT_EQ(1u, HostReadMemory(buffer, 0x401000, 4, 3));
    EXPECT_EQ(0u, HostReadMemory(buffer, 0x401001, 1, 3));
    EXPECT_EQ(0u, HostReadMemory(buffer, 0x500000, 1, 3));
    EXPECT_NE(nullptr, HostFindMemory(0x401003));
    EXPECT_EQ(nullptr, HostFindMemory(0x401004));

    sim::PatchMemory(0x401000, {0x90});
    sim::LimitReadable(0x401000, 4);
    HostReadMemory(buffer, 0x401000, 1, 3);
    HostDisasm result;
    HostDisassemble(buffer, 1, 0x401000, nullptr, &result, 4, 0);
    EXPECT_STREQ("NOP", result.text);
}

TEST_F(HostTest, ModuleShortNameFillsTheFieldWithoutTerminator) {
    sim::AddModule(0x400000, 0x10000, "KERNEL32X");
    const HostModule* module = HostFindModule(0x40FFFF);
    ASSERT_NE(nullptr, module);
    EXPECT_EQ(0, std::memcmp("KERNEL32", module->shortName, 8));
    EXPECT_NE('\0', module->shortName[8]);   // the byte after the field is not a terminator
    EXPECT_EQ(nullptr, HostFindModule(0x410000));
}

// A table window procedure as a plug-in writes it: WM_DESTROY goes to the host.
LRESULT CALLBACK TableProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
HostTable g_table;

LRESULT CALLBACK TableProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        HostPaintTable(window, &g_table, g_table.cellText);
        return 0;
    }
    if (message == WM_DESTROY) HostTableFunction(&g_table, window, message, wParam, lParam);
    return DefMDIChildProcA(window, message, wParam, lParam);
}

int __cdecl AddressCell(char* text, char* mask, int* attribute, void* item, int column) {
    uint32_t address = static_cast<HostItemHeader*>(item)->address;
    mask[0] = char(column + 1);
    *attribute = column;
    return std::snprintf(text, 256, "%X/%d", unsigned(address), column);
}

TEST_F(HostTest, TableWindowIsCreatedOnceAndForgottenWhenDestroyed) {
    HWND main = sim::CreateMainWindow();
    std::memset(&g_table, 0, sizeof g_table);
    char className[32] = "";
    ASSERT_EQ(0, HostRegisterClass(className, nullptr, GetModuleHandleA(nullptr), TableProc));
    EXPECT_STREQ("ZtTable1", className);
    ASSERT_EQ(0, HostCreateSorted(&g_table.sorted, "T", sizeof(Item), 4, nullptr, nullptr));
    for (uint32_t address : {0x20u, 0x10u}) {
        Item item = MakeItem(address, 1, 0);
        HostAddSorted(&g_table.sorted, &item);
    }
    g_table.columnCount = 2;
    g_table.cellText = AddressCell;

    HWND window = HostQuickTableWindow(&g_table, 3, 5, className, "Tessivor");
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(window, g_table.window);
    EXPECT_EQ(sim::MdiClient(), GetParent(window));
    EXPECT_EQ(window, HostQuickTableWindow(&g_table, 3, 5, className, "Tessivor"));
    EXPECT_FALSE(sim::QuickTableCalls().back().created);

    InvalidateRect(window, nullptr, FALSE);
    sim::PaintNow(window);
    EXPECT_FALSE(sim::RepaintPending(window));
    ASSERT_EQ(2, sim::PaintedRows());
    EXPECT_EQ("10/1", sim::Painted(0, 1).text);
    EXPECT_EQ(1, sim::Painted(0, 1).attribute);
    EXPECT_EQ(2, sim::Painted(0, 1).mask[0]);
    EXPECT_EQ(0x20u, sim::Painted(1, 0).address);

    SendMessageA(sim::MdiClient(), WM_MDIDESTROY, WPARAM(window), 0);
    EXPECT_EQ(nullptr, g_table.window);
    EXPECT_EQ(0, HostUnregisterClass(className));
    EXPECT_FALSE(sim::IsClassRegistered(className));
    sim::FailRegisterClass();
    EXPECT_LT(HostRegisterClass(className, nullptr, GetModuleHandleA(nullptr), TableProc), 0);
    HostDestroySorted(&g_table.sorted);
    sim::DestroyMainWindow();
    sim::ResetTableWindows();
    (void)main;
}

INT_PTR CALLBACK ProbeDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

TEST_F(HostTest, DialogDriverActsOnAModalDialogInsideItsLoop) {
    HWND main = sim::CreateMainWindow();
    sim::StartDialogDriver();
    struct alignas(4) {
        DLGTEMPLATE header;
        WORD menu, windowClass;
        wchar_t title[8];
    } dialog{};
    dialog.header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    dialog.header.cx = 100;
    dialog.header.cy = 40;
    std::wcscpy(dialog.title, L"Probe");
    bool sawDisabledOwner = false;
    sim::WhenDialogAppears("Probe", [&](HWND window) {
        sawDisabledOwner = !IsWindowEnabled(main);
        SendMessageA(window, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(IDOK, DialogBoxIndirectParamA(GetModuleHandleA(nullptr), &dialog.header, main, ProbeDialog, 0));
    EXPECT_TRUE(sawDisabledOwner);
    EXPECT_EQ(0, sim::PendingDialogActions());
    sim::StopDialogDriver();
    sim::DestroyMainWindow();
}

TEST_F(PluginTest, PluginLoadsAndNamesItself) {
    char name[64];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(110, dll.Plugindata(name));
    EXPECT_STREQ("Zentrilo", name);
}

}  // namespace
