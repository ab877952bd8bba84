// A JSON bookmark list read into a run where a module is another build: each
// bookmark carries the code around it as a pattern, which is searched in the
// new build's code; found once, the bookmark is placed there, active when its
// instruction is still the one recorded. Modules of the same build are placed
// without a search.
#include "host/pe_header.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"
#include "host/debuggee.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kImport = 2, kExport = 3;
constexpr DWORD kJsonType = 2;
constexpr uint32_t kOldBase = 0x400000, kNewBase = 0x800000, kHelper = 0x10000000, kCode = 0x1000;

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& bytes, size_t at, uint32_t value) { std::memcpy(&bytes[at], &value, 4); }

// Routines one after the other, each padded with INT3 to 16 bytes, as
// compilers lay them out; where each starts, relative to the module.
struct Code {
    Bytes bytes;
    std::vector<uint32_t> starts;
    std::vector<uint32_t> relocations;
};

// PUSH EBP; MOV EBP,ESP, then the body, then RETN.
Bytes Routine(const Bytes& body) {
    Bytes routine = {0x55, 0x8B, 0xEC};
    routine.insert(routine.end(), body.begin(), body.end());
    routine.push_back(0xC3);
    return routine;
}
Bytes MovEax(uint32_t value) {
    return {0xB8, uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

void Append(Code& code, const Bytes& routine) {
    code.starts.push_back(kCode + uint32_t(code.bytes.size()));
    code.bytes.insert(code.bytes.end(), routine.begin(), routine.end());
    while (code.bytes.size() % 16) code.bytes.push_back(0xCC);
}

// The program's code in one build: the first routine returns a constant, the
// second calls it, the third returns another constant (changed in the new
// build), the fourth a third one (twice in the new build), the fifth, after a
// NOP, the first routine's address (a relocated field). The new build has a
// routine more in front.
Code Build(uint32_t base, bool rebuilt) {
    Code code;
    if (rebuilt) Append(code, Routine(MovEax(0x99999999)));
    const size_t first = code.starts.size();
    Append(code, Routine({0xB8, 0x11, 0x11, 0x11, 0x11, 0x33, 0xC0}));
    const uint32_t call = kCode + uint32_t(code.bytes.size()) + 3;
    Bytes calling = Routine({0xE8, 0, 0, 0, 0, 0xB8, 0x22, 0x22, 0x22, 0x22});
    Put32(calling, 4, code.starts[first] - (call + 5));
    Append(code, calling);
    Append(code, Routine(MovEax(rebuilt ? 0x44444444 : 0x33333333)));
    Append(code, Routine(MovEax(0x55555555)));
    if (rebuilt) Append(code, Routine(MovEax(0x55555555)));
    code.relocations.push_back(kCode + uint32_t(code.bytes.size()) + 5);
    Bytes pointing = MovEax(base + code.starts[first]);
    pointing.insert(pointing.begin(), 0x90);
    Append(code, Routine(pointing));
    return code;
}

// The bookmarks' places in a build: the first routine's start, the second's
// CALL, the third's and the fourth's starts, the fifth's MOV.
std::vector<uint32_t> Marks(uint32_t base, const Code& code) {
    const size_t first = code.starts.size() == 7 ? 1 : 0;
    return {base + code.starts[first], base + code.starts[first + 1] + 3, base + code.starts[first + 2],
            base + code.starts[first + 3], base + code.starts.back() + 4};
}

class BookmarkListRebuildTest : public PluginTest {
protected:
    // "target" at base in one build or the other, "helper" the same always.
    Code OpenProgram(uint32_t base, bool rebuilt) {
        Code code = Build(base, rebuilt);
        sim::AddModuleImage(base, 0x10000, "target", {rebuilt ? 0x5F000002u : 0x5F000001u, 0x10000, 0, false, ""},
                            {0x1000, code.relocations});
        AddBlock(base + kCode, code.bytes);
        sim::AddModuleImage(kHelper, 0x10000, "helper", {0x5F000009, 0x10000, 0, true, "helper.dll"}, {0x1000, {}});
        AddBlock(kHelper + kCode, Routine(MovEax(0x77777777)));
        ShowOtherMemory();
        EXPECT_EQ(0, Start());
        return code;
    }
    // A block outside the modules, shown in the CPU pane.
    void ShowOtherMemory() {
        AddBlock(0x600000, {0x90});
        ShowBlock(0x600000, 1);
    }
    void Choose(int command, const std::string& file) {
        sim::ChooseFile(folder_.Path(file), kJsonType);
        Action(kOriginPluginMenu, command);
    }
    std::string Exported() {
        const auto bytes = sim::ReadFileBytes(folder_.Path("list.json"));
        return bytes ? std::string(bytes->begin(), bytes->end()) : "";
    }
    void NextRun() {
        PluginTest::TearDown();
        PluginTest::SetUp();
    }
    void Rewrite(const std::string& text) {
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("list.json"), Bytes(text.begin(), text.end())));
    }

    sim::TempFolder folder_;
};

