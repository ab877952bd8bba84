#include "core/bookmark_views.h"

namespace zt {

namespace {

BookmarkViews g_views = {};

}  // namespace

void ConnectBookmarkViews(const BookmarkViews& views) { g_views = views; }

void RepaintBookmarkList() {
    if (g_views.repaintList) g_views.repaintList();
}

void ShowStatusCaption(const char* text) {
    if (g_views.showCaption) g_views.showCaption(text);
}

void EnableSwitchCommand(bool enable) {
    if (g_views.enableSwitch) g_views.enableSwitch(enable);
}

void AskForStatusCaption() {
    if (g_views.askForCaption) g_views.askForCaption();
}

}  // namespace zt
