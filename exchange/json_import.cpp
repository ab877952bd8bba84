// Import of a JSON bookmark list. The file, at most kLargestFile bytes, is
// read whole and parsed twice as a stream of events: the first pass checks
// every entry and changes nothing, the second places and applies them. So a
// file with any fault is refused whole, and memory stays bounded by the
// file's size whatever the number of entries.
#include <windows.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/store.h"
#include "core/text.h"
#include "exchange/bookmark_lists.h"
#include "exchange/exchange_record.h"
#include "exchange/record_apply.h"
#include "exchange/text_encoding.h"
#include "host/host.h"

namespace zt {

namespace {

using Json = nlohmann::json;

constexpr size_t kLargestFile = 8u << 20;
constexpr size_t kLongestText = 4096;   // bytes of any key or string
constexpr int kDeepestNesting = 8;
constexpr uint64_t kLargestAddress = 0xFFFFFFFFu;

// One entry of the list as read, its text already in the system's code page.
struct Entry {
    bool hasAddress;
    uint32_t address;
    bool hasOffset;
    uint32_t offset;
    uint8_t active;
    char module[kModuleFieldSize];        // empty: the address lay in no module
    char name[kNameFieldSize];            // empty: no name
    char original[kDisassemblyFieldSize];
    char comment[kCommentFieldSize];
};

struct Counts {
    unsigned imported = 0;
    unsigned notLoaded = 0;    // the module is neither at the address nor shown in the pane
    unsigned notStored = 0;    // the bookmark could not be made
};

enum Frame : uint8_t { kRootObject, kBookmarkArray, kEntryObject, kIgnored };
enum Kind : uint8_t { kNull, kBoolean, kUnsigned, kOtherNumber, kString, kContainer };

struct Value {
    Kind kind;
    bool boolean;
    uint64_t number;
    const std::string* text;
};

bool SameModuleName(const HostModule* module, const char* name) {
    char now[kModuleFieldSize] = "";
    if (module) CopyText(now, module->shortName, kHostModuleNameLength);
    return lstrcmpiA(now, name) == 0;
}

// Where the entry goes now: its own address when the module there has the
// recorded name (or it lay in no module), else its offset in the module the
// pane shows when that one has the name. False: its module is not loaded.
bool Place(const Entry& entry, uint32_t shownBlockBase, uint32_t& address) {
    if (!entry.module[0] || SameModuleName(HostFindModule(entry.address), entry.module)) {
        address = entry.address;
        return true;
    }
    const HostModule* shown = HostFindModule(shownBlockBase);
    if (!entry.hasOffset || !shown || !SameModuleName(shown, entry.module)) return false;
    address = shown->base + entry.offset;
    return true;
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

// The handler of the parser's events. It keeps the first fault it meets, as
// the text of a status message, and then stops the parse.
class ListReader {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    ListReader(const std::string& text, bool apply, uint32_t shownBlockBase)
        : text_(text), apply_(apply), shownBlockBase_(shownBlockBase) {}

    const std::string& fault() const { return fault_; }
    const Counts& counts() const { return counts_; }
    bool applied() const { return applied_; }
    uint32_t lastApplied() const { return lastApplied_; }

    bool null() { return OnValue({kNull, false, 0, nullptr}); }
    bool boolean(bool value) { return OnValue({kBoolean, value, 0, nullptr}); }
    bool number_integer(number_integer_t value) {
        return value >= 0 ? number_unsigned(static_cast<number_unsigned_t>(value))
                          : OnValue({kOtherNumber, false, 0, nullptr});
    }
    bool number_unsigned(number_unsigned_t value) { return OnValue({kUnsigned, false, value, nullptr}); }
    bool number_float(number_float_t, const string_t&) { return OnValue({kOtherNumber, false, 0, nullptr}); }
    bool binary(binary_t&) { return Fail("not valid JSON"); }
    bool string(string_t& value) {
        if (value.size() > kLongestText) return Fail("it holds a text longer than 4096 bytes");
        return OnValue({kString, false, 0, &value});
    }
    bool key(string_t& value) {
        if (value.size() > kLongestText) return Fail("it holds a name longer than 4096 bytes");
        key_ = value;
        return true;
    }
    bool start_object(std::size_t) {
        if (depth_ == 0) return Push(kRootObject);
        if (Top() == kBookmarkArray) {
            std::memset(&entry_, 0, sizeof entry_);
            entry_.active = 1;
            ++entryNumber_;
            return Push(kEntryObject);
        }
        return OnContainer() && Push(kIgnored);
    }
    bool start_array(std::size_t) {
        if (depth_ == 0) return Fail("not a Zentrilo bookmark list");
        if (Top() == kRootObject && key_ == "bookmarks") {
            sawBookmarks_ = true;
            return Push(kBookmarkArray);
        }
        return OnContainer() && Push(kIgnored);
    }
    bool end_object() {
        const Frame frame = Top();
        --depth_;
        if (frame == kEntryObject) return EndEntry();
        if (frame == kRootObject && !sawFormat_) return Fail("not a Zentrilo bookmark list");
        if (frame == kRootObject && !sawBookmarks_) return Fail("the file has no \"bookmarks\" list");
        return true;
    }
    bool end_array() {
        --depth_;
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception&) {
        unsigned line = 1, column = 1;
        for (size_t i = 0; i + 1 < position && i < text_.size(); ++i) {
            if (text_[i] == '\n') {
                ++line;
                column = 1;
            } else {
                ++column;
            }
        }
        char where[64];
        std::snprintf(where, sizeof where, "not valid JSON (line %u, column %u)", line, column);
        return Fail(where);
    }

private:
    Frame Top() const { return frames_[depth_ - 1]; }

    bool Push(Frame frame) {
        if (depth_ == kDeepestNesting) return Fail("nested deeper than 8 levels");
        frames_[depth_++] = frame;
        return true;
    }

    bool Fail(const std::string& fault) {
        if (fault_.empty()) fault_ = fault;
        return false;
    }

    bool FailEntry(const std::string& fault) { return Fail("bookmark " + std::to_string(entryNumber_) + fault); }

    bool OnContainer() { return OnValue({kContainer, false, 0, nullptr}); }

    bool OnValue(const Value& value) {
        if (depth_ == 0) return Fail("not a Zentrilo bookmark list");
        switch (Top()) {
        case kRootObject: return OnTopValue(value);
        case kBookmarkArray: ++entryNumber_; return FailEntry(" is not an object");
        case kEntryObject: return OnEntryValue(value);
        case kIgnored: return true;
        }
        return true;
    }

    bool OnTopValue(const Value& value) {
        if (key_ == "format") {
            if (value.kind != kString || *value.text != kBookmarkListFormat)
                return Fail("not a Zentrilo bookmark list");
            sawFormat_ = true;
        } else if (key_ == "version") {
            if (value.kind != kUnsigned) return Fail("\"version\" must be a number");
            if (value.number > kBookmarkListVersion)
                return Fail("the list's version " + std::to_string(value.number) + " is newer than this plug-in reads");
        } else if (key_ == "bookmarks") {
            return Fail("\"bookmarks\" must be a list");   // arrays do not come here
        }
        return true;
    }

    bool Number(const Value& value, uint32_t& field, bool& present, bool nullable = true) {
        if (value.kind == kNull && nullable) return true;
        if (value.kind != kUnsigned || value.number > kLargestAddress)
            return FailEntry(": \"" + key_ + "\" must be a number from 0 to 4294967295");
        field = static_cast<uint32_t>(value.number);
        present = true;
        return true;
    }

    bool Text(const Value& value, char* field, size_t fieldSize, bool nullable = false) {
        if (value.kind == kNull && nullable) return true;
        if (value.kind != kString) return FailEntry(": \"" + key_ + "\" must be text");
        if (!Utf8ToAnsi(*value.text, field, fieldSize))
            return FailEntry(": \"" + key_ + "\" is longer than " + std::to_string(fieldSize - 1) + " characters");
        return true;
    }

    bool Flag(const Value& value, uint8_t* field) {
        if (value.kind != kBoolean) return FailEntry(": \"" + key_ + "\" must be true or false");
        if (field) *field = value.boolean ? 1 : 0;
        return true;
    }

    bool OnEntryValue(const Value& value) {
        char scratch[kDisassemblyFieldSize];
        uint32_t ignored = 0;
        bool present = false;
        if (key_ == "address") return Number(value, entry_.address, entry_.hasAddress, false);
        if (key_ == "offset") return Number(value, entry_.offset, entry_.hasOffset);
        if (key_ == "module_base") return Number(value, ignored, present);
        if (key_ == "module") return Text(value, entry_.module, sizeof entry_.module, true);
        if (key_ == "name") return Text(value, entry_.name, sizeof entry_.name);
        if (key_ == "comment") return Text(value, entry_.comment, sizeof entry_.comment);
        if (key_ == "original_instruction") return Text(value, entry_.original, sizeof entry_.original);
        if (key_ == "current_instruction") return Text(value, scratch, sizeof scratch);
        if (key_ == "active") return Flag(value, &entry_.active);
        if (key_ == "changed") return Flag(value, nullptr);
        return true;   // a field of a later version
    }

    bool EndEntry() {
        if (!entry_.hasAddress) return FailEntry(" has no address");
        if (!apply_) return true;
        uint32_t address = 0;
        if (!Place(entry_, shownBlockBase_, address)) {
            ++counts_.notLoaded;
        } else if (!ApplyRecord(RecordFor(entry_), address)) {
            ++counts_.notStored;
        } else {
            ++counts_.imported;
            applied_ = true;
            lastApplied_ = address;
        }
        return true;
    }

    const std::string& text_;
    const bool apply_;
    const uint32_t shownBlockBase_;
    Frame frames_[kDeepestNesting] = {};
    int depth_ = 0;
    std::string key_;
    bool sawFormat_ = false;
    bool sawBookmarks_ = false;
    Entry entry_ = {};
    unsigned entryNumber_ = 0;
    Counts counts_;
    bool applied_ = false;
    uint32_t lastApplied_ = 0;
    std::string fault_;
};

// The whole file, when it can be read and is at most kLargestFile bytes.
bool ReadWhole(const char* path, std::string& text, std::string& fault) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) return false;
    char chunk[4096];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() <= kLargestFile)
        text.append(chunk, read);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (text.size() > kLargestFile) fault = "the file is larger than 8 MB";
    return !failed;
}

