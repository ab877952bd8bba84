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

int g_paints = 0;
std::vector<std::vector<PaintedCell>> g_cells;
const PaintedCell kEmptyCell{};

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
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    g_cells.clear();
    if (table == nullptr || cellText == nullptr) {
        ReportViolation("HostPaintTable without a table or a cell callback");
        return 0;
    }
    int columns = table->columnCount;
    if (columns < 0 || columns > kHostMaxColumns) {
        ReportViolation("HostPaintTable with a column count outside 0..17");
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
    return 0;
}
