// The test fixture: a fresh simulated host and a freshly loaded Zentrilo.dll
// for every test.
//
// SetUp resets the host, creates the main window (an MDI frame) and the CPU
// pane window (its handle published at 0x4CD6A8), loads the DLL, rewrites its
// imports (system_stubs.h) and resolves its exports into `dll`. It does not
// start the plug-in: arrange settings and failures, then call Start().
// TearDown ends in the host's order (Pluginclose, main window destroyed,
// Plugindestroy, FreeLibrary), checks that the DLL is really gone (or, where
// the test expects it, that it pinned itself), and fails the test for every
// host violation (violations.h).
//
//   int  Start(int version = 110)        Plugindata, then Plugininit(version, main window)
//   void Shutdown()                      the host's close sequence now (idempotent)
//   void ShutdownKeepingMainWindow()     Pluginclose and Plugindestroy with the main window alive
//   void Unload()                        Shutdown, then FreeLibrary (idempotent)
//   dll.<export>(...)                    the plug-in's exports, e.g. dll.zt_Toggle(a)
//   std::string PluginName()             what Plugindata wrote
//   HINSTANCE Instance()                 the plug-in's module handle
//
//   Menu(origin, item) -> MenuReply{result, text}     Pluginmenu with a 4096-byte buffer
//   Action(origin, action, item)                      Pluginaction
//   Shortcut(origin, ctrl, alt, shift, key, item)     Pluginshortcut
//   PaneItem()                                        the CPU pane descriptor, as an item
//   SaveUdd(isMain = 1)                               Pluginsaveudd
//   DeliverRecord(tag, body, isMain = 1)              Pluginuddrecord, body against a guard page
//
//   LogHas(text) / LogCount(text)     a log line with exactly this text
//   LogContains(part)                 a log line containing this text
//   LogTexts()                        all log texts
//   LastFlash() / Flashes()           status-bar texts ("" when none)
//   Beeps()                           MessageBeep types
//   Caption(window)                   a window's text
//   FindPanel()                       the navigation panel (a "#32770" owned by the main window)
//   PanelButton(id)                   one of its buttons
//   Table()                           the plug-in's table descriptor (from its sorted data)
//   ListWindow()                      Table()->window, or null
//   Bookmark(address)                 the fields of the host's record at address; has_value()
//   BookmarkAddresses()               addresses of the host's records, in order
//   SetActive(address, active)        the bookmark switched through the plug-in (the panel's "!"),
//                                     the pane's selection and the caption left as they were
//   SetName(address, name)            the host's record changed in place, as the list window's
//                                     commands do (the name's field beyond the new text left as it was)
//   StoreSetting(key, value)          a setting saved before the test
//   StoreHotKey(which, key, alt, shift, ctrl)   the four settings of "toggle", "previous" or "next"
//   SettingInt(key, fallback) / SettingText(key)
//   SettingWrites()                   "key=value" for every write, in order
//   AddBlock(base, bytes) / AddBlock(base, size, fill) / AddModule(base, size, name)
//   ShowBlock(base, size)             the memory the CPU pane shows
//   SelectInPane(address)             selection in the pane (sets it, sends 1128)
//   HoldKeys(shift, ctrl)             what GetKeyState reports for Shift and Ctrl
//   Pump(ms) / PumpUntil(done, ms)    run the message loop
//
// Everything of the host is also reachable directly through namespace sim.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "bookmark_bytes.h"
#include "cpu_pane.h"
#include "debuggee.h"
#include "debugger_actions.h"
#include "disassembler.h"
#include "guard_buffer.h"
#include "host_reset.h"
#include "host/host.h"
#include "host_values.h"
#include "log_window.h"
#include "main_window.h"
#include "message_pump.h"
#include "names.h"
#include "plugin_exports.h"
#include "settings_store.h"
#include "sorted_data.h"
#include "system_stubs.h"
#include "table_paint.h"
#include "table_window.h"
#include "text_entry.h"
#include "udd_records.h"
#include "violations.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

constexpr int kOriginPluginMenu = 0;
constexpr int kOriginCpuPane = 31;

struct MenuReply {
    int result;
    std::string text;
};

class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    int Start(int version = 110);
    void Shutdown();
    void ShutdownKeepingMainWindow();
    void Unload();
    std::string PluginName() const { return pluginName_; }
    HINSTANCE Instance() const { return module_; }

    MenuReply Menu(int origin, void* item = nullptr);
    void Action(int origin, int action, void* item = nullptr);
    int Shortcut(int origin, int ctrl, int alt, int shift, int key, void* item);
    static void* PaneItem() { return sim::Pane(); }
    void SaveUdd(int isMainModule = 1);
    int DeliverRecord(uint32_t tag, const std::vector<uint8_t>& body, int isMainModule = 1);

    static bool LogHas(const std::string& text);
    static int LogCount(const std::string& text);
    static bool LogContains(const std::string& part);
    static std::vector<std::string> LogTexts();
    static std::string LastFlash();
    static const std::vector<std::string>& Flashes() { return sim::Flashes(); }
    static const std::vector<UINT>& Beeps() { return sim::Beeps(); }
    static std::string Caption(HWND window);
    static HWND FindPanel();
    static HWND PanelButton(int id);
    static HostTable* Table();
    static HWND ListWindow();
    static std::optional<sim::BookmarkFields> Bookmark(uint32_t address);
    static std::vector<uint32_t> BookmarkAddresses();
    static void SetActive(uint32_t address, uint8_t active);
    static void SetName(uint32_t address, const std::string& name);

    static void StoreSetting(const std::string& key, int value) { sim::StoreSetting(key, value); }
    static void StoreSetting(const std::string& key, const std::string& text) { sim::StoreSetting(key, text); }
    static void StoreHotKey(const std::string& which, int key, int alt, int shift, int ctrl);
    static int SettingInt(const std::string& key, int fallback = 0) { return sim::StoredInt(key, fallback); }
    static std::string SettingText(const std::string& key) { return sim::StoredText(key); }
    static std::vector<std::string> SettingWrites() { return sim::SettingWrites(); }

    static void AddBlock(uint32_t base, const std::vector<uint8_t>& bytes) { sim::AddBlock(base, bytes); }
    static void AddBlock(uint32_t base, uint32_t size, uint8_t fill) { sim::AddBlock(base, size, fill); }
    static void AddModule(uint32_t base, uint32_t size, const std::string& name) { sim::AddModule(base, size, name); }
    static void ShowBlock(uint32_t base, uint32_t size) { sim::ShowBlock(base, size); }
    static void SelectInPane(uint32_t address) { sim::SelectInPane(address); }
    static void HoldKeys(bool shift, bool ctrl) { sim::HoldKeys(shift, ctrl); }
    static void Pump(DWORD ms) { sim::PumpFor(ms); }
    static bool PumpUntil(const std::function<bool()>& done, DWORD ms) { return sim::PumpUntil(done, ms); }

    sim::PluginExports dll;
    HWND mainWindow_ = nullptr;
    // Set in a fixture's constructor: the copy of the DLL to load, and whether
    // it must stay loaded after FreeLibrary (it pinned itself). A pinned copy
    // stays for the rest of the run, so each copy serves one test only.
    const char* pluginFile_ = "Zentrilo.dll";
    bool staysLoaded_ = false;

private:
    HMODULE module_ = nullptr;
    std::string pluginName_;
    bool running_ = false;    // Plugininit returned 0 and the host has not shut it down
    uint8_t moduleRecord_[256] = {};
};
