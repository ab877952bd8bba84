#include "ui/web_search.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>

namespace zt {

namespace {

constexpr char kSearchEngine[] = "https://www.google.com";
constexpr char kQueryFormat[] = "%s/search?hl=en&q=%s%s%s&btnG=Google+Search";
constexpr char kQuote[] = "%22";  // the phrase is searched as a whole
constexpr size_t kFormatArguments = 4;

constexpr size_t kLongestText = kDisassemblyFieldSize - 1;
constexpr size_t kEscapedSize = 3;  // "%XX" for one byte
constexpr size_t kEscapedTextSize = kLongestText * kEscapedSize + 1;
constexpr size_t kUrlSize = (sizeof kSearchEngine - 1) + (sizeof kQueryFormat - 1 - 2 * kFormatArguments) +
                            2 * (sizeof kQuote - 1) + kEscapedTextSize;

// Bytes that would end the phrase, start another query field or the
// fragment, change into a space, or that a URL may not carry as they are.
bool NeedsEscape(unsigned char c) {
    return c <= ' ' || c >= 0x7F || std::strchr("\"#%&+;<>\\^`{|}", c) != nullptr;
}

// The record's text, at most its field's worth, with those bytes as "%XX".
void EscapeText(const char* text, char (&escaped)[kEscapedTextSize]) {
    static const char kHex[] = "0123456789ABCDEF";
    size_t out = 0;
    for (size_t in = 0; in < kLongestText && text[in] != '\0'; ++in) {
        unsigned char c = static_cast<unsigned char>(text[in]);
        if (!NeedsEscape(c)) {
            escaped[out++] = static_cast<char>(c);
            continue;
        }
        escaped[out++] = '%';
        escaped[out++] = kHex[c >> 4];
        escaped[out++] = kHex[c & 0x0F];
    }
    escaped[out] = '\0';
}

}  // namespace

void SearchWeb(const BookmarkRecord& record) {
    char escaped[kEscapedTextSize];
    EscapeText(record.originalDisassembly, escaped);
    char url[kUrlSize];
    std::snprintf(url, sizeof url, kQueryFormat, kSearchEngine, kQuote, escaped, kQuote);
    ShellExecuteA(nullptr, "open", url, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace zt
