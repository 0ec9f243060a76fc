#include "runtime/datatypes/block/array.h"

#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/hash_table.h"

namespace vek::block {

namespace {

constexpr uint32_t CELL = sizeof(Cell);

Cell* cells_of(Node node) { return node_buffer(node)->cells(); }

bool is_hash(const Cell* block) { return cell_type(block) == TYPE_HASH; }

bool clones_nested(uint32_t type, bool any_block) {
    if (type == TYPE_BLOCK) return true;
    return any_block && (type == TYPE_PAREN || is_any_path(type));
}

// Writes a block of a fresh buffer into the cell. The cell is unset! while
// the buffer is allocated, so that a collection meanwhile never reads it as a
// half-made block.
Cell* make_block_at(Cell* cell, Node (*alloc)(uint32_t), int32_t capacity, uint32_t header) {
    set_type(cell, TYPE_UNSET);
    Node node = alloc(capacity < 1 ? 1u : uint32_t(capacity));
    cell->header = header;
    set_series_index(cell, 0);
    set_series_node(cell, node);
    return cell;
}

Node alloc_heap_cells(uint32_t count) { return memory::alloc_series_heap(count, CELL, 0); }

// Scratch cells for blocks made without a parent. They live in the root
// block, which never moves, so they stay reachable and in place.
Cell* scratch_cell(Cell** slot) {
    if (!*slot) *slot = root::append();
    return *slot;
}
Cell* heap_scratch = nullptr;
Cell* frames_scratch = nullptr;

// A new block made by make_at_star, written at the parent's tail or into the
// scratch cell.
Cell* make_into(const Cell* parent, Cell** scratch, int32_t capacity, bool heap) {
    Cell made = blank_cell(TYPE_UNSET);
    make_at_star(&made, capacity, heap);
    Cell* cell = parent ? block::alloc_tail(parent) : scratch_cell(scratch);
    return copy_cell(&made, cell);
}

}  // namespace

void init_scratch() {
    heap_scratch = frames_scratch = nullptr;
    image_state::keep_pointer("heap block scratch cell", heap_scratch);
    image_state::keep_pointer("block scratch cell", frames_scratch);
}

// ---------------------------------------------------------------- head and tail

int32_t rs_length(const Cell* block) {
    return int32_t(series_buffer(block)->length()) - int32_t(series_index(block));
}

bool rs_next(Cell* block) {
    uint32_t length = series_buffer(block)->length();
    if (series_index(block) + 1 <= length) set_series_index(block, series_index(block) + 1);
    return series_index(block) == length;
}

Cell* rs_head(Cell* block) {
    SeriesBuffer* buffer = series_buffer(block);
    if (series_index(block) > buffer->length()) set_series_index(block, buffer->length());
    return buffer->cells() + series_index(block);
}

Cell* rs_tail(const Cell* block) { return series_buffer(block)->cells_tail(); }

bool rs_at_tail(const Cell* block) { return series_index(block) == series_buffer(block)->length(); }

Cell* rs_abs_at(const Cell* block, uint32_t index) { return series_buffer(block)->cells() + index; }

void rs_clear(const Cell* block) {
    SeriesBuffer* buffer = series_buffer(block);
    if (series_index(block) < buffer->length()) buffer->tail = buffer->offset + series_index(block) * CELL;
}

void truncate_at(const Cell* block, uint32_t index) {
    SeriesBuffer* buffer = series_buffer(block);
    buffer->tail = buffer->offset + index * CELL;
}

void rs_remove_last(Cell* block) {
    SeriesBuffer* buffer = series_buffer(block);
    if (buffer->length() == 0) return;
    buffer->tail = Off(uint32_t(buffer->tail) - CELL);
    if (series_index(block) > buffer->length()) set_series_index(block, buffer->length());
}

// ---------------------------------------------------------------- adding cells

Cell* rs_append(const Cell* block, const Cell* value) {
    Cell copy = *value;  // the value may lie in the buffer that grows
    Cell* cell = copy_cell(&copy, block::alloc_tail(block));
    if (is_hash(block)) cell = hash_table::put(hash_table_of(block), cell);
    return cell;
}

const Cell* append_cells_of(const Cell* target, const Cell* source) {
    Node from = series_node(source);
    uint32_t head = series_index(source);
    uint32_t count = length_from_head(source);
    auto to = reinterpret_cast<Cell*>(series::reserve_tail(series_buffer(target), count * CELL));
    std::memcpy(static_cast<void*>(to), cells_of(from) + head, size_t(count) * CELL);
    if (is_hash(target)) {
        Node table = hash_table_of(target);
        uint32_t first = series_buffer(target)->length() - count;
        for (uint32_t i = 0; i < count; i++) hash_table::put(table, rs_abs_at(target, first + i));
    }
    return target;
}

Cell* insert_value(Cell* block, const Cell* value, bool advance, bool at_start) {
    Cell copy = *value;
    Node node = series_node(block);
    SeriesBuffer* buffer = memory::grow_torture(node_buffer(node));
    uint32_t length = buffer->length();
    uint32_t index = at_start ? 0 : std::min(series_index(block), length);
    if (buffer->last() + CELL > buffer->area_end())
        buffer = memory::expand_series(node, buffer, 2 * (buffer->used_bytes() + CELL));
    Cell* cell = buffer->cells() + index;
    std::memmove(static_cast<void*>(cell + 1), cell, size_t(length - index) * CELL);
    buffer->tail = buffer->tail + CELL;
    *cell = copy;
    if (is_hash(block)) {
        Node table = hash_table_of(block);
        if (hash_table::shift_indexes(table, 1, index, length - index, true) != 0)
            hash_table::reset(table, length + 1);
        else
            hash_table::put(table, cell);
    }
    if (advance) set_series_index(block, index + 1);
    return rs_abs_at(block, index);
}

Cell* insert_cells_of(Cell* target, const Cell* source) {
    // Inserting a block into itself shifts the cells being read: take them
    // from a copy then.
    bool into_itself = series_node(source) == series_node(target);
    const Cell* from = into_itself ? clone(source, false, false) : source;
    Node node = series_node(from);
    uint32_t head = series_index(from);
    uint32_t count = length_from_head(from);
    for (uint32_t i = 0; i < count; i++) {
        Cell value = cells_of(node)[head + i];
        insert_value(target, &value, true, false);
    }
    if (into_itself) stack::pop(1);
    return target;
}

void insert_result_into_previous() { insert_value(stack::arguments - 1, stack::arguments, true, false); }

void append_result_to_previous() { rs_append(stack::arguments - 1, stack::arguments); }

void result_append_next() { rs_append(stack::arguments, stack::arguments + 1); }

// ---------------------------------------------------------------- lookup by value

const Cell* rs_select(const Cell* block, const Cell* value) {
    Node node = series_node(block);
    for (uint32_t i = series_index(block); i < node_buffer(node)->length(); i++) {
        Cell candidate = cells_of(node)[i];
        if (!actions::compare(&candidate, value, actions::COMP_FIND)) continue;
        return i + 1 < node_buffer(node)->length() ? cells_of(node) + i + 1 : &none::constant;
    }
    return &none::constant;
}

const Cell* select_word(const Cell* block, const Cell* word, bool exact) {
    uint32_t wanted = exact ? word::symbol(word) : symbol::resolve(word::symbol(word));
    SeriesBuffer* buffer = series_buffer(block);
    uint32_t length = buffer->length();
    for (uint32_t i = series_index(block); i < length; i++) {
        const Cell* cell = buffer->cells() + i;
        if (!is_any_word(cell_type(cell))) continue;
        uint32_t symbol = exact ? word::symbol(cell) : symbol::resolve(word::symbol(cell));
        if (symbol == wanted) return i + 1 < length ? cell + 1 : &none::constant;
    }
    return &none::constant;
}

bool remove_value(const Cell* block, const Cell* value, bool from_start) {
    Node node = series_node(block);
    for (uint32_t i = from_start ? 0 : series_index(block); i < node_buffer(node)->length(); i++) {
        Cell candidate = cells_of(node)[i];
        if (!actions::compare(&candidate, value, actions::COMP_FIND)) continue;
        SeriesBuffer* buffer = node_buffer(node);
        Cell* cell = buffer->cells() + i;
        std::memmove(static_cast<void*>(cell), cell + 1, size_t(buffer->length() - i - 1) * CELL);
        buffer->tail = Off(uint32_t(buffer->tail) - CELL);
        return i <= series_index(block);
    }
    return false;
}

// ---------------------------------------------------------------- copying

Cell* clone(const Cell* value, bool deep, bool any_block) {
    Cell source = *value;  // a local copy keeps the source reachable and its head fixed
    Node from = series_node(&source);
    uint32_t count = length_from_head(&source);
    cycles::Scope guard;
    if (deep) {
        if (cycles::find(from)) fire(err::internal::no_cycle);
        cycles::push(from);
    }
    Cell* result = make_block_at(make_unset(stack::push_cell()), memory::alloc_cells, int32_t(count),
                                 cell_type(&source));
    Node to = series_node(result);
    // A copy of library code is library code: a function's body stays so.
    node_buffer(to)->flags |= node_buffer(from)->flags & eval::BUF_LIBRARY;
    std::memcpy(static_cast<void*>(cells_of(to)), cells_of(from) + series_index(&source), size_t(count) * CELL);
    node_buffer(to)->tail = node_buffer(to)->offset + count * CELL;
    if (!deep) return result;
    for (uint32_t i = 0; i < count; i++) {
        Cell nested = cells_of(to)[i];
        if (!clones_nested(cell_type(&nested), any_block)) continue;
        Cell copy = *clone(&nested, true, any_block);
        copy.header = nested.header;
        cells_of(to)[i] = copy;
        stack::pop(1);
    }
    return result;
}

// ---------------------------------------------------------------- making

Cell* make_at(Cell* cell, int32_t capacity) {
    return make_block_at(cell, memory::alloc_cells, capacity, TYPE_BLOCK | (cell->header & ~TYPE_MASK));
}

Cell* make_at_star(Cell* cell, int32_t capacity, bool heap) {
    return make_block_at(cell, heap ? alloc_heap_cells : memory::alloc_unset_cells, capacity, TYPE_BLOCK);
}

Cell* make_heap_in(const Cell* parent, int32_t capacity) {
    return make_into(parent, &heap_scratch, capacity, true);
}

Cell* make_in(const Cell* parent, int32_t capacity) {
    return make_into(parent, &frames_scratch, capacity, false);
}

Cell* push(const Cell* value) { return stack::push(value); }

Cell* push_only_star(int32_t capacity) {
    return make_block_at(make_unset(stack::push_cell()), memory::alloc_cells, capacity, TYPE_BLOCK);
}

}  // namespace vek::block
