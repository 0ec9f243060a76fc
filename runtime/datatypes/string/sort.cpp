#include "runtime/datatypes/string/internal.h"

#include <cstring>
#include <utility>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/sort.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/memory/series.h"
#include "runtime/tables/sort.h"
#include "runtime/text/unicode.h"

namespace vek::string {

namespace {

using block::SORT_ALL;
using block::SORT_REVERSE;
using block::SORT_SHIFT;

// ---------------------------------------------------------------- comparators

// Code units of text: first minus second. Byte text folds ASCII letters to
// lower case, wider text every code point to upper case (unless the case
// flag is set): the characters between "Z" and "a" ("_" and the like) sort
// before the letters in byte text and after them in wider text.
template <uint32_t Unit>
struct CodeUnits {
    static constexpr uint32_t WIDTH = Unit;
    static uint32_t fold(uint32_t c) {
        if constexpr (Unit == 1)
            return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
        else
            return unicode::change_char_case(c, true);
    }
    static int compare(const std::byte* x, const std::byte* y, int case_sensitive) {
        uint32_t p = unicode::read_unit(x, Unit);
        uint32_t q = unicode::read_unit(y, Unit);
        if (!case_sensitive) {
            p = fold(p);
            q = fold(q);
        }
        return int(int64_t(p) - int64_t(q));
    }
};

// Elements of a vector!, as the numbers they hold: integers signed, chars
// unsigned, floats as floats (an unordered pair, a NaN, compares as equal).
template <class T>
struct Elements {
    static constexpr uint32_t WIDTH = sizeof(T);
    static int compare(const std::byte* x, const std::byte* y, int) {
        T p, q;
        std::memcpy(&p, x, sizeof p);
        std::memcpy(&q, y, sizeof q);
        return (p > q) - (p < q);
    }
};

// The first unequal unit of the compared run decides: the one unit at the
// offset the flags word holds, or with SORT_ALL the whole record.
template <class Order>
int compare_records(const void* a, const void* b, int case_sensitive, void* extra) {
    uint32_t flags = *static_cast<const uint32_t*>(extra);
    if (flags & SORT_REVERSE) std::swap(a, b);
    uint32_t n = flags >> SORT_SHIFT;
    uint32_t first = flags & SORT_ALL ? 0 : n;
    uint32_t end = flags & SORT_ALL ? n : n + 1;
    auto x = static_cast<const std::byte*>(a);
    auto y = static_cast<const std::byte*>(b);
    for (uint32_t i = first; i < end; i++)
        if (int order = Order::compare(x + i * Order::WIDTH, y + i * Order::WIDTH, case_sensitive)) return order;
    return 0;
}

sort::Compare element_comparator(uint32_t type, uint32_t unit) {
    switch (type) {
    case TYPE_CHAR:
        return unit == 1 ? compare_records<Elements<uint8_t>>
             : unit == 2 ? compare_records<Elements<uint16_t>>
                         : compare_records<Elements<uint32_t>>;
    case TYPE_INTEGER:
        return unit == 1 ? compare_records<Elements<int8_t>>
             : unit == 2 ? compare_records<Elements<int16_t>>
                         : compare_records<Elements<int32_t>>;
    default: return unit == 4 ? compare_records<Elements<float>> : compare_records<Elements<double>>;
    }
}

sort::Compare comparator_for(const Cell* series) {
    uint32_t unit = series_buffer(series)->unit();
    if (cell_type(series) == TYPE_VECTOR) return element_comparator(vector::element_type(series), unit);
    switch (unit) {
    case 1: return compare_records<CodeUnits<1>>;
    case 2: return compare_records<CodeUnits<2>>;
    default: return compare_records<CodeUnits<4>>;
    }
}

// ---------------------------------------------------------------- function comparators

// The records the function sees, each followed by its number: a block that
// the block sort orders in records of two with the function. Each key is the
// record's first code point as a char! (a vector's first element as its
// value), or with all the record itself as a one-record series of the same
// type.
Cell* push_keys(const Cell* series, uint32_t count, uint32_t size, bool all) {
    Cell* keys = block::push_only_star(int32_t(count * 2));
    bool vector = cell_type(series) == TYPE_VECTOR;
    for (uint32_t i = 0; i < count; i++) {
        uint32_t at = series_index(series) + i * size;
        if (all) {
            Node record = series::copy_part(series_node(series), at, size);
            Cell one = vector ? vector::over(series, record) : Cell{cell_type(series), 0, uint32_t(record), 0};
            *block::alloc_tail(keys) = one;
        } else if (vector) {
            vector::get_element(series, at, block::alloc_tail(keys));
        } else {
            SeriesBuffer* buffer = series_buffer(series);
            char_::make_in_block(keys, get_char(buffer->at(at), buffer->unit()));
        }
        integer::make_in(keys, int32_t(i));
    }
    return keys;
}

// The function runs Vek code that may change the text: the records are
// ordered through a block of keys of their own, and the text is rewritten
// from a copy of the range only when it kept its buffer, its length and its
// unit. Holding the buffer's address keeps it in place meanwhile.
void sort_by_function(const Cell* series, uint32_t range, uint32_t size, bool all, const Cell* comparator,
                      bool reverse, bool stable) {
    SeriesBuffer* buffer = series_buffer(series);
    uint32_t length = buffer->length();
    uint32_t unit = buffer->unit();
    uint32_t count = range / size;
    Cell* saved_top = stack::top;
    Node original = series::copy_part(series_node(series), series_index(series), range);
    *stack::push_cell() = series_cell(TYPE_STRING, original);
    Cell* keys = push_keys(series, count, size, all);
    Cell pair = integer::cell(2);
    actions::sort(keys, {.skip = &pair, .comparator = comparator, .reverse = reverse, .stable = stable});
    if (series_buffer(series) != buffer || buffer->length() != length || buffer->unit() != unit)
        fire(err::script::past_end);
    uint32_t width = size * unit;
    const Cell* order = series_buffer(keys)->cells();
    std::byte* target = buffer->at(series_index(series));
    const std::byte* source = node_buffer(original)->first();
    for (uint32_t i = 0; i < count; i++)
        std::memcpy(target + i * width, source + size_t(integer::get(order + 2 * i + 1)) * width, width);
    stack::top = saved_top;
}

// ---------------------------------------------------------------- sorting a range

void sort_range(const Cell* series, uint32_t range, uint32_t size, uint32_t flags, const actions::SortArgs& args) {
    uint32_t count = range / size;
    if (count < 2) return;
    if (args.comparator != nullptr && cell_type(args.comparator) == TYPE_FUNCTION) {
        sort_by_function(series, range, size, args.all, args.comparator, (flags & SORT_REVERSE) != 0, args.stable);
        return;
    }
    SeriesBuffer* buffer = series_buffer(series);
    uint32_t unit = buffer->unit();
    std::byte* base = buffer->at(series_index(series));
    if (args.stable)
        sort::merge_sort(base, count, size * unit, args.case_sensitive, &flags, comparator_for(series));
    else
        sort::quick_sort(base, count, size * unit, args.case_sensitive, &flags, comparator_for(series));
}

}  // namespace

Cell* sort(Cell* series, const actions::SortArgs& args) { return block::sort_series(series, args, sort_range); }

}  // namespace vek::string
