// Import of an x64dbg database. Its three lists may come in any order, and a
// label may come before the bookmark at its address, so the file is read as
// a stream three times: the first pass checks every entry and changes
// nothing, the second makes the bookmarks, the third names them after the
// labels and sets the comments (and labels). A file with any fault is
// refused whole, and memory stays bounded by one entry (and the loaded
// modules) however long the file. Texts longer than the reader keeps (x64dbg
// may keep long notes, trace records and plug-ins' data) are shortened, not
// refused.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/bookmark_views.h"
#include "core/settings.h"
#include "core/store.h"
#include "core/text.h"
#include "core/undo_journal.h"
#include "exchange/json/json_events.h"
#include "exchange/json/json_file_pass.h"
#include "exchange/common/module_files.h"
#include "exchange/common/status_text.h"
#include "exchange/common/text_encoding.h"
#include "exchange/x64dbg/x64dbg_database.h"
#include "host/host.h"

namespace zt {

namespace {

// Other keys (x64dbg's functions, breakpoints, plug-ins' data) may nest.
constexpr int kDeepestNesting = 32;
constexpr size_t kNameKeep = 60;      // and "...", as typed names are cut; labels too
constexpr size_t kCommentKeep = 252;  // and "...", as typed comments are cut
// Of a label's or comment's text, at most this many bytes are converted: far
// more than is kept, so a longer one is cut as a typed one is.
constexpr size_t kLongestKeptText = 1024;

enum Section : uint8_t { kBookmarks, kLabels, kComments, kSectionCount };
constexpr const char* kSectionKeys[kSectionCount] = {"bookmarks", "labels", "comments"};
constexpr const char* kEntryWords[kSectionCount] = {"bookmark", "label", "comment"};

// What a pass over the file does.
enum Step : uint8_t { kCheck, kMakeBookmarks, kNameAndComment };

// One entry as read, its text already in the system's code page.
struct Entry {
    bool hasModule, hasAddress, hasText;
    bool manual;
    uint32_t offset;
    char module[kFilePathSize];      // empty: the address lay in no module
    char text[kLongestKeptText + 1];
};

struct Counts {
    unsigned bookmarks = 0;
    unsigned names = 0;       // labels that named a bookmark
    unsigned labels = 0;      // labels that became the debugger's
    unsigned comments = 0;
    unsigned inNoModule = 0;
    unsigned notLoaded = 0;
    unsigned notUnique = 0;
    unsigned outside = 0;     // the offset lies beyond the module's end
    unsigned notStored = 0;
    unsigned noBookmark = 0;  // a label where there is no bookmark, names not mapped to labels
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
class DatabaseReader : public JsonEvents<DatabaseReader, Frame, kDeepestNesting> {
    friend class JsonEvents<DatabaseReader, Frame, kDeepestNesting>;   // for OnValue

public:
    // The passes that apply add to counts.
    DatabaseReader(Step step, const ModuleFiles& modules, Counts& counts)
        : step_(step), modules_(modules), counts_(counts) {}

    bool madeBookmark() const { return madeBookmark_; }
    uint32_t lastBookmark() const { return lastBookmark_; }

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
                return Push(kSectionArray);
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
        if ((step_ == kMakeBookmarks && section_ == kBookmarks) ||
            (step_ == kNameAndComment && section_ != kBookmarks))
            Apply();
        return true;
    }

    // Where the entry goes now; false, counted, when nowhere.
    bool Place(uint32_t& address) {
        if (!entry_.module[0]) {
            ++counts_.inNoModule;
            return false;
        }
        if (lstrcmpiA(lastModule_, entry_.module) != 0) {
            CopyText(lastModule_, entry_.module);
            lastFound_ = modules_.Named(entry_.module, lastCount_);
        }
        if (lastCount_ == 0) {
            ++counts_.notLoaded;
            return false;
        }
        if (lastCount_ > 1) {
            ++counts_.notUnique;
            return false;
        }
        if (entry_.offset >= lastFound_->size) {
            ++counts_.outside;
            return false;
        }
        address = lastFound_->base + entry_.offset;
        return true;
    }

    void Apply() {
        // x64dbg's automatic comments, and empty texts, are passed over.
        if (section_ == kComments && !entry_.manual) return;
        if (section_ != kBookmarks && !entry_.text[0]) return;
        uint32_t address = 0;
        if (!Place(address)) return;
        RememberAddress(address);
        switch (section_) {
        case kBookmarks: MakeBookmark(address); break;
        case kLabels: ApplyLabel(address); break;
        case kComments:
            CutWithEllipsis(entry_.text, kCommentKeep);
            HostInsertName(address, kHostNameComment, entry_.text);
            ++counts_.comments;
            break;
        case kSectionCount: break;
        }
    }

