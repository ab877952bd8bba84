// Export... as Ghidra/IDA program XML: the module of the block the CPU pane
// shows, at the addresses its file on disk would load at; its bookmarks as
// Note bookmarks, their names as symbols, the debugger's comments at them as
// end-of-line comments; bookmarks elsewhere counted.
#include "host/pe_header.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <windows.h>

#include <fstream>

namespace {

constexpr int kExport = 3;
constexpr DWORD kProgramXmlType = 5;
// Both modules loaded away from where they were linked for.
constexpr uint32_t kTarget = 0x01300000, kTargetPreferred = 0x00400000;
constexpr uint32_t kHelper = 0x10000000, kHelperPreferred = 0x6F000000;
const sim::PeHeader kTargetBuild{0x5F000001, 0x10000, 0, false, "", kTargetPreferred};

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string program(path, length);
    return program.substr(0, program.find_last_of('\\'));
}

std::string SystemFolder() {
    char path[MAX_PATH];
    return std::string(path, GetSystemDirectoryA(path, sizeof path));
}

std::string FileText(const std::string& path) {
    const auto bytes = sim::ReadFileBytes(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// The value of the first attribute of that name after `after`.
std::string Attribute(const std::string& text, const std::string& name, const std::string& after) {
    const size_t from = text.find(after);
    const size_t at = from == std::string::npos ? from : text.find(" " + name + "=\"", from);
    if (at == std::string::npos) return "(none)";
    const size_t start = at + name.size() + 3;
    return text.substr(start, text.find('"', start) - start);
}

class GhidraExportTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        // The debugged file, which holds the program's preferred base.
        sim::SetExePath(folder_.Path("Target.EXE"));
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("Target.EXE"), sim::PeHeaderBytes(kTargetBuild)));
        sim::AddModuleImage(kTarget, 0x10000, "target", kTargetBuild);
    }

    void Export(const std::string& path) {
        sim::ChooseFile(path, kProgramXmlType);
        Action(kOriginPluginMenu, kExport);
    }

    sim::TempFolder folder_;
};

// Leaves ghidra-program.xml and, written here by hand, what it must hold in
// ghidra-program.expected beside the test program; ctest then validates the
// first against the program DTD with Python's lxml and compares the two
// (check_program_xml.py).
TEST_F(GhidraExportTest, ShownModuleAtItsPreferredBaseWithEscapedTexts) {
    sim::AddModuleImage(kHelper, 0x20000, "helper", {0x5F000002, 0x20000, 0, true, "helper.dll"});
    ShowBlock(kTarget + 0x1000, 0x1000);
    ASSERT_EQ(0, Start());
    for (uint32_t address : {kTarget + 0x1000, kTarget + 0x1003, kTarget + 0x2000, kHelper + 0x1A2B, 0x500000u})
        dll.zt_Toggle(address);
    // Wine's code page here is normally 1252, where E9 is "é".
    const bool latin = GetACP() == 1252;
    SetName(kTarget + 0x1000, latin ? "check <key> & \"caf\xE9\"" : "check <key> & \"cafe\"");
    SetName(kTarget + 0x1003, "n/a");
    SetActive(kTarget + 0x1003, 0);
    SetName(kTarget + 0x2000, "two words\tand a tab");
    SetActive(kTarget + 0x2000, 0);
    sim::SetName(kTarget + 0x1000, kHostNameComment, "returns 0 for a bad key\r\nline 2 \x01 <b>");
    sim::SetName(kTarget + 0x1003, kHostNameComment, "placeholder's comment");

    Export(ProgramFolder() + "\\ghidra-program");   // the type's extension is added
    EXPECT_EQ("Zentrilo: 3 bookmarks of Target.EXE exported as program XML, 2 skipped (in other modules)!",
              LastFlash());

    const std::string name = latin ? "check <key> & \\\"caf\\u00e9\\\"" : "check <key> & \\\"cafe\\\"";
    const std::string symbol = latin ? "check_<key>_&_\\\"caf\\u00e9\\\"" : "check_<key>_&_\\\"cafe\\\"";
    const std::string expected =
        "{\"program\": {\"NAME\": \"Target.EXE\", \"EXE_FORMAT\": \"Portable Executable (PE)\","
        "  \"IMAGE_BASE\": \"00400000\"},"
        " \"sections\": [\"INFO_SOURCE\", \"PROCESSOR\", \"COMMENTS\", \"BOOKMARKS\", \"SYMBOL_TABLE\"],"
        " \"processor\": {\"NAME\": \"x86\", \"LANGUAGE_PROVIDER\": \"x86:LE:32:default:windows\","
        "  \"ENDIAN\": \"little\", \"ADDRESS_MODEL\": \"32-bit\"},"
        " \"comments\": ["
        "  {\"ADDRESS\": \"00401000\", \"TYPE\": \"end-of-line\", \"text\": \"returns 0 for a bad key\\r\\nline 2 ? <b>\"},"
        "  {\"ADDRESS\": \"00401003\", \"TYPE\": \"end-of-line\", \"text\": \"placeholder's comment\"}],"
        " \"bookmarks\": ["
        "  {\"ADDRESS\": \"00401000\", \"TYPE\": \"Note\", \"CATEGORY\": \"Zentrilo\", \"DESCRIPTION\": \"" + name + "\"},"
        "  {\"ADDRESS\": \"00401003\", \"TYPE\": \"Note\", \"CATEGORY\": \"Zentrilo (disabled)\"},"
        "  {\"ADDRESS\": \"00402000\", \"TYPE\": \"Note\", \"CATEGORY\": \"Zentrilo (disabled)\","
        "   \"DESCRIPTION\": \"two words\\tand a tab\"}],"
        " \"symbols\": ["
        "  {\"ADDRESS\": \"00401000\", \"NAME\": \"" + symbol + "\", \"TYPE\": \"global\","
        "   \"SOURCE_TYPE\": \"USER_DEFINED\", \"PRIMARY\": \"y\"},"
        "  {\"ADDRESS\": \"00402000\", \"NAME\": \"two_words_and_a_tab\", \"TYPE\": \"global\","
        "   \"SOURCE_TYPE\": \"USER_DEFINED\", \"PRIMARY\": \"y\"}]}";
    std::ofstream(ProgramFolder() + "\\ghidra-program.expected", std::ios::binary) << expected;
}

