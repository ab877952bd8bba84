// Import of a program XML. Ghidra writes the whole program: its document
// type inline, data types, memory map, code, functions, thousands of
// symbols and bookmarks of its analysis; IDA's plug-in writes no image base
// and addresses as 0x401000. Only three sections are read, each entry
// turned into an import entry as it streams by:
//   BOOKMARKS/BOOKMARK of TYPE Note (or none): a bookmark named by its
//     DESCRIPTION, disabled when its CATEGORY says so; other types are
//     Ghidra's analysis, passed over;
//   SYMBOL_TABLE/SYMBOL of SOURCE_TYPE USER_DEFINED or IMPORTED (or none):
//     a label, naming the bookmark there only when it has no name; ANALYSIS
//     ones and the secondary names of an address are passed over;
//   COMMENTS/COMMENT: the comments of one address (Ghidra and IDA write
//     them address by address) joined into one, in the order plate, pre,
//     end-of-line, post, repeatable, separated by " | ".
// Addresses (00401000, 0x401000, ram:00401000) become offsets from the
// program's image base; those of other address spaces (Ghidra's EXTERNAL
// functions) are passed over.
#include "exchange/ghidra/program_xml.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "core/text.h"
#include "exchange/common/loaded_modules.h"
#include "exchange/common/preferred_base.h"
#include "exchange/common/status_text.h"
#include "exchange/common/text_encoding.h"
#include "exchange/xml/xml_pass.h"
#include "exchange/import/import_run.h"
#include "host/host.h"

