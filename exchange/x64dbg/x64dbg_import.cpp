// Reader of an x64dbg database for the shared import: its "bookmarks",
// "labels" and "comments" (the last list of each, when one comes twice)
// become entries by module file name and offset. Texts longer than the
// reader keeps (x64dbg may keep long notes, trace records and plug-ins'
// data) are shortened, not refused.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/text.h"
#include "exchange/common/text_encoding.h"
#include "exchange/import/import_run.h"
#include "exchange/json/json_events.h"
#include "exchange/json/json_file_pass.h"
#include "exchange/x64dbg/x64dbg_database.h"

namespace zt {

namespace {

// Other keys (x64dbg's functions, breakpoints, plug-ins' data) may nest.
constexpr int kDeepestNesting = 32;
// Of a label's or comment's text, at most this many bytes are converted: far
// more than is kept, so a longer one is cut as a typed one is.
constexpr size_t kLongestKeptText = kEntryTextSize - 1;

enum Section : uint8_t { kBookmarks, kLabels, kComments, kSectionCount };
constexpr const char* kSectionKeys[kSectionCount] = {"bookmarks", "labels", "comments"};
constexpr const char* kEntryWords[kSectionCount] = {"bookmark", "label", "comment"};

// One entry as read, its text already in the system's code page.
struct Entry {
    bool hasModule, hasAddress, hasText;
    bool manual;
    uint32_t offset;
    char module[kFilePathSize];      // empty: the address lay in no module
    char text[kLongestKeptText + 1];
};

enum Frame : uint8_t { kRootObject, kSectionArray, kEntryObject, kIgnored };

// "0x" and hexadecimal digits of either case, as x64dbg reads them.
bool ParseOffset(const char* text, size_t length, uint32_t& offset) {
    if (length < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    uint64_t value = 0;
    for (size_t i = 2; i < length; ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) return false;
        value = value * 16 + unsigned(digit);
        if (value > 0xFFFFFFFFu) return false;
    }
    offset = static_cast<uint32_t>(value);
    return true;
}

// The handler of the reader's events. It keeps the first fault it meets, as
// the text of a status message, and then stops the reader.
class DatabaseEvents : public JsonEvents<DatabaseEvents, Frame, kDeepestNesting> {
    friend class JsonEvents<DatabaseEvents, Frame, kDeepestNesting>;   // for OnValue

public:
    // The check pass has no last lists yet (null) and counts them.
    DatabaseEvents(EntrySink& sink, const unsigned* lastLists) : sink_(sink), lastLists_(lastLists) {}

    const unsigned* lists() const { return lists_; }

    bool StartObject() {
        if (depth_ == 0) return Push(kRootObject);
        if (Top() != kSectionArray) return OnValue(Scalar(kContainer)) && Push(kIgnored);
        entry_.hasModule = entry_.hasAddress = entry_.hasText = false;
        entry_.manual = true;   // written by hand, perhaps
        entry_.offset = 0;
        entry_.module[0] = entry_.text[0] = '\0';
        ++entryNumber_[section_];
        return Push(kEntryObject);
    }
    bool StartArray() {
        if (depth_ == 0) return Fail("not an x64dbg database");
        if (Top() == kRootObject) {
            for (int section = 0; section < kSectionCount; ++section) {
                if (!IsKey(kSectionKeys[section])) continue;
                section_ = static_cast<Section>(section);
                sawSection_ = true;
                ++lists_[section];
                return Push(lastLists_ && lists_[section] != lastLists_[section] ? kIgnored : kSectionArray);
            }
        }
        return OnValue(Scalar(kContainer)) && Push(kIgnored);
    }
    bool EndObject(rapidjson::SizeType) {
        const Frame frame = Top();
        --depth_;
        if (frame == kEntryObject) return EndEntry();
        if (frame == kRootObject && !sawSection_)
            return Fail("the file has no \"bookmarks\", \"labels\" or \"comments\"");
        return true;
    }

private:

    bool OnValue(const JsonValue& value) {
        if (depth_ == 0) return Fail("not an x64dbg database");
        switch (Top()) {
        case kRootObject:
            for (const char* key : kSectionKeys)
                if (IsKey(key)) return Fail("\"%s\" must be a list", key);   // lists do not come here
            return true;
        case kSectionArray:
            return Fail("%s %u is not an object", kEntryWords[section_], ++entryNumber_[section_]);
        case kEntryObject: return OnEntryValue(value);
        case kIgnored: return true;
        }
        return true;
    }

    const char* Owner() {
        std::snprintf(owner_, sizeof owner_, "%s %u", kEntryWords[section_], entryNumber_[section_]);
        return owner_;
    }

