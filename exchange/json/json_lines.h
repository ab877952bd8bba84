// JSON files written with RapidJSON's Writer over a file, one object of a
// list per line: the writer writes one value at a time, and the text between
// them (indents, separators, brackets) is written here.
#pragma once

#include <rapidjson/filewritestream.h>
#include <rapidjson/writer.h>

namespace zt {

using JsonOutStream = rapidjson::FileWriteStream;
using JsonWriter = rapidjson::Writer<JsonOutStream>;

inline void PutRaw(JsonOutStream& stream, const char* text) {
    while (*text) stream.Put(*text++);
}

struct ListWriter {
    JsonOutStream& stream;
    JsonWriter& writer;
    bool first;
};

// Before each object of a list: its line, indented.
inline void NextLine(ListWriter& list) {
    PutRaw(list.stream, list.first ? "\n    " : ",\n    ");
    list.first = false;
    list.writer.Reset(list.stream);
}

// After the last: the list's end, on a line of its own unless it is empty.
inline void CloseList(ListWriter& list) { PutRaw(list.stream, list.first ? "]" : "\n  ]"); }

}  // namespace zt
