// Import... of an x64dbg database (.dd32): bookmarks made in the loaded
// module of their file name at its base plus their offset, named after the
// labels at their addresses, comments (and, when names are mapped to labels,
// labels) set as the debugger's; entries that cannot be placed are counted;
// a faulty or compressed file changes nothing and says why.
#include "host/pe_header.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <cstdio>

namespace {

constexpr int kImport = 2, kExport = 3;
constexpr DWORD kX64dbgExport = 4, kX64dbgImport = 3;
constexpr uint32_t kTarget = 0x400000, kHelper = 0x10000000, kTwin1 = 0x20000000, kTwin2 = 0x21000000;
constexpr uint32_t kPaneBlock = 0x600000;
const std::vector<uint8_t> kCode = {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3, 0x90, 0x90};

struct Module {
    uint32_t base;
    std::string shortName;
    bool dll;
    std::string exportName;
};

class X64dbgImportTest : public PluginTest {
protected:
    // The program C:\Programs\target.exe and its DLLs, each with code at
    // base + 0x1000; the pane on a block outside all of them.
    void OpenProgram(const std::vector<Module>& modules) {
        sim::SetExePath("C:\\Programs\\target.exe");
        for (const Module& module : modules) {
            sim::AddModuleImage(module.base, 0x10000, module.shortName,
                                {0x5F000000, 0x10000, 0, module.dll, module.exportName});
            AddBlock(module.base + 0x1000, kCode);
        }
        AddBlock(kPaneBlock, kCode);
        ShowBlock(kPaneBlock, 0x1000);
        ASSERT_EQ(0, Start());
    }
    void OpenProgram(uint32_t target = kTarget, uint32_t helper = kHelper) {
        OpenProgram({{target, "target", false, ""}, {helper, "helper", true, "Helper.dll"}});
    }

    void ImportText(const std::string& text) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("in.dd32"), std::vector<uint8_t>(text.begin(), text.end())));
        sim::ChooseFile(folder_.Path("in.dd32"), kX64dbgImport);
        Action(kOriginPluginMenu, kImport);
    }

    sim::TempFolder folder_;
};

std::string Entry(const std::string& module, const std::string& address, const std::string& more = "") {
    return "{\"module\": \"" + module + "\", \"address\": \"" + address + "\", \"manual\": true" + more + "}";
}

