// The bookmark list window: its column bar, the text and colouring of each
// cell, and which messages go to the host's table handling.
#include "list_window_fixture.h"

namespace {

using namespace listwindow;

constexpr int kPlain = 0;
constexpr int kGreyed = 1;
constexpr int kMasked = 0x80;
constexpr uint8_t kHighlight = 2;
constexpr uint8_t kUnreadable = 0x20;
constexpr char kModuleChanged[] = "Auto Warning: Module name Changed!";

class ListWindowCellsTest : public ListWindowTest {
protected:
    void SetUp() override {
        ListWindowTest::SetUp();
        AddModule(kCode, 0x100, "sample");
        StartWithList();
    }

    // A fresh paint, as the host makes whenever the window is uncovered.
    const sim::PaintedCell& Cell(int column, int row = 0) {
        InvalidateRect(ListWindow(), nullptr, FALSE);
        sim::PaintNow(ListWindow());
        return sim::Painted(row, column);
    }

    // Text, length and attribute of a cell; its mask when the attribute says so.
    void ExpectCell(int column, const std::string& text, int attribute, uint8_t mask = 0, int row = 0) {
        const sim::PaintedCell& cell = Cell(column, row);
        EXPECT_EQ(text, cell.text) << "column " << column;
        EXPECT_EQ(int(text.size()), cell.length) << "column " << column;
        EXPECT_EQ(attribute, cell.attribute) << "column " << column;
        if (attribute != kMasked) return;
        size_t marked = text.size() + 1;
        EXPECT_EQ(std::string(marked, char(mask)), std::string(cell.mask.begin(), cell.mask.begin() + marked))
            << "column " << column;
        EXPECT_EQ(0, cell.mask[marked]) << "column " << column;
    }
};

TEST_F(ListWindowCellsTest, EveryColumnIsPlainForAnActiveBookmarkAndGreyedForADisabledOne) {
    Add({kA});
    SetName(kA, "frame");
    sim::SetName(kA, kHostNameComment, "sets up the frame");
    for (int attribute : {kPlain, kGreyed}) {
        SetActive(kA, attribute == kPlain);
        ExpectCell(0, "frame", attribute);
        ExpectCell(1, "00401001", attribute);
        ExpectCell(2, "sample", attribute);
        ExpectCell(3, attribute == kPlain ? "Always" : "Disabled", attribute);
        ExpectCell(4, "MOV EBP,ESP", attribute);
        ExpectCell(5, "MOV EBP,ESP", attribute);
        ExpectCell(6, "sets up the frame", attribute);
    }
}

TEST_F(ListWindowCellsTest, ModuleChangeMarkerHighlightsNameAndModuleOnlyEvenWhenDisabled) {
    Add({kA});
    SetName(kA, kModuleChanged);
    for (uint8_t active : {1, 0}) {
        SetActive(kA, active);
        ExpectCell(0, kModuleChanged, kMasked, kHighlight);
        ExpectCell(2, "sample", kMasked, kHighlight);
        ExpectCell(5, "MOV EBP,ESP", active ? kPlain : kGreyed);
    }
    SetName(kA, "auto warning: module name changed!");
    ExpectCell(0, "auto warning: module name changed!", kGreyed);
    ExpectCell(2, "sample", kGreyed);
}

// The current instruction is highlighted when it differs from the original
// one (not merely in case), and shown as "???" when it cannot be read.
TEST_F(ListWindowCellsTest, CurrentInstructionIsMarkedWhenChangedOrUnreadable) {
    Add({kA, kB, kOutside});
    SetOriginal(kA, "mov ebp,esp");
    ExpectCell(4, "MOV EBP,ESP", kPlain);
    SetOriginal(kA, std::string(256, 'Z'));   // no terminator: cut at the field
    ExpectCell(5, std::string(255, 'Z'), kPlain);
    ExpectCell(4, "MOV EBP,ESP", kMasked, kHighlight);

    sim::PatchMemory(kB, {0xCC});
    ExpectCell(4, "INT3", kMasked, kHighlight, 1);
    ExpectCell(5, "XOR EAX,EAX", kPlain, 0, 1);

    ExpectCell(4, "???", kMasked, kUnreadable, 2);
    ExpectCell(5, "", kPlain, 0, 2);
    SetActive(kOutside, 0);
    ExpectCell(4, "???", kMasked, kUnreadable, 2);
    sim::LimitReadable(kCode, 0);
    ExpectCell(4, "???", kMasked, kUnreadable, 0);
}

class ListWindowSetupTest : public ListWindowTest {};

TEST_F(ListWindowSetupTest, FirstOpeningFillsColumnBarLaterOnesLeaveItAndTheWindow) {
    StoreSetting("add_bookmarks_toolbar_button", 1);
    StartWithList();
    HostTable* table = Table();
    const int widths[] = {16, 10, 10, 9, 32, 32, 128};
    const char* captions[] = {"Name", "Address", "Module", "Active", "Disassembly", "Original Disassembly", "Comment"};
    EXPECT_EQ(7, table->columnCount);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(widths[i], table->columnWidth[i]) << i;
        EXPECT_STREQ(captions[i], table->columnCaption[i]) << i;
        EXPECT_EQ(4, table->columnMode[i]) << i;
    }
    for (int i = 7; i < kHostMaxColumns; ++i) EXPECT_EQ(nullptr, table->columnCaption[i]) << i;
    EXPECT_EQ(0x8212, table->tableMode);
    HMODULE owner = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(table->cellText), &owner);
    EXPECT_EQ(Instance(), owner) << "the cell callback is the plug-in's";
    // Opened at start, as the setting asks, in the class the host registered for the plug-in.
    ASSERT_EQ(1u, sim::QuickTableCalls().size());
    EXPECT_EQ(sim::ClassRegistrations().at(0).name, sim::QuickTableCalls()[0].className);
    EXPECT_EQ("Tessivor", sim::QuickTableCalls()[0].title);
    EXPECT_EQ(3, sim::QuickTableCalls()[0].lines);
    EXPECT_EQ(5, sim::QuickTableCalls()[0].columns);

    // The user has widened a column since; the toolbar button opens the list again.
    table->columnWidth[0] = 40;
    HWND window = ListWindow();
    HWND button = FindWindowExA(mainWindow_, nullptr, "Button", nullptr);
    SendMessageA(mainWindow_, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(button));
    EXPECT_FALSE(sim::QuickTableCalls().at(1).created);
    EXPECT_EQ(window, ListWindow());
    EXPECT_EQ(40, table->columnWidth[0]);
    EXPECT_EQ(7, table->columnCount);
}

