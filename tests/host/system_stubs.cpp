#include "system_stubs.h"

#include "allocation_failure.h"
#include "common_controls.h"
#include "file_failure.h"
#include "import_patch.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <deque>

namespace sim {
namespace {

struct FileAnswer {
    bool accept;
    std::string path;
    DWORD filterIndex;   // the type the user picks; 0: the one the dialog was given
};

std::vector<UINT> g_beeps;
std::vector<ShellLaunch> g_shell;
std::vector<HelpCall> g_help;
std::vector<MessageBoxCall> g_boxes;
std::vector<FileDialogCall> g_fileDialogs;
std::deque<FileAnswer> g_fileAnswers;
std::vector<LiveTimer> g_liveTimers;

std::string Text(const char* text) { return text ? text : ""; }

std::string FilterText(const char* filter) {
    std::string text;
    if (filter == nullptr) return text;
    for (const char* p = filter; *p; p += std::strlen(p) + 1) {
        text += p;
        text += '|';
    }
    return text;
}

BOOL WINAPI StubMessageBeep(UINT type) {
    g_beeps.push_back(type);
    return TRUE;
}

HINSTANCE WINAPI StubShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                                   INT show) {
    g_shell.push_back({owner, Text(verb), Text(file), Text(parameters), Text(directory), show});
    return reinterpret_cast<HINSTANCE>(42);
}

BOOL WINAPI StubWinHelpA(HWND owner, LPCSTR file, UINT command, ULONG_PTR data) {
    HelpCall call{owner, Text(file), command, data, {}};
    if (command == HELP_KEY || command == HELP_PARTIALKEY) call.keyword = Text(reinterpret_cast<const char*>(data));
    g_help.push_back(call);
    return TRUE;
}

int WINAPI StubMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    g_boxes.push_back({owner, Text(text), Text(caption), type});
    return IDOK;
}

BOOL AnswerFileDialog(bool save, OPENFILENAMEA* ofn) {
    if (ofn == nullptr) return FALSE;
    FileDialogCall call{save,
                        ofn->lStructSize,
                        ofn->hwndOwner,
                        ofn->hInstance,
                        FilterText(ofn->lpstrFilter),
                        ofn->nFilterIndex,
                        Text(ofn->lpstrTitle),
                        Text(ofn->lpstrDefExt),
                        ofn->lpstrFile ? std::string(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile)) : "",
                        ofn->nMaxFile,
                        ofn->Flags,
                        false};
    FileAnswer answer{false, {}, 0};
    if (!g_fileAnswers.empty()) {
        answer = g_fileAnswers.front();
        g_fileAnswers.pop_front();
    }
    if (answer.accept && ofn->lpstrFile != nullptr && answer.path.size() < ofn->nMaxFile) {
        std::memcpy(ofn->lpstrFile, answer.path.c_str(), answer.path.size() + 1);
        size_t slash = answer.path.find_last_of("\\/");
        size_t name = slash == std::string::npos ? 0 : slash + 1;
        size_t dot = answer.path.find_last_of('.');
        ofn->nFileOffset = WORD(name);
        ofn->nFileExtension = WORD(dot == std::string::npos || dot < name ? answer.path.size() : dot + 1);
        if (answer.filterIndex != 0) ofn->nFilterIndex = answer.filterIndex;
        call.accepted = true;
    }
    g_fileDialogs.push_back(call);
    return call.accepted ? TRUE : FALSE;
}

BOOL WINAPI StubGetOpenFileNameA(OPENFILENAMEA* ofn) { return AnswerFileDialog(false, ofn); }
BOOL WINAPI StubGetSaveFileNameA(OPENFILENAMEA* ofn) { return AnswerFileDialog(true, ofn); }

