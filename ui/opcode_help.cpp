#include "ui/opcode_help.h"

#include <windows.h>

#include <cctype>

#include "core/plugin_state.h"
#include "core/settings.h"
#include "core/store.h"
#include "host/host.h"
#include "ui/settings_dialog.h"

namespace zt {

namespace {

constexpr size_t kKeywordSize = 16;  // a longer first word is cut to 15 characters

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool ReadHelpFile(char (&path)[kSettingTextSize]) {
    ReadSettingText(key::kOpcodeHelpFile, path, "");
    HANDLE file = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The first word of the text, after any leading blanks; empty when there is none.
void FirstWord(const char* text, size_t limit, char (&word)[kKeywordSize]) {
    size_t in = 0;
    while (in < limit && text[in] != '\0' && IsBlank(text[in])) ++in;
    size_t out = 0;
    while (in < limit && text[in] != '\0' && !IsBlank(text[in]) && out + 1 < kKeywordSize) word[out++] = text[in++];
    word[out] = '\0';
}

}  // namespace

void ShowOpcodeHelp(uint32_t address) {
    char path[kSettingTextSize];
    if (!ReadHelpFile(path)) {
        HostFlash("Zentrilo: You need to select opcodes help file!");
        ShowSettingsDialog();
        if (!ReadHelpFile(path)) return;
    }
    // The Settings dialog runs a message loop of its own: look the bookmark up now.
    const BookmarkRecord* record = FindRecord(address);
    if (!record) return;
    char keyword[kKeywordSize];
    FirstWord(record->originalDisassembly, sizeof record->originalDisassembly, keyword);
    WinHelpA(g_mainWindow, path, HELP_KEY, reinterpret_cast<ULONG_PTR>(keyword));
}

}  // namespace zt
