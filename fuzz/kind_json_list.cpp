// JSON bookmark lists for Import...: valid lists (with and without their
// modules, entries of modules loaded where they were or elsewhere, of the
// same or another build, in no module or in none loaded, texts at and over
// their fields' limits, non-ASCII text, code patterns, the places and
// callers of twins, the keys of routines' instructions), then one mutation:
// bad pattern fields, bad places and callers, bad keys, truncation, deep nesting, huge and unterminated
// strings, bad UTF-8 and surrogates, numbers out of range, duplicate keys,
// wrong types, long keys, "\u0000", byte-order marks, whitespace runs, text
// after the end, 10,000 entries, many modules, random bytes; now and then a
// read, an allocation or the open fails.
//
// What must happen is known from the list's values for every mutation but
// the random bytes: a refused file changes nothing; an accepted one places
// each entry where its module is now, with its fields, and its status
// counts agree; an entry searched for by its pattern in another build lands
// in that module's image or nowhere. For random bytes, only what holds for
// any file is checked.
#include <windows.h>

#include "host/allocation_failure.h"
#include "host/file_failure.h"
#include "host/pe_header.h"
#include "json_list.h"
#include "kinds.h"
#include "session.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace fuzz {

namespace {

constexpr DWORD kJsonType = 2;
constexpr size_t kLongestText = 4096;          // bytes between a string's quotes
constexpr uint32_t kMostModules = 4096;
constexpr size_t kCommentField = 256, kDisassemblyField = 256, kPatternField = 288;

// The modules loaded in the fuzzer's program: "target" and "OTHERMOD" (the
// session's; another kind may give "target" a PE header), "helper" and two
// called "twin". The builds the list may record for them; what is loaded is
// read from the debuggee's memory (LoadedBuild).
struct WorldModule {
    const char* name;
    uint32_t base, size;
    bool header;
    uint32_t timestamp, imageSize, checksum;
};
const WorldModule kWorld[] = {
    {"target", kModuleBase, 0x10000, false, 0, 0, 0},
    {"OTHERMOD", kOtherBase, 0x1000, false, 0, 0, 0},
    {"helper", 0x10000000, 0x10000, true, 0x5F000002, 0x10000, 0xABCD},
    {"twin", 0x20000000, 0x10000, true, 0x5F000003, 0x10000, 0},
    {"twin", 0x20100000, 0x20000, true, 0x5F000004, 0x20000, 0x77},
};
const char* const kNotLoaded[] = {"gone", "ntdll", "kernel32", "m\xC3\xB6" "dul"};

struct Build {
    uint32_t timestamp, imageSize, checksum;
};

// The build in the PE header at base, by the format's own offsets; false when
// there is none.
bool LoadedBuild(uint32_t base, Build& build) {
    uint8_t dos[0x40];
    uint8_t pe[0x60];
    if (HostReadMemory(dos, base, sizeof dos, kHostReadMemoryMode) != sizeof dos || dos[0] != 'M' || dos[1] != 'Z') return false;
    const uint32_t at = Word(dos + 0x3C);
    if (at > 0x1000 || HostReadMemory(pe, base + at, sizeof pe, kHostReadMemoryMode) != sizeof pe || Word(pe) != 0x00004550 ||
        pe[24] != 0x0B || pe[25] != 0x01)
        return false;
    build = {Word(pe + 8), Word(pe + 24 + 56), Word(pe + 24 + 64)};
    return true;
}

void EnsureWorld() {
    if (HostFindModule(kWorld[2].base)) return;
    for (const WorldModule& module : kWorld) {
        if (!module.header) continue;
        // A code section: helper's bytes all different in turn, the twins' all NOPs.
        sim::AddModuleImage(module.base, module.size, module.name,
                            {module.timestamp, module.imageSize, module.checksum, true, std::string(module.name) + ".dll"},
                            {0x1000, {}});
        if (module.base != kWorld[2].base) {
            sim::AddBlock(module.base + 0x1000, 0x1000, 0x90);
            continue;
        }
        std::vector<uint8_t> code(0x1000);
        uint32_t state = 1;
        for (uint8_t& byte : code) byte = uint8_t((state = state * 1103515245u + 12345u) >> 16);
        sim::AddBlock(module.base + 0x1000, code);
    }
}

Text32 FromUtf8(const std::string& text) {
    Text32 out;
    for (size_t i = 0; i < text.size();) {
        const uint8_t c = uint8_t(text[i]);
        const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t code = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        for (int k = 1; k <= extra; ++k) code = code << 6 | (uint8_t(text[i + k]) & 0x3F);
        out += code;
        i += 1 + extra;
    }
    return out;
}

// A character: mostly printable ASCII, then what JSON escapes, letters of
// the code page, and characters it lacks (a CJK one, one beyond 16 bits).
char32_t Character(Rng& rng) {
    static const char32_t kOthers[] = {'"', '\\', '/', '\n', '\t', 1, 0x1F, 0xE9, 0xFC, 0xDF, 0x20AC, 0x4E2D, 0x1F600};
    if (!rng.OneIn(6)) return char32_t(0x20 + rng.Below(0x5F));
    return kOthers[rng.Below(sizeof kOthers / sizeof kOthers[0])];
}

// A text that fits a field of `field` bytes in the code page: empty, short,
// or as long as it can be.
Text32 FieldText32(Rng& rng, size_t field) {
    Text32 text;
    switch (rng.Below(4)) {
    case 0: return text;
    case 1: for (uint32_t n = rng.Below(16); n > 0; --n) text += Character(rng); break;
    default: for (size_t n = 0; n < field - 1; ++n) text += Character(rng); break;
    }
    while (Ansi(text).size() >= field) text.pop_back();
    return text;
}

// A text one byte too long for its field.
Text32 OverlongText(Rng& rng, size_t field) {
    Text32 text = FieldText32(rng, field);
    while (Ansi(text).size() < field) text += rng.OneIn(3) ? char32_t(0xE9) : char32_t('a' + rng.Below(26));
    return text;
}

const WorldModule* WorldAt(uint32_t base) {
    for (const WorldModule& module : kWorld)
        if (module.base == base) return &module;
    return nullptr;
}

std::vector<const WorldModule*> LoadedNamed(const std::string& ansi) {
    std::vector<const WorldModule*> found;
    for (const WorldModule& module : kWorld)
        if (lstrcmpiA(module.name, ansi.c_str()) == 0) found.push_back(&module);
    return found;
}

bool SameName(const HostModule* module, const std::string& ansi) {
    if (!module) return false;
    const std::string now(module->shortName, strnlen(module->shortName, kHostModuleNameLength));
    return lstrcmpiA(now.c_str(), ansi.c_str()) == 0;
}

uint32_t Offset(Rng& rng, uint32_t size) {
    switch (rng.Below(8)) {
    case 0: return rng.Below(size);
    case 1: return rng.Pick(std::vector<uint32_t>{0, size - 1, size, 0xFFFFFFFF, 0x80000000});
    default: return 0x1000 + rng.Below(48);
    }
}

// Valid keys of a routine's instructions: 1 to 20 of three hex digits
// (either case), at most 8 before the '|' and 12 after it: random, or those
// of zeroed code (add [eax],al) and of nops, which match long runs of a
// hostile debuggee's code everywhere.
std::string AlignKeys(Rng& rng) {
    const uint32_t before = rng.Below(9), after = 1 + rng.Below(12);
    const uint32_t source = rng.Below(3);
    std::string keys;
    for (uint32_t i = 0; i < before + after; ++i) {
        if (i == before) keys += '|';
        char key[4];
        const unsigned value = source == 0 ? rng.Below(0x1000) : source == 1 ? 0x633u : 0x667u;
        std::snprintf(key, sizeof key, rng.OneIn(2) ? "%03X" : "%03x", value);
        keys += key;
    }
    return keys;
}

// A valid code pattern: 1 to 96 items, hex digits of either case (random,
// the twins' NOPs, or helper's code as the debuggee holds it, so that some
// are found once, some often, some never), wildcards, at least one fixed.
void AddPattern(Rng& rng, ListEntry& entry) {
    const uint32_t length = rng.OneIn(8) ? 1 + rng.Below(96) : 1 + rng.Below(12);
    const uint32_t fixed = rng.Below(length);
    const uint32_t source = rng.Below(4);
    uint8_t code[96] = {};
    HostReadMemory(code, kWorld[2].base + 0x1000 + rng.Below(0x1000 - length), length, kHostReadMemoryMode);
    entry.pattern.clear();
    for (uint32_t i = 0; i < length; ++i) {
        if (i) entry.pattern += ' ';
        if (i != fixed && rng.OneIn(3)) {
            entry.pattern += "??";
            continue;
        }
        char item[4];
        const unsigned byte = source == 0 ? rng.Below(256) : source == 1 ? 0x90u : code[i];
        std::snprintf(item, sizeof item, rng.OneIn(2) ? "%02X" : "%02x", byte);
        entry.pattern += item;
    }
    entry.patternPosition = rng.Below(length);
    entry.patternUnique = rng.OneIn(2);
    entry.alignKeys = rng.OneIn(2) ? AlignKeys(rng) : "";
    // The names of an exported routine it was on: few, so that some name one
    // now, or any.
    entry.exportNames = rng.OneIn(3) ? (rng.OneIn(2) ? 1 + rng.Below(4) : rng.Word()) : 0;
    // The places of a twin in the old build: its own among neighbours
    // (mostly), now and then more than the import weighs.
    entry.patternPlaces.clear();
    entry.callerPatterns.clear();
    entry.callerPositions.clear();
    entry.pointerTargets.clear();
    if (entry.patternUnique || rng.OneIn(3)) return;
    // What its wildcards pointed to: mostly as many as the pattern has
    // fields, some unknown (0), now and then more than the import weighs.
    for (uint32_t n = rng.OneIn(2) ? 0 : rng.OneIn(8) ? rng.Below(20) : 1 + rng.Below(4); n > 0; --n)
        entry.pointerTargets.push_back(rng.OneIn(4) ? 0 : rng.OneIn(2) ? 1 + rng.Below(4) : rng.Word());
    // Its callers: patterns of the debuggee's code (some found once, some
    // not), now and then more than the import weighs, or fewer positions.
    for (uint32_t n = rng.OneIn(4) ? rng.Below(6) : 0; n > 0; --n) {
        ListEntry caller;
        AddPattern(rng, caller);
        entry.callerPatterns.push_back(caller.pattern);
        if (!rng.OneIn(16)) entry.callerPositions.push_back(caller.patternPosition);
    }
    const uint32_t count = rng.OneIn(8) ? rng.Below(12) : 2 + rng.Below(7);
    const uint32_t own = rng.Below(count + 1);
    for (uint32_t i = 0; i < count; ++i)
        entry.patternPlaces.push_back(i == own ? entry.offset : rng.OneIn(2) ? entry.offset + 16 * (i + 1) - 64
                                                                             : rng.Below(0x2000));
}

ListEntry MakeEntry(Session& session) {
    Rng& rng = session.rng();
    ListEntry entry;
    const uint32_t kind = rng.Below(10);
    if (kind < 2) {
        entry.address = session.Address();
    } else if (kind < 8) {
        const WorldModule& module = kWorld[rng.Below(sizeof kWorld / sizeof kWorld[0])];
        std::string name = module.name;
        if (rng.OneIn(4)) std::transform(name.begin(), name.end(), name.begin(), [&](char c) {
            return rng.OneIn(2) ? char(toupper(c)) : char(tolower(c));
        });
        entry.module = FromUtf8(name);
        entry.offset = Offset(rng, module.size);
        // Recorded where it is now, or where it was in another run.
        const uint32_t recorded = rng.OneIn(3) ? rng.Pick(std::vector<uint32_t>{module.base + 0x10000, 0x50000000,
                                                                                kWorld[2].base, kWorld[3].base})
                                               : module.base;
        entry.address = rng.OneIn(10) ? session.Address() : recorded + entry.offset;
        entry.hasModuleBase = !rng.OneIn(6);
        entry.moduleBase = recorded;
        entry.hasOffset = !rng.OneIn(10);
    } else {
        entry.module = FromUtf8(kNotLoaded[rng.Below(4)]);
        entry.offset = Offset(rng, 0x10000);
        entry.hasOffset = true;
        entry.hasModuleBase = !rng.OneIn(3);
        entry.moduleBase = 0x60000000;
        entry.address = entry.moduleBase + entry.offset;
    }
    entry.name = FieldText32(rng, kNameWidth);
    entry.comment = FieldText32(rng, kCommentField);
    entry.hasComment = !rng.OneIn(5);
    entry.original = FieldText32(rng, kDisassemblyField);
    entry.current = FieldText32(rng, kDisassemblyField);
    entry.hasActive = !rng.OneIn(5);
    entry.active = entry.hasActive ? rng.OneIn(4) == 0 : true;
    entry.changed = rng.OneIn(2);
    if (rng.OneIn(4)) AddPattern(rng, entry);
    // Where one searched for lands shows by its comment.
    if (!entry.pattern.empty()) entry.hasComment = true;
    return entry;
}

std::string Lower(const std::string& text) {
    std::string out = text;
    CharLowerBuffA(&out[0], DWORD(out.size()));
    return out;
}

// The list's modules: one for most (module, base) pairs its entries name,
// of the build loaded there or another, and now and then one no entry names.
void AddModules(Rng& rng, BookmarkList& list) {
    list.hasModules = true;
    std::set<std::pair<std::string, uint32_t>> listed;
    auto add = [&](const Text32& name, uint32_t base) {
        if (!listed.insert({Lower(Ansi(name)), base}).second) return;
        ListModule module;
        module.name = name;
        module.base = base;
        const WorldModule* world = WorldAt(base);
        if (!world) {
            const std::vector<const WorldModule*> named = LoadedNamed(Ansi(name));
            world = named.empty() ? nullptr : named.front();
        }
        module.size = world ? world->size : 0x10000;
        Build loaded;
        if (world && LoadedBuild(world->base, loaded) && !rng.OneIn(4)) {
            module.timestamp = loaded.timestamp;
            module.imageSize = loaded.imageSize;
            module.checksum = loaded.checksum;
        } else {
            module.timestamp = rng.Word();
            module.imageSize = rng.OneIn(2) ? 0x10000 : rng.Word();
            module.checksum = rng.Below(3);
        }
        switch (rng.Below(12)) {
        case 0: module.timestamp ^= 1; break;
        case 1: module.imageSize += 0x1000; break;
        case 2: module.checksum ^= 0x10; break;
        case 3: module.hasTimestamp = false; break;
        case 4: module.hasChecksum = false; break;
        default: break;
        }
        list.modules.push_back(module);
    };
    for (const ListEntry& entry : list.entries) {
        if (!entry.module.empty() && !rng.OneIn(5)) add(entry.module, entry.hasModuleBase ? entry.moduleBase : entry.address & 0xFFFF0000);
    }
    if (rng.OneIn(4)) add(FromUtf8(kWorld[rng.Below(5)].name), kWorld[rng.Below(5)].base);
    for (size_t i = list.modules.size(); i > 1; --i) std::swap(list.modules[i - 1], list.modules[rng.Below(uint32_t(i))]);
}

// ---- What the import must do ----

// A pattern the import searches: at least six fixed bytes (a weaker one, or
// none, sends its entry by offset).
bool Searchable(const std::string& pattern) {
    size_t fixed = 0;
    for (size_t at = 0; at + 1 < pattern.size(); at += 3) fixed += pattern[at] != '?';
    return fixed >= 6;
}

enum class Expect { Accept, Refuse, Either, Any };

struct Placed {
    uint32_t address;
    size_t entry;
    bool otherBuild;
    // Another build's entry with a pattern: searched for in the module at
    // address (its base) of `size` bytes, placed there or not at all.
    bool searched = false;
    uint32_t size = 0;
};

struct Outcome {
    std::vector<Placed> placed;
    unsigned notLoaded = 0, notUnique = 0, outside = 0, otherBuild = 0, searched = 0, noPattern = 0;
    std::string otherModule;
    bool otherModules = false;
};

// The listed module an entry names: by name and base, or by name alone when
// the entry has no base and one module of the list has the name.
const ListModule* Listed(const BookmarkList& list, const std::string& name, const ListEntry& entry) {
    const ListModule* found = nullptr;
    unsigned count = 0;
    for (const ListModule& module : list.modules) {
        if (lstrcmpiA(Ansi(module.name).c_str(), name.c_str()) != 0) continue;
        if (entry.hasModuleBase && (module.hasBase ? module.base : 0) != entry.moduleBase) continue;
        if (!found) found = &module;
        ++count;
    }
    return entry.hasModuleBase || count == 1 ? found : nullptr;
}

// Where each entry goes: to its address when it lay in no module, or when
// the module there has its name, base and build; else by offset into the one
// loaded module of its name (or the one at its address when that is another
// build), never past the module's end; else skipped.
Outcome Place(const BookmarkList& list) {
    Outcome outcome;
    for (size_t i = 0; i < list.entries.size(); ++i) {
        const ListEntry& entry = list.entries[i];
        const std::string module = Ansi(entry.module);
        if (module.empty()) {
            outcome.placed.push_back({entry.address, i, false});
            continue;
        }
        const std::vector<const WorldModule*> named = LoadedNamed(module);
        if (named.empty()) {
            ++outcome.notLoaded;
            continue;
        }
        const HostModule* there = HostFindModule(entry.address);
        const bool stayed = SameName(there, module) && (!entry.hasModuleBase || there->base == entry.moduleBase);
        if (!stayed && named.size() > 1) {
            ++outcome.notUnique;
            continue;
        }
        const uint32_t base = stayed ? there->base : named.front()->base;
        const ListModule* listed = list.hasModules ? Listed(list, module, entry) : nullptr;
        Build loaded;
        const bool otherBuild = listed && listed->HasBuild() &&
                                !(LoadedBuild(base, loaded) && loaded.timestamp == listed->timestamp &&
                                  loaded.imageSize == listed->imageSize && loaded.checksum == listed->checksum);
        if (!stayed || otherBuild) {
            if (!entry.hasOffset) {
                ++outcome.notLoaded;
                continue;
            }
            if (entry.offset >= HostFindModule(base)->size) {
                ++outcome.outside;
                continue;
            }
        }
        if (otherBuild && Searchable(entry.pattern)) {
            ++outcome.searched;
            outcome.placed.push_back({base, i, true, true, HostFindModule(base)->size});
            continue;
        }
        // A list that makes patterns and has none for it: its offset is the
        // old build's, and it goes nowhere.
        if (otherBuild && list.placesRecorded) {
            ++outcome.noPattern;
            continue;
        }
        const uint32_t address = stayed && !otherBuild ? entry.address : base + entry.offset;
        outcome.placed.push_back({address, i, otherBuild});
        if (otherBuild) {
            if (outcome.otherBuild++ == 0)
                outcome.otherModule = module;
            else if (lstrcmpiA(outcome.otherModule.c_str(), module.c_str()) != 0)
                outcome.otherModules = true;
        }
    }
    return outcome;
}

std::string Status(const Outcome& outcome) {
    std::string text = "Zentrilo: " + std::to_string(outcome.placed.size()) + " bookmarks imported";
    if (outcome.otherBuild && outcome.otherModules)
        text += ", " + std::to_string(outcome.otherBuild) + " from other builds of their modules (disabled)";
    else if (outcome.otherBuild)
        text += ", " + std::to_string(outcome.otherBuild) + " from another build of " + outcome.otherModule + " (disabled)";
    if (outcome.noPattern) text += ", " + std::to_string(outcome.noPattern) + " without a code pattern";
    const unsigned skipped = outcome.notLoaded + outcome.notUnique + outcome.outside;
    if (skipped) {
        text += ", " + std::to_string(skipped) + " skipped (";
        std::string parts;
        for (const auto& [count, why] : {std::pair<unsigned, const char*>{outcome.notLoaded, "module not loaded"},
                                         {outcome.notUnique, "module name not unique"},
                                         {outcome.outside, "outside the module"}}) {
            if (count == 0) continue;
            if (!parts.empty()) parts += ", ";
            parts += count == skipped ? std::string(why) : std::to_string(count) + " " + why;
        }
        text += parts + ")";
    }
    return text + "!";
}

// ---- Mutations ----

struct Input {
    BookmarkList list;
    ListText text;
    std::string file;
    Expect expect = Expect::Accept;
    const char* mutation = "none";
    std::string refusal;   // in the status when refused, if known
};

const char* const kTextKeys[] = {"name", "comment", "original_instruction", "current_instruction", "module"};
const char* const kNumberKeys[] = {"address", "offset", "module_base"};

Member* FindMember(Object& object, const std::string& key) {
    for (Member& member : object)
        if (member.key == key) return &member;
    return nullptr;
}

// A member of an entry whose value is a string: one of the known texts
// (added to the entry when it has none).
Member& TextMember(Rng& rng, Input& input, size_t& entryIndex) {
    entryIndex = rng.Below(uint32_t(input.text.entries.size()));
    Object& object = input.text.entries[entryIndex];
    std::vector<Member*> texts;
    for (Member& member : object)
        for (const char* key : kTextKeys)
            if (member.key == JsonKey(key) && member.value.size() >= 2 && member.value[0] == '"') texts.push_back(&member);
    if (!texts.empty()) return *texts[rng.Below(uint32_t(texts.size()))];
    object.push_back({JsonKey("name"), "\"\""});
    return object.back();
}

std::string FlatArray(const std::vector<Object>& objects) {
    std::string out = "[";
    for (const Object& object : objects) {
        out += out.size() > 1 ? ",{" : "{";
        for (size_t i = 0; i < object.size(); ++i) out += (i ? "," : "") + object[i].key + ":" + object[i].value;
        out += "}";
    }
    return out + "]";
}

// A JSON value of any type, nested at most `depth` containers deep.
std::string AnyValue(Rng& rng, int depth) {
    static const char* const kScalars[] = {"0", "-5", "1.5", "1e10", "4294967296", "18446744073709551616", "-0", "0.0",
                                           "true", "false", "null", "\"\"", "\"a\\u0000b\"", "\"\\ud83d\\ude00\"",
                                           "-9223372036854775809", "123456789012345678901234567890"};
    const uint32_t pick = rng.Below(depth > 0 ? 6 : 4);
    if (pick == 0) return kScalars[rng.Below(sizeof kScalars / sizeof kScalars[0])];
    if (pick == 1) return "\"" + std::string(rng.OneIn(4) ? kLongestText : rng.Below(40), 'x') + "\"";
    if (pick == 2) return JsonString(rng, FieldText32(rng, 64), true);
    if (pick == 3) return kScalars[rng.Below(4)];
    std::string out = pick == 4 ? "[" : "{";
    for (uint32_t n = rng.Below(4), i = 0; i < n; ++i) {
        if (i) out += ",";
        if (pick == 5) out += rng.Pick(std::vector<std::string>{"\"bookmarks\"", "\"address\"", "\"modules\"", "\"x\"", "\"format\""}) + ":";
        out += AnyValue(rng, depth - 1);
    }
    return out + (pick == 4 ? "]" : "}");
}

std::string Nested(size_t depth, bool closed) {
    return std::string(depth, '[') + (closed ? std::string(depth, ']') : "");
}

// Inserts a member at a random place of an object.
void Insert(Rng& rng, Object& object, const Member& member) {
    object.insert(object.begin() + long(rng.Below(uint32_t(object.size()) + 1)), member);
}

// An object of the list (root, a module or an entry) and the nesting its
// members' values start at.
Object& SomeObject(Rng& rng, Input& input, int& depth) {
    const uint32_t pick = rng.Below(3);
    if (pick == 1 && !input.text.modules.empty()) {
        depth = 3;
        return input.text.modules[rng.Below(uint32_t(input.text.modules.size()))];
    }
    if (pick == 2 && !input.text.entries.empty()) {
        depth = 3;
        return input.text.entries[rng.Below(uint32_t(input.text.entries.size()))];
    }
    depth = 1;
    return input.text.root;
}

// Mutations made on the list's values, before it is written.
void MutateValues(Session& session, Input& input, uint32_t which) {
    Rng& rng = session.rng();
    BookmarkList& list = input.list;
    switch (which) {
    case 0: {   // 10,000 entries: most skipped, or many on a few addresses
        input.mutation = "10,000 entries";
        const bool skipped = rng.OneIn(2);
        list.entries.resize(10000);
        for (uint32_t i = 0; i < 10000; ++i) {
            ListEntry& entry = list.entries[i];
            entry = ListEntry();
            if (rng.OneIn(1000)) {
                entry = MakeEntry(session);
            } else if (skipped) {
                entry.module = U"gone";
                entry.address = 0x60000000 + i;
                entry.hasOffset = true;
                entry.offset = i;
            } else {
                entry.module = U"helper";
                entry.offset = 0x1000 + rng.Below(32);
                entry.address = kWorld[2].base + entry.offset;
                entry.hasOffset = true;
                entry.name = FromUtf8(std::to_string(i));
            }
        }
        break;
    }
    case 1: {   // as many modules as the reader takes, or more
        input.mutation = "many modules";
        const uint32_t count = rng.Pick(std::vector<uint32_t>{100, kMostModules - uint32_t(list.modules.size()),
                                                               kMostModules + 1 - uint32_t(list.modules.size())});
        list.hasModules = true;
        for (uint32_t i = 0; i < count; ++i) {
            ListModule module;
            char name[16];
            std::snprintf(name, sizeof name, "m%04u", unsigned(i));
            module.name = FromUtf8(name);
            module.base = 0x40000000 + i * 0x10000;
            module.size = 0x10000;
            list.modules.push_back(module);
        }
        if (list.modules.size() > kMostModules) input.expect = Expect::Either;
        break;
    }
    case 2: {   // a text one character too long for its field
        input.mutation = "text over its field";
        ListEntry& entry = list.entries[rng.Below(uint32_t(list.entries.size()))];
        switch (rng.Below(5)) {
        case 0: entry.name = OverlongText(rng, kNameWidth); break;
        case 1: entry.comment = OverlongText(rng, kCommentField), entry.hasComment = true; break;
        case 2: entry.original = OverlongText(rng, kDisassemblyField); break;
        case 3: entry.current = OverlongText(rng, kDisassemblyField); break;
        default: entry.module = OverlongText(rng, kModuleWidth); break;
        }
        input.expect = Expect::Refuse;
        break;
    }
    case 3: {   // an entry without its address
        input.mutation = "no address";
        list.entries[rng.Below(uint32_t(list.entries.size()))].hasAddress = false;
        input.expect = Expect::Refuse;
        break;
    }
    case 4: {   // an empty list
        input.mutation = "no entries";
        list.entries.clear();
        break;
    }
    default: break;
    }
}

// A byte-order mark, other whitespace runs, text after the end.
void MutateAround(Rng& rng, Input& input, uint32_t which) {
    switch (which) {
    case 0:
        input.mutation = "byte-order mark";
        input.text.before = "\xEF\xBB\xBF";
        input.expect = Expect::Either;
        break;
    case 1: {
        input.mutation = "whitespace run";
        const size_t length = rng.Pick(std::vector<size_t>{1, 100, 4096, 16384, 65536, 1 << 20});
        for (size_t i = 0; i < length; ++i) input.text.run += " \t\r\n"[rng.Below(4)];
        input.text.runAt = rng.Below(60);
        if (rng.OneIn(3)) input.text.before = input.text.run;
        if (rng.OneIn(3)) input.text.after = input.text.run;
        break;
    }
    case 2:
        input.mutation = "text after the end";
        input.text.after = rng.Pick(std::vector<std::string>{"x", "}", "{}", ",", "[]", "0", "\"\"", "\n\n/", "\x01",
                                                             "{\"format\": \"zentrilo-bookmarks\", \"bookmarks\": []}"});
        input.expect = Expect::Refuse;
        break;
    default: break;
    }
}

// Mutations of the written members.
void MutateMembers(Session& session, Input& input, uint32_t which) {
    Rng& rng = session.rng();
    ListText& text = input.text;
    size_t entryIndex = 0;
    switch (which) {
    case 0: {   // members the reader does not know, any value within the nesting limit
        input.mutation = "unknown members";
        for (uint32_t n = 1 + rng.Below(3); n > 0; --n) {
            int depth = 0;
            Object& object = SomeObject(rng, input, depth);
            Insert(rng, object, {JsonString(rng, FieldText32(rng, 40), true), AnyValue(rng, 8 - depth)});
        }
        break;
    }
    case 1: {   // nested to the limit, or beyond it
        int depth = 0;
        Object& object = SomeObject(rng, input, depth);
        const size_t allowed = size_t(8 - depth);
        const size_t nesting = rng.Pick(std::vector<size_t>{allowed, allowed, allowed + 1, 10000, 100000});
        Insert(rng, object, {JsonKey("later"), Nested(nesting, true)});
        input.mutation = nesting <= allowed ? "nested to the limit" : "nested too deep";
        input.expect = nesting <= allowed ? Expect::Accept : Expect::Refuse;
        break;
    }
    case 2: {   // a known key spelt with escapes
        input.mutation = "escaped key";
        Member& member = text.entries[rng.Below(uint32_t(text.entries.size()))][0];
        const std::string plain = member.key.substr(1, member.key.size() - 2);
        std::string key = "\"";
        for (size_t i = 0; i < plain.size(); ++i) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", unsigned(uint8_t(plain[i])));
            key += i == 0 || rng.OneIn(3) ? std::string(escape) : std::string(1, plain[i]);
        }
        member.key = key + "\"";
        break;
    }
    case 3: {   // keys of 32 bytes and more (or with a zero), whatever their values
        input.mutation = "long key";
        int depth = 0;
        Object& object = SomeObject(rng, input, depth);
        const char* known = rng.Pick(std::vector<const char*>{"address", "name", "format", "bookmarks", "module", "version"});
        const size_t length = rng.Pick(std::vector<size_t>{31, 32, 33, 200, kLongestText});
        std::string key = known;
        if (rng.OneIn(3)) key += "\\u0000";
        key.resize(std::max(length, key.size()), 'x');
        Insert(rng, object, {"\"" + key + "\"", AnyValue(rng, 0)});
        break;
    }
    case 4: {   // a key twice: the last one counts
        input.mutation = "duplicate key";
        const uint32_t e = rng.Below(uint32_t(text.entries.size()));
        Object& object = text.entries[e];
        Member& member = object[rng.Below(uint32_t(object.size()))];
        std::string decoy;
        if (member.value == "true" || member.value == "false") decoy = JsonBool(rng.OneIn(2));
        else if (member.value[0] == '"') decoy = JsonString(rng, FieldText32(rng, kModuleWidth), false);
        else if (member.value[0] == '[') decoy = "[]";   // places or callers: the last list counts
        else if (member.value != "null") decoy = JsonNumber(rng.Word());
        else decoy = "null";
        if (rng.OneIn(4)) {   // of another type: refused, or passed over
            decoy = AnyValue(rng, 2);
            input.expect = Expect::Either;
        }
        const Member first{member.key, decoy};
        object.insert(object.begin() + (&member - &object[0]), first);
        break;
    }
    case 5: {   // a nullable field given, then null: the last one counts
        input.mutation = "field, then null";
        const uint32_t e = rng.Below(uint32_t(text.entries.size()));
        ListEntry& entry = input.list.entries[e];
        const char* key = rng.Pick(std::vector<const char*>{"module", "module_base", "offset"});
        text.entries[e].push_back({JsonKey(key), "null"});
        if (std::strcmp(key, "module") == 0) entry.module.clear();
        if (std::strcmp(key, "module_base") == 0) entry.hasModuleBase = false;
        if (std::strcmp(key, "offset") == 0) entry.hasOffset = false;
        input.expect = Expect::Either;
        break;
    }
    case 6: {   // a top-level list twice: the last one counts
        input.mutation = "two lists of a kind";
        BookmarkList decoy;
        for (uint32_t n = 1 + rng.Below(3); n > 0; --n) decoy.entries.push_back(MakeEntry(session));
        AddModules(rng, decoy);
        const ListText written = WriteList(rng, decoy, false);
        const bool modules = rng.OneIn(3);
        text.root.insert(text.root.begin(), {JsonKey(modules ? "modules" : "bookmarks"),
                                             FlatArray(modules ? written.modules : written.entries)});
        // Without a list of modules of its own, the one given first is the last.
        if (modules && !input.list.hasModules) {
            input.list.hasModules = true;
            input.list.modules = decoy.modules;
        }
        input.expect = Expect::Either;
        break;
    }
    case 7: {   // a lone or broken surrogate
        input.mutation = "bad surrogate";
        Member& member = TextMember(rng, input, entryIndex);
        const std::string bad = rng.Pick(std::vector<std::string>{"\\uD800", "\\uDBFF\\u0041", "\\uDC00", "\\uD800\\uD800",
                                                                  "\\ud83d", "\\uDFFF"});
        // Right after the opening quote or before the closing one: never within an escape.
        member.value.insert(rng.OneIn(2) ? 1 : member.value.size() - 1, bad);
        input.expect = Expect::Refuse;
        break;
    }
    case 8: {   // bytes that are not UTF-8
        input.mutation = "bad UTF-8";
        Member& member = TextMember(rng, input, entryIndex);
        const std::string bad = rng.Pick(std::vector<std::string>{"\xC3\x28", "\x80", "\xFE", "\xFF", "\xC0\xAF",
                                                                  "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                                                  "\xF8\x88\x80\x80\x80", "\xE2\x82"});
        member.value.insert(member.value.size() - 1, bad);
        input.expect = Expect::Refuse;
        break;
    }
    case 9: {   // a zero character in a text the reader keeps
        input.mutation = "zero character";
        Member& member = TextMember(rng, input, entryIndex);
        member.value.insert(rng.OneIn(2) ? 1 : member.value.size() - 1, "\\u0000");
        input.expect = Expect::Refuse;
        break;
    }
    case 10: {   // a string too long, or never ended
        Member& member = TextMember(rng, input, entryIndex);
        const size_t length = rng.Pick(std::vector<size_t>{kLongestText + 1, 5000, 1 << 20});
        if (rng.OneIn(2)) {
            input.mutation = "huge string";
            member.value = "\"" + std::string(length, 'y') + "\"";
        } else {
            input.mutation = "huge key";
            member.key = "\"" + std::string(length, 'k') + "\"";
        }
        input.expect = Expect::Refuse;
        break;
    }
    case 11: {   // a number out of range, negative or not whole (1.0, 1e3 and the like are whole)
        input.mutation = "bad number";
        const std::string bad = rng.Pick(std::vector<std::string>{"-1", "-4294967296", "4294967296", "18446744073709551616",
                                                                  "1.5", "1e-1", "1e400", "-1e400", "-1.0", "1.25E+1",
                                                                  "4.294967296e9", "99999999999999999999999"});
        if (rng.OneIn(4) && !text.modules.empty()) {
            Object& object = text.modules[rng.Below(uint32_t(text.modules.size()))];
            object.push_back({JsonKey(rng.Pick(std::vector<const char*>{"base", "size", "timestamp", "image_size", "checksum"})), bad});
        } else if (rng.OneIn(5)) {
            text.root.push_back({JsonKey("version"), bad});
        } else {
            Object& object = text.entries[rng.Below(uint32_t(text.entries.size()))];
            object.push_back({JsonKey(kNumberKeys[rng.Below(3)]), bad});
        }
        input.expect = Expect::Refuse;
        break;
    }
    case 12: {   // minus zero where the value is zero
        input.mutation = "minus zero";
        text.root.push_back({JsonKey("version"), "-0"});
        input.expect = Expect::Either;
        break;
    }
    case 13: {   // a known field of the wrong type
        input.mutation = "wrong type";
        struct Wrong {
            const char* key;
            std::vector<std::string> values;
        };
        static const Wrong kEntryFields[] = {
            {"address", {"\"1\"", "true", "null", "[]", "{}"}},
            {"name", {"5", "null", "true", "[]", "{}"}},
            {"comment", {"1", "null", "[\"x\"]"}},
            {"original_instruction", {"false", "{}"}},
            {"current_instruction", {"0", "null"}},
            {"active", {"\"yes\"", "1", "null", "[]"}},
            {"changed", {"0", "\"false\"", "null"}},
            {"module", {"5", "[]", "{}", "true"}},
            {"module_base", {"\"x\"", "true", "[]"}},
            {"offset", {"true", "{}", "\"0\""}},
        };
        static const Wrong kModuleFields[] = {
            {"name", {"5", "null", "[]"}},
            {"base", {"\"x\"", "true"}},
            {"timestamp", {"\"1\"", "[]", "false"}},
            {"checksum", {"{}"}},
        };
        static const Wrong kRootFields[] = {
            {"format", {"1", "null", "\"Zentrilo-Bookmarks\"", "\"zentrilo-bookmarks \"", "[\"zentrilo-bookmarks\"]"}},
            {"version", {"\"1\"", "true", "null", "2", "4294967295", "18446744073709551615", "[]"}},
            {"bookmarks", {"{}", "\"x\"", "1", "null"}},
            {"modules", {"{}", "1", "\"m\"", "true"}},
        };
        const uint32_t where = rng.Below(4);
        const Wrong* wrong = &kEntryFields[rng.Below(10)];
        Object* object = &text.entries[rng.Below(uint32_t(text.entries.size()))];
        if (where == 0) {
            wrong = &kRootFields[rng.Below(4)];
            object = &text.root;
        } else if (where == 1 && !text.modules.empty()) {
            wrong = &kModuleFields[rng.Below(4)];
            object = &text.modules[rng.Below(uint32_t(text.modules.size()))];
        }
        const std::string key = JsonKey(wrong->key);
        Member* member = FindMember(*object, key);
        if (!member) {
            object->push_back({key, ""});
            member = &object->back();
        }
        member->value = wrong->values[rng.Below(uint32_t(wrong->values.size()))];
        input.expect = Expect::Refuse;
        break;
    }
    case 14: {   // not an object where one belongs, or no list at all
        input.mutation = "wrong structure";
        switch (rng.Below(6)) {
        case 0: {
            Object& entry = text.entries[rng.Below(uint32_t(text.entries.size()))];
            entry.clear();
            entry.push_back({"", ""});   // joined as "{:}": not JSON
            break;
        }
        case 1: text.root.erase(std::remove_if(text.root.begin(), text.root.end(), [](const Member& m) {
                                    return m.key == JsonKey("format"); }), text.root.end()); break;
        case 2: text.root.erase(std::remove_if(text.root.begin(), text.root.end(), [](const Member& m) {
                                    return m.key == JsonKey("bookmarks"); }), text.root.end()); break;
        case 3: text.root.push_back({JsonKey("bookmarks"), rng.Pick(std::vector<std::string>{"[1]", "[[]]", "[null]",
                                                                                              "[{\"address\": 1}, \"x\"]"})});
                break;
        case 4: text.root.push_back({JsonKey("modules"), rng.Pick(std::vector<std::string>{"[1]", "[[]]", "[\"helper\"]",
                                                                                            "[{\"base\": 1}]"})});
                break;
        default: text.before = "[";
                 text.after = "]";
                 break;
        }
        input.expect = Expect::Refuse;
        break;
    }
    case 15: {   // a program path of any type, a version written 1.0
        input.mutation = "odd program or version";
        text.root.push_back(rng.OneIn(2) ? Member{JsonKey("program"), AnyValue(rng, 3)} : Member{JsonKey("version"), "1.0"});
        input.expect = Expect::Either;
        break;
    }
    case 16: {   // a number too large for a double, where nothing reads it
        input.mutation = "1e400 passed over";
        text.root.push_back({JsonKey("later"), rng.Pick(std::vector<std::string>{"1e400", "-1e400", "1e-400"})});
        input.expect = Expect::Either;
        break;
    }
    case 17: {   // a pattern, its position or uniqueness not what they must be
        input.mutation = "bad pattern";
        const uint32_t e = rng.Below(uint32_t(text.entries.size()));
        Object& object = text.entries[e];
        object.erase(std::remove_if(object.begin(), object.end(), [](const Member& m) {
                         return m.key.compare(0, 9, "\"pattern\"") == 0 || m.key.compare(0, 9, "\"pattern_") == 0; }),
                     object.end());
        ListEntry valid;
        AddPattern(rng, valid);
        const uint32_t items = uint32_t(valid.pattern.size() + 1) / 3;
        std::string pattern = "\"" + valid.pattern + "\"", position = JsonNumber(valid.patternPosition),
                    unique = JsonBool(valid.patternUnique);
        const std::string owner = "bookmark " + std::to_string(e + 1) + ": ";
        input.refusal = owner + "\"pattern\" is not a code pattern at \"pattern_position\"";
        const uint32_t how = rng.Below(8);
        if (how == 0) {   // an item's text
            static const char* const kBad[] = {"", "ABC", "?", "?a", "F?", "?0", "GG", "0x", "9 ", "\\t"};
            const char* bad = kBad[rng.Below(sizeof kBad / sizeof kBad[0])];
            const size_t at = 3 * rng.Below(items + 1);   // an item's start, or the end
            std::string body = valid.pattern;
            if (at >= body.size()) body += std::string(" ") + bad;
            else body.replace(at, 2, bad);
            pattern = "\"" + body + "\"";
        } else if (how == 1) {   // a space too many, before, after or between
            std::string body = valid.pattern;
            const uint32_t where = rng.Below(3);
            body = where == 0 ? " " + body : where == 1 ? body + " " : body.substr(0, 2) + " " + body.substr(2) + " 90";
            pattern = "\"" + body + "\"";
        } else if (how == 2) {   // more items than a pattern holds: longer than its field
            std::string body = "90";
            for (uint32_t n = 96 + rng.Below(3); n > 0; --n) body += rng.OneIn(2) ? " ??" : " 90";
            pattern = "\"" + body + "\"";
        } else if (how == 3) {   // wildcards alone
            std::string body = "??";
            for (uint32_t n = rng.Below(items + 1); n > 0; --n) body += " ??";
            pattern = "\"" + body + "\"";
        } else if (how == 4) {   // the position at or past the end
            position = JsonNumber(rng.OneIn(4) ? 0xFFFFFFFFu : items + (rng.OneIn(2) ? 0 : rng.Below(200)));
        } else if (how == 5) {
            pattern = rng.Pick(std::vector<std::string>{"144", "{}", "{\"pattern\": \"90\"}", "[\"90\"]", "true", "null"});
            input.refusal = owner + "\"pattern\" must be text";
        } else if (how == 6) {
            position = rng.Pick(std::vector<std::string>{"\"0\"", "-1", "0.5", "4294967296", "true", "{}", "[0]"});
            input.refusal = owner + "\"pattern_position\" must be a number from 0 to 4294967295";
        } else {
            unique = rng.Pick(std::vector<std::string>{"1", "0", "null", "\"true\"", "{}"});
            input.refusal = owner + "\"pattern_unique\" must be true or false";
        }
        // Text over the field's 287 characters is refused for its length;
        // text that is no code pattern, or a position outside it, is passed
        // over: the entry goes as one without a pattern.
        input.expect = Expect::Refuse;
        if (how <= 3 && pattern.size() - 2 >= kPatternField) {
            input.refusal = owner + "\"pattern\" is longer than";
        } else if (how <= 4) {
            input.expect = Expect::Accept;
            input.refusal.clear();
            input.list.entries[e].pattern.clear();
        }
        Insert(rng, object, {JsonKey("pattern"), pattern});
        Insert(rng, object, {JsonKey("pattern_position"), position});
        Insert(rng, object, {JsonKey("pattern_unique"), unique});
        break;
    }
    case 18: {   // the places of a twin, or the list's word on them, not what they must be
        input.mutation = "bad places";
        const uint32_t e = rng.Below(uint32_t(text.entries.size()));
        const std::string owner = "bookmark " + std::to_string(e + 1) + ": ";
        input.expect = Expect::Refuse;
        const uint32_t how = rng.Below(4);
        if (how == 0) {   // of another type
            Insert(rng, text.entries[e], {JsonKey("pattern_places"),
                                          rng.Pick(std::vector<std::string>{"5", "\"1\"", "true", "{}", "{\"a\": [1]}"})});
            input.refusal = owner + "\"pattern_places\" must be a list";
        } else if (how == 1) {   // an item that is no offset
            const std::string bad = rng.Pick(std::vector<std::string>{"\"2\"", "-1", "4294967296", "1.5", "[1]", "null", "{}", "true"});
            Insert(rng, text.entries[e], {JsonKey("pattern_places"), "[" + std::string(rng.OneIn(2) ? "4096," : "") + bad + "]"});
            input.refusal = owner + "\"pattern_places\" must hold numbers from 0 to 4294967295";
        } else if (how == 2 && rng.OneIn(2)) {   // callers of another type
            const bool patterns = rng.OneIn(2);
            const std::string key = patterns ? "caller_patterns" : "caller_positions";
            const std::string bad = rng.Pick(patterns ? std::vector<std::string>{"5", "{}", "[5]", "[null]", "[[\"90\"]]", "\"90\""}
                                                      : std::vector<std::string>{"5", "{}", "[\"0\"]", "[-1]", "[null]", "[4294967296]"});
            Insert(rng, text.entries[e], {JsonKey(key.c_str()), bad});
            input.refusal = owner + "\"" + key + "\" must ";
        } else if (how == 2) {   // the list's word of another type
            text.root.push_back({JsonKey("pattern_places_recorded"), rng.Pick(std::vector<std::string>{"1", "null", "\"true\"", "[]"})});
            input.refusal = "\"pattern_places_recorded\" must be true or false";
        } else if (rng.OneIn(2)) {   // what the wildcards point to, not what it must be: that evidence is lost
            std::string targets = rng.Pick(std::vector<std::string>{"5", "\"1\"", "true", "null", "{}", "{\"a\": [1]}",
                                                                    "[-1]", "[1.5]", "[\"1\"]", "[[1]]", "[null]",
                                                                    "[4294967296]", "[1,{}]", "[]"});
            if (rng.OneIn(4)) {
                targets = "[";
                for (uint32_t n = 17 + rng.Below(300); n > 0; --n) targets += (targets.size() > 1 ? "," : "") + JsonNumber(rng.Word());
                targets += "]";
            }
            Insert(rng, text.entries[e], {JsonKey("pointer_targets"), targets});
            if (rng.OneIn(2))   // and the export names: that evidence is lost too
                Insert(rng, text.entries[e], {JsonKey("export_names"),
                                              rng.Pick(std::vector<std::string>{"\"1\"", "-1", "1.5", "4294967296", "[]",
                                                                                "{\"a\": 1}", "null", "true"})});
            input.expect = Expect::Accept;
            input.refusal.clear();
        } else {   // none, empty, or more places than weighed, own or not: passed over
            std::string places = rng.Pick(std::vector<std::string>{"null", "[]", "[0]", "[4096,4096]"});
            if (rng.OneIn(2)) {
                places = "[";
                for (uint32_t n = 9 + rng.Below(300); n > 0; --n) places += (places.size() > 1 ? "," : "") + JsonNumber(rng.Word());
                places += "]";
            }
            Insert(rng, text.entries[e], {JsonKey("pattern_places"), places});
            input.expect = Expect::Accept;
            input.refusal.clear();
        }
        break;
    }
    case 19: {   // the keys of a routine not what they must be
        input.mutation = "bad align keys";
        const uint32_t e = rng.Below(uint32_t(text.entries.size()));
        Object& object = text.entries[e];
        object.erase(std::remove_if(object.begin(), object.end(),
                                    [](const Member& m) { return m.key.compare(0, 12, "\"align_keys\"") == 0; }),
                     object.end());
        if (rng.OneIn(3)) {   // of another type
            Insert(rng, object, {JsonKey("align_keys"), rng.Pick(std::vector<std::string>{"5", "true", "[]", "{}", "[\"|123\"]"})});
            input.refusal = "bookmark " + std::to_string(e + 1) + ": \"align_keys\" must be text";
            input.expect = Expect::Refuse;
            break;
        }
        // Text that is no keys, or longer than any: the entry goes without them.
        std::string keys = rng.Pick(std::vector<std::string>{"", "|", "123", "12|3", "|12", "123|456|789", "|12G",
                                                             "| 123", "123456789ABCDEF012345678|123", "null"});
        if (rng.OneIn(3)) {
            keys = AlignKeys(rng);
            for (uint32_t n = 20 + rng.Below(2000); n > 0; --n) keys += "0";
        }
        Insert(rng, object, {JsonKey("align_keys"), keys == "null" ? keys : "\"" + keys + "\""});
        input.list.entries[e].alignKeys.clear();
        input.expect = Expect::Accept;
        break;
    }
    default: break;
    }
}

// Random bytes changed, put in, taken out; or the file cut short, or within a string.
void MutateBytes(Rng& rng, Input& input, uint32_t which) {
    std::string& file = input.file;
    if (which == 0) {
        input.mutation = "truncated";
        const size_t end = file.rfind('}');
        file.resize(rng.Below(uint32_t(end)));
        input.expect = Expect::Refuse;
        return;
    }
    if (which == 1) {   // a string begun and never ended, short or huge
        input.mutation = "unterminated string";
        const size_t quote = file.find('"', rng.Below(uint32_t(file.rfind('"'))));
        file.resize(quote + 1);
        file += std::string(rng.Pick(std::vector<size_t>{0, 10, kLongestText, 1 << 20}), 'z');
        input.expect = Expect::Refuse;
        return;
    }
    input.mutation = "random bytes";
    input.expect = Expect::Any;
    static const char kSpecial[] = "\"\\{}[]:,0\xFF\x80\n -e.";
    for (uint32_t n = 1 + rng.Below(4); n > 0 && !file.empty(); --n) {
        const size_t at = rng.Below(uint32_t(file.size()));
        switch (rng.Below(4)) {
        case 0: file[at] = char(file[at] ^ (1 << rng.Below(8))); break;
        case 1: file[at] = kSpecial[rng.Below(sizeof kSpecial - 1)]; break;
        case 2: file.erase(at, 1 + rng.Below(4)); break;
        default: file.insert(at, 1, kSpecial[rng.Below(sizeof kSpecial - 1)]); break;
        }
    }
}

Input MakeInput(Session& session) {
    Rng& rng = session.rng();
    Input input;
    for (uint32_t n = rng.OneIn(8) ? rng.Below(64) : 1 + rng.Below(6); n > 0; --n)
        input.list.entries.push_back(MakeEntry(session));
    if (input.list.entries.empty()) input.list.entries.push_back(MakeEntry(session));
    if (!rng.OneIn(3)) AddModules(rng, input.list);
    input.list.placesRecorded = !rng.OneIn(4);
    // One mutation: of the values, of the members, around the root, or of bytes.
    const uint32_t group = rng.Below(16);
    if (group == 0) MutateValues(session, input, rng.OneIn(32) ? 0 : 1 + rng.Below(4));
    input.text = WriteList(rng, input.list, rng.OneIn(2));
    if (group >= 1 && group <= 10) MutateMembers(session, input, rng.Below(21));   // 20: none
    if (group == 11 || group == 12) MutateAround(rng, input, rng.Below(3));
    input.file = Join(rng, input.text);
    if (group >= 13) MutateBytes(rng, input, rng.Below(4));   // 2 and 3: random bytes
    return input;
}

// ---- Checks ----

struct Before {
    std::map<uint32_t, std::vector<uint8_t>> items;
    std::string caption;
    size_t names;
};

Before Snapshot(Session& session) {
    Before before;
    for (const uint8_t* item : sim::SortedItems(&session.Table()->sorted))
        before.items[Word(item)] = std::vector<uint8_t>(item, item + kRecordSize);
    before.caption = session.Caption(session.FindPanel());
    before.names = sim::NameInsertions().size();
    return before;
}

std::vector<sim::NameCall> NewNames(const Before& before, int type) {
    std::vector<sim::NameCall> names;
    const std::vector<sim::NameCall>& all = sim::NameInsertions();
    for (size_t i = before.names; i < all.size(); ++i)
        if (all[i].type == type) names.push_back(all[i]);
    return names;
}

// Bookmarks not in `touched` are as they were, and none went away.
void CheckUntouched(Session& session, const Before& before, const std::set<uint32_t>& touched, const char* what) {
    for (const auto& [address, bytes] : before.items) {
        const uint8_t* item = session.Item(address);
        if (!item) return session.Fail(std::string(what) + ": the bookmark at " + Hex(address) + " is gone");
        if (!touched.count(address) && std::memcmp(item, bytes.data(), kRecordSize) != 0)
            return session.Fail(std::string(what) + ": the bookmark at " + Hex(address) + " changed");
    }
    for (const uint8_t* item : sim::SortedItems(&session.Table()->sorted))
        if (!before.items.count(Word(item)) && !touched.count(Word(item)))
            return session.Fail(std::string(what) + ": a bookmark appeared at " + Hex(Word(item)));
}

void CheckNothingChanged(Session& session, const Before& before, const std::string& flash) {
    const std::string what = "refused (" + flash + ")";
    CheckUntouched(session, before, {}, what.c_str());
    if (sim::NameInsertions().size() != before.names) session.Fail(what + ", yet names or comments were given");
    if (session.Caption(session.FindPanel()) != before.caption)
        session.Fail(what + ", yet the caption went from \"" + before.caption + "\" to \"" +
                     session.Caption(session.FindPanel()) + "\"");
}

// What holds for any file accepted, in whole or in part: at most one comment
// per bookmark imported (none where the entry has no comment), and only
// bookmarks that got one changed or appeared.
void CheckCounted(Session& session, const Before& before, unsigned imported, const char* what) {
    const std::vector<sim::NameCall> comments = NewNames(before, kHostNameComment);
    if (comments.size() > imported)
        session.Fail(std::string(what) + ": " + std::to_string(imported) + " imported, but " +
                     std::to_string(comments.size()) + " comments given");
    std::set<uint32_t> touched;
    for (const sim::NameCall& comment : comments) touched.insert(comment.address);
    for (uint32_t address : touched)
        if (session.dll.zt_Exists(address) != 1) session.Fail(std::string(what) + ": " + Hex(address) + " got a comment but no bookmark");
    // Entries without a comment change bookmarks too: no more than were imported.
    for (const uint8_t* item : sim::SortedItems(&session.Table()->sorted)) {
        const auto was = before.items.find(Word(item));
        if (was == before.items.end() || std::memcmp(item, was->second.data(), kRecordSize) != 0) touched.insert(Word(item));
    }
    if (touched.size() > imported)
        session.Fail(std::string(what) + ": " + std::to_string(touched.size()) + " bookmarks changed or appeared, " +
                     std::to_string(imported) + " imported");
    CheckUntouched(session, before, touched, what);
    if (NewNames(before, kHostNameLabel).size() > imported) session.Fail(std::string(what) + ": more labels than bookmarks imported");
}

unsigned Leading(const std::string& text, const char* prefix) {
    unsigned value = 0;
    std::sscanf(text.c_str() + std::strlen(prefix), "%u", &value);
    return value;
}

// A name or comment the host must get: at an address, or (searched) at
// any address of a module's image or not at all.
struct Want {
    uint32_t address;
    std::string text;
    const Placed* searched;
};

// Whether the names given are the wanted ones in order, some searched ones
// left out: reach[k] says the wants so far match the names so far with k
// left out.
bool Matches(const std::vector<sim::NameCall>& got, const std::vector<Want>& want) {
    std::vector<char> reach(1, 1);
    for (size_t i = 0; i < want.size(); ++i) {
        const Want& w = want[i];
        std::vector<char> next(reach.size() + (w.searched ? 1 : 0), 0);
        for (size_t k = 0; k < reach.size(); ++k) {
            if (!reach[k]) continue;
            const size_t j = i - k;
            if (j < got.size() && got[j].text == w.text &&
                (w.searched ? got[j].address - w.searched->address < w.searched->size : got[j].address == w.address))
                next[k] = 1;
            if (w.searched) next[k + 1] = 1;
        }
        reach.swap(next);
    }
    return got.size() <= want.size() && want.size() - got.size() < reach.size() && reach[want.size() - got.size()];
}

// The count the status gives before `phrase`, 0 when it has none.
unsigned CountBefore(const std::string& status, const char* phrase) {
    const size_t at = status.find(phrase);
    if (at == std::string::npos) return 0;
    const size_t comma = status.rfind(", ", at);
    return unsigned(std::strtoul(status.c_str() + (comma == std::string::npos ? 0 : comma + 2), nullptr, 10));
}

// With entries searched for, the status's counts add up: each entry is
// imported, not found, ambiguous or skipped.
void CheckSearchedCounts(Session& session, const Outcome& outcome, size_t entries, const std::string& flash) {
    const unsigned imported = Leading(flash, "Zentrilo: "), found = CountBefore(flash, " found in the new build"),
                   notFound = CountBefore(flash, " not found"), ambiguous = CountBefore(flash, " ambiguous"),
                   notSearched = CountBefore(flash, " not searched"), skipped = CountBefore(flash, " skipped ("),
                   noPattern = CountBefore(flash, " without a code pattern"),
                   disabled = std::max(CountBefore(flash, " from another build of "), CountBefore(flash, " from other builds "));
    const unsigned known = unsigned(outcome.placed.size()) - outcome.searched;
    if (imported + notFound + ambiguous + notSearched + noPattern + skipped != entries || imported != known + found ||
        noPattern != outcome.noPattern ||
        found + notFound + ambiguous + notSearched != outcome.searched ||
        skipped != outcome.notLoaded + outcome.notUnique + outcome.outside ||
        disabled != outcome.otherBuild)
        session.Fail("the status \"" + flash + "\" does not add up to " + std::to_string(entries) + " entries, " +
                     std::to_string(outcome.searched) + " searched for");
}

// An accepted list whose values are known: every entry where its module is,
// with its fields, its comment and label, and the counts in the status bar;
// an entry searched for in another build in its module or nowhere.
void CheckPlaced(Session& session, const Input& input, const Before& before, const std::string& flash, bool labels,
                 const std::string& what) {
    const Outcome outcome = Place(input.list);
    if (outcome.searched) {
        CheckSearchedCounts(session, outcome, input.list.entries.size(), flash);
    } else {
        const std::string want = Status(outcome);
        if (flash != want) session.Fail(what + ": the status says \"" + flash + "\", the list makes \"" + want + "\"");
    }
    const std::vector<sim::NameCall> comments = NewNames(before, kHostNameComment), given = NewNames(before, kHostNameLabel);
    std::map<uint32_t, const Placed*> last;
    std::map<uint32_t, size_t> known, commented;
    std::set<uint32_t> touched;
    for (const Placed& placed : outcome.placed) {
        if (placed.searched) continue;
        last[placed.address] = &placed;
        // A searched-for entry placed here too shows by one comment more.
        if (input.list.entries[placed.entry].hasComment) ++known[placed.address];
        touched.insert(placed.address);
    }
    // Where one searched for was placed, only its comment and label are known.
    for (const sim::NameCall& comment : comments) ++commented[comment.address];
    if (outcome.searched)
        for (const sim::NameCall& comment : comments) touched.insert(comment.address);
    CheckUntouched(session, before, touched, "imported");
    std::vector<uint8_t> source(kRecordSize, 0);
    for (const auto& [address, placed] : last) {
        if (commented[address] > known[address]) continue;
        const ListEntry& entry = input.list.entries[placed->entry];
        const std::string module = Ansi(entry.module), original = Ansi(entry.original), name = Ansi(entry.name);
        std::memset(source.data(), 0, source.size());
        std::memcpy(&source[kModuleAt], module.data(), module.size());
        std::memcpy(&source[kOriginalAt], original.data(), original.size());
        const HostModule* now = HostFindModule(address);
        const bool marked = now && !SameName(now, module);
        const uint8_t active = entry.active && !placed->otherBuild && !marked ? 1 : 0;
        CompareFields(session, address, source.data(), active, marked ? kModuleChanged : name.empty() ? "n/a" : name,
                      "the list, " + what + ",");
    }
    // The host got each comment and label in the list's order.
    std::vector<Want> wantComments, wantLabels;
    for (const Placed& placed : outcome.placed) {
        const ListEntry& entry = input.list.entries[placed.entry];
        const Placed* searched = placed.searched ? &placed : nullptr;
        if (entry.hasComment) wantComments.push_back({placed.address, Ansi(entry.comment), searched});
        const std::string name = Ansi(entry.name);
        if (labels && !name.empty() && name != "n/a" && name != kModuleChanged) wantLabels.push_back({placed.address, name, searched});
    }
    if (!Matches(comments, wantComments))
        session.Fail(std::to_string(comments.size()) + " comments given, not the list's " + std::to_string(wantComments.size()));
    if (!Matches(given, wantLabels))
        session.Fail(std::to_string(given.size()) + " labels given, not the list's " + std::to_string(wantLabels.size()));
}

bool Starts(const std::string& text, const char* prefix) { return text.compare(0, std::strlen(prefix), prefix) == 0; }

}  // namespace

void JsonListInput(Session& session) {
    Rng& rng = session.rng();
    EnsureWorld();
    sim::ResetNames();
    sim::ShowBlock(session.PaneBase(), kCodeSize);
    const int mapping = int(rng.Below(3));
    sim::StoreSetting("map_bookmark_name_to_label", mapping);
    Input input = MakeInput(session);
    const std::string path = session.FilePath("in.json");
    if (const char* keep = std::getenv("ZENTRILO_FUZZ_KEEP"))   // a Windows path for the last input
        sim::WriteFileBytes(keep, std::vector<uint8_t>(input.file.begin(), input.file.end()));
    if (!sim::WriteFileBytes(path, std::vector<uint8_t>(input.file.begin(), input.file.end())))
        return session.Fail("cannot write the input file");
    // Now and then a read (of either pass), an allocation or the open fails.
    const uint32_t fault = rng.Below(32);
    const int reads = int(input.file.size() / 16383) + 2;
    if (fault == 0 || fault == 1) sim::FailFileRead(1 + int(rng.Below(uint32_t(2 * reads))));
    if (fault == 2) sim::FailNextAllocation();
    if (fault == 3) sim::FailFileOpen();
    const bool faultMade = fault <= 3;
    const Before before = Snapshot(session);
    const size_t dialogs = sim::FileDialogs().size();

    sim::ChooseFile(path, kJsonType);
    session.Action(kOriginPluginMenu, kMenuImport);
    const bool readFailed = (fault == 0 || fault == 1 || fault == 3) && !sim::FileFailurePending();
    sim::ResetFileStubs();
    sim::ResetAllocationStub();
    if (sim::FileDialogs().size() != dialogs + 1) return session.Fail("Import... asked for no file");

    const std::string what = std::string(input.mutation) + " (" + std::to_string(input.file.size()) + " bytes)";
    const std::vector<std::string> flashes = session.NewFlashes();
    if (flashes.size() != 1) return session.Fail(std::to_string(flashes.size()) + " status messages for " + what);
    const std::string& flash = flashes[0];
    if (Starts(flash, "[ERROR]: Nothing imported")) {
        CheckNothingChanged(session, before, flash);
        if (!faultMade && input.expect == Expect::Accept) session.Fail("refused " + what + ": " + flash);
        if (!faultMade && !input.refusal.empty() && flash.find(input.refusal) == std::string::npos)
            session.Fail("refused " + what + " with \"" + flash + "\", not for \"" + input.refusal + "\"");
        if (flash.back() != '!') session.Fail("the status \"" + flash + "\" is not a sentence");
        return;
    }
    if (Starts(flash, "[ERROR]: Import stopped")) {
        const char* const prefixes[] = {"[ERROR]: Import stopped after ",
                                        "[ERROR]: Import stopped by a lack of memory after ",
                                        "[ERROR]: Import stopped by a read error after "};
        const char* prefix = prefixes[0];
        for (const char* candidate : prefixes)
            if (Starts(flash, candidate)) prefix = candidate;
        const unsigned imported = Leading(flash, prefix);
        if (!faultMade) session.Fail("stopped part way with no fault made: " + flash);
        if (imported) session.CaptionPublished();
        return CheckCounted(session, before, imported, flash.c_str());
    }
    if (!Starts(flash, "Zentrilo: ") || flash.find(" bookmarks imported") == std::string::npos)
        return session.Fail("the status \"" + flash + "\" after " + what);
    const unsigned imported = Leading(flash, "Zentrilo: ");
    if (imported) session.CaptionPublished();
    if (readFailed) return session.Fail("imported, though a read failed: " + flash);
    if (input.expect == Expect::Refuse) session.Fail("accepted " + what + ": " + flash);
    // A failed allocation may have left a bookmark unstored.
    if (input.expect == Expect::Any || input.expect == Expect::Refuse || fault == 2)
        return CheckCounted(session, before, imported, flash.c_str());
    CheckPlaced(session, input, before, flash, mapping == 1, what);
}

}  // namespace fuzz
