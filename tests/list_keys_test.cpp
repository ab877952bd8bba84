// The list window's keys: which run a command on the selected bookmark and
// which go to the host's table handling.
#include "list_window_fixture.h"

namespace {

using namespace listwindow;

class ListKeysTest : public ListWindowTest {
protected:
    void SetUp() override {
        ListWindowTest::SetUp();
        StartWithList();
        Add({kA, kB});
    }

    std::string PressAndSee(WPARAM key, bool shift = false, bool ctrl = false) {
        Watch();
        Press(key, shift, ctrl);
        return Happened();
    }
};

constexpr bool kShift = true;
constexpr bool kCtrl = true;

TEST_F(ListKeysTest, EachKeyRunsItsCommandOnSelectedBookmarkOnly) {
    EXPECT_EQ("follow", PressAndSee(VK_RETURN));
    EXPECT_EQ("switch", PressAndSee(VK_SPACE));
    EXPECT_EQ((std::vector<int>{0, 1}), ActiveFlags());
    EXPECT_EQ("web", PressAndSee('G'));
    EXPECT_EQ("comment prompt", PressAndSee(kSemicolonKey));
    EXPECT_EQ("name prompt", PressAndSee(kSemicolonKey, kShift));
    CancelSettingsWhenShown();
    EXPECT_EQ("help", PressAndSee(kSlashKey, kShift));
    EXPECT_EQ("delete", PressAndSee(VK_DELETE));
    EXPECT_EQ((std::vector<uint32_t>{kB}), BookmarkAddresses());
}

TEST_F(ListKeysTest, OtherKeysAndCombinationsGoToHostUnchanged) {
    EXPECT_EQ("host", PressAndSee(VK_RETURN, kShift));
    EXPECT_EQ("host", PressAndSee(VK_RETURN, false, kCtrl));
    EXPECT_EQ("host", PressAndSee(VK_SPACE, false, kCtrl));
    EXPECT_EQ("host", PressAndSee(VK_SPACE, kShift));
    EXPECT_EQ("host", PressAndSee(VK_DELETE, kShift));
    EXPECT_EQ("host", PressAndSee(VK_DELETE, false, kCtrl));
    EXPECT_EQ("host", PressAndSee('G', kShift));
    EXPECT_EQ("host", PressAndSee('G', false, kCtrl));
    EXPECT_EQ("host", PressAndSee(kSemicolonKey, false, kCtrl));
    EXPECT_EQ("host", PressAndSee(kSemicolonKey, kShift, kCtrl));
    EXPECT_EQ("host", PressAndSee(kSlashKey));
    EXPECT_EQ("host", PressAndSee(kSlashKey, kShift, kCtrl));
    EXPECT_EQ("host", PressAndSee('H'));
    EXPECT_EQ("host", PressAndSee(VK_DOWN));

    const sim::TableFunctionCall& last = sim::TableFunctionCalls().back();
    EXPECT_EQ(&Table()->sorted, &last.table->sorted);
    EXPECT_EQ(ListWindow(), last.window);
    EXPECT_EQ(WPARAM(VK_DOWN), last.wParam);
    EXPECT_EQ(kKeyData, last.lParam);
}

TEST_F(ListKeysTest, CommandKeysWithNoSelectedRowDoNothingAtAll) {
    for (int row : {-1, 2}) {
        Table()->sorted.selectedRow = row;
        EXPECT_EQ("", PressAndSee(VK_RETURN));
        EXPECT_EQ("", PressAndSee(VK_SPACE));
        EXPECT_EQ("", PressAndSee(VK_DELETE));
        EXPECT_EQ("", PressAndSee('G'));
        EXPECT_EQ("", PressAndSee(kSemicolonKey));
        EXPECT_EQ("", PressAndSee(kSemicolonKey, kShift));
        EXPECT_EQ("", PressAndSee(kSlashKey, kShift));
    }
}

}  // namespace
