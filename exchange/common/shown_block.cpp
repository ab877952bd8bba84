#include "exchange/common/shown_block.h"

#include <windows.h>

namespace zt {

const HostCpuPane* PaneShowingMemory() {
    const auto* pane = reinterpret_cast<const HostCpuPane*>(HostGetValue(kHostValueCpuPane));
    if (pane && pane->blockSize != 0) return pane;
    MessageBeep(MB_ICONHAND);
    return nullptr;
}

}  // namespace zt
