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
    // A fresh anonymous mapping in place frees the pages at once and gives
    // zero-filled pages on the next commit, also where a file was mapped.
    void* p = mmap(start, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED, -1, 0);
    return p != MAP_FAILED;
}

bool map_file_range(void* start, size_t bytes, int fd, uint64_t offset) {
    void* p = mmap(start, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_FIXED, fd, off_t(offset));
    return p != MAP_FAILED;
}

}  // namespace vek::platform
