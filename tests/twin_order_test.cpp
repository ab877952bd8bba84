// Twins by order: a bookmark whose pattern was found at several places in the
// new build is placed when exactly one of them lies between its uniquely
// placed neighbours, and its own place was the only one between them in the
// old build too.
#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "core/twin_order.h"

namespace {

zt::OrderedMark Anchor(uint32_t oldOffset, uint32_t newOffset) {
    zt::OrderedMark mark{};
    mark.oldOffset = oldOffset;
    mark.newOffset = newOffset;
    return mark;
}

zt::OrderedMark Twin(uint32_t oldOffset, std::initializer_list<uint32_t> oldTwins, std::initializer_list<uint32_t> twins) {
    zt::OrderedMark mark{};
    mark.oldOffset = oldOffset;
    mark.newOffset = zt::kUnplaced;
    for (uint32_t t : oldTwins) mark.oldTwins[mark.oldTwinCount++] = t;
    for (uint32_t t : twins) mark.twins[mark.twinCount++] = t;
    return mark;
}

// Neighbours at old 0x100 and 0x300, at new 0x1100 and 0x1300; a twin at old
// 0x200, its pattern also elsewhere.
TEST(TwinOrder, OneCandidateBetweenTheNeighbours) {
    const struct {
        const char* what;
        zt::OrderedMark twin;
        uint32_t placed;
    } kRows[] = {
        {"one of two places between", Twin(0x200, {0x200, 0x500}, {0x1500, 0x1200}), 0x1200},
        {"the only place, between", Twin(0x200, {0x200, 0x500}, {0x1250}), 0x1250},
        {"two places between", Twin(0x200, {0x200, 0x500}, {0x1200, 0x1280}), zt::kUnplaced},
        {"none between", Twin(0x200, {0x200, 0x500}, {0x1500, 0x1000}), zt::kUnplaced},
        {"an old twin between too", Twin(0x200, {0x200, 0x280}, {0x1200, 0x1500}), zt::kUnplaced},
        {"a neighbour's own place", Twin(0x200, {0x200, 0x500}, {0x1300, 0x1500}), zt::kUnplaced},
        {"after the last neighbour", Twin(0x400, {0x400, 0x500}, {0x1400, 0x1000}), zt::kUnplaced},
    };
    for (const auto& row : kRows) {
        std::vector<zt::OrderedMark> marks = {row.twin, Anchor(0x300, 0x1300), Anchor(0x100, 0x1100)};
        EXPECT_EQ(row.placed != zt::kUnplaced ? 1u : 0u, zt::PlaceTwinsByOrder(marks.data(), marks.size())) << row.what;
        EXPECT_EQ(row.placed, marks[0].newOffset) << row.what;
        EXPECT_EQ(row.placed != zt::kUnplaced, marks[0].byOrder == 1) << row.what;
    }
}

// A neighbour that moved out of the old order is not trusted; the run of
// neighbours in order decides. Too many places, or none known in the old
// build, decide nothing.
TEST(TwinOrder, NeighboursOutOfOrderAndTooManyTwins) {
    std::vector<zt::OrderedMark> marks = {Anchor(0x100, 0x1100), Anchor(0x180, 0x1900), Anchor(0x300, 0x1300),
                                          Twin(0x200, {0x200, 0x500}, {0x1200, 0x1500})};
    EXPECT_EQ(1u, zt::PlaceTwinsByOrder(marks.data(), marks.size()));
    EXPECT_EQ(0x1200u, marks[3].newOffset);
    EXPECT_EQ(0x1900u, marks[1].newOffset);

    zt::OrderedMark many = Twin(0x200, {0x200}, {0x1200, 0x1500});
    many.twinCount = zt::kMostTwins + 1;
    marks = {Anchor(0x100, 0x1100), Anchor(0x300, 0x1300), many, Twin(0x210, {}, {0x1210, 0x1500})};
    EXPECT_EQ(0u, zt::PlaceTwinsByOrder(marks.data(), marks.size()));
    EXPECT_EQ(zt::kUnplaced, marks[2].newOffset);
    EXPECT_EQ(zt::kUnplaced, marks[3].newOffset);
}

}  // namespace
