// A hostile debuggee for the code patterns: a module "hostile" whose code is
// zeros (a packed program's section before it unpacks), one short routine
// over and over, random bytes, or pieces of each; its executable sections
// overlap, are empty or run past the image; now and then a relocation at
// every byte (or every second or fourth) of its code, and now and then its
// header erased or unreadable. Bookmarks in it are exported as a JSON list;
// then a list of another build of it is imported: that export, or thousands
// of entries whose patterns are zeros, the repeated routine, patterns that
// differ but share one anchor, or random bytes (now and then twins, with
// their places and what their wildcards pointed to); its import and export
// directories are missing, lie in the code or run off the image.
//
// Neither the export nor the import may take longer than kLongestMs, however
// much code and however many patterns: their searches share a work budget.
// The export writes no pattern with fewer than six fixed bytes; the import's
// status counts each entry once (imported, not found, ambiguous, not
// searched or skipped), and every bookmark it makes lies in the module.
#include <windows.h>

#include "host/debuggee.h"
#include "host/system_stubs.h"
#include "kinds.h"
#include "session.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {

namespace {

constexpr DWORD kJsonType = 2;
constexpr uint32_t kBase = 0x38000000;      // far from the other kinds' memory
constexpr uint32_t kTimestamp = 0x5F00A000;
// An import's or export's budget is about a third of a second natively;
// this leaves room for a loaded machine and the emulated guest.
constexpr DWORD kLongestMs = 8000;

void Put16(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}
void Put32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}

struct Image {
    std::vector<uint8_t> bytes;   // from the base on
    uint32_t codeEnd = 0;         // code from 0x1000 to here
    std::vector<uint8_t> routine; // the repeated routine, when there is one
};

// The code: zeros, one routine repeated, random bytes, or pieces of each.
void FillCode(Rng& rng, Image& image, bool zeros) {
    const uint32_t routineLength = 3 + rng.Below(40);
    for (uint32_t i = 0; i < routineLength; ++i)
        image.routine.push_back(rng.OneIn(3) ? 0 : uint8_t(rng.Below(256)));
    image.routine.back() = 0xC3;
    const uint32_t how = zeros ? 0 : rng.Below(4);
    uint32_t at = 0x1000;
    while (at < image.codeEnd) {
        const uint32_t piece = how == 3 ? std::min<uint32_t>(image.codeEnd - at, 16 + rng.Below(0x4000)) : image.codeEnd - at;
        const uint32_t kind = how == 3 ? rng.Below(3) : how;
        for (uint32_t i = 0; i < piece; ++i) {
            image.bytes[at + i] = kind == 0 ? 0 : kind == 1 ? image.routine[(at + i) % routineLength] : uint8_t(rng.Word());
        }
        at += piece;
    }
}

// Relocations at every `step` bytes of the code, in blocks of a page, put
// after the code; their directory's place and size.
std::pair<uint32_t, uint32_t> AddRelocations(Image& image, uint32_t step) {
    const uint32_t start = (uint32_t(image.bytes.size()) + 3) & ~3u;
    std::vector<uint8_t> blocks;
    for (uint32_t page = 0x1000; page < image.codeEnd; page += 0x1000) {
        const size_t head = blocks.size();
        blocks.resize(head + 8);
        for (uint32_t offset = 0; offset < 0x1000 && page + offset + 4 <= image.codeEnd; offset += step) {
            blocks.push_back(uint8_t(offset));
            blocks.push_back(uint8_t(0x30 | offset >> 8));
        }
        if (blocks.size() % 4) blocks.resize(blocks.size() + 2);
        Put32(blocks, head, page);
        Put32(blocks, head + 4, uint32_t(blocks.size() - head));
    }
    image.bytes.resize(start + blocks.size());
    std::copy(blocks.begin(), blocks.end(), image.bytes.begin() + start);
    return {start, uint32_t(blocks.size())};
}

