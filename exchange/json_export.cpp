// The JSON bookmark list: one object with the format's name and version, the
// debugged program's path and the bookmarks, one per line. The text is
// written here rather than through the JSON library's document model, whose
// serializer would add about as much to the plug-in as its parser does.
#include <cstdio>
#include <string>

#include "exchange/bookmark_lists.h"
#include "exchange/bookmark_row.h"
#include "exchange/file_chooser.h"
#include "exchange/text_encoding.h"
#include "host/host.h"

namespace zt {

namespace {

// A JSON string: quotes, backslashes and control characters escaped; the
// UTF-8 bytes of other characters as they are.
std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        switch (c) {
        case '"': quoted += "\\\""; break;
        case '\\': quoted += "\\\\"; break;
        case '\n': quoted += "\\n"; break;
        case '\r': quoted += "\\r"; break;
        case '\t': quoted += "\\t"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04X", unsigned(c));
                quoted += escape;
            } else {
                quoted += c;
            }
        }
    }
    return quoted + '"';
}

std::string Field(const char* key, const std::string& value) { return std::string("\"") + key + "\": " + value; }
std::string Number(uint32_t value) { return std::to_string(value); }
std::string Flag(bool value) { return value ? "true" : "false"; }

std::string EntryFor(const BookmarkRow& row) {
    std::string entry = "{" + Field("address", Number(row.address));
    if (row.inModule) {
        entry += ", " + Field("module", Quoted(row.module)) + ", " + Field("module_base", Number(row.moduleBase)) +
                 ", " + Field("offset", Number(row.offset));
    }
    entry += ", " + Field("name", Quoted(row.name)) + ", " + Field("comment", Quoted(row.comment)) + ", " +
             Field("active", Flag(row.active)) + ", " +
             Field("original_instruction", Quoted(row.originalInstruction)) + ", " +
             Field("current_instruction", Quoted(row.currentInstruction)) + ", " +
             Field("changed", Flag(row.changed)) + "}";
    return entry;
}

struct Writer {
    std::FILE* file;
    bool first;
};

bool Put(std::FILE* file, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), file) == text.size();
}

bool WriteEntry(const BookmarkRow& row, void* context) {
    Writer& writer = *static_cast<Writer*>(context);
    const bool ok = Put(writer.file, (writer.first ? "\n    " : ",\n    ") + EntryFor(row));
    writer.first = false;
    return ok;
}

std::string ProgramPath() {
    const char* path = reinterpret_cast<const char*>(HostGetValue(kHostValueExePath));
    return path ? AnsiToUtf8(path, kFilePathSize) : std::string();
}

}  // namespace

bool WriteJsonBookmarkList(std::FILE* file, void*) {
    try {
        const std::string head = "{\n  " + Field("format", Quoted(kBookmarkListFormat)) + ",\n  " +
                                 Field("version", Number(kBookmarkListVersion)) + ",\n  " +
                                 Field("program", Quoted(ProgramPath())) + ",\n  \"bookmarks\": [";
        Writer writer{file, true};
        return Put(file, head) && ForEachBookmarkRow(&WriteEntry, &writer) &&
               Put(file, writer.first ? "]\n}\n" : "\n  ]\n}\n");
    } catch (...) {
        return false;  // out of memory: the target is left as it was
    }
}

}  // namespace zt
