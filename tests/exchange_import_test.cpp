// Import... turns each record of an exchange file into a bookmark at its
// relative address plus the base of the block the CPU pane shows, with the
// file's fields, comment and label, and warns when the module changed.
#include "host/allocation_failure.h"
#include "host/exchange_bytes.h"
#include "host/file_failure.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int kImport = 2, kExport = 3;
// In the module "target": PUSH EBP at kCode, XOR EAX,EAX at kCode + 3.
constexpr uint32_t kModule = 0x400000, kCode = 0x401000;
const char kImported[] = "Zentrilo: Bookmarks imported successfully!";
const char kNothingImported[] = "[ERROR]: Nothing imported!";
const char kMarker[] = "Auto Warning: Module name Changed!";

std::vector<uint8_t> Record(uint32_t relative, const std::string& name, const std::string& module = "target",
                            const std::string& comment = "") {
    return sim::ExchangeBytes(relative, 1, module, name, "", comment);
}

// The host's name insertions from the n-th on, as "ADDRESS/TYPE=text;" each.
std::string NamesSet(size_t from = 0) {
    std::string text;
    for (size_t i = from; i < sim::NameInsertions().size(); ++i) {
        const sim::NameCall& call = sim::NameInsertions()[i];
        char head[32];
        std::snprintf(head, sizeof head, "%08X/%d=", unsigned(call.address), call.type);
        text += head + call.text + ";";
    }
    return text;
}

class ExchangeImportTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        OpenProgramAt(kModule);
    }

    // The debugged program with "target" loaded at this base, the pane
    // showing its code block, and the plug-in started.
    void OpenProgramAt(uint32_t base) {
        AddModule(base, 0x10000, "target");
        AddBlock(base + 0x1000, {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3, 0x90, 0x90});
        ShowBlock(base + 0x1000, 0x1000);
        ASSERT_EQ(0, Start());
    }

    void Choose(int command, const std::string& file) {
        sim::ChooseFile(folder_.Path(file));
        Action(kOriginPluginMenu, command);
    }
    void ImportFile(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("in.dat"), bytes));
        Choose(kImport, "in.dat");
    }
    void Import(const std::vector<std::vector<uint8_t>>& records) { ImportFile(sim::ExchangeFile(records)); }
    static std::string NameOf(uint32_t address) { return Bookmark(address) ? Bookmark(address)->name : "(none)"; }

    sim::TempFolder folder_;
};

TEST_F(ExchangeImportTest, AddressesAreRelativeToTheShownBlockModulo2To32) {
    ShowBlock(0x10000000, 0x1000);
    // The second address holds the bytes 1A 0D 0A, which a text-mode read would eat.
    Import({Record(0, "zero", ""), Record(0x000A0D1A, "binary", ""), Record(0xFFFFFFF0, "below", "")});
    EXPECT_EQ((std::vector<uint32_t>{0x0FFFFFF0, 0x10000000, 0x100A0D1A}), BookmarkAddresses());
    EXPECT_EQ("binary", NameOf(0x100A0D1A));
    EXPECT_EQ("below", NameOf(0x0FFFFFF0));

    ShowBlock(0xFFFFF000, 0x1000);
    Import({Record(0x2000, "wrapped", "")});
    EXPECT_EQ("wrapped", NameOf(0x1000));
    EXPECT_EQ((std::vector<std::string>{kImported, kImported}), Flashes());
}

TEST_F(ExchangeImportTest, AddsToExistingBookmarksAndOverwritesTheirFields) {
    dll.zt_Toggle(kCode);
    dll.zt_Toggle(kCode + 5);
    sim::SetName(kCode, kHostNameComment, "old comment");
    sim::ResetLogWindow();

    // File order, not address order; the last record arrives disabled.
    Import({sim::ExchangeBytes(3, 1, "target", "n/a", "XOR EAX,EAX", ""),
            sim::ExchangeBytes(0, 0, "target", "theirs", "NOP", "new comment")});

    EXPECT_EQ((std::vector<uint32_t>{kCode, kCode + 3, kCode + 5}), BookmarkAddresses());
    EXPECT_EQ(sim::Fields(kCode, 0, "target", "theirs", "NOP"), Bookmark(kCode));
    EXPECT_EQ(sim::Fields(kCode + 3, 1, "target", "n/a", "XOR EAX,EAX"), Bookmark(kCode + 3));
    EXPECT_EQ(sim::Fields(kCode + 5, 1, "target", "n/a", "RETN"), Bookmark(kCode + 5));
    // Every record hands its comment to the host, an empty one too.
    EXPECT_EQ("00401003/54=;00401000/54=new comment;", NamesSet());
    EXPECT_EQ((std::vector<std::string>{"Zentrilo: Bookmark added Successfully to line 00401003"}), LogTexts());
    EXPECT_EQ((std::vector<std::string>{kImported}), Flashes());
    // The caption counts the last bookmark as it ends up: disabled.
    EXPECT_EQ("Bk. (-1/02/3)", Caption(FindPanel()));
    EXPECT_EQ(0, sim::DisassemblyRefreshes());
}

