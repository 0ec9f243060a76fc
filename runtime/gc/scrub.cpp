// Scrubbing the dead part of the C++ stack. A finished call leaves its words
// below the frame that called it; the next calls' frames reuse that space,
// and every slot they leave unwritten (padding, a local not yet set, an array
// entry past its used count) still holds an old word. The stack scan reads
// those too and takes one that looks like a node for a root, which keeps a
// dead structure alive for as long as the frame lasts. Zeroing the space
// below a long-lived frame, such as the script runner's, between
// top-level expressions gives the next expression clean frames.
#include <cstddef>
#include <cstring>

#include "platform/runtime_thread.h"
#include "runtime/gc/collector.h"

namespace vek::gc {

namespace {

// The depth below the caller that is zeroed: several times what the frames
// of an ordinary expression take down to a collection. Deeper stale words
// are left; only deep recursion reaches them again.
constexpr size_t SCRUB_BYTES = 64 * 1024;

// Room left below the zeroed stretch, so that a scrub never comes near the
// stack's guard zone.
constexpr size_t SCRUB_MARGIN = 64 * 1024;

}  // namespace

// The array is this frame, just below the caller's; the asm makes the zeros
// count as read, so the compiler cannot drop the stores as dead. The
// sanitizer would put red zones around the array, which the zeroing would
// leave as they were; the function is left uninstrumented so it has none.
[[gnu::noinline]] __attribute__((no_sanitize("address"))) void scrub_stack() {
    if (platform::stack_remaining() < SCRUB_BYTES + SCRUB_MARGIN) return;
    std::byte dead[SCRUB_BYTES];
    std::memset(dead, 0, sizeof dead);
    asm volatile("" : : "r"(dead) : "memory");
}

}  // namespace vek::gc
