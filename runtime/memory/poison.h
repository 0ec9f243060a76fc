// Marks memory that nobody may touch, so that a stale pointer faults at once
// in the sanitizer build. Elsewhere these cost nothing.
#pragma once

#include <cstddef>

#ifdef VEK_SANITIZE
#include <sanitizer/asan_interface.h>
#endif

namespace vek::poison {

inline void forbid([[maybe_unused]] const void* start, [[maybe_unused]] size_t bytes) {
#ifdef VEK_SANITIZE
    ASAN_POISON_MEMORY_REGION(start, bytes);
#endif
}

inline void allow([[maybe_unused]] const void* start, [[maybe_unused]] size_t bytes) {
#ifdef VEK_SANITIZE
    ASAN_UNPOISON_MEMORY_REGION(start, bytes);
#endif
}

}  // namespace vek::poison
