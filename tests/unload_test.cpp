// Destroy and unload while the debugger's windows live on: the plug-in's own
// windows go before their class and table, its subclasses leave the main
// window and the CPU pane, or, where another subclass sits above one of
// them, stay and keep the library loaded. Nothing of it runs afterwards.
#include "host/plugin_fixture.h"

namespace {

constexpr uint32_t kCode = 0x401000;
const char kStaysLoaded[] = "Zentrilo: Another subclass sits above ours, the plug-in stays loaded";

HWND FindButton(HWND mainWindow) { return FindWindowExA(mainWindow, nullptr, "Button", nullptr); }

class UnloadTest : public PluginTest {
protected:
    // The toolbar button, the panel shown, the list open, both subclasses in place.
    void StartWithEverything() {
        StoreSetting("add_bookmarks_toolbar_button", 1);
        StoreSetting("restore_bookmarks_window", 1);
        AddBlock(kCode, 0x100, 0x90);
        hostProcedure_ = GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC);
        paneProcedure_ = GetWindowLongPtrA(sim::PaneWindow(), GWLP_WNDPROC);
        ASSERT_EQ(0, Start());
        // The watcher's first tick, without waiting for it.
        ASSERT_EQ(1u, sim::LiveTimers().size());
        sim::LiveTimers()[0].procedure(nullptr, WM_TIMER, sim::LiveTimers()[0].id, GetTickCount());
        ASSERT_NE(hostProcedure_, GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC));
        ASSERT_NE(paneProcedure_, GetWindowLongPtrA(sim::PaneWindow(), GWLP_WNDPROC));
        list_ = ListWindow();
        panel_ = FindPanel();
        button_ = FindButton(mainWindow_);
        ASSERT_TRUE(list_ && panel_ && button_ && IsWindowVisible(panel_));
    }

    // The debugger's windows answer as before; a click on the button and a
    // move in the pane reach the host and nothing of the plug-in.
    void ExpectHostWindowsWorkWithoutThePlugin() {
        const size_t valuesAsked = sim::ValueRequests().size();
        EXPECT_EQ(42, SendMessageA(mainWindow_, sim::kHostEchoMessage, 0, 41));
        SendMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(button_));
        EXPECT_EQ(WPARAM(MAKEWPARAM(0, BN_CLICKED)), sim::FrameCommands().back());
        EXPECT_EQ(1u, sim::QuickTableCalls().size()) << "the button opened the list again";
        SelectInPane(kCode);
        EXPECT_EQ(sim::kPaneSelectionChanged, sim::PaneMessages().back().message);
        SendMessageA(sim::PaneWindow(), WM_KEYDOWN, VK_DOWN, 0);
        EXPECT_EQ(UINT(WM_KEYDOWN), sim::PaneMessages().back().message);
        EXPECT_EQ(valuesAsked, sim::ValueRequests().size()) << "the pane's subclass still follows the selection";
    }

    LONG_PTR hostProcedure_ = 0;
    LONG_PTR paneProcedure_ = 0;
    HWND list_ = nullptr;
    HWND panel_ = nullptr;
    HWND button_ = nullptr;
};

TEST_F(UnloadTest, WithTheMainWindowAliveDestroyClosesTheListAndPanelAndUnloads) {
    StartWithEverything();
    dll.zt_Toggle(kCode);
    const std::string listClass = sim::ClassRegistrations().at(0).name;

    ShutdownKeepingMainWindow();
    EXPECT_FALSE(IsWindow(list_));
    EXPECT_FALSE(IsWindow(panel_));
    EXPECT_FALSE(sim::IsClassRegistered(listClass));
    EXPECT_EQ(hostProcedure_, GetWindowLongPtrA(mainWindow_, GWLP_WNDPROC));
    EXPECT_EQ(paneProcedure_, GetWindowLongPtrA(sim::PaneWindow(), GWLP_WNDPROC));
    EXPECT_FALSE(LogHas(kStaysLoaded));

    Unload();
    ExpectHostWindowsWorkWithoutThePlugin();
}

// Another plug-in's subclass, put on after ours, that passes everything on.
WNDPROC g_beneathOnMainWindow = nullptr;
WNDPROC g_beneathOnPane = nullptr;
LRESULT CALLBACK ForeignOnMainWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(g_beneathOnMainWindow, window, message, wParam, lParam);
}
LRESULT CALLBACK ForeignOnPane(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return CallWindowProcA(g_beneathOnPane, window, message, wParam, lParam);
}
WNDPROC SubclassWith(HWND window, WNDPROC procedure) {
    return reinterpret_cast<WNDPROC>(SetWindowLongPtrA(window, GWLP_WNDPROC, LONG_PTR(procedure)));
}

// The library pins itself and stays for the rest of the run: this test loads
// a copy of its own under another name, so later tests still get a fresh one.
class PinnedUnloadTest : public UnloadTest {
protected:
    PinnedUnloadTest() {
        pluginFile_ = "ZentriloPinned.dll";
        staysLoaded_ = true;
    }
};

TEST_F(PinnedUnloadTest, ForeignSubclassesAboveOursKeepThemAndTheLibraryLoaded) {
    StartWithEverything();
    g_beneathOnMainWindow = SubclassWith(mainWindow_, ForeignOnMainWindow);
    g_beneathOnPane = SubclassWith(sim::PaneWindow(), ForeignOnPane);

    ShutdownKeepingMainWindow();
    EXPECT_FALSE(IsWindow(list_));
    EXPECT_FALSE(IsWindow(panel_));
    EXPECT_TRUE(LogHas(kStaysLoaded));

    Unload();   // the fixture checks that the library is still there
    ExpectHostWindowsWorkWithoutThePlugin();
}

}  // namespace
