#include "ui/hot_key_value.h"

#include <commctrl.h>

namespace zt {

namespace {
constexpr int kLargestKeyCode = 255;
}

WORD ToControlValue(const HotKey& hotKey) {
    BYTE flags = 0;
    if (hotKey.shift) flags |= HOTKEYF_SHIFT;
    if (hotKey.ctrl) flags |= HOTKEYF_CONTROL;
    if (hotKey.alt) flags |= HOTKEYF_ALT;
    return MAKEWORD(static_cast<BYTE>(hotKey.key), flags);
}

HotKey FromControlValue(WORD value) {
    HotKey hotKey;
    hotKey.key = LOBYTE(value);
    BYTE flags = HIBYTE(value);
    hotKey.alt = (flags & HOTKEYF_ALT) != 0;
    hotKey.shift = (flags & HOTKEYF_SHIFT) != 0;
    hotKey.ctrl = (flags & HOTKEYF_CONTROL) != 0;
    return hotKey;
}

HotKey ReadHotKey(const HotKeyKeys& keys) {
    HotKey hotKey;
    int key = LOWORD(ReadSetting(keys.key, 0));
    if (key == 0 || key > kLargestKeyCode) return hotKey;
    hotKey.key = key;
    hotKey.alt = ReadSetting(keys.alt, 0) != 0;
    hotKey.shift = ReadSetting(keys.shift, 0) != 0;
    hotKey.ctrl = ReadSetting(keys.ctrl, 0) != 0;
    return hotKey;
}

void WriteHotKey(const HotKeyKeys& keys, const HotKey& hotKey) {
    WriteSetting(keys.key, hotKey.key);
    WriteSetting(keys.alt, hotKey.alt ? 1 : 0);
    WriteSetting(keys.shift, hotKey.shift ? 1 : 0);
    WriteSetting(keys.ctrl, hotKey.ctrl ? 1 : 0);
}

}  // namespace zt
