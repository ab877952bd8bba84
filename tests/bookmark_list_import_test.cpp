// Import... of a JSON bookmark list: each entry at its recorded address when
// its module is still there, else at its offset in the module the CPU pane
// shows, else skipped; a faulty file changes nothing and says what is wrong.
#include "host/allocation_failure.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <cstdio>

namespace {

constexpr int kImport = 2, kExport = 3;
constexpr DWORD kJsonType = 2;
constexpr uint32_t kTarget = 0x400000, kHelper = 0x10000000;
const std::vector<uint8_t> kCodeBytes = {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3, 0x90, 0x90};

std::string List(const std::string& entries) {
    return "{\"format\": \"zentrilo-bookmarks\", \"version\": 1, \"bookmarks\": [" + entries + "]}";
}

class BookmarkListImportTest : public PluginTest {
protected:
    // "target" at targetBase with the pane on its code, "helper" at kHelper
    // and, when asked, "gone" above it; then the plug-in starts.
    void OpenProgram(uint32_t targetBase, bool withGone) {
        AddModule(targetBase, 0x10000, "target");
        AddBlock(targetBase + 0x1000, kCodeBytes);
        AddModule(kHelper, 0x10000, "helper");
        AddBlock(kHelper + 0x1000, kCodeBytes);
        if (withGone) {
            AddModule(0x20000000, 0x10000, "gone");
            AddBlock(0x20001000, kCodeBytes);
        }
        ShowBlock(targetBase + 0x1000, 0x1000);
        ASSERT_EQ(0, Start());
    }

    void Choose(int command, const std::string& file) {
        sim::ChooseFile(folder_.Path(file), kJsonType);
        Action(kOriginPluginMenu, command);
    }
    void ImportText(const std::string& text) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("in.json"), std::vector<uint8_t>(text.begin(), text.end())));
        Choose(kImport, "in.json");
    }

    sim::TempFolder folder_;
};

TEST_F(BookmarkListImportTest, ExportedListComesBackInAnotherRunWhereTheModuleMoved) {
    OpenProgram(kTarget, true);
    const uint32_t marks[] = {kTarget + 0x1000, kTarget + 0x1003, kHelper + 0x1005, 0x20001000, 0x500000};
    for (uint32_t address : marks) dll.zt_Toggle(address);
    SetName(kTarget + 0x1000, "entry, \"main\"");
    SetActive(kTarget + 0x1003, 0);
    SetName(kHelper + 0x1005, "helper's end");
    sim::SetName(kTarget + 0x1000, kHostNameComment, "first\nline");
    sim::SetName(kHelper + 0x1005, kHostNameComment, "returns");
    std::vector<sim::BookmarkFields> before;
    for (uint32_t address : marks) before.push_back(*Bookmark(address));
    Choose(kExport, "run.json");

    // Another run: "target" loads elsewhere, "helper" where it was, "gone" not at all.
    const uint32_t moved = 0x00800000 - kTarget;
    PluginTest::TearDown();
    PluginTest::SetUp();
    OpenProgram(kTarget + moved, false);
    StoreSetting("map_bookmark_name_to_label", 1);
    Choose(kImport, "run.json");

    EXPECT_EQ((std::vector<uint32_t>{0x500000, kTarget + moved + 0x1000, kTarget + moved + 0x1003, kHelper + 0x1005}),
              BookmarkAddresses());
    for (const sim::BookmarkFields& fields : {before[0], before[1]}) {
        sim::BookmarkFields expected = fields;
        expected.address += moved;
        EXPECT_EQ(expected, Bookmark(expected.address));
    }
    EXPECT_EQ(before[2], Bookmark(kHelper + 0x1005));
    EXPECT_EQ(before[4], Bookmark(0x500000));
    EXPECT_EQ("first\nline", sim::NameAt(kTarget + moved + 0x1000, kHostNameComment));
    EXPECT_EQ("entry, \"main\"", sim::NameAt(kTarget + moved + 0x1000, kHostNameLabel));
    EXPECT_EQ("returns", sim::NameAt(kHelper + 0x1005, kHostNameComment));
    EXPECT_EQ("", sim::NameAt(kTarget + moved + 0x1003, kHostNameLabel));   // unnamed: no label
    EXPECT_EQ("Zentrilo: 4 bookmarks imported, 1 skipped (module not loaded)!", LastFlash());
    // One caption at the end, for the last bookmark as it ended up.
    EXPECT_EQ("Bk. (4/03/4)", Caption(FindPanel()));
}

TEST_F(BookmarkListImportTest, ModuleFoundNeitherAtTheAddressNorInThePaneIsSkipped) {
    OpenProgram(kTarget, false);
    ImportText(List("{\"address\": 4198400, \"module\": \"TARGET\", \"offset\": 4096, \"name\": \"same\"},"
                    "{\"address\": 268439552, \"module\": \"target\", \"offset\": 8, \"name\": \"by offset\"},"
                    "{\"address\": 4198400, \"module\": \"other\", \"offset\": 1, \"name\": \"other\"},"
                    "{\"address\": 268439552, \"module\": \"helper2\", \"name\": \"no offset\"}"));
    EXPECT_EQ((std::vector<uint32_t>{kTarget + 8, kTarget + 0x1000}), BookmarkAddresses());
    EXPECT_EQ("same", Bookmark(kTarget + 0x1000)->name);
    EXPECT_EQ("by offset", Bookmark(kTarget + 8)->name);
    EXPECT_EQ("Zentrilo: 2 bookmarks imported, 2 skipped (module not loaded)!", LastFlash());
}

TEST_F(BookmarkListImportTest, FaultyFilesChangeNothingAndSayWhy) {
    OpenProgram(kTarget, false);
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
        {List("{\"address\": 1, \"name\": \"\xC3\x28\"}"), "not valid JSON (line 1, column 87)"},
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
        {std::string(8 * 1024 * 1024 + 1, ' '), "the file is larger than 8 MB"},
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
    ImportText(List(ok));
    EXPECT_EQ("[ERROR]: Nothing imported, out of memory!", LastFlash());

    // Fields of later versions, and nesting up to the limit, are passed over.
    ImportText(List("{\"address\": 4198403, \"later\": [[[{\"a\": [1]}]]], \"changed\": true}"));
    EXPECT_EQ("Zentrilo: 1 bookmarks imported!", LastFlash());
}

// Ten thousand entries are read and checked; all but the last name a module
// that is not loaded (making 10,000 bookmarks through the host is another
// matter, and slow where the tests run emulated).
TEST_F(BookmarkListImportTest, TenThousandEntriesAreReadAndCounted) {
    OpenProgram(kTarget, false);
    std::string entries;
    char entry[96];
    for (uint32_t i = 0; i < 9999; ++i) {
        std::snprintf(entry, sizeof entry, "{\"address\": %u, \"module\": \"unloaded\", \"offset\": %u},",
                      unsigned(0x30000000 + i), unsigned(i));
        entries += entry;
    }
    ImportText(List(entries + "{\"address\": 4198403, \"module\": \"target\", \"name\": \"last\"}"));
    EXPECT_EQ("Zentrilo: 1 bookmarks imported, 9999 skipped (module not loaded)!", LastFlash());
    EXPECT_EQ("last", Bookmark(kTarget + 0x1003)->name);
}

}  // namespace
