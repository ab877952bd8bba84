// The JSON bookmark list: one object with the format's name and version, the
// debugged program's path, the modules that hold bookmarks and the bookmarks,
// one module or bookmark per line.
#include <cstdio>
#include <cstdlib>

#include "core/bookmark_list.h"
#include "exchange/list/bookmark_lists.h"
#include "exchange/list/bookmark_row.h"
#include "exchange/common/file_chooser.h"
#include "exchange/common/grow_array.h"
#include "exchange/json/json_lines.h"
#include "exchange/list/list_patterns.h"
#include "exchange/common/loaded_modules.h"
#include "exchange/common/status_text.h"
#include "exchange/common/text_encoding.h"
#include "host/host.h"

namespace zt {

namespace {

// What the last list's status line adds to "exported successfully".
StatusText g_note = "";

using Stream = JsonOutStream;
using Writer = JsonWriter;

void Key(Writer& writer, const char* key, const char* text) {
    writer.Key(key);
    writer.String(text);
}

void Key(Writer& writer, const char* key, uint32_t number) {
    writer.Key(key);
    writer.Uint(number);
}

// The bases of the modules that hold bookmarks, ascending: bookmarks come in
// address order and modules do not overlap.
class BookmarkedModules {
public:
    BookmarkedModules(const BookmarkedModules&) = delete;
    BookmarkedModules& operator=(const BookmarkedModules&) = delete;
    BookmarkedModules() = default;
    ~BookmarkedModules() { std::free(bases_); }

