// Call sites: the relative calls and jumps that lead to a routine, found in
// one build, and the target each names when found again in another.
#include <gtest/gtest.h>

#include <initializer_list>

#include "code_module.h"
#include "core/call_sites.h"

namespace {

// Each site at 0x1100 of a module whose code is 0x1000..0x2000; its target
// (an offset), or 0 when it names none.
TEST(CallSites, TheTargetABranchNames) {
    const struct {
        const char* what;
        std::initializer_list<uint8_t> bytes;
        uint32_t target;
    } kRows[] = {
        {"call", {0xE8, 0xFB, 0x00, 0x00, 0x00}, 0x1200},
        {"jmp", {0xE9, 0xFB, 0xFE, 0xFF, 0xFF}, 0x1000},
        {"jne, a routine's jump to its cold part", {0x0F, 0x85, 0xFA, 0x00, 0x00, 0x00}, 0x1200},
        {"a short jump", {0xEB, 0x10}, 0},
        {"a call out of the code", {0xE8, 0xFB, 0x0F, 0x00, 0x00}, 0},
        {"no branch: 0F 0B", {0x0F, 0x0B, 0x00, 0x00, 0x00, 0x00}, 0},
    };
    for (const auto& row : kRows) {
        CodeModule module;
        module.Put(0x1100, row.bytes);
        uint32_t target = module.base();
        zt::CallTarget(module.View(), module.base() + 0x1100, target);
        EXPECT_EQ(module.base() + row.target, target) << row.what;

        const uint32_t wanted = module.base() + (row.target ? row.target : 0x1200);
        uint32_t sites[zt::kMostCallers];
        uint8_t count = 0;
        zt::WorkBudget budget;
        ASSERT_TRUE(zt::FindCallSites(module.View(), &wanted, 1, sites, &count, budget)) << row.what;
        EXPECT_EQ(row.target ? 1u : 0u, count) << row.what;
    }
    EXPECT_TRUE(zt::OnBranch(Pattern("8B 45 08 0F 85 ?? ?? ?? ??", 3)));
    EXPECT_FALSE(zt::OnBranch(Pattern("8B 45 08 0F ?? ?? ?? ?? ??", 3)));
    EXPECT_FALSE(zt::OnBranch(Pattern("8B 45 08 E8 ?? ?? ?? ??", 2)));
}

}  // namespace
