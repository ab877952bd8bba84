// The bookmark store, driven through the exports other plug-ins call:
// records in the host's table, log and status lines, the panel's caption
// and its "!" button.
#include "host/allocation_failure.h"
#include "host/log_dump.h"
#include "host/plugin_fixture.h"
#include "res/resource.h"

namespace {

constexpr uint32_t kCode = 0x401000;

class StoreTest : public PluginTest {
protected:
    void StartQuietly() {
        ASSERT_EQ(0, Start());
        logStart_ = sim::LogLines().size();
    }
    std::vector<std::string> NewLog() const { return sim::LogDump(logStart_); }
    static std::string PanelCaption() { return Caption(FindPanel()); }
    static bool SwitchEnabled() { return IsWindowEnabled(PanelButton(IDC_PANEL_SWITCH)) != FALSE; }

    size_t logStart_ = 0;
};

// Each change also repaints the list window; address 0 is no address at all.
TEST_F(StoreTest, ToggleAddsThenDeletes) {
    AddBlock(kCode, {0x55, 0x8B, 0xEC, 0xC3});
    StoreSetting("restore_bookmarks_window", 1);
    StartQuietly();
    const std::string added = "Zentrilo: Bookmark added Successfully to line 00401000";
    const std::string deleted = "Zentrilo: Bookmark deleted from line 00401000";
    EXPECT_EQ(0, dll.zt_Toggle(0));
    EXPECT_EQ(0, dll.zt_Exists(kCode));
    EXPECT_TRUE(NewLog().empty());
    sim::PaintNow(ListWindow());

    EXPECT_EQ(1, dll.zt_Toggle(kCode));
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    sim::PaintNow(ListWindow());
    EXPECT_EQ((std::vector<std::string>{sim::LogEntry(kCode, -1, added)}), NewLog());
    EXPECT_EQ(added, LastFlash());
    EXPECT_EQ(1, dll.zt_Exists(kCode));
    EXPECT_EQ(1, dll.zt_Count());
    EXPECT_TRUE(SwitchEnabled());
    EXPECT_EQ("Bk. (1/01/1)", PanelCaption());

    EXPECT_EQ(1, dll.zt_Toggle(kCode));  // the caller learns only that something was done
    EXPECT_EQ((std::vector<std::string>{sim::LogEntry(kCode, -1, added), sim::LogEntry(kCode, -1, deleted)}), NewLog());
    EXPECT_EQ(deleted, LastFlash());
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    EXPECT_EQ(0, dll.zt_Exists(kCode));
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_FALSE(SwitchEnabled());
    EXPECT_EQ("Bk. (-1/00/0)", PanelCaption());
}

TEST_F(StoreTest, NewRecordTakesModuleAndInstructionAsFarAsTheyCanBeRead) {
    AddBlock(kCode, {0x90, 0x8B, 0xEC, 0xC3});
    AddModule(0x400000, 0x10000, "KERNEL32");   // fills the host's 8 bytes, no terminator
    AddBlock(0x402000, 0x200, 0x90);
    const uint32_t last = 0x4021FF, nearEnd = 0x402200 - 100;
    sim::SetDecode(last, 1);
    sim::SetDecode(nearEnd, 15);
    AddBlock(0x403000, 0x100, 0x90);
    sim::LimitReadable(0x403000, 0x10);
    StartQuietly();

    dll.zt_Toggle(kCode + 1);
    EXPECT_EQ(sim::Fields(kCode + 1, 1, "KERNEL32", "n/a", "MOV EBP,ESP"), Bookmark(kCode + 1));
    EXPECT_EQ(4, sim::DisasmCalls().at(0).mode);
    EXPECT_EQ(0u, sim::DisasmCalls().at(0).thread);

    // At most 16 bytes, up to the block's end; the host's decode data only when it covers them.
    dll.zt_Toggle(last);
    EXPECT_EQ(1u, sim::MemoryReads().at(1).count);
    EXPECT_EQ(3, sim::MemoryReads().at(1).mode);
    EXPECT_EQ(1u, sim::DisasmCalls().at(1).count);
    EXPECT_EQ(sim::DecodeFor(last), sim::DisasmCalls().at(1).decode);
    EXPECT_EQ("NOP", Bookmark(last)->original);
    dll.zt_Toggle(nearEnd);
    EXPECT_EQ(16u, sim::MemoryReads().at(2).count);
    EXPECT_EQ(16u, sim::DisasmCalls().at(2).count);
    EXPECT_EQ(nullptr, sim::DisasmCalls().at(2).decode);

    // Memory that cannot be read in full, or is not there at all, leaves both texts empty.
    dll.zt_Toggle(0x403008);
    dll.zt_Toggle(0x12345678);
    EXPECT_EQ(3u, sim::DisasmCalls().size());
    EXPECT_EQ(4u, sim::MemoryReads().size());
    EXPECT_EQ(sim::Fields(0x403008, 1, "KERNEL32", "n/a", ""), Bookmark(0x403008));
    EXPECT_EQ(sim::Fields(0x12345678, 1, "", "n/a", ""), Bookmark(0x12345678));
    EXPECT_EQ(5u, NewLog().size());
}

TEST_F(StoreTest, CaptionCountsPositionAmongAllAndOnlyActiveRecords) {
    StartQuietly();
    dll.zt_Toggle(0x3000);
    dll.zt_Toggle(0x1000);
    EXPECT_EQ("Bk. (1/02/2)", PanelCaption());
    dll.zt_Toggle(0x2000);
    EXPECT_EQ("Bk. (2/03/3)", PanelCaption());
    SetActive(0x2000, 0);
    dll.zt_Toggle(0xFFFFFFFF);
    EXPECT_EQ("Bk. (4/03/4)", PanelCaption());
    dll.zt_Toggle(0x1000);
    EXPECT_EQ("Bk. (-1/02/3)", PanelCaption());
    EXPECT_EQ((std::vector<uint32_t>{0x2000, 0x3000, 0xFFFFFFFF}), BookmarkAddresses());

    dll.Pluginreset();
    for (uint32_t i = 1; i <= 100; ++i) dll.zt_Toggle(i * 0x10);
    EXPECT_EQ("Bk. (100/100/100)", PanelCaption());
}

// A record the host refuses, or a list node that cannot be allocated, leaves
// the address unbookmarked, says so in the log and nowhere else.
TEST_F(StoreTest, BookmarkThatCannotBeStoredLeavesAddressUnbookmarked) {
    StartQuietly();
    dll.zt_Toggle(0x1000);
    for (bool refused : {true, false}) {
        SCOPED_TRACE(refused ? "record refused" : "no memory");
        size_t logged = sim::LogLines().size(), flashes = Flashes().size();
        refused ? sim::RefuseAddSorted(1) : sim::FailNextAllocation();

        dll.zt_Toggle(0x2000);
        EXPECT_EQ(0, dll.zt_Exists(0x2000));
        EXPECT_EQ(1, dll.zt_Count());
        EXPECT_EQ((std::vector<uint32_t>{0x1000}), BookmarkAddresses());
        ASSERT_EQ(1u, sim::LogDump(logged).size());
        EXPECT_EQ("00002000 1 Zentrilo: ", sim::LogDump(logged)[0].substr(0, 21));
        EXPECT_EQ(flashes, Flashes().size());
        EXPECT_EQ("Bk. (-1/01/1)", PanelCaption());
        EXPECT_FALSE(SwitchEnabled());

        dll.zt_Toggle(0x2000);
        EXPECT_EQ((std::vector<uint32_t>{0x1000, 0x2000}), BookmarkAddresses());
        dll.zt_Toggle(0x2000);
    }
}

}  // namespace
