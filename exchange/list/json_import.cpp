// Import of a JSON bookmark list. The file is read twice as a stream of
// events through a fixed buffer: the first pass checks every entry and
// changes nothing, the second places and applies them. So a file with any
// fault is refused whole, and memory stays bounded by one entry (and the
// list's modules) however long the file.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "core/store.h"
#include "core/text.h"
#include "exchange/list/bookmark_lists.h"
#include "exchange/exchange_file/exchange_record.h"
#include "exchange/common/file_chooser.h"
#include "exchange/json/json_events.h"
#include "exchange/json/json_file_pass.h"
#include "exchange/list/list_modules.h"
#include "exchange/list/list_patterns.h"
#include "exchange/common/loaded_modules.h"
#include "exchange/exchange_file/record_apply.h"
#include "exchange/common/status_text.h"
#include "exchange/common/text_encoding.h"
#include "host/host.h"

namespace zt {

namespace {

constexpr int kDeepestNesting = 8;

// One entry of the list as read, its text already in the system's code page.
struct Entry {
    bool hasAddress;
    uint32_t address;
    bool hasOffset;
    uint32_t offset;
    bool hasModuleBase;
    uint32_t moduleBase;
    uint8_t active;
    char module[kModuleFieldSize];        // empty: the address lay in no module
    char name[kNameFieldSize];            // empty: no name
    char original[kDisassemblyFieldSize];
    char comment[kCommentFieldSize];
    bool hasPattern;
    char pattern[kPatternTextMax];
    uint32_t patternPosition;
    uint8_t patternUnique;
};

struct Counts {
    unsigned imported = 0;
    unsigned otherBuild = 0;   // imported, but disabled: their module is another build
    char otherBuildModule[kModuleFieldSize] = "";
    bool otherBuildModules = false;   // more than one module is another build
    unsigned notLoaded = 0;    // no module of the name is loaded
    unsigned notUnique = 0;    // several are, and none at the recorded address
    unsigned notStored = 0;    // the bookmark could not be made
    unsigned found = 0;        // of another build, and found by its code pattern
    unsigned foundDisabled = 0;   // of those, disabled: the instruction there is another
    char foundModule[kModuleFieldSize] = "";
    bool foundModules = false;
    unsigned notFound = 0;     // of another build, its pattern not found there
    unsigned ambiguous = 0;    // of another build, its pattern found more than once
    unsigned notSearched = 0;  // of another build, its pattern not searched (time or size limit, or changed since)
};

// The three reads of a list: check all of it; collect the code patterns of
// entries whose module is another build now (only when the list has
// patterns); place and apply every entry.
enum ReadPass : uint8_t { kCheckPass, kCollectPass, kApplyPass };

enum Frame : uint8_t { kRootObject, kModuleArray, kModuleObject, kBookmarkArray, kEntryObject, kIgnored };
bool SameModuleName(const HostModule* module, const char* name) {
    if (!module) return false;
    char now[kModuleFieldSize];
    ModuleName(*module, now);
    return lstrcmpiA(now, name) == 0;
}

bool SameBuild(const ModuleBuild& a, const ModuleBuild& b) {
    return a.timestamp == b.timestamp && a.imageSize == b.imageSize && a.checksum == b.checksum;
}

ExchangeRecord RecordFor(const Entry& entry) {
    ExchangeRecord record = NewExchangeRecord();
    if (entry.name[0]) CopyText(record.bookmark.name, entry.name);
    CopyText(record.bookmark.module, entry.module);
    CopyText(record.bookmark.originalDisassembly, entry.original);
    record.bookmark.active = entry.active;
    CopyText(record.comment, entry.comment);
    return record;
}

// The handler of the reader's events. It keeps the first fault it meets, as
// the text of a status message, and then stops the reader. When a key comes
// twice the last one counts, also for the lists: the check pass keeps the
// modules of the last "modules" list and counts the "bookmarks" lists, and
// the later passes read the last of those (bookmarkLists of them).
class ListReader : public JsonEvents<ListReader, Frame, kDeepestNesting> {
    friend class JsonEvents<ListReader, Frame, kDeepestNesting>;   // for OnValue

public:
    ListReader(ReadPass pass, ListModules& listed, LoadedModules& loaded, ImportPatterns& patterns,
               unsigned bookmarkLists = 0)
        : pass_(pass), listed_(listed), loaded_(loaded), patterns_(patterns), lastBookmarkList_(bookmarkLists) {}

