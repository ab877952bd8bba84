// Reader of a JSON bookmark list for the shared import: each entry of the
// list's (last) "bookmarks" list becomes a bookmark entry by module name,
// address and offset, with the build its module was when written, from the
// list's "modules". The first pass, which checks the file, also keeps the
// modules; memory stays bounded by one entry (and the list's modules)
// however long the file.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/text.h"
#include "exchange/common/text_encoding.h"
#include "exchange/exchange_file/exchange_record.h"
#include "exchange/import/import_run.h"
#include "exchange/json/json_events.h"
#include "exchange/json/json_file_pass.h"
#include "exchange/list/bookmark_lists.h"
#include "exchange/list/list_modules.h"

namespace zt {

namespace {

constexpr int kDeepestNesting = 8;

enum Frame : uint8_t {
    kRootObject,
    kModuleArray,
    kModuleObject,
    kBookmarkArray,
    kEntryObject,
    kPlacesArray,   // an entry's "pattern_places"
    kCallerPatternsArray,
    kCallerPositionsArray,
    kTargetsArray,   // an entry's "pointer_targets"
    kIgnored,
};
// The handler of the reader's events. It keeps the first fault it meets, as
// the text of a status message, and then stops the reader. When a key comes
// twice the last one counts, also for the lists: the check pass keeps the
// modules of the last "modules" list and counts the "bookmarks" lists, and
// the later passes read the last of those (lastBookmarkList).
class ListEvents : public JsonEvents<ListEvents, Frame, kDeepestNesting> {
    friend class JsonEvents<ListEvents, Frame, kDeepestNesting>;   // for OnValue

public:
    // The check pass has no last list yet (0), and fills listed.
    ListEvents(EntrySink& sink, ListModules& listed, unsigned lastBookmarkList)
        : sink_(sink), listed_(listed), checking_(lastBookmarkList == 0), lastBookmarkList_(lastBookmarkList) {}

    unsigned bookmarkLists() const { return bookmarkLists_; }
    // The check pass's answer, and the later passes' question.
    bool placesRecorded() const { return placesRecorded_; }
    void SetPlacesRecorded(bool recorded) { placesRecorded_ = recorded; }

