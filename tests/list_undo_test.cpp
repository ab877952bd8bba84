// Undo in the list window (Ctrl+Z, "Undo ..."): the last Delete, Clear
// Bookmarks or import of any format is taken back, bookmarks with their
// fields and the debugger's comments and labels as they were; one level,
// forgotten at the debugger's reset; an operation too large says it cannot be
// undone.
#include "host/exchange_bytes.h"
#include "host/host_values.h"
#include "host/names.h"
#include "host/pe_header.h"
#include "host/temp_folder.h"
#include "list_window_fixture.h"

namespace {

using namespace listwindow;

constexpr int kClear = 1, kImport = 2;
constexpr int kPopupUndo = 10;
constexpr bool kCtrl = true;
constexpr DWORD kDatType = 0, kJsonType = 2, kX64dbgType = 3;

class ListUndoTest : public ListWindowTest {
protected:
    // "target.exe" at 0x400000 holds the code; kA is named, disabled,
    // commented and labelled, kB and kCode are plain bookmarks.
    void SetUp() override {
        ListWindowTest::SetUp();
        sim::SetExePath("C:\\Programs\\target.exe");
        sim::AddModuleImage(0x400000, 0x10000, "target", {0x5F000000, 0x10000, 0, false, ""});
        StartWithList();
        ShowBlock(kCode, 0x100);
        Add({kCode, kA, kB});
        SetName(kA, "mine");
        SetActive(kA, 0);
        sim::SetName(kA, kHostNameComment, "old comment");
        sim::SetName(kA, kHostNameLabel, "old_label");
        before_ = State();
    }

    // Every bookmark with its fields, comment and label.
    static std::vector<std::string> State() {
        std::vector<std::string> state;
        for (uint32_t address : BookmarkAddresses()) {
            const sim::BookmarkFields fields = *Bookmark(address);
            state.push_back(std::to_string(address) + " " + std::to_string(fields.active) + " " + fields.module +
                            " " + fields.name + " " + fields.original + " / " +
                            sim::NameAt(address, kHostNameComment) + " / " + sim::NameAt(address, kHostNameLabel));
        }
        return state;
    }

    // The popup's last entry, as the user sees it.
    std::string UndoEntry() {
        Popup(0);
        const sim::MenuEntry& entry = sim::PopupsShown().back().entries.back();
        return entry.text + ((entry.state & MF_GRAYED) ? " (greyed)" : "");
    }

    void Undo() { Press('Z', false, kCtrl); }

    void ImportFile(const std::string& name, const std::vector<uint8_t>& bytes, DWORD type) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path(name), bytes));
        sim::ChooseFile(folder_.Path(name), type);
        Action(kOriginPluginMenu, kImport);
    }

    std::vector<std::string> before_;
    sim::TempFolder folder_;
};

TEST_F(ListUndoTest, DeleteComesBackWithItsFieldsCommentAndLabelUntilTheNextReset) {
    EXPECT_EQ("Undo (greyed)", UndoEntry());
    Select(kA);
    Press(VK_DELETE);
    sim::SetName(kA, kHostNameComment, "changed since");
    EXPECT_EQ("Undo Delete", UndoEntry());
    Undo();
    EXPECT_EQ(before_, State());
    EXPECT_EQ("Zentrilo: Delete undone", LastFlash());
    EXPECT_EQ("Undo (greyed)", UndoEntry());
    Undo();
    EXPECT_EQ((std::vector<UINT>{0}), Beeps()) << "nothing left to undo";

    Select(kA);
    Press(VK_DELETE);
    dll.Pluginreset();
    EXPECT_EQ("Undo (greyed)", UndoEntry());
}

TEST_F(ListUndoTest, ClearComesBackWholeFromThePopup) {
    Action(kOriginPluginMenu, kClear);
    EXPECT_TRUE(BookmarkAddresses().empty());
    sim::SetName(kA, kHostNameLabel, "");
    SelectNone();
    EXPECT_EQ("Undo Clear", UndoEntry());
    Popup(kPopupUndo);
    EXPECT_EQ(before_, State());
    EXPECT_EQ("Zentrilo: Clear undone", LastFlash());
    EXPECT_EQ("Bk. (-1/02/3)", Caption(FindPanel()));
}

