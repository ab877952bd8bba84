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
const std::vector<uint8_t> kCodeBytes = {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3, 0x90, 0x90};
const char kImported[] = "Zentrilo: Bookmarks imported successfully!";
const char kNothingImported[] = "[ERROR]: Nothing imported!";
const char kMarker[] = "Auto Warning: Module name Changed!";

std::string Added(uint32_t address) {
    char text[64];
    std::snprintf(text, sizeof text, "Zentrilo: Bookmark added Successfully to line %08X", address);
    return text;
}

std::string Describe(const std::optional<sim::BookmarkFields>& f) {
    if (!f) return "no bookmark";
    char head[64];
    std::snprintf(head, sizeof head, "%08X active %u", f->address, f->active);
    return std::string(head) + " module [" + f->module + "] name [" + f->name + "] original [" + f->original + "]";
}

std::string Describe(uint32_t address, uint8_t active, const char* module, const char* name, const char* original) {
    return Describe(sim::BookmarkFields{address, 1, 0, sim::kBookmarkTag, active, module, name, original});
}

std::string Describe(const std::vector<sim::NameCall>& calls) {
    std::string text;
    for (const sim::NameCall& call : calls) {
        char head[32];
        std::snprintf(head, sizeof head, "%08X/%d=", call.address, call.type);
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
        AddBlock(base + 0x1000, kCodeBytes);
        ShowBlock(base + 0x1000, 0x1000);
        ASSERT_EQ(0, Start());
    }

    // The debugger closed and started again on the same program: a new host
    // and a freshly loaded plug-in.
    void NewSession(uint32_t base) {
        PluginTest::TearDown();
        PluginTest::SetUp();
        OpenProgramAt(base);
    }

    void ImportFile(const std::vector<uint8_t>& bytes) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("in.dat"), bytes));
        sim::ChooseFile(folder_.Path("in.dat"));
        Action(kOriginPluginMenu, kImport);
    }
    void Import(const std::vector<std::vector<uint8_t>>& records) { ImportFile(sim::ExchangeFile(records)); }

    static void Forget() { sim::ResetLogWindow(); }
    static std::string NameOf(uint32_t address) {
        std::optional<sim::BookmarkFields> bookmark = Bookmark(address);
        return bookmark ? bookmark->name : "(no bookmark)";
    }
    std::vector<sim::ExchangeFields> RecordsIn(const std::string& name) {
        return sim::SplitExchangeFile(sim::ReadFileBytes(folder_.Path(name)).value_or(std::vector<uint8_t>{}));
    }

    sim::TempFolder folder_;
};

TEST_F(ExchangeImportTest, AddressesAreRelativeToTheShownBlockModulo2To32) {
    ShowBlock(0x10000000, 0x1000);
    // The second address holds the bytes 1A 0D 0A, which a text-mode read would eat.
    Import({sim::ExchangeBytes(0, 1, "", "zero", "", ""), sim::ExchangeBytes(0x000A0D1A, 1, "", "binary", "", ""),
            sim::ExchangeBytes(0xFFFFFFF0, 1, "", "below", "", "")});
    EXPECT_EQ((std::vector<uint32_t>{0x0FFFFFF0, 0x10000000, 0x100A0D1A}), BookmarkAddresses());
    EXPECT_EQ("binary", NameOf(0x100A0D1A));
    EXPECT_EQ("below", NameOf(0x0FFFFFF0));

    ShowBlock(0xFFFFF000, 0x1000);
    Import({sim::ExchangeBytes(0x2000, 1, "", "wrapped", "", "")});
    EXPECT_EQ("wrapped", NameOf(0x1000));
    EXPECT_EQ((std::vector<std::string>{kImported, kImported}), Flashes());
}

