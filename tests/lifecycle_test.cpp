// The plug-in's life: what the host sees at start, close, destroy and unload.
#include "host/log_dump.h"
#include "host/plugin_fixture.h"

namespace {

std::vector<std::string> Log(size_t from = 0) { return sim::LogDump(from); }

class LifecycleTest : public PluginTest {
protected:
    static bool TableIsLive() { return sim::LastCreatedSorted() != nullptr; }
    static std::string ClassName() {
        return sim::ClassRegistrations().empty() ? std::string() : sim::ClassRegistrations().front().name;
    }

    // A refused start logs one failure line and leaves nothing behind.
    void ExpectRefused(int result, const std::string& failure) {
        EXPECT_EQ(-1, result);
        EXPECT_EQ((std::vector<std::string>{"00000000 1 Zentrilo: " + failure}), Log());
        EXPECT_FALSE(TableIsLive());
        EXPECT_FALSE(!ClassName().empty() && sim::IsClassRegistered(ClassName()));
        EXPECT_EQ(nullptr, FindPanel());
    }
};

TEST_F(LifecycleTest, RefusesHostOlderThan110Silently) {
    EXPECT_EQ(-1, Start(109));
    EXPECT_TRUE(Log().empty());
    EXPECT_TRUE(sim::SortedCreations().empty());
    EXPECT_TRUE(sim::ClassRegistrations().empty());
    EXPECT_EQ(nullptr, FindPanel());
}

TEST_F(LifecycleTest, StartsOnNewerHostAndLogsItsVersion) {
    ASSERT_EQ(0, Start(111));
    EXPECT_EQ("Zentrilo", PluginName());
    ASSERT_EQ(1u, Log().size());
    const std::string prefix = "00000000 0 Zentrilo Plug-in version 1.9\n\t";
    EXPECT_EQ(prefix, Log()[0].substr(0, prefix.size()));
    EXPECT_GT(Log()[0].size(), prefix.size());
    EXPECT_EQ(Instance(), sim::ClassRegistrations().at(0).instance);
}

TEST_F(LifecycleTest, TableFailureRefusesStart) {
    sim::FailCreateSorted();
    ExpectRefused(Start(), "Unable to allocate memory!");
    EXPECT_TRUE(sim::ClassRegistrations().empty());
}

TEST_F(LifecycleTest, ClassFailureRefusesStartAndDestroysTable) {
    sim::FailRegisterClass();
    ExpectRefused(Start(), "Unable to register class!");
}

TEST_F(LifecycleTest, PanelFailureRefusesStartUnregistersClassAndDestroysTable) {
    // A main window that is no window: the panel's owner is refused.
    HWND gone = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    mainWindow_ = gone;
    ExpectRefused(Start(), "Unable to create main window!");
    EXPECT_EQ((std::vector<std::string>{ClassName()}), sim::ClassUnregistrations());
}

TEST_F(LifecycleTest, AutoShowOffKeepsPanelHidden) {
    StoreSetting("auto_show", 0);
    ASSERT_EQ(0, Start());
    ASSERT_NE(nullptr, FindPanel());
    EXPECT_FALSE(IsWindowVisible(FindPanel()));
}

TEST_F(LifecycleTest, CloseSavesPanelPositionTopThenLeft) {
    ASSERT_EQ(0, Start());
    SetWindowPos(FindPanel(), nullptr, 300, 150, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(0, dll.Pluginclose());
    EXPECT_EQ((std::vector<std::string>{"top=150", "left=300"}), SettingWrites());
}

TEST_F(LifecycleTest, DestroyUnregistersClassAndDestroysTableThenUnloadLogsWhatIsLeft) {
    ASSERT_EQ(0, Start());
    for (uint32_t address : {0x7000u, 0x10u}) dll.zt_Toggle(address);
    std::string name = ClassName();
    Shutdown();
    EXPECT_EQ((std::vector<std::string>{name}), sim::ClassUnregistrations());
    EXPECT_FALSE(sim::IsClassRegistered(name));
    EXPECT_FALSE(TableIsLive());

    size_t before = Log().size();
    Unload();
    const char* deleting = "Zentrilo: Deleting bookmark from line %08X";
    EXPECT_EQ((std::vector<std::string>{sim::LogEntry(0x10, -1, deleting, 0x10),
                                        sim::LogEntry(0x7000, -1, deleting, 0x7000)}),
              Log(before));
}

}  // namespace
