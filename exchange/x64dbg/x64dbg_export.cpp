// The x64dbg database: three lists, one entry per line, each bookmark in a
// module under "bookmarks", its name under "labels" and the debugger's
// comment at its address under "comments". x64dbg has no disabled bookmarks:
// those are written too.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/bookmark_list.h"
#include "core/store.h"
#include "exchange/exchange_file/exchange_record.h"
#include "exchange/common/file_chooser.h"
#include "exchange/common/file_replace.h"
#include "exchange/json/json_lines.h"
#include "exchange/common/loaded_modules.h"
#include "exchange/common/status_text.h"
#include "exchange/common/text_encoding.h"
#include "exchange/x64dbg/x64dbg_database.h"
#include "host/host.h"

namespace zt {

namespace {

enum List { kBookmarks, kLabels, kComments };

struct Outcome {
    unsigned exported = 0;
    unsigned inNoModule = 0;
    unsigned fileUnknown = 0;   // in a module whose file name is not found
};

// The module of each address in turn, as x64dbg names it: the file name in
// lower case (letters A to Z, as x64dbg lowers them), UTF-8. The last one is
// kept: bookmarks come in address order, those of a module one after another.
class ModuleOf {
public:
    enum Found { kInModule, kInNoModule, kFileUnknown };

    Found Find(uint32_t address, uint32_t& offset) {
        const HostModule* module = HostFindModule(address);
        if (!module) return kInNoModule;
        if (!known_ || module->base != base_) {
            known_ = true;
            base_ = module->base;
            char file[kFilePathSize];
            ReadModuleFileName(base_, file, sizeof file);
            AnsiToUtf8(file, sizeof file, file_, sizeof file_);
            for (char* c = file_; *c; ++c)
                if (*c >= 'A' && *c <= 'Z') *c = static_cast<char>(*c - 'A' + 'a');
        }
        offset = address - base_;
        return file_[0] ? kInModule : kFileUnknown;
    }
    const char* file() const { return file_; }

private:
    bool known_ = false;
    uint32_t base_ = 0;
    char file_[Utf8SizeFor(kFilePathSize)] = "";
};

// A comment x64dbg takes: cut, at a character's start, to leave room for
// "..." when it is too long.
void FitComment(char* text) {
    if (std::strlen(text) <= kLongestX64dbgComment) return;
    size_t cut = kLongestX64dbgComment - 3;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    std::strcpy(text + cut, "...");
}

// The text of one list's entry for a bookmark, UTF-8; false when the
// bookmark has none for that list.
bool EntryText(List list, const BookmarkRecord& bookmark, char* text, size_t textSize) {
    text[0] = '\0';
    if (list == kLabels) {
        if (IsPlaceholderName(bookmark.name)) return false;
        AnsiToUtf8(bookmark.name, sizeof bookmark.name, text, textSize);
    } else if (list == kComments) {
        char comment[kCommentFieldSize] = {};
        if (HostFindName(bookmark.address, kHostNameComment, comment) == 0) return false;
        AnsiToUtf8(comment, sizeof comment, text, textSize);
        FitComment(text);
    }
    return list == kBookmarks || text[0];
}

void WriteList(ListWriter& out, List list, Outcome& outcome) {
    ModuleOf modules;
    char text[Utf8SizeFor(kCommentFieldSize)];
    for (uint32_t address : g_bookmarks) {
        const BookmarkRecord* bookmark = FindRecord(address);
        if (!bookmark) continue;
        uint32_t offset = 0;
        const ModuleOf::Found found = modules.Find(address, offset);
        if (list == kBookmarks) {
            if (found == ModuleOf::kInNoModule) ++outcome.inNoModule;
            if (found == ModuleOf::kFileUnknown) ++outcome.fileUnknown;
            if (found == ModuleOf::kInModule) ++outcome.exported;
        }
        if (found != ModuleOf::kInModule || !EntryText(list, *bookmark, text, sizeof text)) continue;
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%X", unsigned(offset));
        NextLine(out);
        out.writer.StartObject();
        out.writer.Key("module");
        out.writer.String(modules.file());
        out.writer.Key("address");
        out.writer.String(hex);
        out.writer.Key("manual");
        out.writer.Bool(true);
        if (list != kBookmarks) {
            out.writer.Key("text");
            out.writer.String(text);
        }
        out.writer.EndObject();
    }
    CloseList(out);
}

bool WriteDatabase(std::FILE* file, void* context) {
    Outcome& outcome = *static_cast<Outcome*>(context);
    outcome = Outcome();
    char buffer[4096];
    JsonOutStream stream(file, buffer, sizeof buffer);
    JsonWriter writer(stream);
    ListWriter out{stream, writer, true};
    const char* const heads[] = {"{\n  \"bookmarks\": [", ",\n  \"labels\": [", ",\n  \"comments\": ["};
    for (List list : {kBookmarks, kLabels, kComments}) {
        PutRaw(stream, heads[list]);
        out.first = true;
        WriteList(out, list, outcome);
    }
    PutRaw(stream, "\n}\n");
    stream.Flush();
    return std::ferror(file) == 0;
}

}  // namespace

void ExportX64dbgDatabase(const char* path) {
    Outcome outcome;
    if (!ReplaceFileWith(path, &WriteDatabase, &outcome)) {
        HostFlash("[ERROR]: Nothing exported!");
        return;
    }
    StatusText text = "";
    AppendText(text, "Zentrilo: %u bookmarks exported for x64dbg", outcome.exported);
    const CountedReason reasons[] = {{outcome.inNoModule, "in no module"},
                                     {outcome.fileUnknown, "module's file name unknown"}};
    AppendSkipped(text, reasons, 2);
    HostFlash("%s!", text);
}

}  // namespace zt
