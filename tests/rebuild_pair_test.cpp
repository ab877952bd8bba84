// Bookmarks carried through the plug-in from one real release of a program
// to the next: LZ4 1.7 and 1.9 (rebuilds/, built from npm's lz4 0.5.3 and
// 0.6.5), a bookmark on every function's first instruction and on the 5th of
// every function of at least 10, exported as a JSON list from build A and
// imported with build B loaded at another base. Twins (patterns found at
// several places) are placed by the order of their neighbours, by their
// callers found again, or by what their wildcards point to, where that
// decides, and only there; bookmarks in routines whose code changed, by
// aligning the routine's instructions.
#include "rebuild_round_trip.h"

#include <windows.h>

namespace {

// The pair's files, copied beside the test program by the build.
std::string Beside(const std::string& name) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1) + "rebuilds\\" + name;
}

class RebuildPairTest : public RebuildRoundTrip {
protected:
    void SetUp() override {
        RebuildRoundTrip::SetUp();
        ASSERT_TRUE(rebuild::LoadDll(Beside("lz4-0.5.3.dll"), 0x10000000, &a_) &&
                    rebuild::LoadSymbols(Beside("lz4-0.5.3.symbols"), &a_));
        ASSERT_TRUE(rebuild::LoadDll(Beside("lz4-0.6.5.dll"), 0x23450000, &b_) &&
                    rebuild::LoadSymbols(Beside("lz4-0.6.5.symbols"), &b_));
        marks_ = rebuild::ChooseBookmarks(a_);
    }

    // Each bookmark landed where the core's own answer says, and the status
    // line counts every one that did not.
    void ExpectAsTheCore(const Carried& carried, const std::vector<rebuild::Outcome>& direct) {
        size_t found = 0, notFound = 0, ambiguous = 0;
        for (size_t i = 0; i < marks_.size(); ++i) {
            found += direct[i].kind == rebuild::Outcome::kPlaced;
            notFound += direct[i].kind == rebuild::Outcome::kNotFound;
            ambiguous += direct[i].kind == rebuild::Outcome::kAmbiguous;
            // Where each was placed; 0 when it was not.
            const rebuild::Outcome &core = direct[i], &plugin = carried.outcomes[i];
            EXPECT_EQ(core.kind == rebuild::Outcome::kPlaced ? core.address : 0,
                      plugin.kind == rebuild::Outcome::kPlaced ? plugin.address : 0)
                << a_.functions[marks_[i].function].name << (marks_[i].fifth ? ", 5th instruction" : "");
        }
        EXPECT_GE(ambiguous, 2u);   // twins that nothing decides (4 now), left unplaced and counted
        // Those whose instruction is not the one recorded arrive disabled.
        const size_t disabled = found - carried.placedActive;
        EXPECT_EQ("Zentrilo: " + std::to_string(found) + " bookmarks imported, " + std::to_string(found) +
                      " found in the new build of lz4" +
                      (disabled ? " (" + std::to_string(disabled) + " disabled, another instruction)" : "") + ", " +
                      std::to_string(notFound) + " not found, " + std::to_string(ambiguous) + " ambiguous!",
                  carried.status);
    }

    rebuild::Build a_, b_;
    std::vector<rebuild::Bookmark> marks_;
};

