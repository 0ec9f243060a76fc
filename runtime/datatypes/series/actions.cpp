#include "runtime/datatypes/series/actions.h"

#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/memory/image_state.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/hash_table.h"
#include "runtime/tables/murmur.h"
#include "runtime/tables/ownership.h"
#include "runtime/tables/random.h"

namespace vek::series {

namespace {

using fixed_words::Word;

// ---------------------------------------------------------------- owner reports

struct WordPair {
    Word before;
    Word after;
};

constexpr WordPair EDIT_WORDS[] = {
    {Word::append, Word::appended}, {Word::insert, Word::inserted}, {Word::change, Word::changed},
    {Word::clear, Word::cleared},   {Word::poke, Word::poked},      {Word::put, Word::put_ed},
    {Word::remove, Word::removed},  {Word::take, Word::taken},      {Word::reverse, Word::reversed},
    {Word::random, Word::randomized}, {Word::move, Word::moved},    {Word::sort, Word::sorted},
    {Word::swap, Word::swaped},     {Word::trim, Word::trimmed},
};

bool report(const Cell* series, Word action, const Cell* new_value, int32_t index, int32_t part) {
    // The handler gets copies: it may move the buffers the arguments lie in.
    Cell value = *series;
    Cell shown = new_value ? *new_value : none::constant;
    return ownership::check(&value, fixed_words::word(action), &shown, index, part);
}

// ---------------------------------------------------------------- element access

uint32_t head_of(const Cell* series) { return series_index(series); }
SeriesBuffer* buffer_of(const Cell* series) { return series_buffer(series); }
bool holds_cells(const Cell* series) { return (buffer_of(series)->flags & BUF_KIND_MASK) == BUF_KIND_CELLS; }

// Elements from the head to the tail, 0 when the head lies beyond the tail.
uint32_t length_from_head(const Cell* series) {
    uint32_t total = total_length(series);
    return head_of(series) < total ? total - head_of(series) : 0;
}

// The hash! index of the series, none for every other value.
Node hash_index(const Cell* series) {
    return cell_type(series) == TYPE_HASH ? block::hash_table_of(series) : Node::none;
}

// The element at an index from the buffer's first one, as a value: the cell
// itself for cell buffers, an integer! for binary!, a value of the element
// type for vector!, else a char!, written into out.
Cell* element_value(const Cell* series, uint32_t index, Cell* out) {
    SeriesBuffer* buffer = buffer_of(series);
    uint32_t type = cell_type(series);
    if (holds_cells(series)) return copy_cell(&buffer->cells()[index], out);
    if (type == TYPE_VECTOR) return vector::get_element(series, index, out);
    uint32_t code = string::get_char(buffer->at(index), buffer->unit());
    if (type == TYPE_BINARY) return integer::make_at(out, int32_t(code));
    return char_::make_at(out, code);
}

void swap_elements(SeriesBuffer* buffer, uint32_t a, uint32_t b) {
    std::byte held[sizeof(Cell)];
    uint32_t unit = buffer->unit();
    std::memcpy(held, buffer->at(a), unit);
    std::memmove(buffer->at(a), buffer->at(b), unit);
    std::memcpy(buffer->at(b), held, unit);
}

// Takes count elements from start out of the buffer, closing the gap. A
// hash! index follows the cells, or is rebuilt when too many would move.
void cut(const Cell* series, uint32_t start, uint32_t count) {
    SeriesBuffer* buffer = buffer_of(series);
    uint32_t total = buffer->length();
    uint32_t end = start + count;
    Node table = hash_index(series);
    bool rebuild = table != Node::none && hash_table::shift_indexes(table, -int32_t(count), end, total - end, true);
    buffer = buffer_of(series);
    std::memmove(buffer->at(start), buffer->at(end), size_t(total - end) << buffer->unit_shift());
    buffer->tail = Off(uint32_t(buffer->tail) - (count << buffer->unit_shift()));
    if (rebuild) hash_table::reset(table, total - count);
}

// Opens room for count elements at index (moving the rest up) and copies
// them there from the source's elements at from; both buffers have one unit.
void paste(const Cell* target, uint32_t index, const Cell* source, uint32_t from, uint32_t count) {
    uint32_t shift = buffer_of(target)->unit_shift();
    uint32_t total = buffer_of(target)->length();
    series::reserve_tail(buffer_of(target), count << shift);
    Node table = hash_index(target);
    bool rebuild = table != Node::none && hash_table::shift_indexes(table, int32_t(count), index, total - index, true);
    // Both re-read: growing may have moved either buffer.
    SeriesBuffer* into = buffer_of(target);
    std::memmove(into->at(index + count), into->at(index), size_t(total - index) << shift);
    std::memcpy(into->at(index), buffer_of(source)->at(from), size_t(count) << shift);
    if (table == Node::none) return;
    if (rebuild) {
        hash_table::reset(table, total + count);
        return;
    }
    for (uint32_t i = index; i < index + count; i++) hash_table::put(table, &buffer_of(target)->cells()[i]);
}

// ---------------------------------------------------------------- /part arguments

// A count of elements from the head, clamped to what is there.
uint32_t clamp_count(const Cell* series, int64_t count) {
    return uint32_t(std::clamp<int64_t>(count, 0, length_from_head(series)));
}

// ---------------------------------------------------------------- navigation on the stack

Cell* first_argument() { return stack::arguments; }

// ---------------------------------------------------------------- take's scratch buffer

// The buffer that a take without /part answers its one element in; a root.
Node scratch = Node::none;

void mark_scratch() { gc::mark_node(scratch); }

Node scratch_for(uint32_t source_flags) {
    if (scratch == Node::none) scratch = memory::alloc_series_heap(1, sizeof(Cell), 0);
    SeriesBuffer* buffer = node_buffer(scratch);
    constexpr uint32_t SHAPE = BUF_UNIT_MASK | BUF_KIND_MASK;
    buffer->flags = (buffer->flags & ~SHAPE) | (source_flags & SHAPE);
    buffer->offset = region::off(buffer->area());
    buffer->tail = buffer->offset;
    return scratch;
}

// A series value of the source's type over the node, pushed on the stack.
Cell* push_series(const Cell* source, Node node) {
    uint32_t type = cell_type(source);
    uint32_t extra = type == TYPE_VECTOR ? series_extra(source) : 0;
    Cell made{type, 0, uint32_t(node), extra};
    return stack::push(&made);
}

// A hash! made by take indexes its own cells.
void index_if_hash(Cell* made) {
    if (cell_type(made) == TYPE_HASH)
        block::set_hash_table(made, hash_table::make(length_from_head(made), made, 0, 0));
}

// ---------------------------------------------------------------- field words

bool is_owned_field(uint32_t field) {
    return symbol::resolve(field) == symbol::resolve(fixed_words::symbol(fixed_words::Sym::owned));
}

}  // namespace

// ---------------------------------------------------------------- owner reports

bool notify_before(const Cell* series, Edit edit, const Cell* new_value, int32_t index, int32_t part) {
    return report(series, EDIT_WORDS[uint32_t(edit)].before, new_value, index, part);
}

void notify_after(const Cell* series, Edit edit, const Cell* new_value, int32_t index, int32_t part) {
    report(series, EDIT_WORDS[uint32_t(edit)].after, new_value, index, part);
}

// ---------------------------------------------------------------- positions

bool rs_tail_q(const Cell* series) { return head_of(series) >= total_length(series); }

uint32_t total_length(const Cell* series) { return buffer_of(series)->length(); }

bool rs_skip(Cell* series, int32_t n) {
    int64_t position = int64_t(head_of(series)) + n;
    int64_t total = total_length(series);
    if (position >= 0 && position <= total) set_series_index(series, uint32_t(position));
    return position >= total;
}

uint32_t get_position(const Cell* series, const Cell* index, bool at_flag) {
    if (cell_type(index) != TYPE_INTEGER) fire(err::script::invalid_arg, index);
    int64_t n = integer::get(index);
    // at counts from 1 (and 0 stays put), skip from 0.
    if (at_flag && n >= 1) n--;
    int64_t position = int64_t(head_of(series)) + n;
    return uint32_t(std::clamp<int64_t>(position, 0, total_length(series)));
}

uint32_t clamp_length(Cell* series, bool from_start) {
    uint32_t total = total_length(series);
    if (head_of(series) > total) {
        set_series_index(series, total);
        return 0;
    }
    return from_start ? total : total - head_of(series);
}

// ---------------------------------------------------------------- navigation actions

namespace {

void head() { set_series_index(first_argument(), 0); }

void tail() { set_series_index(first_argument(), total_length(first_argument())); }

void head_q() { logic::box(head_of(first_argument()) == 0); }

void tail_q() { logic::box(rs_tail_q(first_argument())); }

void index_q() { integer::box(int32_t(head_of(first_argument()) + 1)); }

void next() {
    Cell* series = first_argument();
    if (head_of(series) < total_length(series)) set_series_index(series, series_index(series) + 1);
}

void back() {
    Cell* series = first_argument();
    if (head_of(series) > 0) set_series_index(series, series_index(series) - 1);
}

void at() { set_series_index(first_argument(), get_position(first_argument(), first_argument() + 1, true)); }

void skip() { set_series_index(first_argument(), get_position(first_argument(), first_argument() + 1, false)); }

// The call's argument cell becomes the result, so a head beyond the tail
// need not be pulled back here.
int32_t length_q(const Cell* series) { return int32_t(length_from_head(series)); }

}  // namespace

// ---------------------------------------------------------------- pick and poke

namespace {

// The element an index of pick or poke designates, counted from the
// buffer's first element; -1 when out of range. 1 is the head, -1 the element
// before it, and 0 nothing.
int64_t picked_index(const Cell* series, int32_t index) {
    if (index == 0) return -1;
    int64_t target = int64_t(head_of(series)) + index - (index > 0 ? 1 : 0);
    return target < 0 || target >= total_length(series) ? -1 : target;
}

[[noreturn]] void out_of_range(int32_t index) {
    Cell shown{};
    integer::make_at(&shown, index);
    fire(err::script::out_of_range, &shown);
}

// The code point or byte that poking the value into a non-cell series
// stores; a vector! stores the value itself, once checked (0 here).
uint32_t poked_code(const Cell* series, const Cell* value) {
    uint32_t type = cell_type(series);
    uint32_t value_type = cell_type(value);
    if (type == TYPE_VECTOR) {
        vector::check_value(series, value);
        return 0;
    }
    if (type == TYPE_BINARY && (value_type == TYPE_INTEGER || value_type == TYPE_CHAR))
        return uint32_t(integer::get(value)) & 0xFFu;
    if (type != TYPE_BINARY && value_type == TYPE_CHAR) return char_::get(value);
    fire(err::script::invalid_arg, value);
}

// Out of range gives none; a block kind gives its cell itself (the caller
// copies it), a binary! an integer!, a string a char!.
Cell* pick(Cell* series, int32_t index, [[maybe_unused]] const Cell* index_cell) {
    int64_t target = picked_index(series, index);
    if (target < 0) return &none::constant;
    if (holds_cells(series)) return &buffer_of(series)->cells()[target];
    return element_value(series, uint32_t(target), series);
}

// Out of range raises script out-of-range with the index. Strings take only
// a char! (widening the buffer when needed), binary! an integer! or char!,
// else script invalid-arg. Answers the value.
Cell* poke(Cell* series, int32_t index, Cell* value, [[maybe_unused]] const Cell* index_cell) {
    if (picked_index(series, index) < 0) out_of_range(index);
    Cell stored = *value;
    uint32_t code = holds_cells(series) ? 0 : poked_code(series, &stored);
    int64_t target = picked_index(series, index);
    bool told = notify_before(series, Edit::poke, &stored, int32_t(target), 1);
    if (told && (target = picked_index(series, index)) < 0) out_of_range(index);
    SeriesBuffer* buffer = buffer_of(series);
    if (holds_cells(series)) {
        Node table = hash_index(series);
        Cell* cell = &buffer->cells()[target];
        if (table != Node::none) hash_table::remove_cell(table, cell);
        copy_cell(&stored, cell);
        if (table != Node::none) hash_table::put(table, &buffer_of(series)->cells()[target]);
    } else if (cell_type(series) == TYPE_VECTOR) {
        vector::store(series, uint32_t(target), &stored);
    } else {
        string::poke_char(buffer, buffer->at(uint32_t(target)), code);
    }
    if (told) notify_after(series, Edit::poke, &stored, int32_t(target), 1);
    return value;
}

}  // namespace

// ---------------------------------------------------------------- clear, remove, reverse

namespace {

void clear(Cell* series) {
    if (length_from_head(series) == 0) return;
    bool told = notify_before(series, Edit::clear, nullptr, int32_t(head_of(series)), int32_t(length_from_head(series)));
    uint32_t count = length_from_head(series);
    if (count == 0) return;
    Node table = hash_index(series);
    if (table != Node::none) hash_table::remove_range(table, head_of(series), count);
    SeriesBuffer* buffer = buffer_of(series);
    buffer->tail = region::off(buffer->at(head_of(series)));
    if (told) notify_after(series, Edit::clear, nullptr, int32_t(head_of(series)), int32_t(count));
}

// Where a /key removal starts: the first element from the head that equals
// the key case-sensitively (a string or binary key: the first place its
// elements follow in order). -1 when it is not there.
int64_t find_key(const Cell* series, const Cell* key) {
    uint32_t total = total_length(series);
    if (holds_cells(series)) {
        for (uint32_t i = head_of(series); i < total; i++) {
            Cell cell = buffer_of(series)->cells()[i];
            if (actions::compare_values(&cell, key, actions::COMP_STRICT_EQUAL) == 0) return i;
        }
        return -1;
    }
    uint32_t key_type = cell_type(key);
    bool run = is_any_string(key_type) || key_type == TYPE_BINARY;
    if (!run && key_type != TYPE_CHAR && key_type != TYPE_INTEGER) return -1;
    SeriesBuffer* buffer = buffer_of(series);
    SeriesBuffer* keys = run ? series_buffer(key) : nullptr;
    uint32_t key_head = run ? head_of(key) : 0;
    uint32_t key_length = run ? length_from_head(key) : 1;
    auto key_at = [&](uint32_t k) {
        return run ? string::get_char(keys->at(key_head + k), keys->unit()) : uint32_t(integer::get(key));
    };
    for (uint32_t i = head_of(series); uint64_t(i) + key_length <= total; i++) {
        uint32_t k = 0;
        while (k < key_length && string::get_char(buffer->at(i + k), buffer->unit()) == key_at(k)) k++;
        if (k == key_length) return i;
    }
    return -1;
}

// /part: an integer! count or a position in the same series; /key removes
// the key found (find/case) with the count of elements after it, none when
// missing. A count below 1 leaves the series alone.
void remove(Cell* series, const Cell* part, const Cell* key) {
    int64_t count = part ? part_count(series, part) : 1;
    if (count < 1) return;
    int64_t start = head_of(series);
    if (key) {
        start = find_key(series, key);
        if (start < 0) {
            *series = none::constant;
            return;
        }
        count++;  // the key and its value
    }
    if (start >= total_length(series)) return;
    bool told = notify_before(series, Edit::remove, nullptr, int32_t(start), int32_t(count));
    uint32_t total = total_length(series);
    if (start >= total) return;
    uint32_t removed = uint32_t(std::min<int64_t>(count, total - start));
    if (start + removed == total) {
        Node table = hash_index(series);
        if (table != Node::none) hash_table::remove_range(table, uint32_t(start), removed);
        SeriesBuffer* buffer = buffer_of(series);
        buffer->tail = region::off(buffer->at(uint32_t(start)));
    } else {
        cut(series, uint32_t(start), removed);
    }
    if (told) notify_after(series, Edit::remove, nullptr, int32_t(start), int32_t(removed));
}

// The record size of reverse/skip, checked against the range's length; 0
// when the range is a single record and stays as it is.
uint32_t record_size(const Cell* size, uint32_t count) {
    if (!size) return 1;
    if (cell_type(size) != TYPE_INTEGER) bad_refine_arg(fixed_words::Ref::skip, size);
    int32_t n = integer::get(size);
    if (uint32_t(n) == count && n > 0) return 0;
    if (n < 1) fire(err::script::out_of_range, size);
    if (count < uint32_t(n) || count % uint32_t(n) != 0) bad_refine_arg(fixed_words::Ref::skip, size);
    return uint32_t(n);
}

void reverse_records(const Cell* series, uint32_t count, uint32_t width) {
    uint32_t first = head_of(series);
    uint32_t last = first + count - width;
    Node table = hash_index(series);
    for (; first < last; first += width, last -= width) {
        for (uint32_t k = 0; k < width; k++) {
            SeriesBuffer* buffer = buffer_of(series);
            if (table != Node::none) {
                hash_table::remove_cell(table, &buffer->cells()[first + k]);
                hash_table::remove_cell(table, &buffer->cells()[last + k]);
            }
            swap_elements(buffer, first + k, last + k);
            if (table != Node::none) {
                hash_table::put(table, &buffer_of(series)->cells()[first + k]);
                hash_table::put(table, &buffer_of(series)->cells()[last + k]);
            }
        }
    }
}

// /skip size: records of that many elements are swapped as units.
void reverse(Cell* series, const Cell* part, const Cell* size) {
    uint32_t count = clamp_count(series, part ? part_count(series, part) : length_from_head(series));
    if (count < 1) return;
    uint32_t width = record_size(size, count);
    if (width == 0) return;
    if (notify_before(series, Edit::reverse, nullptr, int32_t(head_of(series)), int32_t(count))) {
        // The handler may have shortened the series: whole records only.
        count = std::min(count, length_from_head(series)) / width * width;
        reverse_records(series, count, width);
        notify_after(series, Edit::reverse, nullptr, int32_t(head_of(series)), int32_t(count));
        return;
    }
    reverse_records(series, count, width);
}

}  // namespace

// ---------------------------------------------------------------- take

namespace {

// The elements a take removes: count of them from start; none at all when
// empty is set (the result is then an empty series).
struct Taking {
    uint32_t start;
    uint32_t count;
    bool empty;
};

Taking plan_take(const Cell* series, const Cell* part, bool last) {
    uint32_t head = head_of(series);
    uint32_t total = total_length(series);
    uint32_t length = length_from_head(series);
    if (!part) return {last ? total - 1 : head, 1, false};
    int64_t count;
    if (cell_type(part) == TYPE_INTEGER) {
        count = integer::get(part);
    } else if (same_series(series, part)) {
        int64_t position = std::min<uint32_t>(head_of(part), total);
        count = position < head ? 0 : last ? total - position : position - head;
    } else {
        bad_refine_arg(fixed_words::Ref::part, part);
    }
    if (count == 0) return {head, 0, true};
    if (count > 0) {
        auto n = uint32_t(std::min<int64_t>(count, length));
        return {last ? total - n : head, n, false};
    }
    // A negative count reaches back before the head; the head index stays.
    auto n = uint32_t(std::min<int64_t>(-count, head));
    if (last || n == 0) return {head, 0, true};
    return {head - n, n, false};
}

}  // namespace

Cell* take(Cell* series, const Cell* part, [[maybe_unused]] bool deep, bool last) {
    if (length_from_head(series) == 0) return &none::constant;
    Taking plan = plan_take(series, part, last);
    if (plan.empty) return push_series(series, series::copy_part(series_node(series), 0, 0));
    bool told = notify_before(series, Edit::take, nullptr, int32_t(plan.start), int32_t(plan.count));
    if (told) {
        if (length_from_head(series) == 0) return &none::constant;
        plan = plan_take(series, part, last);
        if (plan.empty) return push_series(series, series::copy_part(series_node(series), 0, 0));
    }
    Cell* taken;
    if (part) {
        taken = push_series(series, series::copy_part(series_node(series), plan.start, plan.count));
        index_if_hash(taken);
    } else {
        SeriesBuffer* one = node_buffer(scratch_for(buffer_of(series)->flags));
        std::memcpy(one->first(), buffer_of(series)->at(plan.start), one->unit());
        one->tail = one->offset + one->unit();
        taken = push_series(series, scratch);
    }
    Node table = hash_index(series);
    if (plan.start + plan.count == total_length(series)) {
        if (table != Node::none) hash_table::remove_range(table, plan.start, plan.count);
        SeriesBuffer* buffer = buffer_of(series);
        buffer->tail = region::off(buffer->at(plan.start));
    } else {
        cut(series, plan.start, plan.count);
    }
    if (told) notify_after(series, Edit::take, nullptr, int32_t(plan.start), int32_t(plan.count));
    return taken;
}

// ---------------------------------------------------------------- copy

Cell* copy_shallow(Cell* value, Cell* result, const Cell* part, [[maybe_unused]] bool deep,
                   [[maybe_unused]] const Cell* kind) {
    int64_t total = total_length(value);
    int64_t start = std::min<int64_t>(head_of(value), total);
    int64_t count = total - start;
    if (part) {
        uint32_t part_type = cell_type(part);
        if (part_type == TYPE_PAIR) {
            auto x = pair::x(part);
            auto y = pair::y(part);
            start = std::max<int64_t>(int64_t(head_of(value)) + x - (x > 0 ? 1 : 0), 0);
            count = y < x ? 0 : int64_t(y) - x;
        } else {
            count = part_count(value, part);
        }
    }
    if (count < 0) {
        int64_t from = std::max<int64_t>(start + count, 0);
        count = start - from;
        start = from;
    }
    start = std::min(start, total);
    count = std::min(count, total - start);
    Node node = series::copy_part(series_node(value), uint32_t(start), uint32_t(count));
    uint32_t header = cell_type(value) | (value->header & CELL_NEW_LINE);
    *result = Cell{header, 0, uint32_t(node), cell_type(value) == TYPE_VECTOR ? series_extra(value) : 0};
    return result;
}

// ---------------------------------------------------------------- move

namespace {

[[noreturn]] void move_bad(const Cell* origin, const Cell* target) {
    Cell from = datatype::cell(cell_type(origin));
    Cell to = datatype::cell(cell_type(target));
    fire(err::script::move_bad, &from, &to);
}

// Elements are moved byte for byte between buffers of one unit; strings of
// different units code point by code point; anything else cannot move. A
// vector's elements move only into a vector of the same element type: the
// same bytes would mean other values elsewhere.
void check_movable(const Cell* origin, const Cell* target) {
    uint32_t from = cell_type(origin);
    uint32_t to = cell_type(target);
    bool from_cells = holds_cells(origin);
    bool to_cells = holds_cells(target);
    if (from_cells != to_cells) move_bad(origin, target);
    if ((from == TYPE_VECTOR || to == TYPE_VECTOR) &&
        (from != to || vector::element_type(origin) != vector::element_type(target)))
        move_bad(origin, target);
    if (buffer_of(origin)->unit() == buffer_of(target)->unit()) return;
    if (!is_any_string(from) || !is_any_string(to)) move_bad(origin, target);
}

// Moves count elements from the head within one buffer so that the first
// ends at index to (at the tail: so that they end the series).
void move_within(const Cell* series, uint32_t from, uint32_t count, uint32_t to) {
    uint32_t total = total_length(series);
    uint32_t start = to == total ? total - count : to;
    if (start == from) return;
    Node table = hash_index(series);
    if (table != Node::none) hash_table::move_indexes(table, start < from ? start : start + count - 1, from, count);
    SeriesBuffer* buffer = buffer_of(series);
    std::byte* low = buffer->at(std::min(start, from));
    std::byte* high = buffer->at(std::max(start, from) + count);
    std::byte* middle = start < from ? buffer->at(from) : buffer->at(from + count);
    std::rotate(low, middle, high);
}

uint32_t move_count(const Cell* origin, const Cell* part) {
    if (!part) return 1;
    if (cell_type(part) != TYPE_INTEGER) bad_refine_arg(fixed_words::Ref::part, part);
    return clamp_count(origin, integer::get(part));
}

// Whether the series stays as it is: a forward destination short of the
// tail with fewer than count elements after it.
bool blocked_forward(const Cell* series, uint32_t from, uint32_t count, uint32_t to) {
    uint32_t total = total_length(series);
    return to > from && to < total && total - to < count;
}

// Moves the element at the origin's head (/part: that many) to the target's
// head; answers the target.
Cell* move(Cell* origin, Cell* target, const Cell* part) {
    if (!is_series(cell_type(target))) error::raise_expect_arg(cell_type(target), 1);
    if (rs_tail_q(origin)) return target;
    uint32_t count = move_count(origin, part);
    if (count < 1) return target;
    bool same_buffer = series_node(origin) == series_node(target);
    if (!same_buffer) check_movable(origin, target);
    uint32_t from = head_of(origin);
    if (same_buffer) {
        uint32_t to = std::min(head_of(target), total_length(target));
        if (blocked_forward(origin, from, count, to)) return target;
        bool told = notify_before(origin, Edit::move, nullptr, int32_t(from), int32_t(count));
        if (told) {
            count = move_count(origin, part);
            to = std::min(head_of(target), total_length(target));
            if (count < 1 || blocked_forward(origin, from, count, to)) return target;
        }
        move_within(origin, from, count, to);
        if (told) notify_after(origin, Edit::move, nullptr, int32_t(from), int32_t(count));
        return target;
    }
    bool origin_told = notify_before(origin, Edit::move, nullptr, int32_t(from), int32_t(count));
    bool target_told = notify_before(target, Edit::move, nullptr, int32_t(head_of(target)), int32_t(count));
    if (origin_told || target_told) count = move_count(origin, part);
    if (count > 0) {
        if (buffer_of(origin)->unit() == buffer_of(target)->unit()) {
            uint32_t into = std::min(head_of(target), total_length(target));
            paste(target, into, origin, from, count);
            cut(origin, from, count);
        } else {
            set_series_index(target, std::min(head_of(target), total_length(target)));
            string::move_chars(origin, target, count);
        }
    }
    if (origin_told) notify_after(origin, Edit::move, nullptr, int32_t(from), int32_t(count));
    if (target_told) notify_after(target, Edit::move, nullptr, int32_t(head_of(target)), int32_t(count));
    return target;
}

}  // namespace

// ---------------------------------------------------------------- random

namespace {

void shuffle(const Cell* series, bool secure) {
    uint32_t position = head_of(series);
    for (uint32_t c = length_from_head(series); c >= 1; c--, position++) {
        auto m = uint32_t(random::integer(int32_t(c), secure));
        swap_elements(buffer_of(series), position + m - 1, position);
    }
    // Every cell may have moved: index them all again.
    Node table = hash_index(series);
    if (table != Node::none) hash_table::reset(table, total_length(series));
}

// /seed seeds the generator from the series' bytes and leaves unset!; /only
// picks one element (none when empty); otherwise a shuffle in place.
Cell* random(Cell* value, bool seed, bool secure, bool only) {
    if (seed) {
        SeriesBuffer* buffer = buffer_of(value);
        uint32_t bytes = length_from_head(value) << buffer->unit_shift();
        uint32_t hash = murmur::murmur3(bytes ? buffer->at(head_of(value)) : nullptr, bytes);
        random::seed(int32_t(hash));
        return make_unset(value);
    }
    if (only) {
        uint32_t length = length_from_head(value);
        if (length == 0) return copy_cell(&none::constant, value);
        auto m = uint32_t(random::integer(int32_t(length), secure));
        return element_value(value, head_of(value) + m - 1, value);
    }
    uint32_t length = length_from_head(value);
    if (length == 0) return value;
    bool told = notify_before(value, Edit::random, nullptr, int32_t(head_of(value)), int32_t(length));
    shuffle(value, secure);
    if (told) notify_after(value, Edit::random, nullptr, int32_t(head_of(value)), int32_t(length_from_head(value)));
    return value;
}

}  // namespace

// ---------------------------------------------------------------- reflect and modify

void reflect_owned(Cell* value, uint32_t field_symbol) {
    if (!is_owned_field(field_symbol)) not_done();
    const Cell* owner = (buffer_of(value)->flags & BUF_OWNED) ? ownership::owner_of(series_node(value)) : nullptr;
    *value = owner ? *owner : none::constant;
}

Cell* modify_owned(Cell* target, const Cell* field, const Cell* value, [[maybe_unused]] bool case_sensitive) {
    if (!is_owned_field(word::symbol(field))) return target;
    if (cell_type(value) == TYPE_NONE) {
        ownership::unbind(target);
        return target;
    }
    if (cell_type(value) != TYPE_BLOCK || length_from_head(value) < 2) return target;
    Cell owner = buffer_of(value)->cells()[head_of(value)];
    Cell word = buffer_of(value)->cells()[head_of(value) + 1];
    if (cell_type(&owner) == TYPE_OBJECT) ownership::set_owner(target, &owner, &word);
    return target;
}

// ---------------------------------------------------------------- registration

void init() {
    using namespace registry;
    scratch = Node::none;
    gc::add_root("take's scratch buffer", mark_scratch);
    image_state::keep("take's scratch buffer", scratch);
    register_type(TYPE_SERIES, Row()
        .set<SLOT_RANDOM>(random)
        .set<SLOT_REFLECT>(reflect_owned)
        .set<SLOT_AT>(at)
        .set<SLOT_BACK>(back)
        .set<SLOT_CLEAR>(clear)
        .set<SLOT_COPY>(copy_shallow)
        .set<SLOT_HEAD>(head)
        .set<SLOT_HEAD_Q>(head_q)
        .set<SLOT_INDEX_Q>(index_q)
        .set<SLOT_LENGTH_Q>(length_q)
        .set<SLOT_MOVE>(move)
        .set<SLOT_NEXT>(next)
        .set<SLOT_PICK>(pick)
        .set<SLOT_POKE>(poke)
        .set<SLOT_REMOVE>(remove)
        .set<SLOT_REVERSE>(reverse)
        .set<SLOT_SKIP>(skip)
        .set<SLOT_TAIL>(tail)
        .set<SLOT_TAIL_Q>(tail_q)
        .set<SLOT_MODIFY>(modify_owned));
}

}  // namespace vek::series
