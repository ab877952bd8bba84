#include "exchange/exchange_file.h"

namespace zt {

void ExportBookmarks() {}
void ImportBookmarks() {}

}  // namespace zt
