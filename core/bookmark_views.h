// What shows the bookmarks to the user: the list window and the navigation
// panel. The store and navigation tell them of a change through these calls;
// the plug-in's glue connects the windows at load, and until then (or when a
// window is missing) a call does nothing.
#pragma once

namespace zt {

struct BookmarkViews {
    void (*repaintList)();                  // the list window repaints its rows
    void (*showCaption)(const char* text);  // the panel's caption, the status line
    void (*enableSwitch)(bool enable);      // the panel's "!" button
    void (*askForCaption)();                // the panel calls PublishPendingStatus soon
};

void ConnectBookmarkViews(const BookmarkViews& views);

void RepaintBookmarkList();
void ShowStatusCaption(const char* text);
void EnableSwitchCommand(bool enable);
void AskForStatusCaption();

}  // namespace zt
