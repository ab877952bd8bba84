// Acting on a dialog's controls as a user would, from inside its modal loop
// (for instance from a sim::WhenDialogAppears action), and reading them.
//
//   sim::ClickControl(dialog, id)          BM_CLICK: a mouse click on a button or check box
//   sim::IsChecked(dialog, id)
//   sim::SetHotKey(dialog, id, value)      HKM_SETHOTKEY: key code in the low byte, modifier
//                                          flags (HOTKEYF_SHIFT, _CONTROL, _ALT) in the high byte
//   sim::HotKeyOf(dialog, id)              HKM_GETHOTKEY
//   sim::ControlText(dialog, id)
//   sim::ClickArrow(dialog, id, upper)     left button pressed and released on the middle of the
//                                          upper (or lower) half of an up-down control
//   sim::PressCloseBox(dialog)             WM_SYSCOMMAND SC_CLOSE, as from the caption's close box
//   sim::PressKey(dialog, key)             key down and up posted to the focused control, so
//                                          the dialog manager of the modal loop sees them
//   sim::ClientTopLeft(window)             a child window's position in its parent's client area
#pragma once

#include <windows.h>

#include <string>

namespace sim {

void ClickControl(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
void SetHotKey(HWND dialog, int id, WORD value);
WORD HotKeyOf(HWND dialog, int id);
std::string ControlText(HWND dialog, int id);
void ClickArrow(HWND dialog, int id, bool upper);
void PressCloseBox(HWND dialog);
void PressKey(HWND dialog, UINT key);
POINT ClientTopLeft(HWND window);

}  // namespace sim
