// The list window's keys: which run a command on the selected bookmark and
// which go to the host's table handling.
#include "list_window_fixture.h"

#include <tuple>

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
    const std::tuple<WPARAM, bool, bool> keys[] = {
        {VK_RETURN, kShift, false}, {VK_RETURN, false, kCtrl},  {VK_SPACE, false, kCtrl},
        {VK_SPACE, kShift, false},  {VK_DELETE, kShift, false}, {VK_DELETE, false, kCtrl},
        {'G', kShift, false},       {'G', false, kCtrl},        {kSemicolonKey, false, kCtrl},
        {kSemicolonKey, kShift, kCtrl}, {kSlashKey, false, false}, {kSlashKey, kShift, kCtrl},
        {'F', false, false},        {'F', kShift, kCtrl},       {'L', false, false},
        {'Z', kShift, kCtrl},       {'H', false, false},        {VK_DOWN, false, false}};
    for (const auto& [key, shift, ctrl] : keys)
        EXPECT_EQ("host", PressAndSee(key, shift, ctrl)) << key << (shift ? " shift" : "") << (ctrl ? " ctrl" : "");

    const sim::TableFunctionCall& last = sim::TableFunctionCalls().back();
    EXPECT_EQ(&Table()->sorted, &last.table->sorted);
    EXPECT_EQ(ListWindow(), last.window);
    EXPECT_EQ(WPARAM(VK_DOWN), last.wParam);
    EXPECT_EQ(kKeyData, last.lParam);
}

TEST_F(ListKeysTest, CommandKeysWithNoSelectedRowDoNothingAtAll) {
    for (int row : {-1, 2}) {
        Table()->sorted.selectedRow = row;
        for (WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_SPACE), WPARAM(VK_DELETE), WPARAM('G'), kSemicolonKey})
            EXPECT_EQ("", PressAndSee(key)) << row << " " << key;
        EXPECT_EQ("", PressAndSee(kSemicolonKey, kShift)) << row;
        EXPECT_EQ("", PressAndSee(kSlashKey, kShift)) << row;
    }
}

}  // namespace
