// Moving the CPU disassembler between bookmarks: the exported navigation
// calls, _zt_Toggle, and following a row of the bookmark list.
#include "host/plugin_fixture.h"

#include <vector>

namespace {

// Two blocks with a hole between them: kHole is in no block.
constexpr uint32_t kLowBlock = 0x401000;
constexpr uint32_t kHighBlock = 0x403000;
constexpr uint32_t kA = 0x401100;
constexpr uint32_t kHole = 0x402000;
constexpr uint32_t kC = 0x403100;
constexpr uint32_t kD = 0x403200;
constexpr uint32_t kBelowAll = 0x300000;
constexpr UINT kFollowSelection = 1135;

class NavigationTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        AddBlock(kLowBlock, 0x1000, 0x90);
        AddBlock(kHighBlock, 0x1000, 0x90);
    }

    // Every move of the CPU pane is thread 0, no dump or stack address, mode 13.
    void TearDown() override {
        for (const sim::SetCpuCall& call : sim::SetCpuCalls()) {
            EXPECT_EQ(0u, call.thread);
            EXPECT_EQ(0u, call.dumpAddress);
            EXPECT_EQ(0u, call.stackAddress);
            EXPECT_EQ(13, call.mode);
        }
        PluginTest::TearDown();
    }

    void StartWith(const std::vector<uint32_t>& active, const std::vector<uint32_t>& inactive = {}) {
        ASSERT_EQ(0, Start());
        for (uint32_t address : active) ASSERT_EQ(1, dll.zt_Toggle(address));
        for (uint32_t address : inactive) {
            ASSERT_EQ(1, dll.zt_Toggle(address));
            Disable(address);
        }
    }

    static void Disable(uint32_t address) {
        static_cast<uint8_t*>(HostFindSorted(&Table()->sorted, address))[16] = 0;
    }

    static std::vector<uint32_t> Moves() {
        std::vector<uint32_t> moves;
        for (const sim::SetCpuCall& call : sim::SetCpuCalls()) moves.push_back(call.disasmAddress);
        return moves;
    }
    static size_t BeepCount() { return Beeps().size(); }
    static std::string PanelCaption() { return Caption(FindPanel()); }

    void FollowRow(int row) {
        Table()->sorted.selectedRow = row;
        SendMessageA(ListWindow(), kFollowSelection, 0, 0);
    }
};

TEST_F(NavigationTest, BothDirectionsStepOverInactiveBookmarks) {
    StartWith({kA, kC, kD}, {0x401800});
    EXPECT_EQ(1, dll.zt_NavigateForward(kA));
    EXPECT_EQ(1, dll.zt_NavigateBack(kC));
    EXPECT_EQ((std::vector<uint32_t>{kC, kA}), Moves());
    EXPECT_EQ("Bk. (1/03/4)", PanelCaption());
    EXPECT_EQ(0u, BeepCount());
}

TEST_F(NavigationTest, UnreachableNearestLowerEndsBackwardSearchSoBackWraps) {
    StartWith({kA, kHole, kC});
    EXPECT_EQ(1, dll.zt_NavigateForward(kA));
    EXPECT_EQ(2, dll.zt_NavigateBack(kC));
    EXPECT_EQ((std::vector<uint32_t>{kC, kC}), Moves());
    EXPECT_EQ("Bk. (3/03/3)", PanelCaption());
    EXPECT_EQ(0u, BeepCount());
}

TEST_F(NavigationTest, StartBetweenOrOnBookmarksComparesStrictly) {
    StartWith({kA, kC});
    EXPECT_EQ(1, dll.zt_NavigateForward(kA + 1));
    EXPECT_EQ(1, dll.zt_NavigateBack(kC - 1));
    EXPECT_EQ(1, dll.zt_NavigateForward(kA));
    EXPECT_EQ(1, dll.zt_NavigateBack(kC));
    EXPECT_EQ((std::vector<uint32_t>{kC, kA, kC, kA}), Moves());
}

TEST_F(NavigationTest, ForwardWrapsToLowestActiveReachable) {
    StartWith({kC, kD}, {kA});
    EXPECT_EQ(2, dll.zt_NavigateForward(kD));
    EXPECT_EQ((std::vector<uint32_t>{kC}), Moves());
    EXPECT_EQ("Bk. (2/02/3)", PanelCaption());
    EXPECT_EQ(0u, BeepCount());
}

TEST_F(NavigationTest, SingleActiveBookmarkWrapsOntoItselfBothWays) {
    StartWith({kC});
    EXPECT_EQ(2, dll.zt_NavigateForward(kC));
    EXPECT_EQ(2, dll.zt_NavigateBack(kC));
    EXPECT_EQ((std::vector<uint32_t>{kC, kC}), Moves());
    EXPECT_EQ(0u, BeepCount());
}

