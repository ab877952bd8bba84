// Export and import of bookmarks through an exchange (.dat) file, with
// addresses relative to the memory block the CPU pane shows.
#pragma once

namespace zt {

void ExportBookmarks();
void ImportBookmarks();

}  // namespace zt
