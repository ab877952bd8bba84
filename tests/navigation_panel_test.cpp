// The navigation panel: its buttons act on the CPU pane's selection, its
// caption is the status line, and it keeps its screen position in the
// settings "top" and "left".
#include "host/plugin_fixture.h"

#include <utility>

namespace {

constexpr int kPrevious = 1002;
constexpr int kNext = 1003;
constexpr int kToggle = 1004;
constexpr int kSwitch = 1005;

// Inside the block every test maps: A < B < C; only A and B get bookmarks.
constexpr uint32_t kBelow = 0x401000;
constexpr uint32_t kA = 0x401010;
constexpr uint32_t kB = 0x401020;
constexpr uint32_t kC = 0x401030;

using Pair = std::pair<long, long>;

class NavigationPanelTest : public PluginTest {
protected:
    void StartPanel() {
        AddBlock(0x401000, 0x100, 0x90);
        ASSERT_EQ(0, Start());
        panel_ = FindPanel();
        ASSERT_NE(nullptr, panel_);
    }

    // What a click on the button sends to the panel, with this selection in the CPU pane.
    void PressAt(uint32_t selection, int id) {
        sim::Pane()->selected = selection;
        SendMessageA(panel_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(PanelButton(id)));
    }

    std::string PanelCaption() const { return Caption(panel_); }
    static bool Enabled(int id) { return IsWindowEnabled(PanelButton(id)) != FALSE; }
    static uint32_t LastCpuMove() { return sim::SetCpuCalls().empty() ? 0 : sim::SetCpuCalls().back().disasmAddress; }

    Pair TopLeft() const {
        RECT frame{};
        GetWindowRect(panel_, &frame);
        return {frame.left, frame.top};
    }
    // The client area against the one dialog template 101 (69 x 11 dialog units) asks for.
    bool HasTemplateSize() const {
        RECT units{0, 0, 69, 11}, client{};
        MapDialogRect(panel_, &units);
        GetClientRect(panel_, &client);
        return units.right == client.right && units.bottom == client.bottom;
    }

