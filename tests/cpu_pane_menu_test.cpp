// The CPU disassembler pane's "Toggle Bookmark" item: its menu text, the
// toggle it runs and the name entry that may follow.
#include "host/plugin_fixture.h"

namespace {

constexpr uint32_t kBlock = 0x401000;
constexpr uint32_t kSelected = 0x4010AB;
constexpr uint32_t kOther = 0x4010C0;

class CpuPaneMenuTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        AddBlock(kBlock, 0x1000, 0x90);
        ShowBlock(kBlock, 0x1000);
        sim::Pane()->selected = kSelected;
    }

    void Choose(uint32_t selected) {
        sim::Pane()->selected = selected;
        Action(kOriginCpuPane, 0, PaneItem());
    }
    static std::string NameOf(uint32_t address) { return Bookmark(address) ? Bookmark(address)->name : "(none)"; }
};

TEST_F(CpuPaneMenuTest, ItemShowsPlusOrMinusWithSelectedAddress) {
    ASSERT_EQ(0, Start());
    EXPECT_EQ(1, Menu(kOriginCpuPane, PaneItem()).result);
    EXPECT_EQ("0 Toggle Bookmark \t+[004010AB]", Menu(kOriginCpuPane, PaneItem()).text);
    dll.zt_Toggle(kSelected);
    EXPECT_EQ("0 Toggle Bookmark \t-[004010AB]", Menu(kOriginCpuPane, PaneItem()).text);
    SetActive(kSelected, 0);
    EXPECT_EQ("0 Toggle Bookmark \t-[004010AB]", Menu(kOriginCpuPane, PaneItem()).text);
    sim::Pane()->selected = kOther;
    EXPECT_EQ("0 Toggle Bookmark \t+[004010C0]", Menu(kOriginCpuPane, PaneItem()).text);
}

TEST_F(CpuPaneMenuTest, NoItemWhenSwitchedOffWithoutItemOrWithoutMemory) {
    ASSERT_EQ(0, Start());
    StoreSetting("show_toggle_bookmark", 0);
    EXPECT_EQ(0, Menu(kOriginCpuPane, PaneItem()).result);
    StoreSetting("show_toggle_bookmark", 1);
    EXPECT_EQ(0, Menu(kOriginCpuPane, nullptr).result);
    ShowBlock(kBlock, 0);
    EXPECT_EQ(0, Menu(kOriginCpuPane, PaneItem()).result);
    ShowBlock(kBlock, 0x1000);
    EXPECT_EQ(0, Menu(5, PaneItem()).result);
}

TEST_F(CpuPaneMenuTest, ActionTogglesOrBeepsWithNothingSelected) {
    ASSERT_EQ(0, Start());
    Choose(kSelected);
    EXPECT_EQ("Zentrilo: Bookmark added Successfully to line 004010AB", LastFlash());
    Action(kOriginCpuPane, 1, PaneItem());
    Action(5, 0, PaneItem());
    EXPECT_EQ((std::vector<uint32_t>{kSelected}), BookmarkAddresses());
    Choose(kSelected);
    EXPECT_EQ("Zentrilo: Bookmark deleted from line 004010AB", LastFlash());
    EXPECT_TRUE(Beeps().empty());

    Action(kOriginCpuPane, 0, nullptr);
    Choose(0);
    EXPECT_EQ((std::vector<UINT>{0, 0}), Beeps());
    EXPECT_EQ(0, dll.zt_Count());
}

// The setting is read at each choice; only a bookmark just added is named.
TEST_F(CpuPaneMenuTest, NameIsAskedForANewBookmarkWhileTheSettingIsOn) {
    ASSERT_EQ(0, Start());
    Choose(kSelected);
    EXPECT_TRUE(sim::Prompts().empty());
    EXPECT_EQ("n/a", NameOf(kSelected));

    StoreSetting("show_bookmark_name_dialog", 1);
    sim::ReplyText("entry point");
    Choose(kOther);
    ASSERT_EQ(1u, sim::Prompts().size());
    EXPECT_EQ("Enter bookmark name at address 004010C0", sim::Prompts()[0].title);
    EXPECT_EQ("", sim::Prompts()[0].initialText);
    EXPECT_EQ("entry point", NameOf(kOther));
    sim::ReplyText(std::string(63, 'b'));
    Choose(kOther + 1);
    EXPECT_EQ(std::string(60, 'b') + "...", NameOf(kOther + 1));
    sim::ReplyCancel();
    Choose(kOther + 2);
    EXPECT_EQ("n/a", NameOf(kOther + 2));
    Choose(kOther);   // removed: nothing to name
    EXPECT_EQ(3u, sim::Prompts().size());
    EXPECT_TRUE(sim::NameInsertions().empty());

    StoreSetting("show_bookmark_name_dialog", 0);
    Choose(kOther + 3);
    EXPECT_EQ(3u, sim::Prompts().size());
}

TEST_F(CpuPaneMenuTest, NameBecomesLabelOnlyWhenMappingIsExactlyOne) {
    StoreSetting("show_bookmark_name_dialog", 1);
    StoreSetting("map_bookmark_name_to_label", 1);
    ASSERT_EQ(0, Start());
    sim::ReplyText("start");
    Choose(kSelected);
    EXPECT_EQ("start", sim::NameAt(kSelected, kHostNameLabel));
    EXPECT_EQ(1u, sim::NameInsertions().size());

    StoreSetting("map_bookmark_name_to_label", 2);
    sim::ReplyText("other");
    Choose(kOther);
    EXPECT_EQ("other", NameOf(kOther));
    EXPECT_EQ(1u, sim::NameInsertions().size());
    EXPECT_EQ(0, sim::DisassemblyRefreshes());
}

}  // namespace
