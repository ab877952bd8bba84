// Bookmarks in the project (.udd) file: the records written when the host
// saves the main module's project, and the bookmarks rebuilt from the records
// it hands back when it opens one.
#include "host/log_dump.h"
#include "host/plugin_fixture.h"

#include <cstring>

namespace {

// PUSH EBP at kLow, XOR EAX,EAX at kMiddle, RETN at kHigh, all in "target".
constexpr uint32_t kLow = 0x401000, kMiddle = 0x401004, kHigh = 0x401008;

std::vector<uint8_t> OldRecord(uint32_t address) {
    std::vector<uint8_t> body{0xEF, 0xBE, 0xAD, 0xDE, 0, 0, 0, 0, 0x11, 0x22};
    std::memcpy(&body[4], &address, 4);
    return body;
}

std::string Added(uint32_t address) {
    return sim::LogEntry(address, -1, "Zentrilo: Bookmark added Successfully to line %08X", address);
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

    void Add(std::initializer_list<uint32_t> addresses) {
        for (uint32_t address : addresses) dll.zt_Toggle(address);
        sim::ResetLogWindow();
    }
    static const std::vector<sim::SavedRecord>& Saved() { return sim::SavedRecords(); }
};

TEST_F(ProjectFileTest, SaveWritesNothingWithoutBookmarksOrForAnotherModule) {
    sim::ResetLogWindow();
    SaveUdd();
    Add({kLow});
    SaveUdd(0);
    EXPECT_TRUE(Saved().empty());
    EXPECT_TRUE(sim::LogLines().empty());
}

TEST_F(ProjectFileTest, SaveWritesEveryBookmarkAsItsRecordLowestAddressFirst) {
    Add({kHigh, kLow, kMiddle});
    SaveUdd();
    ASSERT_EQ(3u, Saved().size());
    const std::pair<uint32_t, const char*> expected[] = {{kLow, "PUSH EBP"}, {kMiddle, "XOR EAX,EAX"}, {kHigh, "RETN"}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(sim::kBookmarkTag, Saved()[i].tag) << i;
        EXPECT_EQ(sim::BookmarkBytes(expected[i].first, 1, "target", "n/a", expected[i].second), Saved()[i].body) << i;
    }
    EXPECT_TRUE(sim::LogLines().empty());
}

TEST_F(ProjectFileTest, SaveStopsAtTheFirstRecordTheHostRefuses) {
    Add({kLow, kMiddle, kHigh});
    sim::FailSaveRecord(2);
    SaveUdd();
    ASSERT_EQ(2u, Saved().size());
    EXPECT_EQ(kMiddle, sim::ReadBookmark(Saved()[1].body.data()).address);
    EXPECT_EQ((std::vector<std::string>{"00000000 1 Zentrilo: Can't save bookmark at address [00401004] to UDD file"}),
              sim::LogDump());
    EXPECT_EQ((std::vector<uint32_t>{kLow, kMiddle, kHigh}), BookmarkAddresses());
}

TEST_F(ProjectFileTest, ReopenedProjectRestoresBookmarksAsSaved) {
    Add({kLow, kMiddle, kHigh});
    SetActive(kMiddle, 0);
    SetName(kMiddle, "loop exit");
    SaveUdd();
    std::vector<sim::SavedRecord> records = Saved();
    ASSERT_EQ(3u, records.size());

    dll.Pluginreset();
    sim::PatchMemory(kLow, {0xC3});   // the original instruction comes from the record
    sim::ResetLogWindow();
    for (const sim::SavedRecord& record : records) EXPECT_EQ(1, DeliverRecord(record.tag, record.body));

    for (const sim::SavedRecord& record : records) {
        sim::BookmarkFields saved = sim::ReadBookmark(record.body.data());
        EXPECT_EQ(saved, Bookmark(saved.address));
    }
    EXPECT_EQ((std::vector<std::string>{Added(kLow), Added(kMiddle), Added(kHigh)}), sim::LogDump());
    EXPECT_TRUE(Flashes().empty());
    EXPECT_EQ("Bk. (-1/02/3)", Caption(FindPanel()));
}

TEST_F(ProjectFileTest, OwnRecordForABookmarkedAddressOverwritesItsFields) {
    Add({kMiddle});
    std::vector<uint8_t> body = sim::BookmarkBytes(kMiddle, 0, "oldmod", "counter", "MOV EAX,00000001");
    body[4] = 7;   // size and type of the stored record are not the table's business
    body[8] = 3;

    EXPECT_EQ(1, DeliverRecord(sim::kBookmarkTag, body));
    EXPECT_EQ((std::vector<uint32_t>{kMiddle}), BookmarkAddresses());
    EXPECT_EQ(sim::Fields(kMiddle, 0, "oldmod", "counter", "MOV EAX,00000001"), Bookmark(kMiddle));
    EXPECT_TRUE(sim::LogLines().empty());
    EXPECT_TRUE(Flashes().empty());
}

TEST_F(ProjectFileTest, OldPluginRecordsBecomePlainBookmarksOnlyWhenAsked) {
    EXPECT_EQ(0, DeliverRecord(sim::kOldBookmarkTag, OldRecord(kMiddle)));
    EXPECT_TRUE(BookmarkAddresses().empty());

    StoreSetting("load_old_bookmarks", 1);
    sim::ResetLogWindow();
    EXPECT_EQ(0, DeliverRecord(sim::kOldBookmarkTag, OldRecord(kMiddle)));
    EXPECT_EQ(sim::Fields(kMiddle, 1, "target", "n/a", "XOR EAX,EAX"), Bookmark(kMiddle));
    EXPECT_EQ((std::vector<std::string>{Added(kMiddle)}), sim::LogDump());
    EXPECT_TRUE(Flashes().empty());
}

// The bodies lie against a no-access page: a read past their end ends the run.
TEST_F(ProjectFileTest, RecordsOfOtherTagsModulesOrShortBodiesAreNotTaken) {
    StoreSetting("load_old_bookmarks", 1);
    sim::ResetLogWindow();
    std::vector<uint8_t> own = sim::BookmarkBytes(kLow, 1, "target", "n/a", "PUSH EBP");
    std::vector<uint8_t> shortOwn(own.begin(), own.end() - 1), shortOld = OldRecord(kLow);
    shortOld.resize(7);

    EXPECT_EQ(0, DeliverRecord(sim::kBookmarkTag, own, 0));
    EXPECT_EQ(0, DeliverRecord(sim::kOldBookmarkTag, OldRecord(kLow), 0));
    EXPECT_EQ(0, DeliverRecord(0x4C4D4400, own));
    EXPECT_EQ(0, dll.Pluginuddrecord(nullptr, 1, sim::kBookmarkTag, sim::kBookmarkSize, nullptr));
    EXPECT_EQ(0, DeliverRecord(sim::kBookmarkTag, shortOwn));
    EXPECT_EQ(0, DeliverRecord(sim::kOldBookmarkTag, shortOld));
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
    EXPECT_EQ(sim::Fields(kLow, 1, std::string(8, 'M'), std::string(63, 'N'), std::string(255, 'O')), Bookmark(kLow));
}

}  // namespace
