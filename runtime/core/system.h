// The system record: the process-wide facts every module may read.
#pragma once

#include <cstdint>

namespace vek {

struct HeapBlock;

struct SystemRecord {
    int argc = 0;
    char** argv = nullptr;            // argc + 1 entries, UTF-8, the last null
    uint32_t thrown_code = 0;         // code of the throw in progress
    const void* boot_data = nullptr;  // boot literal data, set by the entry code
    HeapBlock* heap_first = nullptr;  // the malloc block list (runtime/memory/malloc_list.h)
    HeapBlock* heap_last = nullptr;
};

extern SystemRecord sysrec;

// Set while the runtime and the library are being built; word interning reads it.
extern bool booting;

}  // namespace vek
