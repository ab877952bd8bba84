// Code patterns made in one build of a module and searched in another: which
// bytes are wildcards, how a pattern grows until it is unique, and what an
// import finds in a rebuilt module.
#include <gtest/gtest.h>

#include <vector>

#include "code_module.h"
#include "core/code_signature.h"
#include "core/pattern_search.h"

namespace {

std::vector<zt::CodePattern> Build(const CodeModule& module, const std::vector<uint32_t>& rvas) {
    std::vector<uint32_t> addresses;
    for (uint32_t rva : rvas) addresses.push_back(module.base() + rva);
    std::vector<zt::CodePattern> patterns(addresses.size());
    EXPECT_TRUE(zt::BuildPatterns(module.View(), addresses.data(), addresses.size(), patterns.data()));
    return patterns;
}

std::vector<zt::PatternMatch> Search(const CodeModule& module, const std::vector<zt::CodePattern>& patterns) {
    std::vector<zt::PatternMatch> results(patterns.size());
    EXPECT_TRUE(zt::SearchPatterns(module.View(), patterns.data(), patterns.size(), results.data()));
    return results;
}

void PutCall(CodeModule& module, uint32_t rva, uint32_t target) {
    module.Put(rva, {0xE8});
    module.Put32(rva + 1, target - (rva + 5));
}

TEST(CodeSignature, Wildcards) {
    CodeModule module;
    module.Put(0x1000, {0xA1});  // mov eax, [data]: a relocated address
    module.Put32(0x1001, module.base() + 0x2800);
    module.Relocate(0x1001);
    PutCall(module, 0x1005, 0x1800);
    module.Put(0x100A, {0x68});  // push offset data: points into the image, not relocated
    module.Put32(0x100B, module.base() + 0x2804);
    module.Put(0x100F, {0x68, 0x44, 0x33, 0x22, 0x11, 0xC3});  // push 11223344h: a constant
    const zt::CodePattern p = Build(module, {0x1000})[0];
    EXPECT_EQ("A1 ?? ?? ?? ?? E8 ?? ?? ?? ?? 68 ?? ?? ?? ?? 68 44 33 22 11", PatternText(p));
    EXPECT_EQ(0, p.position);
    EXPECT_EQ(1, p.unique);
}

// Two runs of the same 16 bytes: forward until they part, and when they part
// only before the bookmark, backward. Once unique, one step more.
TEST(CodeSignature, GrowsUntilUnique) {
    CodeModule module;
    const std::initializer_list<uint8_t> same = {0x8B, 0x44, 0x24, 0x04, 0x8B, 0x54, 0x24, 0x08,
                                                 0x01, 0xD0, 0x8B, 0x4C, 0x24, 0x0C, 0x01, 0xC8};
    module.Put(0x1100, same);
    module.Put(0x1110, {0xB8, 0x01, 0x00, 0x00, 0x00, 0xC3});
    module.Put(0x1200, same);
    module.Put(0x1210, {0xB8, 0x02, 0x00, 0x00, 0x00, 0xC3});
    module.Put(0x1300, {0xB8, 0x01, 0x00, 0x00, 0x00});
    module.Put(0x1305, same);
    module.Put(0x1315, {0xC3});
    module.Put(0x1400, {0xB8, 0x02, 0x00, 0x00, 0x00});
    module.Put(0x1405, same);
    module.Put(0x1415, {0xC3});
    const std::vector<zt::CodePattern> patterns = Build(module, {0x1100, 0x1305});
    EXPECT_EQ(1, patterns[0].unique);
    EXPECT_EQ(0, patterns[0].position);
    EXPECT_EQ(32, patterns[0].length);
    EXPECT_EQ("01 C8 B8 01 00 00 00 C3", PatternText(patterns[0]).substr(3 * 14, 23));
    EXPECT_EQ(1, patterns[1].unique);
    EXPECT_EQ(16, patterns[1].position);
    EXPECT_EQ("B8 01 00 00 00", PatternText(patterns[1]).substr(3 * 11, 14));
    const std::vector<zt::PatternMatch> found = Search(module, patterns);
    EXPECT_EQ(module.base() + 0x1100, found[0].address);
    EXPECT_EQ(module.base() + 0x1305, found[1].address);
}

// Two routines with the same code differ only in their neighbours: their
// patterns stay inside the routine and are not unique.
TEST(CodeSignature, SameRoutineTwice) {
    CodeModule module;
    const std::initializer_list<uint8_t> routine = {0x31, 0xC0, 0xC3, 0x8D, 0xB4, 0x26, 0x00, 0x00,
                                                    0x00, 0x00, 0x8D, 0xB6, 0x00, 0x00, 0x00, 0x00};
    const std::initializer_list<uint8_t> filler = {0x8D, 0xB4, 0x26, 0x00, 0x00, 0x00, 0x00, 0x8D, 0x76, 0x00};
    module.Put(0x10F0, {0xB8, 0x03, 0x00, 0x00, 0x00, 0xC3});
    module.Put(0x10F6, filler);
    module.Put(0x1100, routine);
    module.Put(0x1110, {0xB8, 0x01, 0x00, 0x00, 0x00, 0xC3});
    module.Put(0x11F0, {0xB8, 0x04, 0x00, 0x00, 0x00, 0xC3});
    module.Put(0x11F6, filler);
    module.Put(0x1200, routine);
    module.Put(0x1210, {0xB8, 0x02, 0x00, 0x00, 0x00, 0xC3});
    const zt::CodePattern p = Build(module, {0x1100})[0];
    EXPECT_EQ(0, p.unique);
    EXPECT_EQ("31 C0 C3 8D B4 26 00 00 00 00 8D B6 00 00 00 00", PatternText(p));
    const zt::PatternMatch found = Search(module, {p})[0];
    EXPECT_EQ(zt::Placement::kAmbiguous, zt::PlacementOf(p, found));
}

// A bookmark on the padding after a routine's ret lies between two routines:
// its pattern takes the end of the one before too, so that it is not found
// in front of the routine after it when another routine now comes first.
TEST(CodeSignature, PaddingBetweenRoutines) {
    const std::initializer_list<uint8_t> next = {0x8B, 0x44, 0x24, 0x04, 0xC1, 0xE0, 0x05, 0x03, 0x05,
                                                 0x00, 0x71, 0x00, 0x00, 0xC3};
    CodeModule a(0x10000000);
    a.Put(0x1000, {0xB8, 0x01, 0x00, 0x00, 0x00, 0xC2, 0x0C, 0x00, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90});
    a.Put(0x1010, next);
    const zt::CodePattern p = Build(a, {0x100A})[0];
    EXPECT_LE(7, p.position);

    CodeModule b(0x20000000);
    b.Put(0x1000, {0x31, 0xC0, 0xC3, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90, 0x90});
    b.Put(0x1010, next);
    EXPECT_EQ(zt::Placement::kNotFound, zt::PlacementOf(p, Search(b, {p})[0]));
}

// Unreadable, outside the code, outside the module; and a jump table after
// `jmp [eax*4+table]` in a relocated module, whose every byte is a wildcard:
// a pattern with too few fixed bytes would be refused by the reader, and
// would fit anywhere.
TEST(CodeSignature, NoPattern) {
    CodeModule module;
    module.Put(0x1100, {0x55, 0x8B, 0xEC, 0xC3});
    module.Unreadable(0x1100, 1);
    module.Put(0x1209, {0xFF, 0x24, 0x85});
    module.Put32(0x120C, module.base() + 0x1210);
    module.Relocate(0x120C);
    for (uint32_t at = 0x1210; at < 0x1290; at += 4) {
        module.Put32(at, module.base() + 0x1300 + at);
        module.Relocate(at);
    }
    const std::vector<zt::CodePattern> patterns = Build(module, {0x1100, 0x2100, 0x0FFF, 0x5000, 0x1210, 0x1220});
    for (const zt::CodePattern& p : patterns) EXPECT_EQ(0, p.length) << PatternText(p);
}

// Ten bookmarks in 4 MB of zeros: every step's patterns are found twice at
// once and checked no more, so all steps fit the budget and the patterns are
// made, not unique. With a budget too small, none is made, and each is
// counted.
TEST(CodeSignature, ZerosAndTheBudget) {
    CodeModule module(0x10000000, 0x401000, {0x1000, 0x401000});
    std::vector<uint32_t> addresses;
    for (uint32_t i = 0; i < 10; ++i) addresses.push_back(module.base() + 0x2000 + i * 0x10000);
    std::vector<zt::CodePattern> patterns(addresses.size());
    zt::WorkBudget budget;
    size_t givenUp = 99;
    ASSERT_TRUE(zt::BuildPatterns(module.View(), addresses.data(), addresses.size(), patterns.data(), budget, &givenUp));
    EXPECT_EQ(0u, givenUp);
    EXPECT_GT(budget.left, zt::kSearchWork / 2);
    for (const zt::CodePattern& p : patterns) {
        EXPECT_EQ(96, p.length);
        EXPECT_EQ(0, p.unique);
    }
    zt::WorkBudget small{0x400000};
    ASSERT_TRUE(zt::BuildPatterns(module.View(), addresses.data(), addresses.size(), patterns.data(), small, &givenUp));
    EXPECT_EQ(10u, givenUp);
    for (const zt::CodePattern& p : patterns) EXPECT_EQ(0, p.length);
}

// One routine, as two builds lay it out: elsewhere in the module, at another
// base, calling a routine that moved.
void PutRoutine(CodeModule& module, uint32_t rva, uint8_t test = 0xC0) {
    module.Put(rva, {0x55, 0x8B, 0x44, 0x24, 0x08, 0xA1});
    module.Put32(rva + 6, module.base() + 0x2800 + (rva & 0xF00));
    module.Relocate(rva + 6);
    PutCall(module, rva + 10, 0x1800 + rva);
    module.Put(rva + 15, {0x85, test, 0x74, 0x05, 0xB8, 0x01, 0x00, 0x00, 0x00, 0x5D, 0xC3});
}

TEST(CodeSignature, AnotherBuild) {
    CodeModule a(0x10000000);
    PutRoutine(a, 0x1000);
    const std::vector<zt::CodePattern> patterns = Build(a, {0x1000, 0x100F});  // its 1st and 5th instructions
    ASSERT_EQ(1, patterns[0].unique);
    ASSERT_EQ(1, patterns[1].unique);

    CodeModule b(0x20000000);
    PutRoutine(b, 0x1040);
    std::vector<zt::PatternMatch> found = Search(b, patterns);
    EXPECT_EQ(zt::Placement::kFound, zt::PlacementOf(patterns[0], found[0]));
    EXPECT_EQ(b.base() + 0x1040, found[0].address);
    EXPECT_EQ(zt::Placement::kFound, zt::PlacementOf(patterns[1], found[1]));
    EXPECT_EQ(b.base() + 0x104F, found[1].address);

    PutRoutine(b, 0x1400);
    found = Search(b, patterns);
    EXPECT_EQ(zt::Placement::kAmbiguous, zt::PlacementOf(patterns[0], found[0]));
    EXPECT_EQ(2u, found[1].count);

    CodeModule changed(0x20000000);
    PutRoutine(changed, 0x1040, 0xD2);
    found = Search(changed, patterns);
    EXPECT_EQ(zt::Placement::kNotFound, zt::PlacementOf(patterns[0], found[0]));
    EXPECT_EQ(zt::Placement::kNotFound, zt::PlacementOf(patterns[1], found[1]));
}

}  // namespace
