// What a pattern's wildcards point to, in a small image laid out by hand:
// strings in a read-only section, two imports and their stubs, writable data;
// then the same image with its import directory made hostile, and the choice
// among places.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "core/pointer_targets.h"

namespace {

constexpr uint32_t kBase = 0x10000000, kSize = 0x6000;
constexpr size_t kNt = 0x80, kOptional = kNt + 24, kSections = kOptional + 0xE0;

void Put32(std::vector<uint8_t>& image, size_t at, uint32_t v) {
    image.at(at + 3);
    std::memcpy(&image[at], &v, 4);
}
void PutText(std::vector<uint8_t>& image, size_t at, const char* text) {
    std::memcpy(&image.at(at + std::strlen(text)) - std::strlen(text), text, std::strlen(text) + 1);
}
void PutCode(std::vector<uint8_t>& image, size_t at, std::initializer_list<uint8_t> bytes, uint32_t field) {
    size_t i = at;
    for (uint8_t b : bytes) image.at(i++) = b;
    Put32(image, i, field);
}

// .text at 0x1000 (code), .rdata at 0x2000, .idata at 0x3000 and .data at
// 0x4000 (written to); kernel32's Sleep and Beep imported; no relocations.
struct Image {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kSize, 0);
    std::vector<uint8_t> readable = std::vector<uint8_t>(kSize, 1);
    zt::CodeRange code{0x1000, 0x1800};

    Image() {
        bytes[0] = 'M';
        bytes[1] = 'Z';
        Put32(bytes, 0x3C, kNt);
        std::memcpy(&bytes[kNt], "PE\0\0", 4);
        bytes[kNt + 6] = 4;       // sections
        bytes[kNt + 20] = 0xE0;   // optional header's size
        Put32(bytes, kOptional + 92, 16);
        Put32(bytes, kOptional + 104, 0x3000);   // the import directory
        Put32(bytes, kOptional + 96, 0x2400);    // the export directory: "exported" at 0x1400
        Put32(bytes, 0x2400 + 20, 1);
        Put32(bytes, 0x2400 + 24, 1);
        Put32(bytes, 0x2400 + 28, 0x2440);
        Put32(bytes, 0x2400 + 32, 0x2450);
        Put32(bytes, 0x2400 + 36, 0x2460);
        Put32(bytes, 0x2440, 0x1400);
        Put32(bytes, 0x2450, 0x2470);
        PutText(bytes, 0x2470, "exported");
        const uint32_t sections[][3] = {{0x1000, 0x800, 0x60000020}, {0x2000, 0x1000, 0x40000040},
                                        {0x3000, 0x1000, 0xC0000040}, {0x4000, 0x1000, 0xC0000040}};
        for (size_t s = 0; s < 4; ++s) {
            Put32(bytes, kSections + 40 * s + 8, sections[s][1]);
            Put32(bytes, kSections + 40 * s + 12, sections[s][0]);
            Put32(bytes, kSections + 40 * s + 36, sections[s][2]);
        }
        Put32(bytes, 0x3000, 0x3100);   // names
        Put32(bytes, 0x3000 + 12, 0x3200);
        Put32(bytes, 0x3000 + 16, 0x3180);   // slots
        Put32(bytes, 0x3100, 0x3300);
        Put32(bytes, 0x3104, 0x3320);
        Put32(bytes, 0x3180, 0x7C801000);   // bound: an address in kernel32
        Put32(bytes, 0x3184, 0x7C802000);
        PutText(bytes, 0x3200, "KERNEL32.dll");
        PutText(bytes, 0x3302, "Sleep");
        PutText(bytes, 0x3322, "Beep");
        PutText(bytes, 0x2000, "alpha");
        PutText(bytes, 0x2010, "beta");
        PutText(bytes, 0x2020, "alpha");
        PutText(bytes, 0x27FC, "tail");   // runs into an unreadable page
        for (size_t i = 0x2800; i < 0x3000; ++i) readable[i] = 0;
        for (size_t i = 0x5000; i < kSize; ++i) readable[i] = 0;
        // push offset TEXT / ret at 0x1000 + 0x10 * k, for each target below.
        const uint32_t pushed[] = {0x2000, 0x2010, 0x2020, 0x4000, 0x20000000 - kBase, 0x27FC, 0x2900};
        for (size_t k = 0; k < sizeof pushed / sizeof *pushed; ++k) {
            PutCode(bytes, 0x1000 + 0x10 * k, {0x68}, kBase + pushed[k]);
            bytes[0x1005 + 0x10 * k] = 0xC3;
        }
        // Import stubs jmp [slot] at 0x1100 and 0x1110; calls to them at 0x1200 and 0x1210.
        PutCode(bytes, 0x1100, {0xFF, 0x25}, kBase + 0x3180);
        PutCode(bytes, 0x1110, {0xFF, 0x25}, kBase + 0x3184);
        PutCode(bytes, 0x1200, {0xE8}, 0x1100 - 0x1205);
        PutCode(bytes, 0x1210, {0xE8}, 0x1110 - 0x1215);
        // Routines at 0x1400 (exported) and 0x1420 (not), each jumped to from 0x1440 and 0x1450.
        for (uint32_t at : {0x1400u, 0x1420u}) {
            bytes[at] = 0x31;
            bytes[at + 1] = 0xC0;
            bytes[at + 2] = 0xC3;
        }
        PutCode(bytes, 0x1440, {0xE9}, 0x1400 - 0x1445);
        PutCode(bytes, 0x1450, {0xE9}, 0x1420 - 0x1455);
        // push "alpha" / push "beta" / ret at 0x1300, push "beta" twice at 0x1310.
        for (uint32_t at : {0x1300u, 0x1310u}) {
            PutCode(bytes, at, {0x68}, kBase + (at == 0x1300 ? 0x2000 : 0x2010));
            PutCode(bytes, at + 5, {0x68}, kBase + 0x2010);
            bytes[at + 10] = 0xC3;
        }
    }
    zt::ModuleView View() const { return {kBase, kSize, bytes.data(), readable.data(), nullptr, 0, &code, 1}; }
};