TEST_F(ExchangeImportTest, AddsToExistingBookmarksAndOverwritesTheirFields) {
    dll.zt_Toggle(kCode);
    dll.zt_Toggle(kCode + 5);
    sim::SetName(kCode, kHostNameComment, "old comment");
    Forget();

    // File order, not address order; the last record arrives disabled.
    Import({sim::ExchangeBytes(3, 1, "target", "n/a", "XOR EAX,EAX", ""),
            sim::ExchangeBytes(0, 0, "target", "theirs", "NOP", "new comment")});

    EXPECT_EQ((std::vector<uint32_t>{kCode, kCode + 3, kCode + 5}), BookmarkAddresses());
    EXPECT_EQ(Describe(kCode, 0, "target", "theirs", "NOP"), Describe(Bookmark(kCode)));
    EXPECT_EQ(Describe(kCode + 3, 1, "target", "n/a", "XOR EAX,EAX"), Describe(Bookmark(kCode + 3)));
    EXPECT_EQ(Describe(kCode + 5, 1, "target", "n/a", "RETN"), Describe(Bookmark(kCode + 5)));
    // Every record hands its comment to the host, an empty one too.
    EXPECT_EQ("00401003/54=;00401000/54=new comment;", Describe(sim::NameInsertions()));
    EXPECT_EQ((std::vector<std::string>{Added(kCode + 3)}), LogTexts());
    EXPECT_EQ((std::vector<std::string>{kImported}), Flashes());
    // The caption counts the last bookmark as it ends up: disabled.
    EXPECT_EQ("Bk. (-1/02/3)", Caption(FindPanel()));
}

TEST_F(ExchangeImportTest, ChangedModuleDisablesAndMarksTheBookmark) {
    AddModule(0x70000000, 0x1000, "kernel32");   // 8 characters: the host's field has no terminator
    const uint32_t outside = 0x500000;            // in no module
    Import({sim::ExchangeBytes(0, 1, "TARGET", "case", "", ""), sim::ExchangeBytes(3, 1, "other", "moved", "", ""),
            sim::ExchangeBytes(5, 1, "", "blank", "", ""),
            sim::ExchangeBytes(0x70000000 - kCode, 1, "KERNEL32", "k", "", ""),
            sim::ExchangeBytes(outside - kCode, 1, "gone", "far", "", "")});

    EXPECT_EQ(Describe(kCode, 1, "TARGET", "case", ""), Describe(Bookmark(kCode)));
    EXPECT_EQ(Describe(kCode + 3, 0, "other", kMarker, ""), Describe(Bookmark(kCode + 3)));
    EXPECT_EQ(Describe(kCode + 5, 0, "", kMarker, ""), Describe(Bookmark(kCode + 5)));
    EXPECT_EQ(Describe(0x70000000, 1, "KERNEL32", "k", ""), Describe(Bookmark(0x70000000)));
    EXPECT_EQ(Describe(outside, 1, "gone", "far", ""), Describe(Bookmark(outside)));

    // Exported again, the marker is no name.
    sim::ChooseFile(folder_.Path("again.dat"));
    Action(kOriginPluginMenu, kExport);
    std::vector<sim::ExchangeFields> records = RecordsIn("again.dat");
    ASSERT_EQ(5u, records.size());
    EXPECT_EQ("n/a", records[1].bookmark.name);
    EXPECT_EQ("other", records[1].bookmark.module);
    EXPECT_EQ(0, records[1].bookmark.active);
    EXPECT_EQ("n/a", records[2].bookmark.name);
}

TEST_F(ExchangeImportTest, NamesBecomeLabelsOnlyWhenMappingIsExactlyOne) {
    StoreSetting("map_bookmark_name_to_label", 1);
    Import({sim::ExchangeBytes(0, 1, "target", "alpha", "", "c"), sim::ExchangeBytes(1, 1, "target", "n/a", "", ""),
            sim::ExchangeBytes(2, 1, "target", kMarker, "", ""), sim::ExchangeBytes(3, 1, "other", "beta", "", "")});
    // The label comes after the comment and before the module check, so a
    // bookmark marked by the check keeps the label of its file name.
    EXPECT_EQ("00401000/54=c;00401000/49=alpha;00401001/54=;00401002/54=;00401003/54=;00401003/49=beta;",
              Describe(sim::NameInsertions()));
    EXPECT_EQ(kMarker, NameOf(kCode + 3));

    StoreSetting("map_bookmark_name_to_label", 2);
    Import({sim::ExchangeBytes(4, 1, "target", "gamma", "", "")});
    EXPECT_EQ("00401004/54=;", Describe({sim::NameInsertions().begin() + 6, sim::NameInsertions().end()}));
}