TEST_F(BookmarkListRebuildTest, AnotherBuildIsSearchedByCodePatternsAndTheSameBuildIsNot) {
    const std::vector<uint32_t> marks = Marks(kOldBase, OpenProgram(kOldBase, false));
    for (uint32_t address : marks) dll.zt_Toggle(address);
    dll.zt_Toggle(kHelper + kCode + 3);
    for (size_t i = 0; i < marks.size(); ++i) SetName(marks[i], "mark " + std::to_string(i));
    Choose(kExport, "list.json");
    std::string list = Exported();
    // The call's displacement and the relocated address are wildcards.
    EXPECT_NE(std::string::npos, list.find("\"pattern\":\"E8 ?? ?? ?? ?? B8 22 22 22 22 C3")) << list;
    EXPECT_NE(std::string::npos, list.find("90 B8 ?? ?? ?? ?? C3")) << list;
    // The first bookmark was made before its code was patched.
    const std::string recorded = "\"original_instruction\":\"PUSH EBP\"";
    ASSERT_NE(std::string::npos, list.find(recorded));
    list.replace(list.find(recorded), recorded.size(), "\"original_instruction\":\"NOP\"");
    Rewrite(list);

    NextRun();
    const std::vector<uint32_t> moved = Marks(kNewBase, OpenProgram(kNewBase, true));
    const size_t readsBefore = sim::MemoryReads().size();
    Choose(kImport, "list.json");

    EXPECT_EQ((std::vector<uint32_t>{moved[0], moved[1], moved[4], kHelper + kCode + 3}), BookmarkAddresses());
    EXPECT_EQ("mark 0", Bookmark(moved[0])->name);
    EXPECT_EQ(0, Bookmark(moved[0])->active);   // the instruction there is not the one recorded
    EXPECT_EQ(1, Bookmark(moved[1])->active);   // CALL to another address: the same instruction
    EXPECT_EQ(1, Bookmark(moved[4])->active);
    EXPECT_EQ(1, Bookmark(kHelper + kCode + 3)->active);
    EXPECT_EQ("Zentrilo: 4 bookmarks imported, 3 found in the new build of target (1 disabled, another "
              "instruction), 1 not found, 1 ambiguous!",
              LastFlash());
    // The helper, the same build, was not read whole.
    for (size_t i = readsBefore; i < sim::MemoryReads().size(); ++i) {
        const sim::MemoryRead& read = sim::MemoryReads()[i];
        EXPECT_FALSE(read.address - kHelper < 0x10000 && read.count >= 0x1000) << std::hex << read.address;
    }
}

// A list others wrote with a pattern that is not one loses that entry's
// pattern, not the file: the entry goes by its offset, as one without a
// pattern does.
TEST_F(BookmarkListRebuildTest, APatternThatIsNotACodePatternIsPassedOver) {
    OpenProgram(kNewBase, true);
    const std::string head = "{\"format\": \"zentrilo-bookmarks\", \"modules\": [{\"name\": \"target\", \"base\": 4194304, "
                             "\"timestamp\": 1593835521, \"image_size\": 65536, \"checksum\": 0}], \"bookmarks\": ["
                             "{\"address\": 6291456}, {\"address\": 4198400, \"module\": \"target\", \"module_base\": "
                             "4194304, \"offset\": 4096, ";
    for (const char* fields : {"\"pattern\": \"55 8B EC\", \"pattern_position\": 3", "\"pattern\": \"?? ??\"",
                               "\"pattern\": \"55  8B\"", "\"pattern\": \"5G\""}) {
        Rewrite(head + fields + "}, {\"address\": 4198416, \"module\": \"target\", \"module_base\": 4194304, "
                                "\"offset\": 4112}]}");
        Choose(kImport, "list.json");
        EXPECT_EQ("Zentrilo: 3 bookmarks imported, 2 from another build of target (disabled)!", LastFlash()) << fields;
        ASSERT_EQ((std::vector<uint32_t>{0x600000, kNewBase + 0x1000, kNewBase + 0x1010}), BookmarkAddresses()) << fields;
        EXPECT_EQ(0, Bookmark(kNewBase + 0x1000)->active);
        Action(kOriginPluginMenu, 1);   // Clear Bookmarks
    }
}

