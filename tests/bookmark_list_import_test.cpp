// Import... of a JSON bookmark list: each entry at its recorded address when
// its module is still there, else at its offset in the loaded module of its
// name, wherever that loads, else skipped; an entry of a module that is
// another build now arrives disabled; a faulty file changes nothing and says
// what is wrong.
#include "host/allocation_failure.h"
#include "host/file_failure.h"
#include "host/pe_header.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kClear = 1, kImport = 2, kExport = 3;
constexpr DWORD kJsonType = 2;
constexpr uint32_t kTarget = 0x400000, kHelper = 0x10000000, kExtra = 0x20000000, kPaneBlock = 0x600000;
const std::vector<uint8_t> kCodeBytes = {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3, 0x90, 0x90};
const sim::PeHeader kTargetBuild{0x5F000001, 0x10000, 0x1234, false, ""};
const sim::PeHeader kHelperBuild{0x5F000002, 0x10000, 0, true, "helper.dll"};
const sim::PeHeader kExtraBuild{0x5F000003, 0x10000, 0x5678, true, "extra.dll"};

std::string List(const std::string& entries) {
    return "{\"format\": \"zentrilo-bookmarks\", \"version\": 1, \"bookmarks\": [" + entries + "]}";
}

struct Module {
    uint32_t base;
    std::string name;
    sim::PeHeader build;
    uint32_t size = 0x10000;
};

class BookmarkListImportTest : public PluginTest {
protected:
    // The modules, each with its header and code at base + 0x1000, the pane
    // on a block outside all of them; then the plug-in starts.
    void OpenProgram(const std::vector<Module>& modules) {
        for (const Module& module : modules) {
            sim::AddModuleImage(module.base, module.size, module.name, module.build);
            AddBlock(module.base + 0x1000, kCodeBytes);
        }
        AddBlock(kPaneBlock, kCodeBytes);
        ShowBlock(kPaneBlock, 0x1000);
        ASSERT_EQ(0, Start());
    }
    void OpenProgram() { OpenProgram({{kTarget, "target", kTargetBuild}}); }

    void Choose(int command, const std::string& file) {
        sim::ChooseFile(folder_.Path(file), kJsonType);
        Action(kOriginPluginMenu, command);
    }
    void ImportText(const std::string& text) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("in.json"), std::vector<uint8_t>(text.begin(), text.end())));
        Choose(kImport, "in.json");
    }
    void NextRun() {
        PluginTest::TearDown();
        PluginTest::SetUp();
    }

    sim::TempFolder folder_;
};

TEST_F(BookmarkListImportTest, ExportedListComesBackWhereverItsModulesLoadNow) {
    OpenProgram({{kTarget, "target", kTargetBuild}, {kHelper, "helper", kHelperBuild}, {kExtra, "extra", kExtraBuild}});
    const uint32_t marks[] = {kTarget + 0x1000, kTarget + 0x1003, kHelper + 0x1005, kExtra + 0x1000, kPaneBlock + 1};
    for (uint32_t address : marks) dll.zt_Toggle(address);
    SetName(kTarget + 0x1000, "entry, \"main\"");
    SetActive(kTarget + 0x1003, 0);
    SetName(kHelper + 0x1005, "helper's end");
    SetName(kExtra + 0x1000, "extra");
    sim::SetName(kTarget + 0x1000, kHostNameComment, "first\nline");
    sim::SetName(kHelper + 0x1005, kHostNameComment, "returns");
    std::vector<sim::BookmarkFields> before;
    for (uint32_t address : marks) before.push_back(*Bookmark(address));
    Choose(kExport, "run.json");

    // Another run: "target" and "extra" load elsewhere, "helper" where it
    // was; "extra" is another build now. The pane shows none of them.
    const uint32_t targetMoved = 0x00800000 - kTarget, extraMoved = 0x30000000 - kExtra;
    NextRun();
    sim::PeHeader rebuilt = kExtraBuild;
    rebuilt.timestamp += 1;
    OpenProgram({{kTarget + targetMoved, "target", kTargetBuild}, {kHelper, "helper", kHelperBuild},
                 {kExtra + extraMoved, "extra", rebuilt}});
    StoreSetting("map_bookmark_name_to_label", 1);
    Choose(kImport, "run.json");

    EXPECT_EQ((std::vector<uint32_t>{kPaneBlock + 1, kTarget + targetMoved + 0x1000, kTarget + targetMoved + 0x1003,
                                     kHelper + 0x1005, kExtra + extraMoved + 0x1000}),
              BookmarkAddresses());
    for (int i : {0, 1}) {
        sim::BookmarkFields expected = before[i];
        expected.address += targetMoved;
        EXPECT_EQ(expected, Bookmark(expected.address));
    }
    EXPECT_EQ(before[2], Bookmark(kHelper + 0x1005));
    EXPECT_EQ(before[4], Bookmark(kPaneBlock + 1));
    sim::BookmarkFields other = before[3];
    other.address += extraMoved;
    other.active = 0;   // another build: placed by offset, disabled
    EXPECT_EQ(other, Bookmark(other.address));
    EXPECT_EQ("first\nline", sim::NameAt(kTarget + targetMoved + 0x1000, kHostNameComment));
    EXPECT_EQ("entry, \"main\"", sim::NameAt(kTarget + targetMoved + 0x1000, kHostNameLabel));
    EXPECT_EQ("returns", sim::NameAt(kHelper + 0x1005, kHostNameComment));
    EXPECT_EQ("", sim::NameAt(kTarget + targetMoved + 0x1003, kHostNameLabel));   // unnamed: no label
    EXPECT_EQ("Zentrilo: 5 bookmarks imported, 1 from another build of extra (disabled)!", LastFlash());
    // One caption at the end, for the last bookmark as it ended up.
    EXPECT_EQ("Bk. (-1/03/5)", Caption(FindPanel()));
}