TEST_F(RebuildPairTest, BookmarksOfOneReleaseFindTheirInstructionsInTheNext) {
    const Carried carried = Carry(a_, b_, marks_, "lz4", false);
    rebuild::Score first, fifth, all;
    const std::vector<rebuild::Verdict> verdicts =
        rebuild::ScoreBookmarks(a_, b_, marks_, carried.outcomes, &first, &fifth);
    all.Add(first);
    all.Add(fifth);
    EXPECT_EQ(0u, all.wrong);
    EXPECT_EQ(0u, carried.placedWithoutPattern);
    // 127 of 127 now: routines with the same code as others that no export,
    // neighbour, caller or pointer target decides would be the rest.
    EXPECT_GE(all.unchanged, 100u);
    EXPECT_GE(all.unchangedCorrect * 10, all.unchanged * 9) << all.unchangedCorrect << " of " << all.unchanged;

    // Twins placed by the order of their neighbours (12 now), by their
    // callers (4 now: the C runtime's import stubs) and by what their
    // wildcards point to (13 now: import stubs among them), each where it
    // belongs.
    std::vector<bool> byOrder, byCallers, byTargets, byAlignment, byExport;
    const std::vector<rebuild::Outcome> direct = rebuild::PlaceTwinsDirectly(
        a_, b_, marks_, &byOrder, &byCallers, &byTargets, nullptr, &byAlignment, &byExport);
    size_t placedByOrder = 0, correctByOrder = 0, placedByCallers = 0, correctByCallers = 0;
    size_t placedByTargets = 0, correctByTargets = 0, placedByAlignment = 0, correctByAlignment = 0;
    size_t placedByExport = 0, correctByExport = 0;
    for (size_t i = 0; i < marks_.size(); ++i) {
        const bool placed = carried.outcomes[i].kind == rebuild::Outcome::kPlaced;
        const bool correct = placed && verdicts[i].kind == rebuild::Verdict::kCorrect;
        placedByExport += byExport[i] && placed;
        correctByExport += byExport[i] && correct;
        placedByOrder += byOrder[i] && placed;
        correctByOrder += byOrder[i] && correct;
        placedByCallers += byCallers[i] && placed;
        correctByCallers += byCallers[i] && correct;
        placedByTargets += byTargets[i] && placed;
        correctByTargets += byTargets[i] && correct;
        placedByAlignment += byAlignment[i] && placed;
        correctByAlignment += byAlignment[i] && correct;
    }
    // Exported routines not found once by their patterns, placed by their
    // names (82 now: changed routines among them), each where it belongs.
    EXPECT_GE(placedByExport, 50u);
    EXPECT_EQ(placedByExport, correctByExport);
    EXPECT_GE(placedByOrder, 10u);
    EXPECT_EQ(placedByOrder, correctByOrder);
    EXPECT_GE(placedByCallers, 3u);
    EXPECT_EQ(placedByCallers, correctByCallers);
    EXPECT_GE(placedByTargets, 8u);
    EXPECT_EQ(placedByTargets, correctByTargets);
    // Bookmarks in changed routines placed by alignment (7 now), each
    // where its instruction lines up (a stack offset or a field's offset
    // may differ: such a one arrives disabled).
    EXPECT_GE(placedByAlignment, 5u);
    EXPECT_EQ(placedByAlignment, correctByAlignment);
    ExpectAsTheCore(carried, direct);
}

// A list written before the places and callers of twins and the keys of
// routines were recorded places no twin by either and aligns no routine: it
// imports as it always did, by its patterns alone.
TEST_F(RebuildPairTest, AListWithoutThePlacesOfTwinsImportsByItsPatternsAlone) {
    size_t removed = 0;
    const Carried carried = Carry(a_, b_, marks_, "lz4", false, [&](const std::string& list) {
        std::string older = list;
        for (const char* field : {",\"pattern_places\":", ",\"caller_patterns\":", ",\"caller_positions\":",
                                  ",\"pointer_targets\":"})
            for (size_t at; (at = older.find(field)) != std::string::npos; ++removed)
                older.erase(at, older.find(']', at) + 1 - at);
        for (size_t at; (at = older.find(",\"align_keys\":")) != std::string::npos; ++removed)
            older.erase(at, older.find('"', at + 15) + 1 - at);
        for (size_t at; (at = older.find(",\"export_names\":")) != std::string::npos; ++removed)
            older.erase(at, older.find('}', at) - at);
        const size_t recorded = older.find(",\n  \"pattern_places_recorded\": true");
        if (recorded != std::string::npos) older.erase(recorded, older.find('\n', recorded + 2) - recorded);
        EXPECT_NE(std::string::npos, recorded);
        return older;
    });
    EXPECT_GE(removed, 200u);
    ExpectAsTheCore(carried, rebuild::SearchDirectly(a_, b_, marks_));
}

}  // namespace