std::string Outcome(const Counts& counts) {
    std::string text = "Zentrilo: " + std::to_string(counts.imported) + " bookmarks imported";
    const unsigned skipped = counts.notLoaded + counts.notStored;
    if (skipped == 0) return text + "!";
    text += ", " + std::to_string(skipped) + " skipped (";
    if (counts.notLoaded && counts.notStored)
        return text + std::to_string(counts.notLoaded) + " module not loaded, " + std::to_string(counts.notStored) +
               " not stored)!";
    return text + (counts.notLoaded ? "module not loaded)!" : "not stored)!");
}

template <typename Handler>
void Parse(const std::string& text, Handler& handler) {
    Json::sax_parse(text.begin(), text.end(), &handler, Json::input_format_t::json, true, false);
}

void Import(const char* path, uint32_t shownBlockBase) {
    std::string text, fault;
    if (!ReadWhole(path, text, fault)) {
        HostFlash("[ERROR]: Nothing imported!");
        return;
    }
    if (fault.empty()) {
        ListReader check(text, false, shownBlockBase);
        Parse(text, check);
        fault = check.fault();
    }
    if (!fault.empty()) {
        HostFlash("[ERROR]: Nothing imported, %s!", fault.c_str());
        return;
    }
    ListReader apply(text, true, shownBlockBase);
    try {
        Parse(text, apply);
    } catch (...) {
        // Out of memory part way: what was applied stays.
        if (apply.applied()) PublishStatus(ActivePosition(apply.lastApplied()));
        HostFlash("[ERROR]: Import stopped by a lack of memory after %u bookmarks!", apply.counts().imported);
        return;
    }
    // Each bookmark's caption was made before its fields were filled in.
    if (apply.applied()) PublishStatus(ActivePosition(apply.lastApplied()));
    HostFlash("%s", Outcome(apply.counts()).c_str());
}

}  // namespace

void ImportJsonBookmarkList(const char* path, uint32_t shownBlockBase) {
    try {
        Import(path, shownBlockBase);
    } catch (...) {
        HostFlash("[ERROR]: Nothing imported, out of memory!");
    }
}

}  // namespace zt
