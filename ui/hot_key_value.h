// A hot key as the settings keep it (four integers) and as a hot-key control
// holds it (one 16-bit value: the virtual-key code in the low byte, the
// modifier flags shift 1, ctrl 2, alt 4 in the high byte).
#pragma once

#include <windows.h>

#include "core/settings.h"

namespace zt {

struct HotKey {
    int key = 0;  // virtual-key code; 0: no hot key
    bool alt = false;
    bool shift = false;
    bool ctrl = false;
};

WORD ToControlValue(const HotKey& hotKey);
// The control's extended-key flag is dropped.
HotKey FromControlValue(WORD value);

// A stored key that is no virtual-key code (0 or above 255) reads as no hot
// key; the modifiers are read only for a real one.
HotKey ReadHotKey(const HotKeyKeys& keys);
// Writes the key, then alt, shift and ctrl.
void WriteHotKey(const HotKeyKeys& keys, const HotKey& hotKey);

}  // namespace zt
