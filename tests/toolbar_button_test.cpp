// The button on the main window that opens the bookmark list.
#include "host/dialog_controls.h"
#include "host/plugin_fixture.h"

namespace {

HWND FindButton(HWND mainWindow) { return FindWindowExA(mainWindow, nullptr, "Button", nullptr); }

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

    SendMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(button));
    EXPECT_EQ(2u, sim::FrameCommands().size());
    ASSERT_EQ(1u, sim::QuickTableCalls().size());
    EXPECT_EQ("Tessivor", sim::QuickTableCalls()[0].title);
    EXPECT_NE(nullptr, ListWindow());
}

TEST_F(ToolbarButtonTest, StoredShiftIsUsedWithoutRangeCheck) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    StoreSetting("toolbar_button_shift", -5);
    ASSERT_EQ(0, Start());
    ASSERT_NE(nullptr, FindButton(mainWindow_));
    EXPECT_EQ(681, sim::ClientTopLeft(FindButton(mainWindow_)).x);
}

TEST_F(ToolbarButtonTest, AfterDestroyNeitherMainWindowNorCpuPaneRunsPluginCode) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    LONG_PTR hostProcedure = GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC);
    LONG_PTR paneProcedure = GetWindowLongPtrA(sim::PaneWindow(), GWLP_WNDPROC);
    ASSERT_EQ(0, Start());
    // The watcher's first tick, without waiting for it.
    ASSERT_EQ(1u, sim::LiveTimers().size());
    sim::LiveTimers()[0].procedure(nullptr, WM_TIMER, sim::LiveTimers()[0].id, GetTickCount());
    ASSERT_NE(hostProcedure, GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC));
    ASSERT_NE(paneProcedure, GetWindowLongPtrA(sim::PaneWindow(), GWLP_WNDPROC));

    ShutdownKeepingMainWindow();
    EXPECT_EQ(hostProcedure, GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC));
    EXPECT_EQ(paneProcedure, GetWindowLongPtrA(sim::PaneWindow(), GWLP_WNDPROC));

    // The host closes the plug-in's own windows; then the library goes.
    DestroyWindow(FindPanel());
    Unload();
    EXPECT_EQ(42, SendMessageA(mainWindow_, sim::kHostEchoMessage, 0, 41));
    SendMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(FindButton(mainWindow_)));
    SelectInPane(0x401000);
    EXPECT_EQ(sim::kPaneSelectionChanged, sim::PaneMessages().back().message);
}

}  // namespace
