// Bookmarks in the project (.udd) file: the records written when the host
// saves the main module's project, and the bookmarks rebuilt from the records
// it hands back when it opens one.
#include "host/plugin_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// PUSH EBP at kLow, XOR EAX,EAX at kMiddle, RETN at kHigh, all in "target".
constexpr uint32_t kLow = 0x401000, kMiddle = 0x401004, kHigh = 0x401008;
constexpr uint32_t kForeignTag = 0x4C4D4400;

std::string Describe(const sim::BookmarkFields& f) {
    char head[96];
    std::snprintf(head, sizeof head, "%08X size %u type %u tag %08X active %u", f.address, f.size, f.type, f.tag,
                  f.active);
    return std::string(head) + " module [" + f.module + "] name [" + f.name + "] original [" + f.original + "]";
}

std::string Describe(const std::optional<sim::BookmarkFields>& f) { return f ? Describe(*f) : "no bookmark"; }

std::string Describe(const std::vector<uint8_t>& body) {
    return body.size() == sim::kBookmarkSize ? Describe(sim::ReadBookmark(body.data())) : "a body of another size";
}

std::vector<uint8_t> OldRecord(uint32_t address) {
    std::vector<uint8_t> body{0xEF, 0xBE, 0xAD, 0xDE, 0, 0, 0, 0, 0x11, 0x22};
    std::memcpy(&body[4], &address, 4);
    return body;
}

std::string Added(uint32_t address) {
    char text[64];
    std::snprintf(text, sizeof text, "Zentrilo: Bookmark added Successfully to line %08X", address);
    return text;
}

class ProjectFileTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        AddBlock(kLow, {0x55, 0x90, 0x90, 0x90, 0x33, 0xC0, 0x90, 0x90, 0xC3, 0x90, 0x90, 0x90});
        AddModule(0x400000, 0x10000, "target");
        ASSERT_EQ(0, Start());
    }

    void Add(uint32_t address) { dll.zt_Toggle(address); }

    // A change the user made in the list window, straight in the host's record.
    void Edit(uint32_t address, uint8_t active, const char* name) {
        auto* item = static_cast<uint8_t*>(HostFindSorted(&Table()->sorted, address));
        ASSERT_NE(nullptr, item);
        item[16] = active;
        std::memset(item + 26, 0, 64);
        std::strcpy(reinterpret_cast<char*>(item + 26), name);
    }

    static void ForgetLog() { sim::ResetLogWindow(); }
    static const std::vector<sim::SavedRecord>& Saved() { return sim::SavedRecords(); }
    static size_t LogSize() { return sim::LogLines().size(); }
};

TEST_F(ProjectFileTest, SaveWritesNothingWithoutBookmarksOrForAnotherModule) {
    size_t logged = LogSize();
    SaveUdd();
    EXPECT_TRUE(Saved().empty());
    EXPECT_EQ(logged, LogSize());

    Add(kLow);
    SaveUdd(0);
    EXPECT_TRUE(Saved().empty());
}

TEST_F(ProjectFileTest, SaveWritesEveryBookmarkAsItsRecordLowestAddressFirst) {
    Add(kHigh);
    Add(kLow);
    Add(kMiddle);
    ForgetLog();
    SaveUdd();

    ASSERT_EQ(3u, Saved().size());
    const uint32_t order[] = {kLow, kMiddle, kHigh};
    const char* texts[] = {"PUSH EBP", "XOR EAX,EAX", "RETN"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sim::kBookmarkTag, Saved()[i].tag);
        EXPECT_EQ(sim::kBookmarkSize, Saved()[i].size);
        std::vector<uint8_t> expected = sim::BookmarkBytes(order[i], 1, "target", "n/a", texts[i]);
        EXPECT_TRUE(expected == Saved()[i].body) << Describe(Saved()[i].body);
    }
    EXPECT_TRUE(sim::LogLines().empty());
}

TEST_F(ProjectFileTest, SaveStopsAtTheFirstRecordTheHostRefuses) {
    Add(kLow);
    Add(kMiddle);
    Add(kHigh);
    ForgetLog();
    sim::FailSaveRecord(2);
    SaveUdd();

    ASSERT_EQ(2u, Saved().size());
    EXPECT_EQ(kMiddle, sim::ReadBookmark(Saved()[1].body.data()).address);
    ASSERT_EQ(1u, LogSize());
    EXPECT_EQ(0u, sim::LogLines()[0].address);
    EXPECT_EQ(kHostLogFailure, sim::LogLines()[0].highlight);
    EXPECT_EQ("Zentrilo: Can't save bookmark at address [00401004] to UDD file", sim::LogLines()[0].text);
    EXPECT_EQ((std::vector<uint32_t>{kLow, kMiddle, kHigh}), BookmarkAddresses());
}

