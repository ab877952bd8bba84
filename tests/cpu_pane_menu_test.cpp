// The CPU disassembler pane's "Toggle Bookmark" item: its menu text, the
// toggle it runs and the name entry that may follow.
#include "host/plugin_fixture.h"

#include <string>

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

    void Run() { ASSERT_EQ(0, Start()); }
    void Choose(uint32_t selected) {
        sim::Pane()->selected = selected;
        Action(kOriginCpuPane, 0, PaneItem());
    }
    static std::string NameOf(uint32_t address) { return Bookmark(address) ? Bookmark(address)->name : "(none)"; }
    static std::string Label(uint32_t address) { return sim::NameAt(address, 49); }
    static size_t PromptCount() { return sim::Prompts().size(); }
};

TEST_F(CpuPaneMenuTest, ItemShowsPlusOrMinusWithSelectedAddress) {
    Run();
    EXPECT_EQ(1, Menu(kOriginCpuPane, PaneItem()).result);
    EXPECT_EQ("0 Toggle Bookmark \t+[004010AB]", Menu(kOriginCpuPane, PaneItem()).text);
    dll.zt_Toggle(kSelected);
    EXPECT_EQ("0 Toggle Bookmark \t-[004010AB]", Menu(kOriginCpuPane, PaneItem()).text);
    static_cast<uint8_t*>(HostFindSorted(&Table()->sorted, kSelected))[16] = 0;
    EXPECT_EQ("0 Toggle Bookmark \t-[004010AB]", Menu(kOriginCpuPane, PaneItem()).text);
    sim::Pane()->selected = kOther;
    EXPECT_EQ("0 Toggle Bookmark \t+[004010C0]", Menu(kOriginCpuPane, PaneItem()).text);
}

TEST_F(CpuPaneMenuTest, NoItemWhenSwitchedOffWithoutItemOrWithoutMemory) {
    Run();
    StoreSetting("show_toggle_bookmark", 0);
    EXPECT_EQ(0, Menu(kOriginCpuPane, PaneItem()).result);
    StoreSetting("show_toggle_bookmark", 1);
    EXPECT_EQ(0, Menu(kOriginCpuPane, nullptr).result);
    ShowBlock(kBlock, 0);
    EXPECT_EQ(0, Menu(kOriginCpuPane, PaneItem()).result);
    ShowBlock(kBlock, 0x1000);
    EXPECT_EQ(0, Menu(5, PaneItem()).result);
    EXPECT_EQ("", Menu(5, PaneItem()).text);
    EXPECT_EQ(1, Menu(kOriginCpuPane, PaneItem()).result);
}

TEST_F(CpuPaneMenuTest, ActionTogglesAndOtherActionsOrOriginsDoNothing) {
    Run();
    Choose(kSelected);
    ASSERT_TRUE(Bookmark(kSelected).has_value());
    EXPECT_EQ("Zentrilo: Bookmark added Successfully to line 004010AB", LastFlash());
    Action(kOriginCpuPane, 1, PaneItem());
    Action(5, 0, PaneItem());
    EXPECT_EQ(1, dll.zt_Count());
    Choose(kSelected);
    EXPECT_EQ(0, dll.zt_Count());
    EXPECT_EQ("Zentrilo: Bookmark deleted from line 004010AB", LastFlash());
    EXPECT_TRUE(Beeps().empty());
}

TEST_F(CpuPaneMenuTest, NothingSelectedBeeps) {
    Run();
    Action(kOriginCpuPane, 0, nullptr);
    Choose(0);
    EXPECT_EQ((std::vector<UINT>{0, 0}), Beeps());
    EXPECT_EQ(0, dll.zt_Count());
}

TEST_F(CpuPaneMenuTest, WithNothingStoredNoNameIsAskedAndNoLabelSet) {
    Run();
    sim::ReplyText("unused");
    Choose(kSelected);
    EXPECT_EQ(0u, PromptCount());
    EXPECT_EQ("n/a", NameOf(kSelected));
    EXPECT_TRUE(sim::NameInsertions().empty());
}

TEST_F(CpuPaneMenuTest, NameEntryAsksAtScreenCentreWithEmptyEntry) {
    StoreSetting("show_bookmark_name_dialog", 1);
    Run();
    sim::ReplyText("entry point");
    Choose(kSelected);
    ASSERT_EQ(1u, PromptCount());
    const sim::Prompt& prompt = sim::Prompts()[0];
    EXPECT_EQ("Enter bookmark name at address 004010AB", prompt.title);
    EXPECT_EQ("", prompt.initialText);
    EXPECT_EQ(0, prompt.letter);
    EXPECT_EQ(255, prompt.type);
    EXPECT_EQ(0, prompt.fontIndex);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, prompt.x);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2, prompt.y);
    EXPECT_EQ("entry point", NameOf(kSelected));
    EXPECT_TRUE(sim::NameInsertions().empty());
}

TEST_F(CpuPaneMenuTest, LongNamesAreCutAfterSixtyTwoCharacters) {
    StoreSetting("show_bookmark_name_dialog", 1);
    Run();
    const std::string fits(62, 'a');
    const std::string tooLong = std::string(60, 'b') + "XYZ";
    sim::ReplyText(fits);
    Choose(kSelected);
    sim::ReplyText(tooLong);
    Choose(kOther);
    sim::ReplyText("");
    Choose(kOther + 1);
    EXPECT_EQ(fits, NameOf(kSelected));
    EXPECT_EQ(std::string(60, 'b') + "...", NameOf(kOther));
    EXPECT_EQ("", NameOf(kOther + 1));
}

TEST_F(CpuPaneMenuTest, CancelKeepsPlaceholderAndRemovingNeverAsks) {
    StoreSetting("show_bookmark_name_dialog", 1);
    Run();
    sim::ReplyCancel();
    Choose(kSelected);
    EXPECT_EQ("n/a", NameOf(kSelected));
    sim::ReplyText("unused");
    Choose(kSelected);
    EXPECT_EQ(1u, PromptCount());
    EXPECT_FALSE(Bookmark(kSelected).has_value());
}

TEST_F(CpuPaneMenuTest, NameBecomesLabelOnlyWhenMappingIsExactlyOne) {
    StoreSetting("show_bookmark_name_dialog", 1);
    StoreSetting("map_bookmark_name_to_label", 1);
    Run();
    sim::ReplyText("start");
    Choose(kSelected);
    EXPECT_EQ("start", Label(kSelected));
    ASSERT_EQ(1u, sim::NameInsertions().size());
    EXPECT_EQ(49, sim::NameInsertions()[0].type);

    StoreSetting("map_bookmark_name_to_label", 2);
    sim::ReplyText("other");
    Choose(kOther);
    EXPECT_EQ("other", NameOf(kOther));
    EXPECT_EQ("", Label(kOther));
    EXPECT_EQ(0, sim::DisassemblyRefreshes());
}

TEST_F(CpuPaneMenuTest, SettingsTakeEffectAtTheNextChoice) {
    Run();
    Choose(kSelected);
    StoreSetting("show_bookmark_name_dialog", 1);
    sim::ReplyText("second");
    Choose(kOther);
    StoreSetting("show_bookmark_name_dialog", 0);
    Choose(kOther + 1);
    EXPECT_EQ(1u, PromptCount());
    EXPECT_EQ("second", NameOf(kOther));
    EXPECT_EQ("n/a", NameOf(kOther + 1));
}

}  // namespace
