// Opens the navigation panel, the bookmark list and the Settings dialog with
// sample bookmarks and settings, and writes each window, as it appears on the
// screen, to a 24-bit bitmap in the current folder: navigation-panel.bmp,
// list-window.bmp, settings-dialog.bmp, each also as the window draws itself
// into a bitmap (NAME-printed.bmp). Meant for Wine's X11 driver on a display.
#include "host/dialog_controls.h"
#include "host/plugin_fixture.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// 0x401000 in module "sample": PUSH EBP; MOV EBP,ESP; XOR EAX,EAX;
// CALL 0x401100; RETN; then NOPs.
constexpr uint32_t kCode = 0x401000;
constexpr uint32_t kFrame = 0x401001;    // MOV EBP,ESP
constexpr uint32_t kClear = 0x401003;    // XOR EAX,EAX, patched to INT3 later
constexpr uint32_t kCall = 0x401005;     // CALL
constexpr int kSettingsCommand = 5;
constexpr int kSettingsCancel = 1014;

bool WriteBitmap(const char* path, int width, int height, const std::vector<uint8_t>& rows) {
    BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, DWORD(rows.size()), 0, 0, 0, 0};
    BITMAPFILEHEADER file{0x4D42, DWORD(sizeof file + sizeof info + rows.size()), 0, 0, sizeof file + sizeof info};
    FILE* out = std::fopen(path, "wb");
    if (!out) return false;
    bool written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1 &&
                   std::fwrite(rows.data(), 1, rows.size(), out) == rows.size();
    return std::fclose(out) == 0 && written;
}

// The window drawn into a 24-bit bitmap of its size, by copy(bitmap's DC,
// window's rectangle on the screen), written to path.
template <typename Copy>
bool Snapshot(HWND window, const std::string& path, Copy copy) {
    RECT r;
    GetWindowRect(window, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof info.bmiHeader, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    bool copied = bits && copy(memory, screen, r);
    GdiFlush();
    size_t stride = (size_t(width) * 3 + 3) & ~size_t(3);
    std::vector<uint8_t> rows;
    if (copied) rows.assign(static_cast<uint8_t*>(bits), static_cast<uint8_t*>(bits) + stride * size_t(height));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return copied && WriteBitmap(path.c_str(), width, height, rows);
}

// NAME.bmp: the window's rectangle as the display shows it, after it has
// painted. NAME-printed.bmp: the window asked to draw itself (PrintWindow),
// which tools/screenshots.sh takes only when the display gave nothing.
bool Capture(HWND window, const std::string& name) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    sim::PumpUntil([] { return false; }, 300);  // longer in the slow guest
    bool printed = Snapshot(window, name + "-printed.bmp",
                            [window](HDC to, HDC, const RECT&) { return PrintWindow(window, to, 0) != FALSE; });
    bool shown = Snapshot(window, name + ".bmp", [](HDC to, HDC screen, const RECT& r) {
        return BitBlt(to, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY) != FALSE;
    });
    return printed && shown;
}

class Screenshot : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        std::vector<uint8_t> code{0x55, 0x8B, 0xEC, 0x33, 0xC0, 0xE8, 0xF6, 0x00, 0x00, 0x00, 0xC3};
        code.resize(0x200, 0x90);
        AddBlock(kCode, code);
        AddModule(kCode, 0x200, "sample");
        ShowBlock(kCode, 0x200);
        StoreSetting("left", 60);
        StoreSetting("top", 60);
    }

    void AddBookmarks() {
        for (uint32_t address : {kFrame, kClear, kCall}) ASSERT_EQ(1, dll.zt_Toggle(address));
        SetName(kFrame, "frame set-up");
        SetName(kClear, "result cleared");
        SetName(kCall, "checks the key");
        sim::SetName(kFrame, kHostNameComment, "stack frame of the key check");
        sim::SetName(kCall, kHostNameComment, "returns 0 for a bad key");
        SetActive(kCall, 0);
        sim::PatchMemory(kClear, {0xCC});
    }
};

TEST_F(Screenshot, NavigationPanel) {
    StoreSetting("auto_show", 1);
    ASSERT_EQ(0, Start());
    AddBookmarks();
    SelectInPane(kClear);
    HWND panel = FindPanel();
    ASSERT_NE(nullptr, panel);
    EXPECT_TRUE(Capture(panel, "navigation-panel"));
}

TEST_F(Screenshot, ListWindow) {
    StoreSetting("auto_show", 0);
    StoreSetting("restore_bookmarks_window", 1);
    ASSERT_EQ(0, Start());
    AddBookmarks();
    ASSERT_NE(nullptr, ListWindow());
    Table()->sorted.selectedRow = 0;
    SetWindowPos(ListWindow(), nullptr, 0, 0, 980, 170, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(Capture(ListWindow(), "list-window"));
}

TEST_F(Screenshot, SettingsDialog) {
    StoreSetting("auto_show", 0);
    StoreSetting("restore_bookmarks_window", 1);
    StoreSetting("show_toggle_bookmark", 1);
    StoreSetting("add_bookmarks_toolbar_button", 1);
    StoreSetting("show_bookmark_name_dialog", 1);
    StoreSetting("opcode_help_file", "C:\\Help\\opcodes.hlp");
    StoreHotKey("toggle", 'B', 0, 0, 1);
    StoreHotKey("previous", VK_F2, 0, 1, 0);
    StoreHotKey("next", VK_F2, 0, 0, 0);
    ASSERT_EQ(0, Start());
    bool captured = false;
    sim::WhenDialogAppears("Settings", [&captured](HWND dialog) {
        captured = Capture(dialog, "settings-dialog");
        sim::ClickControl(dialog, kSettingsCancel);
    });
    Action(kOriginPluginMenu, kSettingsCommand);
    EXPECT_TRUE(captured);
}

}  // namespace