    unsigned bookmarkLists() const { return bookmarkLists_; }
    const Counts& counts() const { return counts_; }
    bool applied() const { return applied_; }
    bool sawPattern() const { return sawPattern_; }
    uint32_t lastApplied() const { return lastApplied_; }

    bool StartObject() {
        if (depth_ == 0) return Push(kRootObject);
        switch (Top()) {
        case kModuleArray:
            std::memset(&module_, 0, sizeof module_);
            ++moduleNumber_;
            return Push(kModuleObject);
        case kBookmarkArray:
            std::memset(&entry_, 0, sizeof entry_);
            entry_.active = 1;
            ++entryNumber_;
            return Push(kEntryObject);
        default: return OnValue(Scalar(kContainer)) && Push(kIgnored);
        }
    }
    bool StartArray() {
        if (depth_ == 0) return Fail("not a Zentrilo bookmark list");
        if (Top() == kRootObject && IsKey("bookmarks")) {
            sawBookmarks_ = true;
            ++bookmarkLists_;
            return Push(pass_ != kCheckPass && bookmarkLists_ != lastBookmarkList_ ? kIgnored : kBookmarkArray);
        }
        if (Top() == kRootObject && IsKey("modules")) {
            if (pass_ == kCheckPass) listed_.Clear();
            return Push(kModuleArray);
        }
        return OnValue(Scalar(kContainer)) && Push(kIgnored);
    }
    bool EndObject(rapidjson::SizeType) {
        const Frame frame = Top();
        --depth_;
        if (frame == kEntryObject) return EndEntry();
        if (frame == kModuleObject) return EndModule();
        if (frame == kRootObject && !sawFormat_) return Fail("not a Zentrilo bookmark list");
        if (frame == kRootObject && !sawBookmarks_) return Fail("the file has no \"bookmarks\" list");
        return true;
    }

private:

    bool OnValue(const JsonValue& value) {
        if (depth_ == 0) return Fail("not a Zentrilo bookmark list");
        switch (Top()) {
        case kRootObject: return OnTopValue(value);
        case kModuleArray: return Fail("module %u is not an object", ++moduleNumber_);
        case kModuleObject: return OnModuleValue(value);
        case kBookmarkArray: return Fail("bookmark %u is not an object", ++entryNumber_);
        case kEntryObject: return OnEntryValue(value);
        case kIgnored: return true;
        }
        return true;
    }

    bool OnTopValue(const JsonValue& value) {
        if (IsKey("format")) {
            if (value.kind != kText || value.length != sizeof kBookmarkListFormat - 1 ||
                std::memcmp(value.text, kBookmarkListFormat, value.length) != 0)
                return Fail("not a Zentrilo bookmark list");
            sawFormat_ = true;
        } else if (IsKey("version")) {
            if (value.kind != kUnsigned) return Fail("\"version\" must be a number");
            if (value.number > kBookmarkListVersion)
                return Fail("the list's version %llu is newer than this plug-in reads",
                            static_cast<unsigned long long>(value.number));
        } else if (IsKey("bookmarks") || IsKey("modules")) {
            return Fail("\"%s\" must be a list", key_);   // lists do not come here
        }
        return true;
    }

    // Where the fault of a field lies: "bookmark 3" or "module 2".
    const char* Owner() {
        std::snprintf(owner_, sizeof owner_, Top() == kModuleObject ? "module %u" : "bookmark %u",
                      Top() == kModuleObject ? moduleNumber_ : entryNumber_);
        return owner_;
    }

    // A null value is as if the field were absent, also after another value.
    bool Number(const JsonValue& value, uint32_t& field, bool* present, bool nullable = true) {
        if (value.kind == kNull && nullable) {
            field = 0;
            if (present) *present = false;
            return true;
        }
        if (value.kind != kUnsigned || value.number > 0xFFFFFFFFu)
            return Fail("%s: \"%s\" must be a number from 0 to 4294967295", Owner(), key_);
        field = static_cast<uint32_t>(value.number);
        if (present) *present = true;
        return true;
    }

    bool Text(const JsonValue& value, char* field, size_t fieldSize, bool nullable = false) {
        if (value.kind == kNull && nullable) {
            field[0] = '\0';
            return true;
        }
        if (value.kind != kText) return Fail("%s: \"%s\" must be text", Owner(), key_);
        if (std::memchr(value.text, '\0', value.length))
            return Fail("%s: \"%s\" holds a zero character", Owner(), key_);
        if (!Utf8ToAnsi(value.text, value.length, field, fieldSize))
            return Fail("%s: \"%s\" is longer than %u characters", Owner(), key_, unsigned(fieldSize - 1));
        return true;
    }