// The header page by the PE format's own offsets: sections marked
// executable that overlap, are empty or run past the image.
void WriteHeader(Rng& rng, Image& image, std::pair<uint32_t, uint32_t> relocations) {
    std::vector<uint8_t>& b = image.bytes;
    const uint32_t size = uint32_t(b.size());
    b[0] = 'M';
    b[1] = 'Z';
    Put32(b, 0x3C, 0x80);
    std::memcpy(&b[0x80], "PE\0\0", 4);
    const uint32_t sections = 1 + rng.Below(6);
    Put16(b, 0x84, 0x14C);
    Put16(b, 0x86, sections);
    Put32(b, 0x88, kTimestamp);
    Put16(b, 0x94, 0xE0);
    Put16(b, 0x96, 0x2102);
    const size_t optional = 0x98;
    Put16(b, optional, 0x10B);
    Put32(b, optional + 28, kBase);
    Put32(b, optional + 32, 0x1000);
    Put32(b, optional + 36, 0x200);
    Put32(b, optional + 56, size);
    Put32(b, optional + 60, 0x1000);
    Put32(b, optional + 92, 16);
    Put32(b, optional + 96 + 5 * 8, relocations.first);
    Put32(b, optional + 96 + 5 * 8 + 4, relocations.second);
    // The import directory (which names what wildcards point to): none, in
    // the code (zeros end it at once; the routine repeated makes descriptors
    // that point anywhere, into themselves among others), over the
    // relocations, or at the image's end or past it.
    Put32(b, optional + 96 + 8, rng.Pick(std::vector<uint32_t>{0, 0x1000, 0x1000 + rng.Below(image.codeEnd - 0x1000),
                                                                relocations.first, size - 20, size - 4, 0xFFFFFFF0}));
    // The export directory likewise (names and addresses read from anywhere).
    Put32(b, optional + 96, rng.Pick(std::vector<uint32_t>{0, 0x1000 + rng.Below(image.codeEnd - 0x1000),
                                                            relocations.first, size - 40, size - 4, 0xFFFFFFF0}));
    for (uint32_t s = 0; s < sections; ++s) {
        const size_t at = optional + 0xE0 + 40 * s;
        std::memcpy(&b[at], ".text\0\0\0", 8);
        uint32_t rva = 0x1000, length = image.codeEnd - 0x1000;
        switch (rng.Below(5)) {
        case 0: break;                                                             // the whole code
        case 1: rva += rng.Below(length); length = rng.Below(image.codeEnd - rva + 1); break;   // a piece
        case 2: length = 0; break;                                                 // empty
        case 3: rva = rng.Below(size); length = rng.Pick(std::vector<uint32_t>{size, 0x7FFFFFFF, 0xFFFFFFFF}); break;
        default: rva = rng.Pick(std::vector<uint32_t>{0, size - 1, size, 0xFFFFF000}); length = 0x2000; break;
        }
        Put32(b, at + 8, length);
        Put32(b, at + 12, rva);
        Put32(b, at + 36, rng.OneIn(4) ? 0x20000020 : 0x60000020);
    }
}

// The first number before `what` in the status, or 0.
unsigned CountBefore(const std::string& status, const char* what) {
    const size_t at = status.find(what);
    if (at == std::string::npos) return 0;
    size_t start = at;
    while (start > 0 && status[start - 1] >= '0' && status[start - 1] <= '9') --start;
    return unsigned(std::strtoul(status.c_str() + start, nullptr, 10));
}

size_t FixedBytes(const std::string& pattern) {
    size_t fixed = 0;
    for (size_t at = 0; at + 1 < pattern.size(); at += 3) fixed += pattern[at] != '?';
    return fixed;
}

// The patterns of a list of another build: zeros, the routine, patterns that
// differ but begin with the same zeros, random bytes; one per entry.
std::string HostilePattern(Rng& rng, const Image& image, uint32_t which, uint32_t i) {
    std::string pattern;
    char item[8];
    const uint32_t length = 6 + rng.Below(40);
    for (uint32_t k = 0; k < length; ++k) {
        uint32_t byte;
        switch (which) {
        case 0: byte = 0; break;
        case 1: byte = image.routine[k % image.routine.size()]; break;
        case 2: byte = k < 6 ? 0 : k == 7 ? 1 + (i & 0xFF) : k == 9 ? 1 + (i >> 8 & 0xFF) : 0x100; break;
        default: byte = rng.OneIn(4) ? 0x100 : rng.Below(256); break;
        }
        if (byte == 0x100)
            std::snprintf(item, sizeof item, "%s??", k ? " " : "");
        else
            std::snprintf(item, sizeof item, "%s%02X", k ? " " : "", byte);
        pattern += item;
    }
    return pattern;
}

