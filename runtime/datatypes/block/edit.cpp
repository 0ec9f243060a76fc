#include "runtime/datatypes/block/edit.h"

#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/internal.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/cycles.h"
#include "runtime/tables/hash_table.h"

namespace vek::block {

namespace {

constexpr uint32_t CELL = sizeof(Cell);

using series::clamped_head;
using series::Edit;

bool is_hash(const Cell* block) { return cell_type(block) == TYPE_HASH; }

// What copy/types may copy beside the series.
bool copyable_by_type(uint32_t type) {
    return is_series(type) || type == TYPE_BITSET || type == TYPE_OBJECT || type == TYPE_ERROR ||
           type == TYPE_MAP;
}

bool matches_types(const Cell* types, uint32_t type) {
    if (cell_type(types) == TYPE_TYPESET) return typeset::contains(types, type);
    return datatype::id(types) == type;
}

// The byte size of count cells added to used bytes, or no-memory past 32 bits.
uint32_t grown_size(uint32_t used_bytes, uint64_t count) {
    uint64_t bytes = uint64_t(used_bytes) + count * CELL;
    if (bytes > UINT32_MAX) no_memory();
    return uint32_t(bytes);
}

// count x dup, or no-memory past 32 bits.
uint32_t repeated(uint32_t count, int32_t dup) {
    uint64_t total = uint64_t(count) * uint64_t(dup);
    if (total > UINT32_MAX) no_memory();
    return uint32_t(total);
}

uint32_t buffer_used(Node node) { return node_buffer(node)->used_bytes(); }

// Makes room for needed bytes after the buffer's offset.
SeriesBuffer* ensure_room(Node node, uint32_t needed, bool doubled) {
    SeriesBuffer* buffer = memory::grow_torture(node_buffer(node));
    if (buffer->first() + needed <= buffer->area_end()) return buffer;
    uint64_t capacity = doubled ? uint64_t(needed) * 2 : needed;
    if (capacity > UINT32_MAX) capacity = needed;
    return memory::expand_series(node, buffer, uint32_t(capacity));
}

// Copies the run of count cells at index over the following cells until
// total cells hold it, each copy doubling the run.
void repeat_run(Node node, uint32_t index, uint32_t count, uint32_t total) {
    Cell* run = node_buffer(node)->cells() + index;
    for (uint32_t written = count; written < total;) {
        uint32_t chunk = std::min(written, total - written);
        std::memcpy(static_cast<void*>(run + written), run, size_t(chunk) * CELL);
        written += chunk;
    }
}

// The cells to write: the value's own from its head when it is spliced, else
// the value alone. A spliced value in the target's own buffer is first copied
// aside (pushed on the stack), since the edit moves and overwrites its cells.
struct Source {
    Cell single;
    Cell block;
    bool spliced;
    bool pushed;