    bool Flag(const JsonValue& value, uint8_t* field) {
        if (value.kind != kBoolean) return Fail("%s: \"%s\" must be true or false", Owner(), key_);
        if (field) *field = value.boolean ? 1 : 0;
        return true;
    }

    bool OnModuleValue(const JsonValue& value) {
        char file[kFilePathSize];
        uint32_t ignored = 0;
        ListedModule& module = module_;
        if (IsKey("name")) return Text(value, module.name, sizeof module.name) && (module.hasName = true);
        if (IsKey("file")) return Text(value, file, sizeof file, true);
        if (IsKey("base")) return Number(value, module.base, &module.hasBase);
        if (IsKey("size")) return Number(value, ignored, nullptr);
        if (IsKey("timestamp")) return Number(value, module.build.timestamp, &module.hasTimestamp);
        if (IsKey("image_size")) return Number(value, module.build.imageSize, &module.hasImageSize);
        if (IsKey("checksum")) return Number(value, module.build.checksum, &module.hasChecksum);
        return true;   // a field of a later version
    }

    bool EndModule() {
        if (!module_.hasName) return Fail("module %u has no name", moduleNumber_);
        if (pass_ != kCheckPass) return true;   // the first pass kept them
        if (!listed_.Add(module_)) return Fail("the list names more than %u modules", unsigned(kMostListedModules));
        return true;
    }

    bool OnEntryValue(const JsonValue& value) {
        char scratch[kDisassemblyFieldSize];
        if (IsKey("address")) return Number(value, entry_.address, &entry_.hasAddress, false);
        if (IsKey("offset")) return Number(value, entry_.offset, &entry_.hasOffset);
        if (IsKey("module_base")) return Number(value, entry_.moduleBase, &entry_.hasModuleBase);
        if (IsKey("module")) return Text(value, entry_.module, sizeof entry_.module, true);
        if (IsKey("name")) return Text(value, entry_.name, sizeof entry_.name);
        if (IsKey("comment")) return Text(value, entry_.comment, sizeof entry_.comment);
        if (IsKey("original_instruction")) return Text(value, entry_.original, sizeof entry_.original);
        if (IsKey("current_instruction")) return Text(value, scratch, sizeof scratch);
        if (IsKey("active")) return Flag(value, &entry_.active);
        if (IsKey("changed")) return Flag(value, nullptr);
        if (IsKey("pattern")) return Text(value, entry_.pattern, sizeof entry_.pattern) && (entry_.hasPattern = true);
        if (IsKey("pattern_position")) return Number(value, entry_.patternPosition, nullptr);
        if (IsKey("pattern_unique")) return Flag(value, &entry_.patternUnique);
        return true;   // a field of a later version
    }

    bool EndEntry() {
        if (!entry_.hasAddress) return Fail("bookmark %u has no address", entryNumber_);
        // A pattern that is not one (another tool wrote it) is passed over:
        // the entry goes as one without a pattern.
        CodePattern pattern = {};
        if (entry_.hasPattern && entry_.pattern[0] && !ParsePattern(entry_.pattern, entry_.patternPosition, &pattern))
            entry_.hasPattern = false;
        sawPattern_ = sawPattern_ || (entry_.hasPattern && entry_.pattern[0]);
        pattern.unique = entry_.patternUnique;
        if (pass_ == kCollectPass) Collect(pattern);
        if (pass_ == kApplyPass) Apply(pattern);
        return true;
    }

    // What the entry's module name and base match. Entries come grouped by
    // module, and neither the modules nor their headers change during an
    // import: the last entry's answers serve the next one of the same module.
    struct ModuleMatch {
        bool known;
        char module[kModuleFieldSize];
        bool hasModuleBase;
        uint32_t moduleBase;
        const LoadedModule* named;   // a loaded module of the name, and how many
        unsigned count;
        const ListedModule* listed;  // the list's module of the name and base
        uint32_t thereBase;          // the last module found at an entry's address
        bool thereIsNamed;           // and whether it has the name
        bool thereKnown;
        uint32_t buildBase;          // the last base whose build was compared
        bool otherBuild;
        bool buildKnown;
    };