TEST_F(ProjectFileTest, ReopenedProjectRestoresBookmarksAsSaved) {
    Add(kLow);
    Add(kMiddle);
    Add(kHigh);
    Edit(kMiddle, 0, "loop exit");
    SaveUdd();
    std::vector<sim::SavedRecord> records = Saved();
    ASSERT_EQ(3u, records.size());

    dll.Pluginreset();
    ASSERT_TRUE(BookmarkAddresses().empty());
    sim::PatchMemory(kLow, {0xC3});
    ForgetLog();
    for (const sim::SavedRecord& record : records) EXPECT_EQ(1, DeliverRecord(record.tag, record.body));

    for (const sim::SavedRecord& record : records)
        EXPECT_EQ(Describe(record.body), Describe(Bookmark(sim::ReadBookmark(record.body.data()).address)));
    EXPECT_EQ("PUSH EBP", Bookmark(kLow)->original);
    EXPECT_EQ((std::vector<std::string>{Added(kLow), Added(kMiddle), Added(kHigh)}), LogTexts());
    EXPECT_EQ(kHostLogRoutine, sim::LogLines()[0].highlight);
    EXPECT_TRUE(Flashes().empty());
    EXPECT_EQ("Bk. (-1/02/3)", Caption(FindPanel()));
}

TEST_F(ProjectFileTest, OwnRecordForABookmarkedAddressOverwritesItsFields) {
    Add(kMiddle);
    ForgetLog();
    std::vector<uint8_t> body = sim::BookmarkBytes(kMiddle, 0, "oldmod", "counter", "MOV EAX,00000001");
    body[4] = 7;   // size and type of the stored record are not the table's business
    body[8] = 3;

    EXPECT_EQ(1, DeliverRecord(sim::kBookmarkTag, body));
    EXPECT_EQ((std::vector<uint32_t>{kMiddle}), BookmarkAddresses());
    EXPECT_EQ(Describe(sim::BookmarkFields{kMiddle, 1, 0, sim::kBookmarkTag, 0, "oldmod", "counter",
                                           "MOV EAX,00000001"}),
              Describe(Bookmark(kMiddle)));
    EXPECT_TRUE(sim::LogLines().empty());
    EXPECT_TRUE(Flashes().empty());
}

TEST_F(ProjectFileTest, OldPluginRecordsBecomePlainBookmarksOnlyWhenAsked) {
    EXPECT_EQ(0, DeliverRecord(sim::kOldBookmarkTag, OldRecord(kMiddle)));
    EXPECT_TRUE(BookmarkAddresses().empty());

    StoreSetting("load_old_bookmarks", 1);
    ForgetLog();
    EXPECT_EQ(0, DeliverRecord(sim::kOldBookmarkTag, OldRecord(kMiddle)));
    EXPECT_EQ(Describe(sim::BookmarkFields{kMiddle, 1, 0, sim::kBookmarkTag, 1, "target", "n/a", "XOR EAX,EAX"}),
              Describe(Bookmark(kMiddle)));
    EXPECT_EQ((std::vector<std::string>{Added(kMiddle)}), LogTexts());
    EXPECT_TRUE(Flashes().empty());
}

TEST_F(ProjectFileTest, RecordsOfOtherTagsOrModulesAreNotTaken) {
    StoreSetting("load_old_bookmarks", 1);
    ForgetLog();
    std::vector<uint8_t> own = sim::BookmarkBytes(kLow, 1, "target", "n/a", "PUSH EBP");

    EXPECT_EQ(0, DeliverRecord(sim::kBookmarkTag, own, 0));
    EXPECT_EQ(0, DeliverRecord(sim::kOldBookmarkTag, OldRecord(kLow), 0));
    EXPECT_EQ(0, DeliverRecord(kForeignTag, own));
    EXPECT_EQ(0, dll.Pluginuddrecord(nullptr, 1, sim::kBookmarkTag, sim::kBookmarkSize, nullptr));
    EXPECT_TRUE(BookmarkAddresses().empty());
    EXPECT_TRUE(sim::LogLines().empty());
}

// The bodies lie against a no-access page: a read past their end ends the run.
TEST_F(ProjectFileTest, ShortBodiesAreRefusedWithoutReadingPastThem) {
    StoreSetting("load_old_bookmarks", 1);
    ForgetLog();
    std::vector<uint8_t> own = sim::BookmarkBytes(kLow, 1, "target", "n/a", "PUSH EBP");
    own.pop_back();
    std::vector<uint8_t> old = OldRecord(kLow);
    old.resize(7);

    EXPECT_EQ(0, DeliverRecord(sim::kBookmarkTag, own));
    EXPECT_EQ(0, DeliverRecord(sim::kOldBookmarkTag, old));
    EXPECT_EQ(0, DeliverRecord(sim::kBookmarkTag, {}));
    EXPECT_TRUE(BookmarkAddresses().empty());
    EXPECT_TRUE(sim::LogLines().empty());
}

TEST_F(ProjectFileTest, UnterminatedStoredTextsAreCutAtTheirFields) {
    std::vector<uint8_t> body = sim::BookmarkBytes(kLow, 1, "", "", "");
    std::fill(body.begin() + 17, body.begin() + 26, 'M');
    std::fill(body.begin() + 26, body.begin() + 90, 'N');
    std::fill(body.begin() + 90, body.end(), 'O');   // up to the body's end, against the guard page

    EXPECT_EQ(1, DeliverRecord(sim::kBookmarkTag, body));
    std::optional<sim::BookmarkFields> restored = Bookmark(kLow);
    ASSERT_TRUE(restored.has_value());
    EXPECT_EQ(std::string(8, 'M'), restored->module);
    EXPECT_EQ(std::string(63, 'N'), restored->name);
    EXPECT_EQ(std::string(255, 'O'), restored->original);
}

}  // namespace
