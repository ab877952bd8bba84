// Program XML for Import... as Ghidra and IDA's plug-in write it: bookmarks
// of every type, symbols of every source, comments of every type in groups
// by address, for the program "target.exe" (any letter case) or one that is
// not loaded, with or without an image base (any base), addresses in every
// form Ghidra and IDA write, inside the module and past it, texts with what
// XML must escape, around the lengths where names and comments are cut, and
// the program's other sections around them. A file made whole must be
// imported exactly as its entries say; one with a fault (a bad address, a
// missing attribute, another root, an entity bomb, a tag too long) must change
// nothing; one cut short or with bytes changed must change nothing or import.
#include "host/debuggee.h"
#include "host/host_values.h"
#include "host/pe_header.h"
#include "kinds.h"
#include "session.h"

#include <cstdio>
#include <map>

namespace fuzz {

namespace {

constexpr DWORD kProgramXmlImportType = 4;
constexpr uint32_t kModuleSize = 0x10000;
const char* const kCommentTypes[] = {"plate", "pre", "end-of-line", "post", "repeatable"};
constexpr char kOurs[] = "Zentrilo", kOursDisabled[] = "Zentrilo (disabled)";

enum Element { kBookmark, kSymbol, kComment };

struct Entry {
    Element element;
    uint32_t address;        // in the debugged process, when the file counts from the module's base
    bool external = false;   // in Ghidra's EXTERNAL space: passed over
    bool taken = true;       // a Note bookmark, a user's or imported primary symbol, any comment
    const char* passedOver = nullptr;
    std::string text;        // description, name or comment
    int commentType = 0;
    int active = -1;         // bookmarks: 1 or 0 when the category is ours
};

struct Made {
    std::string text;
    std::vector<Entry> entries;
    bool loaded = true;     // the program's name is that of the loaded module
    bool faulty = false;    // must be refused
    bool mutated = false;   // anything may come of it
};

std::string Escaped(const std::string& text, bool attribute) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += attribute ? "&quot;" : "\""; break;
        default: out += c;
        }
    }
    return out;
}

std::string EntryText(Rng& rng) {
    return Text(rng, rng.Pick(std::vector<size_t>{0, 1 + rng.Below(20), 60 + rng.Below(6), 250 + rng.Below(8),
                                                  1500}));
}

class FileWriter {
public:
    FileWriter(Session& session, Made& made) : session_(session), rng_(session.rng()), made_(made) {
        hasBase_ = !rng_.OneIn(3);
        base_ = rng_.Pick(std::vector<uint32_t>{0x400000, 0x400000, 0x10000000, 0xFFFF0000, rng_.Word()});
        if (!hasBase_) base_ = kModuleBase;
    }

    std::string Write() {
        std::string text = rng_.OneIn(8) ? "\xEF\xBB\xBF" : "";
        if (!rng_.OneIn(6)) text += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
        text += "<?program_dtd version=\"1\"?>\n";
        if (rng_.OneIn(2))
            text += "<!DOCTYPE PROGRAM [\n<!ELEMENT PROGRAM ANY>\n<!ATTLIST PROGRAM NAME CDATA #REQUIRED"
                    " IMAGE_BASE CDATA #IMPLIED>\n<!ELEMENT COMMENT (#PCDATA)>\n]>\n";
        made_.loaded = !rng_.OneIn(6);
        std::string program = made_.loaded ? rng_.Pick(std::vector<std::string>{"target.exe", "TARGET.EXE", "Target.Exe"})
                                           : "gone.exe";
        text += "<PROGRAM NAME=\"" + program + "\"";
        if (rng_.OneIn(3)) text += " EXE_PATH=\"/C:/Debuggee/" + program + "\"";
        if (hasBase_) text += " IMAGE_BASE=\"" + Address(base_, rng_.Below(3)) + "\"";
        text += ">\n";
        if (rng_.OneIn(2))
            text += "<DATATYPES><STRUCTURE NAME=\"S\"><REGULAR_CMT>a type's</REGULAR_CMT></STRUCTURE></DATATYPES>\n"
                    "<MEMORY_MAP><MEMORY_SECTION NAME=\".text\" START_ADDR=\"00401000\" LENGTH=\"0x1000\" /></MEMORY_MAP>\n";
        if (!rng_.OneIn(6)) text += Comments();
        if (!rng_.OneIn(6)) text += Bookmarks();
        if (!rng_.OneIn(6)) text += Symbols();
        if (rng_.OneIn(2))
            text += "<FUNCTIONS><FUNCTION ENTRY_POINT=\"00401000\"><COMMENTS><COMMENT ADDRESS=\"00401000\""
                    " TYPE=\"pre\">nested</COMMENT></COMMENTS></FUNCTION></FUNCTIONS>\n"
                    "<MARKUP><BOOKMARK ADDRESS=\"00401000\" TYPE=\"Note\" DESCRIPTION=\"elsewhere\" /></MARKUP>\n";
        return text + "</PROGRAM>\n" + (rng_.OneIn(5) ? "<!-- after the end -->\n" : "");
    }

private:
    // The address as the file writes it: in its form of Ghidra's or IDA's.
    std::string Address(uint32_t value, uint32_t form) {
        char text[32];
        const char* const formats[] = {"%08X", "%08x", "0x%X", "ram:%08X", "0x%08x"};
        std::snprintf(text, sizeof text, formats[form % 5], unsigned(value));
        return text;
    }
    std::string FileAddress(const Entry& entry) {
        if (entry.external) return "EXTERNAL:" + Address(rng_.Below(0x100), 0);
        return Address(entry.address - kModuleBase + base_, rng_.Below(5));
    }