TEST_F(BookmarkListImportTest, EntriesGoToTheModuleOfTheirNameOrAreSkippedAndCounted) {
    // Two modules share the short name "twin"; "target" moved up by 64 KB
    // and still covers its old addresses.
    OpenProgram({{kTarget + 0x10000, "target", kTargetBuild, 0x20000}, {kHelper, "twin", kHelperBuild},
                 {kExtra, "twin", kExtraBuild}});
    struct Case {
        const char* entry;
        uint32_t placed;   // 0: skipped
    };
    const Case cases[] = {
        // At its address, where the module of its name and base is.
        {"{\"address\": 268439552, \"module\": \"TWIN\", \"module_base\": 268435456, \"offset\": 4096}",
         kHelper + 0x1000},
        // "target" is there, but based elsewhere: by offset.
        {"{\"address\": 4263936, \"module\": \"target\", \"module_base\": 4194304, \"offset\": 69632}",
         kTarget + 0x10000 + 69632},
        // No "twin" at its address, and two elsewhere.
        {"{\"address\": 1342181376, \"module\": \"twin\", \"module_base\": 1342177280, \"offset\": 4096}", 0},
        {"{\"address\": 4198400, \"module\": \"other\", \"offset\": 1}", 0},
        // The module is loaded, but the entry has no offset to place it by.
        {"{\"address\": 1073745920, \"module\": \"target\"}", 0},
        // Its offset lies past the module's end.
        {"{\"address\": 1073745920, \"module\": \"target\", \"offset\": 131072}", 0},
    };
    std::string entries;
    for (const Case& c : cases) entries += std::string(entries.empty() ? "" : ",") + c.entry;
    ImportText(List(entries));
    std::vector<uint32_t> placed;
    for (const Case& c : cases)
        if (c.placed) placed.push_back(c.placed);
    std::sort(placed.begin(), placed.end());
    EXPECT_EQ(placed, BookmarkAddresses());
    EXPECT_EQ("Zentrilo: 2 bookmarks imported, 4 skipped (2 module not loaded, 1 module name not unique, 1 outside "
              "the module)!",
              LastFlash());
}

TEST_F(BookmarkListImportTest, OnlyAnEntryWithACommentSetsTheDebuggersComment) {
    OpenProgram();
    sim::SetName(kTarget + 0x1000, kHostNameComment, "kept");
    sim::SetName(kTarget + 0x1001, kHostNameComment, "cleared");
    sim::SetName(kTarget + 0x1002, kHostNameComment, "replaced");
    ImportText(List("{\"address\": 4198400}, {\"address\": 4198401, \"comment\": \"\"}, "
                    "{\"address\": 4198402, \"comment\": \"new\"}"));
    EXPECT_EQ("Zentrilo: 3 bookmarks imported!", LastFlash());
    EXPECT_EQ("kept", sim::NameAt(kTarget + 0x1000, kHostNameComment));
    EXPECT_EQ("", sim::NameAt(kTarget + 0x1001, kHostNameComment));
    EXPECT_EQ("new", sim::NameAt(kTarget + 0x1002, kHostNameComment));
}

