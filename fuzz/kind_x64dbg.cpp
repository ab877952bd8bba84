// x64dbg databases for Import... (.dd32): bookmarks, labels and comments for
// the program's module "target.exe" (any letter case), for modules that are
// not loaded and for none, at offsets inside and past the module, with texts
// around the lengths where names and comments are cut, escaped or not, and
// x64dbg's other keys around them (long notes, nested plug-in data), the lists
// in any order. A file made whole must be imported exactly as its entries
// say; one with a field made wrong must change nothing; one cut short, with
// bytes changed or with a compressed file's head must change nothing or
// import consistently.
#include "host/debuggee.h"
#include "host/host_values.h"
#include "host/pe_header.h"
#include "kinds.h"
#include "session.h"

#include <cstdio>
#include <map>

namespace fuzz {

namespace {

constexpr DWORD kX64dbgImportType = 3;
constexpr uint32_t kModuleSize = 0x10000;
enum Section { kBookmarks, kLabels, kComments };
const char* const kSectionKeys[] = {"bookmarks", "labels", "comments"};

struct Entry {
    Section section;
    bool placed;        // in the loaded "target.exe"
    bool inNoModule;    // module ""
    bool outside;       // in "target.exe", past its end
    uint32_t address;   // when placed
    bool automatic;     // "manual": false
    std::string text;   // the label's or comment's text, ASCII
};

// A text as JSON writes it: escaped where it must be, and now and then where
// it need not be.
std::string Quoted(Rng& rng, const std::string& text) {
    std::string out = "\"";
    char escape[8];
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t' || rng.OneIn(40)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", unsigned(static_cast<unsigned char>(c)));
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string EntryText(Rng& rng) {
    const size_t length = rng.Pick(std::vector<size_t>{0, 1 + rng.Below(20), 60 + rng.Below(6), 250 + rng.Below(8),
                                                       1500, 5000});
    std::string text = Text(rng, length);
    for (char& c : text) {
        if (rng.OneIn(30)) c = rng.Pick(std::vector<char>{'"', '\\', '\n', '\t'});
    }
    return text;
}

// The other keys of x64dbg's database, which the import passes over.
std::string Noise(Rng& rng) {
    switch (rng.Below(6)) {
    case 0: return "\"notes\": \"" + std::string(rng.Below(9000), 'n') + "\\uD83D\\uDE00 caf\xC3\xA9\"";
    case 1:
        return "\"functions\": [{\"module\": \"target.exe\", \"start\": \"0x1000\", \"end\": \"0x1010\", "
               "\"manual\": true}]";
    case 2: return "\"plugins\": {\"a\": {\"b\": [1, -2.5e3, {\"c\": null, \"d\": [true, false]}]}}";
    case 3: return "\"breakpoints\": [{\"address\": \"0x1000\", \"enabled\": true, \"module\": \"target.exe\"}]";
    case 4: return "\"xrefs\": []";
    default: return "\"" + std::string(rng.Below(5000), 'k') + "\": 0";
    }
}

// One entry, recorded in `entry` and written in `json`.
std::string MakeEntry(Session& session, Section section, Entry& entry) {
    Rng& rng = session.rng();
    entry = {section, false, false, false, 0, false, ""};
    std::string module;
    switch (rng.Below(8)) {
    case 0: module = "gone.dll"; break;
    case 1: module = "othermod"; break;
    case 2: module = ""; entry.inNoModule = true; break;
    default: module = rng.Pick(std::vector<std::string>{"target.exe", "TARGET.EXE", "Target.Exe"});
    }
    uint32_t offset = session.Address() - kModuleBase;
    if (rng.OneIn(8)) offset = rng.Pick(std::vector<uint32_t>{kModuleSize - 1, kModuleSize, 0xFFFFFFFF, rng.Word()});
    if (!entry.inNoModule && module != "gone.dll" && module != "othermod") {
        entry.placed = offset < kModuleSize;
        entry.outside = !entry.placed;
        entry.address = kModuleBase + offset;
    }
    char address[16];
    std::snprintf(address, sizeof address, rng.Pick(std::vector<const char*>{"0x%X", "0x%X", "0x%x", "0x%08X"}),
                  unsigned(offset));
    std::vector<std::string> fields = {"\"module\": " + Quoted(rng, module),
                                       "\"address\": \"" + std::string(address) + "\""};
    if (!rng.OneIn(5)) {
        entry.automatic = section == kComments && rng.OneIn(4);
        fields.push_back(entry.automatic ? "\"manual\": false" : "\"manual\": true");
    }
    if (section != kBookmarks) {
        entry.text = EntryText(rng);
        fields.push_back("\"text\": " + Quoted(rng, entry.text));
    }
    if (rng.OneIn(6)) fields.push_back("\"later\": [1, {\"x\": \"y\"}]");
    std::string json = "{";
    while (!fields.empty()) {
        const size_t at = rng.Below(uint32_t(fields.size()));
        json += (json.size() > 1 ? ", " : "") + fields[at];
        fields.erase(fields.begin() + long(at));
    }
    return json + "}";
}

// A field made wrong in one entry: the import must refuse the whole file.
std::string BrokenEntry(Rng& rng) {
    return rng.Pick(std::vector<std::string>{
        "{\"module\": \"target.exe\", \"address\": 4096}",
        "{\"module\": \"target.exe\", \"address\": \"1000\"}",
        "{\"module\": \"target.exe\", \"address\": \"0x100000000\"}",
        "{\"module\": 7, \"address\": \"0x1000\"}",
        "{\"address\": \"0x1000\"}",
        "{\"module\": \"target.exe\"}",
        "{\"module\": \"target.exe\", \"address\": \"0x1000\", \"manual\": \"yes\"}",
        "{\"module\": \"" + std::string(300, 'm') + "\", \"address\": \"0x1000\"}",
        "[\"target.exe\", \"0x1000\"]",
        "null",
    });
}

struct Made {
    std::string text;
    std::vector<Entry> entries;
    bool faulty = false;    // a field made wrong, too deep, or no list: it must be refused
    bool mutated = false;   // bytes gone wrong: anything may come of it
};

Made MakeFile(Session& session) {
    Rng& rng = session.rng();
    Made made;
    std::vector<std::string> parts;
    const int broken = rng.OneIn(6) ? int(rng.Below(3)) : -1;
    for (int section : {kBookmarks, kLabels, kComments}) {
        if (rng.OneIn(6)) continue;
        std::string list = std::string("\"") + kSectionKeys[section] + "\": [";
        const uint32_t count = rng.Below(8);
        for (uint32_t i = 0; i < count; ++i) {
            Entry entry;
            list += (i ? ", " : "") + MakeEntry(session, Section(section), entry);
            made.entries.push_back(entry);
        }
        if (section == broken) {
            list += std::string(count ? ", " : "") + BrokenEntry(rng);
            made.faulty = true;
        }
        parts.push_back(list + "]");
    }
    for (uint32_t n = rng.Below(3); n > 0; --n) parts.push_back(Noise(rng));
    if (rng.OneIn(20)) {
        parts.push_back("\"deep\": " + std::string(40, '[') + std::string(40, ']'));
        made.faulty = true;
    }
    bool anySection = false;
    for (const std::string& part : parts)
        for (const char* key : kSectionKeys) anySection |= part.rfind(std::string("\"") + key + "\"", 0) == 0;
    if (!anySection) made.faulty = true;
    std::string text = "{";
    while (!parts.empty()) {
        const size_t at = rng.Below(uint32_t(parts.size()));
        text += (text.size() > 1 ? ",\n " : "") + parts[at];
        parts.erase(parts.begin() + long(at));
    }
    made.text = text + "}\n";
    // Now and then the bytes themselves go wrong.
    switch (rng.Below(12)) {
    case 0: made.text.resize(rng.Below(uint32_t(made.text.size()))); made.mutated = true; break;
    case 1: made.text[rng.Below(uint32_t(made.text.size()))] = char(rng.Word()); made.mutated = true; break;
    case 2: made.text = std::string("\x9A\x02\x00\x00\xF0", 5) + made.text; made.mutated = true; break;
    default: break;
    }
    return made;
}

std::string Cut(std::string text, size_t keep) {
    if (text.size() > keep + 2) text = text.substr(0, keep) + "...";
    return text;
}

// What the import of a file made whole must have done.
void CheckImported(Session& session, const Made& made, size_t namesBefore, bool mapped,
                   const std::string& flash) {
    unsigned bookmarks = 0, names = 0, labels = 0, comments = 0;
    unsigned inNoModule = 0, notLoaded = 0, outside = 0, noBookmark = 0;
    std::map<uint32_t, std::string> name, label, comment;
    bool published = false;
    for (const Entry& entry : made.entries) {
        if (entry.section == kComments && entry.automatic) continue;
        if (entry.section != kBookmarks && entry.text.empty()) continue;
        if (!entry.placed) {
            ++(entry.inNoModule ? inNoModule : entry.outside ? outside : notLoaded);
            continue;
        }
        const bool bookmarked = session.dll.zt_Exists(entry.address) == 1;
        switch (entry.section) {
        case kBookmarks:
            if (!bookmarked) session.Fail("bookmark " + Hex(entry.address) + " of the file was not made");
            ++bookmarks;
            published = true;
            break;
        case kLabels:
            if (!mapped && !bookmarked) {
                ++noBookmark;
                break;
            }
            if (bookmarked) ++names, name[entry.address] = Cut(entry.text, 60);
            if (mapped) ++labels, label[entry.address] = Cut(entry.text, 60);
            break;
        case kComments:
            ++comments;
            comment[entry.address] = Cut(entry.text, 252);
            break;
        }
    }
    if (published) session.CaptionPublished();
    for (const auto& [address, want] : name) {
        const uint8_t* item = session.Item(address);
        if (!item || FieldText(item + kNameAt, kNameWidth) != want)
            session.Fail("bookmark " + Hex(address) + " is not named after the file's last label there");
    }
    std::map<uint32_t, std::string> given[2];   // labels, comments
    const std::vector<sim::NameCall>& calls = sim::NameInsertions();
    for (size_t i = namesBefore; i < calls.size(); ++i)
        given[calls[i].type == kHostNameLabel ? 0 : 1][calls[i].address] = calls[i].text;
    if (given[0] != label) session.Fail("the labels given to the host are not the file's");
    if (given[1] != comment) session.Fail("the comments given to the host are not the file's manual ones");

    char text[256];
    std::snprintf(text, sizeof text, "Zentrilo: %u bookmarks, %u names, %u labels, %u comments imported", bookmarks,
                  names, labels, comments);
    std::string want = text;
    const std::pair<unsigned, const char*> reasons[] = {{inNoModule, "in no module"},
                                                        {notLoaded, "module not loaded"},
                                                        {outside, "outside the module"},
                                                        {noBookmark, "label without bookmark"}};
    const unsigned skipped = inNoModule + notLoaded + outside + noBookmark;
    if (skipped) {
        want += ", " + std::to_string(skipped) + " skipped (";
        const char* separator = "";
        for (const auto& [count, why] : reasons) {
            if (!count) continue;
            want += separator + (count == skipped ? std::string(why) : std::to_string(count) + " " + why);
            separator = ", ";
        }
        want += ")";
    }
    if (flash != want + "!") session.Fail("the import said \"" + flash + "\", not \"" + want + "!\"");
}

}  // namespace

void X64dbgDatabaseInput(Session& session) {
    Rng& rng = session.rng();
    static bool headerShown = false;   // a PE header in the world's header block: the file name comes from it
    if (!headerShown) {
        sim::PatchMemory(kModuleBase, sim::PeHeaderBytes({0x5F000000, kModuleSize, 0, false, ""}));
        sim::SetExePath("C:\\Debuggee\\target.exe");
        headerShown = true;
    }
    sim::ShowBlock(kCode, kCodeSize);
    const int mapping = int(rng.Below(3));
    sim::StoreSetting("map_bookmark_name_to_label", mapping);
    const Made made = MakeFile(session);
    const std::string path = session.FilePath("in.dd32");
    if (!sim::WriteFileBytes(path, std::vector<uint8_t>(made.text.begin(), made.text.end())))
        return session.Fail("cannot write the input file");
    const std::vector<uint32_t> before = session.BookmarkAddresses();
    const size_t namesBefore = sim::NameInsertions().size();

    sim::ChooseFile(path, kX64dbgImportType);
    session.Action(kOriginPluginMenu, kMenuImport);

    const std::vector<std::string> flashes = session.NewFlashes();
    if (flashes.size() != 1) return session.Fail(std::to_string(flashes.size()) + " flashes for one import");
    const bool refused = flashes[0].rfind("[ERROR]: Nothing imported", 0) == 0;
    if (refused) {
        if (session.BookmarkAddresses() != before || sim::NameInsertions().size() != namesBefore)
            session.Fail("a refused file changed something: " + flashes[0]);
        if (!made.faulty && !made.mutated) session.Fail("a whole file was refused: " + flashes[0]);
        return;
    }
    if (made.mutated) {
        // Bytes gone wrong can still make a valid file: then it imported.
        if (flashes[0].rfind("Zentrilo: ", 0) != 0) session.Fail("the import said \"" + flashes[0] + "\"");
        return session.CaptionStale();
    }
    if (made.faulty) return session.Fail("a faulty file was imported: " + flashes[0]);
    CheckImported(session, made, namesBefore, mapping == 1, flashes[0]);
}

}  // namespace fuzz
