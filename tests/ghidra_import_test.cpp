// Import... of a program XML as Ghidra and IDA's plug-in write it: Note
// bookmarks, the user's names and the comments of the program's module go to
// that module wherever it loads now; Ghidra's analysis and everything else
// of the program is passed over; a faulty file changes nothing and says where.
#include "host/allocation_failure.h"
#include "host/pe_header.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <string>

namespace {

constexpr int kImport = 2, kExport = 3;
constexpr DWORD kXmlImport = 4, kXmlExport = 5;
constexpr uint32_t kTarget = 0x01000000, kHelper = 0x10000000, kPaneBlock = 0x600000;
const std::vector<uint8_t> kCode = {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3, 0x90, 0x90};

// Ghidra writes its whole document type first.
const std::string kDoctype =
    "<!DOCTYPE PROGRAM [\n"
    "<!ELEMENT PROGRAM (INFO_SOURCE?, PROCESSOR?, DATATYPES?, MEMORY_MAP?, CODE?, COMMENTS?, BOOKMARKS?,"
    " SYMBOL_TABLE?, FUNCTIONS?, MARKUP?)>\n"
    "<!ATTLIST PROGRAM NAME CDATA #REQUIRED EXE_PATH CDATA #IMPLIED EXE_FORMAT CDATA #IMPLIED"
    " IMAGE_BASE CDATA #IMPLIED>\n"
    "<!ELEMENT BOOKMARKS (BOOKMARK*)>\n"
    "<!ELEMENT BOOKMARK EMPTY>\n"
    "<!ATTLIST BOOKMARK ADDRESS CDATA #REQUIRED TYPE CDATA #IMPLIED CATEGORY CDATA #IMPLIED"
    " DESCRIPTION CDATA #IMPLIED>\n"
    "<!ELEMENT COMMENTS (COMMENT*)>\n"
    "<!ELEMENT COMMENT (#PCDATA)>\n"
    "<!ATTLIST COMMENT ADDRESS CDATA #REQUIRED TYPE (end-of-line | repeatable | pre | post | plate) #REQUIRED>\n"
    "<!ELEMENT SYMBOL EMPTY>\n"
    "<!ATTLIST SYMBOL ADDRESS CDATA #REQUIRED NAME CDATA #REQUIRED NAMESPACE CDATA #IMPLIED TYPE CDATA #IMPLIED"
    " SOURCE_TYPE (USER_DEFINED | IMPORTED | ANALYSIS) #IMPLIED PRIMARY (y | n) #IMPLIED>\n"
    "]>\n";

std::string GhidraFile(const std::string& program, const std::string& body) {
    return "<?xml version=\"1.0\" standalone=\"yes\"?>\n<?program_dtd version=\"1\"?>\n" + kDoctype + "<PROGRAM " +
           program + ">\n" + body + "</PROGRAM>\n";
}
const std::string kTargetProgram = "NAME=\"target.exe\" EXE_PATH=\"/C:/Programs/target.exe\" IMAGE_BASE=\"00400000\"";

std::string Bookmarks(const std::string& entries) { return "<BOOKMARKS>\n" + entries + "</BOOKMARKS>\n"; }
std::string Note(const std::string& address, const std::string& more = "") {
    return "<BOOKMARK ADDRESS=\"" + address + "\" TYPE=\"Note\"" + more + " />\n";
}

class GhidraImportTest : public PluginTest {
protected:
    // The program target.exe at `target`, linked for 0x400000 (its file on
    // disk says so when onDisk), and Helper.dll, each with code at base +
    // 0x1000; the pane on the helper's code.
    void OpenProgram(uint32_t target = kTarget, uint32_t size = 0x10000, bool onDisk = false) {
        const sim::PeHeader build{0x5F000000, size, 0, false, "", 0x400000};
        sim::SetExePath(folder_.Path("target.exe"));
        if (onDisk) {
            ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("target.exe"), sim::PeHeaderBytes(build)));
        }
        sim::AddModuleImage(target, size, "target", build);
        AddBlock(target + 0x1000, kCode);
        sim::AddModuleImage(kHelper, 0x10000, "helper", {0x5F000001, 0x10000, 0, true, "Helper.dll"});
        AddBlock(kHelper + 0x1000, kCode);
        ShowBlock(kHelper + 0x1000, 0x1000);
        ASSERT_EQ(0, Start());
    }

    void ImportText(const std::string& text) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("in.xml"), std::vector<uint8_t>(text.begin(), text.end())));
        sim::ChooseFile(folder_.Path("in.xml"), kXmlImport);
        Action(kOriginPluginMenu, kImport);
    }

    sim::TempFolder folder_;
};