// A small list takes two reads a pass (its bytes, then the end): the third
// read is the applying pass's first.
TEST_F(BookmarkListImportTest, AReadErrorAfterTheCheckIsSaidAsOne) {
    OpenProgram();
    sim::FailFileRead(3);
    ImportText(List("{\"address\": 4198400}"));
    EXPECT_EQ("[ERROR]: Import stopped by a read error after 0 bookmarks!", LastFlash());
    EXPECT_TRUE(BookmarkAddresses().empty());
}

TEST_F(BookmarkListImportTest, FaultyFilesChangeNothingAndSayWhy) {
    OpenProgram();
    dll.zt_Toggle(kTarget + 0x1000);
    SetName(kTarget + 0x1000, "kept");
    const std::string ok = "{\"address\": 4198403, \"name\": \"new\"}, ";
    const std::string deep = std::string(10000, '[') + std::string(10000, ']');
    struct Case {
        std::string text;
        std::string fault;
    };
    const Case cases[] = {
        {"", "not valid JSON (line 1, column 1)"},
        {List(ok + "{\"address\": 4198").substr(0, 90), "not valid JSON (line 1, column 91)"},
        {"{\"format\": \"zentrilo-bookmarks\",\n \"bookmarks\": [{\"address\": 1, \"name\": \"abc",
         "not valid JSON (line 2, column 43)"},
        {List("{\"address\": 4198403}") + " x", "not valid JSON (line 1, column 85)"},
        {List("{\"address\": 1, \"name\": \"\xC3\x28\"}"), "not valid JSON (line 1, column 86)"},
        {List("{\"address\": 1, \"name\": \"\\uD800\"}"), "not valid JSON (line 1, column 86)"},
        {List("{\"address\": 1, \"name\": \"a\\u0000b\"}"), "bookmark 1: \"name\" holds a zero character"},
        {"[]", "not a Zentrilo bookmark list"},
        {"{\"format\": \"other\", \"bookmarks\": []}", "not a Zentrilo bookmark list"},
        {"{\"bookmarks\": [], \"format\": 1}", "not a Zentrilo bookmark list"},
        {"{\"format\": \"zentrilo-bookmarks\"}", "the file has no \"bookmarks\" list"},
        {"{\"format\": \"zentrilo-bookmarks\", \"bookmarks\": {}}", "\"bookmarks\" must be a list"},
        {"{\"format\": \"zentrilo-bookmarks\", \"version\": 2, \"bookmarks\": []}",
         "the list's version 2 is newer than this plug-in reads"},
        {List(ok + "{\"name\": \"x\"}"), "bookmark 2 has no address"},
        {List(ok + "7"), "bookmark 2 is not an object"},
        {List(ok + "[]"), "bookmark 2 is not an object"},
        {List("{\"address\": \"401000\"}"), "bookmark 1: \"address\" must be a number from 0 to 4294967295"},
        {List("{\"address\": -1}"), "bookmark 1: \"address\" must be a number from 0 to 4294967295"},
        {List("{\"address\": 4294967296}"), "bookmark 1: \"address\" must be a number from 0 to 4294967295"},
        {List("{\"address\": 1.5}"), "bookmark 1: \"address\" must be a number from 0 to 4294967295"},
        {List("{\"address\": null}"), "bookmark 1: \"address\" must be a number from 0 to 4294967295"},
        {List(ok + "{\"address\": 1, \"offset\": {}}"), "bookmark 2: \"offset\" must be a number from 0 to 4294967295"},
        {List("{\"address\": 1, \"name\": 5}"), "bookmark 1: \"name\" must be text"},
        {List("{\"address\": 1, \"active\": \"yes\"}"), "bookmark 1: \"active\" must be true or false"},
        {List("{\"address\": 1, \"name\": \"" + std::string(64, 'n') + "\"}"),
         "bookmark 1: \"name\" is longer than 63 characters"},
        {List("{\"address\": 1, \"module\": \"kernel32x\"}"), "bookmark 1: \"module\" is longer than 8 characters"},
        {List("{\"address\": 1, \"comment\": \"" + std::string(256, 'c') + "\"}"),
         "bookmark 1: \"comment\" is longer than 255 characters"},
        {List("{\"address\": 1, \"later\": \"" + std::string(5000, 'x') + "\"}"),
         "it holds a text longer than 4096 bytes"},
        {List("{\"address\": 1, \"later\": " + deep + "}"), "nested deeper than 8 levels"},
        {std::string(100, ' '), "not valid JSON (line 1, column 101)"},
        {"{\"format\": \"zentrilo-bookmarks\", \"modules\": 1, \"bookmarks\": []}", "\"modules\" must be a list"},
        {"{\"format\": \"zentrilo-bookmarks\", \"modules\": [\"x\"], \"bookmarks\": []}", "module 1 is not an object"},
        {"{\"format\": \"zentrilo-bookmarks\", \"modules\": [{\"base\": 1}], \"bookmarks\": []}",
         "module 1 has no name"},
        {"{\"format\": \"zentrilo-bookmarks\", \"modules\": [{\"name\": \"a\"}, {\"name\": \"b\", \"checksum\": -5}], "
         "\"bookmarks\": []}",
         "module 2: \"checksum\" must be a number from 0 to 4294967295"},
    };
    for (const Case& c : cases) {
        ImportText(c.text);
        EXPECT_EQ("[ERROR]: Nothing imported, " + c.fault + "!", LastFlash()) << c.text.substr(0, 120);
    }
    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1000}), BookmarkAddresses());
    EXPECT_EQ("kept", Bookmark(kTarget + 0x1000)->name);
    EXPECT_TRUE(sim::NameInsertions().empty());

    // No exception leaves the plug-in, not even for lack of memory.
    sim::FailNextAllocation();
    ImportText(List("{\"address\": 4198403, \"name\": \"new\"}"));
    EXPECT_EQ("[ERROR]: Nothing imported, out of memory!", LastFlash());

    // Fields of later versions, and nesting up to the limit, are passed over.
    ImportText(List("{\"address\": 4198403, \"later\": [[[{\"a\": [1]}]]], \"changed\": true}"));
    EXPECT_EQ("Zentrilo: 1 bookmarks imported!", LastFlash());
}

