#include "plugin_fixture.h"

#include "res/resource.h"


#include <cstring>
#include <utility>

namespace {

std::string PluginPath(const char* file) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string text(path, length);
    return text.substr(0, text.find_last_of("\\/") + 1) + file;
}

struct PanelSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwnedDialog(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<PanelSearch*>(param);
    char className[16] = "";
    GetClassNameA(window, className, sizeof className);
    if (lstrcmpA(className, "#32770") == 0 && GetWindow(window, GW_OWNER) == search->owner) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

void PluginTest::SetUp() {
    sim::ResetHost();
    ASSERT_EQ(nullptr, GetModuleHandleA(pluginFile_)) << "the plug-in of an earlier test is still loaded";
    mainWindow_ = sim::CreateMainWindow();
    ASSERT_NE(nullptr, mainWindow_);
    ASSERT_NE(nullptr, sim::CreatePaneWindow(mainWindow_));
    sim::StartDialogDriver();

    module_ = LoadLibraryA(PluginPath(pluginFile_).c_str());
    ASSERT_NE(nullptr, module_) << "cannot load " << PluginPath(pluginFile_) << ", error " << GetLastError();
    sim::SetPluginInstance(module_);
    sim::InstallSystemStubs(module_);
    std::vector<std::string> missing = dll.Resolve(module_);
    ASSERT_TRUE(missing.empty()) << "missing export " << missing.front();
}

void PluginTest::TearDown() {
    if (sim::PendingDialogActions() > 0) ADD_FAILURE() << "a dialog the test waited for never appeared";
    Unload();
    sim::DestroyMainWindow();
    sim::StopDialogDriver();
    sim::ResetTableWindows();
    sim::ResetCpuPane();
    for (const std::string& violation : sim::Violations()) ADD_FAILURE() << "host: " << violation;
}

int PluginTest::Start(int version) {
    char name[64];
    std::memset(name, 0, sizeof name);
    int dataResult = dll.Plugindata(name);
    pluginName_ = std::string(name, strnlen(name, 32));
    EXPECT_EQ(110, dataResult);
    unsigned long features = 0;
    int result = dll.Plugininit(version, mainWindow_, &features);
    running_ = result == 0;
    return result;
}

void PluginTest::Shutdown() {
    if (!running_) return;
    running_ = false;
    dll.Pluginclose();
    sim::DestroyMainWindow();
    dll.Plugindestroy();
}

void PluginTest::ShutdownKeepingMainWindow() {
    if (!running_) return;
    running_ = false;
    dll.Pluginclose();
    dll.Plugindestroy();
}

void PluginTest::Unload() {
    if (module_ == nullptr) return;
    Shutdown();
    // A thread timer the plug-in left running would fire into unloaded code.
    sim::KillLiveTimers();
    FreeLibrary(module_);
    if (staysLoaded_)
        EXPECT_EQ(module_, GetModuleHandleA(pluginFile_)) << "the plug-in did not stay loaded";
    else
        EXPECT_EQ(nullptr, GetModuleHandleA(pluginFile_)) << "the plug-in did not unload";
    module_ = nullptr;
}

MenuReply PluginTest::Menu(int origin, void* item) {
    char text[4096];
    std::memset(text, 0, sizeof text);
    int result = dll.Pluginmenu(origin, text, item);
    return {result, std::string(text, strnlen(text, sizeof text))};
}

void PluginTest::Action(int origin, int action, void* item) { dll.Pluginaction(origin, action, item); }

int PluginTest::Shortcut(int origin, int ctrl, int alt, int shift, int key, void* item) {
    return dll.Pluginshortcut(origin, ctrl, alt, shift, key, item);
}

void PluginTest::SaveUdd(int isMainModule) { dll.Pluginsaveudd(moduleRecord_, isMainModule); }

int PluginTest::DeliverRecord(uint32_t tag, const std::vector<uint8_t>& body, int isMainModule) {
    return sim::DeliverRecord(dll.Pluginuddrecord, moduleRecord_, isMainModule, tag, body);
}

void PluginTest::SetActive(uint32_t address, uint8_t active) {
    uint8_t& flag = static_cast<uint8_t*>(HostFindSorted(&Table()->sorted, address))[16];
    HWND panel = FindPanel();
    if (panel && (flag != 0) != (active != 0)) {
        // The plug-in counts its active bookmarks, so the switch goes through
        // it, as the panel's "!" does it for the pane's selection; selection
        // and caption are put back, so that only the flag has changed.
        std::string caption = Caption(panel);
        uint32_t selected = sim::Pane()->selected;
        sim::Pane()->selected = address;
        SendMessageA(panel, WM_COMMAND, MAKEWPARAM(IDC_PANEL_SWITCH, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(panel, IDC_PANEL_SWITCH)));
        sim::Pane()->selected = selected;
        SetWindowTextA(panel, caption.c_str());
    }
    flag = active;
}

void PluginTest::SetName(uint32_t address, const std::string& name) {
    std::strcpy(static_cast<char*>(HostFindSorted(&Table()->sorted, address)) + 26, name.c_str());
}

void PluginTest::StoreHotKey(const std::string& which, int key, int alt, int shift, int ctrl) {
    const std::pair<const char*, int> parts[] = {{"key", key}, {"alt", alt}, {"shift", shift}, {"ctrl", ctrl}};
    for (const auto& [part, value] : parts) sim::StoreSetting("hotkey_" + which + "__" + part, value);
}

bool PluginTest::LogHas(const std::string& text) { return LogCount(text) > 0; }

int PluginTest::LogCount(const std::string& text) {
    int count = 0;
    for (const sim::LogLine& line : sim::LogLines()) count += line.text == text;
    return count;
}

bool PluginTest::LogContains(const std::string& part) {
    for (const sim::LogLine& line : sim::LogLines()) {
        if (line.text.find(part) != std::string::npos) return true;
    }
    return false;
}

std::vector<std::string> PluginTest::LogTexts() {
    std::vector<std::string> texts;
    for (const sim::LogLine& line : sim::LogLines()) texts.push_back(line.text);
    return texts;
}

std::string PluginTest::LastFlash() { return sim::Flashes().empty() ? std::string() : sim::Flashes().back(); }

std::string PluginTest::Caption(HWND window) {
    char text[512] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

HWND PluginTest::FindPanel() {
    PanelSearch search{sim::MainWindow(), nullptr};
    if (search.owner) EnumThreadWindows(GetCurrentThreadId(), FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND PluginTest::PanelButton(int id) {
    HWND panel = FindPanel();
    return panel ? GetDlgItem(panel, id) : nullptr;
}

HostTable* PluginTest::Table() {
    for (const sim::SortedCreation& creation : sim::SortedCreations()) {
        if (creation.result == 0) {
            return reinterpret_cast<HostTable*>(reinterpret_cast<uint8_t*>(creation.sorted) -
                                                offsetof(HostTable, sorted));
        }
    }
    return nullptr;
}

HWND PluginTest::ListWindow() {
    HostTable* table = Table();
    return table ? table->window : nullptr;
}

std::optional<sim::BookmarkFields> PluginTest::Bookmark(uint32_t address) {
    HostTable* table = Table();
    if (table == nullptr || !sim::IsLiveSorted(&table->sorted)) return std::nullopt;
    for (const uint8_t* item : sim::SortedItems(&table->sorted)) {
        if (sim::ReadBookmark(item).address == address) return sim::ReadBookmark(item);
    }
    return std::nullopt;
}

std::vector<uint32_t> PluginTest::BookmarkAddresses() {
    std::vector<uint32_t> addresses;
    HostTable* table = Table();
    if (table == nullptr || !sim::IsLiveSorted(&table->sorted)) return addresses;
    for (const uint8_t* item : sim::SortedItems(&table->sorted)) addresses.push_back(sim::ReadBookmark(item).address);
    return addresses;
}