TEST_F(GhidraImportTest, GhidrasExportGivesItsNotesNamesAndCommentsToTheModuleWhereverItLoads) {
    OpenProgram();
    StoreSetting("map_bookmark_name_to_label", 1);
    ImportText(GhidraFile(
        kTargetProgram + " EXE_FORMAT=\"Portable Executable (PE)\"",
        "<INFO_SOURCE USER=\"re\" TOOL=\"Ghidra 11.0\" TIMESTAMP=\"Tue Dec 08 10:00:00 CET 2026\" />\n"
        "<PROCESSOR NAME=\"x86\" LANGUAGE_PROVIDER=\"x86:LE:32:default:windows\" ENDIAN=\"little\""
        " ADDRESS_MODEL=\"32-bit\" />\n"
        "<DATATYPES><STRUCTURE NAME=\"KEY\" SIZE=\"0x8\"><REGULAR_CMT>a type's</REGULAR_CMT>"
        "<MEMBER OFFSET=\"0x0\" DATATYPE=\"dword\" NAME=\"id\" SIZE=\"0x4\" /></STRUCTURE></DATATYPES>\n"
        "<MEMORY_MAP><MEMORY_SECTION NAME=\".text\" START_ADDR=\"ram:00401000\" LENGTH=\"0x1000\" PERMISSIONS=\"rx\">"
        "<MEMORY_CONTENTS FILE_NAME=\"target.exe.bytes\" FILE_OFFSET=\"0x400\" /></MEMORY_SECTION></MEMORY_MAP>\n"
        "<CODE><CODE_BLOCK START=\"ram:00401000\" END=\"ram:00401005\" /></CODE>\n"
        "<COMMENTS>\n"
        "<COMMENT ADDRESS=\"00401000\" TYPE=\"repeatable\">rep</COMMENT>\n"
        "<COMMENT ADDRESS=\"00401000\" TYPE=\"end-of-line\">eol</COMMENT>\n"
        "<COMMENT ADDRESS=\"00401000\" TYPE=\"plate\">plate\nbanner</COMMENT>\n"
        "<COMMENT ADDRESS=\"ram:00401000\" TYPE=\"post\">post</COMMENT>\n"
        "<COMMENT ADDRESS=\"00401000\" TYPE=\"pre\">pre</COMMENT>\n"
        "<COMMENT ADDRESS=\"00401003\" TYPE=\"end-of-line\">second</COMMENT>\n"
        "</COMMENTS>\n" +
            Bookmarks(Note("00401000", " CATEGORY=\"\" DESCRIPTION=\"check key\"") +
                      Note("00401003", " CATEGORY=\"triage\"") +
                      "<BOOKMARK ADDRESS=\"00401000\" TYPE=\"Analysis\" CATEGORY=\"Found Code\""
                      " DESCRIPTION=\"Found code from operand reference\" />\n"
                      "<BOOKMARK ADDRESS=\"00401005\" TYPE=\"Error\" CATEGORY=\"Bad Instruction\" DESCRIPTION=\"x\" />\n"
                      "<BOOKMARK ADDRESS=\"00401005\" TYPE=\"Warning\" DESCRIPTION=\"x\" />\n"
                      "<BOOKMARK ADDRESS=\"00401005\" TYPE=\"Info\" DESCRIPTION=\"x\" />\n" +
                      Note("00500000", " DESCRIPTION=\"past the end\"")) +
            "<SYMBOL_TABLE>\n"
            "<SYMBOL ADDRESS=\"00401005\" NAME=\"LAB_00401005\" TYPE=\"global\" SOURCE_TYPE=\"ANALYSIS\" PRIMARY=\"y\" />\n"
            "<SYMBOL ADDRESS=\"00401003\" NAME=\"key_loop\" TYPE=\"global\" SOURCE_TYPE=\"USER_DEFINED\" PRIMARY=\"y\" />\n"
            "<SYMBOL ADDRESS=\"00401003\" NAME=\"alias\" TYPE=\"global\" SOURCE_TYPE=\"USER_DEFINED\" PRIMARY=\"n\" />\n"
            "<SYMBOL ADDRESS=\"00401000\" NAME=\"check_key\" SOURCE_TYPE=\"USER_DEFINED\" PRIMARY=\"y\" />\n"
            "<SYMBOL ADDRESS=\"EXTERNAL:00000010\" NAME=\"MessageBoxA\" NAMESPACE=\"USER32.DLL\""
            " SOURCE_TYPE=\"IMPORTED\" PRIMARY=\"y\" />\n"
            "<SYMBOL ADDRESS=\"00403000\" NAME=\"__imp_MessageBoxA\" SOURCE_TYPE=\"IMPORTED\" PRIMARY=\"y\" />\n"
            "</SYMBOL_TABLE>\n"
            "<FUNCTIONS><FUNCTION ENTRY_POINT=\"00401000\" NAME=\"check_key\"><ADDRESS_RANGE START=\"00401000\""
            " END=\"00401005\" /><REGULAR_CMT>a function's</REGULAR_CMT></FUNCTION></FUNCTIONS>\n"
            "<MARKUP><BOOKMARK ADDRESS=\"00401005\" TYPE=\"Note\" DESCRIPTION=\"not in BOOKMARKS\" /></MARKUP>\n"));

    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1000, kTarget + 0x1003}), BookmarkAddresses());
    const sim::BookmarkFields made{kTarget + 0x1000, 1, 0, 0x4C4D440A, 1, "target", "check key", "PUSH EBP"};
    EXPECT_EQ(made, Bookmark(kTarget + 0x1000));
    EXPECT_EQ("key_loop", Bookmark(kTarget + 0x1003)->name);
    EXPECT_EQ("check_key", sim::NameAt(kTarget + 0x1000, kHostNameLabel));
    EXPECT_EQ("key_loop", sim::NameAt(kTarget + 0x1003, kHostNameLabel));
    EXPECT_EQ("__imp_MessageBoxA", sim::NameAt(kTarget + 0x3000, kHostNameLabel));
    EXPECT_EQ("plate\nbanner | pre | eol | post | rep", sim::NameAt(kTarget + 0x1000, kHostNameComment));
    EXPECT_EQ("second", sim::NameAt(kTarget + 0x1003, kHostNameComment));
    EXPECT_EQ("", sim::NameAt(kTarget + 0x1005, kHostNameLabel));
    EXPECT_EQ(6u, sim::NameInsertions().size());   // the bookmark's name as its label first
    EXPECT_EQ("Zentrilo: 2 bookmarks, 1 names, 3 labels, 2 comments imported, 8 skipped (1 outside the module, "
              "5 by analysis, 1 not primary, 1 in another address space)!",
              LastFlash());
}

