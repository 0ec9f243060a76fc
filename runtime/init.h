#pragma once

namespace vek::runtime {

// Brings the runtime up in its fixed order, on the runtime thread.
void init();

}  // namespace vek::runtime