// A bookmark on a jump table after `jmp [eax*4+table]`, every byte of it a
// relocated address, gets no pattern: the list still imports into the next
// build, without that bookmark, whose offset is the old build's (a list
// written before patterns, which has no bookmark with one, still places such
// bookmarks by their offsets, disabled).
TEST_F(BookmarkListRebuildTest, ABookmarkWithoutFixedBytesIsWrittenWithoutAPattern) {
    Code code;
    Append(code, Routine({0x8B, 0x45, 0x08, 0xFF, 0x24, 0x85, 0, 0, 0, 0}));
    const uint32_t table = kCode + uint32_t(code.bytes.size());
    Put32(code.bytes, code.bytes.size() - 16 + 9, kOldBase + table);
    code.relocations.push_back(code.starts[0] + 9);
    for (int i = 0; i < 24; ++i) {
        code.relocations.push_back(kCode + uint32_t(code.bytes.size()));
        code.bytes.insert(code.bytes.end(), {0, 0, 0, 0});
        Put32(code.bytes, code.bytes.size() - 4, kOldBase + code.starts[0] + 4 * i);
    }
    sim::AddModuleImage(kOldBase, 0x10000, "target", {0x5F000001, 0x10000, 0, false, ""}, {0x1000, code.relocations});
    AddBlock(kOldBase + kCode, code.bytes);
    ShowOtherMemory();
    ASSERT_EQ(0, Start());
    dll.zt_Toggle(kOldBase + code.starts[0]);
    dll.zt_Toggle(kOldBase + table);
    Choose(kExport, "list.json");
    const std::string list = Exported();
    EXPECT_EQ(std::string::npos, list.find("\"pattern\":\"??")) << list;
    EXPECT_NE(std::string::npos, list.find("\"pattern\":\"55 8B EC 8B 45 08 FF 24 85 ?? ?? ?? ?? C3 CC CC\",")) << list;
    EXPECT_EQ(list.find("\"pattern\":"), list.rfind("\"pattern\":")) << list;

    NextRun();
    OpenProgram(kNewBase, true);
    Choose(kImport, "list.json");
    EXPECT_EQ("Zentrilo: 0 bookmarks imported, 1 not found, 1 without a code pattern!", LastFlash());
    EXPECT_FALSE(Bookmark(kNewBase + table).has_value());
}

// A module of another build whose code is a megabyte of zeros (a packed
// program's section before it unpacks), and a list whose thousand entries all
// hold the same pattern of zeros: searched as one, and given up once found
// twice. Then a thousand patterns that differ, each anchored on zeros and none
// found: the search stops at its budget and says so.
TEST_F(BookmarkListRebuildTest, ZeroedCodeAndAThousandPatternsImportInTime) {
    sim::AddModuleImage(kNewBase, 0x101000, "target", {0x5F000002, 0x101000, 0, false, ""}, {0x100000, {}});
    AddBlock(kNewBase + kCode, 0x100000, 0x00);
    ShowOtherMemory();
    ASSERT_EQ(0, Start());
    for (bool same : {true, false}) {
        std::string list = "{\"format\": \"zentrilo-bookmarks\", \"modules\": [{\"name\": \"target\", \"base\": 8388608, "
                           "\"timestamp\": 1593835521, \"image_size\": 1052672, \"checksum\": 0}], \"bookmarks\": [";
        for (int i = 0; i < 1000; ++i) {
            char pattern[64];
            std::snprintf(pattern, sizeof pattern, same ? "00 00 00 00 00 00 00 00" : "00 00 00 00 00 00 ?? %02X ?? %02X",
                          1 + i / 256, i % 256);
            const uint32_t offset = 0x1000 + 16 * uint32_t(i);
            list += std::string(i ? ", " : "") + "{\"address\": " + std::to_string(kNewBase + offset) +
                    ", \"module\": \"target\", \"module_base\": 8388608, \"offset\": " + std::to_string(offset) +
                    ", \"pattern\": \"" + pattern + "\", \"pattern_position\": 0, \"pattern_unique\": true}";
        }
        Rewrite(list + "]}");
        const DWORD started = GetTickCount();
        Choose(kImport, "list.json");
        EXPECT_LT(GetTickCount() - started, 5000u);
        EXPECT_EQ(same ? "Zentrilo: 0 bookmarks imported, 1000 ambiguous!"
                       : "Zentrilo: 0 bookmarks imported, 1000 not searched (time or size limit)!",
                  LastFlash());
    }
}