// IDA's plug-in writes no image base: addresses count from the base the
// program's file on disk was linked for, or, without the file, from where it
// loaded.
TEST_F(GhidraImportTest, IdasExportCountsFromTheProgramsPreferredBase) {
    OpenProgram(kTarget, 0x10000, true);
    dll.zt_Toggle(kTarget + 0x1003);   // there before: kept as it is, named only when unnamed
    SetActive(kTarget + 0x1003, 0);
    const std::string ida =
        "<?xml version=\"1.0\" standalone=\"yes\"?>\n<?program_dtd version=\"1\"?>\n"
        "<PROGRAM NAME=\"TARGET.EXE\" EXE_PATH=\"C:\\Programs\\target.exe\""
        " EXE_FORMAT=\"Portable executable for 80386 (PE)\">\n"
        "<INFO_SOURCE TOOL=\"IDA-Pro 7.7 XML plugin\" USER=\"re\" />\n"
        "<PROCESSOR NAME=\"metapc\" ENDIAN=\"little\" ADDRESS_MODEL=\"32-bit\" />\n"
        "<COMMENTS>\n"
        "<COMMENT ADDRESS=\"0x401000\" TYPE=\"repeatable\">rep</COMMENT>\n"
        "<COMMENT ADDRESS=\"0x401000\" TYPE=\"end-of-line\">eol</COMMENT>\n"
        "</COMMENTS>\n"
        "<BOOKMARKS>\n<BOOKMARK ADDRESS=\"0x401000\" DESCRIPTION=\"marked\" />\n"
        "<BOOKMARK ADDRESS=\"0x401003\" />\n</BOOKMARKS>\n"
        "<SYMBOL_TABLE>\n<SYMBOL ADDRESS=\"0x401000\" NAME=\"start\" TYPE=\"global\" />\n"
        "<SYMBOL ADDRESS=\"0x401003\" NAME=\"loop\" TYPE=\"global\" />\n</SYMBOL_TABLE>\n"
        "</PROGRAM>\n";
    ImportText(ida);
    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1000, kTarget + 0x1003}), BookmarkAddresses());
    EXPECT_EQ("marked", Bookmark(kTarget + 0x1000)->name);
    EXPECT_EQ("loop", Bookmark(kTarget + 0x1003)->name);
    EXPECT_EQ(0, Bookmark(kTarget + 0x1003)->active);
    EXPECT_EQ("eol | rep", sim::NameAt(kTarget + 0x1000, kHostNameComment));
    EXPECT_EQ("", sim::NameAt(kTarget + 0x1000, kHostNameLabel));
    EXPECT_EQ("Zentrilo: 2 bookmarks, 1 names, 0 labels, 1 comments imported!", LastFlash());

    ASSERT_TRUE(DeleteFileA(folder_.Path("target.exe").c_str()));
    ImportText(ida);
    EXPECT_EQ("Zentrilo: 0 bookmarks, 0 names, 0 labels, 0 comments imported, 5 skipped (outside the module)!",
              LastFlash());
    ImportText(GhidraFile("NAME=\"target.exe\"", Bookmarks(Note("0x1001003"))));
    EXPECT_EQ("Zentrilo: 1 bookmarks, 0 names, 0 labels, 0 comments imported!", LastFlash());
}

