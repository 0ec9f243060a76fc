#include "runtime/natives/output.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/natives/control.h"
#include "runtime/natives/helpers.h"
#include "runtime/natives/natives.h"
#include "runtime/output/print_hooks.h"

namespace vek::natives {

bool last_line = false;

namespace {

// ---------------------------------------------------------------- stats

void set_integer(Cell* c, uint32_t value) { *c = integer::cell(int32_t(value)); }

// Integers hold 32 bits signed; larger figures go out as floats.
void set_number(Cell* c, uint64_t value) {
    if (value <= uint64_t(INT32_MAX)) {
        set_integer(c, uint32_t(value));
        return;
    }
    *c = float_::cell(double(value));
}

void set_block(Cell* c, Node node, uint32_t flags) { *c = series_cell(TYPE_BLOCK | flags, node); }

// Nodes rather than cell addresses are kept: each append may move a buffer.
Cell* append(Node block) { return series::alloc_tail_cell(node_buffer(block)); }

Node figures_block(const std::vector<memory::FrameFigures>& frames) {
    Node outer = memory::alloc_cells(uint32_t(frames.size()));
    for (const memory::FrameFigures& f : frames) {
        Node inner = memory::alloc_cells(3);
        for (uint64_t figure : {f.free, f.used, f.size}) set_number(append(inner), figure);
        set_block(append(outer), inner, CELL_NEW_LINE);
    }
    return outer;
}

Node sizes_block(const std::vector<uint64_t>& sizes) {
    Node outer = memory::alloc_cells(uint32_t(sizes.size()));
    for (uint64_t size : sizes) {
        Cell* c = append(outer);
        set_number(c, size);
        c->header |= CELL_NEW_LINE;
    }
    return outer;
}

// Fills the block with the frame figures; nothing may collect meanwhile.
// The target block cell may live in a buffer that moves; it is re-read
// through its node for each entry.
void append_figures(Cell* block, const memory::Census& c) {
    Node target = series_node(block);
    set_block(append(target), figures_block(c.nodes), 0);
    set_block(append(target), figures_block(c.series), 0);
    set_block(append(target), sizes_block(c.bigs), 0);
    uint64_t heap_total = malloc_list::total();
    set_number(append(target), c.occupied + heap_total);
    set_number(append(target), heap_total);
}

// Hands the figures to the library's show-memory-stats, evaluated as a call
// so that a missing library function raises as any unset word does.
Pending show_stats(const Cell* figures) {
    Cell* saved_top = stack::top;
    Cell* code = block::push_only_star(2);
    word::load_in(code, "show-memory-stats");
    block::rs_append(code, figures);
    VEK_PASS(eval::eval_block(code));
    stack::top = saved_top;
    return Pending::none;
}

}  // namespace

// ---------------------------------------------------------------- print

Pending print_value(bool new_line) {
    Cell* args = stack::arguments;
    Cell* buffer = print_buffer();
    uint32_t mark = series_buffer(buffer)->length();
    if (cell_type(args) == TYPE_BLOCK) {
        Cell tail_view = *buffer;
        set_series_index(&tail_view, mark);
        Pending p;
        try {
            p = reduce_append(args, &tail_view);
        } catch (VekThrow&) {
            block::truncate_at(buffer, mark);
            throw;
        }
        if (p != Pending::none) {
            block::truncate_at(buffer, mark);
            return p;
        }
        copy_cell(&tail_view, args);
    }
    if (cell_type(args) == TYPE_STRING) {
        set_series_index(args, std::min(series_index(args), series_buffer(args)->length()));
    } else {
        try {
            actions::form_to_string(args, nullptr, args);
        } catch (VekThrow&) {
            block::truncate_at(buffer, mark);
            throw;
        }
    }
    block::truncate_at(buffer, mark);
    print_hooks::call_all(args, new_line);
    last_line = new_line;
    make_unset(args);
    stack::keep();
    return Pending::none;
}

Pending print(bool, const int32_t*) { return print_value(true); }
Pending prin(bool, const int32_t*) { return print_value(false); }

// ---------------------------------------------------------------- stats

Pending stats(bool, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (present(refinements, 0) || present(refinements, 1)) {
        Cell* figures = block::push_only_star(8);
        {
            memory::CollectorPause pause;
            append_figures(figures, memory::census());
        }
        if (present(refinements, 0)) {
            VEK_PASS(show_stats(figures));
            make_unset(args);
        } else {
            copy_cell(figures, args);
        }
        return Pending::none;
    }
    double bytes = double(memory::census().in_use);
    if (bytes <= 2147483647.0)
        integer::make_at(args, int32_t(bytes));
    else
        float_::make_at(args, bytes);
    return Pending::none;
}

Pending new_line(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check) {
        check_arg(0, ANY_LIST_TYPES);
        check_arg(1, type_bit(TYPE_LOGIC));
        if (present(refinements, 1)) check_arg(refinements[1], type_bit(TYPE_INTEGER));
    }
    bool on = logic::get(args + 1);
    int32_t size = 1;
    if (present(refinements, 1)) {
        size = integer::get(args + refinements[1]);
        if (size < 1) fire(err::script::out_of_range, args + refinements[1]);
    }
    SeriesBuffer* buffer = series_buffer(args);
    uint32_t length = buffer->length();
    uint32_t start = series_index(args);
    bool every = present(refinements, 0) || present(refinements, 1);
    uint32_t end = every ? length : std::min(start + 1, length);
    for (uint32_t i = start; i < end; i++) {
        bool marked = ((i - start) % uint32_t(size) == 0) == on;
        Cell* cell = buffer->cells() + i;
        cell->header = marked ? cell->header | CELL_NEW_LINE : cell->header & ~CELL_NEW_LINE;
    }
    return Pending::none;
}

Pending new_line_q(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    if (check) check_arg(0, ANY_LIST_TYPES);
    SeriesBuffer* buffer = series_buffer(args);
    uint32_t head = series_index(args);
    bool marked = head < buffer->length() && (buffer->cells()[head].header & CELL_NEW_LINE) != 0;
    logic::box(marked);
    return Pending::none;
}

}  // namespace vek::natives
