// The bookmark store, driven through the exports other plug-ins call:
// records in the host's table, log and status lines, the panel's caption
// and its "!" button.
#include "host/allocation_failure.h"
#include "host/log_dump.h"
#include "host/plugin_fixture.h"
#include "res/resource.h"

#include <cstdio>

namespace {

constexpr uint32_t kCode = 0x401000;

std::string AddedLine(uint32_t address) {
    return sim::LogEntry(address, -1, "Zentrilo: Bookmark added Successfully to line %08X", address);
}
std::string DeletedLine(uint32_t address) {
    return sim::LogEntry(address, -1, "Zentrilo: Bookmark deleted from line %08X", address);
}
std::string FlashText(const char* format, uint32_t address) {
    char text[128];
    std::snprintf(text, sizeof text, format, unsigned(address));
    return text;
}

class StoreTest : public PluginTest {
protected:
    void StartQuietly() {
        ASSERT_EQ(0, Start());
        logStart_ = sim::LogLines().size();
    }
    std::vector<std::string> NewLog() const { return sim::LogDump(logStart_); }
    static std::string PanelCaption() { return Caption(FindPanel()); }
    static bool SwitchEnabled() { return IsWindowEnabled(PanelButton(IDC_PANEL_SWITCH)) != FALSE; }
    static void Deactivate(uint32_t address) {
        static_cast<uint8_t*>(HostFindSorted(&Table()->sorted, address))[16] = 0;
    }

