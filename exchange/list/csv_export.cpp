// The CSV bookmark list: a header row and one row per bookmark, fields quoted
// where they must be (RFC 4180), lines ended by CR LF. A text that a
// spreadsheet would take for a formula is written as text.
#include <cstdio>
#include <cstring>

#include "exchange/list/bookmark_lists.h"
#include "exchange/list/bookmark_row.h"

namespace zt {

namespace {

constexpr char kHeader[] =
    "address,module,module_base,offset,name,comment,active,original_instruction,current_instruction,changed\r\n";

// One line of the list, written with one call. The longest line quotes and
// doubles every character of its texts: it fits.
class Line {
public:
    void Put(char c) {
        if (length_ < sizeof text_) text_[length_++] = c;
    }
    void Put(const char* text) {
        while (*text) Put(*text++);
    }
    void Hex(uint32_t value) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "0x%08X", unsigned(value));
        Put(digits);
    }
    // A field with a comma, a quote or a line break goes in quotes, its
    // quotes doubled. One that begins as a formula does (=, +, -, @, a tab or
    // a carriage return) goes in quotes behind an apostrophe, which
    // spreadsheets take as "this is text".
    void Field(const char* text) {
        const bool formula = text[0] && std::strchr("=+-@\t\r", text[0]);
        if (!formula && !text[std::strcspn(text, ",\"\r\n")]) {
            Put(text);
            return;
        }
        Put('"');
        if (formula) Put('\'');
        for (const char* c = text; *c; ++c) {
            if (*c == '"') Put('"');
            Put(*c);
        }
        Put('"');
    }
    bool WriteTo(std::FILE* file) const { return std::fwrite(text_, 1, length_, file) == length_; }

private:
    char text_[2 * sizeof(BookmarkRow) + 64];
    size_t length_ = 0;
};

bool WriteLine(const BookmarkRow& row, void* context) {
    Line line;
    line.Hex(row.address);
    line.Put(',');
    if (row.inModule) {
        line.Field(row.module);
        line.Put(',');
        line.Hex(row.moduleBase);
        line.Put(',');
        line.Hex(row.offset);
    } else {
        line.Put(",,");
    }
    line.Put(',');
    line.Field(row.name);
    line.Put(',');
    line.Field(row.comment);
    line.Put(row.active ? ",1," : ",0,");
    line.Field(row.originalInstruction);
    line.Put(',');
    line.Field(row.currentInstruction);
    line.Put(row.changed ? ",1\r\n" : ",0\r\n");
    return line.WriteTo(static_cast<std::FILE*>(context));
}

}  // namespace

bool WriteCsvBookmarkList(std::FILE* file, void*) {
    return std::fwrite(kHeader, 1, sizeof kHeader - 1, file) == sizeof kHeader - 1 &&
           ForEachBookmarkRow(&WriteLine, file);
}

}  // namespace zt