    Entry NewEntry(Element element, uint32_t address) {
        Entry entry;
        entry.element = element;
        entry.address = address;
        entry.external = rng_.OneIn(20);
        if (entry.external) entry.passedOver = "in another address space";
        return entry;
    }

    // Now and then one entry is made wrong, and the file must be refused.
    std::string Broken(const std::string& element) {
        made_.faulty = true;
        const std::string type = element == "COMMENT" ? " TYPE=\"pre\"" : "";
        switch (rng_.Below(4)) {
        case 0:
            return "<" + element + " ADDRESS=\"" +
                   rng_.Pick(std::vector<std::string>{"0040100G", "", "0x", ":1", "100000000", "ram:"}) + "\"" + type +
                   " NAME=\"n\" />\n";
        case 1: return "<" + element + " TYPE=\"Note\" NAME=\"n\" />\n";
        case 2:
            return element == "SYMBOL"    ? "<SYMBOL ADDRESS=\"00401000\" />\n"
                   : element == "COMMENT" ? "<COMMENT ADDRESS=\"00401000\" TYPE=\"eol\">x</COMMENT>\n"
                                          : "<BOOKMARK ADDRESS=\" 401000\" />\n";
        default: return "<" + element + " ADDRESS=\"&#x31;00000000\" TYPE=\"Note\" NAME=\"n\" />\n";
        }
    }

    std::string Bookmarks() {
        std::string text = "<BOOKMARKS>\n";
        for (uint32_t n = rng_.Below(8); n > 0; --n) {
            Entry entry = NewEntry(kBookmark, session_.Address());
            std::string type = rng_.Pick(std::vector<std::string>{"", "Note", "Note", "note", "Analysis", "Error", "Info", "Warning"});
            // The type is looked at before the address.
            if (!type.empty() && type != "Note" && type != "note") {
                entry.taken = false;
                entry.passedOver = "by analysis";
            }
            std::string element = "<BOOKMARK ADDRESS=\"" + FileAddress(entry) + "\"";
            if (!type.empty()) element += " TYPE=\"" + type + "\"";
            switch (rng_.Below(4)) {
            case 0: element += std::string(" CATEGORY=\"") + kOurs + "\""; entry.active = 1; break;
            case 1: element += std::string(" CATEGORY=\"") + kOursDisabled + "\""; entry.active = 0; break;
            case 2: element += " CATEGORY=\"Found Code\""; break;
            default: break;
            }
            entry.text = rng_.OneIn(4) ? "" : EntryText(rng_);
            if (!entry.text.empty() || rng_.OneIn(2)) element += " DESCRIPTION=\"" + Escaped(entry.text, true) + "\"";
            text += element + " />\n";
            made_.entries.push_back(entry);
        }
        if (rng_.OneIn(15)) text += Broken("BOOKMARK");
        return text + "</BOOKMARKS>\n";
    }

