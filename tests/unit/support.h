// Helpers shared by the unit tests.
#pragma once

#include <cstdint>
#include <functional>

namespace vek::test {

// Runs body under a try frame and returns the code of the error it raised, 0
// when it raised none. The stacks are put back as they were.
uint32_t raised(const std::function<void()>& body);

}  // namespace vek::test
