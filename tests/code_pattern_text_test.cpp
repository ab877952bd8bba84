// The text form of a code pattern, as bookmark lists carry it.
#include <gtest/gtest.h>

#include <string>

#include "code_module.h"
#include "core/code_pattern.h"

namespace {

TEST(CodePatternText, RoundTrip) {
    zt::CodePattern pattern;
    ASSERT_TRUE(zt::ParsePattern("55 8b EC 83 EC ?? E8 ?? ?? ?? ??", 3, &pattern));
    EXPECT_EQ(11, pattern.length);
    EXPECT_EQ(3, pattern.position);
    EXPECT_EQ(0, pattern.unique);
    EXPECT_EQ(0x8B, pattern.bytes[1]);
    EXPECT_EQ(0, pattern.fixed[5]);
    EXPECT_EQ("55 8B EC 83 EC ?? E8 ?? ?? ?? ??", PatternText(pattern));

    std::string longest;
    for (size_t i = 0; i < zt::kPatternMax; ++i) longest += i ? " ??" : "CC";
    ASSERT_TRUE(zt::ParsePattern(longest.c_str(), zt::kPatternMax - 1, &pattern));
    EXPECT_EQ(longest, PatternText(pattern));
    EXPECT_EQ(longest.size() + 1, zt::kPatternTextMax);
    EXPECT_EQ("", PatternText(zt::CodePattern{}));
}

TEST(CodePatternText, Rejected) {
    std::string tooLong = "90";
    for (size_t i = 0; i < zt::kPatternMax; ++i) tooLong += " 90";
    const struct {
        const char* text;
        unsigned position;
    } kRejected[] = {
        {"", 0},          {"5", 0},           {"55 8B ", 0},     {"55  8B", 0},   {" 55", 0},
        {"55,8B", 0},     {"5G", 0},          {"?5", 0},         {"?? ??", 0},    {"55 8B", 2},
        {"558B", 0},      {tooLong.c_str(), 0},
    };
    for (const auto& row : kRejected) {
        SCOPED_TRACE(row.text);
        zt::CodePattern pattern;
        pattern.length = 7;
        EXPECT_FALSE(zt::ParsePattern(row.text, row.position, &pattern));
        EXPECT_EQ(0, pattern.length);
    }
}

}  // namespace