    std::string Symbols() {
        std::string text = "<SYMBOL_TABLE>\n";
        for (uint32_t n = rng_.Below(8); n > 0; --n) {
            Entry entry = NewEntry(kSymbol, session_.Address());
            const std::string source = rng_.Pick(std::vector<std::string>{"", "USER_DEFINED", "IMPORTED", "ANALYSIS"});
            const std::string primary = rng_.Pick(std::vector<std::string>{"", "y", "y", "n"});
            if (source == "ANALYSIS") entry.passedOver = "by analysis";
            else if (primary == "n") entry.passedOver = "not primary";
            entry.text = rng_.OneIn(10) ? "" : EntryText(rng_);
            entry.taken = !entry.passedOver && !entry.text.empty();
            std::string element = "<SYMBOL ADDRESS=\"" + FileAddress(entry) + "\" NAME=\"" + Escaped(entry.text, true) + "\"";
            if (!source.empty()) element += " SOURCE_TYPE=\"" + source + "\"";
            if (!primary.empty()) element += " PRIMARY=\"" + primary + "\"";
            text += element + " TYPE=\"global\" />\n";
            made_.entries.push_back(entry);
        }
        if (rng_.OneIn(15)) text += Broken("SYMBOL");
        return text + "</SYMBOL_TABLE>\n";
    }

    // Ghidra writes the comments of one address together.
    std::string Comments() {
        std::string text = "<COMMENTS>\n";
        for (uint32_t groups = rng_.Below(5); groups > 0; --groups) {
            const uint32_t address = session_.Address();
            for (uint32_t n = 1 + rng_.Below(4); n > 0; --n) {
                Entry entry = NewEntry(kComment, address);
                entry.commentType = int(rng_.Below(5));
                entry.text = EntryText(rng_);
                const bool cdata = rng_.OneIn(4) && entry.text.find("]]>") == std::string::npos;
                text += "<COMMENT ADDRESS=\"" + FileAddress(entry) + "\" TYPE=\"" + kCommentTypes[entry.commentType] +
                        "\">" + (cdata ? "<![CDATA[" + entry.text + "]]>" : Escaped(entry.text, false)) + "</COMMENT>\n";
                made_.entries.push_back(entry);
            }
        }
        if (rng_.OneIn(15)) text += Broken("COMMENT");
        return text + "</COMMENTS>\n";
    }

    Session& session_;
    Rng& rng_;
    Made& made_;
    bool hasBase_;
    uint32_t base_;
};

Made MakeFile(Session& session) {
    Rng& rng = session.rng();
    Made made;
    made.text = FileWriter(session, made).Write();
    switch (rng.Below(40)) {
    case 0: made.text.resize(rng.Below(uint32_t(made.text.size()))); made.mutated = true; break;
    case 1: made.text[rng.Below(uint32_t(made.text.size()))] = char(rng.Word()); made.mutated = true; break;
    case 2: made.text = Text(rng, rng.Below(200)); made.mutated = true; break;
    case 3:
        made.text = "<BOOKMARKS>" + made.text.substr(made.text.find("<PROGRAM")) + "</BOOKMARKS>";
        made.faulty = true;
        break;
    case 4:   // entities that would expand to gigabytes
        made.text = "<?xml version=\"1.0\"?>\n<!DOCTYPE PROGRAM [\n<!ENTITY a \"" + std::string(64, 'a') + "\">\n" +
                    "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
                    "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
                    "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n"
                    "<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n]>\n"
                    "<PROGRAM NAME=\"target.exe\"><BOOKMARKS><BOOKMARK ADDRESS=\"00401000\" DESCRIPTION=\"" +
                    std::string(rng.OneIn(2) ? "&e;" : "&d;&d;&d;&d;&d;&d;&d;&d;") + "\" /></BOOKMARKS></PROGRAM>\n";
        made.entries.clear();
        made.faulty = true;
        break;
    case 5:
        if (rng.OneIn(10)) {   // a tag longer than the reader holds
            made.text.insert(made.text.find("<PROGRAM") + 8, " X=\"" + std::string(5 << 20, 'x') + "\"");
            made.faulty = true;
        }
        break;
    case 6: made.text.insert(made.text.find("<PROGRAM") + 8, " IMAGE_BASE=\"4OOOOO\""); made.faulty = true; break;
    default: break;
    }
    return made;
}

std::string Cut(std::string text, size_t keep) {
    if (text.size() > keep + 2) text = text.substr(0, keep) + "...";
    return text;
}
bool IsPlaceholder(const std::string& name) { return name == "n/a" || name == kModuleChanged; }

