// The button on the main window that opens the bookmark list.
#include "host/dialog_controls.h"
#include "host/plugin_fixture.h"

#include <climits>
#include <utility>
#include <vector>

namespace {

HWND FindButton(HWND mainWindow) { return FindWindowExA(mainWindow, nullptr, "Button", nullptr); }

// A CBT hook on this thread while it lives: it can refuse the creation of
// child windows of the main window (the button), and it notes how many
// WM_COMMANDs the host's frame had handled when each MDI child was created.
class CreationWatch {
public:
    explicit CreationWatch(bool refuseMainWindowChildren) {
        refuse_ = refuseMainWindowChildren;
        commandsAtChildCreation_.clear();
        hook_ = SetWindowsHookExA(WH_CBT, Watch, nullptr, GetCurrentThreadId());
    }
    ~CreationWatch() { UnhookWindowsHookEx(hook_); }
    static const std::vector<size_t>& CommandsAtChildCreation() { return commandsAtChildCreation_; }

private:
    static LRESULT CALLBACK Watch(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_CREATEWND) {
            const CREATESTRUCTA* create = reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
            HWND parent = create->hwndParent;
            if (refuse_ && parent == sim::MainWindow() && (create->style & WS_CHILD)) return 1;
            if (parent == sim::MdiClient()) commandsAtChildCreation_.push_back(sim::FrameCommands().size());
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline bool refuse_ = false;
    static inline std::vector<size_t> commandsAtChildCreation_;
    HHOOK hook_;
};

using ToolbarButtonTest = PluginTest;

TEST_F(ToolbarButtonTest, NotInstalledByDefault) {
    LONG_PTR hostProcedure = GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC);
    ASSERT_EQ(0, Start());
    EXPECT_EQ(nullptr, FindButton(mainWindow_));
    EXPECT_EQ(hostProcedure, GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC));
}

TEST_F(ToolbarButtonTest, ShiftedButtonOpensListWindowOnClick) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    StoreSetting("toolbar_button_shift", 20);
    ASSERT_EQ(0, Start());
    HWND button = FindButton(mainWindow_);
    ASSERT_NE(nullptr, button);
    EXPECT_EQ(706, sim::ClientTopLeft(button).x);
    EXPECT_EQ(2, sim::ClientTopLeft(button).y);
    RECT rect{};
    GetWindowRect(button, &rect);
    EXPECT_EQ(18, rect.right - rect.left);
    EXPECT_EQ(18, rect.bottom - rect.top);
    EXPECT_NE(0, SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0));

    // The host answers first and its result comes back unchanged.
    EXPECT_EQ(42, SendMessageA(mainWindow_, sim::kHostEchoMessage, 0, 41));
    SendMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), 0);
    EXPECT_TRUE(sim::QuickTableCalls().empty());

    CreationWatch watch(false);
    SendMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(button));
    EXPECT_EQ(2u, sim::FrameCommands().size());
    EXPECT_EQ(std::vector<size_t>{2}, CreationWatch::CommandsAtChildCreation()) << "the host handles the click first";
    ASSERT_EQ(1u, sim::QuickTableCalls().size());
    EXPECT_EQ("Tessivor", sim::QuickTableCalls()[0].title);
    EXPECT_NE(nullptr, ListWindow());
}

// Without a button, a command of the host's own (no control behind it) does
// not open the list although the main window runs through ours.
TEST_F(ToolbarButtonTest, ButtonThatCouldNotBeCreatedOpensNothing) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    LONG_PTR hostProcedure = GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC);
    {
        CreationWatch watch(true);
        ASSERT_EQ(0, Start());
    }
    ASSERT_EQ(nullptr, FindButton(mainWindow_));
    ASSERT_NE(hostProcedure, GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC));
    SendMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), 0);
    EXPECT_EQ(1u, sim::FrameCommands().size());
    EXPECT_TRUE(sim::QuickTableCalls().empty());
}

// The stored offset is used without a range check; one near INT_MAX wraps around.
class ToolbarButtonShiftTest : public PluginTest, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(ToolbarButtonShiftTest, StoredShiftIsUsedWithoutRangeCheck) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    StoreSetting("toolbar_button_shift", GetParam().first);
    ASSERT_EQ(0, Start());
    ASSERT_NE(nullptr, FindButton(mainWindow_));
    EXPECT_EQ(GetParam().second, sim::ClientTopLeft(FindButton(mainWindow_)).x);
}

INSTANTIATE_TEST_SUITE_P(Offsets, ToolbarButtonShiftTest,
                         ::testing::Values(std::make_pair(-5, 681), std::make_pair(INT_MAX - 686, INT_MAX),
                                           std::make_pair(INT_MAX, INT_MIN + 685)));

}  // namespace