zt::CodePattern Pattern(const char* text) {
    zt::CodePattern pattern;
    EXPECT_TRUE(zt::ParsePattern(text, 0, &pattern)) << text;
    return pattern;
}

uint32_t Describe(const Image& image, const char* pattern, uint32_t rva) {
    const zt::ModuleView view = image.View();
    const zt::PointerTargets targets(view);
    zt::WorkBudget budget;
    uint32_t out[zt::kMostTargetFields] = {};
    EXPECT_EQ(1u, targets.Describe(Pattern(pattern), kBase + rva, out, budget));
    return out[0];
}

TEST(PointerTargets, DescribeWhatAFieldPointsTo) {
    const Image image;
    const char* push = "68 ?? ?? ?? ?? C3";
    // A string's text, whichever copy of it.
    EXPECT_NE(zt::kUnknownTarget, Describe(image, push, 0x1000));
    EXPECT_EQ(Describe(image, push, 0x1000), Describe(image, push, 0x1020));
    EXPECT_NE(Describe(image, push, 0x1000), Describe(image, push, 0x1010));
    // An import, through its slot or through a call of its stub; two imports differ.
    const uint32_t sleep = Describe(image, "FF 25 ?? ?? ?? ??", 0x1100);
    EXPECT_NE(zt::kUnknownTarget, sleep);
    EXPECT_EQ(sleep, Describe(image, "E8 ?? ?? ?? ??", 0x1200));
    EXPECT_NE(sleep, Describe(image, "FF 25 ?? ?? ?? ??", 0x1110));
    EXPECT_NE(sleep, Describe(image, "E8 ?? ?? ?? ??", 0x1210));
}

// A routine the module exports is its name, whatever its code; another is its code.
TEST(PointerTargets, AnExportedRoutineIsItsName) {
    Image image;
    const char* jump = "E9 ?? ?? ?? ??";
    const uint32_t exported = Describe(image, jump, 0x1440), other = Describe(image, jump, 0x1450);
    EXPECT_NE(zt::kUnknownTarget, exported);
    EXPECT_NE(exported, other);   // the same code, but one has a name
    image.bytes[0x1400] = image.bytes[0x1420] = 0x33;   // xor eax,eax written another way
    EXPECT_EQ(exported, Describe(image, jump, 0x1440));
    EXPECT_NE(other, Describe(image, jump, 0x1450));
    Put32(image.bytes, 0x2450, kSize - 2);   // a name that runs off the image: no name
    EXPECT_NE(exported, Describe(image, jump, 0x1440));
}