    const ModuleMatch& Match() {
        ModuleMatch& match = match_;
        if (match.known && std::strcmp(match.module, entry_.module) == 0 &&
            match.hasModuleBase == entry_.hasModuleBase && match.moduleBase == entry_.moduleBase)
            return match;
        match = {};
        match.known = true;
        CopyText(match.module, entry_.module);
        match.hasModuleBase = entry_.hasModuleBase;
        match.moduleBase = entry_.moduleBase;
        match.named = loaded_.Named(entry_.module, match.count);
        match.listed = listed_.Find(entry_.module, entry_.moduleBase, entry_.hasModuleBase);
        return match;
    }

    bool IsNamedModule(const HostModule* there) {
        if (!there) return false;
        if (!match_.thereKnown || match_.thereBase != there->base) {
            match_.thereIsNamed = SameModuleName(there, entry_.module);
            match_.thereBase = there->base;
            match_.thereKnown = true;
        }
        return match_.thereIsNamed;
    }

    bool IsOtherBuild(uint32_t base) {
        const ListedModule* listed = match_.listed;
        if (!listed || !listed->HasBuild()) return false;
        if (!match_.buildKnown || match_.buildBase != base) {
            ModuleBuild now;
            match_.otherBuild = !(ReadModuleBuild(base, now) && SameBuild(now, listed->build));
            match_.buildBase = base;
            match_.buildKnown = true;
        }
        return match_.otherBuild;
    }

    // Where the entry goes now, whether its module is another build, and
    // which loaded module it goes to.
    enum Where { kPlaced, kNotLoaded, kNotUnique };
    struct Target {
        uint32_t address;
        bool otherBuild;
        uint32_t moduleBase;
        uint32_t moduleSize;
    };
    Where Place(Target& target) {
        target = {entry_.address, false, 0, 0};
        if (!entry_.module[0]) return kPlaced;   // it lay in no module
        const ModuleMatch& match = Match();
        if (match.count == 0) return kNotLoaded;
        // The module at the recorded address, when it is the one recorded.
        const HostModule* there = HostFindModule(entry_.address);
        const bool stayed = IsNamedModule(there) && (!entry_.hasModuleBase || there->base == entry_.moduleBase);
        if (!stayed && match.count > 1) return kNotUnique;
        target.moduleBase = stayed ? there->base : match.named->base;
        target.moduleSize = stayed ? there->size : match.named->size;
        target.otherBuild = IsOtherBuild(target.moduleBase);
        if (stayed && !target.otherBuild) return kPlaced;
        if (!entry_.hasOffset) return kNotLoaded;
        target.address = target.moduleBase + entry_.offset;
        return kPlaced;
    }

    // An entry of another build with a pattern: to be searched.
    void Collect(CodePattern& pattern) {
        if (!entry_.hasPattern || !entry_.pattern[0]) return;
        Target target;
        if (Place(target) != kPlaced || !target.otherBuild) return;
        if (!patterns_.Add(entryNumber_, target.moduleBase, target.moduleSize, pattern)) throw std::bad_alloc();
    }

    static void CountModule(unsigned& count, char (&first)[kModuleFieldSize], bool& several, const char* module) {
        if (count++ == 0)
            CopyText(first, module);
        else if (lstrcmpiA(first, module) != 0)
            several = true;
    }

    void Apply(const CodePattern& pattern) {
        Target target;
        switch (Place(target)) {
        case kNotLoaded: ++counts_.notLoaded; return;
        case kNotUnique: ++counts_.notUnique; return;
        case kPlaced: break;
        }
        // Another build: where its code pattern is found, when it has one.
        Placement placement = Placement::kNotFound;
        uint32_t found = 0;
        const bool searched =
            target.otherBuild && patterns_.Find(entryNumber_, pattern, target.moduleBase, placement, found);
        if (searched && placement == Placement::kNotFound) {
            ++counts_.notFound;
            return;
        }
        if (searched && placement == Placement::kAmbiguous) {
            ++counts_.ambiguous;
            return;
        }
        if (searched && placement == Placement::kNotSearched) {
            ++counts_.notSearched;
            return;
        }
        const uint32_t address = searched ? found : target.address;
        if (!ApplyRecord(RecordFor(entry_), address)) {
            ++counts_.notStored;
            return;
        }
        if (searched) {
            // Found again: active when it was, and the instruction there is
            // the one recorded.
            char now[kDisassemblyFieldSize];
            SnapshotDisassembly(address, now);
            const bool same = SameInstruction(entry_.original, now);
            BookmarkRecord* bookmark = FindRecord(address);
            if (!same && bookmark) SetBookmarkActive(*bookmark, 0);
            counts_.foundDisabled += !same;
            CountModule(counts_.found, counts_.foundModule, counts_.foundModules, entry_.module);
        } else if (target.otherBuild) {
            if (BookmarkRecord* bookmark = FindRecord(address)) SetBookmarkActive(*bookmark, 0);
            CountModule(counts_.otherBuild, counts_.otherBuildModule, counts_.otherBuildModules, entry_.module);
        }
        ++counts_.imported;
        applied_ = true;
        lastApplied_ = address;
    }

