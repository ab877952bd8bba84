// The plug-in's life: what the host sees at start, reset, close, destroy and
// unload.
#include "host/log_dump.h"
#include "host/plugin_fixture.h"

namespace {

std::vector<std::string> Log(size_t from = 0) { return sim::LogDump(from); }

std::string DeletingLine(uint32_t address) {
    return sim::LogEntry(address, -1, "Zentrilo: Deleting bookmark from line %08X", address);
}

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

class LifecycleTest : public PluginTest {
protected:
    // Plugininit with a main window of the test's choice.
    int InitWith(HWND mainWindow) {
        char name[64] = "";
        dll.Plugindata(name);
        unsigned long features = 0;
        return dll.Plugininit(110, mainWindow, &features);
    }
    static bool TableIsLive() { return sim::LastCreatedSorted() != nullptr; }
    static std::string ClassName() {
        return sim::ClassRegistrations().empty() ? std::string() : sim::ClassRegistrations().front().name;
    }
};

TEST_F(LifecycleTest, RefusesHostOlderThan110Silently) {
    EXPECT_EQ(-1, Start(109));
    EXPECT_EQ("Zentrilo", PluginName());
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(sim::SortedCreations().empty());
    EXPECT_TRUE(sim::ClassRegistrations().empty());
    EXPECT_EQ(nullptr, FindPanel());
}

TEST_F(LifecycleTest, StartsOnNewerHost) {
    EXPECT_EQ(0, Start(111));
    EXPECT_NE(nullptr, FindPanel());
}

TEST_F(LifecycleTest, StartLogsVersionLineWithIndentedNotice) {
    ASSERT_EQ(0, Start());
    ASSERT_EQ(1u, Log().size());
    const std::string prefix = "00000000 0 Zentrilo Plug-in version 1.9\n\t";
    EXPECT_EQ(prefix, Log()[0].substr(0, prefix.size()));
    EXPECT_GT(Log()[0].size(), prefix.size());
    ASSERT_EQ(1u, sim::SortedCreations().size());
    EXPECT_EQ("ZentriloList", sim::SortedCreations()[0].name);
    EXPECT_EQ(346, sim::SortedCreations()[0].itemSize);
    EXPECT_EQ(Instance(), sim::ClassRegistrations().at(0).instance);
}

TEST_F(LifecycleTest, TableFailureLogsAndRegistersNothing) {
    sim::FailCreateSorted();
    EXPECT_EQ(-1, Start());
    EXPECT_EQ((std::vector<std::string>{"00000000 1 Zentrilo: Unable to allocate memory!"}), Log());
    EXPECT_TRUE(sim::ClassRegistrations().empty());
    EXPECT_EQ(nullptr, FindPanel());
}

TEST_F(LifecycleTest, ClassFailureLogsAndDestroysTable) {
    sim::FailRegisterClass();
    EXPECT_EQ(-1, Start());
    EXPECT_EQ((std::vector<std::string>{"00000000 1 Zentrilo: Unable to register class!"}), Log());
    EXPECT_FALSE(TableIsLive());
    EXPECT_EQ(1, sim::CountSortedCalls(sim::SortedOp::Destroy));
    EXPECT_TRUE(sim::ClassUnregistrations().empty());
    EXPECT_EQ(nullptr, FindPanel());
}

TEST_F(LifecycleTest, PanelFailureLogsUnregistersClassAndDestroysTable) {
    // A main window that is no window: the panel's owner is refused.
    HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, gone);
    DestroyWindow(gone);

    EXPECT_EQ(-1, InitWith(gone));
    EXPECT_EQ((std::vector<std::string>{"00000000 1 Zentrilo: Unable to create main window!"}), Log());
    EXPECT_EQ((std::vector<std::string>{ClassName()}), sim::ClassUnregistrations());
    EXPECT_FALSE(sim::IsClassRegistered(ClassName()));
    EXPECT_FALSE(TableIsLive());
    EXPECT_EQ(1, sim::CountSortedCalls(sim::SortedOp::Destroy));
}