// The shared import's rules over the file's entries, in its passes:
// bookmarks first, then names and comments.
struct Expected {
    unsigned bookmarks = 0, names = 0, labels = 0, comments = 0, outside = 0, noBookmark = 0;
    unsigned labelsPlaced = 0;   // label entries that named a bookmark or became a label
    std::vector<std::pair<std::string, unsigned>> passedOver;   // in the order first met
    std::map<uint32_t, std::string> name, label, comment;
    std::map<uint32_t, int> active;
};

void PassOver(Expected& expected, const char* why) {
    for (auto& [reason, count] : expected.passedOver)
        if (reason == why) return void(++count);
    expected.passedOver.push_back({why, 1});
}

Expected Expect(Session& session, const Made& made, bool mapped) {
    Expected out;
    std::map<uint32_t, bool> exists;
    auto inModule = [](const Entry& entry) { return entry.address - kModuleBase < kModuleSize; };
    for (const Entry& entry : made.entries) {
        if (entry.passedOver) PassOver(out, entry.passedOver);
        if (entry.element != kBookmark || !entry.taken || entry.external) continue;
        if (!inModule(entry)) {
            ++out.outside;
            continue;
        }
        const uint32_t address = entry.address;
        if (!exists.count(address)) {
            const uint8_t* item = session.Item(address);
            exists[address] = true;
            out.name[address] = item ? FieldText(item + kNameAt, kNameWidth) : "n/a";
        }
        if (!entry.text.empty()) out.name[address] = entry.text.size() >= 64 ? Cut(entry.text, 60) : entry.text;
        if (entry.active >= 0) out.active[address] = entry.active;
        if (!entry.text.empty() && mapped && !IsPlaceholder(out.name[address])) out.label[address] = out.name[address];
        ++out.bookmarks;
    }
    // Comments of one address in a row are one, their parts in a fixed order.
    std::string parts[5];
    bool pending = false;
    uint32_t pendingAddress = 0;
    auto takeComment = [&] {
        if (!pending) return;
        pending = false;
        std::string joined;
        for (const std::string& part : parts)
            if (!part.empty()) joined += (joined.empty() ? "" : " | ") + part;
        if (pendingAddress - kModuleBase >= kModuleSize) return void(++out.outside);
        out.comment[pendingAddress] = Cut(joined, 252);
        ++out.comments;
    };
    for (const Entry& entry : made.entries) {
        if (entry.element != kComment) takeComment();
        if (entry.element == kComment && !entry.external) {
            if (pending && entry.address != pendingAddress) takeComment();
            if (!pending) {
                for (std::string& part : parts) part.clear();
                pending = true;
                pendingAddress = entry.address;
            }
            std::string& part = parts[entry.commentType];
            part += (part.empty() ? "" : " | ") + entry.text;
        }
        if (entry.element != kSymbol || !entry.taken || entry.external) continue;
        if (!inModule(entry)) {
            ++out.outside;
            continue;
        }
        const uint32_t address = entry.address;
        const bool bookmarked = exists.count(address) || session.dll.zt_Exists(address) == 1;
        if (!mapped && !bookmarked) {
            ++out.noBookmark;
            continue;
        }
        const std::string text = Cut(entry.text, 60);
        ++out.labelsPlaced;
        if (mapped) out.label[address] = text, ++out.labels;
        if (bookmarked) {
            if (!out.name.count(address)) {
                const uint8_t* item = session.Item(address);
                out.name[address] = item ? FieldText(item + kNameAt, kNameWidth) : "n/a";
            }
            if (IsPlaceholder(out.name[address])) out.name[address] = text, ++out.names;
        }
    }
    takeComment();
    return out;
}

