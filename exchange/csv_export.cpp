// The CSV bookmark list: a header row and one row per bookmark, fields quoted
// where they must be (RFC 4180), lines ended by CR LF.
#include <cstdio>
#include <string>

#include "exchange/bookmark_lists.h"
#include "exchange/bookmark_row.h"

namespace zt {

namespace {

constexpr char kHeader[] =
    "address,module,module_base,offset,name,comment,active,original_instruction,current_instruction,changed\r\n";

// A field with a comma, a quote or a line break goes in quotes, its quotes doubled.
void AppendField(std::string& line, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        line += text;
        return;
    }
    line += '"';
    for (char c : text) {
        if (c == '"') line += '"';
        line += c;
    }
    line += '"';
}

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", unsigned(value));
    return text;
}

std::string LineFor(const BookmarkRow& row) {
    std::string line = Hex(row.address) + ',';
    if (row.inModule) {
        AppendField(line, row.module);
        line += ',' + Hex(row.moduleBase) + ',' + Hex(row.offset);
    } else {
        line += ",,";
    }
    for (const std::string* text : {&row.name, &row.comment}) {
        line += ',';
        AppendField(line, *text);
    }
    line += row.active ? ",1," : ",0,";
    AppendField(line, row.originalInstruction);
    line += ',';
    AppendField(line, row.currentInstruction);
    line += row.changed ? ",1\r\n" : ",0\r\n";
    return line;
}

bool WriteLine(const BookmarkRow& row, void* context) {
    const std::string line = LineFor(row);
    return std::fwrite(line.data(), 1, line.size(), static_cast<std::FILE*>(context)) == line.size();
}

}  // namespace

bool WriteCsvBookmarkList(std::FILE* file, void*) {
    try {
        return std::fwrite(kHeader, 1, sizeof kHeader - 1, file) == sizeof kHeader - 1 &&
               ForEachBookmarkRow(&WriteLine, file);
    } catch (...) {
        return false;  // out of memory: the target is left as it was
    }
}

}  // namespace zt