    bool StartObject() {
        if (depth_ == 0) return Push(kRootObject);
        switch (Top()) {
        case kModuleArray:
            std::memset(&module_, 0, sizeof module_);
            ++moduleNumber_;
            return Push(kModuleObject);
        case kBookmarkArray:
            ClearEntry(entry_, EntryKind::kBookmark);
            entry_.hasActive = true;
            entry_.active = 1;
            pattern_[0] = '\0';
            patternPosition_ = 0;
            patternUnique_ = 0;
            placeCount_ = 0;
            callerPatterns_ = callerPositions_ = 0;
            alignText_[0] = '\0';
            targetCount_ = 0;
            targetsBad_ = false;
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
            return Push(!checking_ && bookmarkLists_ != lastBookmarkList_ ? kIgnored : kBookmarkArray);
        }
        if (Top() == kRootObject && IsKey("modules")) {
            if (checking_) listed_.Clear();
            return Push(kModuleArray);
        }
        if (Top() == kEntryObject && IsKey("pattern_places")) {
            placeCount_ = 0;   // the last list counts
            return Push(kPlacesArray);
        }
        if (Top() == kEntryObject && IsKey("caller_patterns")) {
            callerPatterns_ = 0;
            return Push(kCallerPatternsArray);
        }
        if (Top() == kEntryObject && IsKey("caller_positions")) {
            callerPositions_ = 0;
            return Push(kCallerPositionsArray);
        }
        if (Top() == kEntryObject && IsKey("pointer_targets")) {
            targetCount_ = 0;   // the last list counts
            targetsBad_ = false;
            return Push(kTargetsArray);
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
        case kPlacesArray: return OnPlace(value);
        case kCallerPatternsArray: return OnCallerPattern(value);
        case kCallerPositionsArray: return OnCallerPosition(value);
        case kTargetsArray: return OnTarget(value);
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
        } else if (IsKey("pattern_places_recorded")) {
            if (value.kind != kBoolean) return Fail("\"pattern_places_recorded\" must be true or false");
            placesRecorded_ = value.boolean;
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
        if (!checking_) return true;   // the first pass kept them
        if (!listed_.Add(module_)) return Fail("the list names more than %u modules", unsigned(kMostListedModules));
        return true;
    }

    bool OnEntryValue(const JsonValue& value) {
        char scratch[kDisassemblyFieldSize];
        ImportEntry& entry = entry_;
        if (IsKey("address")) return Number(value, entry.address, &entry.hasAddress, false);
        if (IsKey("offset")) return Number(value, entry.offset, &entry.hasOffset);
        if (IsKey("module_base")) return Number(value, entry.moduleBase, &entry.hasModuleBase);
        if (IsKey("module")) return Text(value, entry.module, kModuleFieldSize, true);
        if (IsKey("name")) return Text(value, entry.name, kNameFieldSize);
        if (IsKey("comment")) return Text(value, entry.comment, kCommentFieldSize) && (entry.hasComment = true);
        if (IsKey("original_instruction")) return Text(value, entry.original, sizeof entry.original);
        if (IsKey("current_instruction")) return Text(value, scratch, sizeof scratch);
        if (IsKey("active")) return Flag(value, &entry.active);
        if (IsKey("changed")) return Flag(value, nullptr);
        if (IsKey("pattern")) return Text(value, pattern_, sizeof pattern_);
        if (IsKey("pattern_position")) return Number(value, patternPosition_, nullptr);
        if (IsKey("pattern_unique")) return Flag(value, &patternUnique_);
        if (IsKey("align_keys")) {
            // Longer than this reader keeps (a later version's): the entry goes without them.
            if (value.kind == kText && value.length >= sizeof alignText_) return (alignText_[0] = '\0', true);
            return Text(value, alignText_, sizeof alignText_, true);
        }
        if (IsKey("export_names")) {
            // Not a 32-bit number: that evidence is lost, not the list.
            entry.exportNames = value.kind == kUnsigned && value.number <= 0xFFFFFFFFu ? uint32_t(value.number) : 0;
            return true;
        }
        if (IsKey("pointer_targets")) {
            targetsBad_ = value.kind != kNull;   // not a list: that evidence is lost, not the list
            targetCount_ = 0;
            return true;
        }
        if (IsKey("pattern_places") || IsKey("caller_patterns") || IsKey("caller_positions")) {
            if (value.kind != kNull) return Fail("bookmark %u: \"%s\" must be a list", entryNumber_, key_);
            if (IsKey("pattern_places")) placeCount_ = 0;
            if (IsKey("caller_patterns")) callerPatterns_ = 0;
            if (IsKey("caller_positions")) callerPositions_ = 0;
            return true;
        }
        return true;   // a field of a later version
    }

    // The patterns of an entry's callers, and their positions: kept up to
    // kMostCallers (more: the entry goes without them).
    bool OnCallerPattern(const JsonValue& value) {
        char scratch[kPatternTextMax];
        char* text = callerPatterns_ < kMostCallers ? callerText_[callerPatterns_] : scratch;
        if (!Text(value, text, kPatternTextMax)) return false;
        if (callerPatterns_ <= kMostCallers) ++callerPatterns_;
        return true;
    }
    bool OnCallerPosition(const JsonValue& value) {
        if (value.kind != kUnsigned || value.number > 0xFFFFFFFFu)
            return Fail("bookmark %u: \"caller_positions\" must hold numbers from 0 to 4294967295", entryNumber_);
        if (callerPositions_ < kMostCallers) callerPosition_[callerPositions_] = static_cast<uint32_t>(value.number);
        if (callerPositions_ <= kMostCallers) ++callerPositions_;
        return true;
    }

    // What one wildcard field of the entry's pattern pointed to. Anything
    // but a number of 32 bits, or more than kMostTargetFields of them, loses
    // the entry that evidence only.
    bool OnTarget(const JsonValue& value) {
        if (value.kind != kUnsigned || value.number > 0xFFFFFFFFu || targetCount_ >= kMostTargetFields) {
            targetsBad_ = true;
            return true;
        }
        targets_[targetCount_++] = static_cast<uint32_t>(value.number);
        return true;
    }

    // One of the places of an entry's pattern in the old build. More than
    // the import weighs: the entry goes without them (kMostTwins + 1 counted).
    bool OnPlace(const JsonValue& value) {
        uint32_t place = 0;
        if (value.kind != kUnsigned || value.number > 0xFFFFFFFFu)
            return Fail("bookmark %u: \"pattern_places\" must hold numbers from 0 to 4294967295", entryNumber_);
        place = static_cast<uint32_t>(value.number);
        if (placeCount_ < kMostTwins) places_[placeCount_] = place;
        if (placeCount_ <= kMostTwins) ++placeCount_;
        return true;
    }

    // The entry as read, with what follows from it: its module named by
    // name, the placeholder for no name, and the build the list records for
    // its module.
    bool EndEntry() {
        ImportEntry& entry = entry_;
        if (!entry.hasAddress) return Fail("bookmark %u has no address", entryNumber_);
        entry.patternsMade = placesRecorded_;
        // A pattern that is none (another writer's fault) is passed over:
        // the entry goes as one without.
        if (pattern_[0] && ParsePattern(pattern_, patternPosition_, &entry.pattern)) {
            entry.pattern.unique = patternUnique_;
            entry.hasPattern = true;
            entry.hasOldPlaces = placesRecorded_;
            if (placeCount_ <= kMostTwins) {
                entry.oldPlaceCount = placeCount_;
                std::memcpy(entry.oldPlaces, places_, placeCount_ * sizeof *places_);
            }
            // Callers as the export writes them: as many positions as
            // patterns; one that is no code pattern is passed over.
            if (callerPatterns_ == callerPositions_ && callerPatterns_ <= kMostCallers) {
                for (unsigned k = 0; k < callerPatterns_; ++k) {
                    CodePattern& caller = entry.callers[entry.callerCount];
                    if (!ParsePattern(callerText_[k], callerPosition_[k], &caller)) continue;
                    caller.unique = 1;
                    ++entry.callerCount;
                }
            }
            // Keys that are none (another writer's fault) are passed over.
            if (alignText_[0]) ParseAlignKeys(alignText_, &entry.align);
            if (!targetsBad_) {
                entry.targetCount = targetCount_;
                std::memcpy(entry.targets, targets_, targetCount_ * sizeof *targets_);
            }
        }
        entry.moduleKey = entry.module[0] ? ModuleKey::kName : ModuleKey::kNone;
        if (!checking_) {
            const ListedModule* listed = Listed(entry);
            entry.hasBuild = listed && listed->HasBuild();
            if (entry.hasBuild) entry.build = listed->build;
        }
        entry.hasName = entry.hasOriginal = entry.hasRecordedModule = true;
        if (!entry.name[0]) CopyText(entry.name, kUnnamed);
        CopyText(entry.recordedModule, entry.module);
        sink_.Take(entry);
        return true;
    }

    // The list's module of the entry's name and base. Entries come grouped
    // by module: the last entry's answer serves the next of the same.
    const ListedModule* Listed(const ImportEntry& entry) {
        if (!listedKnown_ || std::strcmp(listedName_, entry.module) != 0 ||
            listedHasBase_ != entry.hasModuleBase || listedBase_ != entry.moduleBase) {
            CopyText(listedName_, entry.module);
            listedHasBase_ = entry.hasModuleBase;
            listedBase_ = entry.moduleBase;
            listedModule_ = listed_.Find(entry.module, entry.moduleBase, entry.hasModuleBase);
            listedKnown_ = true;
        }
        return listedModule_;
    }

    EntrySink& sink_;
    ListModules& listed_;
    const ListedModule* listedModule_ = nullptr;
    bool listedKnown_ = false;
    char listedName_[kModuleFieldSize] = "";
    bool listedHasBase_ = false;
    uint32_t listedBase_ = 0;
    const bool checking_;
    bool sawFormat_ = false;
    bool sawBookmarks_ = false;
    unsigned bookmarkLists_ = 0;
    const unsigned lastBookmarkList_;
    bool placesRecorded_ = false;
    ImportEntry entry_;
    char pattern_[kPatternTextMax] = "";
    uint32_t patternPosition_ = 0;
    uint8_t patternUnique_ = 0;
    uint32_t places_[kMostTwins] = {};
    uint8_t placeCount_ = 0;
    char callerText_[kMostCallers][kPatternTextMax] = {};
    uint32_t callerPosition_[kMostCallers] = {};
    unsigned callerPatterns_ = 0;
    unsigned callerPositions_ = 0;
    char alignText_[kAlignTextMax] = "";
    uint32_t targets_[kMostTargetFields] = {};
    uint8_t targetCount_ = 0;
    bool targetsBad_ = false;
    unsigned entryNumber_ = 0;
    ListedModule module_ = {};
    unsigned moduleNumber_ = 0;
    char owner_[32] = "";
};

class ListReader final : public ImportReader {
public:
    bool Read(std::FILE* file, EntrySink& sink) override {
        ListEvents events(sink, listed_, lastBookmarkList_);
        events.SetPlacesRecorded(placesRecorded_);
        if (!ReadJsonFile(file, events, LongTexts::kRefuse, readFailed_)) {
            CopyText(fault_, events.fault());
            return false;
        }
        if (lastBookmarkList_ == 0) {
            lastBookmarkList_ = events.bookmarkLists();
            placesRecorded_ = events.placesRecorded();
            listed_.Seal();
        }
        return true;
    }

private:
    ListModules listed_;
    unsigned lastBookmarkList_ = 0;
    bool placesRecorded_ = false;   // by the check pass, for the later ones
};

}  // namespace

void ImportJsonBookmarkList(const char* path) {
    ListReader reader;
    RunImport(path, reader, ImportOptions{false, 0, 0, nullptr});
}

}  // namespace zt
