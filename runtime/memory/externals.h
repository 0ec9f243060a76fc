// Externals: resources that the memory manager knows nothing about (library
// objects, operating-system handles), each held in a handle slot whose index
// a value carries. Every resource type has a release callback; the collector
// marks the slots that live handle! values reach and releases the rest, each
// exactly once.
//
// The reference pool: a block of cells with a free list, in which a value is
// parked under a 1-based index and so kept alive for the collector.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::externals {

using Release = void (*)(void* object);

constexpr uint32_t INITIAL_SLOTS = 1000;
constexpr uint32_t SLOT_TYPE_MASK = 0xFFu;
constexpr uint32_t SLOT_MARKED = 0x80000000u;
constexpr uint32_t SLOT_FREE = 0x40000000u;

void init();

// Types are numbered from 1; a null callback releases nothing.
uint32_t register_type(const char* tag, Release release);

// The index of a new live slot holding the object. The table doubles when
// its last free slot is taken.
uint32_t new_handle(void* object, uint32_t type);
// Releases the resource first when release is set, then frees the slot. An
// index that is not live is ignored.
void release_handle(uint32_t index, bool release);
// The collector's mark of a live slot; a non-null new object replaces the
// slot's. Answers whether the slot was unmarked before; an index that is not
// live answers false.
bool mark(uint32_t index, void* new_object);
// After marking: marked slots lose the mark, the others are released
// through their type's callback and freed. A callback that throws does not
// stop the sweep: the first exception is rethrown once every slot is done.
void sweep();
// After a marking that was cut short: every slot loses its mark.
void forget_marks();

// The resource of a live slot, or nullptr.
void* object(uint32_t index);
uint32_t slot_count();

}  // namespace vek::externals

namespace vek::ref_pool {

constexpr uint32_t INITIAL_CELLS = 100;

// Makes the pool's block; init_hooks registers its collector root, at every
// start.
void init();
void init_hooks();
// Parks a copy of the value; the pool doubles when full.
uint32_t add(const Cell* value);
// The parked cell; valid until the next call that may allocate.
Cell* get(uint32_t index);
// Index 0 is ignored.
void release(uint32_t index);

}  // namespace vek::ref_pool
