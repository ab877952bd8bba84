// Running the host's message loop from a test, and driving modal dialogs
// that the plug-in opens (they run their own loop inside the plug-in's call).
//
//   sim::PumpMessages()                 dispatches what is queued now
//   sim::PumpUntil(done, limitMs)       dispatches until done() holds or the time is up;
//                                       returns done()
//   sim::PumpFor(ms)                    dispatches for that long
//   sim::TopLevelDialogs()              visible "#32770" windows of this thread
//   sim::FindDialog(caption)            the first of them with that caption, or null
//   sim::WhenDialogAppears(caption, action)
//        once a visible dialog with that caption exists (checked every 20 ms while any
//        message loop runs), calls action(dialog); actions run in the order given
//   sim::StartDialogDriver() / StopDialogDriver()
//        the 20 ms thread timer behind it; it also ends a modal dialog left open for
//        more than 5 s with IDCANCEL and reports a violation, so a test cannot hang
//
// The limit of PumpUntil and the 5 s of the dialog driver are multiplied by the
// environment variable ZENTRILO_TIME_SCALE (a whole number, 1 when unset), which
// the emulated test guest sets: a slow machine only waits longer for what does
// not happen. PumpFor is not scaled: to wait for something, use PumpUntil.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sim {

void PumpMessages();
bool PumpUntil(const std::function<bool()>& done, DWORD limitMs);
void PumpFor(DWORD ms);
std::vector<HWND> TopLevelDialogs();
HWND FindDialog(const std::string& caption);
void WhenDialogAppears(const std::string& caption, std::function<void(HWND)> action);
int PendingDialogActions();
void StartDialogDriver();
void StopDialogDriver();

}  // namespace sim
