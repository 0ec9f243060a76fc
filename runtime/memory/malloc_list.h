// Plain blocks from malloc, kept in one list so that they can be counted for
// the memory statistics and freed at quit. Series buffers never come from here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek {

struct HeapBlock {
    HeapBlock* previous;
    HeapBlock* next;
    size_t size;  // as requested
    size_t pad_;  // keeps the data 16-byte aligned
};

namespace malloc_list {

// Exhaustion stops the process with runtime error 94.
void* alloc(size_t size);
void* alloc_zeroed(size_t size);
// An address that is not in the list is ignored.
void free(void* data);
// nullptr allocates; size 0 frees and returns nullptr.
void* resize(void* data, size_t size);
void free_all();
// Sum of requested size + header over the list.
uint64_t total();

}  // namespace malloc_list
}  // namespace vek
