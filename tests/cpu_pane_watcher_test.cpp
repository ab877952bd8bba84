// The watcher that subclasses the CPU disassembler pane once its handle
// appears at 0x4CD6A8, so that the panel's caption and "!" button follow the
// pane's selection. Its timer ticks every 3 s: each test here waits for it.
#include "host/plugin_fixture.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kSwitch = 1005;
constexpr DWORD kTickWaitMs = 4500;

constexpr uint32_t kA = 0x401010;
constexpr uint32_t kB = 0x401020;
constexpr uint32_t kC = 0x401030;

class CpuPaneWatcherTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        pane_ = sim::PaneWindow();
        ownProcedure_ = PaneProcedure();
        AddBlock(0x401000, 0x100, 0x90);
    }

    LONG_PTR PaneProcedure() const { return GetWindowLongPtrA(pane_, GWLP_WNDPROC); }
    bool Subclassed() const { return PaneProcedure() != ownProcedure_; }
    bool WaitForSubclass() { return PumpUntil([this] { return Subclassed(); }, kTickWaitMs); }

    void StartAttached() {
        ASSERT_EQ(0, Start());
        ASSERT_TRUE(WaitForSubclass()) << "the pane was not subclassed after the first tick";
    }

    // A message of the pane's own, with the selection already moved.
    LRESULT SendToPane(uint32_t selection, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        sim::Pane()->selected = selection;
        return SendMessageA(pane_, message, wParam, lParam);
    }

    static std::string PanelCaption() { return Caption(FindPanel()); }
    static bool SwitchEnabled() { return IsWindowEnabled(PanelButton(kSwitch)) != FALSE; }
    static int MainWindowReads() {
        const std::vector<int>& requests = sim::ValueRequests();
        return int(std::count(requests.begin(), requests.end(), 2));
    }

    HWND pane_ = nullptr;
    LONG_PTR ownProcedure_ = 0;
};

TEST_F(CpuPaneWatcherTest, AttachesOnFirstTickAndPanelFollowsSelection) {
    StartAttached();
    EXPECT_TRUE(sim::LiveTimers().empty()) << "the timer still runs after attaching";

    // The pane's own procedure still gets every message and gives the result.
    EXPECT_EQ(LRESULT(std::strlen("Disassembler")), SendMessageA(pane_, WM_GETTEXTLENGTH, 0, 0));
    SendToPane(0, WM_KEYDOWN, VK_NEXT, 0x510001);
    ASSERT_EQ(1u, sim::PaneMessages().size());
    EXPECT_EQ(UINT(WM_KEYDOWN), sim::PaneMessages()[0].message);
    EXPECT_EQ(WPARAM(VK_NEXT), sim::PaneMessages()[0].wParam);
    EXPECT_EQ(LPARAM(0x510001), sim::PaneMessages()[0].lParam);
    EXPECT_EQ("Zentrilo", PanelCaption()) << "nothing is selected, so nothing to show";

    dll.zt_Toggle(kA);
    dll.zt_Toggle(kB);

    SelectInPane(kC);
    EXPECT_EQ("Bk. (-1/02/2)", PanelCaption());
    EXPECT_FALSE(SwitchEnabled());
    SelectInPane(kB);
    EXPECT_EQ("Bk. (2/02/2)", PanelCaption());
    EXPECT_TRUE(SwitchEnabled());

    SendToPane(kA, WM_KEYUP, VK_UP);
    SendToPane(kA, WM_USER + 7);
    EXPECT_EQ("Bk. (2/02/2)", PanelCaption());
    SendToPane(kA, WM_KEYDOWN, VK_UP);
    EXPECT_EQ("Bk. (1/02/2)", PanelCaption());
    SendToPane(kC, sim::kPaneScrolled);
    EXPECT_EQ("Bk. (-1/02/2)", PanelCaption());
    EXPECT_FALSE(SwitchEnabled());

    // A disabled bookmark shows no position but keeps "!" usable.
    SelectInPane(kB);
    SendMessageA(FindPanel(), WM_COMMAND, kSwitch, 0);
    SelectInPane(kC);
    SelectInPane(kB);
    EXPECT_EQ("Bk. (-1/01/2)", PanelCaption());
    EXPECT_TRUE(SwitchEnabled());
}

TEST_F(CpuPaneWatcherTest, HiddenPanelIgnoresSelectionUntilShownAgain) {
    StartAttached();
    dll.zt_Toggle(kA);
    SelectInPane(kC);
    ShowWindow(FindPanel(), SW_HIDE);

    SelectInPane(kA);
    EXPECT_EQ("Bk. (-1/01/1)", PanelCaption());
    EXPECT_FALSE(SwitchEnabled());
    EXPECT_EQ(sim::kPaneSelectionChanged, sim::PaneMessages().back().message);

    ShowWindow(FindPanel(), SW_SHOWNORMAL);
    SendToPane(kA, WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ("Bk. (1/01/1)", PanelCaption());
    EXPECT_TRUE(SwitchEnabled());
}

TEST_F(CpuPaneWatcherTest, KeepsTryingUntilPaneHandleIsPublished) {
    sim::WithdrawPaneHandle();
    ASSERT_EQ(0, Start());
    int reads = MainWindowReads();

    EXPECT_TRUE(PumpUntil([&] { return MainWindowReads() > reads; }, kTickWaitMs)) << "the timer did not tick";
    EXPECT_FALSE(Subclassed());
    EXPECT_EQ(1u, sim::LiveTimers().size());

    sim::PublishPaneHandle();
    EXPECT_TRUE(WaitForSubclass());
    EXPECT_TRUE(sim::LiveTimers().empty());
    dll.zt_Toggle(kA);
    SelectInPane(kA);
    EXPECT_EQ("Bk. (1/01/1)", PanelCaption());
}

TEST_F(CpuPaneWatcherTest, PaneGetsItsOwnProcedureBackWhenPluginEnds) {
    StartAttached();
    // The pane outlives the host's main window here, and so the plug-in.
    SetParent(pane_, nullptr);

    Unload();
    EXPECT_EQ(ownProcedure_, PaneProcedure());
    SelectInPane(kA);
    EXPECT_EQ(sim::kPaneSelectionChanged, sim::PaneMessages().back().message);
}

TEST_F(CpuPaneWatcherTest, PluginEndingBeforeAttachLeavesNoTimer) {
    sim::WithdrawPaneHandle();
    ASSERT_EQ(0, Start());
    ASSERT_EQ(1u, sim::LiveTimers().size());

    Shutdown();
    EXPECT_TRUE(sim::LiveTimers().empty()) << "the timer would fire into the unloaded library";
}

}  // namespace