TEST_F(ExchangeImportTest, OnlyWholeRecordsCountAndAnEmptyFileIsIgnored) {
    std::vector<uint8_t> twoAndABit = sim::ExchangeFile(
        {sim::ExchangeBytes(0, 1, "target", "one", "", ""), sim::ExchangeBytes(3, 1, "target", "two", "", "")});
    twoAndABit.resize(twoAndABit.size() + 100, 0x41);
    ImportFile(twoAndABit);
    EXPECT_EQ((std::vector<uint32_t>{kCode, kCode + 3}), BookmarkAddresses());
    EXPECT_EQ((std::vector<std::string>{kImported}), Flashes());

    ImportFile(std::vector<uint8_t>(100, 0x41));
    EXPECT_EQ((std::vector<std::string>{kImported, kImported}), Flashes());
    ImportFile({});
    sim::ChooseFile(folder_.Path("no such file.dat"));
    Action(kOriginPluginMenu, kImport);
    EXPECT_EQ((std::vector<uint32_t>{kCode, kCode + 3}), BookmarkAddresses());
    EXPECT_EQ((std::vector<std::string>{kImported, kImported}), Flashes());
}

TEST_F(ExchangeImportTest, FileSizeIsReadWithItsErrorAndHighPart) {
    const std::vector<uint8_t> file = sim::ExchangeFile(
        {sim::ExchangeBytes(0, 1, "target", "one", "", ""), sim::ExchangeBytes(3, 1, "target", "two", "", "")});
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
    Import({sim::ExchangeBytes(5, 1, "target", "three", "", "")});
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
    EXPECT_EQ(Describe(0x6F401000, 1, std::string(8, 'M').c_str(), std::string(63, 'N').c_str(),
                       std::string(255, 'O').c_str()),
              Describe(Bookmark(0x6F401000)));
    ASSERT_EQ(1u, sim::NameInsertions().size());
    EXPECT_EQ(std::string(255, 'C'), sim::NameInsertions()[0].text);
}

TEST_F(ExchangeImportTest, ReadErrorStopsTheImportAndSaysSo) {
    const std::vector<uint8_t> file = sim::ExchangeFile({sim::ExchangeBytes(0, 1, "target", "one", "", ""),
                                                          sim::ExchangeBytes(3, 1, "target", "two", "", ""),
                                                          sim::ExchangeBytes(5, 1, "target", "three", "", "")});
    sim::FailFileRead(1);
    ImportFile(file);
    EXPECT_TRUE(BookmarkAddresses().empty());
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
    Import({sim::ExchangeBytes(0, 1, "target", "lost", "", "lost comment"),
            sim::ExchangeBytes(3, 1, "target", "kept", "", "kept comment")});
    EXPECT_EQ((std::vector<uint32_t>{kCode + 3}), BookmarkAddresses());
    EXPECT_EQ("00401003/54=kept comment;", Describe(sim::NameInsertions()));
    EXPECT_EQ(kImported, LastFlash());
}

TEST_F(ExchangeImportTest, ExportedBookmarksComeBackInAnotherRunAtAnotherBase) {
    dll.zt_Toggle(kCode);
    dll.zt_Toggle(kCode + 3);
    dll.zt_Toggle(kCode + 5);
    dll.zt_Toggle(0x400F00);   // below the shown block, in no block
    auto* middle = static_cast<uint8_t*>(HostFindSorted(&Table()->sorted, kCode + 3));
    middle[16] = 0;
    std::strcpy(reinterpret_cast<char*>(middle + 26), "loop");
    sim::SetName(kCode, kHostNameComment, "entry point");
    std::vector<std::string> before;
    for (uint32_t address : BookmarkAddresses()) before.push_back(Describe(Bookmark(address)));
    sim::ChooseFile(folder_.Path("run.dat"));
    Action(kOriginPluginMenu, kExport);

    const uint32_t moved = 0x10000000 - kModule;
    NewSession(0x10000000);
    sim::ChooseFile(folder_.Path("run.dat"));
    Action(kOriginPluginMenu, kImport);

    std::vector<uint32_t> addresses = BookmarkAddresses();
    ASSERT_EQ(before.size(), addresses.size());
    for (size_t i = 0; i < addresses.size(); ++i) {
        sim::BookmarkFields now = *Bookmark(addresses[i]);
        now.address -= moved;
        EXPECT_EQ(before[i], Describe(now));
    }
    EXPECT_EQ("entry point", sim::NameAt(kCode + moved, kHostNameComment));
    EXPECT_EQ("", sim::NameAt(kCode + 3 + moved, kHostNameComment));
    EXPECT_EQ(kImported, LastFlash());
}

}  // namespace
