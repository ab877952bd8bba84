// Export... writes every bookmark to an exchange file, its address relative
// to the block the CPU pane shows, and says whether that worked.
#include "host/exchange_bytes.h"
#include "host/file_failure.h"
#include "host/plugin_fixture.h"
#include "host/temp_folder.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

constexpr int kExport = 3;
// PUSH EBP at kCode, XOR EAX,EAX at kCode + 3, in the module "target".
constexpr uint32_t kCode = 0x401000;
const char kExported[] = "Zentrilo: Bookmarks exported successfully!";
const char kNothingExported[] = "[ERROR]: Nothing exported!";

// Bytes given literally: a zero-filled file with these pieces in place.
struct Piece {
    size_t at;
    std::string bytes;
};
template <size_t N>
Piece At(size_t at, const char (&bytes)[N]) {
    return {at, std::string(bytes, N - 1)};
}
std::vector<uint8_t> Golden(size_t size, const std::vector<Piece>& pieces) {
    std::vector<uint8_t> bytes(size, 0);
    for (const Piece& piece : pieces) std::memcpy(&bytes[piece.at], piece.bytes.data(), piece.bytes.size());
    return bytes;
}

class ExchangeExportTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        AddModule(0x400000, 0x10000, "target");
        AddBlock(kCode, {0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3, 0x90, 0x90});
        ShowBlock(kCode, 0x1000);
        ASSERT_EQ(0, Start());
    }

    std::string Export(const std::string& name = "out.dat") { return ExportTo(folder_.Path(name)); }
    std::string ExportTo(const std::string& path) {
        sim::ChooseFile(path);
        Action(kOriginPluginMenu, kExport);
        return path;
    }
    std::vector<uint8_t> Exported(const std::string& name = "out.dat") { return FileBytes(Export(name)); }
    static std::vector<uint8_t> FileBytes(const std::string& path) {
        return sim::ReadFileBytes(path).value_or(std::vector<uint8_t>{'?'});
    }

    // Bookmarks made from the CPU pane, their messages forgotten.
    void Add(std::initializer_list<uint32_t> addresses) {
        for (uint32_t address : addresses) dll.zt_Toggle(address);
        sim::ResetLogWindow();
    }

    sim::TempFolder folder_;
};

TEST_F(ExchangeExportTest, WritesEachBookmarkAsARecordWithItsComment) {
    Add({kCode + 3, kCode});
    SetName(kCode, "a long name that is replaced");
    SetName(kCode, "entry");
    SetActive(kCode + 3, 0);
    sim::SetName(kCode, kHostNameComment, "where it starts, a long comment");
    sim::SetName(kCode + 3, kHostNameComment, "x");

    EXPECT_EQ(Golden(2 * 602, {At(0, "\0\0\0\0" "\x01\0\0\0" "\0\0\0\0" "\x0A\x44\x4D\x4C" "\x01" "target"),
                               At(26, "entry"),
                               At(90, "PUSH EBP"),
                               At(346, "where it starts, a long comment"),
                               At(602, "\x03\0\0\0" "\x01\0\0\0" "\0\0\0\0" "\x0A\x44\x4D\x4C" "\0" "target"),
                               At(602 + 26, "n/a"),
                               At(602 + 90, "XOR EAX,EAX"),
                               At(602 + 346, "x")}),
              Exported());
    EXPECT_EQ((std::vector<std::string>{kExported}), Flashes());
}

TEST_F(ExchangeExportTest, PlaceholdersAreWrittenAsUnnamedAndLowerAddressesWrapAround) {
    Add({0x400FF0, kCode, kCode + 3, kCode + 5});
    SetName(kCode, "Auto Warning: Module name Changed!");
    HostDeleteSorted(&Table()->sorted, kCode + 5);   // listed, but its record is gone

    std::vector<sim::ExchangeFields> records = sim::SplitExchangeFile(Exported());
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(sim::Fields(0xFFFFFFF0, 1, "target", "n/a", ""), records[0].bookmark);
    EXPECT_EQ(sim::Fields(0, 1, "target", "n/a", "PUSH EBP"), records[1].bookmark);
    EXPECT_EQ(sim::Fields(3, 1, "target", "n/a", "XOR EAX,EAX"), records[2].bookmark);
    EXPECT_EQ(kExported, LastFlash());
}