    // A text, or with shorten its first kLongestKeptText bytes at most, cut
    // at a character's start.
    bool Text(const JsonValue& value, char* field, size_t fieldSize, bool shorten = false) {
        if (value.kind != kText) return Fail("%s: \"%s\" must be text", Owner(), key_);
        if (std::memchr(value.text, '\0', value.length))
            return Fail("%s: \"%s\" holds a zero character", Owner(), key_);
        size_t length = value.length;
        if (shorten && length > kLongestKeptText) {
            length = kLongestKeptText;
            while (length > 0 && (static_cast<unsigned char>(value.text[length]) & 0xC0) == 0x80) --length;
        }
        if (!Utf8ToAnsi(value.text, length, field, fieldSize))
            return Fail("%s: \"%s\" is longer than %u characters", Owner(), key_, unsigned(fieldSize - 1));
        return true;
    }

    bool OnEntryValue(const JsonValue& value) {
        if (IsKey("module")) return Text(value, entry_.module, sizeof entry_.module) && (entry_.hasModule = true);
        if (IsKey("address")) {
            if (value.kind != kText || !ParseOffset(value.text, value.length, entry_.offset))
                return Fail("%s: \"address\" must be text, 0x and a hexadecimal number up to FFFFFFFF", Owner());
            entry_.hasAddress = true;
            return true;
        }
        if (IsKey("manual")) {
            if (value.kind != kBoolean) return Fail("%s: \"manual\" must be true or false", Owner());
            entry_.manual = value.boolean;
            return true;
        }
        if (IsKey("text") && section_ != kBookmarks)
            return Text(value, entry_.text, sizeof entry_.text, true) && (entry_.hasText = true);
        return true;   // another field of x64dbg's
    }

    bool EndEntry() {
        if (!entry_.hasModule) return Fail("%s has no module", Owner());
        if (!entry_.hasAddress) return Fail("%s has no address", Owner());
        if (section_ != kBookmarks && !entry_.hasText) return Fail("%s has no text", Owner());
        // x64dbg's automatic comments, and empty texts, are passed over.
        if (section_ == kComments && !entry_.manual) return true;
        if (section_ != kBookmarks && !entry_.text[0]) return true;
        static constexpr EntryKind kKinds[kSectionCount] = {EntryKind::kBookmark, EntryKind::kLabel,
                                                            EntryKind::kComment};
        ImportEntry& out = out_;
        ClearEntry(out, kKinds[section_]);
        out.moduleKey = entry_.module[0] ? ModuleKey::kFile : ModuleKey::kNone;
        CopyText(out.module, entry_.module);
        out.hasOffset = true;
        out.offset = entry_.offset;
        if (section_ == kLabels) {
            out.hasName = true;
            CopyText(out.name, entry_.text);
        } else if (section_ == kComments) {
            out.hasComment = true;
            CopyText(out.comment, entry_.text);
        }
        sink_.Take(out);
        return true;
    }

    EntrySink& sink_;
    const unsigned* const lastLists_;
    unsigned lists_[kSectionCount] = {};
    Section section_ = kBookmarks;
    bool sawSection_ = false;
    Entry entry_ = {};
    ImportEntry out_;
    unsigned entryNumber_[kSectionCount] = {};
    char owner_[32] = "";
};

// x64dbg compresses its databases unless told not to: such a file, like
// any that is not JSON, begins, after white space, with a byte that no JSON
// text begins with. A byte-order mark is left to the reader to refuse.
bool BeginsWithJson(std::FILE* file) {
    unsigned char head[64];
    const size_t count = std::fread(head, 1, sizeof head, file);
    std::fseek(file, 0, SEEK_SET);
    for (size_t i = 0; i < count; ++i) {
        const unsigned char c = head[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
        return std::strchr("{[\"-0123456789tfn", c) != nullptr || c == 0xEF;
    }
    return true;   // empty or white space: the reader says what is wrong
}

class DatabaseReader final : public ImportReader {
public:
    bool Read(std::FILE* file, EntrySink& sink) override {
        if (!checked_ && !BeginsWithJson(file)) {
            CopyText(fault_, "the file is not JSON. If x64dbg compressed it, run dbsave \"C:\\path\\file.dd32\" in "
                             "x64dbg or tick Options, Preferences, Engine, Disable database compression");
            return false;
        }
        DatabaseEvents events(sink, checked_ ? lastLists_ : nullptr);
        if (!ReadJsonFile(file, events, LongTexts::kShorten, readFailed_)) {
            CopyText(fault_, events.fault());
            return false;
        }
        if (!checked_) std::memcpy(lastLists_, events.lists(), sizeof lastLists_);
        checked_ = true;
        return true;
    }

private:
    bool checked_ = false;
    unsigned lastLists_[kSectionCount] = {};
};

}  // namespace

void ImportX64dbgDatabase(const char* path) {
    DatabaseReader reader;
    RunImport(path, reader, ImportOptions{true, 0, 0, nullptr});
}

}  // namespace zt