std::string Status(const Expected& expected, const Made& made) {
    char text[256];
    std::snprintf(text, sizeof text, "Zentrilo: %u bookmarks, %u names, %u labels, %u comments imported",
                  expected.bookmarks, expected.names, expected.labels, expected.comments);
    std::string want = text;
    // Every entry placed in the shown module instead counts.
    const unsigned placed = expected.bookmarks + expected.labelsPlaced + expected.comments;
    if (!made.loaded && placed) want += ", " + std::to_string(placed) + " into target.exe, gone.exe is not loaded";
    std::vector<std::pair<std::string, unsigned>> reasons = {{"outside the module", expected.outside},
                                                             {"label without bookmark", expected.noBookmark}};
    reasons.insert(reasons.end(), expected.passedOver.begin(), expected.passedOver.end());
    unsigned skipped = 0, counting = 0;
    for (const auto& [why, count] : reasons) skipped += count, counting += count != 0;
    if (skipped) {
        want += ", " + std::to_string(skipped) + " skipped (";
        const char* separator = "";
        for (const auto& [why, count] : reasons) {
            if (!count) continue;
            want += separator + (counting == 1 ? why : std::to_string(count) + " " + why);
            separator = ", ";
        }
        want += ")";
    }
    return want + "!";
}

void CheckImported(Session& session, const Expected& expected, size_t namesBefore, const std::string& flash,
                   const std::string& want) {
    if (expected.bookmarks) session.CaptionPublished();
    for (const auto& [address, name] : expected.name) {
        const uint8_t* item = session.Item(address);
        if (!item) session.Fail("bookmark " + Hex(address) + " of the file was not made");
        else if (FieldText(item + kNameAt, kNameWidth) != name)
            session.Fail("bookmark " + Hex(address) + " is named \"" + FieldText(item + kNameAt, kNameWidth) +
                         "\", not \"" + name + "\"");
    }
    for (const auto& [address, active] : expected.active) {
        const uint8_t* item = session.Item(address);
        if (item && item[kActiveAt] != active) session.Fail("bookmark " + Hex(address) + " has not its category's state");
    }
    std::map<uint32_t, std::string> given[2];   // labels, comments
    const std::vector<sim::NameCall>& calls = sim::NameInsertions();
    for (size_t i = namesBefore; i < calls.size(); ++i)
        given[calls[i].type == kHostNameLabel ? 0 : 1][calls[i].address] = calls[i].text;
    if (given[0] != expected.label) session.Fail("the labels given to the host are not the file's");
    if (given[1] != expected.comment) session.Fail("the comments given to the host are not the file's");
    if (flash != want) session.Fail("the import said \"" + flash + "\", not \"" + want + "\"");
}

}  // namespace

void ProgramXmlInput(Session& session) {
    Rng& rng = session.rng();
    static bool headerShown = false;   // a PE header in the world's header block: the file name comes from it
    if (!headerShown) {
        sim::PatchMemory(kModuleBase, sim::PeHeaderBytes({0x5F000000, kModuleSize, 0, false, "", kModuleBase}));
        sim::SetExePath("C:\\Debuggee\\target.exe");
        headerShown = true;
    }
    sim::ShowBlock(kCode, kCodeSize);
    const int mapping = int(rng.Below(3));
    sim::StoreSetting("map_bookmark_name_to_label", mapping);
    const Made made = MakeFile(session);
    const std::string path = session.FilePath("in.xml");
    if (!sim::WriteFileBytes(path, std::vector<uint8_t>(made.text.begin(), made.text.end())))
        return session.Fail("cannot write the input file");
    const std::vector<uint32_t> before = session.BookmarkAddresses();
    const size_t namesBefore = sim::NameInsertions().size();
    const Expected expected = made.faulty || made.mutated ? Expected{} : Expect(session, made, mapping == 1);

    sim::ChooseFile(path, kProgramXmlImportType);
    session.Action(kOriginPluginMenu, kMenuImport);

    const std::vector<std::string> flashes = session.NewFlashes();
    if (flashes.size() != 1) return session.Fail(std::to_string(flashes.size()) + " flashes for one import");
    const bool refused = flashes[0].rfind("[ERROR]: Nothing imported, ", 0) == 0;
    if (refused) {
        if (session.BookmarkAddresses() != before || sim::NameInsertions().size() != namesBefore)
            session.Fail("a refused file changed something: " + flashes[0]);
        if (!made.faulty && !made.mutated) session.Fail("a whole file was refused: " + flashes[0]);
        return;
    }
    if (made.faulty) return session.Fail("a faulty file was imported: " + flashes[0]);
    if (made.mutated) {
        if (flashes[0].rfind("Zentrilo: ", 0) != 0) session.Fail("the import said \"" + flashes[0] + "\"");
        return session.CaptionStale();
    }
    CheckImported(session, expected, namesBefore, flashes[0], Status(expected, made));
}

}  // namespace fuzz
