// A fuzz target: one function that takes any bytes and must neither crash,
// hang nor touch memory outside its buffers, whatever they hold. The driver
// (driver.cpp) calls it on the runtime thread, with the runtime up and the
// collector on, under libFuzzer or on its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::fuzz {

// Runs the code under test on the input. Errors it raises as Vek errors are
// the expected answer to bad input and are caught.
void run_one(const uint8_t* data, size_t size);

}  // namespace vek::fuzz