TEST_F(X64dbgImportTest, BookmarksLabelsAndCommentsGoToTheModulesOfTheirFileNames) {
    OpenProgram({{kTarget, "target", false, ""}, {kHelper, "helper", true, "Helper.dll"},
                 {kTwin1, "twin", true, "twin.dll"}, {kTwin2, "twin2", true, "TWIN.DLL"}});
    dll.zt_Toggle(kTarget + 0x1003);   // there before: it stays as it is
    SetName(kTarget + 0x1003, "kept");
    SetActive(kTarget + 0x1003, 0);
    StoreSetting("map_bookmark_name_to_label", 1);
    const std::string longLabel(70, 'L');
    // Labels and comments come before the bookmarks they name; other keys
    // and fields of x64dbg's are passed over.
    ImportText("{\"functions\": [{\"module\": \"target.exe\", \"start\": \"0x1000\", \"end\": \"0x1005\"}],"
               " \"notes\": \"my notes\","
               " \"labels\": [" +
               Entry("target.exe", "0x1000", ", \"text\": \"check_key\"") + ", " +
               Entry("HELPER.DLL", "0x1005", ", \"text\": \"" + longLabel + "\"") + ", " +
               Entry("target.exe", "0x2000", ", \"text\": \"no_bookmark\"") + "],"
               " \"comments\": [" +
               Entry("target.exe", "0x1000", ", \"text\": \"returns 0 for a bad key\", \"later\": [1, {\"a\": 2}]") +
               ", {\"module\": \"helper.dll\", \"address\": \"0x1005\", \"manual\": false, \"text\": \"automatic\"}, " +
               Entry("target.exe", "0x2000", ", \"text\": \"no bookmark needed\"") + "],"
               " \"bookmarks\": [" +
               Entry("target.exe", "0x1000") + ", " + Entry("helper.dll", "0x1005") + ", " +
               Entry("target.exe", "0x1003") + ", " + Entry("gone.dll", "0x1000") + ", " + Entry("", "0x500000") +
               ", " + Entry("twin.dll", "0x1000") + ", " + Entry("target.exe", "0x10000") + "]}");

    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1000, kTarget + 0x1003, kHelper + 0x1005}), BookmarkAddresses());
    const sim::BookmarkFields made{kTarget + 0x1000, 1, 0, 0x4C4D440A, 1, "target", "check_key", "PUSH EBP"};
    EXPECT_EQ(made, Bookmark(kTarget + 0x1000));
    EXPECT_EQ(std::string(60, 'L') + "...", Bookmark(kHelper + 0x1005)->name);
    EXPECT_EQ("RETN", Bookmark(kHelper + 0x1005)->original);
    EXPECT_EQ("kept", Bookmark(kTarget + 0x1003)->name);
    EXPECT_EQ(0, Bookmark(kTarget + 0x1003)->active);
    EXPECT_EQ("check_key", sim::NameAt(kTarget + 0x1000, kHostNameLabel));
    EXPECT_EQ(std::string(60, 'L') + "...", sim::NameAt(kHelper + 0x1005, kHostNameLabel));
    EXPECT_EQ("no_bookmark", sim::NameAt(kTarget + 0x2000, kHostNameLabel));
    EXPECT_EQ("returns 0 for a bad key", sim::NameAt(kTarget + 0x1000, kHostNameComment));
    EXPECT_EQ("no bookmark needed", sim::NameAt(kTarget + 0x2000, kHostNameComment));
    EXPECT_EQ("", sim::NameAt(kHelper + 0x1005, kHostNameComment));
    EXPECT_EQ(5u, sim::NameInsertions().size());
    EXPECT_EQ("Zentrilo: 3 bookmarks, 2 names, 3 labels, 2 comments imported, 4 skipped (1 in no module, "
              "1 module not loaded, 1 module name not unique, 1 outside the module)!",
              LastFlash());
    EXPECT_EQ("Bk. (-1/02/3)", Caption(FindPanel()));
}

TEST_F(X64dbgImportTest, LabelsBecomeTheDebuggersOnlyWhenNamesAreMappedToLabels) {
    OpenProgram();
    ImportText("{\"bookmarks\": [" + Entry("target.exe", "0x1a2b") + "], \"labels\": [" +
               Entry("target.exe", "0x1A2B", ", \"text\": \"named\"") + ", " +
               Entry("target.exe", "0x1000", ", \"text\": \"nowhere\"") + "]}");
    EXPECT_EQ("named", Bookmark(kTarget + 0x1A2B)->name);
    EXPECT_TRUE(sim::NameInsertions().empty());
    EXPECT_EQ("Zentrilo: 1 bookmarks, 1 names, 0 labels, 0 comments imported, 1 skipped (label without bookmark)!",
              LastFlash());
}

TEST_F(X64dbgImportTest, ExportedDatabaseComesBackWhereverItsModulesLoadNow) {
    OpenProgram();
    const uint32_t marks[] = {kTarget + 0x1000, kTarget + 0x1003, kHelper + 0x1005};
    for (uint32_t address : marks) dll.zt_Toggle(address);
    SetName(kTarget + 0x1000, "entry, \"main\"");
    SetName(kHelper + 0x1005, "helper_end");
    SetActive(kTarget + 0x1003, 0);
    sim::SetName(kTarget + 0x1000, kHostNameComment, "first\nline");
    sim::SetName(kTarget + 0x1003, kHostNameComment, "disabled here");
    std::vector<sim::BookmarkFields> before;
    for (uint32_t address : marks) before.push_back(*Bookmark(address));
    sim::ChooseFile(folder_.Path("run.dd32"), kX64dbgExport);
    Action(kOriginPluginMenu, kExport);

    PluginTest::TearDown();
    PluginTest::SetUp();
    const uint32_t targetMoved = 0x00800000 - kTarget, helperMoved = 0x30000000 - kHelper;
    OpenProgram(kTarget + targetMoved, kHelper + helperMoved);
    sim::ChooseFile(folder_.Path("run.dd32"), kX64dbgImport);
    Action(kOriginPluginMenu, kImport);

    for (int i = 0; i < 3; ++i) {
        sim::BookmarkFields expected = before[i];
        expected.address += i < 2 ? targetMoved : helperMoved;
        expected.active = 1;   // x64dbg has no disabled bookmarks
        EXPECT_EQ(expected, Bookmark(expected.address));
    }
    EXPECT_EQ("first\nline", sim::NameAt(kTarget + targetMoved + 0x1000, kHostNameComment));
    EXPECT_EQ("disabled here", sim::NameAt(kTarget + targetMoved + 0x1003, kHostNameComment));
    EXPECT_EQ("Zentrilo: 3 bookmarks, 2 names, 0 labels, 2 comments imported!", LastFlash());
}