// Export over zeros: 10 bookmarks in 4 MB get their patterns at once (each
// step's patterns found twice are checked no more); 10 in 16 MB outrun the
// budget, and the status line counts them.
TEST_F(BookmarkListRebuildTest, ZeroedCodeExportsInTime) {
    for (const uint32_t size : {0x400000u, 0x1000000u}) {
        if (size != 0x400000) NextRun();
        sim::AddModuleImage(kNewBase, size + 0x1000, "target", {0x5F000002, size + 0x1000, 0, false, ""}, {size, {}});
        AddBlock(kNewBase + kCode, size, 0x00);
        ShowOtherMemory();
        ASSERT_EQ(0, Start());
        for (uint32_t i = 0; i < 10; ++i) dll.zt_Toggle(kNewBase + kCode + 0x1000 + i * (size / 16));
        const DWORD started = GetTickCount();
        Choose(kExport, "list.json");
        EXPECT_LT(GetTickCount() - started, 5000u);
        const std::string list = Exported();
        if (size == 0x400000) {
            EXPECT_EQ("Zentrilo: Bookmarks exported successfully!", LastFlash());
            EXPECT_NE(std::string::npos, list.find("\"pattern_unique\":false")) << list;
        } else {
            EXPECT_EQ("Zentrilo: Bookmarks exported successfully, 10 without a code pattern (time limit)!", LastFlash());
            EXPECT_EQ(std::string::npos, list.find("\"pattern\"")) << list;
        }
    }
}

// The list changes between the read that collects the patterns and the one
// that places the bookmarks: two entries trade places. Each is matched to a
// search result by what it holds, not by its number, so neither takes the
// other's place.
TEST_F(BookmarkListRebuildTest, AListChangedBetweenItsReadsGivesNoEntryAnothersPlace) {
    const std::vector<uint32_t> marks = Marks(kOldBase, OpenProgram(kOldBase, false));
    dll.zt_Toggle(marks[0]);
    dll.zt_Toggle(marks[4]);
    SetName(marks[0], "mark 0");
    SetName(marks[4], "mark 4");
    Choose(kExport, "list.json");
    const std::string list = Exported();

    NextRun();
    const std::vector<uint32_t> moved = Marks(kNewBase, OpenProgram(kNewBase, true));
    const size_t first = list.find("{\"address\"", list.find("\"bookmarks\""));
    const size_t second = list.find("{\"address\"", first + 1);
    ASSERT_NE(std::string::npos, second);
    const size_t firstEnd = list.find('}', first) + 1, secondEnd = list.find('}', second) + 1;
    const std::string swapped = list.substr(0, first) + list.substr(second, secondEnd - second) +
                                list.substr(firstEnd, second - firstEnd) + list.substr(first, firstEnd - first) +
                                list.substr(secondEnd);
    Rewrite(list);
    sim::WhenReading(kNewBase + kCode, [&] { Rewrite(swapped); });
    Choose(kImport, "list.json");
    for (const uint32_t address : BookmarkAddresses()) {
        const std::string name = Bookmark(address)->name;
        EXPECT_TRUE((address == moved[0] && name == "mark 0") || (address == moved[4] && name == "mark 4"))
            << std::hex << address << " " << name;
    }
    EXPECT_EQ("Zentrilo: 0 bookmarks imported, 2 not searched (time or size limit)!", LastFlash());
}

}  // namespace