    // A bookmark already there stays as it is.
    void MakeBookmark(uint32_t address) {
        LoadBookmark(address);
        if (!FindRecord(address)) {
            ++counts_.notStored;
            return;
        }
        ++counts_.bookmarks;
        madeBookmark_ = true;
        lastBookmark_ = address;
    }

    void ApplyLabel(uint32_t address) {
        const bool mapped = IsLabelMappingOn();
        const bool bookmarked = FindRecord(address) != nullptr;
        if (!mapped && !bookmarked) {
            ++counts_.noBookmark;
            return;
        }
        // The debugger's labels, like the names they mirror, take 63 characters.
        CutWithEllipsis(entry_.text, kNameKeep);
        if (mapped) {
            HostInsertName(address, kHostNameLabel, entry_.text);
            ++counts_.labels;
        }
        if (bookmarked && NameBookmark(address, entry_.text)) ++counts_.names;
    }

    const Step step_;
    const ModuleFiles& modules_;
    Section section_ = kBookmarks;
    bool sawSection_ = false;
    Entry entry_ = {};
    unsigned entryNumber_[kSectionCount] = {};
    char lastModule_[kFilePathSize] = "";
    const ModuleFile* lastFound_ = nullptr;
    unsigned lastCount_ = 0;
    Counts& counts_;
    bool madeBookmark_ = false;
    uint32_t lastBookmark_ = 0;
    char owner_[32] = "";
};

// x64dbg compresses its databases unless told not to: such a file, like
// any that is not JSON, begins, after white space, with a byte that no JSON
// text begins with, but for a byte-order mark, which the reader passes over.
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

void FlashOutcome(const Counts& counts) {
    StatusText text = "";
    AppendText(text, "Zentrilo: %u bookmarks, %u names, %u labels, %u comments imported", counts.bookmarks,
               counts.names, counts.labels, counts.comments);
    const CountedReason reasons[] = {{counts.inNoModule, "in no module"},
                                     {counts.notLoaded, "module not loaded"},
                                     {counts.notUnique, "module name not unique"},
                                     {counts.outside, "outside the module"},
                                     {counts.noBookmark, "label without bookmark"},
                                     {counts.notStored, "not stored"}};
    AppendSkipped(text, reasons, sizeof reasons / sizeof *reasons);
    HostFlash("%s!", text);
}

void Import(std::FILE* file) {
    if (!BeginsWithJson(file)) {
        HostFlash("[ERROR]: Nothing imported, the file is not JSON. If x64dbg compressed it, run dbsave "
                  "\"C:\\path\\file.dd32\" in x64dbg or tick Options, Preferences, Engine, Disable database "
                  "compression!");
        return;
    }
    ModuleFiles modules;
    Counts counts;
    DatabaseReader check(kCheck, modules, counts);
    if (!ReadJsonFile(file, check, LongTexts::kShorten)) {
        HostFlash("[ERROR]: Nothing imported, %s!", check.fault());
        return;
    }
    if (!modules.Scan()) throw std::bad_alloc();
    UndoRecording undo(UndoKind::kImport);
    DatabaseReader bookmarks(kMakeBookmarks, modules, counts);
    DatabaseReader names(kNameAndComment, modules, counts);
    bool complete = false;
    bool outOfMemory = false;
    try {
        complete = std::fseek(file, 0, SEEK_SET) == 0 && ReadJsonFile(file, bookmarks, LongTexts::kShorten) &&
                   std::fseek(file, 0, SEEK_SET) == 0 && ReadJsonFile(file, names, LongTexts::kShorten);
    } catch (const std::bad_alloc&) {
        outOfMemory = true;   // what was applied stays
    }
    // Each bookmark's caption was made before it was named; the names are new.
    if (bookmarks.madeBookmark()) PublishStatus(ActivePosition(bookmarks.lastBookmark()));
    if (counts.names) RepaintBookmarkList();
    if (outOfMemory)
        HostFlash("[ERROR]: Import stopped by a lack of memory after %u bookmarks!", counts.bookmarks);
    else if (!complete)
        HostFlash("[ERROR]: Import stopped after %u bookmarks, the file changed while it was read!",
                  counts.bookmarks);
    else
        FlashOutcome(counts);
}

}  // namespace

void ImportX64dbgDatabase(const char* path) { ImportJsonFile(path, &Import); }

}  // namespace zt