// Another build exports the routine under the same names elsewhere: its names
// find it there; names no routine or two routines have find none.
TEST(PointerTargets, TheRoutineExportedUnderTheSameNames) {
    Image old;
    const uint32_t names = zt::PointerTargets(old.View()).ExportNames(0x1400);
    EXPECT_NE(zt::kUnknownTarget, names);
    EXPECT_EQ(zt::kUnknownTarget, zt::PointerTargets(old.View()).ExportNames(0x1420));

    Image rebuilt;
    Put32(rebuilt.bytes, 0x2440, 0x1420);   // the routine moved
    uint32_t rva = 0;
    EXPECT_TRUE(zt::PointerTargets(rebuilt.View()).ExportedRoutine(names, rva));
    EXPECT_EQ(0x1420u, rva);
    EXPECT_FALSE(zt::PointerTargets(rebuilt.View()).ExportedRoutine(names + 1, rva));
    EXPECT_FALSE(zt::PointerTargets(rebuilt.View()).ExportedRoutine(zt::kUnknownTarget, rva));

    // Two names alike for two routines (a directory that lies): neither.
    Put32(rebuilt.bytes, 0x2400 + 20, 2);
    Put32(rebuilt.bytes, 0x2400 + 24, 2);
    Put32(rebuilt.bytes, 0x2444, 0x1400);
    Put32(rebuilt.bytes, 0x2454, 0x2470);
    rebuilt.bytes[0x2462] = 1;   // the second name's ordinal
    EXPECT_FALSE(zt::PointerTargets(rebuilt.View()).ExportedRoutine(names, rva));
}

TEST(PointerTargets, WhatCannotBeTrustedIsUnknown) {
    const Image image;
    const char* push = "68 ?? ?? ?? ?? C3";
    const struct {
        uint32_t rva;
        const char* what;
    } cases[] = {
        {0x1030, "writable data, which a running program changes"},
        {0x1040, "outside the image"},
        {0x1060, "an unreadable page of a read-only section"},
    };
    for (const auto& c : cases) EXPECT_EQ(zt::kUnknownTarget, Describe(image, push, c.rva)) << c.what;
    // A string cut by an unreadable page is its readable part.
    EXPECT_NE(zt::kUnknownTarget, Describe(image, push, 0x1050));
    // A place whose pattern runs outside the image: every field unknown.
    EXPECT_EQ(zt::kUnknownTarget, Describe(image, push, kSize - 2));
}

// The import directory as a hostile process may lay it out: each read stays
// inside the image and bounded, and a slot is named by what names it or not
// at all (a slot named two ways is unnamed).
TEST(PointerTargets, AHostileImportDirectoryNamesNothingWrong) {
    const uint32_t sleep = Describe(Image(), "FF 25 ?? ?? ?? ??", 0x1100);
    const struct {
        const char* what;
        std::function<void(Image&)> spoil;
        bool sleepNamed;
    } cases[] = {
        {"the directory outside the image", [](Image& m) { Put32(m.bytes, kOptional + 104, 0xFFFFFFF0); }, false},
        {"the header's offset outside the image", [](Image& m) { Put32(m.bytes, 0x3C, 0xFFFFFF00); }, false},
        {"a name table that runs to the end of what can be read",
         [](Image& m) {
             for (size_t at = 0x3400; at + 4 <= kSize; at += 4) Put32(m.bytes, at, 0x3300);
             Put32(m.bytes, 0x3000, 0x3400);
             Put32(m.bytes, 0x3000 + 16, 0x3400);   // slots over the names
         },
         false},
        {"descriptors that repeat to the names", [](Image& m) {
             for (size_t at = 0x3014; at + 20 <= 0x3100; at += 20) std::memcpy(&m.bytes[at], &m.bytes[0x3000], 20);
         }, true},
        {"a slot named two ways", [](Image& m) {
             const uint32_t second[] = {0x3104, 0, 0, 0x3200, 0x3180};   // Beep's name, Sleep's slot
             for (size_t k = 0; k < 5; ++k) Put32(m.bytes, 0x3014 + 4 * k, second[k]);
         }, false},
        {"a name that runs off the image", [](Image& m) { Put32(m.bytes, 0x3100, kSize - 3); }, false},
        {"a library name in an unreadable page", [](Image& m) { Put32(m.bytes, 0x3000 + 12, 0x2900); }, false},
    };
    for (const auto& c : cases) {
        Image image;
        c.spoil(image);
        const zt::ModuleView view = image.View();
        const zt::PointerTargets targets(view);
        EXPECT_LE(targets.importSlots(), zt::kMostImportSlots) << c.what;
        zt::WorkBudget budget;
        uint32_t out[zt::kMostTargetFields];
        targets.Describe(Pattern("FF 25 ?? ?? ?? ??"), kBase + 0x1100, out, budget);
        EXPECT_EQ(c.sleepNamed ? sleep : zt::kUnknownTarget, out[0]) << c.what;
    }
}

