// Export... as a bookmark list: the JSON and CSV types of the save dialog,
// each bookmark by address and by module and offset with its fields, in UTF-8.
#include "host/file_failure.h"
#include "host/pe_header.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <windows.h>

#include <fstream>

namespace {

constexpr int kExport = 3;
constexpr DWORD kJsonType = 2, kCsvType = 3;
// In the module "target": PUSH EBP at kCode, XOR EAX,EAX at kCode + 3.
constexpr uint32_t kModule = 0x400000, kCode = 0x401000, kHelper = 0x10000000;
const char kExported[] = "Zentrilo: Bookmarks exported successfully!";

std::string FileText(const std::string& path) {
    const std::optional<std::vector<uint8_t>> bytes = sim::ReadFileBytes(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(no file)";
}

// The folder of the test program, which ctest's CSV check reads.
std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    const std::string program(path, length);
    return program.substr(0, program.find_last_of('\\'));
}

std::string Hex(const std::string& text) {
    std::string hex;
    char digits[3];
    for (unsigned char c : text) {
        std::snprintf(digits, sizeof digits, "%02x", c);
        hex += digits;
    }
    return hex;
}

class BookmarkListExportTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        sim::SetExePath("C:\\Programs\\target.exe");
        sim::AddModuleImage(kModule, 0x10000, "target", {0x5F000001, 0x10000, 0x1234, false, ""});
        sim::AddModuleImage(kHelper, 0x20000, "helper", {0x5F000002, 0x20000, 0, true, "Helper.dll"});
        AddBlock(kHelper + 0x1000, {0xC3});
        AddBlock(kCode, {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3, 0x90, 0x90});
        ShowBlock(kCode, 0x1000);
        ASSERT_EQ(0, Start());
    }

    void Export(const std::string& path, DWORD type) {
        sim::ChooseFile(path, type);
        Action(kOriginPluginMenu, kExport);
    }

    sim::TempFolder folder_;
};

TEST_F(BookmarkListExportTest, JsonListsEveryBookmarkByModuleAndOffset) {
    for (uint32_t address : {kCode, kCode + 3, kHelper + 0x1000, 0x500000u}) dll.zt_Toggle(address);   // the last in no module
    SetName(kCode, "say \"hi\", \\ then");
    SetName(kCode + 3, "Auto Warning: Module name Changed!");
    SetActive(kCode + 3, 0);
    sim::SetName(kCode, kHostNameComment, "line 1\nline 2\x01");
    sim::PatchMemory(kCode + 3, {0x90});

    // A name typed without an extension gets the chosen type's.
    Export(folder_.Path("list"), kJsonType);
    EXPECT_EQ(kExported, LastFlash());
    EXPECT_EQ("{\n"
              "  \"format\": \"zentrilo-bookmarks\",\n"
              "  \"version\": 1,\n"
              "  \"program\": \"C:\\\\Programs\\\\target.exe\",\n"
              "  \"modules\": [\n"
              "    {\"name\":\"target\",\"file\":\"target.exe\",\"base\":4194304,\"size\":65536,"
              "\"timestamp\":1593835521,\"image_size\":65536,\"checksum\":4660},\n"
              "    {\"name\":\"helper\",\"file\":\"Helper.dll\",\"base\":268435456,\"size\":131072,"
              "\"timestamp\":1593835522,\"image_size\":131072,\"checksum\":0}\n"
              "  ],\n"
              "  \"bookmarks\": [\n"
              "    {\"address\":4198400,\"module\":\"target\",\"module_base\":4194304,\"offset\":4096,"
              "\"name\":\"say \\\"hi\\\", \\\\ then\",\"comment\":\"line 1\\nline 2\\u0001\",\"active\":true,"
              "\"original_instruction\":\"PUSH EBP\",\"current_instruction\":\"PUSH EBP\",\"changed\":false},\n"
              "    {\"address\":4198403,\"module\":\"target\",\"module_base\":4194304,\"offset\":4099,"
              "\"name\":\"\",\"comment\":\"\",\"active\":false,"
              "\"original_instruction\":\"XOR EAX,EAX\",\"current_instruction\":\"NOP\",\"changed\":true},\n"
              "    {\"address\":5242880,\"name\":\"\",\"comment\":\"\",\"active\":true,"
              "\"original_instruction\":\"\",\"current_instruction\":\"???\",\"changed\":false},\n"
              "    {\"address\":268439552,\"module\":\"helper\",\"module_base\":268435456,\"offset\":4096,"
              "\"name\":\"\",\"comment\":\"\",\"active\":true,"
              "\"original_instruction\":\"RETN\",\"current_instruction\":\"RETN\",\"changed\":false}\n"
              "  ]\n"
              "}\n",
              FileText(folder_.Path("list.json")));
}

