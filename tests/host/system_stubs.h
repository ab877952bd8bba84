// Win32 calls of the plug-in that the host answers itself, by rewriting the
// plug-in's import table after it is loaded: beeps, shell and help launches,
// message boxes and the common file dialogs are recorded (and answered from
// a script); timers are recorded and passed on to the system, malloc and
// the file calls can be made to fail (allocation_failure.h, file_failure.h)
// and the common controls' initialisation is recorded (common_controls.h).
//
//   sim::InstallSystemStubs(plugin)   rewrites the imports
//   sim::Beeps()                      MessageBeep types, in order
//   sim::ShellLaunches()              ShellExecuteA calls
//   sim::HelpCalls()                  WinHelpA calls (keyword filled in for HELP_KEY)
//   sim::MessageBoxes()               MessageBoxA calls, each answered IDOK
//   sim::FileDialogs()                GetOpenFileNameA / GetSaveFileNameA calls;
//                                     sim::ChooseFile(path[, type]) / sim::CancelFileDialog() script
//                                     the next answer (default: cancel); type is the 1-based
//                                     entry of the type list the user picks. The filter is kept
//                                     with each separating zero byte shown as '|'.
//   sim::LiveTimers()                 timers the plug-in set and has not killed
//   sim::KillLiveTimers()             kills those (before the plug-in is unloaded)
//   sim::HoldKeys(shift, ctrl)        the thread's keyboard state for GetKeyState
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sim {

struct ShellLaunch {
    HWND owner;
    std::string verb;
    std::string file;
    std::string parameters;
    std::string directory;
    int show;
};

struct HelpCall {
    HWND owner;
    std::string file;
    UINT command;
    ULONG_PTR data;
    std::string keyword;
};

struct MessageBoxCall {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
};

struct FileDialogCall {
    bool save;
    DWORD structSize;
    HWND owner;
    HINSTANCE instance;
    std::string filter;
    DWORD filterIndex;
    std::string title;
    std::string defaultExtension;
    std::string initialFile;
    DWORD maxFile;
    DWORD flags;
    bool accepted;
};

struct LiveTimer {
    HWND window;
    UINT_PTR id;
    TIMERPROC procedure;
};

void InstallSystemStubs(HMODULE plugin);
const std::vector<UINT>& Beeps();
const std::vector<ShellLaunch>& ShellLaunches();
const std::vector<HelpCall>& HelpCalls();
const std::vector<MessageBoxCall>& MessageBoxes();
const std::vector<FileDialogCall>& FileDialogs();
void ChooseFile(const std::string& path, DWORD filterIndex = 0);
void CancelFileDialog();
const std::vector<LiveTimer>& LiveTimers();
void KillLiveTimers();
void HoldKeys(bool shift, bool ctrl);

void ResetSystemStubs();

}  // namespace sim
