#include "runtime/datatypes/block/sort.h"

#include <algorithm>
#include <utility>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/internal.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/eval/evaluator.h"
#include "runtime/memory/series.h"
#include "runtime/tables/sort.h"

namespace vek::block {

namespace {

// Kept out of line so that the integer comparison below needs no frame.
[[gnu::noinline]] int32_t compare_by_action(const Cell* a, const Cell* b, int32_t code) {
    Cell x = *a;
    Cell y = *b;
    int32_t result = actions::compare_values(&x, &y, code);
    return result == -2 ? int32_t(cell_type(&x)) - int32_t(cell_type(&y)) : result;
}

int32_t compare_cells(const Cell* a, const Cell* b, int32_t code) {
    // Two integer! cells, the common case, order as their compare action
    // orders them, without the dispatch.
    if (cell_type(a) == TYPE_INTEGER && cell_type(b) == TYPE_INTEGER) {
        int32_t x = integer::get(a), y = integer::get(b);
        return (x > y) - (x < y);
    }
    return compare_by_action(a, b, code);
}

// Records of size cells, compared cell by cell until one differs. Kept out
// of line, as compare_by_action is.
[[gnu::noinline]] int32_t compare_all_cells(const Cell* a, const Cell* b, int32_t code, uint32_t size) {
    for (uint32_t i = 0; i < size; i++) {
        int32_t result = compare_cells(a + i, b + i, code);
        if (result != 0) return result;
    }
    return 0;
}

int compare_records(const void* a, const void* b, int code, void* flags) {
    return sort_compare(static_cast<const Cell*>(a), static_cast<const Cell*>(b), code,
                        *static_cast<uint32_t*>(flags));
}

// The elements to sort: from the head, or before it for a negative part,
// which moves the series' head back to the first of them.
uint32_t range_of(Cell* series, const Cell* part) {
    uint32_t length = length_from_head(series);
    if (part == nullptr) return length;
    int64_t count = series::part_count(series, part);
    if (count >= 0) return uint32_t(std::min<int64_t>(count, length));
    uint32_t head = std::min(series_index(series), series_buffer(series)->length());
    auto before = uint32_t(std::min<int64_t>(-count, head));
    set_series_index(series, head - before);
    return before;
}

uint32_t record_size(const Cell* skip, uint32_t range) {
    if (skip == nullptr) return 1;
    int32_t size = cell_type(skip) == TYPE_INTEGER ? integer::get(skip) : 0;
    if (cell_type(skip) != TYPE_INTEGER || size < 1 || uint32_t(size) > range || range % uint32_t(size) != 0)
        series::bad_refine_arg(fixed_words::Ref::skip, skip);
    return uint32_t(size);
}

// The part of the flags word that the comparator argument and /all decide.
uint32_t record_flags(const Cell* comparator, const Cell* skip, uint32_t size, bool all) {
    if (comparator == nullptr) return all ? SORT_ALL | size << SORT_SHIFT : 0;
    switch (cell_type(comparator)) {
    case TYPE_FUNCTION: return 0;  // the function sees each record's first cell
    case TYPE_INTEGER: {
        if (skip == nullptr || all) fire(err::script::bad_refines);
        int32_t offset = integer::get(comparator);
        if (offset < 1 || uint32_t(offset) > size) fire(err::script::out_of_range, comparator);
        return uint32_t(offset - 1) << SORT_SHIFT;
    }
    default: series::bad_refine_arg(fixed_words::Ref::compare, comparator);
    }
}

// ---------------------------------------------------------------- function comparators

struct FunctionComparator {
    const Cell* function;
    bool reverse;
};

// The function's answer as a three-way result: true, a negative number and
// any other value than none! order the first value after the second.
int32_t comparator_answer(const Cell* result) {
    switch (cell_type(result)) {
    case TYPE_LOGIC: return logic::get(result) ? 1 : -1;
    case TYPE_INTEGER: {
        auto n = integer::get(result);
        return n < 0 ? 1 : n > 0 ? -1 : 0;
    }
    case TYPE_FLOAT: {
        double d = cell_get_f64(result);
        return d > 0 ? -1 : d < 0 ? 1 : 0;
    }
    case TYPE_NONE: return -1;
    default: return 1;
    }
}

// The function is called with the pair in reverse order, (b, a), or (a, b)
// with /reverse. A break or continue inside it cannot be handed back through
// the sort: it goes on as an exception.
int call_comparator(const void* a, const void* b, int, void* extra) {
    auto* comparator = static_cast<const FunctionComparator*>(extra);
    Cell first = *static_cast<const Cell*>(comparator->reverse ? a : b);
    Cell second = *static_cast<const Cell*>(comparator->reverse ? b : a);
    Cell function = *comparator->function;
    const Cell* name = fixed_words::word(fixed_words::Word::compare_callback_tag);
    Cell* saved_top = stack::top;
    const Cell values[2] = {first, second};
    eval::push_callback_call(&function, name, values, 2);
    Pending pending = eval::call_function(&function, name, eval::CALL_SORT);
    if (pending != Pending::none) eval::raise_pending(pending);
    Cell result = *stack::arguments;
    stack::unwind_function_drop();
    stack::top = saved_top;
    return comparator_answer(&result);
}

// The comparator runs Vek code, which may change the block or sort another:
// the range is sorted in a scratch copy of its own on the evaluation stack
// and written back only when the block kept its buffer and its length.
// Holding both buffers' addresses keeps them in place meanwhile.
void sort_by_function(const Cell* series, uint32_t range, uint32_t size, const Cell* comparator, bool reverse,
                      bool stable) {
    SeriesBuffer* buffer = series_buffer(series);
    uint32_t length = buffer->length();
    Cell* saved_top = stack::top;
    Node copy = series::copy_part(series_node(series), series_index(series), range);
    *stack::push_cell() = series_cell(TYPE_BLOCK, copy);
    Cell* base = node_buffer(copy)->cells();
    FunctionComparator extra{comparator, reverse};
    uint32_t count = range / size;
    uint32_t width = size * uint32_t(sizeof(Cell));
    if (!stable)
        sort::quick_sort(base, count, width, 0, &extra, call_comparator);
    else
        sort::merge_sort_cells(base, count, 0, &extra, call_comparator, size);
    if (series_buffer(series) != buffer || buffer->length() != length)
        fire(err::script::past_end);
    std::copy(base, base + range, buffer->cells() + series_index(series));
    stack::top = saved_top;
}

// ---------------------------------------------------------------- sorting a range

// The base pointer held in these frames keeps the block's buffer in place
// while the comparisons run.
void sort_range(const Cell* series, uint32_t range, uint32_t size, uint32_t flags, const actions::SortArgs& args) {
    if (range / size < 2) return;
    if (args.comparator != nullptr && cell_type(args.comparator) == TYPE_FUNCTION) {
        sort_by_function(series, range, size, args.comparator, (flags & SORT_REVERSE) != 0, args.stable);
        return;
    }
    int32_t code = args.case_sensitive ? actions::COMP_CASE_SORT : actions::COMP_SORT;
    Cell* base = series_buffer(series)->cells() + series_index(series);
    if (!args.stable)
        sort::quick_sort(base, range / size, size * uint32_t(sizeof(Cell)), code, &flags, compare_records);
    else
        sort::merge_sort_cells(base, range / size, code, &flags, compare_records, size);
}

}  // namespace

int32_t sort_compare(const Cell* a, const Cell* b, int32_t code, uint32_t flags) {
    if (flags & SORT_REVERSE) std::swap(a, b);
    uint32_t n = flags >> SORT_SHIFT;
    if (!(flags & SORT_ALL)) return compare_cells(a + n, b + n, code);
    return compare_all_cells(a, b, code, n);
}

Cell* sort_series(Cell* series, const actions::SortArgs& args, RangeSorter sort_range) {
    Cell position = *series;  // a negative part moves only the answer's head
    uint32_t range = range_of(&position, args.part);
    if (range == 0) return series;
    uint32_t size = record_size(args.skip, range);
    if (args.all && args.skip == nullptr) fire(err::script::bad_refines);
    uint32_t flags = record_flags(args.comparator, args.skip, size, args.all) | (args.reverse ? SORT_REVERSE : 0);

    using series::Edit;
    auto head = int32_t(series_index(&position));
    if (series::notify_before(&position, Edit::sort, nullptr, head, int32_t(range))) {
        // The owner's handler may have changed the series.
        set_series_index(&position, std::min(series_index(&position), series_buffer(&position)->length()));
        range = std::min(range, length_from_head(&position));
        range -= range % size;
        sort_range(&position, range, size, flags, args);
        series::notify_after(&position, Edit::sort, nullptr, head, int32_t(range));
    } else {
        sort_range(&position, range, size, flags, args);
    }
    return copy_cell(&position, series);
}

Cell* sort(Cell* series, const actions::SortArgs& args) { return sort_series(series, args, sort_range); }

}  // namespace vek::block
