// Export... as an x64dbg database (.dd32): each bookmark in a module under
// "bookmarks", its name under "labels" and the comment at its address under
// "comments", by the module's file name in lower case and the offset as hex
// text; bookmarks that x64dbg cannot place are left out and counted.
#include "host/file_failure.h"
#include "host/pe_header.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <windows.h>

#include <fstream>

namespace {

constexpr int kExport = 3;
constexpr DWORD kX64dbgType = 4;
constexpr uint32_t kTarget = 0x400000, kHelper = 0x10000000, kNoExports = 0x20000000;

// The folder of the test program, which ctest's check reads.
std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string program(path, length);
    return program.substr(0, program.find_last_of('\\'));
}

class X64dbgExportTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        sim::SetExePath("C:\\Programs\\Target.EXE");
        sim::AddModuleImage(kTarget, 0x10000, "target", {0x5F000001, 0x10000, 0, false, ""});
        sim::AddModuleImage(kHelper, 0x20000, "helper", {0x5F000002, 0x20000, 0, true, "Helper.DLL"});
        sim::AddModuleImage(kNoExports, 0x10000, "noexp", {0x5F000003, 0x10000, 0, true, ""});
        AddBlock(kTarget + 0x1000, {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3});
        AddBlock(kHelper + 0x1A2B, {0xC3});
        ShowBlock(kTarget + 0x1000, 0x1000);
        ASSERT_EQ(0, Start());
    }

    void Export(const std::string& path) {
        sim::ChooseFile(path, kX64dbgType);
        Action(kOriginPluginMenu, kExport);
    }
};

// Leaves x64dbg-database.dd32 and, written here by hand, what it must hold in
// x64dbg-database.expected beside the test program; ctest then reads both
// with Python's json module (check_x64dbg_database.py).
TEST_F(X64dbgExportTest, BookmarksNamesAndCommentsByModuleFileAndOffset) {
    for (uint32_t address : {kTarget + 0x1000, kTarget + 0x1003, kHelper + 0x1A2B, kNoExports + 0x10, 0x500000u})
        dll.zt_Toggle(address);
    // Wine's code page here is normally 1252, where E9 is "é" and 80 "€"
    // (three bytes in UTF-8).
    const bool latin = GetACP() == 1252;
    SetName(kTarget + 0x1000, latin ? "check_key \"caf\xE9\"" : "check_key \"cafe\"");
    SetName(kTarget + 0x1003, "Auto Warning: Module name Changed!");
    SetActive(kTarget + 0x1003, 0);
    SetName(kHelper + 0x1A2B, "helper_end");
    sim::SetName(kTarget + 0x1000, kHostNameComment, "returns 0 for a bad key\nline 2");
    sim::SetName(kHelper + 0x1A2B, kHostNameComment, std::string(255, latin ? '\x80' : 'x'));
    sim::SetName(kNoExports + 0x10, kHostNameComment, "left out");

    const std::string path = ProgramFolder() + "\\x64dbg-database";
    Export(path);   // the type's extension is added
    EXPECT_EQ("Zentrilo: 3 bookmarks exported for x64dbg, 2 skipped (1 in no module, 1 module's file name unknown)!",
              LastFlash());

    // x64dbg refuses a comment of 512 bytes or more: 765 bytes of "€" are cut
    // at a character, with "...".
    std::string longComment = latin ? "" : std::string(255, 'x');
    for (int i = 0; latin && i < 169; ++i) longComment += "\\u20ac";
    if (latin) longComment += "...";
    const std::string expected =
        "{\"bookmarks\": ["
        "  {\"module\": \"target.exe\", \"address\": \"0x1000\", \"manual\": true},"
        "  {\"module\": \"target.exe\", \"address\": \"0x1003\", \"manual\": true},"
        "  {\"module\": \"helper.dll\", \"address\": \"0x1A2B\", \"manual\": true}],"
        " \"labels\": ["
        "  {\"module\": \"target.exe\", \"address\": \"0x1000\", \"manual\": true, \"text\": " +
        std::string(latin ? "\"check_key \\\"caf\\u00e9\\\"\"" : "\"check_key \\\"cafe\\\"\"") +
        "},"
        "  {\"module\": \"helper.dll\", \"address\": \"0x1A2B\", \"manual\": true, \"text\": \"helper_end\"}],"
        " \"comments\": ["
        "  {\"module\": \"target.exe\", \"address\": \"0x1000\", \"manual\": true,"
        "   \"text\": \"returns 0 for a bad key\\nline 2\"},"
        "  {\"module\": \"helper.dll\", \"address\": \"0x1A2B\", \"manual\": true, \"text\": \"" +
        longComment + "\"}]}";
    std::ofstream(ProgramFolder() + "\\x64dbg-database.expected", std::ios::binary) << expected;
}

// x64dbg refuses a comment of 512 bytes or more: counted in UTF-8, 511 are
// kept whole and 512 cut at a character, with "...", to 511.
TEST_F(X64dbgExportTest, CommentsAreCutAt512BytesOfUtf8) {
    if (GetACP() != 1252) GTEST_SKIP() << "the comments are written in code page 1252";
    const std::string euro = "\x80", eAcute = "\xE9";   // three and two bytes in UTF-8
    auto repeat = [](const std::string& text, int times) {
        std::string all;
        while (times-- > 0) all += text;
        return all;
    };
    const struct {
        uint32_t address;
        std::string comment;
        std::string written;   // UTF-8
    } cases[] = {
        {kTarget + 0x1000, euro + repeat(eAcute, 254), "\xE2\x82\xAC" + repeat("\xC3\xA9", 254)},   // 511 bytes
        {kTarget + 0x1003, repeat(euro, 2) + repeat(eAcute, 253),                               // 512 bytes
         repeat("\xE2\x82\xAC", 2) + repeat("\xC3\xA9", 251) + "..."},
    };
    for (const auto& c : cases) {
        dll.zt_Toggle(c.address);
        sim::SetName(c.address, kHostNameComment, c.comment);
    }
    sim::TempFolder folder;
    Export(folder.Path("cut.dd32"));
    const std::optional<std::vector<uint8_t>> bytes = sim::ReadFileBytes(folder.Path("cut.dd32"));
    ASSERT_TRUE(bytes.has_value());
    const std::string file(bytes->begin(), bytes->end());
    for (const auto& c : cases)
        EXPECT_NE(std::string::npos, file.find("\"text\":\"" + c.written + "\"}")) << c.comment.size();
}

TEST_F(X64dbgExportTest, FailedWriteKeepsTheOldFile) {
    dll.zt_Toggle(kTarget + 0x1000);
    sim::TempFolder folder;
    ASSERT_TRUE(sim::WriteFileBytes(folder.Path("old.dd32"), {'o', 'l', 'd'}));
    sim::FailFileWrite(1);
    Export(folder.Path("old.dd32"));
    EXPECT_EQ("[ERROR]: Nothing exported!", LastFlash());
    EXPECT_EQ((std::vector<uint8_t>{'o', 'l', 'd'}), sim::ReadFileBytes(folder.Path("old.dd32")));
}

}  // namespace