// A DLL's preferred base comes from the file of its export directory's name
// beside the debugged file or in the system folder, and only from a file of
// the same build; without one, the load base is written and the status line
// says so.
TEST_F(GhidraExportTest, DllPreferredBaseFromItsFileElseTheLoadBase) {
    enum Where { kNowhere, kBeside, kSystemFolder };
    const sim::PeHeader build{0x5F000002, 0x20000, 0, true, "zt-ghidra-helper.dll", kHelperPreferred};
    sim::AddModuleImage(kHelper, 0x20000, "helper", build);
    ShowBlock(kHelper + 0x1000, 0x1000);
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kHelper + 0x1A2B);
    dll.zt_Toggle(kTarget + 0x1000);

    const std::string loaded = "Zentrilo: 1 bookmarks of zt-ghidra-helper.dll exported as program XML, 1 skipped (in "
                               "other modules); its file was not found: image base 10000000 is where it is loaded!";
    const std::string preferred =
        "Zentrilo: 1 bookmarks of zt-ghidra-helper.dll exported as program XML, 1 skipped (in other modules)!";
    using Change = void (*)(sim::PeHeader&, std::vector<uint8_t>&);
    const Change same = [](sim::PeHeader&, std::vector<uint8_t>&) {};
    const struct {
        const char* what;
        Where where;
        Change change;   // of the file on disk
        const char* imageBase;
        const char* address;
        const std::string& status;
    } cases[] = {
        {"beside the debugged file", kBeside, same, "6f000000", "6f001a2b", preferred},
        {"in the system folder", kSystemFolder, same, "6f000000", "6f001a2b", preferred},
        {"beside, of another build", kBeside, [](sim::PeHeader& h, std::vector<uint8_t>&) { h.timestamp++; },
         "10000000", "10001a2b", loaded},
        {"beside, of another image size", kBeside,
         [](sim::PeHeader& h, std::vector<uint8_t>&) { h.imageSize += 0x1000; }, "10000000", "10001a2b", loaded},
        {"beside, its base not 64 KB aligned", kBeside,
         [](sim::PeHeader& h, std::vector<uint8_t>&) { h.imageBase += 0x800; }, "10000000", "10001a2b", loaded},
        {"beside, cut short in its header", kBeside, [](sim::PeHeader&, std::vector<uint8_t>& b) { b.resize(0xA0); },
         "10000000", "10001a2b", loaded},
        {"nowhere", kNowhere, same, "10000000", "10001a2b", loaded},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string file = c.where == kSystemFolder ? SystemFolder() + "\\zt-ghidra-helper.dll"
                                                          : folder_.Path("zt-ghidra-helper.dll");
        sim::PeHeader onDisk = build;
        std::vector<uint8_t> bytes;
        c.change(onDisk, bytes);
        const size_t cut = bytes.size();   // a change may cut the file short at this size
        bytes = sim::PeHeaderBytes(onDisk);
        if (cut) bytes.resize(cut);
        if (c.where != kNowhere) {
            ASSERT_TRUE(sim::WriteFileBytes(file, bytes));
        }
        Export(folder_.Path("helper.xml"));
        if (c.where != kNowhere) DeleteFileA(file.c_str());
        EXPECT_EQ(c.status, LastFlash());
        const std::string text = FileText(folder_.Path("helper.xml"));
        EXPECT_EQ("zt-ghidra-helper.dll", Attribute(text, "NAME", "<PROGRAM"));
        EXPECT_EQ(c.imageBase, Attribute(text, "IMAGE_BASE", "<PROGRAM"));
        EXPECT_EQ(c.address, Attribute(text, "ADDRESS", "<BOOKMARK "));
    }
}

TEST_F(GhidraExportTest, NothingWhenThePaneShowsNoModule) {
    ShowBlock(0x500000, 0x1000);
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kTarget + 0x1000);
    Export(folder_.Path("none.xml"));
    EXPECT_EQ("[ERROR]: Nothing exported! The CPU pane shows no module whose file name is known.", LastFlash());
    EXPECT_FALSE(sim::ReadFileBytes(folder_.Path("none.xml")));
}

}  // namespace