namespace zt {

namespace {

enum Section : uint8_t { kOtherSection, kBookmarks, kComments, kSymbols };
enum CommentType : uint8_t { kPlate, kPre, kEndOfLine, kPost, kRepeatable, kCommentTypes };
constexpr const char* kCommentTypeNames[kCommentTypes] = {"plate", "pre", "end-of-line", "post", "repeatable"};
constexpr char kCommentJoint[] = " | ";

// Why entries are passed over, as the status line counts them.
constexpr char kByAnalysis[] = "by analysis";
constexpr char kNotPrimary[] = "not primary";
constexpr char kOtherSpace[] = "in another address space";

// Whether text, up to `end`, is word, letter case aside (the file's words
// are ASCII).
bool SameWord(const char* text, const char* word, char end = '\0') {
    for (; *word; ++text, ++word)
        if ((*text | 0x20) != (*word | 0x20)) return false;
    return *text == end;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

enum AddressForm : uint8_t { kBadAddress, kInMemory, kInOtherSpace };

// "00401000", "0x401000" or "ram:00401000"; an address of another space
// ("EXTERNAL:00000010") is read but not in the program's memory.
AddressForm ParseAddress(const char* text, uint32_t& address) {
    AddressForm form = kInMemory;
    if (const char* colon = std::strchr(text, ':')) {
        if (colon == text) return kBadAddress;
        if (!SameWord(text, "ram", ':')) form = kInOtherSpace;
        text = colon + 1;
    } else if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text += 2;
    }
    if (!text[0]) return kBadAddress;
    uint64_t value = 0;
    for (; *text; ++text) {
        if (!IsHexDigit(*text)) return kBadAddress;
        const char c = *text;
        value = value * 16 + unsigned(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        if (value > 0xFFFFFFFFu) return kBadAddress;
    }
    address = static_cast<uint32_t>(value);
    return form;
}

// length bytes of UTF-8, cut at a character's start to fit the field, in
// the system's code page.
void KeepText(const char* text, size_t length, char (&field)[kEntryTextSize]) {
    if (length >= kEntryTextSize) {
        length = kEntryTextSize - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
    }
    if (!Utf8ToAnsi(text, length, field, sizeof field)) field[0] = '\0';
}

// The comments of one address, gathered by type while they stream by.
struct PendingComment {
    bool any;
    uint32_t address;
    char parts[kCommentTypes][kEntryTextSize];   // UTF-8
    size_t lengths[kCommentTypes];
    bool full[kCommentTypes];
};

class ProgramXmlReader final : public ImportReader, private XmlEvents {
public:
    ProgramXmlReader(const char* module, uint32_t imageBase) : imageBase_(imageBase) {
        CopyText(module_, module);
    }

    bool Read(std::FILE* file, EntrySink& sink) override {
        sink_ = &sink;
        depth_ = 0;
        section_ = kOtherSection;
        inComment_ = false;
        comment_.any = false;
        XmlPass pass;
        pass_ = &pass;
        const XmlPass::Outcome outcome = pass.Read(file, *this);
        if (outcome == XmlPass::kWhole) {
            TakeComment();
            return true;
        }
        readFailed_ = outcome == XmlPass::kReadFailed;
        CopyText(fault_, readFailed_ ? "the file could not be read" : pass.fault());
        return false;
    }

private:
    void StartElement(const char* name, const char* const* attributes) override {
        ++depth_;
        if (depth_ == 1) return StartProgram(name, attributes);
        if (depth_ == 2) {
            section_ = std::strcmp(name, "BOOKMARKS") == 0      ? kBookmarks
                       : std::strcmp(name, "COMMENTS") == 0     ? kComments
                       : std::strcmp(name, "SYMBOL_TABLE") == 0 ? kSymbols
                                                                : kOtherSection;
            return;
        }
        if (depth_ != 3) return;
        if (section_ == kBookmarks && std::strcmp(name, "BOOKMARK") == 0) return ReadBookmark(attributes);
        if (section_ == kSymbols && std::strcmp(name, "SYMBOL") == 0) return ReadSymbol(attributes);
        if (section_ == kComments && std::strcmp(name, "COMMENT") == 0) return StartComment(attributes);
    }

    void EndElement() override {
        if (depth_ == 3) inComment_ = false;
        if (depth_ == 2 && section_ == kComments) TakeComment();
        --depth_;
    }

    // A part keeps what fits of its text, cut at a character's start; what
    // comes after is passed over.
    void Text(const char* text, size_t length) override {
        if (!inComment_ || depth_ != 3 || comment_.full[part_]) return;
        size_t& used = comment_.lengths[part_];
        const size_t room = kEntryTextSize - 1 - used;
        if (length > room) {
            length = room;
            while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
            comment_.full[part_] = true;
        }
        std::memcpy(comment_.parts[part_] + used, text, length);
        used += length;
    }

    void StartProgram(const char* name, const char* const* attributes) {
        if (std::strcmp(name, "PROGRAM") != 0)
            return pass_->Fail("not a program XML, its first element is <%.40s>", name);
        uint32_t base;
        const char* imageBase = XmlAttribute(attributes, "IMAGE_BASE");
        if (imageBase && ParseAddress(imageBase, base) != kInMemory)
            pass_->Fail("bad IMAGE_BASE \"%.40s\"", imageBase);
    }

    // The entry's address, or false when it is passed over or faulty.
    bool Address(const char* element, const char* const* attributes, uint32_t& address) {
        const char* text = XmlAttribute(attributes, "ADDRESS");
        if (!text) {
            pass_->Fail("%s without ADDRESS", element);
            return false;
        }
        switch (ParseAddress(text, address)) {
        case kInMemory: return true;
        case kInOtherSpace: sink_->PassOver(kOtherSpace); return false;
        case kBadAddress: break;
        }
        pass_->Fail("bad address \"%.40s\"", text);
        return false;
    }

    void Start(EntryKind kind, uint32_t address) {
        ClearEntry(entry_, kind);
        entry_.moduleKey = ModuleKey::kFile;
        CopyText(entry_.module, module_);
        entry_.hasOffset = true;
        entry_.offset = address - imageBase_;
    }

    void ReadBookmark(const char* const* attributes) {
        const char* type = XmlAttribute(attributes, "TYPE");
        if (type && !SameWord(type, "Note")) return sink_->PassOver(kByAnalysis);
        uint32_t address;
        if (!Address("BOOKMARK", attributes, address)) return;
        Start(EntryKind::kBookmark, address);
        const char* category = XmlAttribute(attributes, "CATEGORY");
        // A bookmark of another's, new here, is active; one already here stays as it is.
        if (category && std::strcmp(category, kProgramXmlCategory) == 0) {
            entry_.hasActive = true;
            entry_.active = 1;
        } else if (category && std::strcmp(category, kProgramXmlDisabledCategory) == 0) {
            entry_.hasActive = true;
            entry_.active = 0;
        }
        const char* description = XmlAttribute(attributes, "DESCRIPTION");
        if (description && description[0]) {
            entry_.hasName = true;
            KeepText(description, std::strlen(description), entry_.name);
        }
        sink_->Take(entry_);
    }

    void ReadSymbol(const char* const* attributes) {
        const char* source = XmlAttribute(attributes, "SOURCE_TYPE");
        if (source && std::strcmp(source, "USER_DEFINED") != 0 && std::strcmp(source, "IMPORTED") != 0)
            return sink_->PassOver(kByAnalysis);
        const char* primary = XmlAttribute(attributes, "PRIMARY");
        if (primary && (primary[0] == 'n' || primary[0] == 'N')) return sink_->PassOver(kNotPrimary);
        const char* name = XmlAttribute(attributes, "NAME");
        if (!name) return pass_->Fail("SYMBOL without NAME");
        uint32_t address;
        if (!Address("SYMBOL", attributes, address) || !name[0]) return;
        Start(EntryKind::kLabel, address);
        entry_.hasName = true;
        entry_.namesUnnamedOnly = true;
        KeepText(name, std::strlen(name), entry_.name);
        sink_->Take(entry_);
    }

    void StartComment(const char* const* attributes) {
        const char* type = XmlAttribute(attributes, "TYPE");
        int part = 0;
        while (part < kCommentTypes && !(type && std::strcmp(type, kCommentTypeNames[part]) == 0)) ++part;
        if (part == kCommentTypes) return pass_->Fail("COMMENT of unknown TYPE \"%.40s\"", type ? type : "");
        uint32_t address;
        if (!Address("COMMENT", attributes, address)) return;
        if (comment_.any && comment_.address != address) TakeComment();
        if (!comment_.any) {
            comment_.any = true;
            comment_.address = address;
            for (int i = 0; i < kCommentTypes; ++i) {
                comment_.lengths[i] = 0;
                comment_.full[i] = false;
            }
        }
        part_ = static_cast<CommentType>(part);
        inComment_ = true;
        // A second comment of one type at one address continues the first.
        if (comment_.lengths[part_]) Text(kCommentJoint, sizeof kCommentJoint - 1);
    }

    void TakeComment() {
        if (!comment_.any) return;
        comment_.any = false;
        char joined[kCommentTypes * (kEntryTextSize + sizeof kCommentJoint)];
        size_t length = 0;
        for (int part = 0; part < kCommentTypes; ++part) {
            if (!comment_.lengths[part]) continue;
            if (length) {
                std::memcpy(joined + length, kCommentJoint, sizeof kCommentJoint - 1);
                length += sizeof kCommentJoint - 1;
            }
            std::memcpy(joined + length, comment_.parts[part], comment_.lengths[part]);
            length += comment_.lengths[part];
        }
        Start(EntryKind::kComment, comment_.address);
        entry_.hasComment = true;
        KeepText(joined, length, entry_.comment);
        sink_->Take(entry_);
    }

    char module_[kFilePathSize];
    const uint32_t imageBase_;
    EntrySink* sink_ = nullptr;
    XmlPass* pass_ = nullptr;
    unsigned depth_ = 0;
    Section section_ = kOtherSection;
    bool inComment_ = false;
    CommentType part_ = kPlate;
    PendingComment comment_ = {};
    ImportEntry entry_ = {};
};

// What the program's first tag says of it: its file name and image base.
class ProgramHead final : private XmlEvents {
public:
    char name[kFilePathSize] = "";
    char exeFile[kFilePathSize] = "";   // EXE_PATH's file name
    bool hasImageBase = false;
    uint32_t imageBase = 0;

    // A file that cannot be read, or that is faulty, tells nothing: the
    // import's check refuses it.
    void Read(const char* path) {
        std::FILE* file = std::fopen(path, "rb");
        if (!file) return;
        try {
            pass_.Read(file, *this);
        } catch (const std::bad_alloc&) {
        }
        std::fclose(file);
    }

private:
    void StartElement(const char* element, const char* const* attributes) override {
        pass_.Stop();
        if (std::strcmp(element, "PROGRAM") != 0) return;
        if (const char* text = XmlAttribute(attributes, "NAME")) KeepFileName(text, name);
        if (const char* path = XmlAttribute(attributes, "EXE_PATH")) {
            const char* file = path;
            for (const char* p = path; *p; ++p)
                if (*p == '/' || *p == '\\' || *p == ':') file = p + 1;
            KeepFileName(file, exeFile);
        }
        const char* base = XmlAttribute(attributes, "IMAGE_BASE");
        hasImageBase = base && ParseAddress(base, imageBase) == kInMemory;
    }
    void EndElement() override {}
    void Text(const char*, size_t) override {}

    static void KeepFileName(const char* text, char (&field)[kFilePathSize]) {
        if (!Utf8ToAnsi(text, std::strlen(text), field, sizeof field)) field[0] = '\0';
    }

    XmlPass pass_;
};

// The base a module's addresses counted from in the program that Ghidra or
// IDA read: its preferred image base, from its file, else its load base.
uint32_t ProgramBase(uint32_t loadBase) {
    uint32_t preferred;
    FindPreferredBase(loadBase, preferred);
    return preferred;
}

void Import(const char* path) {
    ProgramHead head;
    head.Read(path);
    // The loaded modules are asked for (which takes a while) only when the
    // program's name or base depends on them; the import finds the module.
    const char* module = head.name;
    const LoadedModule* found = nullptr;
    LoadedModules modules;
    if (!head.hasImageBase || (head.exeFile[0] && lstrcmpiA(head.exeFile, head.name) != 0)) {
        if (!modules.Scan(true)) throw std::bad_alloc();
        unsigned count = 0;
        found = modules.WithFile(head.name, count);
        if (!found && head.exeFile[0] && modules.WithFile(head.exeFile, count)) {
            module = head.exeFile;
            found = modules.WithFile(module, count);
        }
    }

    // Where entries go when the program's module is not loaded: the module
    // the CPU pane shows, or its block when that lies in none.
    const auto* pane = reinterpret_cast<const HostCpuPane*>(HostGetValue(kHostValueCpuPane));
    ImportOptions options = {};
    options.countsNames = true;
    StatusText note = "";
    if (pane && pane->blockSize) {
        const HostModule* shown = HostFindModule(pane->blockBase);
        options.fallbackBase = shown ? shown->base : pane->blockBase;
        options.fallbackSize = shown ? shown->size : pane->blockSize;
        char shownFile[kFilePathSize] = "";
        if (shown) ReadModuleFileName(shown->base, shownFile, sizeof shownFile);
        AppendText(note, "into %s, %s is not loaded", shownFile[0] ? shownFile : "the block shown",
                   module[0] ? module : "the program");
        options.fallbackNote = note;
    }
    const uint32_t base = head.hasImageBase ? head.imageBase
                          : found           ? ProgramBase(found->base)
                                            : ProgramBase(options.fallbackBase);
    ProgramXmlReader reader(module, base);
    RunImport(path, reader, options);
}

}  // namespace

void ImportProgramXml(const char* path) {
    try {
        Import(path);
    } catch (const std::bad_alloc&) {
        HostFlash("[ERROR]: Nothing imported, out of memory!");
    }
}

}  // namespace zt