TEST_F(LifecycleTest, NothingStoredShowsPanelAtScreenOriginAndNoListWindow) {
    ASSERT_EQ(0, Start());
    HWND panel = FindPanel();
    ASSERT_NE(nullptr, panel);
    EXPECT_TRUE(IsWindowVisible(panel));
    EXPECT_EQ("Zentrilo", Caption(panel));
    EXPECT_EQ(0, WindowRect(panel).left);
    EXPECT_EQ(0, WindowRect(panel).top);
    EXPECT_TRUE(sim::QuickTableCalls().empty());
    EXPECT_EQ(nullptr, ListWindow());
}

TEST_F(LifecycleTest, AutoShowOffKeepsPanelHidden) {
    StoreSetting("auto_show", 0);
    ASSERT_EQ(0, Start());
    ASSERT_NE(nullptr, FindPanel());
    EXPECT_FALSE(IsWindowVisible(FindPanel()));
}

TEST_F(LifecycleTest, RestoreBookmarksWindowOpensListWindow) {
    StoreSetting("restore_bookmarks_window", 1);
    ASSERT_EQ(0, Start());
    ASSERT_EQ(1u, sim::QuickTableCalls().size());
    EXPECT_EQ(ClassName(), sim::QuickTableCalls()[0].className);
    EXPECT_EQ("Tessivor", sim::QuickTableCalls()[0].title);
    EXPECT_TRUE(sim::QuickTableCalls()[0].created);
    EXPECT_NE(nullptr, ListWindow());
}

TEST_F(LifecycleTest, CloseSavesPanelPositionTopThenLeft) {
    ASSERT_EQ(0, Start());
    SetWindowPos(FindPanel(), nullptr, 300, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(0, dll.Pluginclose());
    EXPECT_EQ((std::vector<std::string>{"top=150", "left=300"}), SettingWrites());
}

TEST_F(LifecycleTest, StartRestoresSavedPanelPositionAndSize) {
    StoreSetting("top", 150);
    StoreSetting("left", 300);
    ASSERT_EQ(0, Start());
    RECT rect = WindowRect(FindPanel());
    EXPECT_EQ(300, rect.left);
    EXPECT_EQ(150, rect.top);
    EXPECT_GT(rect.right - rect.left, 20);
    EXPECT_GT(rect.bottom - rect.top, 20);
}

TEST_F(LifecycleTest, ResetDeletesEveryBookmarkLowestFirst) {
    StoreSetting("restore_bookmarks_window", 1);
    ASSERT_EQ(0, Start());
    dll.Pluginreset();
    EXPECT_EQ(1u, Log().size());

    for (uint32_t address : {0x402000u, 0x401000u, 0x403000u}) dll.zt_Toggle(address);
    sim::PaintNow(ListWindow());
    size_t before = Log().size();
    dll.Pluginreset();

    EXPECT_EQ((std::vector<std::string>{DeletingLine(0x401000), DeletingLine(0x402000), DeletingLine(0x403000)}),
              Log(before));
    EXPECT_TRUE(BookmarkAddresses().empty());
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_EQ(0, dll.zt_Exists(0x402000));
    EXPECT_EQ("Zentrilo", Caption(FindPanel()));
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    sim::PaintNow(ListWindow());
    EXPECT_EQ(0, sim::PaintedRows());
}

TEST_F(LifecycleTest, DestroyUnregistersClassAndDestroysTable) {
    ASSERT_EQ(0, Start());
    std::string name = ClassName();
    ASSERT_TRUE(sim::IsClassRegistered(name));
    Shutdown();
    EXPECT_EQ((std::vector<std::string>{name}), sim::ClassUnregistrations());
    EXPECT_FALSE(sim::IsClassRegistered(name));
    EXPECT_FALSE(TableIsLive());
}

TEST_F(LifecycleTest, UnloadLogsRemainingBookmarks) {
    ASSERT_EQ(0, Start());
    for (uint32_t address : {0x7000u, 0x10u}) dll.zt_Toggle(address);
    Shutdown();
    size_t before = Log().size();
    Unload();
    EXPECT_EQ((std::vector<std::string>{DeletingLine(0x10), DeletingLine(0x7000)}), Log(before));
}

}  // namespace
