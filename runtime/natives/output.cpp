#include "runtime/natives/output.h"

#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/memory/manager.h"
#include "runtime/natives/helpers.h"
#include "runtime/natives/natives.h"
#include "runtime/output/print_hooks.h"
#include "runtime/parse/parse.h"
#include "runtime/tables/ownership.h"

namespace vek::natives {

bool last_line = false;

namespace {

constexpr uint64_t ANY_BLOCK_TYPES = types::members(types::ANY_BLOCK);
constexpr uint64_t ANY_LIST_TYPES = types::members(types::ANY_LIST);
constexpr uint64_t ANY_OBJECT_TYPES = types::members(types::ANY_OBJECT);
constexpr uint64_t ANY_FUNCTION_TYPES = types::members(types::ANY_FUNCTION);

bool present(const int32_t* refinements, int i) { return refinements[i] >= 0; }

// ---------------------------------------------------------------- building blocks

// Where reduce and compose put their values. The cell lies on the evaluation
// stack or is an argument cell, so it never moves. In append mode values go
// after everything the block holds; in insert mode they go in at its head,
// which moves past each one.
struct Target {
    Cell* block;
    bool insert;
};

void add_value(Target& target, const Cell* value) {
    Cell copy = *value;
    if (target.insert)
        block::insert_value(target.block, &copy, true, false);
    else
        block::rs_append(target.block, &copy);
}

// A /into target is appended to when it stands at its tail, else inserted into.
Target into_target(Cell* out) { return Target{out, !block::rs_at_tail(out)}; }

// The value that the expression just evaluated left, after which the stack
// goes back to where it stood.
Cell take_last(Cell* saved_top) {
    Cell value = *eval::last_value();
    stack::top = saved_top;
    return value;
}

// Each expression's value, without its new-line flag, goes to the target.
// The values arrive in the current frame's result cell, which the caller
// must not need meanwhile; the block is walked by index, so that code
// changing it cannot leave the walk on a stale buffer.
Pending reduce_into(const Cell* source, Target& target) {
    Cell code = *source;
    Cell* result = stack::arguments;
    uint32_t index = series_index(&code);
    while (index < series_buffer(&code)->length()) {
        VEK_PASS(eval::eval_next_index(&code, &index));
        Cell value = *result;
        clear_new_line(&value.header);
        add_value(target, &value);
    }
    return Pending::none;
}

// A value that is not a block reduces to itself when callable, else to the
// value of evaluating it as one expression.
Pending reduce_single(const Cell* value, Cell* result) {
    uint32_t type = cell_type(value);
    if (is_any_function(type)) {
        copy_cell(value, result);
        return Pending::none;
    }
    Cell* saved_top = stack::top;
    Cell* code = block::push_only_star(1);
    block::rs_append(code, value);
    eval::Cursor at = eval::Cursor::at(code, series_index(code)).narrowed(1);
    VEK_PASS(eval::eval_next(at, {.sub = true}));
    *result = take_last(saved_top);
    return Pending::none;
}

Pending compose_into(const Cell* source, bool deep, bool only, Target& target);

// A nested block composed into a new block of its own, which keeps the
// header (type and new-line flag) of the cell it stands for.
Pending compose_nested(const Cell* nested, bool only, Target& target) {
    Cell* saved_top = stack::top;
    Cell* fresh = block::push_only_star(int32_t(block::length_from_head(nested)));
    Target inner{fresh, false};
    VEK_PASS(compose_into(nested, true, only, inner));
    Cell value = *fresh;
    value.header = nested->header;
    add_value(target, &value);
    stack::top = saved_top;
    return Pending::none;
}

// The values of a block, one by one, from its head. A block sharing the
// target's buffer is copied first (onto the stack, which the caller cuts
// back), so that adding its values cannot move or lengthen what is read.
void splice(const Cell* block, Target& target) {
    Cell source = *block;
    if (series_node(&source) == series_node(target.block)) source = *block::clone(&source, false, false);
    uint32_t start = std::min(series_index(&source), series_buffer(&source)->length());
    uint32_t end = series_buffer(&source)->length();
    for (uint32_t i = start; i < end; i++) {
        Cell item = series_buffer(&source)->cells()[i];
        add_value(target, &item);
    }
}

// A block reduced or composed into itself would meet the values it adds:
// they are gathered in a block of their own on the stack, to be spliced
// into the target once the walk is done.
Target walk_target(const Cell* source, const Target& target) {
    if (series_node(source) != series_node(target.block)) return target;
    return Target{block::push_only_star(int32_t(block::length_from_head(source))), false};
}

void finish_walk(const Target& walked, Target& target) {
    if (walked.block != target.block) splice(walked.block, target);
}

Pending compose_paren(const Cell* paren, bool only, Target& target) {
    if (block::length_from_head(paren) == 0) return Pending::none;
    Cell* saved_top = stack::top;
    Cell code = *paren;
    VEK_PASS(eval::eval_block(&code));
    Cell value = *eval::last_value();
    // The value stays on the stack while it is spliced: it may be the only
    // reference to its block.
    if (cell_type(&value) == TYPE_BLOCK && !only)
        splice(&value, target);
    else if (cell_type(&value) != TYPE_UNSET)
        add_value(target, &value);
    stack::top = saved_top;
    return Pending::none;
}

// The buffer is read afresh for every value: evaluating a paren may move it.
Pending compose_into(const Cell* source, bool deep, bool only, Target& target) {
    Cell code = *source;
    for (uint32_t i = series_index(&code); i < series_buffer(&code)->length(); i++) {
        Cell item = series_buffer(&code)->cells()[i];
        if (cell_type(&item) == TYPE_BLOCK && deep)
            VEK_PASS(compose_nested(&item, only, target));
        else if (cell_type(&item) == TYPE_PAREN)
            VEK_PASS(compose_paren(&item, only, target));
        else
            add_value(target, &item);
    }
    return Pending::none;
}

// ---------------------------------------------------------------- contexts

// The context that a word, an object or a callable value names.
Node context_of(const Cell* value) {
    Cell callable = *value;
    switch (cell_type(value)) {
    case TYPE_OBJECT:
    case TYPE_ERROR:
    case TYPE_PORT: return object::context_node(value);
    case TYPE_FUNCTION:
    case TYPE_ROUTINE: return function::context_node(value);
    case TYPE_NATIVE:
    case TYPE_ACTION: return native::context_node(value);
    case TYPE_OP: return context_of(op::unwrap(value, &callable));
    default:
        if (word::context(value) == Node::none) fire(err::script::not_in_context, value);
        return word::context(value);
    }
}

// Rebinds the word to the context when the context holds its exact symbol.
void bind_exact(Cell* word, Node context) {
    const Cell* cell = context::cell_of(context);
    int32_t position = context::find_word(cell, word::symbol(word), false);
    if (position < 0) return;
    word::set_context(word, context);
    word::set_index(word, word::index(context::word_at(cell, uint32_t(position))));
}

Pending compare_result(int32_t op) {
    Cell* args = stack::arguments;
    logic::box(actions::compare(args, args + 1, op));
    return Pending::none;
}

// ---------------------------------------------------------------- stats

void set_integer(Cell* c, uint32_t value) { *c = integer::cell(int32_t(value)); }

// Integers hold 32 bits signed; larger figures go out as floats.
void set_number(Cell* c, uint64_t value) {
    if (value <= uint64_t(INT32_MAX)) {
        set_integer(c, uint32_t(value));
        return;
    }
    *c = Cell{TYPE_FLOAT, 0, 0, 0};
    cell_set_f64(c, double(value));
}

void set_block(Cell* c, Node node, uint32_t flags) { *c = Cell{TYPE_BLOCK | flags, 0, uint32_t(node), 0}; }

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
        Target target{&tail_view, false};
        Pending p;
        try {
            p = reduce_into(args, target);
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

// ---------------------------------------------------------------- comparison

Pending equal_q(bool, const int32_t*) { return compare_result(actions::COMP_EQUAL); }
Pending not_equal_q(bool, const int32_t*) { return compare_result(actions::COMP_NOT_EQUAL); }
Pending strict_equal_q(bool, const int32_t*) { return compare_result(actions::COMP_STRICT_EQUAL); }
Pending lesser_q(bool, const int32_t*) { return compare_result(actions::COMP_LESSER); }
Pending greater_q(bool, const int32_t*) { return compare_result(actions::COMP_GREATER); }
Pending lesser_or_equal_q(bool, const int32_t*) { return compare_result(actions::COMP_LESSER_EQUAL); }
Pending greater_or_equal_q(bool, const int32_t*) { return compare_result(actions::COMP_GREATER_EQUAL); }

namespace {

// Whether payload words first to last of the two cells are equal.
bool same_words(const Cell* a, const Cell* b, int first, int last) {
    for (int n = first; n <= last; n++)
        if (payload_word(a, n) != payload_word(b, n)) return false;
    return true;
}

}  // namespace

bool same_value_q(const Cell* a, const Cell* b) {
    uint32_t type = cell_type(a);
    if (type != cell_type(b)) return false;
    if (is_series(type)) return series_index(a) == series_index(b) && series_node(a) == series_node(b);
    switch (type) {
    case TYPE_DATATYPE:
    case TYPE_LOGIC:
    case TYPE_OBJECT: return same_words(a, b, 1, 1);
    case TYPE_CHAR:
    case TYPE_INTEGER:
    case TYPE_BITSET: return same_words(a, b, 2, 2);
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_PAIR:
    case TYPE_TIME: return same_words(a, b, 2, 3);
    case TYPE_TUPLE: return actions::compare_values(a, b, actions::COMP_STRICT_EQUAL) == 0;
    case TYPE_NONE:
    case TYPE_UNSET: return true;
    case TYPE_MONEY: return actions::compare_values(a, b, actions::COMP_EQUAL) == 0;
    case TYPE_NATIVE:
    case TYPE_ACTION:
    case TYPE_POINT2D: return same_words(a, b, 1, 2);
    case TYPE_OP: return same_words(a, b, 2, 3);
    default: return same_payload(a, b);
    }
}

Pending same_q(bool, const int32_t*) {
    Cell* args = stack::arguments;
    logic::box(same_value_q(args, args + 1));
    return Pending::none;
}

Pending not_(bool, const int32_t*) {
    uint32_t type = cell_type(stack::arguments);
    logic::box(type == TYPE_NONE || (type == TYPE_LOGIC && !logic::get(stack::arguments)));
    return Pending::none;
}

Pending type_q(bool, const int32_t* refinements) {
    Cell* args = stack::arguments;
    uint32_t type = cell_type(args);
    uint32_t name = datatype::name_table[type].word;
    if (present(refinements, 0) && name != 0) {
        *args = Cell{TYPE_UNSET, 0, 0, 0};
        word::make_at(name, args);
    } else {
        *args = Cell{TYPE_DATATYPE, type, 0, 0};
    }
    return Pending::none;
}

// ---------------------------------------------------------------- reduce and compose

Pending reduce(bool, const int32_t* refinements) {
    Cell* args = stack::arguments;
    bool into = present(refinements, 0);
    Cell* out = into ? args + refinements[0] : nullptr;
    if (cell_type(args) != TYPE_BLOCK) {
        if (!into) return reduce_single(args, args);
        Cell* value = stack::push_cell();
        make_unset(value);
        VEK_PASS(reduce_single(args, value));
        Target target = into_target(out);
        uint32_t start = series_buffer(out)->length();
        add_value(target, value);
        if (!target.insert) ownership::check(out, fixed_words::word(fixed_words::Word::insert), nullptr,
                                             int32_t(start), 1);
        copy_cell(out, args);
        return Pending::none;
    }
    if (!into) {
        Cell* fresh = block::push_only_star(int32_t(block::length_from_head(args)));
        Target target{fresh, false};
        VEK_PASS(reduce_into(args, target));
        copy_cell(fresh, args);
        return Pending::none;
    }
    Target target = into_target(out);
    uint32_t start = series_buffer(out)->length();
    Target walked = walk_target(args, target);
    VEK_PASS(reduce_into(args, walked));
    finish_walk(walked, target);
    if (!target.insert) {
        uint32_t count = series_buffer(out)->length() - start;
        ownership::check(out, fixed_words::word(fixed_words::Word::insert), nullptr, int32_t(start),
                         int32_t(count));
    }
    copy_cell(out, args);
    return Pending::none;
}

Pending compose(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (cell_type(args) != TYPE_BLOCK) {
        Cell expected{TYPE_DATATYPE, TYPE_BLOCK, 0, 0};
        Cell given{TYPE_DATATYPE, cell_type(args), 0, 0};
        fire(err::script::expect_val, &expected, &given);
    }
    bool deep = present(refinements, 0);
    bool only = present(refinements, 1);
    bool into = present(refinements, 2);
    if (check && into) check_arg(refinements[2], ANY_BLOCK_TYPES);
    Cell* out = into ? args + refinements[2] : block::push_only_star(int32_t(block::length_from_head(args)));
    Target target = into ? into_target(out) : Target{out, false};
    Target walked = walk_target(args, target);
    VEK_PASS(compose_into(args, deep, only, walked));
    finish_walk(walked, target);
    copy_cell(out, args);
    return Pending::none;
}

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

// ---------------------------------------------------------------- words and contexts

Pending bind(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check) {
        check_arg(0, type_bit(TYPE_BLOCK) | ALL_WORD_TYPES);
        check_arg(1, ALL_WORD_TYPES | ANY_OBJECT_TYPES | type_bit(TYPE_FUNCTION));
    }
    Node context = context_of(args + 1);
    if (cell_type(args) != TYPE_BLOCK) {
        bind_exact(args, context);
        return Pending::none;
    }
    if (present(refinements, 0)) copy_cell(block::clone(args, true, true), args);
    bool self = cell_type(args + 1) == TYPE_OBJECT;
    context::bind(args, context::cell_of(context), self);
    return Pending::none;
}

Pending in(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    if (check) {
        check_arg(0, ANY_OBJECT_TYPES | ANY_FUNCTION_TYPES);
        check_arg(1, ALL_WORD_TYPES);
    }
    Node context = context_of(args);
    Cell word = args[1];
    if (context::bind_word(context::cell_of(context), &word) < 0) {
        none::box();
        return Pending::none;
    }
    if (cell_type(&word) == TYPE_REFINEMENT) set_type(&word, TYPE_WORD);
    copy_cell(&word, args);
    return Pending::none;
}

Pending value_q(bool, const int32_t*) {
    const Cell* value = stack::arguments;
    uint32_t type = cell_type(value);
    if (is_any_word(type)) {
        // An unbound word has no value anywhere.
        value = word::context(value) == Node::none ? nullptr : context::get(value);
    }
    logic::box(value != nullptr && cell_type(value) != TYPE_UNSET);
    return Pending::none;
}

Pending unset(bool check, const int32_t*) {
    Cell* args = stack::arguments;
    if (check) check_arg(0, type_bit(TYPE_WORD) | type_bit(TYPE_BLOCK));
    Cell nothing{TYPE_UNSET, 0, 0, 0};
    if (cell_type(args) == TYPE_WORD) {
        context::set(args, &nothing);
    } else {
        Cell words = *args;
        for (uint32_t i = series_index(&words); i < series_buffer(&words)->length(); i++) {
            Cell item = series_buffer(&words)->cells()[i];
            if (cell_type(&item) != TYPE_WORD) continue;
            context::set(&item, &nothing);
        }
    }
    make_unset(args);
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

// /part: a count from the input's index, or a position in the same series;
// answers the index where the input ends. Raises invalid-refine-arg for a
// position in another series.
int64_t parse_limit(const Cell* input, const Cell* part) {
    int64_t start = series_index(input);
    if (cell_type(part) == TYPE_INTEGER) return start + integer::get(part);
    if (cell_type(part) == TYPE_FLOAT) return start + float_to_integer_arg(part);
    if (cell_type(part) != cell_type(input) || series_node(part) != series_node(input)) {
        Cell name = *fixed_words::refinement(fixed_words::Ref::part);
        set_type(&name, TYPE_WORD);
        fire(err::script::invalid_refine_arg, &name, part);
    }
    return series_index(part);
}

Pending parse(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check) {
        check_arg(0, type_bit(TYPE_BINARY) | ANY_BLOCK_TYPES | types::members(types::ANY_STRING));
        check_arg(1, type_bit(TYPE_BLOCK));
        if (present(refinements, 1)) check_arg(refinements[1], NUMBER_TYPES | SERIES_TYPES);
        if (present(refinements, 2)) check_arg(refinements[2], type_bit(TYPE_FUNCTION));
    }
    int64_t limit = -1;
    if (present(refinements, 1)) {
        limit = parse_limit(args, args + refinements[1]);
        if (limit <= int64_t(series_index(args))) {
            logic::box(series_index(args) >= series_buffer(args)->length());
            return Pending::none;
        }
    }
    parse::Request request{args, args + 1, present(refinements, 0) ? parse::Mode::strict : parse::Mode::folded,
                           limit, present(refinements, 2) ? args + refinements[2] : nullptr};
    Cell result{};
    VEK_PASS(parse::process(request, &result));
    stack::set_last_only(&result);
    return Pending::none;
}

}  // namespace vek::natives
