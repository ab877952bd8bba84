// The PE facts and relocations that code patterns read from a module's image
// in the debugged process, which may be hostile: a sound image, then each
// header made wrong in one way.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "core/pe_image.h"

namespace {

void Put16(std::vector<uint8_t>& image, size_t at, uint16_t v) {
    image.at(at + 1);
    std::memcpy(&image[at], &v, 2);
}
void Put32(std::vector<uint8_t>& image, size_t at, uint32_t v) {
    image.at(at + 3);
    std::memcpy(&image[at], &v, 4);
}

constexpr size_t kNt = 0x80, kOptional = kNt + 24, kSections = kOptional + 0xE0;

// Headers, .text at 0x1000 (0x800 bytes), .reloc at 0x2000 with one block.
std::vector<uint8_t> SoundImage() {
    std::vector<uint8_t> image(0x3000, 0);
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, kNt);
    std::memcpy(&image[kNt], "PE\0\0", 4);
    Put16(image, kNt + 4, 0x14C);
    Put16(image, kNt + 6, 2);
    Put32(image, kNt + 8, 0x5F5E1000);
    Put16(image, kNt + 20, 0xE0);
    Put16(image, kOptional, 0x10B);
    Put32(image, kOptional + 28, 0x10000000);
    Put32(image, kOptional + 56, 0x3000);
    Put32(image, kOptional + 64, 0xC0FFEE);
    Put32(image, kOptional + 92, 16);
    Put32(image, kOptional + 136, 0x2000);
    Put32(image, kOptional + 140, 16);
    Put32(image, kSections + 8, 0x800);
    Put32(image, kSections + 12, 0x1000);
    Put32(image, kSections + 36, 0x60000020);
    Put32(image, kSections + 40 + 8, 0x100);
    Put32(image, kSections + 40 + 12, 0x2000);
    Put32(image, kSections + 40 + 36, 0x42000040);
    Put32(image, 0x2000, 0x1000);
    Put32(image, 0x2004, 16);
    size_t at = 0x2008;
    for (uint16_t entry : {0x3010, 0x3004, 0x0000, 0x3004}) {  // two fix-ups, padding, a repeat
        Put16(image, at, entry);
        at += 2;
    }
    return image;
}

std::vector<uint32_t> Relocations(const std::vector<uint8_t>& image, const zt::PeFacts& facts) {
    std::vector<uint32_t> out(zt::ReadRelocations(image.data(), image.size(), facts, nullptr, 0));
    out.resize(zt::ReadRelocations(image.data(), image.size(), facts, out.data(), out.size()));
    return out;
}

TEST(PeImage, SoundImage) {
    const std::vector<uint8_t> image = SoundImage();
    zt::PeFacts facts;
    ASSERT_TRUE(zt::ReadPeFacts(image.data(), image.size(), &facts));
    EXPECT_EQ(0x5F5E1000u, facts.timeDateStamp);
    EXPECT_EQ(0x3000u, facts.sizeOfImage);
    EXPECT_EQ(0xC0FFEEu, facts.checkSum);
    EXPECT_EQ(0x10000000u, facts.imageBase);
    ASSERT_EQ(1u, facts.codeCount);
    EXPECT_EQ(0x1000u, facts.code[0].begin);
    EXPECT_EQ(0x1800u, facts.code[0].end);
    EXPECT_EQ(3u, zt::ReadRelocations(image.data(), image.size(), facts, nullptr, 0));
    EXPECT_EQ((std::vector<uint32_t>{0x1004, 0x1010}), Relocations(image, facts));
}

struct Damage {
    const char* what;
    std::function<void(std::vector<uint8_t>&)> apply;
    bool facts;
    size_t codeCount;
    std::vector<uint32_t> relocations;
};

TEST(PeImage, DamagedHeaders) {
    const Damage kDamages[] = {
        {"no MZ", [](auto& i) { i[0] = 'X'; }, false, 0, {}},
        {"header offset past the copy", [](auto& i) { Put32(i, 0x3C, 0xFFFFFFF0); }, false, 0, {}},
        {"header cut by the copy's end", [](auto& i) { Put32(i, 0x3C, 0x2FF0); }, false, 0, {}},
        {"no PE signature", [](auto& i) { i[kNt] = 'X'; }, false, 0, {}},
        {"PE32+ optional header", [](auto& i) { Put16(i, kOptional, 0x20B); }, false, 0, {}},
        {"65,535 sections", [](auto& i) { Put16(i, kNt + 6, 0xFFFF); }, true, 1, {0x1004, 0x1010}},
        {"code section past the copy", [](auto& i) { Put32(i, kSections + 12, 0x7FFFF000); }, true, 0, {0x1004, 0x1010}},
        {"code section running past the copy", [](auto& i) { Put32(i, kSections + 8, 0xFFFFFFFF); }, true, 1,
         {0x1004, 0x1010}},
        {"relocations past the copy", [](auto& i) { Put32(i, kOptional + 136, 0xFFFFFF00); }, true, 1, {}},
        {"relocation block of size 0", [](auto& i) { Put32(i, 0x2004, 0); }, true, 1, {}},
        {"relocation block past the directory", [](auto& i) { Put32(i, 0x2004, 0x1000); }, true, 1, {}},
        {"fix-up past the copy", [](auto& i) { Put32(i, 0x2000, 0x2FFE); }, true, 1, {}},
        {"no relocation directory entry", [](auto& i) { Put32(i, kOptional + 92, 5); }, true, 1, {}},
    };
    for (const Damage& damage : kDamages) {
        SCOPED_TRACE(damage.what);
        std::vector<uint8_t> image = SoundImage();
        damage.apply(image);
        zt::PeFacts facts;
        ASSERT_EQ(damage.facts, zt::ReadPeFacts(image.data(), image.size(), &facts));
        EXPECT_EQ(damage.codeCount, facts.codeCount);
        for (size_t r = 0; r < facts.codeCount; ++r) EXPECT_LE(facts.code[r].end, image.size());
        EXPECT_EQ(damage.relocations, Relocations(image, facts));
    }
}

}  // namespace
