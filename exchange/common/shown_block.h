// The CPU pane, whose shown memory block exchange-file addresses are
// relative to.
#pragma once

#include "host/host.h"

namespace zt {

// The pane's descriptor when it shows memory. Null, after the hand beep, when
// it shows none (or the debugger has no pane to ask about).
const HostCpuPane* PaneShowingMemory();

}  // namespace zt