TEST_F(ExchangeExportTest, EmptyExportTruncatesTheFile) {
    ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("out.dat"), std::vector<uint8_t>(1000, 0x41)));
    EXPECT_EQ(std::vector<uint8_t>{}, Exported());
    EXPECT_EQ((std::vector<std::string>{kExported}), Flashes());
}

TEST_F(ExchangeExportTest, FailureAnywhereExportsNothingAndKeepsTheOldFile) {
    Add({kCode, kCode + 3, kCode + 5});
    const std::vector<uint8_t> old(1000, 0x41);
    const struct {
        const char* what;
        std::function<void()> fail;
    } cases[] = {
        {"second write", [] { sim::FailFileWrite(2); }},
        {"first write", [] { sim::FailFileWrite(1); }},
        // The writes only fill the buffer; the flush is when they reach the disk.
        {"flush", [] { sim::FailFileFlush(); }},
        {"close", [] { sim::FailFileClose(); }},
    };
    for (const auto& failure : cases) {
        SCOPED_TRACE(failure.what);
        ASSERT_TRUE(sim::WriteFileBytes(folder_.Path("out.dat"), old));
        failure.fail();
        Export();
        EXPECT_EQ(kNothingExported, LastFlash());
        EXPECT_EQ(old, FileBytes(folder_.Path("out.dat")));
        EXPECT_EQ(std::vector<std::string>{"out.dat"}, folder_.Names());
    }
    EXPECT_EQ(kExported, (Export(), LastFlash()));
    EXPECT_EQ(3u, sim::SplitExchangeFile(FileBytes(folder_.Path("out.dat"))).size());
    EXPECT_EQ(std::vector<std::string>{"out.dat"}, folder_.Names());
}

TEST_F(ExchangeExportTest, NothingIsExportedWhereTheFileCannotBeMadeOrReplaced) {
    Add({kCode});
    ASSERT_TRUE(CreateDirectoryA(folder_.Path("a folder.dat").c_str(), nullptr));
    Export("missing folder\\out.dat");
    Export("a folder.dat");
    EXPECT_EQ(std::vector<std::string>(2, kNothingExported), Flashes());
    EXPECT_EQ(std::vector<std::string>{"a folder.dat"}, folder_.Names());
}

// A real full disk: a small file system that run-under-wine.sh mounts when the
// tests run as root. The runtime's fclose reports success there although its
// last flush failed.
TEST_F(ExchangeExportTest, ExportToAFullDiskExportsNothingAndKeepsTheOldFile) {
    const char* disk = std::getenv("ZENTRILO_FULL_DISK");
    if (!disk) GTEST_SKIP() << "no small file system to fill: run-under-wine.sh mounts one as root only";
    sim::TempFolder full(disk);
    const std::vector<uint8_t> old(10 * 602, 0x41);
    ASSERT_TRUE(sim::WriteFileBytes(full.Path("old.dat"), old));
    ASSERT_TRUE(sim::FillDisk(full.Path("filler")));

    Add({kCode, kCode + 3, kCode + 5});   // less than the runtime's buffer: only closing writes them
    EXPECT_EQ(kNothingExported, (ExportTo(full.Path("new.dat")), LastFlash()));
    Add({kCode + 1, kCode + 2, kCode + 4, kCode + 6, kCode + 7, 0x401010, 0x401020});
    EXPECT_EQ(kNothingExported, (ExportTo(full.Path("old.dat")), LastFlash()));
    EXPECT_EQ(old, FileBytes(full.Path("old.dat")));
    EXPECT_EQ((std::vector<std::string>{"filler", "old.dat"}), full.Names());
}

}  // namespace