TEST_F(X64dbgImportTest, FaultyOrCompressedFilesChangeNothingAndSayWhy) {
    OpenProgram();
    dll.zt_Toggle(kTarget + 0x1000);
    const std::string ok = Entry("target.exe", "0x1003") + ", ";
    const std::string deep = std::string(40, '[') + std::string(40, ']');
    struct Case {
        std::string text;
        std::string fault;
    };
    const std::string compressed =
        "the file is not JSON. If x64dbg compressed it, run dbsave \"C:\\path\\file.dd32\" in x64dbg or tick "
        "Options, Preferences, Engine, Disable database compression";
    const Case cases[] = {
        {std::string("\x9A\x02\x00\x00\xF0\x1B{\"comments\":", 18), compressed},
        {"  x64dbg", compressed},
        {"", "not valid JSON (line 1, column 1)"},
        {"{\"bookmarks\": [" + ok, "not valid JSON (line 1, column 79)"},
        {"[]", "not an x64dbg database"},
        {"{\"breakpoints\": []}", "the file has no \"bookmarks\", \"labels\" or \"comments\""},
        {"{\"labels\": {}}", "\"labels\" must be a list"},
        {"{\"comments\": 3}", "\"comments\" must be a list"},
        {"{\"bookmarks\": [" + ok + "7]}", "bookmark 2 is not an object"},
        {"{\"bookmarks\": [{\"address\": \"0x1000\"}]}", "bookmark 1 has no module"},
        {"{\"labels\": [{\"module\": \"target.exe\", \"text\": \"a\"}]}", "label 1 has no address"},
        {"{\"comments\": [" + Entry("target.exe", "0x1000") + "]}", "comment 1 has no text"},
        {"{\"labels\": [" + Entry("target.exe", "0x1000", ", \"text\": 5") + "]}", "label 1: \"text\" must be text"},
        {"{\"labels\": [" + Entry("target.exe", "0x1000", ", \"text\": \"a\\u0000b\"") + "]}",
         "label 1: \"text\" holds a zero character"},
        {"{\"bookmarks\": [{\"module\": 1, \"address\": \"0x1000\"}]}", "bookmark 1: \"module\" must be text"},
        {"{\"bookmarks\": [" + Entry(std::string(260, 'm'), "0x1000") + "]}",
         "bookmark 1: \"module\" is longer than 259 characters"},
        {"{\"bookmarks\": [" + ok + "{\"module\": \"target.exe\", \"address\": \"0x1000\", \"manual\": 1}]}",
         "bookmark 2: \"manual\" must be true or false"},
        {"{\"bookmarks\": [], \"plugins\": " + deep + "}", "nested deeper than 32 levels"},
    };
    for (const Case& c : cases) {
        ImportText(c.text);
        EXPECT_EQ("[ERROR]: Nothing imported, " + c.fault + "!", LastFlash()) << c.text.substr(0, 80);
    }
    const char* const badAddresses[] = {"4096", "0x", "1000", "0x1G", "0x100000000", "-0x1", " 0x1"};
    for (const char* address : badAddresses) {
        ImportText("{\"bookmarks\": [" + Entry("target.exe", address) + "]}");
        EXPECT_EQ("[ERROR]: Nothing imported, bookmark 1: \"address\" must be text, 0x and a hexadecimal number up "
                  "to FFFFFFFF!",
                  LastFlash())
            << address;
    }
    ImportText("{\"bookmarks\": [{\"module\": \"target.exe\", \"address\": 4096}]}");
    EXPECT_EQ("[ERROR]: Nothing imported, bookmark 1: \"address\" must be text, 0x and a hexadecimal number up to "
              "FFFFFFFF!",
              LastFlash());
    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1000}), BookmarkAddresses());
    EXPECT_TRUE(sim::NameInsertions().empty());
}