TEST_F(ExchangeImportTest, ChangedModuleDisablesAndMarksTheBookmark) {
    AddModule(0x70000000, 0x1000, "kernel32");   // 8 characters: the host's field has no terminator
    const uint32_t outside = 0x500000;            // in no module
    Import({Record(0, "case", "TARGET"), Record(3, "moved", "other"), Record(5, "blank", ""),
            Record(0x70000000 - kCode, "k", "KERNEL32"), Record(outside - kCode, "far", "gone")});

    EXPECT_EQ(sim::Fields(kCode, 1, "TARGET", "case", ""), Bookmark(kCode));
    EXPECT_EQ(sim::Fields(kCode + 3, 0, "other", kMarker, ""), Bookmark(kCode + 3));
    EXPECT_EQ(sim::Fields(kCode + 5, 0, "", kMarker, ""), Bookmark(kCode + 5));
    EXPECT_EQ(sim::Fields(0x70000000, 1, "KERNEL32", "k", ""), Bookmark(0x70000000));
    EXPECT_EQ(sim::Fields(outside, 1, "gone", "far", ""), Bookmark(outside));
}

TEST_F(ExchangeImportTest, NamesBecomeLabelsOnlyWhenMappingIsExactlyOne) {
    StoreSetting("map_bookmark_name_to_label", 1);
    Import({Record(0, "alpha", "target", "c"), Record(1, "n/a"), Record(2, kMarker), Record(3, "beta", "other")});
    // The label comes after the comment and before the module check, so a
    // bookmark marked by the check keeps the label of its file name.
    EXPECT_EQ("00401000/54=c;00401000/49=alpha;00401001/54=;00401002/54=;00401003/54=;00401003/49=beta;",
              NamesSet());
    EXPECT_EQ(kMarker, NameOf(kCode + 3));

    StoreSetting("map_bookmark_name_to_label", 2);
    Import({Record(4, "gamma")});
    EXPECT_EQ("00401004/54=;", NamesSet(6));
}

TEST_F(ExchangeImportTest, OnlyWholeRecordsCountAndAnEmptyFileIsIgnored) {
    std::vector<uint8_t> twoAndABit = sim::ExchangeFile({Record(0, "one"), Record(3, "two")});
    twoAndABit.resize(twoAndABit.size() + 100, 0x41);
    ImportFile(twoAndABit);
    EXPECT_EQ((std::vector<uint32_t>{kCode, kCode + 3}), BookmarkAddresses());
    EXPECT_EQ((std::vector<std::string>{kImported}), Flashes());

    ImportFile(std::vector<uint8_t>(100, 0x41));
    EXPECT_EQ((std::vector<std::string>{kImported, kImported}), Flashes());
    ImportFile({});
    Choose(kImport, "no such file.dat");
    EXPECT_EQ((std::vector<uint32_t>{kCode, kCode + 3}), BookmarkAddresses());
    EXPECT_EQ((std::vector<std::string>{kImported, kImported}), Flashes());
}