TEST_F(NavigationTest, ForwardWrapFailsWithBeepWhenLowestIsUnreachable) {
    StartWith({kBelowAll, kA});
    EXPECT_EQ(0, dll.zt_NavigateForward(kA + 1));
    EXPECT_TRUE(Moves().empty());
    EXPECT_EQ(1u, BeepCount());
}

TEST_F(NavigationTest, BackWrapFailsWithBeepWhenHighestActiveIsUnreachable) {
    StartWith({kA, kC, 0x500000});
    EXPECT_EQ(0, dll.zt_NavigateBack(kA));
    EXPECT_TRUE(Moves().empty());
    EXPECT_EQ(1u, BeepCount());
}

TEST_F(NavigationTest, AllInactiveForwardIsSilentBackBeeps) {
    StartWith({}, {kA, kC});
    EXPECT_EQ(0, dll.zt_NavigateForward(kC));
    EXPECT_EQ(0u, BeepCount());
    EXPECT_EQ(0, dll.zt_NavigateBack(kA));
    EXPECT_EQ(1u, BeepCount());
    EXPECT_TRUE(Moves().empty());
}

TEST_F(NavigationTest, EmptyListGivesNothingAndBeepsBothWays) {
    StartWith({});
    EXPECT_EQ(0, dll.zt_NavigateForward(kA));
    EXPECT_EQ(0, dll.zt_NavigateBack(kA));
    EXPECT_EQ((std::vector<UINT>{0, 0}), Beeps());
    EXPECT_TRUE(Moves().empty());
    EXPECT_EQ("Zentrilo", PanelCaption());
}

TEST_F(NavigationTest, ToggleOfZeroDoesNothingAndToggleTwiceLeavesNoBookmark) {
    StartWith({});
    size_t logLines = LogTexts().size();
    EXPECT_EQ(0, dll.zt_Toggle(0));
    EXPECT_EQ(logLines, LogTexts().size());
    EXPECT_TRUE(Flashes().empty());
    EXPECT_EQ(0, dll.zt_Count());

    EXPECT_EQ(1, dll.zt_Toggle(kA));
    EXPECT_EQ(1, dll.zt_Toggle(kA));
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_TRUE(BookmarkAddresses().empty());
    EXPECT_EQ("Zentrilo: Bookmark deleted from line 00401100", LastFlash());
    EXPECT_EQ(0u, BeepCount());
}

TEST_F(NavigationTest, NavigationLeavesSelectionAloneWhileListWindowIsClosed) {
    StartWith({kA, kC});
    ASSERT_EQ(nullptr, ListWindow());
    Table()->sorted.selectedRow = 7;
    EXPECT_EQ(1, dll.zt_NavigateForward(kA));
    EXPECT_EQ(7, Table()->sorted.selectedRow);
}

TEST_F(NavigationTest, NavigationSelectsRowAndRepaintsOpenListWindow) {
    StoreSetting("restore_bookmarks_window", 1);
    StartWith({kA, kC});
    ASSERT_NE(nullptr, ListWindow());
    sim::PaintNow(ListWindow());
    EXPECT_EQ(1, dll.zt_NavigateForward(kA));
    EXPECT_EQ(1, Table()->sorted.selectedRow);
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
}

TEST_F(NavigationTest, FollowingInactiveRowMovesCpuAndSelectsNoRow) {
    StoreSetting("restore_bookmarks_window", 1);
    StartWith({kA}, {kC});
    ASSERT_NE(nullptr, ListWindow());
    FollowRow(1);
    EXPECT_EQ((std::vector<uint32_t>{kC}), Moves());
    EXPECT_EQ("Bk. (-1/01/2)", PanelCaption());
    EXPECT_EQ(-2, Table()->sorted.selectedRow);
}

TEST_F(NavigationTest, FollowingUnreachableRowFlashesAndBeepsChangingNothing) {
    StoreSetting("restore_bookmarks_window", 1);
    StartWith({kA, 0xABCDEF0});
    ASSERT_NE(nullptr, ListWindow());
    dll.zt_NavigateForward(kA - 1);
    std::string caption = PanelCaption();
    FollowRow(1);
    EXPECT_EQ("Zentrilo: Address 0ABCDEF0 isn't reachable", LastFlash());
    EXPECT_EQ((std::vector<UINT>{0}), Beeps());
    EXPECT_EQ((std::vector<uint32_t>{kA}), Moves());
    EXPECT_EQ(caption, PanelCaption());
    EXPECT_EQ(1, Table()->sorted.selectedRow);
}

}  // namespace
