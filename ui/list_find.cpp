#include "ui/list_find.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>

#include "core/bookmark_list.h"
#include "core/bookmark_record.h"
#include "core/plugin_state.h"
#include "core/text.h"
#include "host/host.h"
#include "ui/text_prompt.h"

namespace zt {

namespace {

constexpr size_t kCommentSize = 256;

char g_searched[kTextEntrySize] = "";

// The text searched, in lower case, and what lowers any character of the
// system's code page.
class Needle {
public:
    explicit Needle(const char* text) {
        for (int c = 0; c < 256; ++c) lower_[c] = static_cast<char>(c);
        CharLowerBuffA(lower_ + 1, 255);
        while (text[length_] && length_ < sizeof text_) {
            const char c = Lower(text[length_]);
            text_[length_++] = c;
            hex_ = hex_ && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
        }
        hex_ = hex_ && length_ <= 8;
    }

    // Whether an address, as the list shows it, can hold the text.
    bool MayBeInAddress() const { return hex_; }

    // Whether the first limit characters of a terminated text hold it.
    bool In(const char* text, size_t limit = static_cast<size_t>(-1)) const {
        for (size_t start = 0; start < limit && text[start]; ++start) {
            size_t matched = 0;
            while (matched < length_ && start + matched < limit && text[start + matched] &&
                   Lower(text[start + matched]) == text_[matched])
                ++matched;
            if (matched == length_) return true;
        }
        return false;
    }

private:
    char Lower(char c) const { return lower_[static_cast<unsigned char>(c)]; }

    char lower_[256];
    char text_[kTextEntrySize];
    size_t length_ = 0;
    bool hex_ = true;
};

bool InAddress(const Needle& needle, uint32_t address) {
    static const char kDigits[] = "0123456789ABCDEF";
    char shown[9];   // as the address column shows it, "%08X"
    for (int i = 0; i < 8; ++i) shown[i] = kDigits[(address >> (28 - 4 * i)) & 15];
    shown[8] = '\0';
    return needle.In(shown);
}

bool Holds(const Needle& needle, const BookmarkRecord& record) {
    if ((needle.MayBeInAddress() && InAddress(needle, record.address)) || needle.In(record.name, sizeof record.name) ||
        needle.In(record.module, sizeof record.module) ||
        needle.In(record.originalDisassembly, sizeof record.originalDisassembly))
        return true;
    char comment[kCommentSize] = "";
    return HostFindName(record.address, kHostNameComment, comment) > 0 && needle.In(comment, sizeof comment);
}

// The first row after row `after` (-1: before the first) that holds the
// text, wrapping at the end, the row itself last; -1 when none does. The
// rows are taken one after another, as the debugger keeps them.
int FindRow(const Needle& needle, int after) {
    const int count = g_bookmarks.count();
    int row = after >= 0 && after + 1 < count ? after + 1 : 0;
    for (int passed = 0; passed < count; ++passed) {
        const auto* record = static_cast<const BookmarkRecord*>(HostSortedBySelection(BookmarkSorted(), row));
        if (record && Holds(needle, *record)) return row;
        if (++row == count) row = 0;
    }
    return -1;
}

// Selects a row and scrolls it into view. The debugger's table moves its
// selection by one row on an arrow key and keeps it in view, so the row is
// reached from its neighbour.
void ShowRow(HWND window, int row) {
    if (g_bookmarks.count() > 1) {
        const bool fromAbove = row > 0;
        g_table.sorted.selectedRow = fromAbove ? row - 1 : row + 1;
        HostTableFunction(&g_table, window, WM_KEYDOWN, fromAbove ? VK_DOWN : VK_UP, 1);
    }
    g_table.sorted.selectedRow = row;
    InvalidateRect(window, nullptr, FALSE);
}

void Search() {
    HWND window = g_table.window;   // the prompt may have outlived the list
    if (!window) return;
    const int row = FindRow(Needle(g_searched), g_table.sorted.selectedRow);
    if (row >= 0) {
        ShowRow(window, row);
        return;
    }
    MessageBeep(0);
    char message[kTextEntrySize + 64];
    std::snprintf(message, sizeof message, "Zentrilo: No bookmark holds \"%s\"", g_searched);
    message[255] = '\0';
    HostFlash("%s", message);
}

}  // namespace

void FindInList() {
    char entry[kTextEntrySize];
    CopyText(entry, g_searched);
    if (!AskText("Find bookmark", entry, true) || !entry[0]) return;
    CopyText(g_searched, entry);
    Search();
}

void FindNextInList() {
    if (!g_searched[0]) {
        FindInList();
        return;
    }
    Search();
}

}  // namespace zt
