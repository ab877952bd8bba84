// Moving the CPU disassembler between bookmarks: the exported navigation
// calls and following a row of the bookmark list.
#include "host/plugin_fixture.h"

namespace {

// Two blocks with a hole between them (kHole and kHoleTop are in no block),
// and a third that touches the second: kTop is the last byte below kE.
constexpr uint32_t kA = 0x401100;
constexpr uint32_t kLowTop = 0x401FFF;
constexpr uint32_t kHole = 0x402000;
constexpr uint32_t kHoleTop = 0x402FFF;
constexpr uint32_t kC = 0x403100;
constexpr uint32_t kD = 0x403200;
constexpr uint32_t kTop = 0x403FFF;
constexpr uint32_t kE = 0x404000;
constexpr uint32_t kF = 0x404100;
constexpr uint32_t kBelowAll = 0x300000;
constexpr uint32_t kAboveAll = 0x500000;
constexpr UINT kFollowSelection = 1135;
constexpr int kNone = 0, kMoved = 1, kWrapped = 2;

class NavigationTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        AddBlock(0x401000, 0x1000, 0x90);
        AddBlock(0x403000, 0x1000, 0x90);
        AddBlock(0x404000, 0x1000, 0x90);
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

    void Add(const std::vector<uint32_t>& active, const std::vector<uint32_t>& inactive = {}) {
        for (uint32_t address : active) ASSERT_EQ(1, dll.zt_Toggle(address));
        for (uint32_t address : inactive) {
            ASSERT_EQ(1, dll.zt_Toggle(address));
            SetActive(address, 0);
        }
    }

    static std::vector<uint32_t> MovesFrom(size_t first) {
        std::vector<uint32_t> moves;
        for (size_t i = first; i < sim::SetCpuCalls().size(); ++i) moves.push_back(sim::SetCpuCalls()[i].disasmAddress);
        return moves;
    }
};

struct Step {
    bool forward;
    uint32_t start;
    int result;
};

struct Case {
    const char* what;
    std::vector<uint32_t> active, inactive;
    std::vector<Step> steps;
    std::vector<uint32_t> moves;
    size_t beeps;
    const char* caption;   // after the last step; null: not looked at
};

TEST_F(NavigationTest, EachDirectionMovesWrapsOrGivesUp) {
    const Case cases[] = {
        {"inactive bookmarks are stepped over", {kA, kC, kD}, {0x401800},
         {{true, kA, kMoved}, {false, kC, kMoved}}, {kC, kA}, 0, "Bk. (1/03/4)"},
        {"an unreachable nearest lower one ends the backward search", {kA, kHole, kC}, {},
         {{true, kA, kMoved}, {false, kC, kWrapped}}, {kC, kC}, 0, "Bk. (3/03/3)"},
        {"start between or on bookmarks compares strictly", {kA, kC}, {},
         {{true, kA + 1, kMoved}, {false, kC - 1, kMoved}, {true, kA, kMoved}, {false, kC, kMoved}},
         {kC, kA, kC, kA}, 0, nullptr},
        {"back over a block of disabled ones lands on the highest active one in the block below",
         {kA, kLowTop, kD}, {kC}, {{false, kD, kMoved}, {false, kLowTop, kMoved}}, {kLowTop, kA}, 0, nullptr},
        {"an unreachable one just below a block of disabled ones ends the backward search",
         {kA, kHoleTop, kD}, {kC}, {{false, kD, kWrapped}}, {kD}, 0, nullptr},
        {"back over blocks that touch lands on the last byte of the lower one",
         {kA, kTop, kF}, {kE}, {{false, kF, kMoved}, {false, kTop, kMoved}}, {kTop, kA}, 0, nullptr},
        {"back over disabled ones in two blocks that touch lands in the block below both",
         {kA, kF}, {kC, kTop, kE}, {{false, kF, kMoved}}, {kA}, 0, "Bk. (1/02/5)"},
        {"forward wraps to the lowest active reachable one", {kC, kD}, {kA},
         {{true, kD, kWrapped}}, {kC}, 0, "Bk. (2/02/3)"},
        {"a single active bookmark wraps onto itself", {kC}, {},
         {{true, kC, kWrapped}, {false, kC, kWrapped}}, {kC, kC}, 0, nullptr},
        {"forward wrap to an unreachable lowest one fails", {kBelowAll, kA}, {},
         {{true, kA + 1, kNone}}, {}, 1, nullptr},
        {"back wrap to an unreachable highest one fails", {kA, kC, kAboveAll}, {},
         {{false, kA, kNone}}, {}, 1, nullptr},
        {"all inactive: forward is silent, back beeps", {}, {kA, kC},
         {{true, kC, kNone}, {false, kA, kNone}}, {}, 1, nullptr},
        {"no bookmarks: both beep", {}, {},
         {{true, kA, kNone}, {false, kA, kNone}}, {}, 2, "Zentrilo"},
    };
    ASSERT_EQ(0, Start());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dll.Pluginreset();
        Add(c.active, c.inactive);
        size_t moves = sim::SetCpuCalls().size(), beeps = Beeps().size();
        for (const Step& step : c.steps)
            EXPECT_EQ(step.result, step.forward ? dll.zt_NavigateForward(step.start) : dll.zt_NavigateBack(step.start));
        EXPECT_EQ(c.moves, MovesFrom(moves));
        EXPECT_EQ(c.beeps, Beeps().size() - beeps);
        if (c.caption) {
            EXPECT_EQ(c.caption, Caption(FindPanel()));
        }
    }
}

TEST_F(NavigationTest, NavigationSelectsTheRowOnlyWhileListWindowIsOpen) {
    ASSERT_EQ(0, Start());
    Add({kA, kC});
    Table()->sorted.selectedRow = 7;
    EXPECT_EQ(kMoved, dll.zt_NavigateForward(kA));
    EXPECT_EQ(7, Table()->sorted.selectedRow);

    Action(kOriginPluginMenu, 4);   // List...
    ASSERT_NE(nullptr, ListWindow());
    sim::PaintNow(ListWindow());
    EXPECT_EQ(kMoved, dll.zt_NavigateBack(kC));
    EXPECT_EQ(0, Table()->sorted.selectedRow);
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
}

TEST_F(NavigationTest, FollowingUnreachableRowFlashesAndBeepsChangingNothing) {
    StoreSetting("restore_bookmarks_window", 1);
    ASSERT_EQ(0, Start());
    Add({kA, 0xABCDEF0});
    dll.zt_NavigateForward(kA - 1);
    std::string caption = Caption(FindPanel());
    Table()->sorted.selectedRow = 1;
    SendMessageA(ListWindow(), kFollowSelection, 0, 0);
    EXPECT_EQ("Zentrilo: Address 0ABCDEF0 isn't reachable", LastFlash());
    EXPECT_EQ((std::vector<UINT>{0}), Beeps());
    EXPECT_EQ((std::vector<uint32_t>{kA}), MovesFrom(0));
    EXPECT_EQ(caption, Caption(FindPanel()));
    EXPECT_EQ(1, Table()->sorted.selectedRow);
}

}  // namespace