TEST_F(GhidraImportTest, EscapesAndCharactersBeyondAsciiComeBackInTheCodePage) {
    OpenProgram();
    // A byte-order mark, character references, the predefined entities and
    // UTF-8 of the code page (é, €) and beyond it (中).
    ImportText("\xEF\xBB\xBF" +
               GhidraFile(kTargetProgram, Bookmarks(Note("00401000", " DESCRIPTION=\"caf\xC3\xA9 &lt;&amp;&gt; &quot;"
                                                                     "&#x41;&#66;&apos;\xE2\x82\xAC\xE4\xB8\xAD\""))) +
               "<!-- after the end -->\n");
    EXPECT_EQ("caf\xE9 <&> \"AB'\x80?", Bookmark(kTarget + 0x1000)->name);
    ImportText(GhidraFile(kTargetProgram, "<COMMENTS><COMMENT ADDRESS=\"00401000\" TYPE=\"pre\">a &lt; b"
                                          "<![CDATA[ & <c> ]]>\xC3\xA9</COMMENT></COMMENTS>"));
    EXPECT_EQ("a < b & <c> \xE9", sim::NameAt(kTarget + 0x1000, kHostNameComment));
    // A text longer than is read is cut where a character starts.
    std::string long_;
    for (int i = 0; i < 600; ++i) long_ += "\xC3\xA9";
    ImportText(GhidraFile(kTargetProgram, "<COMMENTS><COMMENT ADDRESS=\"00401000\" TYPE=\"pre\">" + long_ +
                                              "</COMMENT><COMMENT ADDRESS=\"00401000\" TYPE=\"post\">x</COMMENT>"
                                              "</COMMENTS>"));
    EXPECT_EQ(std::string(252, '\xE9') + "...", sim::NameAt(kTarget + 0x1000, kHostNameComment));
}

