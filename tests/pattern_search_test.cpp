// The one-pass search of many code patterns in a module's code, and what an
// import makes of what it found.
#include <gtest/gtest.h>

#include <vector>

#include "code_module.h"
#include "core/pattern_search.h"

namespace {

std::vector<zt::PatternMatch> Search(const CodeModule& module, const std::vector<zt::CodePattern>& patterns) {
    std::vector<zt::PatternMatch> results(patterns.size());
    EXPECT_TRUE(zt::SearchPatterns(module.View(), patterns.data(), patterns.size(), results.data()));
    return results;
}

TEST(PatternSearch, OnceNoneTwice) {
    CodeModule module;
    module.Put(0x1100, {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10, 0xE8, 0x11, 0x22, 0x33, 0x44, 0xC3});
    module.Put(0x1180, {0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x20, 0xE8, 0x55, 0x66, 0x77, 0x88, 0xC3});
    const std::vector<zt::CodePattern> patterns = {
        Pattern("8B EC 83 EC 10 E8 ?? ?? ?? ?? C3", 5),
        Pattern("DE AD BE EF 01 02"),
        Pattern("55 8B EC 83 EC ?? E8", 1),
        Pattern("55 ?? EC ?? EC 20 E8 ?? 66 ?? 88", 5),  // no run of four fixed bytes
        Pattern("?? C3"),                                // too few fixed bytes: not searched
        zt::CodePattern{},
    };
    const std::vector<zt::PatternMatch> found = Search(module, patterns);
    EXPECT_EQ(1u, found[0].count);
    EXPECT_EQ(module.base() + 0x1106, found[0].address);
    EXPECT_EQ(0u, found[1].count);
    EXPECT_EQ(2u, found[2].count);
    EXPECT_EQ(module.base() + 0x1101, found[2].address);
    EXPECT_EQ(1u, found[3].count);
    EXPECT_EQ(module.base() + 0x1185, found[3].address);
    EXPECT_EQ(1, found[4].givenUp);
    EXPECT_EQ(zt::Placement::kNotSearched, zt::PlacementOf(patterns[4], found[4]));
    EXPECT_EQ(0u, found[5].count);
    EXPECT_EQ(0, found[5].givenUp);
}

// Many patterns on one anchor, and repeats of one pattern, each counted for itself.
TEST(PatternSearch, SharedAnchors) {
    CodeModule module;
    for (uint32_t at = 0x1000; at < 0x1400; at += 0x40) module.Put(at, {0x8B, 0x44, 0x24, 0x04, 0x01, 0xD0, 0xC3});
    module.Put(0x1400, {0x8B, 0x44, 0x24, 0x04, 0x29, 0xD0, 0xC3});
    std::vector<zt::CodePattern> patterns(50, Pattern("8B 44 24 04 29 D0"));
    patterns.push_back(Pattern("8B 44 24 04 01 D0"));
    const std::vector<zt::PatternMatch> found = Search(module, patterns);
    for (size_t i = 0; i < 50; ++i) EXPECT_EQ(1u, found[i].count);
    EXPECT_EQ(module.base() + 0x1400, found[49].address);
    EXPECT_EQ(16u, found[50].count);
}

// A match lies wholly in the code, and its fixed bytes were all read.
TEST(PatternSearch, CodeEndsAndUnreadableBytes) {
    CodeModule module(0x10000000, 0x3000, {0x1000, 0x1800});
    module.Put(0x17FA, {0x11, 0x22, 0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x02});
    module.Put(0x1200, {0xB8, 0x01, 0x02, 0x03, 0x04, 0xC3, 0x90});
    module.Put(0x1300, {0xB8, 0x01, 0x02, 0x03, 0x04, 0xC3, 0x90});
    module.Unreadable(0x1305, 1);
    module.Put(0x2000, {0xB8, 0x01, 0x02, 0x03, 0x04, 0xC3, 0x90});  // data, not code
    const std::vector<zt::PatternMatch> found =
        Search(module, {Pattern("11 22 DE AD BE EF ?? 02"), Pattern("11 22 DE AD BE EF"), Pattern("B8 01 02 03 04 C3"),
                        Pattern("B8 01 02 03 04 00"), Pattern("B8 01 02 03 04 ?? 90")});
    EXPECT_EQ(0u, found[0].count);
    EXPECT_EQ(1u, found[1].count);
    EXPECT_EQ(1u, found[2].count);
    EXPECT_EQ(module.base() + 0x1200, found[2].address);
    EXPECT_EQ(0u, found[3].count);  // the unreadable byte reads as 0
    EXPECT_EQ(2u, found[4].count);
}

// What a packed program's section holds before it is unpacked: a megabyte of
// zeros. A thousand copies of one pattern there are searched as one, and once
// found twice it is checked no more; the work stays near one look at each
// position.
TEST(PatternSearch, RepeatedPatternsInZerosCostOnePass) {
    CodeModule module(0x10000000, 0x101000, {0x1000, 0x101000});
    const zt::CodePattern zeros = Pattern("00 00 00 00 00 00 00 00", 2);
    const std::vector<zt::CodePattern> patterns(1000, zeros);
    std::vector<const zt::CodePattern*> each;
    for (const zt::CodePattern& p : patterns) each.push_back(&p);
    std::vector<zt::PatternMatch> found(patterns.size());
    zt::WorkBudget budget;
    ASSERT_TRUE(zt::SearchPatterns(module.View(), each.data(), each.size(), found.data(), budget));
    for (const zt::PatternMatch& match : found) EXPECT_EQ(zt::Placement::kAmbiguous, zt::PlacementOf(zeros, match));
    EXPECT_EQ(module.base() + 0x1002, found[999].address);
    EXPECT_GT(budget.left, zt::kSearchWork - 3 * 0x100000);
}

// Patterns that differ, all anchored on zeros and none there: the budget
// stops the search, and what it had not settled is not searched. A pattern
// found twice before that stays ambiguous.
TEST(PatternSearch, TheBudgetStopsTheSearch) {
    CodeModule module(0x10000000, 0x101000, {0x1000, 0x101000});
    module.Put(0x1000, {0x55, 0x8B, 0xEC, 0x5D, 0xC3, 0x55, 0x8B, 0xEC, 0x5D, 0xC3, 0x55, 0x8B});
    std::vector<zt::CodePattern> patterns(1000, Pattern("00 00 00 00 00 00 ?? 11 ?? 22"));
    for (size_t i = 0; i < patterns.size(); ++i) {
        patterns[i].bytes[7] = uint8_t(1 + i / 256);
        patterns[i].bytes[9] = uint8_t(i);
    }
    patterns.push_back(Pattern("8B EC 5D C3 55 8B"));
    std::vector<const zt::CodePattern*> each;
    for (const zt::CodePattern& p : patterns) each.push_back(&p);
    std::vector<zt::PatternMatch> found(patterns.size());
    zt::WorkBudget budget{5000000};
    ASSERT_TRUE(zt::SearchPatterns(module.View(), each.data(), each.size(), found.data(), budget));
    EXPECT_EQ(0u, budget.left);
    for (size_t i = 0; i < 1000; ++i) EXPECT_EQ(zt::Placement::kNotSearched, zt::PlacementOf(patterns[i], found[i]));
    EXPECT_EQ(zt::Placement::kAmbiguous, zt::PlacementOf(patterns[1000], found[1000]));
}

TEST(PatternSearch, Placement) {
    const zt::CodePattern unique = Pattern("55 8B EC"), notUnique = Pattern("55 8B EC", 0, false);
    const struct {
        const zt::CodePattern& pattern;
        uint32_t count;
        zt::Placement placement;
    } kRows[] = {
        {unique, 0, zt::Placement::kNotFound},     {unique, 1, zt::Placement::kFound},
        {unique, 2, zt::Placement::kAmbiguous},    {notUnique, 0, zt::Placement::kNotFound},
        {notUnique, 1, zt::Placement::kAmbiguous}, {zt::CodePattern{}, 1, zt::Placement::kNotFound},
    };
    for (const auto& row : kRows) {
        EXPECT_EQ(row.placement, zt::PlacementOf(row.pattern, zt::PatternMatch{row.count, 0x401000, 0}));
        // Given up on: not searched, unless already found twice.
        EXPECT_EQ(row.count >= 2 || row.pattern.length == 0 ? row.placement : zt::Placement::kNotSearched,
                  zt::PlacementOf(row.pattern, zt::PatternMatch{row.count, 0x401000, 1}));
    }
}

}  // namespace
