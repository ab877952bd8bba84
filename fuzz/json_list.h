// JSON bookmark lists for the fuzzer: a list as values (its modules and
// entries with their fields), the JSON text it is written as, kept in parts
// (members of objects) that mutations change before they are joined, and the
// debugger's code page for texts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "random.h"

namespace fuzz {

// Texts as code points, so that each can be written plainly or escaped.
using Text32 = std::u32string;

struct ListEntry {
    bool hasAddress = true;
    uint32_t address = 0;
    Text32 module;   // empty: in no module (absent, null or "")
    bool hasModuleBase = false;
    uint32_t moduleBase = 0;
    bool hasOffset = false;
    uint32_t offset = 0;
    Text32 name, comment, original, current;
    bool hasComment = true;   // without, the debugger's comment stays as it is
    bool active = true;   // the reader's default when the field is absent
    bool hasActive = true;
    bool changed = false;
    // A code pattern's text (empty: none), its position and uniqueness.
    std::string pattern;
    uint32_t patternPosition = 0;
    bool patternUnique = false;
    // Where a pattern not unique lay in the old build ("pattern_places",
    // written when not empty).
    std::vector<uint32_t> patternPlaces;
    // Its callers' patterns and positions ("caller_patterns",
    // "caller_positions", written when not empty).
    std::vector<std::string> callerPatterns;
    std::vector<uint32_t> callerPositions;
    // The keys of its routine's instructions ("align_keys", written when not
    // empty), as they stand in the file.
    std::string alignKeys;
    // What its wildcards pointed to ("pointer_targets", written when not
    // empty).
    std::vector<uint32_t> pointerTargets;
    // The description of the exported routine's names ("export_names", written
    // when not 0).
    uint32_t exportNames = 0;
};

struct ListModule {
    Text32 name;
    bool hasBase = true;
    uint32_t base = 0, size = 0;
    bool hasTimestamp = true, hasImageSize = true, hasChecksum = true;
    uint32_t timestamp = 0, imageSize = 0, checksum = 0;
    bool HasBuild() const { return hasTimestamp && hasImageSize && hasChecksum; }
};

struct BookmarkList {
    bool hasModules = false;
    bool placesRecorded = false;   // "pattern_places_recorded": true
    std::vector<ListModule> modules;
    std::vector<ListEntry> entries;
};

// A member of a JSON object: its key and its value, both as JSON text.
struct Member {
    std::string key;
    std::string value;
};
using Object = std::vector<Member>;

// The list as JSON parts. The root's "modules" and "bookmarks" members hold
// the placeholder values kModulesSlot and kEntriesSlot, which the join fills
// with the arrays of `modules` and `entries`.
struct ListText {
    Object root;
    std::vector<Object> modules, entries;
    std::string before, after;   // around the root object
    // Where the join puts a whitespace run (a separator index), and the run.
    size_t runAt = size_t(-1);
    std::string run;
};
constexpr char kModulesSlot[] = "@modules", kEntriesSlot[] = "@entries";

// JSON text of values: a string escaped where it must be and, now and then
// (escapes true), where it may be; numbers; true/false.
std::string JsonString(Rng& rng, const Text32& text, bool escapes);
std::string JsonKey(const char* key);
std::string JsonNumber(uint64_t value);
inline std::string JsonBool(bool value) { return value ? "true" : "false"; }

// The list as parts, every field the reader knows written (or left out as
// the model says), in random order now and then.
ListText WriteList(Rng& rng, const BookmarkList& list, bool escapes);
Object WriteEntry(Rng& rng, const ListEntry& entry, bool escapes);
// The whole file.
std::string Join(Rng& rng, const ListText& text);

// A text in the debugger's code page, as the system converts it.
std::string Ansi(const Text32& text);
std::string Utf8(const Text32& text);

}  // namespace fuzz