TEST_F(GhidraImportTest, AProgramNotLoadedGoesToTheModuleThePaneShows) {
    OpenProgram();
    ImportText(GhidraFile("NAME=\"renamed\" EXE_PATH=\"/C:/Programs/target.exe\" IMAGE_BASE=\"0x400000\"",
                          Bookmarks(Note("00401000"))));
    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1000}), BookmarkAddresses());
    // Its comments, too, and counted with its bookmarks.
    ImportText(GhidraFile("NAME=\"other.exe\" IMAGE_BASE=\"00400000\"",
                          "<COMMENTS><COMMENT ADDRESS=\"00401006\" TYPE=\"pre\">c</COMMENT></COMMENTS>" +
                              Bookmarks(Note("00401005"))));
    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1000, kHelper + 0x1005}), BookmarkAddresses());
    EXPECT_EQ("c", sim::NameAt(kHelper + 0x1006, kHostNameComment));
    EXPECT_EQ("Zentrilo: 1 bookmarks, 0 names, 0 labels, 1 comments imported, 2 into Helper.dll, other.exe is not "
              "loaded!",
              LastFlash());
}

TEST_F(GhidraImportTest, ExportedProgramComesBackWhereverTheModuleLoadsNow) {
    OpenProgram(kTarget, 0x10000, true);
    ShowBlock(kTarget + 0x1000, 0x1000);
    const uint32_t marks[] = {0x1000, 0x1003, 0x1005};
    for (uint32_t offset : marks) dll.zt_Toggle(kTarget + offset);
    // A name with white space goes out as a symbol without it, and comes back whole.
    SetName(kTarget + 0x1000, "check key, \"caf\xE9\" <&>");
    SetName(kTarget + 0x1005, "end");
    SetActive(kTarget + 0x1003, 0);
    sim::SetName(kTarget + 0x1000, kHostNameComment, "first | line");
    sim::SetName(kTarget + 0x1003, kHostNameComment, "x < y & z");
    std::vector<sim::BookmarkFields> before;
    for (uint32_t offset : marks) before.push_back(*Bookmark(kTarget + offset));
    sim::ChooseFile(folder_.Path("run.xml"), kXmlExport);
    Action(kOriginPluginMenu, kExport);

    PluginTest::TearDown();
    PluginTest::SetUp();
    const uint32_t moved = 0x02000000;
    OpenProgram(moved, 0x10000, true);
    sim::ChooseFile(folder_.Path("run.xml"), kXmlImport);
    Action(kOriginPluginMenu, kImport);
    for (size_t i = 0; i < 3; ++i) {
        sim::BookmarkFields expected = before[i];
        expected.address += moved - kTarget;
        EXPECT_EQ(expected, Bookmark(expected.address));
    }
    EXPECT_EQ("first | line", sim::NameAt(moved + 0x1000, kHostNameComment));
    EXPECT_EQ("x < y & z", sim::NameAt(moved + 0x1003, kHostNameComment));
    EXPECT_EQ("Zentrilo: 3 bookmarks, 0 names, 0 labels, 2 comments imported!", LastFlash());
}

// Ghidra's analysis leaves far more bookmarks than its user: 100,000 here,
// one in ten a Note.
TEST_F(GhidraImportTest, HundredThousandBookmarksAreReadInBoundedMemory) {
    sim::UseLeanTables(true);
    OpenProgram(kTarget, 0x20000);
    std::string body;
    for (int i = 0; i < 100000; ++i) {
        char entry[96];
        std::snprintf(entry, sizeof entry, "<BOOKMARK ADDRESS=\"%08X\" TYPE=\"%s\" DESCRIPTION=\"b%d\" />\n",
                      0x401000 + i, i % 10 ? "Analysis" : "Note", i);
        body += entry;
    }
    sim::StartHeapCount();
    ImportText(GhidraFile(kTargetProgram, Bookmarks(body)));
    EXPECT_EQ(10000, dll.zt_Count());
    EXPECT_EQ("b99990", Bookmark(kTarget + 0x1000 + 99990)->name);
    // What the import held beyond the bookmarks it made: the reader's.
    EXPECT_LT(sim::HeapPeak() - sim::HeapHeld(), 6 << 20);
    EXPECT_EQ("Zentrilo: 10000 bookmarks, 0 names, 0 labels, 0 comments imported, 90000 skipped (by analysis)!",
              LastFlash());
}