    bool Collect() {
        for (uint32_t address : g_bookmarks) {
            const HostModule* module = HostFindModule(address);
            if (!module || (count_ && bases_[count_ - 1] == module->base)) continue;
            if (count_ == capacity_ && !GrowArray(bases_, capacity_, 16)) return false;
            bases_[count_++] = module->base;
        }
        return true;
    }
    const uint32_t* begin() const { return bases_; }
    const uint32_t* end() const { return bases_ + count_; }

private:
    uint32_t* bases_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

void WriteModule(Writer& writer, const HostModule* module) {
    const uint32_t base = module->base;
    char name[kModuleFieldSize];
    ModuleName(*module, name);
    char text[Utf8SizeFor(kFilePathSize)];
    writer.StartObject();
    AnsiToUtf8(name, sizeof name, text, sizeof text);
    Key(writer, "name", text);
    char file[kFilePathSize];
    ReadModuleFileName(base, file, sizeof file);
    if (file[0]) {
        AnsiToUtf8(file, sizeof file, text, sizeof text);
        Key(writer, "file", text);
    }
    Key(writer, "base", module->base);
    Key(writer, "size", module->size);
    ModuleBuild build;
    if (ReadModuleBuild(base, build)) {
        Key(writer, "timestamp", build.timestamp);
        Key(writer, "image_size", build.imageSize);
        Key(writer, "checksum", build.checksum);
    }
    writer.EndObject();
}

// What a pattern that is not unique carries besides: its places in the
// module, and the patterns of places that call the bookmark.
struct TwinEvidence {
    uint32_t places[kMostTwins];
    size_t placeCount;
    const CodePattern* callers[kMostCallers];
    size_t callerCount;
    const uint32_t* targets;   // what its wildcards point to
    size_t targetCount;
    uint32_t exportNames;      // of the exported routine it is on, or 0
};

void WriteEntry(Writer& writer, const BookmarkRow& row, const CodePattern* pattern, const TwinEvidence& twin,
                const AlignKeys* align) {
    writer.StartObject();
    Key(writer, "address", row.address);
    if (row.inModule) {
        Key(writer, "module", row.module);
        Key(writer, "module_base", row.moduleBase);
        Key(writer, "offset", row.offset);
    }
    Key(writer, "name", row.name);
    Key(writer, "comment", row.comment);
    writer.Key("active");
    writer.Bool(row.active);
    Key(writer, "original_instruction", row.originalInstruction);
    Key(writer, "current_instruction", row.currentInstruction);
    writer.Key("changed");
    writer.Bool(row.changed);
    if (pattern) {
        char text[kPatternTextMax];
        FormatPattern(*pattern, text);
        Key(writer, "pattern", text);
        Key(writer, "pattern_position", pattern->position);
        writer.Key("pattern_unique");
        writer.Bool(pattern->unique != 0);
        if (twin.placeCount) {
            writer.Key("pattern_places");
            writer.StartArray();
            for (size_t i = 0; i < twin.placeCount; ++i) writer.Uint(twin.places[i]);
            writer.EndArray();
        }
        if (twin.targetCount) {
            writer.Key("pointer_targets");
            writer.StartArray();
            for (size_t i = 0; i < twin.targetCount; ++i) writer.Uint(twin.targets[i]);
            writer.EndArray();
        }
        if (twin.callerCount) {
            writer.Key("caller_patterns");
            writer.StartArray();
            for (size_t i = 0; i < twin.callerCount; ++i) {
                char text[kPatternTextMax];
                FormatPattern(*twin.callers[i], text);
                writer.String(text);
            }
            writer.EndArray();
            writer.Key("caller_positions");
            writer.StartArray();
            for (size_t i = 0; i < twin.callerCount; ++i) writer.Uint(twin.callers[i]->position);
            writer.EndArray();
        }
        if (align) {
            char keys[kAlignTextMax];
            FormatAlignKeys(*align, keys);
            Key(writer, "align_keys", keys);
        }
        if (twin.exportNames) Key(writer, "export_names", twin.exportNames);
    }
    writer.EndObject();
}

// What each bookmark's line needs.
struct BookmarkLines {
    ListWriter& list;
    ExportPatterns& patterns;
    bool wrotePattern;
};

bool WriteBookmark(const BookmarkRow& row, void* context) {
    BookmarkLines& lines = *static_cast<BookmarkLines*>(context);
    NextLine(lines.list);
    TwinEvidence twin;
    twin.placeCount = twin.callerCount = twin.targetCount = 0;
    twin.targets = nullptr;
    twin.exportNames = 0;
    const CodePattern* pattern = row.inModule ? lines.patterns.For(row.address, twin.places, &twin.placeCount) : nullptr;
    if (pattern) twin.callerCount = lines.patterns.CallersOf(row.address, twin.callers);
    if (pattern) twin.targetCount = lines.patterns.TargetsOf(row.address, &twin.targets);
    if (pattern) twin.exportNames = lines.patterns.ExportNamesOf(row.address);
    lines.wrotePattern = lines.wrotePattern || pattern;
    WriteEntry(lines.list.writer, row, pattern, twin, pattern ? lines.patterns.AlignOf(row.address) : nullptr);
    return true;
}

}  // namespace

bool WriteJsonBookmarkList(std::FILE* file, void*) {
    g_note[0] = '\0';
    BookmarkedModules modules;
    if (!modules.Collect()) return false;   // out of memory: the target is left as it was

    char buffer[4096];
    Stream stream(file, buffer, sizeof buffer);
    Writer writer(stream);
    PutRaw(stream, "{\n  \"format\": ");
    writer.String(kBookmarkListFormat);
    PutRaw(stream, ",\n  \"version\": ");
    writer.Reset(stream);
    writer.Uint(kBookmarkListVersion);
    PutRaw(stream, ",\n  \"program\": ");
    const char* path = reinterpret_cast<const char*>(HostGetValue(kHostValueExePath));
    char program[Utf8SizeFor(kFilePathSize)] = "";
    if (path) AnsiToUtf8(path, kFilePathSize, program, sizeof program);
    writer.Reset(stream);
    writer.String(program);

    PutRaw(stream, ",\n  \"modules\": [");
    ListWriter list{stream, writer, true};
    for (uint32_t base : modules) {
        const HostModule* module = HostFindModule(base);
        if (!module) continue;
        NextLine(list);
        WriteModule(writer, module);
    }
    CloseList(list);
    PutRaw(stream, ",\n  \"bookmarks\": [");
    list.first = true;
    ExportPatterns patterns;
    BookmarkLines lines{list, patterns, false};
    ForEachBookmarkRow(&WriteBookmark, &lines);
    CloseList(list);
    // Says that a pattern not unique in its module carries its places there
    // when it has a handful: an import weighs the order of routines only
    // then, and a list from before imports as it always did.
    if (lines.wrotePattern) PutRaw(stream, ",\n  \"pattern_places_recorded\": true");
    if (patterns.givenUp())
        AppendText(g_note, ", %u without a code pattern (time limit)", unsigned(patterns.givenUp()));
    PutRaw(stream, "\n}\n");
    stream.Flush();
    return std::ferror(file) == 0;
}

const char* JsonExportNote() { return g_note; }

}  // namespace zt