TEST_F(ExchangeImportTest, FileSizeIsReadWithItsErrorAndHighPart) {
    const std::vector<uint8_t> file = sim::ExchangeFile({Record(0, "one"), Record(3, "two")});
    sim::ReportFileSize(INVALID_FILE_SIZE, 0, ERROR_ACCESS_DENIED);
    ImportFile(file);
    EXPECT_TRUE(BookmarkAddresses().empty());
    EXPECT_TRUE(Flashes().empty());

    // Sizes of 4 GB - 1 and 8 GB: the records are read one by one, not all
    // set aside at once, and the file ends where it ends.
    sim::ReportFileSize(INVALID_FILE_SIZE, 0, NO_ERROR);
    ImportFile(file);
    EXPECT_EQ((std::vector<uint32_t>{kCode, kCode + 3}), BookmarkAddresses());
    sim::ReportFileSize(0, 2, NO_ERROR);
    Import({Record(5, "three")});
    EXPECT_EQ("three", NameOf(kCode + 5));
    EXPECT_EQ((std::vector<std::string>{kImported, kImported}), Flashes());
}

TEST_F(ExchangeImportTest, UnterminatedTextIsCutAtItsField) {
    // Its 8-character name fills the host's field: no terminator there either.
    AddModule(0x6F401000, 0x1000, "MMMMMMMM");
    std::vector<uint8_t> record(sim::kExchangeSize, 0);
    std::memcpy(&record[0], "\0\0\0\x6F", 4);   // 0x6F000000 above the shown block
    record[16] = 1;
    std::memset(&record[17], 'M', 9);
    std::memset(&record[26], 'N', 64);
    std::memset(&record[90], 'O', 256);
    std::memset(&record[346], 'C', 256);

    ImportFile(record);
    EXPECT_EQ(sim::Fields(0x6F401000, 1, std::string(8, 'M'), std::string(63, 'N'), std::string(255, 'O')),
              Bookmark(0x6F401000));
    EXPECT_EQ("6F401000/54=" + std::string(255, 'C') + ";", NamesSet());
}

TEST_F(ExchangeImportTest, ReadErrorStopsTheImportAndSaysSo) {
    const std::vector<uint8_t> file = sim::ExchangeFile({Record(0, "one"), Record(3, "two"), Record(5, "three")});
    sim::FailFileRead(1);
    ImportFile(file);
    sim::FailFileOpen();
    ImportFile(file);
    EXPECT_TRUE(BookmarkAddresses().empty());
    EXPECT_EQ((std::vector<std::string>{kNothingImported, kNothingImported}), Flashes());

    sim::FailFileRead(3);
    ImportFile(file);
    EXPECT_EQ((std::vector<uint32_t>{kCode, kCode + 3}), BookmarkAddresses());
    EXPECT_EQ("[ERROR]: Import stopped by a read error after 2 records!", LastFlash());
}

TEST_F(ExchangeImportTest, RecordWhoseBookmarkCannotBeMadeIsSkipped) {
    sim::FailNextAllocation();
    Import({Record(0, "lost", "target", "lost comment"), Record(3, "kept", "target", "kept comment")});
    EXPECT_EQ((std::vector<uint32_t>{kCode + 3}), BookmarkAddresses());
    EXPECT_EQ("00401003/54=kept comment;", NamesSet());
    EXPECT_EQ(kImported, LastFlash());
}

TEST_F(ExchangeImportTest, ExportedBookmarksComeBackInAnotherRunAtAnotherBase) {
    for (uint32_t address : {kCode, kCode + 3, kCode + 5, 0x400F00u}) dll.zt_Toggle(address);   // the last in no block
    SetActive(kCode + 3, 0);
    SetName(kCode + 3, "loop");
    sim::SetName(kCode, kHostNameComment, "entry point");
    std::vector<sim::BookmarkFields> before;
    for (uint32_t address : BookmarkAddresses()) before.push_back(*Bookmark(address));
    Choose(kExport, "run.dat");

    // The debugger closed and started again on the same program elsewhere:
    // a new host and a freshly loaded plug-in.
    const uint32_t moved = 0x10000000 - kModule;
    PluginTest::TearDown();
    PluginTest::SetUp();
    OpenProgramAt(0x10000000);
    Choose(kImport, "run.dat");

    std::vector<sim::BookmarkFields> after;
    for (uint32_t address : BookmarkAddresses()) after.push_back(*Bookmark(address));
    for (sim::BookmarkFields& fields : after) fields.address -= moved;
    EXPECT_EQ(before, after);
    EXPECT_EQ("entry point", sim::NameAt(kCode + moved, kHostNameComment));
    EXPECT_EQ("", sim::NameAt(kCode + 3 + moved, kHostNameComment));
    EXPECT_EQ(kImported, LastFlash());
}

}  // namespace