TEST_F(GhidraImportTest, FaultyFilesChangeNothingAndSayWhere) {
    OpenProgram();
    dll.zt_Toggle(kTarget + 0x1000);
    const std::string bomb = "<?xml version=\"1.0\"?>\n<!DOCTYPE PROGRAM [\n<!ENTITY a \"" + std::string(100, 'a') +
                             "\">\n<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
                             "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
                             "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n"
                             "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
                             "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n]>\n"
                             "<PROGRAM NAME=\"target.exe\"><COMMENTS><COMMENT ADDRESS=\"00401000\" TYPE=\"pre\">"
                             "&f;</COMMENT></COMMENTS></PROGRAM>";
    const std::string good = GhidraFile(kTargetProgram, Bookmarks(Note("00401003")) + "<COMMENTS>"
                                                         "<COMMENT ADDRESS=\"00401003\" TYPE=\"pre\">c</COMMENT></COMMENTS>");
    struct Case {
        std::string text;
        std::string fault;
    };
    const Case cases[] = {
        {"", "not valid XML, no element found (line 1, column 1)"},
        {"PROGRAM", "not valid XML, syntax error (line 1, column 1)"},
        {"{\"bookmarks\": []}", "not valid XML, not well-formed (invalid token) (line 1, column 1)"},
        {good.substr(0, good.size() - 40), "not valid XML, unclosed token (line 19, column 11)"},
        {"<BOOKMARKS><BOOKMARK ADDRESS=\"00401000\" /></BOOKMARKS>",
         "not a program XML, its first element is <BOOKMARKS> (line 1, column 1)"},
        {GhidraFile(kTargetProgram, Bookmarks(Note("0040100G"))), "bad address \"0040100G\" (line 17, column 1)"},
        {GhidraFile(kTargetProgram, Bookmarks(Note("0x"))), "bad address \"0x\" (line 17, column 1)"},
        {GhidraFile(kTargetProgram, Bookmarks(Note("ram:"))), "bad address \"ram:\" (line 17, column 1)"},
        {GhidraFile(kTargetProgram, Bookmarks(Note(":00401000"))), "bad address \":00401000\" (line 17, column 1)"},
        {GhidraFile(kTargetProgram, Bookmarks(Note("100000000"))), "bad address \"100000000\" (line 17, column 1)"},
        {GhidraFile(kTargetProgram, Bookmarks("<BOOKMARK TYPE=\"Note\" />")),
         "BOOKMARK without ADDRESS (line 17, column 1)"},
        {GhidraFile(kTargetProgram, "<SYMBOL_TABLE><SYMBOL ADDRESS=\"00401000\" /></SYMBOL_TABLE>"),
         "SYMBOL without NAME (line 16, column 15)"},
        {GhidraFile(kTargetProgram, "<COMMENTS><COMMENT ADDRESS=\"00401000\" TYPE=\"eol\">x</COMMENT></COMMENTS>"),
         "COMMENT of unknown TYPE \"eol\" (line 16, column 11)"},
        {GhidraFile("NAME=\"target.exe\" IMAGE_BASE=\"4OOOOO\"", ""),
         "bad IMAGE_BASE \"4OOOOO\" (line 15, column 1)"},
        {GhidraFile(kTargetProgram, Bookmarks(Note("00401000", " DESCRIPTION=\"" + std::string(5 << 20, 'd') + "\""))),
         "a tag or text too long to read (line 17, column 1)"},
        {bomb, "not valid XML, limit on input amplification factor (from DTD and entities) breached (line 10, "
               "column 77)"},
        {"<?xml version=\"1.0\"?>\n<!DOCTYPE PROGRAM [<!ENTITY x SYSTEM \"file:///C:/windows/win.ini\">]>\n"
         "<PROGRAM NAME=\"&x;\" />",
         "not valid XML, reference to external entity in attribute (line 3, column 16)"},
    };
    for (const Case& c : cases) {
        ImportText(c.text);
        EXPECT_EQ("[ERROR]: Nothing imported, " + c.fault + "!", LastFlash()) << c.text.substr(0, 80);
    }
    EXPECT_EQ((std::vector<uint32_t>{kTarget + 0x1000}), BookmarkAddresses());
    EXPECT_TRUE(sim::NameInsertions().empty());
}

}  // namespace