// What a twin's wildcards pointed to, as the export writes it: one number
// for each run of four "??" of the pattern, now and then another count.
std::string PointerTargets(Rng& rng, const std::string& pattern) {
    uint32_t fields = 0, run = 0;
    for (size_t at = 0; at <= pattern.size(); at += 3) {
        if (at + 1 < pattern.size() && pattern[at] == '?') {
            ++run;
            continue;
        }
        if (run % 4 == 0) fields += run / 4;
        run = 0;
    }
    if (rng.OneIn(8)) fields = rng.Below(20);
    std::string list;
    for (uint32_t k = 0; k < fields && k < 16; ++k)
        list += (k ? "," : "") + std::to_string(rng.OneIn(4) ? 0 : rng.OneIn(2) ? 1 + rng.Below(8) : rng.Word());
    return "[" + list + "]";
}

std::string HostileList(Rng& rng, const Image& image, bool storm, uint32_t& entries) {
    // Patterns that share one anchor run the search into its budget: one list in 20.
    const uint32_t which = storm || rng.OneIn(20) ? 2 : rng.Pick(std::vector<uint32_t>{0, 1, 3});
    entries = storm ? 2000 : rng.OneIn(16) ? 2000 + rng.Below(3000) : 1 + rng.Below(300);
    std::string list = "{\"format\": \"zentrilo-bookmarks\", \"modules\": [{\"name\": \"hostile\", \"base\": " +
                       std::to_string(kBase) + ", \"timestamp\": " + std::to_string(kTimestamp + 1) +
                       ", \"image_size\": 4096, \"checksum\": 0}], \"bookmarks\": [";
    // Twins with their places and pointer targets, weighed after the search.
    const bool twins = rng.OneIn(3);
    for (uint32_t i = 0; i < entries; ++i) {
        const uint32_t offset = 0x1000 + rng.Below(image.codeEnd - 0x1000);
        const std::string pattern = HostilePattern(rng, image, which, i);
        const bool unique = twins ? rng.OneIn(8) : !rng.OneIn(4);
        list += std::string(i ? ",\n" : "\n") + "{\"address\": " + std::to_string(kBase + offset) +
                ", \"module\": \"hostile\", \"module_base\": " + std::to_string(kBase) +
                ", \"offset\": " + std::to_string(offset) + ", \"pattern\": \"" + pattern +
                "\", \"pattern_position\": 0, \"pattern_unique\": " + (unique ? "true" : "false");
        if (twins) {
            std::string places = std::to_string(offset);
            for (uint32_t k = 1 + rng.Below(7); k > 0; --k) places += "," + std::to_string(0x1000 + rng.Below(image.codeEnd - 0x1000));
            list += ", \"pattern_places\": [" + places + "], \"pointer_targets\": " + PointerTargets(rng, pattern);
        }
        // The names of an exported routine it was on, which the hostile
        // export directory may or may not hold.
        if (rng.OneIn(3)) list += ", \"export_names\": " + std::to_string(rng.OneIn(2) ? 1 + rng.Below(4) : rng.Word());
        list += "}";
    }
    return list + "]" + (twins ? ", \"pattern_places_recorded\": true" : "") + "}";
}

void Clear(Session& session) {
    session.Action(kOriginPluginMenu, kMenuClear);
    session.CaptionCleared();
}

}  // namespace