TEST_F(X64dbgImportTest, ByteOrderMarkAndHugeNumbersOfOtherFieldsAreRead) {
    OpenProgram();
    ImportText("\xEF\xBB\xBF{\"bookmarks\": [" + Entry("target.exe", "0x1000", ", \"hits\": 1e400") + "]}");
    EXPECT_EQ("Zentrilo: 1 bookmarks, 0 names, 0 labels, 0 comments imported!", LastFlash());
}

// x64dbg keeps notes, trace records and plug-ins' data in its database, texts
// x64dbg writes each list once; when one comes twice, the last one counts.
TEST_F(X64dbgImportTest, AListThatComesTwiceCountsOnce) {
    OpenProgram();
    ImportText("{\"bookmarks\": [" + Entry("target.exe", "0x1000") + "], \"labels\": [" +
               Entry("target.exe", "0x1001", ", \"text\": \"first\"") + "], \"bookmarks\": [" +
               Entry("target.exe", "0x1001") + "], \"labels\": [" +
               Entry("target.exe", "0x1001", ", \"text\": \"last\"") + "]}");
    EXPECT_EQ("Zentrilo: 1 bookmarks, 1 names, 0 labels, 0 comments imported!", LastFlash());
    EXPECT_EQ(std::vector<uint32_t>{kTarget + 0x1001}, BookmarkAddresses());
    EXPECT_EQ("last", Bookmark(kTarget + 0x1001)->name);
}

// of any length: they are passed over, and long labels and comments cut.
TEST_F(X64dbgImportTest, LongTextsArePassedOverOrCutNotRefused) {
    OpenProgram();
    const std::string comment = Entry("target.exe", "0x1000", ", \"text\": \"" + std::string(5000, 'c') + "\"");
    // Escapes and a two-byte character at each place around where the reader
    // stops taking a text.
    for (size_t before = 4085; before <= 4100; ++before) {
        const std::string notes =
            std::string(before, 'n') + "\\uD83D\\uDE00\xC3\xA9\\\"\\u00e9" + std::string(100, 'n');
        ImportText("{\"notes\": \"" + notes + "\", \"" + std::string(5000, 'k') + "\": 1, \"comments\": [" + comment +
                   "]}");
        EXPECT_EQ("Zentrilo: 0 bookmarks, 0 names, 0 labels, 1 comments imported!", LastFlash()) << before;
    }
    EXPECT_EQ(std::string(252, 'c') + "...", sim::NameAt(kTarget + 0x1000, kHostNameComment));
    // What is passed over must still be JSON: a line break in a text is not.
    ImportText("{\"notes\": \"" + std::string(5000, 'n') + "\n\", \"comments\": []}");
    EXPECT_EQ("[ERROR]: Nothing imported, not valid JSON (line 1, column 5012)!", LastFlash());
}

// Ten thousand entries are read and counted; all but one name a module that
// is not loaded (making 10,000 bookmarks through the host is another matter,
// and slow where the tests run emulated).
TEST_F(X64dbgImportTest, TenThousandEntriesAreReadAndCounted) {
    OpenProgram();
    std::string entries;
    char entry[96];
    for (unsigned i = 0; i < 9999; ++i) {
        std::snprintf(entry, sizeof entry, "{\"module\":\"unloaded.dll\",\"address\":\"0x%X\",\"manual\":true},", i);
        entries += entry;
    }
    ImportText("{\"bookmarks\": [" + entries + Entry("target.exe", "0x1003") + "]}");
    EXPECT_EQ("Zentrilo: 1 bookmarks, 0 names, 0 labels, 0 comments imported, 9999 skipped (module not loaded)!",
              LastFlash());
    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1003}), BookmarkAddresses());
}

}  // namespace
