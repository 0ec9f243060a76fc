// The thread that runs the whole runtime: a large stack of its own with a
// guard zone at its low end, an alternate signal stack and the signal
// handlers. The calling thread only starts it and waits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::platform {

// Returned by run_on_runtime_thread when no runtime thread could be started
// (no stack could be reserved, or the thread could not be created).
constexpr int no_runtime_thread = -1;

// Runs body(arg) on the runtime thread and returns its result.
int run_on_runtime_thread(int (*body)(void*), void* arg);

namespace detail {
extern uintptr_t runtime_stack_limit;
}

// Highest address of the runtime thread's stack that holds runtime frames:
// the collector scans from the current stack pointer up to it.
uintptr_t stack_base();
// Lowest usable address, just above the guard zone.
uintptr_t stack_limit();
// Whether an address lies in the guard zone below stack_limit().
bool in_stack_guard(uintptr_t address);
// Whether the caller runs on the runtime thread, the only one that may
// allocate Vek memory or collect.
bool on_runtime_thread();

// Bytes left between the caller's frame and the guard zone; meaningful on the
// runtime thread only. Cheap enough for every recursion step.
inline size_t stack_remaining() {
    auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    return here > detail::runtime_stack_limit ? here - detail::runtime_stack_limit : 0;
}

// Whether fewer than reserve bytes are left, as stack_remaining() < reserve
// says, with a single compare: the check every block and call makes.
inline bool stack_short_of(size_t reserve) {
    return reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < detail::runtime_stack_limit + reserve;
}

}  // namespace vek::platform