// Whole numbers as other JSON writers write them, a byte-order mark as
// Notepad writes one, and numbers too large for any field where no field
// reads them.
TEST_F(BookmarkListImportTest, WholeNumbersInAnyNotationByteOrderMarkAndHugeNumbersPassedOverAreRead) {
    OpenProgram();
    const std::string zeros(400, '0');
    const std::string cases[] = {
        List("{\"address\": 6291458.0}"),
        List("{\"address\": 6.291458e6}"),
        List("{\"address\": 629145800E-2, \"offset\": 0.0e0}"),
        "{\"format\": \"zentrilo-bookmarks\", \"version\": 1e0, \"bookmarks\": [{\"address\": 6291458}]}",
        "\xEF\xBB\xBF" + List("{\"address\": 6291458}"),
        List("{\"address\": 6291458, \"later\": [1e400, -1E+9999, 1" + zeros + ", 1e-400, 0." + zeros + "1]}"),
    };
    for (const std::string& text : cases) {
        Action(kOriginPluginMenu, kClear);
        ImportText(text);
        EXPECT_EQ("Zentrilo: 1 bookmarks imported!", LastFlash()) << text.substr(0, 120);
        EXPECT_EQ((std::vector<uint32_t>{kPaneBlock + 2}), BookmarkAddresses()) << text.substr(0, 120);
    }
    const std::string refused[] = {
        List("{\"address\": 6291458.5}"),
        List("{\"address\": 62914585e-1}"),
        List("{\"address\": 1e400}"),
        List("{\"address\": 1" + zeros + "}"),
        List("{\"address\": 4.294967296e9}"),
    };
    for (const std::string& text : refused) {
        ImportText(text);
        EXPECT_EQ("[ERROR]: Nothing imported, bookmark 1: \"address\" must be a number from 0 to 4294967295!",
                  LastFlash()) << text.substr(0, 120);
    }
    ImportText("\xEF\xBB\xBF{\n x");
    EXPECT_EQ("[ERROR]: Nothing imported, not valid JSON (line 2, column 2)!", LastFlash());
}

