// HostPaintTable: validates the window and asks the plug-in's cell callback
// for every row (all rows count as visible; with lean tables the first 40)
// and every column of
// table->columnCount, keeping what it painted.
//
//   sim::PaintCount()            how many HostPaintTable calls there were
//   sim::Painted(row, column)    one cell of the most recent paint (empty cell if out of range)
//   sim::RepaintPending(window)  the window has an update region (it was invalidated)
//   sim::PaintNow(window)        UpdateWindow: the pending WM_PAINT runs now
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

namespace sim {

struct PaintedCell {
    std::string text;                // up to the first zero byte
    int length = 0;                  // what the callback returned
    int attribute = 0;
    std::array<uint8_t, 256> mask{};
    uint32_t address = 0;            // the row's item address
};

int PaintCount();
const PaintedCell& Painted(int row, int column);
bool RepaintPending(HWND window);
void PaintNow(HWND window);

void ResetTablePaint();

}  // namespace sim