    Source(const Cell* value, bool only, Node target) : single(*value), block(*value), pushed(false) {
        spliced = is_any_block(cell_type(value)) && !only;
        if (spliced && series_node(value) == target) {
            block = *clone(value, false, false);
            pushed = true;
        }
    }
    uint32_t length() const { return spliced ? length_from_head(&block) : 1; }
    // Writes the first count cells at index of the node's buffer.
    void write(Node node, uint32_t index, uint32_t count) const {
        if (count == 0) return;
        Cell* to = node_buffer(node)->cells() + index;
        if (!spliced) {
            *to = single;
            return;
        }
        const Cell* from = series_buffer(&block)->cells() + series_index(&block);
        std::memcpy(static_cast<void*>(to), from, size_t(count) * CELL);
    }
    void release() const {
        if (pushed) stack::pop(1);
    }
};

// A hash! whose cells from index moved by delta keeps its index in step;
// answers whether it must be rebuilt instead.
bool shift_hash(const Cell* block, int32_t delta, uint32_t index, uint32_t count) {
    if (!is_hash(block)) return false;
    return hash_table::shift_indexes(hash_table_of(block), delta, index, count, true) != 0;
}

void register_new_cells(const Cell* block, uint32_t index, uint32_t count, bool rebuild) {
    if (!is_hash(block)) return;
    Node table = hash_table_of(block);
    if (rebuild) {
        hash_table::reset(table, series_buffer(block)->length());
        return;
    }
    for (uint32_t i = 0; i < count; i++) {
        int result = 0;
        hash_table::put_star(table, rs_abs_at(block, index + i), &result);
        if (result == hash_table::PUT_REBUILT) return;
    }
}

// The copy of a value by its own type's copy action.
Cell copy_by_action(const Cell* value, bool deep, const Cell* types) {
    Cell original = *value;
    Cell* result = make_unset(stack::push_cell());
    Cell copied = *actions::copy(&original, result, nullptr, deep, deep ? types : nullptr);
    stack::pop(1);
    return copied;
}

// Writes the copy over the cell at index of the node's buffer; the cell's
// new-line flag stays.
void replace_by_copy(Node node, uint32_t index, bool deep, const Cell* types) {
    Cell copied = copy_by_action(node_buffer(node)->cells() + index, deep, types);
    Cell* cell = node_buffer(node)->cells() + index;
    cell->header = (copied.header & ~CELL_NEW_LINE) | (cell->header & CELL_NEW_LINE);
    for (int n = 1; n <= 3; n++) set_payload_word(cell, n, payload_word(&copied, n));
}

// Replaces the series among the count cells at index by their deep copies.
void copy_series_deeply(Node node, uint32_t index, uint32_t count) {
    for (uint32_t i = index; i < index + count; i++)
        if (is_series(cell_type(node_buffer(node)->cells() + i))) replace_by_copy(node, i, true, nullptr);
}

bool store_at_tail(Cell* series, SeriesBuffer* buffer, const Cell* value) {
    if (buffer->last() >= buffer->area_end()) return false;
    *buffer->cells_tail() = *value;
    buffer->tail = buffer->tail + CELL;
    set_series_index(series, 0);
    return true;
}

// Out of line, so that the common store saves no registers for the move.
// The value is copied first: it may lie in the buffer that moves.
[[gnu::noinline]] bool store_at_tail_of_moved(Cell* series, const Cell* value) {
    Cell single = *value;
    return store_at_tail(series, memory::grow_torture(series_buffer(series)), &single);
}

}  // namespace

// ---------------------------------------------------------------- append and insert

bool append_in_place(Cell* series, const Cell* value) {
    if (is_hash(series) || is_any_block(cell_type(value))) return false;
    SeriesBuffer* buffer = series_buffer(series);
    if (buffer->flags & BUF_OWNED) return false;
    if (memory::grow_torture_enabled) [[unlikely]]
        return store_at_tail_of_moved(series, value);
    return store_at_tail(series, buffer, value);
}

void append(Cell* series, Cell* value, int32_t part, bool only, int32_t dup, bool append) {
    if (dup < 1) return;
    if (append && part < 0 && dup == 1 && append_in_place(series, value)) return;
    Node node = series_node(series);
    Source source(value, only, node);
    uint32_t at = 0, count = 0, total = 0;
    auto plan = [&] {
        uint32_t available = source.length();
        count = part < 0 ? available : std::min(uint32_t(part), available);
        total = repeated(count, dup);
        uint32_t head = clamped_head(series);
        uint32_t length = node_buffer(node)->length();
        at = append || head == length ? length : head;
    };
    plan();
    if (count == 0) {
        source.release();
        return;
    }
    grown_size(buffer_used(node), total);  // refused before the owner hears of it
    Edit edit = append ? Edit::append : Edit::insert;
    int32_t reported_at = append ? int32_t(node_buffer(node)->length()) : int32_t(series_index(series));
    bool owned = series::notify_before(series, edit, value, reported_at, int32_t(total));
    if (owned) plan();

    uint32_t length = node_buffer(node)->length();
    SeriesBuffer* buffer = ensure_room(node, grown_size(buffer_used(node), total), dup < 5);
    Cell* gap = buffer->cells() + at;
    std::memmove(static_cast<void*>(gap + total), gap, size_t(length - at) * CELL);
    buffer->tail = buffer->tail + total * CELL;
    bool rebuild = at < length && shift_hash(series, int32_t(total), at, length - at);
    source.write(node, at, count);
    repeat_run(node, at, count, total);
    register_new_cells(series, at, total, rebuild);
    source.release();

    if (owned) series::notify_after(series, edit, value, reported_at, int32_t(total));
    set_series_index(series, append ? 0 : std::min(at + total, node_buffer(node)->length()));
}

// ---------------------------------------------------------------- change

void change(Cell* series, Cell* value, int32_t part, bool only, int32_t dup) {
    if (dup < 1) return;
    Node node = series_node(series);
    Source source(value, only, node);
    uint32_t head = 0, count = 0, inserted = 0, replaced = 0;
    auto plan = [&] {
        head = clamped_head(series);
        uint32_t available = node_buffer(node)->length() - head;
        count = source.length();
        inserted = repeated(count, dup);
        replaced = std::min(part < 0 ? inserted : uint32_t(part), available);
    };
    plan();
    bool owned = series::notify_before(series, Edit::change, value, int32_t(head), int32_t(replaced));
    if (owned) plan();

    uint32_t length = node_buffer(node)->length();
    uint32_t used = buffer_used(node) - replaced * CELL;
    SeriesBuffer* buffer = ensure_room(node, grown_size(used, inserted), false);
    Cell* at = buffer->cells() + head;
    uint32_t after = length - head - replaced;
    std::memmove(static_cast<void*>(at + inserted), at + replaced, size_t(after) * CELL);
    buffer->tail = buffer->offset + (length - replaced + inserted) * CELL;
    source.write(node, head, count);
    repeat_run(node, head, count, inserted);
    if (is_hash(series)) hash_table::reset(hash_table_of(series), node_buffer(node)->length());
    source.release();

    if (owned) series::notify_after(series, Edit::change, value, int32_t(head), int32_t(inserted));
    set_series_index(series, std::min(head + inserted, node_buffer(node)->length()));
}

// ---------------------------------------------------------------- take

Cell* take(Cell* series, const Cell* part, bool deep, bool last) {
    Cell* taken = series::take(series, part, deep, last);
    if (!is_any_block(cell_type(taken))) return taken;
    Node node = series_node(taken);
    if (part == nullptr) {
        // The one cell taken lies in the scratch buffer that every take
        // shares: lift it out before anything else can take.
        Cell single = node_buffer(node)->cells()[series_index(taken)];
        *taken = deep && is_series(cell_type(&single)) ? copy_by_action(&single, true, nullptr) : single;
        return taken;
    }
    if (deep) copy_series_deeply(node, series_index(taken), length_from_head(taken));
    return taken;
}

// ---------------------------------------------------------------- swap

void swap(Cell* series1, Cell* series2) {
    if (!is_any_block(cell_type(series2))) fire(err::script::invalid_arg, series2);
    if (!series::both_have_heads(series1, series2)) return;
    if (series_node(series1) == series_node(series2) && series_index(series1) == series_index(series2)) return;
    bool owned1 = series::notify_before(series1, Edit::swap, series2, int32_t(series_index(series1)), 1);
    bool owned2 = series::notify_before(series2, Edit::swap, series1, int32_t(series_index(series2)), 1);
    if ((owned1 || owned2) && !series::both_have_heads(series1, series2)) return;

    Cell* cell1 = rs_head(series1);
    Cell* cell2 = rs_head(series2);
    if (is_hash(series1)) hash_table::remove_cell(hash_table_of(series1), cell1);
    if (is_hash(series2)) hash_table::remove_cell(hash_table_of(series2), cell2);
    std::swap(*cell1, *cell2);
    if (is_hash(series1)) hash_table::put(hash_table_of(series1), rs_head(series1));
    if (is_hash(series2)) hash_table::put(hash_table_of(series2), rs_head(series2));

    if (owned1) series::notify_after(series1, Edit::swap, series2, int32_t(series_index(series1)), 1);
    if (owned2) series::notify_after(series2, Edit::swap, series1, int32_t(series_index(series2)), 1);
}

// ---------------------------------------------------------------- trim

void trim(Cell* series, const actions::TrimArgs&) {
    uint32_t head = clamped_head(series);
    int32_t length = int32_t(series_buffer(series)->length() - head);
    bool owned = series::notify_before(series, Edit::trim, nullptr, int32_t(head), length);
    if (owned) head = clamped_head(series);

    SeriesBuffer* buffer = series_buffer(series);
    Cell* cells = buffer->cells();
    uint32_t kept = head;
    for (uint32_t i = head; i < buffer->length(); i++)
        if (cell_type(cells + i) != TYPE_NONE) cells[kept++] = cells[i];
    buffer->tail = buffer->offset + kept * CELL;

    if (owned) series::notify_after(series, Edit::trim, nullptr, int32_t(head), length);
}

// ---------------------------------------------------------------- copy

Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* types) {
    Cell source = *value;  // the source may be the result cell itself
    Node from = series_node(&source);
    cycles::Scope guard;
    if (deep) cycles::enter_copy(from);
    series::copy_shallow(&source, result, part, deep, types);
    if (!deep && !types) return result;
    if (is_hash(result)) {
        set_type(result, TYPE_BLOCK);
        set_series_extra(result, 0);
    }
    Node node = series_node(result);
    uint32_t length = node_buffer(node)->length();
    if (!types) {
        copy_series_deeply(node, 0, length);
        return result;
    }
    copy_values_of_types(node, 0, length, 1, deep, types);
    return result;
}

void copy_values_of_types(Node node, uint32_t first, uint32_t end, uint32_t step, bool deep,
                          const Cell* types) {
    for (uint32_t i = first; i < end; i += step) {
        uint32_t type = cell_type(node_buffer(node)->cells() + i);
        if (matches_types(types, type) && copyable_by_type(type)) replace_by_copy(node, i, deep, types);
    }
}

}  // namespace vek::block