// When a key comes twice, the last one counts: also when it is null, and
// also for the lists of bookmarks and of modules.
TEST_F(BookmarkListImportTest, WhenAKeyComesTwiceTheLastOneCounts) {
    OpenProgram();
    const std::string otherBuild = "{\"name\": \"target\", \"base\": 4194304, \"timestamp\": 1, \"image_size\": 2, "
                                   "\"checksum\": 3}";
    const std::string head = "{\"format\": \"zentrilo-bookmarks\", ";
    struct Case {
        std::string text;
        std::vector<uint32_t> placed;
        const char* flash;
    };
    const Case cases[] = {
        // In no module after all: at its address.
        {List("{\"address\": 6291458, \"module\": \"gone\", \"offset\": 2, \"module\": null}"), {kPaneBlock + 2},
         "Zentrilo: 1 bookmarks imported!"},
        // "target" was based elsewhere, and there is no offset to place it by.
        {List("{\"address\": 4198400, \"module\": \"target\", \"module_base\": 3145728, \"offset\": 1048576, "
              "\"offset\": null}"),
         {}, "Zentrilo: 0 bookmarks imported, 1 skipped (module not loaded)!"},
        {head + "\"bookmarks\": [{\"address\": 6291459}], \"bookmarks\": [{\"address\": 6291460}]}", {kPaneBlock + 4},
         "Zentrilo: 1 bookmarks imported!"},
        // The build recorded first is not the list's: the entry stays active.
        {head + "\"modules\": [" + otherBuild + "], \"modules\": [], \"bookmarks\": [{\"address\": 4198401, "
                "\"module\": \"target\", \"module_base\": 4194304, \"offset\": 4097}]}",
         {kTarget + 0x1001}, "Zentrilo: 1 bookmarks imported!"},
    };
    for (const Case& c : cases) {
        Action(kOriginPluginMenu, kClear);
        ImportText(c.text);
        EXPECT_EQ(c.flash, LastFlash()) << c.text;
        EXPECT_EQ(c.placed, BookmarkAddresses()) << c.text;
        if (c.placed != BookmarkAddresses()) continue;
        for (uint32_t address : c.placed) EXPECT_EQ(1, Bookmark(address)->active) << c.text;
    }
}

// A module's header is read for its build once an import, not once an
// entry: entries come grouped by module, as an export writes them.
TEST_F(BookmarkListImportTest, ModuleHeadersAreReadOncePerModuleNotPerEntry) {
    const uint32_t helperMoved = kHelper + 0x10000;
    OpenProgram({{kTarget, "target", kTargetBuild}, {helperMoved, "helper", kHelperBuild}});
    auto list = [](int perModule) {
        std::string text = "{\"format\": \"zentrilo-bookmarks\", \"modules\": ["
                           "{\"name\": \"target\", \"base\": 4194304, \"timestamp\": 1593835521, "
                           "\"image_size\": 65536, \"checksum\": 4660}, "
                           "{\"name\": \"helper\", \"base\": 268435456, \"timestamp\": 1593835522, "
                           "\"image_size\": 65536, \"checksum\": 0}], \"bookmarks\": [";
        char entry[128];
        for (uint32_t base : {kTarget, kHelper}) {
            for (int i = 0; i < perModule; ++i) {
                std::snprintf(entry, sizeof entry, "%s{\"address\": %u, \"module\": \"%s\", \"module_base\": %u, "
                              "\"offset\": %u}", text.back() == '[' ? "" : ", ", unsigned(base + 0x1000 + i),
                              base == kTarget ? "target" : "helper", unsigned(base), unsigned(0x1000 + i));
                text += entry;
            }
        }
        return text + "]}";
    };
    auto headerReads = [&] {
        size_t count = 0;
        for (const sim::MemoryRead& read : sim::MemoryReads())
            for (uint32_t base : {kTarget, helperMoved}) count += read.address >= base && read.address < base + 0x1000;
        return count;
    };
    ImportText(list(1));
    const size_t once = headerReads();
    EXPECT_GT(once, 0u);
    ImportText(list(8));
    EXPECT_EQ("Zentrilo: 16 bookmarks imported!", LastFlash());
    EXPECT_EQ(once, headerReads() - once);
    ASSERT_EQ(16u, BookmarkAddresses().size());
    EXPECT_EQ(kTarget + 0x1007, BookmarkAddresses()[7]);
    EXPECT_EQ(helperMoved + 0x1007, BookmarkAddresses().back());
}

// Ten thousand entries, in a file of over 8 MB, are read and checked; all but
// the last name a module that is not loaded (making 10,000 bookmarks through
// the host is another matter, and slow where the tests run emulated).
TEST_F(BookmarkListImportTest, TenThousandEntriesAreReadAndCounted) {
    OpenProgram();
    std::string entries;
    char entry[96];
    for (uint32_t i = 0; i < 9999; ++i) {
        std::snprintf(entry, sizeof entry, "{\"address\": %u, \"module\": \"unloaded\", \"offset\": %u},",
                      unsigned(0x30000000 + i), unsigned(i));
        entries += entry;
    }
    // And more than 8 MB in all: the file is read as a stream, not whole.
    ImportText(List(entries + std::string(9 << 20, ' ') +
                    "{\"address\": 4198403, \"module\": \"target\", \"name\": \"last\"}"));
    EXPECT_EQ("Zentrilo: 1 bookmarks imported, 9999 skipped (module not loaded)!", LastFlash());
    EXPECT_EQ("last", Bookmark(kTarget + 0x1003)->name);
}

}  // namespace