TEST_F(BookmarkListExportTest, FailedWriteKeepsTheOldFile) {
    dll.zt_Toggle(kCode);
    ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("old.csv"), {'o', 'l', 'd'}));
    sim::FailFileWrite(2);
    Export(folder_.Path("old.csv"), kCsvType);
    EXPECT_EQ("[ERROR]: Nothing exported!", LastFlash());
    EXPECT_EQ("old", FileText(folder_.Path("old.csv")));
}

// Leaves bookmark-list.csv and, for each of its rows, the fields it must hold
// (hex-encoded UTF-8) in bookmark-list.expected beside the test program;
// ctest then reads the CSV with Python's csv module (check_csv_list.py).
TEST_F(BookmarkListExportTest, CsvKeepsCommasQuotesAndLineBreaksAndWritesFormulasAsText) {
    // Wine's code page here is normally 1252, where E9 is "é". A field that
    // begins as a formula gets an apostrophe, which spreadsheets take as text.
    const bool latin = GetACP() == 1252;
    const std::string tricky[][2] = {{"a, \"b\"", "line one\r\nline two, \"quoted\""},
                                     {"+x", "-y"},
                                     {latin ? "caf\xE9" : "cafe", "\n"},
                                     {"plain", "x"},
                                     {"@x", "=SUM(A1)"},
                                     {"\tt", "\rr"}};
    const uint32_t addresses[] = {kCode, kCode + 1, kCode + 3, kCode + 5, kCode + 6, kCode + 7};
    for (int i = 0; i < 6; ++i) {
        dll.zt_Toggle(addresses[i]);
        SetName(addresses[i], tricky[i][0]);
        sim::SetName(addresses[i], kHostNameComment, tricky[i][1]);
    }
    SetActive(kCode + 5, 0);

    const std::string csv = ProgramFolder() + "\\bookmark-list.csv";
    Export(csv, kCsvType);
    ASSERT_EQ(kExported, LastFlash());

    const std::vector<std::vector<std::string>> rows = {
        {"address", "module", "module_base", "offset", "name", "comment", "active", "original_instruction",
         "current_instruction", "changed"},
        {"0x00401000", "target", "0x00400000", "0x00001000", tricky[0][0], tricky[0][1], "1", "PUSH EBP", "PUSH EBP",
         "0"},
        {"0x00401001", "target", "0x00400000", "0x00001001", "'+x", "'-y", "1", "MOV EBP,ESP", "MOV EBP,ESP", "0"},
        {"0x00401003", "target", "0x00400000", "0x00001003", latin ? "caf\xC3\xA9" : "cafe", "\n", "1",
         "XOR EAX,EAX", "XOR EAX,EAX", "0"},
        {"0x00401005", "target", "0x00400000", "0x00001005", "plain", "x", "0", "RETN", "RETN", "0"},
        {"0x00401006", "target", "0x00400000", "0x00001006", "'@x", "'=SUM(A1)", "1", "NOP", "NOP", "0"},
        {"0x00401007", "target", "0x00400000", "0x00001007", "'\tt", "'\rr", "1", "NOP", "NOP", "0"}};
    std::ofstream expected(ProgramFolder() + "\\bookmark-list.expected", std::ios::binary);
    for (const std::vector<std::string>& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) expected << (i ? "," : "") << Hex(row[i]);
        expected << "\n";
    }
    EXPECT_TRUE(expected.good());
}

}  // namespace
