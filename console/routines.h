// The console's routines: reading lines for ask and input, and the console's
// start-up.
#pragma once

namespace vek::console {

// Registers the routines; the library declares them during the boot.
void init();

}  // namespace vek::console
