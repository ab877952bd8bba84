// Finding a bookmark in the list window: Ctrl+F (or "Find...") asks for a
// text, Ctrl+L finds it again; the next row after the selected one, wrapping,
// whose name, address, module, original instruction or comment holds it,
// letter case aside, is selected and scrolled into view.
#include "host/names.h"
#include "list_window_fixture.h"

namespace {

using namespace listwindow;

constexpr int kPopupFind = 9;
constexpr bool kCtrl = true;

class ListFindTest : public ListWindowTest {
protected:
    // Rows: 0 kCode "PUSH EBP" in "target", 1 kA "MOV EBP,ESP" named "Frame",
    // 2 kB with a comment, 3 kOutside in no module.
    void SetUp() override {
        ListWindowTest::SetUp();
        AddModule(0x400000, 0x10000, "target");
        StartWithList();
        Add({kCode, kA, kB, kOutside});
        SetName(kA, "Frame");
        sim::SetName(kB, kHostNameComment, "checks the Licence");
    }

    static int Selected() { return Table()->sorted.selectedRow; }

    // Ctrl+F answered with text, or Ctrl+L; the row selected afterwards.
    int Find(const std::string& text) {
        sim::ReplyText(text);
        Press('F', false, kCtrl);
        return Selected();
    }
    int FindNext() {
        Press('L', false, kCtrl);
        return Selected();
    }
};

TEST_F(ListFindTest, FindsEachFieldLetterCaseAsideFromTheRowAfterTheSelectedOne) {
    struct Case {
        int from;
        const char* text;
        int found;
    };
    const Case cases[] = {
        {0, "fRAME", 1},      // name
        {0, "licence", 2},    // comment
        {0, "00500000", 3},   // address as the list shows it
        {3, "401003", 2},     // ... wherever it stands
        {0, "TARGET", 1},     // module, after the selected row
        {1, "xor eax", 2},    // original instruction
        {1, "ebp", 0},        // after the last row, from the first again
        {1, "esp", 1},        // the selected row itself, last
        {-1, "frame", 1},     // no row selected: from the first
    };
    for (const Case& c : cases) {
        Table()->sorted.selectedRow = c.from;
        EXPECT_EQ(c.found, Find(c.text)) << c.from << " " << c.text;
    }
    EXPECT_TRUE(Beeps().empty());
}

TEST_F(ListFindTest, FindNextWrapsAndTheLastTextIsOfferedAtTheScreensCentre) {
    Select(kA);
    EXPECT_EQ(0, Find("EBP"));
    EXPECT_EQ(1, FindNext());
    EXPECT_EQ(0, FindNext());

    sim::ReplyCancel();
    Press('F', false, kCtrl);
    EXPECT_EQ(0, Selected()) << "a cancelled find moves nothing";
    ASSERT_EQ(2u, sim::Prompts().size());
    const sim::Prompt& prompt = sim::Prompts().back();
    EXPECT_EQ("Find bookmark", prompt.title);
    EXPECT_EQ("EBP", prompt.initialText);
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN) / 2, prompt.x);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN) / 2, prompt.y);

    // The popup's entry asks the same way.
    sim::ReplyText("licence");
    Popup(kPopupFind);
    EXPECT_EQ(2, Selected());
    EXPECT_EQ("EBP", sim::Prompts().back().initialText);
}

TEST_F(ListFindTest, NoMatchBeepsNamesTheTextAndLeavesTheSelection) {
    Select(kA);
    EXPECT_EQ(1, Find("Zentrilo"));
    EXPECT_EQ((std::vector<UINT>{0}), Beeps());
    EXPECT_EQ("Zentrilo: No bookmark holds \"Zentrilo\"", LastFlash());
    EXPECT_EQ(1, FindNext());
    EXPECT_EQ((std::vector<UINT>{0, 0}), Beeps());
}

TEST_F(ListFindTest, FoundRowIsScrolledIntoView) {
    for (uint32_t address = kCode + 0x10; address < kCode + 0x40; ++address) dll.zt_Toggle(address);
    const std::vector<uint32_t> rows = BookmarkAddresses();   // 52 rows; kOutside is the last
    SetName(rows[40], "far down");
    Select(kCode);
    EXPECT_EQ(40, Find("far down"));
    EXPECT_LE(sim::FirstShownRow(Table()), 40);
    EXPECT_GT(sim::FirstShownRow(Table()) + sim::kShownRows, 40);

    EXPECT_EQ(1, Find("frame"));
    EXPECT_LE(sim::FirstShownRow(Table()), 1);
    EXPECT_EQ(0, Find("push"));
    EXPECT_EQ(0, sim::FirstShownRow(Table()));
}

}  // namespace
