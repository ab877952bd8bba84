// Puts every part of the simulated host back to its empty state (main
// window and table window classes excepted: the fixture ends those in the
// host's own order).
#pragma once

namespace sim {

void ResetHost();

}  // namespace sim
