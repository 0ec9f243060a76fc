#include "runtime/memory/externals.h"

#include <exception>

#include "runtime/datatypes/number/integer.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"

namespace vek {

namespace externals {

namespace {

constexpr uint32_t INITIAL_TYPES = 20;
constexpr int32_t END = -1;

struct Type {
    const char* tag;
    Release release;
};

struct Slot {
    uint32_t flags;
    void* object;
    int32_t next;  // in the live list or the free list
};

Type* types = nullptr;
uint32_t type_count = 0;
uint32_t type_capacity = 0;

Slot* slots = nullptr;
uint32_t slot_total = 0;
int32_t live_head = END;
int32_t free_head = END;

// Slots [from, to) become free, chained in index order; the last ends the list.
void format_free(uint32_t from, uint32_t to) {
    for (uint32_t i = from; i < to; i++) slots[i] = Slot{SLOT_FREE, nullptr, i + 1 < to ? int32_t(i + 1) : END};
}

void grow_slots() {
    uint32_t old_total = slot_total;
    slot_total *= 2;
    slots = static_cast<Slot*>(malloc_list::resize(slots, sizeof(Slot) * slot_total));
    format_free(old_total, slot_total);
}

bool live(uint32_t index) { return index < slot_total && !(slots[index].flags & SLOT_FREE); }

void call_release(uint32_t flags, void* object) {
    uint32_t type = flags & SLOT_TYPE_MASK;
    if (type >= 1 && type <= type_count && types[type - 1].release) types[type - 1].release(object);
}

void make_free(uint32_t index) {
    slots[index] = Slot{SLOT_FREE, nullptr, free_head};
    free_head = int32_t(index);
}

void unlink_live(uint32_t index) {
    int32_t* link = &live_head;
    while (*link != END && *link != int32_t(index)) link = &slots[*link].next;
    if (*link != END) *link = slots[index].next;
}

}  // namespace

void init() {
    types = static_cast<Type*>(malloc_list::alloc(sizeof(Type) * INITIAL_TYPES));
    type_count = 0;
    type_capacity = INITIAL_TYPES;
    slot_total = INITIAL_SLOTS;
    slots = static_cast<Slot*>(malloc_list::alloc(sizeof(Slot) * slot_total));
    format_free(0, slot_total);
    live_head = END;
    free_head = 0;
}

uint32_t register_type(const char* tag, Release release) {
    if (type_count == type_capacity) {
        type_capacity *= 2;
        types = static_cast<Type*>(malloc_list::resize(types, sizeof(Type) * type_capacity));
    }
    types[type_count++] = Type{tag, release};
    return type_count;
}

uint32_t new_handle(void* object, uint32_t type) {
    auto index = uint32_t(free_head);
    if (slots[index].next == END) {
        grow_slots();
        slots[index].next = int32_t(slot_total / 2);
    }
    free_head = slots[index].next;
    slots[index] = Slot{type & SLOT_TYPE_MASK, object, live_head};
    live_head = int32_t(index);
    return index;
}

void release_handle(uint32_t index, bool release) {
    if (!live(index)) return;
    if (release) call_release(slots[index].flags, slots[index].object);
    unlink_live(index);
    make_free(index);
}

bool mark(uint32_t index, void* new_object) {
    if (!live(index)) return false;
    Slot& s = slots[index];
    if (new_object) s.object = new_object;
    bool was_unmarked = !(s.flags & SLOT_MARKED);
    s.flags |= SLOT_MARKED;
    return was_unmarked;
}

// A slot leaves the live list before its callback runs, so that a callback
// that releases handles of its own finds the list consistent.
void sweep() {
    std::exception_ptr failure;
    int32_t* link = &live_head;
    while (*link != END) {
        auto index = uint32_t(*link);
        Slot& s = slots[index];
        if (s.flags & SLOT_MARKED) {
            s.flags &= ~SLOT_MARKED;
            link = &s.next;
            continue;
        }
        Slot dead = s;
        *link = s.next;
        make_free(index);
        try {
            call_release(dead.flags, dead.object);
        } catch (...) {
            if (!failure) failure = std::current_exception();
        }
    }
    if (failure) std::rethrow_exception(failure);
}

void forget_marks() {
    for (int32_t i = live_head; i != END; i = slots[i].next) slots[i].flags &= ~SLOT_MARKED;
}

void* object(uint32_t index) { return live(index) ? slots[index].object : nullptr; }
uint32_t slot_count() { return slot_total; }

}  // namespace externals

namespace ref_pool {

namespace {

// The pool block; a collector root.
Cell pool{};
uint32_t capacity = 0;
int32_t free_head = -1;

Cell* cells() { return series_buffer(&pool)->cells(); }

// Cells [from, to) become free integer! cells chained in index order.
void format_free(uint32_t from, uint32_t to) {
    Cell* c = cells();
    for (uint32_t i = from; i < to; i++) c[i] = integer::cell(i + 1 < to ? int32_t(i + 1) : -1);
}

void grow() {
    SeriesBuffer* b = series_buffer(&pool);
    uint32_t old_capacity = capacity;
    capacity *= 2;
    b = memory::expand_series(series_node(&pool), b, capacity * uint32_t(sizeof(Cell)));
    b->tail = b->offset + capacity * uint32_t(sizeof(Cell));
    format_free(old_capacity, capacity);
    free_head = int32_t(old_capacity);
}

void mark_pool() { gc::mark_cell(&pool); }

}  // namespace

void init() {
    capacity = INITIAL_CELLS;
    pool = series_cell(TYPE_BLOCK, memory::alloc_cells(capacity));
    SeriesBuffer* b = series_buffer(&pool);
    b->tail = b->offset + capacity * uint32_t(sizeof(Cell));
    format_free(0, capacity);
    free_head = 0;
}

void init_hooks() {
    gc::add_root("reference pool", mark_pool);
    image_state::keep("reference pool", pool);
    image_state::keep("reference pool capacity", capacity);
    image_state::keep("reference pool free head", free_head);
}

uint32_t add(const Cell* value) {
    Cell parked = *value;  // the value may live in a buffer that growing moves
    if (free_head < 0) grow();
    Cell* c = cells() + free_head;
    free_head = integer::get(c);
    *c = parked;
    return uint32_t(c - cells()) + 1;
}

Cell* get(uint32_t index) { return cells() + (index - 1); }

void release(uint32_t index) {
    if (index == 0 || index > capacity) return;
    Cell* c = cells() + (index - 1);
    *c = integer::cell(int32_t(free_head));
    free_head = int32_t(index - 1);
}

}  // namespace ref_pool
}  // namespace vek
