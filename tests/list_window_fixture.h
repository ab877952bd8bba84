// What the list window's tests share: a debugged program with a few known
// instructions, the list window open, bookmarks picked by address, keys and
// popup choices sent to the window, and a short account of what the user
// would have seen happen.
#pragma once

#include "host/dialog_controls.h"
#include "host/plugin_fixture.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace listwindow {

// 0x401000: PUSH EBP; MOV EBP,ESP; XOR EAX,EAX; RETN; then NOPs.
constexpr uint32_t kCode = 0x401000;
constexpr uint32_t kA = 0x401001;          // MOV EBP,ESP
constexpr uint32_t kB = 0x401003;          // XOR EAX,EAX
constexpr uint32_t kOutside = 0x500000;    // in no memory block
constexpr UINT kPopupMessage = 1125;
constexpr WPARAM kSemicolonKey = 0xBA;
constexpr WPARAM kSlashKey = 0xBF;
constexpr LPARAM kKeyData = 0x00140001;
constexpr char kNeedHelpFile[] = "Zentrilo: You need to select opcodes help file!";
constexpr int kSettingsCancel = 1014;

// Where the record's original disassembly lies in the host's copy.
constexpr size_t kOriginalOffset = 90;
constexpr size_t kOriginalSize = 256;

class ListWindowTest : public PluginTest {
protected:
    void StartWithList() {
        std::vector<uint8_t> code{0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xC3};
        code.resize(0x100, 0x90);
        AddBlock(kCode, code);
        StoreSetting("restore_bookmarks_window", 1);
        ASSERT_EQ(0, Start());
        ASSERT_NE(nullptr, ListWindow());
    }

    // Bookmarks made as from the CPU pane; the first one is selected.
    void Add(std::initializer_list<uint32_t> addresses) {
        for (uint32_t address : addresses) ASSERT_EQ(1, dll.zt_Toggle(address));
        Select(*addresses.begin());
    }

    static void Select(uint32_t address) {
        std::vector<uint32_t> rows = BookmarkAddresses();
        Table()->sorted.selectedRow = int(std::find(rows.begin(), rows.end(), address) - rows.begin());
    }
    static void SelectNone() { Table()->sorted.selectedRow = -1; }

    // The host's copy of the record, written as an import would: a text that
    // fills the whole field has no terminator.
    static void SetOriginal(uint32_t address, const std::string& text) {
        auto* field = static_cast<uint8_t*>(HostFindSorted(&Table()->sorted, address)) + kOriginalOffset;
        std::memset(field, 0, kOriginalSize);
        std::memcpy(field, text.data(), std::min(text.size(), kOriginalSize));
    }

    void Press(WPARAM key, bool shift = false, bool ctrl = false) {
        HoldKeys(shift, ctrl);
        SendMessageA(ListWindow(), WM_KEYDOWN, key, kKeyData);
        HoldKeys(false, false);
    }

    // Opcode help without a usable help file opens the Settings dialog; the
    // user closes it with Cancel.
    static void CancelSettingsWhenShown() {
        sim::WhenDialogAppears("Settings", [](HWND dialog) { sim::ClickControl(dialog, kSettingsCancel); });
    }

    LRESULT Popup(int choice) {
        sim::ChoosePopupItem(choice);
        return SendMessageA(ListWindow(), kPopupMessage, 0, 0);
    }

    // What the user would notice, counted from the moment Watch() was called.
    void Watch() {
        cpuMoves_ = sim::SetCpuCalls().size();
        launches_ = sim::ShellLaunches().size();
        helpCalls_ = sim::HelpCalls().size();
        prompts_ = sim::Prompts().size();
        flashes_ = Flashes().size();
        breakpoints_ = sim::Breakpoints().size();
        hostKeys_ = sim::CountTableFunction(WM_KEYDOWN);
        bookmarks_ = BookmarkAddresses();
        active_ = ActiveFlags();
    }

    // "host" (the key went to the host's table), "follow", "delete", "switch",
    // "name prompt", "comment prompt", "breakpoint", "web", "help" in this
    // order, comma-separated; "" when nothing happened.
    std::string Happened() const {
        std::vector<std::string> seen;
        if (sim::CountTableFunction(WM_KEYDOWN) != hostKeys_) seen.push_back("host");
        if (sim::SetCpuCalls().size() != cpuMoves_) seen.push_back("follow");
        if (BookmarkAddresses().size() < bookmarks_.size()) seen.push_back("delete");
        if (BookmarkAddresses() == bookmarks_ && ActiveFlags() != active_) seen.push_back("switch");
        for (size_t i = prompts_; i < sim::Prompts().size(); ++i) {
            const std::string& title = sim::Prompts()[i].title;
            seen.push_back(title.rfind("Edit bookmark name", 0) == 0 ? "name prompt"
                           : title.rfind("Edit comment", 0) == 0   ? "comment prompt"
                                                                   : "prompt " + title);
        }
        if (sim::Breakpoints().size() != breakpoints_) seen.push_back("breakpoint");
        if (sim::ShellLaunches().size() != launches_) seen.push_back("web");
        auto newFlashes = Flashes().begin() + long(flashes_);
        bool helpAsked = std::find(newFlashes, Flashes().end(), kNeedHelpFile) != Flashes().end();
        if (helpAsked || sim::HelpCalls().size() != helpCalls_) seen.push_back("help");
        std::string text;
        for (const std::string& item : seen) text += (text.empty() ? "" : ", ") + item;
        return text;
    }

    static std::vector<int> ActiveFlags() {
        std::vector<int> flags;
        for (uint32_t address : BookmarkAddresses()) flags.push_back(Bookmark(address)->active);
        return flags;
    }

private:
    size_t cpuMoves_ = 0, launches_ = 0, helpCalls_ = 0, prompts_ = 0, flashes_ = 0, breakpoints_ = 0;
    int hostKeys_ = 0;
    std::vector<uint32_t> bookmarks_;
    std::vector<int> active_;
};

}  // namespace listwindow
