#include "table_paint.h"

#include "host/host.h"
#include "sorted_data.h"
#include "violations.h"

#include <cstring>
#include <vector>

namespace sim {
namespace {

constexpr int kCellBuffer = 256;
// With lean tables the host paints what a window shows, one screenful of
// rows from the top, as the real debugger does; otherwise every row.
constexpr size_t kLeanVisibleRows = 40;
constexpr int kGreyed = 1;
constexpr int kMasked = 0x80;
constexpr uint8_t kHighlighted = 2;
constexpr COLORREF kPlainColour = RGB(0, 0, 0);
constexpr COLORREF kGreyedColour = RGB(128, 128, 128);
constexpr COLORREF kHighlightColour = RGB(255, 0, 0);

int g_paints = 0;
std::vector<std::vector<PaintedCell>> g_cells;
const PaintedCell kEmptyCell{};

COLORREF CharacterColour(const PaintedCell& cell, int index) {
    if (cell.attribute == kGreyed) return kGreyedColour;
    if (cell.attribute != kMasked) return kPlainColour;
    uint8_t mask = cell.mask[size_t(index)];
    return mask == kHighlighted ? kHighlightColour : mask != 0 ? kGreyedColour : kPlainColour;
}

// As the debugger draws a table, roughly: a column bar with the captions, then
// a line per row in a fixed-pitch font, greyed and highlighted characters in
// their colours, the selected row on a grey ground. Only for the eye (the
// screenshots); tests look at the recorded cells.
void DrawTable(HDC dc, HWND window, const HostTable& table) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HGDIOBJ oldFont = SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
    TEXTMETRICA metrics;
    GetTextMetricsA(dc, &metrics);
    int charWidth = metrics.tmAveCharWidth, lineHeight = metrics.tmHeight + 2;
    SetBkMode(dc, TRANSPARENT);
    int x = 0;
    for (int column = 0; column < table.columnCount; ++column) {
        RECT bar{x, 0, x + table.columnWidth[column] * charWidth, lineHeight + 2};
        DrawFrameControl(dc, &bar, DFC_BUTTON, DFCS_BUTTONPUSH);
        const char* caption = table.columnCaption[column] ? table.columnCaption[column] : "";
        SetTextColor(dc, kPlainColour);
        TextOutA(dc, x + charWidth / 2, 2, caption, int(strlen(caption)));
        int y = bar.bottom + 1;
        for (size_t row = 0; row < g_cells.size(); ++row, y += lineHeight) {
            if (int(row) == table.sorted.selectedRow) {
                RECT line{x, y, bar.right, y + lineHeight};
                FillRect(dc, &line, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
            }
            const PaintedCell& cell = g_cells[row][size_t(column)];
            for (int i = 0; i < int(cell.text.size()) && (i + 1) * charWidth < bar.right - x; ++i) {
                SetTextColor(dc, CharacterColour(cell, i));
                TextOutA(dc, x + charWidth / 2 + i * charWidth, y + 1, &cell.text[size_t(i)], 1);
            }
        }
        x = bar.right;
    }
    SelectObject(dc, oldFont);
}

}  // namespace

int PaintCount() { return g_paints; }

const PaintedCell& Painted(int row, int column) {
    if (row < 0 || row >= int(g_cells.size()) || column < 0 || column >= int(g_cells[row].size())) return kEmptyCell;
    return g_cells[row][column];
}

bool RepaintPending(HWND window) { return window && GetUpdateRect(window, nullptr, FALSE); }
void PaintNow(HWND window) { UpdateWindow(window); }

void ResetTablePaint() {
    g_paints = 0;
    g_cells.clear();
}

}  // namespace sim

using namespace sim;

extern "C" int __cdecl HostPaintTable(HWND window, HostTable* table, HostCellTextFn cellText) {
    ++g_paints;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    g_cells.clear();
    if (table == nullptr || cellText == nullptr) {
        ReportViolation("HostPaintTable without a table or a cell callback");
        EndPaint(window, &ps);
        return 0;
    }
    int columns = table->columnCount;
    if (columns < 0 || columns > kHostMaxColumns) {
        ReportViolation("HostPaintTable with a column count outside 0..17");
        EndPaint(window, &ps);
        return 0;
    }
    for (const uint8_t* item : SortedItems(&table->sorted, LeanTables() ? kLeanVisibleRows : SIZE_MAX)) {
        std::vector<PaintedCell> row;
        for (int column = 0; column < columns; ++column) {
            char text[kCellBuffer] = {};
            char mask[kCellBuffer] = {};
            int attribute = 0;
            PaintedCell cell;
            cell.length = cellText(text, mask, &attribute, const_cast<uint8_t*>(item), column);
            if (cell.length < 0 || cell.length >= kCellBuffer) ReportViolation("cell callback length out of range");
            cell.text.assign(text, strnlen(text, kCellBuffer));
            cell.attribute = attribute;
            std::memcpy(cell.mask.data(), mask, kCellBuffer);
            cell.address = reinterpret_cast<const HostItemHeader*>(item)->address;
            row.push_back(cell);
        }
        g_cells.push_back(row);
    }
    DrawTable(dc, window, *table);
    EndPaint(window, &ps);
    return 0;
}
