// The list window's popup menu: its entries for the selected bookmark, and
// the command behind each.
#include "list_window_fixture.h"

namespace {

using namespace listwindow;

constexpr UINT kSeparator = UINT(-1);

class ListPopupMenuTest : public ListWindowTest {
protected:
    void SetUp() override {
        ListWindowTest::SetUp();
        StartWithList();
    }

    std::string ChooseAndSee(int id) {
        Watch();
        EXPECT_EQ(0, Popup(id));
        return Happened();
    }

    static std::vector<std::string> Texts(const sim::PopupShown& popup) {
        std::vector<std::string> texts;
        for (const sim::MenuEntry& entry : popup.entries) texts.push_back(entry.text);
        return texts;
    }

    static std::vector<UINT> Ids(const sim::PopupShown& popup) {
        std::vector<UINT> ids;
        for (const sim::MenuEntry& entry : popup.entries) ids.push_back(entry.id);
        return ids;
    }

    static bool Separator(const sim::MenuEntry& entry) { return (entry.state & MF_SEPARATOR) != 0; }
    // Separators count as greyed to the system; only commands are asked here.
    static bool Greyed(const sim::MenuEntry& entry) { return !Separator(entry) && (entry.state & MF_GRAYED) != 0; }
};

TEST_F(ListPopupMenuTest, ActiveBookmarkGetsTwelveEntriesInOrder) {
    Add({kA});
    Popup(0);
    ASSERT_EQ(1u, sim::PopupsShown().size());
    const sim::PopupShown& popup = sim::PopupsShown()[0];
    EXPECT_EQ((std::vector<std::string>{"&Follow\tEnter", "&Delete\tDel", "&Disable\tSpace", "", "&Edit Name\t:",
                                        "&Edit Comment\t;", "", "Set one-shot breakpoint", "", "Google\tG", "",
                                        "Help\t?"}),
              Texts(popup));
    EXPECT_EQ((std::vector<UINT>{1, 2, 3, kSeparator, 4, 5, kSeparator, 6, kSeparator, 7, kSeparator, 8}), Ids(popup));
    for (const sim::MenuEntry& entry : popup.entries) {
        EXPECT_EQ(entry.id == kSeparator, Separator(entry)) << entry.text;
        EXPECT_FALSE(Greyed(entry)) << entry.text;
    }

    const sim::TableFunctionCall& call = sim::TableFunctionCalls().back();
    EXPECT_EQ(kPopupMessage, call.message);
    EXPECT_EQ(ListWindow(), call.window);
    EXPECT_EQ(0u, call.wParam);
    EXPECT_FALSE(IsMenu(reinterpret_cast<HMENU>(call.lParam))) << "the menu was not destroyed";
}

TEST_F(ListPopupMenuTest, DisabledBookmarkIsOfferedEnableAndUnreachableOneNoBreakpoint) {
    Add({kA, kOutside});
    SetActive(kA, 0);
    Popup(0);
    EXPECT_EQ("&Enable\tSpace", sim::PopupsShown().back().entries.at(2).text);
    EXPECT_FALSE(Greyed(sim::PopupsShown().back().entries.at(7)));

    Select(kOutside);
    Popup(0);
    const sim::PopupShown& popup = sim::PopupsShown().back();
    EXPECT_EQ("&Disable\tSpace", popup.entries.at(2).text);
    EXPECT_EQ("Set one-shot breakpoint", popup.entries.at(7).text);
    EXPECT_TRUE(Greyed(popup.entries.at(7)));
    EXPECT_EQ(1, std::count_if(popup.entries.begin(), popup.entries.end(), Greyed));
}

TEST_F(ListPopupMenuTest, WithoutSelectedRowHostShowsEmptyMenuAndChoiceIsIgnored) {
    Add({kA});
    SelectNone();
    EXPECT_EQ("", ChooseAndSee(2));
    ASSERT_EQ(1u, sim::PopupsShown().size());
    EXPECT_TRUE(sim::PopupsShown()[0].hadMenu);
    EXPECT_TRUE(sim::PopupsShown()[0].entries.empty());
    EXPECT_FALSE(IsMenu(reinterpret_cast<HMENU>(sim::TableFunctionCalls().back().lParam)));
}

TEST_F(ListPopupMenuTest, EachEntryRunsItsCommand) {
    Add({kA, kB});
    EXPECT_EQ("follow", ChooseAndSee(1));
    Select(kA);
    EXPECT_EQ("switch", ChooseAndSee(3));
    EXPECT_EQ((std::vector<int>{0, 1}), ActiveFlags());
    EXPECT_TRUE(sim::RepaintPending(ListWindow()));
    EXPECT_EQ("name prompt", ChooseAndSee(4));
    EXPECT_EQ("comment prompt", ChooseAndSee(5));
    EXPECT_EQ("breakpoint", ChooseAndSee(6));
    EXPECT_EQ(kA, sim::Breakpoints().back().address);
    EXPECT_EQ(0x800u, sim::Breakpoints().back().flags);
    EXPECT_EQ("web", ChooseAndSee(7));
    CancelSettingsWhenShown();
    EXPECT_EQ("help", ChooseAndSee(8));
    EXPECT_EQ("", ChooseAndSee(0));
    EXPECT_EQ("", ChooseAndSee(9));
    EXPECT_EQ("", ChooseAndSee(-1));
    EXPECT_EQ("delete", ChooseAndSee(2));
    EXPECT_EQ((std::vector<uint32_t>{kB}), BookmarkAddresses());
}

TEST_F(ListPopupMenuTest, BookmarkDeletedWhileMenuIsOpenIsLeftAlone) {
    Add({kA, kB});
    for (int id = 1; id <= 8; ++id) {
        SCOPED_TRACE(id);
        Select(kA);
        sim::WhilePopupShown([this] { dll.zt_Toggle(kA); });
        Watch();
        Popup(id);
        EXPECT_EQ("delete", Happened()) << "only the deletion while the menu was open";
        EXPECT_EQ((std::vector<uint32_t>{kB}), BookmarkAddresses());
        dll.zt_Toggle(kA);
    }
}

}  // namespace
