// The list window's popup menu: its entries for the selected bookmark, the
// list's own behind them, and the command behind each.
#include "list_window_fixture.h"

namespace {

using namespace listwindow;

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

    // "id text" for each entry of the last popup, "-" for a separator; greyed ones end in " (greyed)".
    static std::vector<std::string> Entries() {
        std::vector<std::string> entries;
        for (const sim::MenuEntry& entry : sim::PopupsShown().back().entries) {
            bool separator = (entry.state & MF_SEPARATOR) != 0;   // the system counts it greyed too
            entries.push_back(separator ? "-" : std::to_string(entry.id) + " " + entry.text);
            if (!separator && (entry.state & MF_GRAYED)) entries.back() += " (greyed)";
        }
        return entries;
    }
};

TEST_F(ListPopupMenuTest, EntriesFollowTheBookmarksStateAndReach) {
    Add({kA, kOutside});
    std::vector<std::string> entries{"1 &Follow\tEnter", "2 &Delete\tDel", "3 &Disable\tSpace", "-", "4 &Edit Name\t:",
                                     "5 &Edit Comment\t;", "-", "6 Set one-shot breakpoint", "-", "7 Google\tG", "-",
                                     "8 Help\t?", "-", "9 Find...", "10 Undo (greyed)"};
    Popup(0);
    EXPECT_EQ(entries, Entries());
    EXPECT_EQ(ListWindow(), sim::TableFunctionCalls().back().window);
    EXPECT_FALSE(IsMenu(reinterpret_cast<HMENU>(sim::TableFunctionCalls().back().lParam))) << "not destroyed";

    SetActive(kA, 0);
    Popup(0);
    entries[2] = "3 &Enable\tSpace";
    EXPECT_EQ(entries, Entries());

    Select(kOutside);
    Popup(0);
    entries[2] = "3 &Disable\tSpace";
    entries[7] += " (greyed)";
    EXPECT_EQ(entries, Entries());
}

TEST_F(ListPopupMenuTest, WithoutSelectedRowOnlyListsEntriesAreOfferedAndBookmarkChoiceIsIgnored) {
    Add({kA});
    SelectNone();
    EXPECT_EQ("", ChooseAndSee(2));
    ASSERT_EQ(1u, sim::PopupsShown().size());
    EXPECT_TRUE(sim::PopupsShown()[0].hadMenu);
    EXPECT_EQ((std::vector<std::string>{"9 Find...", "10 Undo (greyed)"}), Entries());
    EXPECT_EQ("prompt Find bookmark", ChooseAndSee(9));
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
    EXPECT_EQ("prompt Find bookmark", ChooseAndSee(9));
    EXPECT_EQ("", ChooseAndSee(10)) << "greyed: nothing to undo";
    EXPECT_EQ("", ChooseAndSee(11));
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
