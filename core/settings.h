// The plug-in's settings in the debugger's settings file. Nothing is cached:
// every reader asks the host when it needs the value, with its own default.
#pragma once

#include <cstddef>

namespace zt {

namespace key {
constexpr const char kAutoShow[] = "auto_show";
constexpr const char kRestoreBookmarksWindow[] = "restore_bookmarks_window";
constexpr const char kAddToolbarButton[] = "add_bookmarks_toolbar_button";
constexpr const char kToolbarButtonShift[] = "toolbar_button_shift";
constexpr const char kLoadOldBookmarks[] = "load_old_bookmarks";
constexpr const char kShowToggleBookmark[] = "show_toggle_bookmark";
constexpr const char kShowBookmarkNameDialog[] = "show_bookmark_name_dialog";
constexpr const char kMapNameToLabel[] = "map_bookmark_name_to_label";
constexpr const char kOpcodeHelpFile[] = "opcode_help_file";
constexpr const char kPanelTop[] = "top";
constexpr const char kPanelLeft[] = "left";
}  // namespace key

// The four keys of one hot key: its virtual-key code and its modifiers.
struct HotKeyKeys {
    const char* key;
    const char* alt;
    const char* shift;
    const char* ctrl;
};
extern const HotKeyKeys kToggleHotKey;
extern const HotKeyKeys kPreviousHotKey;
extern const HotKeyKeys kNextHotKey;

constexpr size_t kSettingTextSize = 260;

int ReadSetting(const char* key, int defaultValue);
void ReadSettingText(const char* key, char (&text)[kSettingTextSize], const char* defaultText);
void WriteSetting(const char* key, int value);
void WriteSettingText(const char* key, const char* text);

// Label mapping is on only at exactly 1.
bool IsLabelMappingOn();

}  // namespace zt
