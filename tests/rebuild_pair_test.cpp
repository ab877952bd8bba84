// Bookmarks carried through the plug-in from one real release of a program
// to the next: LZ4 1.7 and 1.9 (rebuilds/, built from npm's lz4 0.5.3 and
// 0.6.5), a bookmark on every function's first instruction and on the 5th of
// every function of at least 10, exported as a JSON list from build A and
// imported with build B loaded at another base.
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

class RebuildPairTest : public RebuildRoundTrip {};

TEST_F(RebuildPairTest, BookmarksOfOneReleaseFindTheirInstructionsInTheNext) {
    rebuild::Build a, b;
    ASSERT_TRUE(rebuild::LoadDll(Beside("lz4-0.5.3.dll"), 0x10000000, &a) &&
                rebuild::LoadSymbols(Beside("lz4-0.5.3.symbols"), &a));
    ASSERT_TRUE(rebuild::LoadDll(Beside("lz4-0.6.5.dll"), 0x23450000, &b) &&
                rebuild::LoadSymbols(Beside("lz4-0.6.5.symbols"), &b));
    const std::vector<rebuild::Bookmark> marks = rebuild::ChooseBookmarks(a);
    const Carried carried = Carry(a, b, marks, "lz4", false);

    rebuild::Score first, fifth, all;
    rebuild::ScoreBookmarks(a, b, marks, carried.outcomes, &first, &fifth);
    all.Add(first);
    all.Add(fifth);
    EXPECT_EQ(0u, all.wrong);
    EXPECT_EQ(0u, carried.placedWithoutPattern);
    // 85 of 127 now: the rest are routines with the same code as others (the
    // C runtime's import stubs among them) and the first bytes changed.
    EXPECT_GE(all.unchanged, 100u);
    EXPECT_GE(all.unchangedCorrect * 10, all.unchanged * 6) << all.unchangedCorrect << " of " << all.unchanged;

    // Each bookmark lands where the core's own search of its pattern says,
    // and the status line counts every one that did not.
    const std::vector<rebuild::Outcome> direct = rebuild::SearchDirectly(a, b, marks);
    size_t found = 0, notFound = 0, ambiguous = 0;
    for (size_t i = 0; i < marks.size(); ++i) {
        found += direct[i].kind == rebuild::Outcome::kPlaced;
        notFound += direct[i].kind == rebuild::Outcome::kNotFound;
        ambiguous += direct[i].kind == rebuild::Outcome::kAmbiguous;
        // Where each was placed; 0 when it was not.
        const rebuild::Outcome &core = direct[i], &plugin = carried.outcomes[i];
        EXPECT_EQ(core.kind == rebuild::Outcome::kPlaced ? core.address : 0,
                  plugin.kind == rebuild::Outcome::kPlaced ? plugin.address : 0)
            << a.functions[marks[i].function].name << (marks[i].fifth ? ", 5th instruction" : "");
    }
    EXPECT_EQ("Zentrilo: " + std::to_string(found) + " bookmarks imported, " + std::to_string(found) +
                  " found in the new build of lz4, " + std::to_string(notFound) + " not found, " +
                  std::to_string(ambiguous) + " ambiguous!",
              carried.status);
}

}  // namespace