TEST_F(ListWindowSetupTest, MessagesGoToHostTableOrDefaultHandlingOrBoth) {
    StartWithList();
    HWND window = ListWindow();
    const int kTableAnswer = 77;
    auto route = [&](UINT message, WPARAM wParam = 0) {
        sim::AnswerTableFunction(message, kTableAnswer);
        int before = sim::CountTableFunction(message);
        LRESULT result = SendMessageA(window, message, wParam, 0);
        int toTable = sim::CountTableFunction(message) - before;
        return std::to_string(toTable) + (result == kTableAnswer ? " table's" : " " + std::to_string(result));
    };

    for (UINT message : {UINT(WM_WINDOWPOSCHANGED), 1126u, 1128u, 1129u, 1130u, 1131u, 1132u, 1133u})
        EXPECT_EQ("1 table's", route(message)) << message;
    for (UINT message : {UINT(WM_SYSKEYDOWN), UINT(WM_TIMER), UINT(WM_HSCROLL), UINT(WM_VSCROLL), UINT(WM_MOUSEMOVE),
                         UINT(WM_LBUTTONDOWN), UINT(WM_LBUTTONUP), UINT(WM_LBUTTONDBLCLK), UINT(WM_RBUTTONDOWN),
                         UINT(WM_RBUTTONDBLCLK)})
        EXPECT_EQ("1 0", route(message, 'Q')) << message;
    EXPECT_EQ("1 0", route(WM_KEYDOWN, VK_F5));
    for (UINT message : {UINT(WM_RBUTTONUP), 1127u, 1134u, 1136u, 1137u, 1138u, 1139u})
        EXPECT_EQ("0 0", route(message)) << message;
    EXPECT_EQ("0 1", route(1135));

    int paints = sim::PaintCount();
    EXPECT_EQ("0 0", route(WM_PAINT));
    EXPECT_EQ(paints + 1, sim::PaintCount());
    for (UINT message : {1140u, 1141u}) {
        EXPECT_FALSE(sim::RepaintPending(window));
        EXPECT_EQ("0 0", route(message)) << message;
        EXPECT_TRUE(sim::RepaintPending(window)) << message;
        sim::PaintNow(window);
    }

    SendMessageA(sim::MdiClient(), WM_MDIDESTROY, WPARAM(window), 0);
    EXPECT_EQ(1, sim::CountTableFunction(WM_DESTROY));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, ListWindow());
}

}  // namespace
