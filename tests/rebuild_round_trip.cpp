#include "rebuild_round_trip.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <map>

namespace {

constexpr int kImport = 2, kExport = 3;
constexpr DWORD kJsonType = 2;

double Now() {
    LARGE_INTEGER frequency, count;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&count);
    return double(count.QuadPart) / double(frequency.QuadPart);
}

// The build's image in the debugged process as the loader leaves it: one
// block from the headers' page on, the base it chose written into the
// header, and a module record; the CPU pane shows its first code range.
void Map(const rebuild::Build& build, const std::string& name) {
    std::vector<uint8_t> image = build.image;
    uint32_t nt;
    std::memcpy(&nt, &image[0x3C], 4);
    std::memcpy(&image[nt + 24 + 28], &build.view.base, 4);
    sim::AddBlock(build.view.base, image);
    sim::AddModule(build.view.base, uint32_t(image.size()), name);
    const zt::CodeRange& code = build.facts.code[0];
    sim::ShowBlock(build.view.base + code.begin, code.end - code.begin);
}

std::string Field(const std::string& line, const std::string& key) {
    const size_t at = line.find("\"" + key + "\":");
    if (at == std::string::npos) return "";
    const size_t from = at + key.size() + 3;
    return line.substr(from, line.find_first_of(",}", from) - from);
}

}  // namespace

RebuildRoundTrip::Carried RebuildRoundTrip::Carry(const rebuild::Build& a, const rebuild::Build& b,
                                                  const std::vector<rebuild::Bookmark>& marks,
                                                  const std::string& name, bool lean,
                                                  const std::function<std::string(const std::string&)>& rewrite) {
    Carried carried;
    carried.outcomes.assign(marks.size(), rebuild::Outcome{rebuild::Outcome::kNotPlaced, 0, true});
    const std::string list = folder_.Path("rebuild.json");

    sim::UseLeanTables(lean);
    Map(a, name);
    EXPECT_EQ(0, Start());
    for (size_t i = 0; i < marks.size(); ++i) {
        const uint32_t address = rebuild::AddressIn(a, marks[i]);
        dll.zt_Toggle(address);
        SetName(address, std::to_string(i));
    }
    EXPECT_EQ(int(marks.size()), dll.zt_Count());
    sim::ChooseFile(list, kJsonType);
    double start = Now();
    Action(kOriginPluginMenu, kExport);
    carried.exportSeconds = Now() - start;

    // What the list says of each bookmark's pattern (one bookmark a line).
    std::map<std::string, std::pair<bool, bool>> patterns;  // name -> has one, unique
    const auto bytes = sim::ReadFileBytes(list);
    EXPECT_TRUE(bytes.has_value());
    const std::string text = bytes ? std::string(bytes->begin(), bytes->end()) : "";
    carried.listBytes = text.size();
    for (size_t at = text.find(",\"pattern_places\":"); at != std::string::npos;
         at = text.find(",\"pattern_places\":", at + 1))
        carried.placesBytes += text.find(']', at) + 1 - at;
    for (const char* key : {",\"caller_patterns\":", ",\"caller_positions\":"}) {
        for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) {
            carried.callersBytes += text.find(']', at) + 1 - at;
            carried.withCallers += std::strstr(key, "patterns") != nullptr;
        }
    }
    for (size_t at = text.find(",\"align_keys\":"); at != std::string::npos; at = text.find(",\"align_keys\":", at + 1))
        carried.alignBytes += text.find('"', at + 15) + 1 - at;
    for (size_t at = text.find(",\"pointer_targets\":"); at != std::string::npos;
         at = text.find(",\"pointer_targets\":", at + 1)) {
        carried.targetsBytes += text.find(']', at) + 1 - at;
        ++carried.withTargets;
    }
    for (size_t from = 0, end; from < text.size(); from = end + 1) {
        end = text.find('\n', from);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(from, end - from);
        if (line.find("\"offset\":") == std::string::npos) continue;
        patterns[Field(line, "name")] = {!Field(line, "pattern").empty(), Field(line, "pattern_unique") == "true"};
        const size_t fields = line.find(",\"pattern\":"), unique = line.find("\"pattern_unique\":");
        if (fields != std::string::npos && unique != std::string::npos)
            carried.patternBytes += line.find_first_of(",}", unique) - fields;
    }
    EXPECT_EQ(marks.size(), patterns.size());
    if (rewrite) {
        const std::string changed = rewrite(text);
        EXPECT_TRUE(sim::WriteFileBytes(list, std::vector<uint8_t>(changed.begin(), changed.end())));
    }

    // The next run: B at its own base, a fresh plug-in.
    PluginTest::TearDown();
    PluginTest::SetUp();
    sim::UseLeanTables(lean);
    Map(b, name);
    EXPECT_EQ(0, Start());
    sim::ChooseFile(list, kJsonType);
    start = Now();
    Action(kOriginPluginMenu, kImport);
    carried.importSeconds = Now() - start;
    carried.status = LastFlash();

    for (size_t i = 0; i < marks.size(); ++i) {
        const auto pattern = patterns.find("\"" + std::to_string(i) + "\"");
        if (pattern == patterns.end()) continue;
        if (!pattern->second.first) carried.outcomes[i].kind = rebuild::Outcome::kNoPattern;
        carried.outcomes[i].uniqueAtExport = pattern->second.second;
    }
    HostTable* table = Table();
    if (!table || !sim::IsLiveSorted(&table->sorted)) return carried;
    for (const uint8_t* item : sim::SortedItems(&table->sorted)) {
        const sim::BookmarkFields fields = sim::ReadBookmark(item);
        char* end = nullptr;
        const unsigned long i = std::strtoul(fields.name.c_str(), &end, 10);
        if (fields.name.empty() || *end || i >= marks.size()) {
            ADD_FAILURE() << "a bookmark that was not exported: " << fields.name;
            continue;
        }
        rebuild::Outcome& outcome = carried.outcomes[i];
        if (outcome.kind == rebuild::Outcome::kNoPattern) ++carried.placedWithoutPattern;
        outcome.kind = rebuild::Outcome::kPlaced;
        outcome.address = fields.address;
        carried.placedActive += fields.active;
    }
    return carried;
}