    size_t logStart_ = 0;
};

TEST_F(StoreTest, ToggleAddsThenDeletes) {
    AddBlock(kCode, {0x55, 0x8B, 0xEC, 0xC3});
    StartQuietly();
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_EQ(0, dll.zt_Exists(kCode));

    EXPECT_EQ(1, dll.zt_Toggle(kCode));
    EXPECT_EQ((std::vector<std::string>{AddedLine(kCode)}), NewLog());
    EXPECT_EQ(FlashText("Zentrilo: Bookmark added Successfully to line %08X", kCode), LastFlash());
    EXPECT_EQ(1, dll.zt_Exists(kCode));
    EXPECT_EQ(1, dll.zt_Count());
    EXPECT_TRUE(SwitchEnabled());
    EXPECT_EQ("Bk. (1/01/1)", PanelCaption());

    EXPECT_EQ(1, dll.zt_Toggle(kCode));  // the caller learns only that something was done
    EXPECT_EQ((std::vector<std::string>{AddedLine(kCode), DeletedLine(kCode)}), NewLog());
    EXPECT_EQ(FlashText("Zentrilo: Bookmark deleted from line %08X", kCode), LastFlash());
    EXPECT_EQ(0, dll.zt_Exists(kCode));
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_FALSE(SwitchEnabled());
    EXPECT_TRUE(BookmarkAddresses().empty());
    EXPECT_EQ("Bk. (-1/00/0)", PanelCaption());
}

TEST_F(StoreTest, NewRecordHoldsModuleAndOriginalDisassembly) {
    AddBlock(kCode, {0x90, 0x8B, 0xEC, 0xC3});
    AddModule(0x400000, 0x10000, "KERNEL32");  // fills the host's 8 bytes, no terminator
    StartQuietly();
    dll.zt_Toggle(kCode + 1);

    std::optional<sim::BookmarkFields> record = Bookmark(kCode + 1);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(1u, record->size);
    EXPECT_EQ(0u, record->type);
    EXPECT_EQ(0x4C4D440Au, record->tag);
    EXPECT_EQ(1, record->active);
    EXPECT_EQ("n/a", record->name);
    EXPECT_EQ("KERNEL32", record->module);
    EXPECT_EQ("MOV EBP,ESP", record->original);
    ASSERT_EQ(1u, sim::DisasmCalls().size());
    EXPECT_EQ(4, sim::DisasmCalls()[0].mode);
    EXPECT_EQ(0u, sim::DisasmCalls()[0].thread);
}

TEST_F(StoreTest, UnreachableAddressIsBookmarkedWithEmptyTexts) {
    StartQuietly();
    dll.zt_Toggle(0x12345678);
    ASSERT_TRUE(Bookmark(0x12345678).has_value());
    EXPECT_EQ("", Bookmark(0x12345678)->original);
    EXPECT_EQ("", Bookmark(0x12345678)->module);
    EXPECT_TRUE(sim::MemoryReads().empty());
    EXPECT_EQ((std::vector<std::string>{AddedLine(0x12345678)}), NewLog());
}

TEST_F(StoreTest, CaptionCountsPositionAmongAllAndOnlyActiveRecords) {
    StartQuietly();
    dll.zt_Toggle(0x3000);
    dll.zt_Toggle(0x1000);
    EXPECT_EQ("Bk. (1/02/2)", PanelCaption());
    dll.zt_Toggle(0x2000);
    EXPECT_EQ("Bk. (2/03/3)", PanelCaption());
    Deactivate(0x2000);
    dll.zt_Toggle(0xFFFFFFFF);
    EXPECT_EQ("Bk. (4/03/4)", PanelCaption());
    dll.zt_Toggle(0x1000);
    EXPECT_EQ("Bk. (-1/02/3)", PanelCaption());
    EXPECT_EQ((std::vector<uint32_t>{0x2000, 0x3000, 0xFFFFFFFF}), BookmarkAddresses());
}

TEST_F(StoreTest, HundredActiveBookmarksPrintInFull) {
    StartQuietly();
    for (uint32_t i = 1; i <= 100; ++i) dll.zt_Toggle(i * 0x10);
    EXPECT_EQ("Bk. (100/100/100)", PanelCaption());
    dll.zt_Toggle(0x10);
    EXPECT_EQ("Bk. (-1/99/99)", PanelCaption());
}

TEST_F(StoreTest, SnapshotReadsAtMostSixteenBytesUpToBlockEnd) {
    AddBlock(kCode, 0x200, 0x90);
    const uint32_t last = kCode + 0x1FF, nearEnd = kCode + 0x200 - 100;
    sim::SetDecode(last, 1);
    sim::SetDecode(nearEnd, 15);
    StartQuietly();

    dll.zt_Toggle(last);
    ASSERT_EQ(1u, sim::MemoryReads().size());
    EXPECT_EQ(1u, sim::MemoryReads()[0].count);
    EXPECT_EQ(3, sim::MemoryReads()[0].mode);
    ASSERT_EQ(1u, sim::DisasmCalls().size());
    EXPECT_EQ(1u, sim::DisasmCalls()[0].count);
    EXPECT_EQ(last, sim::DisasmCalls()[0].address);
    EXPECT_EQ(sim::DecodeFor(last), sim::DisasmCalls()[0].decode);
    EXPECT_EQ("NOP", Bookmark(last)->original);

    dll.zt_Toggle(nearEnd);
    ASSERT_EQ(2u, sim::MemoryReads().size());
    EXPECT_EQ(16u, sim::MemoryReads()[1].count);
    ASSERT_EQ(2u, sim::DisasmCalls().size());
    EXPECT_EQ(16u, sim::DisasmCalls()[1].count);
    EXPECT_EQ(nullptr, sim::DisasmCalls()[1].decode);
}

TEST_F(StoreTest, ShortReadLeavesOriginalDisassemblyEmpty) {
    AddBlock(kCode, 0x100, 0x90);
    sim::LimitReadable(kCode, 0x10);
    StartQuietly();
    dll.zt_Toggle(kCode + 8);
    EXPECT_EQ("", Bookmark(kCode + 8)->original);
    EXPECT_TRUE(sim::DisasmCalls().empty());
}

TEST_F(StoreTest, RecordRefusedByHostLeavesAddressUnlisted) {
    StartQuietly();
    dll.zt_Toggle(0x1000);
    size_t flashes = Flashes().size();
    sim::RefuseAddSorted(1);

    dll.zt_Toggle(0x2000);
    EXPECT_EQ(0, dll.zt_Exists(0x2000));
    EXPECT_EQ(1, dll.zt_Count());
    ASSERT_EQ(2u, NewLog().size());
    EXPECT_EQ("00002000 1 Zentrilo: ", NewLog()[1].substr(0, 21));
    EXPECT_EQ(flashes, Flashes().size());
    EXPECT_EQ("Bk. (-1/01/1)", PanelCaption());

    dll.zt_Toggle(0x2000);
    EXPECT_EQ((std::vector<uint32_t>{0x1000, 0x2000}), BookmarkAddresses());
    EXPECT_EQ(2, dll.zt_Count());
}

TEST_F(StoreTest, NodeThatCannotBeAllocatedLeavesAddressUnbookmarked) {
    StartQuietly();
    sim::FailNextAllocation();

    dll.zt_Toggle(0x2000);
    EXPECT_EQ(0, dll.zt_Exists(0x2000));
    EXPECT_TRUE(BookmarkAddresses().empty());
    ASSERT_EQ(1u, NewLog().size());
    EXPECT_EQ("00002000 1 Zentrilo: ", NewLog()[0].substr(0, 21));
    EXPECT_TRUE(Flashes().empty());
    EXPECT_FALSE(SwitchEnabled());

    dll.zt_Toggle(0x2000);
    EXPECT_EQ(1, dll.zt_Count());
}

TEST_F(StoreTest, ListWindowRepaintsAfterEachChange) {
    StoreSetting("restore_bookmarks_window", 1);
    StartQuietly();
    sim::PaintNow(ListWindow());
    dll.zt_Toggle(0x1000);
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    sim::PaintNow(ListWindow());
    dll.zt_Toggle(0x1000);
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
}

}  // namespace