    const ReadPass pass_;
    ListModules& listed_;
    LoadedModules& loaded_;
    ImportPatterns& patterns_;
    bool sawPattern_ = false;
    bool sawFormat_ = false;
    bool sawBookmarks_ = false;
    unsigned bookmarkLists_ = 0;
    const unsigned lastBookmarkList_;
    Entry entry_ = {};
    ModuleMatch match_ = {};
    unsigned entryNumber_ = 0;
    ListedModule module_ = {};
    unsigned moduleNumber_ = 0;
    Counts counts_;
    bool applied_ = false;
    uint32_t lastApplied_ = 0;
    char owner_[32] = "";
};

void FlashOutcome(const Counts& counts) {
    StatusText text = "";
    AppendText(text, "Zentrilo: %u bookmarks imported", counts.imported);
    if (counts.otherBuild && counts.otherBuildModules)
        AppendText(text, ", %u from other builds of their modules (disabled)", counts.otherBuild);
    else if (counts.otherBuild)
        AppendText(text, ", %u from another build of %s (disabled)", counts.otherBuild, counts.otherBuildModule);
    if (counts.found) {
        if (counts.foundModules)
            AppendText(text, ", %u found in the new builds of their modules", counts.found);
        else
            AppendText(text, ", %u found in the new build of %s", counts.found, counts.foundModule);
        if (counts.foundDisabled) AppendText(text, " (%u disabled, another instruction)", counts.foundDisabled);
    }
    if (counts.notFound) AppendText(text, ", %u not found", counts.notFound);
    if (counts.ambiguous) AppendText(text, ", %u ambiguous", counts.ambiguous);
    if (counts.notSearched) AppendText(text, ", %u not searched (time or size limit)", counts.notSearched);
    const CountedReason reasons[] = {{counts.notLoaded, "module not loaded"},
                                     {counts.notUnique, "module name not unique"},
                                     {counts.notStored, "not stored"}};
    AppendSkipped(text, reasons, 3);
    HostFlash("%s!", text);
}

// One pass over the file. False, with the reader's fault set, when the file
// is not a valid list.
bool Pass(std::FILE* file, ListReader& handler) { return ReadJsonFile(file, handler); }

void Import(std::FILE* file) {
    ListModules listed;
    LoadedModules loaded;
    ImportPatterns patterns;
    ListReader check(kCheckPass, listed, loaded, patterns);
    if (!Pass(file, check)) {
        HostFlash("[ERROR]: Nothing imported, %s!", check.fault());
        return;
    }
    listed.Seal();
    if (!loaded.Scan()) throw std::bad_alloc();
    if (check.sawPattern()) {
        ListReader collect(kCollectPass, listed, loaded, patterns, check.bookmarkLists());
        if (std::fseek(file, 0, SEEK_SET) != 0 || !Pass(file, collect)) {
            HostFlash("[ERROR]: Nothing imported, the file changed while it was read!");
            return;
        }
        patterns.Search();
    }
    ListReader apply(kApplyPass, listed, loaded, patterns, check.bookmarkLists());
    bool complete = false;
    try {
        complete = std::fseek(file, 0, SEEK_SET) == 0 && Pass(file, apply);
    } catch (const std::bad_alloc&) {
        // Out of memory part way: what was applied stays.
        if (apply.applied()) PublishStatus(ActivePosition(apply.lastApplied()));
        HostFlash("[ERROR]: Import stopped by a lack of memory after %u bookmarks!", apply.counts().imported);
        return;
    }
    // Each bookmark's caption was made before its fields were filled in.
    if (apply.applied()) PublishStatus(ActivePosition(apply.lastApplied()));
    if (!complete) {
        HostFlash("[ERROR]: Import stopped after %u bookmarks, the file changed while it was read!",
                  apply.counts().imported);
        return;
    }
    FlashOutcome(apply.counts());
}

}  // namespace

void ImportJsonBookmarkList(const char* path) { ImportJsonFile(path, &Import); }

}  // namespace zt