    HWND panel_ = nullptr;
};

TEST_F(NavigationPanelTest, NothingStoredOpensItAtTopLeftNamedZentriloWithSwitchButtonDisabled) {
    StartPanel();
    EXPECT_TRUE(IsWindowVisible(panel_));
    EXPECT_EQ("Zentrilo", PanelCaption());
    EXPECT_EQ(Pair(0, 0), TopLeft());
    EXPECT_TRUE(HasTemplateSize());
    for (int id : {kPrevious, kNext, kToggle}) EXPECT_TRUE(Enabled(id)) << id;
    EXPECT_FALSE(Enabled(kSwitch));
    EXPECT_EQ(nullptr, ListWindow());
}

TEST_F(NavigationPanelTest, OpensAtSavedPositionKeepingItsSize) {
    StoreSetting("top", 150);
    StoreSetting("left", 300);
    StartPanel();
    EXPECT_EQ(Pair(300, 150), TopLeft());
    EXPECT_TRUE(HasTemplateSize());
}

TEST_F(NavigationPanelTest, CloseBoxSavesTopThenLeftAndOnlyHidesPanel) {
    StartPanel();
    SetWindowPos(panel_, nullptr, 300, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageA(panel_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ((std::vector<std::string>{"top=150", "left=300"}), SettingWrites());
    EXPECT_TRUE(IsWindow(panel_));
    EXPECT_FALSE(IsWindowVisible(panel_));
}

TEST_F(NavigationPanelTest, ActivationIsNotPaintedButDeactivationIs) {
    StartPanel();
    auto procedure = reinterpret_cast<DLGPROC>(GetWindowLongPtrA(panel_, DWLP_DLGPROC));
    EXPECT_EQ(TRUE, procedure(panel_, WM_NCACTIVATE, TRUE, 0));
    EXPECT_EQ(FALSE, procedure(panel_, WM_NCACTIVATE, FALSE, 0));
}

TEST_F(NavigationPanelTest, PreviousAndNextMoveWrapAroundWithAMessageOrSayThereAreNone) {
    StartPanel();
    // With no bookmark at all the search beeps too, then the panel.
    PressAt(kA, kPrevious);
    EXPECT_EQ("No bookmarks!", LastFlash());
    EXPECT_EQ((std::vector<UINT>{0, 0}), Beeps());

    dll.zt_Toggle(kA);
    dll.zt_Toggle(kB);
    size_t flashes = Flashes().size();
    PressAt(kC, kPrevious);
    EXPECT_EQ(kB, LastCpuMove());
    EXPECT_EQ(flashes, Flashes().size());
    PressAt(kBelow, kPrevious);
    EXPECT_EQ(kB, LastCpuMove());
    EXPECT_EQ("No bookmarks in that direction, moving to last bookmark.", LastFlash());
    EXPECT_EQ("Bk. (2/02/2)", PanelCaption());
    PressAt(kC, kNext);
    EXPECT_EQ(kA, LastCpuMove());
    EXPECT_EQ("No bookmarks in that direction, moving to first bookmark.", LastFlash());
    EXPECT_EQ("Bk. (1/02/2)", PanelCaption());
    EXPECT_EQ(2u, Beeps().size());

    // Disabled bookmarks only: the forward search fails silently; the beep is the panel's.
    PressAt(kA, kSwitch);
    PressAt(kB, kSwitch);
    PressAt(kA, kNext);
    EXPECT_EQ("No bookmarks!", LastFlash());
    EXPECT_EQ(3u, Beeps().size());
    EXPECT_EQ(3u, sim::SetCpuCalls().size());
}

TEST_F(NavigationPanelTest, ToggleAndSwitchActOnTheBookmarkAtSelectionOnly) {
    StoreSetting("restore_bookmarks_window", 1);
    StartPanel();
    PressAt(kA, kToggle);
    EXPECT_EQ((std::vector<uint32_t>{kA}), BookmarkAddresses());
    EXPECT_EQ("Bk. (1/01/1)", PanelCaption());
    EXPECT_TRUE(Enabled(kSwitch));
    PressAt(kB, kToggle);
    sim::PaintNow(ListWindow());

    PressAt(kC, kSwitch);
    EXPECT_EQ("Bk. (2/02/2)", PanelCaption());
    EXPECT_FALSE(sim::RepaintPending(ListWindow()));
    PressAt(kB, kSwitch);
    EXPECT_EQ(0, Bookmark(kB)->active);
    EXPECT_EQ(1, Bookmark(kA)->active);
    EXPECT_EQ("Bk. (-1/01/2)", PanelCaption());
    EXPECT_TRUE(Enabled(kSwitch));
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    PressAt(kB, kSwitch);
    EXPECT_EQ(1, Bookmark(kB)->active);
    EXPECT_EQ("Bk. (2/02/2)", PanelCaption());

    PressAt(kA, kToggle);
    EXPECT_EQ((std::vector<uint32_t>{kB}), BookmarkAddresses());
    EXPECT_FALSE(Enabled(kSwitch));
    EXPECT_TRUE(Beeps().empty());
}

TEST_F(NavigationPanelTest, ButtonsDoNothingWithoutSelectedAddress) {
    StartPanel();
    dll.zt_Toggle(kA);
    std::string caption = PanelCaption();
    size_t logLines = sim::LogLines().size();
    size_t flashes = Flashes().size();

    for (bool noPane : {false, true}) {
        SCOPED_TRACE(noPane ? "no pane record" : "selection 0");
        if (noPane) sim::FailValue(53);
        for (int id : {kPrevious, kNext, kToggle, kSwitch}) PressAt(noPane ? kA : 0, id);

        EXPECT_EQ((std::vector<uint32_t>{kA}), BookmarkAddresses());
        EXPECT_EQ(1, Bookmark(kA)->active);
        EXPECT_EQ(caption, PanelCaption());
        EXPECT_EQ(logLines, sim::LogLines().size());
        EXPECT_EQ(flashes, Flashes().size());
        EXPECT_TRUE(Beeps().empty());
        EXPECT_TRUE(sim::SetCpuCalls().empty());
    }
}

}  // namespace