void HostileDebuggeeInput(Session& session) {
    Rng& rng = session.rng();
    Image image;
    // One input in 64, a storm: 2,000 patterns that share their zeros over a
    // megabyte of zeros (unbounded, about half a minute).
    const bool storm = rng.OneIn(64);
    image.codeEnd = 0x1000 + (storm ? 0x100000 : rng.OneIn(40) ? 0x100000 + rng.Below(0x300000) : 0x1000 + rng.Below(0x40000));
    image.bytes.assign(image.codeEnd, 0);
    FillCode(rng, image, storm);
    std::pair<uint32_t, uint32_t> relocations{0, 0};
    if (!storm && rng.OneIn(3)) relocations = AddRelocations(image, rng.Pick(std::vector<uint32_t>{1, 2, 4}));
    image.bytes.resize((image.bytes.size() + 0xFFF) & ~size_t(0xFFF));
    WriteHeader(rng, image, relocations);
    const uint32_t header = storm ? 8 : rng.Below(8);
    if (header == 0) std::fill(image.bytes.begin(), image.bytes.begin() + 0x1000, 0);   // erased
    const uint32_t size = uint32_t(image.bytes.size());
    sim::AddModule(kBase, size, "hostile");
    sim::AddBlock(kBase, std::vector<uint8_t>(image.bytes.begin(), image.bytes.begin() + 0x1000));
    sim::AddBlock(kBase + 0x1000, std::vector<uint8_t>(image.bytes.begin() + 0x1000, image.bytes.end()));
    if (header == 1) sim::LimitReadable(kBase, 0);   // the header cannot be read
    Clear(session);
    sim::ShowBlock(kBase + 0x1000, size - 0x1000);

    // Export: bookmarks in the code.
    const uint32_t marks = 1 + rng.Below(30);
    for (uint32_t i = 0; i < marks; ++i) session.dll.zt_Toggle(kBase + 0x1000 + rng.Below(image.codeEnd - 0x1000));
    session.CaptionPublished();
    const std::string path = session.FilePath("hostile.json");
    sim::ChooseFile(path, kJsonType);
    DWORD started = GetTickCount();
    session.Action(kOriginPluginMenu, kMenuExport);
    DWORD took = GetTickCount() - started;
    if (took > kLongestMs) session.Fail("the export took " + std::to_string(took) + " ms");
    std::vector<std::string> flashes = session.NewFlashes();
    if (flashes.empty() || flashes.back().rfind("Zentrilo: Bookmarks exported successfully", 0) != 0)
        session.Fail("the export said \"" + (flashes.empty() ? std::string() : flashes.back()) + "\"");
    const auto written = sim::ReadFileBytes(path);
    std::string list = written ? std::string(written->begin(), written->end()) : "";
    for (size_t at = list.find("\"pattern\":\""); at != std::string::npos; at = list.find("\"pattern\":\"", at + 1)) {
        const size_t from = at + 11, to = list.find('"', from);
        if (FixedBytes(list.substr(from, to - from)) < 6)
            session.Fail("the export wrote the pattern " + list.substr(from, to - from));
    }

    // Import into "another build": the export with another timestamp, or a
    // list of hostile patterns.
    uint32_t entries = marks;
    const std::string stamp = "\"timestamp\":" + std::to_string(kTimestamp);
    const size_t stampAt = list.find(stamp);
    if (stampAt != std::string::npos && !storm && rng.OneIn(2)) {
        list.replace(stampAt, stamp.size(), "\"timestamp\":" + std::to_string(kTimestamp + 1));
        entries = uint32_t(session.BookmarkAddresses().size());
    } else {
        list = HostileList(rng, image, storm, entries);
    }
    if (!sim::WriteFileBytes(path, std::vector<uint8_t>(list.begin(), list.end())))
        return session.Fail("cannot write the list");
    Clear(session);
    sim::ChooseFile(path, kJsonType);
    const size_t flashesBefore = session.Flashes().size();
    started = GetTickCount();
    session.Action(kOriginPluginMenu, kMenuImport);
    took = GetTickCount() - started;
    if (took > kLongestMs) session.Fail("the import took " + std::to_string(took) + " ms");
    session.CaptionPublished();
    const std::string flash = session.Flashes().size() > flashesBefore ? session.Flashes().back() : "";
    const unsigned imported = CountBefore(flash, " bookmarks imported"), notFound = CountBefore(flash, " not found"),
                   ambiguous = CountBefore(flash, " ambiguous"), notSearched = CountBefore(flash, " not searched"),
                   noPattern = CountBefore(flash, " without a code pattern"), skipped = CountBefore(flash, " skipped (");
    if (flash.rfind("Zentrilo: ", 0) != 0 ||
        imported + notFound + ambiguous + notSearched + noPattern + skipped != entries)
        session.Fail("the import of " + std::to_string(entries) + " entries said \"" + flash + "\"");
    for (uint32_t address : session.BookmarkAddresses()) {
        if (address - kBase >= size) session.Fail("a bookmark was placed at " + Hex(address) + ", outside the module");
    }

    Clear(session);
    sim::RemoveMemory(kBase, size);
    sim::ShowBlock(kCode, kCodeSize);
}

}  // namespace fuzz
