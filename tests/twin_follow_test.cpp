// Twins that follow a neighbour: a bookmark found at several places goes
// with a placed bookmark of its routine when one of their patterns covers
// the other's old place, and its own pattern matches at the same distance.
#include <gtest/gtest.h>

#include <vector>

#include "code_module.h"
#include "core/twin_follow.h"
#include "core/twin_order.h"

namespace {

// The new build: one routine twice, at 0x1100 and 0x1200.
//   +0 mov eax,[esp+4]; +4 test eax,eax; +6 je +8; +8 mov eax,[eax]; +10 ret
CodeModule NewBuild() {
    CodeModule module;
    for (uint32_t at : {0x1100u, 0x1200u})
        module.Put(at, {0x8B, 0x44, 0x24, 0x04, 0x85, 0xC0, 0x74, 0x02, 0x8B, 0x00, 0xC3});
    return module;
}

TEST(TwinFollow, PlacedWithANeighbourOfItsRoutine) {
    // The twin: a bookmark at +6 (old 0x506) whose pattern starts at +4.
    const zt::CodePattern twin = Pattern("85 C0 74 02 8B 00 C3", 2, false);
    const zt::CodePattern entry = Pattern("8B 44 24 04 85 C0 74 02 8B 00 C3", 0);   // covers +6
    const zt::CodePattern shortEntry = Pattern("8B 44 24 04", 0);                  // +0 to +3 only
    const zt::CodePattern test = Pattern("85 C0", 0);                              // +4 and +5 only
    const zt::CodePattern load = Pattern("8B 00 C3", 0);                           // +8 to +10
    const zt::CodePattern past = Pattern("85 C0 74 02 8B 00 C3 00 00", 7);         // +4 to +12, on +11
    const struct {
        const char* what;
        std::vector<zt::FollowingMark> neighbours;
        uint32_t placed;
    } kRows[] = {
        {"the entry placed, its pattern covering the twin", {{0x500, 0x1200, &entry, 0, 0}}, 0x1206},
        {"the twin's pattern covering the neighbour", {{0x504, 0x1104, &test, 0, 0}}, 0x1106},
        {"no pattern covering the other's place", {{0x500, 0x1200, &shortEntry, 0, 0}}, zt::kUnplaced},
        {"the twin's pattern not there", {{0x500, 0x1203, &entry, 0, 0}}, zt::kUnplaced},
        {"neighbours that disagree", {{0x500, 0x1200, &entry, 0, 0}, {0x508, 0x1108, &load, 0, 0}}, zt::kUnplaced},
        {"neighbours that agree", {{0x500, 0x1200, &entry, 0, 0}, {0x508, 0x1208, &load, 0, 0}}, 0x1206},
        {"a flow end between the two", {{0x50B, 0x120B, &past, 0, 0}}, zt::kUnplaced},
        {"a neighbour not placed", {{0x500, zt::kUnplaced, &entry, 1, 0}}, zt::kUnplaced},
    };
    const CodeModule module = NewBuild();
    for (const auto& row : kRows) {
        std::vector<zt::FollowingMark> marks = {{0x506, zt::kUnplaced, &twin, 1, 0}};
        marks.insert(marks.end(), row.neighbours.begin(), row.neighbours.end());
        zt::FollowPlacedNeighbours(module.View(), marks.data(), marks.size());
        EXPECT_EQ(row.placed, marks[0].newOffset) << row.what;
        EXPECT_EQ(row.placed != zt::kUnplaced, marks[0].followed == 1) << row.what;
    }
}

}  // namespace
