// The malloc block list. Every block carries a header that links it into the
// list held by the system record, so the blocks can be counted and freed at
// quit.
#include "runtime/memory/malloc_list.h"

#include <cstdlib>
#include <cstring>

#include "runtime/core/quit.h"
#include "runtime/core/system.h"

namespace vek::malloc_list {

namespace {

constexpr size_t HEADER = sizeof(HeapBlock);
static_assert(HEADER % 16 == 0);

HeapBlock* header_of(void* data) { return static_cast<HeapBlock*>(data) - 1; }
void* data_of(HeapBlock* block) { return block + 1; }

bool in_list(const HeapBlock* wanted) {
    for (HeapBlock* b = sysrec.heap_first; b; b = b->next)
        if (b == wanted) return true;
    return false;
}

void append(HeapBlock* block, size_t size) {
    block->size = size;
    block->pad_ = 0;
    block->next = nullptr;
    block->previous = sysrec.heap_last;
    if (sysrec.heap_last) sysrec.heap_last->next = block;
    else sysrec.heap_first = block;
    sysrec.heap_last = block;
}

void unlink(HeapBlock* block) {
    if (block->previous) block->previous->next = block->next;
    else sysrec.heap_first = block->next;
    if (block->next) block->next->previous = block->previous;
    else sysrec.heap_last = block->previous;
}

// The neighbours and the list ends still point at the block's old address.
void relink_moved(HeapBlock* block) {
    if (block->previous) block->previous->next = block;
    else sysrec.heap_first = block;
    if (block->next) block->next->previous = block;
    else sysrec.heap_last = block;
}

[[noreturn]] void out_of_memory(uintptr_t caller) { quit_with_status(ERROR_OUT_OF_MEMORY, caller); }

HeapBlock* obtain(size_t size, uintptr_t caller) {
    if (size > SIZE_MAX - HEADER) out_of_memory(caller);
    auto block = static_cast<HeapBlock*>(std::malloc(size + HEADER));
    if (!block) out_of_memory(caller);
    append(block, size);
    return block;
}

}  // namespace

void* alloc(size_t size) {
    return data_of(obtain(size, uintptr_t(__builtin_return_address(0))));
}

void* alloc_zeroed(size_t size) {
    void* data = data_of(obtain(size, uintptr_t(__builtin_return_address(0))));
    std::memset(data, 0, size);
    return data;
}

void free(void* data) {
    if (!data) return;
    HeapBlock* block = header_of(data);
    if (!in_list(block)) return;
    unlink(block);
    std::free(block);
}

void* resize(void* data, size_t size) {
    uintptr_t caller = uintptr_t(__builtin_return_address(0));
    if (!data) return data_of(obtain(size, caller));
    if (size == 0) {
        free(data);
        return nullptr;
    }
    if (size > SIZE_MAX - HEADER) out_of_memory(caller);
    auto block = static_cast<HeapBlock*>(std::realloc(header_of(data), size + HEADER));
    if (!block) out_of_memory(caller);
    block->size = size;
    relink_moved(block);
    return data_of(block);
}

void free_all() {
    HeapBlock* b = sysrec.heap_first;
    while (b) {
        HeapBlock* next = b->next;
        std::free(b);
        b = next;
    }
    sysrec.heap_first = sysrec.heap_last = nullptr;
}

uint64_t total() {
    uint64_t sum = 0;
    for (HeapBlock* b = sysrec.heap_first; b; b = b->next) sum += b->size + HEADER;
    return sum;
}

}  // namespace vek::malloc_list