UINT_PTR WINAPI StubSetTimer(HWND window, UINT_PTR id, UINT elapse, TIMERPROC procedure) {
    UINT_PTR result = SetTimer(window, id, elapse, procedure);
    if (result != 0) {
        UINT_PTR liveId = window ? id : result;
        auto same = [&](const LiveTimer& t) { return t.window == window && t.id == liveId; };
        g_liveTimers.erase(std::remove_if(g_liveTimers.begin(), g_liveTimers.end(), same), g_liveTimers.end());
        g_liveTimers.push_back({window, liveId, procedure});
    }
    return result;
}

BOOL WINAPI StubKillTimer(HWND window, UINT_PTR id) {
    BOOL result = KillTimer(window, id);
    if (result) {
        auto same = [&](const LiveTimer& t) { return t.window == window && t.id == id; };
        g_liveTimers.erase(std::remove_if(g_liveTimers.begin(), g_liveTimers.end(), same), g_liveTimers.end());
    }
    return result;
}

void Patch(HMODULE plugin, const char* dll, const char* function, const void* stub) {
    PatchImport(plugin, dll, function, stub);
}

}  // namespace

void InstallSystemStubs(HMODULE plugin) {
    Patch(plugin, "user32.dll", "MessageBeep", reinterpret_cast<const void*>(&StubMessageBeep));
    Patch(plugin, "shell32.dll", "ShellExecuteA", reinterpret_cast<const void*>(&StubShellExecuteA));
    Patch(plugin, "user32.dll", "WinHelpA", reinterpret_cast<const void*>(&StubWinHelpA));
    Patch(plugin, "user32.dll", "MessageBoxA", reinterpret_cast<const void*>(&StubMessageBoxA));
    Patch(plugin, "comdlg32.dll", "GetOpenFileNameA", reinterpret_cast<const void*>(&StubGetOpenFileNameA));
    Patch(plugin, "comdlg32.dll", "GetSaveFileNameA", reinterpret_cast<const void*>(&StubGetSaveFileNameA));
    Patch(plugin, "user32.dll", "SetTimer", reinterpret_cast<const void*>(&StubSetTimer));
    Patch(plugin, "user32.dll", "KillTimer", reinterpret_cast<const void*>(&StubKillTimer));
    InstallAllocationStub(plugin);
    InstallCommonControlsStub(plugin);
    InstallFileStubs(plugin);
}

const std::vector<UINT>& Beeps() { return g_beeps; }
const std::vector<ShellLaunch>& ShellLaunches() { return g_shell; }
const std::vector<HelpCall>& HelpCalls() { return g_help; }
const std::vector<MessageBoxCall>& MessageBoxes() { return g_boxes; }
const std::vector<FileDialogCall>& FileDialogs() { return g_fileDialogs; }
void ChooseFile(const std::string& path, DWORD filterIndex) { g_fileAnswers.push_back({true, path, filterIndex}); }
void CancelFileDialog() { g_fileAnswers.push_back({false, {}, 0}); }
const std::vector<LiveTimer>& LiveTimers() { return g_liveTimers; }

void KillLiveTimers() {
    for (const LiveTimer& timer : g_liveTimers) KillTimer(timer.window, timer.id);
    g_liveTimers.clear();
}

void HoldKeys(bool shift, bool ctrl) {
    BYTE state[256];
    GetKeyboardState(state);
    BYTE shiftState = shift ? 0x80 : 0;
    BYTE ctrlState = ctrl ? 0x80 : 0;
    state[VK_SHIFT] = state[VK_LSHIFT] = shiftState;
    state[VK_CONTROL] = state[VK_LCONTROL] = ctrlState;
    state[VK_RSHIFT] = state[VK_RCONTROL] = 0;
    SetKeyboardState(state);
}

void ResetSystemStubs() {
    KillLiveTimers();
    ResetAllocationStub();
    ResetFileStubs();
    g_beeps.clear();
    g_shell.clear();
    g_help.clear();
    g_boxes.clear();
    g_fileDialogs.clear();
    g_fileAnswers.clear();
    HoldKeys(false, false);
}

}  // namespace sim
