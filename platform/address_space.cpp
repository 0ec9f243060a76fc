#include "platform/address_space.h"

#include <sys/mman.h>

namespace vek::platform {

void* reserve_address_space(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

bool commit_range(void* start, size_t bytes) {
    return mprotect(start, bytes, PROT_READ | PROT_WRITE) == 0;
}

bool decommit_range(void* start, size_t bytes) {
    // MADV_DONTNEED on a private anonymous mapping frees the pages at once and
    // guarantees zero-filled pages on the next touch.
    if (madvise(start, bytes, MADV_DONTNEED) != 0) return false;
    return mprotect(start, bytes, PROT_NONE) == 0;
}

}  // namespace vek::platform