TEST(PointerTargets, ChooseOnlyTheOnePlaceThatAgrees) {
    constexpr uint32_t A = 11, B = 22, C = 33, U = zt::kUnknownTarget;
    const struct {
        std::vector<uint32_t> recorded;
        std::vector<uint32_t> places;   // fields of each place, one after the other
        int chosen;
    } cases[] = {
        {{A}, {B, A}, 1},
        {{A}, {A}, 0},             // one place, agreeing
        {{A}, {A, A}, -1},         // two agree
        {{A}, {A, U}, -1},         // one cannot be told apart
        {{U}, {A, B}, -1},         // nothing known
        {{A}, {B, C}, -1},         // none agrees
        {{A, U}, {A, B, C, B}, 0},
        {{A, B}, {A, C, A, B}, 1},   // every field known on both sides counts
        {{A, B}, {A, U, C, B}, 0},   // a field unknown at one place: the others decide
    };
    for (size_t k = 0; k < sizeof cases / sizeof *cases; ++k) {
        const auto& c = cases[k];
        EXPECT_EQ(c.chosen, zt::ChooseByTargets(c.recorded.data(), c.places.data(),
                                                c.places.size() / c.recorded.size(), c.recorded.size()))
            << "case " << k;
    }
}

TEST(PointerTargets, RecordOnlyWhatTellsThePlaceFromTheOthers) {
    const Image image;
    const zt::ModuleView view = image.View();
    const zt::PointerTargets targets(view);
    const zt::CodePattern push = Pattern("68 ?? ?? ?? ?? C3");
    zt::WorkBudget budget;
    uint32_t out[zt::kMostTargetFields];
    const uint32_t alike[] = {kBase + 0x1000, kBase + 0x1020};   // both push "alpha"
    EXPECT_EQ(0u, zt::RecordTargets(targets, push, alike[0], alike, 2, out, budget));
    const uint32_t differ[] = {kBase + 0x1000, kBase + 0x1010};
    ASSERT_EQ(1u, zt::RecordTargets(targets, push, differ[1], differ, 2, out, budget));
    EXPECT_EQ(1, zt::PlaceByTargets(targets, push, out, 1, differ, 2, budget));
    EXPECT_EQ(-1, zt::PlaceByTargets(targets, push, out, 2, differ, 2, budget));   // a field count that lies
    // A field alike at every place is recorded as unknown: it tells none apart.
    const uint32_t two[] = {kBase + 0x1300, kBase + 0x1310};
    ASSERT_EQ(2u, zt::RecordTargets(targets, Pattern("68 ?? ?? ?? ?? 68 ?? ?? ?? ?? C3"), two[0], two, 2, out, budget));
    EXPECT_NE(zt::kUnknownTarget, out[0]);
    EXPECT_EQ(zt::kUnknownTarget, out[1]);
    zt::WorkBudget spent;
    spent.left = 0;
    EXPECT_EQ(-1, zt::PlaceByTargets(targets, push, out, 1, differ, 2, spent));
}

// A pattern found at too many places is pinned by the import a field names
// (a jmp [slot] stub), never through a relative call's field.
TEST(PointerTargets, PinAPatternByTheImportItsFieldNames) {
    const Image image;
    const zt::ModuleView view = image.View();
    const zt::PointerTargets targets(view);
    const zt::CodePattern stub = Pattern("FF 25 ?? ?? ?? ??");
    const uint32_t sleep = Describe(image, "FF 25 ?? ?? ?? ??", 0x1100);
    zt::CodePattern pinned;
    ASSERT_EQ(1u, zt::PinImports(targets, stub, &sleep, 1, &pinned));
    std::vector<zt::PatternMatch> found(1);
    zt::SearchPatterns(view, &pinned, 1, found.data());
    EXPECT_EQ(1u, found[0].count);
    EXPECT_EQ(kBase + 0x1100, found[0].address);
    const uint32_t nothing = 12345;
    EXPECT_EQ(0u, zt::PinImports(targets, stub, &nothing, 1, &pinned));
    EXPECT_EQ(0u, zt::PinImports(targets, Pattern("E8 ?? ?? ?? ??"), &sleep, 1, &pinned));
}

}  // namespace
