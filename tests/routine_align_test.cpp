// Changed routines: a bookmark is placed by aligning its routine's
// instructions only inside a run of matching instructions long enough not to
// be chance, that occurs once in the region searched; its routine's first
// instruction goes to the first instruction of the routine that holds the
// run, when that start is certain.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "code_module.h"
#include "core/routine_align.h"

namespace {

using Instruction = std::vector<uint8_t>;

// A routine of 20 instructions of distinct forms: a prologue, a body, an
// epilogue.
std::vector<Instruction> Routine() {
    return {{0x55},                    // push ebp
            {0x57},                    // push edi
            {0x56},                    // push esi
            {0x53},                    // push ebx
            {0x83, 0xEC, 0x1C},        // sub esp,1C
            {0x8B, 0x44, 0x24, 0x30},  // mov eax,[esp+30]
            {0x8B, 0x54, 0x24, 0x34},  // mov edx,[esp+34]
            {0x8B, 0x08},              // mov ecx,[eax]
            {0x39, 0x48, 0x04},        // cmp [eax+4],ecx
            {0x01, 0xD0},              // add eax,edx
            {0x0F, 0xAF, 0xC2},        // imul eax,edx
            {0x8D, 0x04, 0x12},        // lea eax,[edx+edx]
            {0x31, 0xC9},              // xor ecx,ecx
            {0x89, 0x10},              // mov [eax],edx
            {0x83, 0xC4, 0x1C},        // add esp,1C
            {0x5B},                    // pop ebx
            {0x5E},                    // pop esi
            {0x5F},                    // pop edi
            {0x5D},                    // pop ebp
            {0xC3}};                   // ret
}

// Lays the instructions out from rva, then nops up to a 16-byte boundary;
// returns each one's address and moves rva past the filler.
std::vector<uint32_t> Lay(CodeModule& module, uint32_t& rva, const std::vector<Instruction>& code) {
    std::vector<uint32_t> at;
    for (const Instruction& instruction : code) {
        at.push_back(module.base() + rva);
        for (uint8_t byte : instruction) module.Put(rva++, {byte});
    }
    while (rva % 16) module.Put(rva++, {0x90});
    return at;
}

// Another routine before it, so that where it starts is certain.
const std::vector<Instruction> kBefore = {{0x31, 0xC0}, {0xC3}};   // xor eax,eax; ret

// The old build: the routine at 0x1010. The new one: the routines of
// `layout` from 0x1000 on (the one of index `which` is where the bookmark
// belongs), searched from 0x1000 to their end.
struct Pair {
    CodeModule old, now;
    std::vector<uint32_t> oldAt;
    std::vector<std::vector<uint32_t>> newAt;
    uint32_t end = 0;
};

void Build(Pair& pair, const std::vector<std::vector<Instruction>>& layout) {
    uint32_t rva = 0x1000;
    Lay(pair.old, rva, kBefore);
    pair.oldAt = Lay(pair.old, rva, Routine());
    rva = 0x1000;
    for (const std::vector<Instruction>& routine : layout) pair.newAt.push_back(Lay(pair.now, rva, routine));
    pair.end = pair.now.base() + rva;
}

uint32_t Align(const Pair& pair, uint32_t oldAddress) {
    zt::AlignKeys keys;
    zt::MakeAlignKeys(pair.old.View(), oldAddress, &keys);
    EXPECT_NE(0, keys.count);
    zt::WorkBudget budget;
    return zt::AlignInRegion(pair.now.View(), keys, pair.now.base() + 0x1000, pair.end, budget);
}

// The bookmark on the 7th instruction; the new routine's stack frame is
// larger (other displacements and immediates: the same forms) and some
// instructions took another form.
TEST(RoutineAlign, PlacedOnlyInsideALongEnoughRun) {
    const struct {
        const char* what;
        std::set<size_t> changed;   // instructions of another form in the new build
        bool placed;
    } kRows[] = {
        {"unchanged forms", {}, true},
        {"a run of 8 around it", {0, 9}, true},
        {"a run of 7 around it", {1, 9}, false},
        {"a run of 6 around it", {2, 9}, false},
        {"its own instruction changed", {6}, false},
    };
    for (const auto& row : kRows) {
        std::vector<Instruction> routine = Routine();
        routine[4] = {0x83, 0xEC, 0x2C};
        routine[5] = {0x8B, 0x44, 0x24, 0x40};
        for (size_t i : row.changed) routine[i] = {0x8B, 0xD9};   // mov ebx,ecx
        Pair pair;
        Build(pair, {kBefore, routine});
        EXPECT_EQ(row.placed ? pair.newAt[1][6] : 0u, Align(pair, pair.oldAt[6])) << row.what;
    }
}

// Twins and repeated code decide nothing: a run that occurs twice in the
// region places nothing, nor one that occurs twice among the old keys.
TEST(RoutineAlign, ARunFoundTwiceIsNotPlaced) {
    Pair twice;
    Build(twice, {kBefore, Routine(), kBefore, Routine()});
    EXPECT_EQ(0u, Align(twice, twice.oldAt[6]));
    Pair once;
    Build(once, {kBefore, Routine(), kBefore});
    EXPECT_EQ(once.newAt[1][6], Align(once, once.oldAt[6]));
}

// A routine's first instruction goes to the start of the routine that holds
// the run of its first instructions: a new check of an argument before them
// moves the run, not the entry. Too much new code before it, or a flow end
// between the start and the run, and the start is not certain.
TEST(RoutineAlign, AnEntryGoesToItsRoutinesStart) {
    const Instruction test = {0x85, 0xC0}, je = {0x74, 0x02}, ret = {0xC3};
    const struct {
        const char* what;
        std::vector<Instruction> prefix;
        bool placed;
    } kRows[] = {
        {"unchanged", {}, true},
        {"a check before it", {test, je}, true},
        {"four instructions before it", {test, je, test, je}, true},
        {"five instructions before it", {test, je, test, je, test}, false},
        {"a return before it", {test, ret}, false},
    };
    for (const auto& row : kRows) {
        std::vector<Instruction> routine = row.prefix;
        for (const Instruction& instruction : Routine()) routine.push_back(instruction);
        Pair pair;
        Build(pair, {kBefore, routine});
        EXPECT_EQ(row.placed ? pair.newAt[1][0] : 0u, Align(pair, pair.oldAt[0])) << row.what;
    }
}

// A placed neighbour of its routine that the keys reach places a bookmark
// whose run is too short, when the instructions from the one to the other
// have the recorded forms: the 5th, after its routine's placed entry.
TEST(RoutineAlign, PlacedBesideANeighbourOfItsRoutine) {
    const struct {
        const char* what;
        std::set<size_t> changed;   // instructions of another form in the new build
        bool entryPlaced;
        bool placed;
    } kRows[] = {
        {"the same forms from the entry", {6, 9, 12}, true, true},
        {"a form between them changed", {2, 9, 12}, true, false},
        {"its own form changed", {4, 9, 12}, true, false},
        {"the entry not placed", {6, 9, 12}, false, false},
    };
    for (const auto& row : kRows) {
        std::vector<Instruction> routine = Routine();
        for (size_t i : row.changed) routine[i] = {0x8B, 0xD9};   // mov ebx,ecx
        Pair pair;
        Build(pair, {kBefore, routine});
        zt::AlignKeys keys;
        zt::MakeAlignKeys(pair.old.View(), pair.oldAt[4], &keys);
        const uint32_t oldBase = pair.old.base(), newBase = pair.now.base();
        std::vector<zt::AlignMark> marks = {
            {pair.oldAt[0] - oldBase, row.entryPlaced ? pair.newAt[1][0] - newBase : zt::kAlignUnplaced, nullptr, 0},
            {pair.oldAt[4] - oldBase, zt::kAlignUnplaced, &keys, 0}};
        zt::WorkBudget budget;
        zt::PlaceByAlignment(pair.now.View(), marks.data(), marks.size(), budget);
        EXPECT_EQ(row.placed ? pair.newAt[1][4] - newBase : zt::kAlignUnplaced, marks[1].newOffset) << row.what;
    }
}

// The keys' text form, and what a list may hold there instead.
TEST(RoutineAlign, KeysText) {
    zt::AlignKeys keys;
    ASSERT_TRUE(zt::ParseAlignKeys("00f|1A2", &keys));
    EXPECT_EQ(2, keys.count);
    EXPECT_EQ(1, keys.index);
    char text[zt::kAlignTextMax];
    zt::FormatAlignKeys(keys, text);
    EXPECT_STREQ("00F|1A2", text);
    ASSERT_TRUE(zt::ParseAlignKeys("|001002", &keys));
    EXPECT_EQ(0, keys.index);
    const char* const kBad[] = {
        "", "|", "00F1A2",                       // no keys, or no bookmark among them
        "00F|1A", "0|0F1A2", "00F|1A2|003",      // not three digits a key, two bars
        "00G|1A2", "00F| 1A2", "00F|",           // not hex, nothing from the bookmark on
        "001002003004005006007008009|010",       // more keys before it than are recorded
        "|001002003004005006007008009010011012013",   // more from it on
    };
    for (const char* bad : kBad) {
        EXPECT_FALSE(zt::ParseAlignKeys(bad, &keys)) << bad;
        EXPECT_EQ(0, keys.count) << bad;
    }
}

}  // namespace