TEST_F(ListUndoTest, ImportOfEachFormatIsTakenBackOverTheBookmarksItChanged) {
    StoreSetting("map_bookmark_name_to_label", 1);
    const std::vector<uint8_t> dat = sim::ExchangeFile(
        {sim::ExchangeBytes(1, 1, "target", "theirs", "NOP", "new"), sim::ExchangeBytes(5, 1, "target", "added", "RETN", "added")});
    const std::string json =
        "{\"format\": \"zentrilo-bookmarks\", \"version\": 1, \"bookmarks\": ["
        "{\"address\": 4198401, \"module\": \"target\", \"module_base\": 4194304, \"offset\": 4097, "
        "\"name\": \"theirs\", \"comment\": \"new\", \"active\": true},"
        "{\"address\": 4198405, \"module\": \"target\", \"module_base\": 4194304, \"offset\": 4101, "
        "\"name\": \"added\", \"comment\": \"added\"}]}";
    auto entry = [](const char* address, const char* text) {
        return std::string("{\"module\": \"target.exe\", \"address\": \"") + address + "\"" +
               (text ? std::string(", \"text\": \"") + text + "\"" : "") + "}";
    };
    const std::string x64dbg = "{\"bookmarks\": [" + entry("0x1001", nullptr) + ", " + entry("0x1005", nullptr) +
                               "], \"labels\": [" + entry("0x1001", "theirs") + ", " + entry("0x1005", "added") +
                               "], \"comments\": [" + entry("0x1001", "new") + ", " + entry("0x1005", "added") + "]}";
    const struct {
        const char* file;
        std::vector<uint8_t> bytes;
        DWORD type;
    } imports[] = {{"in.dat", dat, kDatType},
                   {"in.json", {json.begin(), json.end()}, kJsonType},
                   {"in.dd32", {x64dbg.begin(), x64dbg.end()}, kX64dbgType}};
    for (const auto& import : imports) {
        SCOPED_TRACE(import.file);
        ImportFile(import.file, import.bytes, import.type);
        ASSERT_EQ("theirs", Bookmark(kA)->name) << LastFlash();
        ASSERT_TRUE(Bookmark(kCode + 5).has_value());
        EXPECT_EQ("Undo Import", UndoEntry());
        Undo();
        EXPECT_EQ(before_, State());
        EXPECT_EQ("", sim::NameAt(kCode + 5, kHostNameComment));
        EXPECT_EQ("", sim::NameAt(kCode + 5, kHostNameLabel));
        EXPECT_EQ("Zentrilo: Import undone", LastFlash());
    }
}

TEST_F(ListUndoTest, ImportTooLargeToUndoSaysSoAndLeavesNothingToUndo) {
    Select(kB);
    Press(VK_DELETE);
    // Every remembered state of kA holds full texts: 10,500 of them are more
    // than the journal keeps.
    sim::SetName(kA, kHostNameLabel, std::string(255, 'l'));
    const std::vector<uint8_t> record =
        sim::ExchangeBytes(1, 1, "target", std::string(63, 'n'), std::string(255, 'o'), std::string(255, 'c'));
    std::vector<uint8_t> file;
    for (int i = 0; i < 10500; ++i) file.insert(file.end(), record.begin(), record.end());
    ImportFile("large.dat", file, kDatType);
    EXPECT_EQ(std::string(63, 'n'), Bookmark(kA)->name);
    EXPECT_EQ("Zentrilo: Import cannot be undone, it changed too many bookmarks", LastFlash());
    EXPECT_EQ("Undo (greyed)", UndoEntry());
    Undo();
    EXPECT_EQ((std::vector<UINT>{0}), Beeps());
    EXPECT_FALSE(Bookmark(kB).has_value());
    // A list says it in its outcome.
    const std::string entry = "{\"address\": " + std::to_string(kA) + ", \"module\": \"target\", \"name\": \"" +
                              std::string(63, 'm') + "\", \"original_instruction\": \"" + std::string(255, 'o') +
                              "\", \"comment\": \"" + std::string(255, 'c') + "\"},";
    std::string list = "{\"format\": \"zentrilo-bookmarks\", \"bookmarks\": [";
    for (int i = 0; i < 10500; ++i) list += entry;
    list.back() = ']';
    list += "}";
    ImportFile("large.json", std::vector<uint8_t>(list.begin(), list.end()), kJsonType);
    EXPECT_EQ(std::string(63, 'm'), Bookmark(kA)->name);
    EXPECT_EQ("Zentrilo: 10500 bookmarks imported; it cannot be undone, it changed too many bookmarks!", LastFlash());
    EXPECT_EQ("Undo (greyed)", UndoEntry());
}

}  // namespace
