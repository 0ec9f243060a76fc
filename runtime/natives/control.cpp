#include "runtime/natives/control.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/events.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/trace.h"
#include "runtime/lexer/lexer.h"
#include "runtime/natives/helpers.h"
#include "runtime/tables/ownership.h"

namespace vek::natives {

namespace {

using fixed_words::Word;

constexpr uint64_t BLOCK = type_bit(TYPE_BLOCK);

void clamp_to_tail(Cell* series) {
    uint32_t length = series_buffer(series)->length();
    if (series_index(series) > length) set_series_index(series, length);
}

// ---------------------------------------------------------------- loop frames

// A loop frame named <body>, its result cell holding the initial value:
// break and continue land here.
void open_loop(const Cell* initial) {
    stack::mark_loop(fixed_words::word(Word::body_tag));
    stack::push(initial);
}

using Step = eval::LoopBlocks::Step;

// The loop frame's result becomes the native's.
Pending close_loop() {
    stack::unwind_last();
    return Pending::none;
}

// The loop ended by its step: at a break the loop frame closes; a return or
// exit has already left it and goes to the caller at once.
Pending end_loop(const eval::LoopBlocks& blocks) {
    return blocks.outcome() == Pending::none ? close_loop() : blocks.outcome();
}

uint32_t words_per_step(const Cell* words) {
    if (cell_type(words) != TYPE_BLOCK) return 1;
    uint32_t n = block::length_from_head(words);
    if (n == 0) fire(err::script::invalid_arg, words);
    return n;
}

bool step(uint32_t n, bool multi, LoopWord& word) { return multi ? foreach_next_multi(n) : foreach_next(word); }

bool same_series(const Cell* a, const Cell* b) {
    return (SERIES_TYPES & type_bit(cell_type(a))) && series_node(a) == series_node(b);
}

// ---------------------------------------------------------------- switch

// The first cell of the block, from its index, of the key's datatype that
// equals the key; nullptr when there is none or the key is a block!.
const Cell* switch_match(const Cell* key, const Cell* block) {
    if (cell_type(key) == TYPE_BLOCK) return nullptr;
    SeriesBuffer* buffer = series_buffer(block);
    const Cell* tail = buffer->cells_tail();
    for (const Cell* c = buffer->cells() + series_index(block); c < tail; c++)
        if (cell_type(c) == cell_type(key) && actions::compare_values(c, key, actions::COMP_EQUAL) == 0) return c;
    return nullptr;
}

// The first block! of the block after the matched cell; nullptr when none.
const Cell* block_after(const Cell* block, const Cell* match) {
    const Cell* tail = series_buffer(block)->cells_tail();
    for (const Cell* c = match + 1; c < tail; ++c)
        if (cell_type(c) == TYPE_BLOCK) return c;
    return nullptr;
}

// ---------------------------------------------------------------- function makers

// The function of the spec and body, validated, as the native's result.
Pending make_function(Cell* spec_value, Cell* body) {
    clamp_to_tail(spec_value);
    clamp_to_tail(body);
    uint32_t flags = function::validate_spec(spec_value);
    function::make_value(spec_value, body, Node::none, 0, 0, flags);
    stack::set_last(stack::top - 1);
    return Pending::none;
}

Cell* push_copy_of_block(const Cell* block) {
    uint32_t length = block::length_from_head(block);
    Node copy = series::copy_part(series_node(block), series_index(block), length);
    Cell cell = series_cell(TYPE_BLOCK, copy);
    return stack::push(&cell);
}

// ---------------------------------------------------------------- switch and do

// Calls the library function that the global word function_name holds with
// the values, in a frame named frame_name (the function's own name when
// null); its result becomes the last value. A word that holds no function
// raises script no-value.
void call_library(const char* function_name, const Cell* frame_name, const Cell* values, uint32_t count) {
    Cell name{};
    word::make_at(symbol::make(function_name), &name);
    Cell function = *context::get_global_cell(word::symbol(&name));
    if (cell_type(&function) != TYPE_FUNCTION) fire(err::script::no_value, &name);
    if (!frame_name) frame_name = &name;
    Cell* saved_top = stack::top;
    eval::push_callback_call(&function, frame_name, values, count);
    eval::raise_pending(eval::call_function(&function, frame_name, eval::CALL_EVALUATOR));
    Cell result = *stack::arguments;
    stack::unwind_function_drop();
    stack::top = saved_top;
    stack::set_last(&result);
}

// The library's preprocessor rewrites the block in place, in a frame that
// stack traces leave out.
void expand_directives(const Cell* block) {
    call_library("expand-directives", fixed_words::word(Word::anon_tag), block, 1);
}

Pending eval_block_copy(const Cell* block) {
    Cell copy = *block;
    return eval::eval_block(&copy, {.chain = true});
}

Pending do_block(Cell* block, const int32_t* refinements) {
    if (refinements[0] >= 0) expand_directives(block);
    if (refinements[2] < 0) return eval_block_copy(block);
    Cell code = *block;
    uint32_t index = series_index(&code);
    VEK_PASS(eval::eval_next_index(&code, &index));
    set_series_index(&code, index);
    context::set(arg(refinements[2]), &code);
    return Pending::none;
}

Pending do_string(const Cell* string) {
    Cell* loaded = make_unset(stack::push_cell());
    lexer::scan_string(loaded, string, -1, {.wrap = true}, nullptr, nullptr);
    return eval_block_copy(loaded);
}

// A path evaluated on its own: a function it calls finds no arguments.
eval::Cursor no_arguments(const Cell* path) { return eval::Cursor::at(path, UINT32_MAX); }

Pending do_path(const Cell* path) {
    Cell code = *path;
    eval::Cursor at = no_arguments(&code);
    return eval::eval_path(&code, at, {});
}

// Any other value, as one expression in a block of its own: a function value
// is the result, not called.
Pending do_value(const Cell* value) {
    Cell* code = stack::push_cell();
    block::make_at(make_unset(code), 1);
    block::rs_append(code, value);
    eval::Cursor at = eval::Cursor::at(code, series_index(code));
    return eval::eval_expression(at, {.passive = true});
}

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

}  // namespace

// ---------------------------------------------------------------- conditionals

namespace {

// The conditional's branch run as its result; none! without one.
Pending run_conditional(Intrinsic conditional) {
    const Cell* branch = chosen_branch(conditional);
    if (!branch) {
        none::box();
        return Pending::none;
    }
    return eval::eval_block(branch, {.chain = true});
}

}  // namespace

Pending if_(bool check, const int32_t*) {
    if (check) check_arg(1, BLOCK);
    return run_conditional(Intrinsic::if_);
}

Pending unless(bool check, const int32_t*) {
    if (check) check_arg(1, BLOCK);
    return run_conditional(Intrinsic::unless);
}

Pending either(bool check, const int32_t*) {
    if (check) {
        check_arg(1, BLOCK);
        check_arg(2, BLOCK);
    }
    return run_conditional(Intrinsic::either);
}

Pending any(bool check, const int32_t*) {
    if (check) check_arg(0, BLOCK);
    Cell code = *arg(0);
    eval::Cursor at = eval::Cursor::at(&code, series_index(&code));
    while (at.more()) {
        VEK_PASS(eval::eval_next(at));
        if (!logic::result_false()) return Pending::none;
    }
    none::box();
    return Pending::none;
}

Pending all(bool check, const int32_t*) {
    if (check) check_arg(0, BLOCK);
    Cell code = *arg(0);
    eval::Cursor at = eval::Cursor::at(&code, series_index(&code));
    if (!at.more()) none::box();
    while (at.more()) {
        VEK_PASS(eval::eval_next(at));
        if (logic::result_false()) {
            none::box();
            return Pending::none;
        }
    }
    return Pending::none;
}

Pending switch_(bool check, const int32_t* refinements) {
    if (check) {
        check_arg(1, BLOCK);
        if (refinements[0] >= 0) check_arg(refinements[0], BLOCK);
    }
    const Cell* match = switch_match(arg(0), arg(1));
    if (match) {
        const Cell* block = block_after(arg(1), match);
        if (!block) {
            none::box();
            return Pending::none;
        }
        return eval_block_copy(block);
    }
    if (refinements[0] >= 0) return eval::eval_block(arg(refinements[0]), {.chain = true});
    none::box();
    return Pending::none;
}

Pending case_(bool check, const int32_t* refinements) {
    if (check) check_arg(0, BLOCK);
    bool all = refinements[0] >= 0;
    Cell code = *arg(0);
    eval::Cursor at = eval::Cursor::at(&code, series_index(&code));
    bool last_true = false;
    while (at.more()) {
        VEK_PASS(eval::eval_next(at));
        if (!at.more()) fire(err::script::need_value, fixed_words::word(Word::case_));
        last_true = logic::result_true_strict();
        if (!last_true) {
            ++at.pos;
            continue;
        }
        if (cell_type(at.pos) == TYPE_BLOCK) {
            VEK_PASS(eval_block_copy(at.pos++));
            at.sync();
        } else {
            VEK_PASS(eval::eval_next(at));
        }
        if (!all) return Pending::none;
    }
    if (!last_true) none::box();
    return Pending::none;
}

// ---------------------------------------------------------------- loops

Pending while_(bool check, const int32_t*) {
    if (check) {
        check_arg(0, BLOCK);
        check_arg(1, BLOCK);
    }
    const Cell* cond = arg(0);
    const Cell* body = arg(1);
    Cell unset_value;
    open_loop(make_unset(&unset_value));
    eval::LoopBlocks blocks;
    VEK_PASS(blocks.run_while(cond, body));
    stack::pop_frame();
    make_unset(stack::arguments);
    return Pending::none;
}

Pending until(bool check, const int32_t*) {
    if (check) check_arg(0, BLOCK);
    const Cell* body = arg(0);
    Cell unset_value;
    open_loop(make_unset(&unset_value));
    eval::LoopBlocks blocks;
    for (;;) {
        Step step = blocks.step(body);
        if (step == Step::ended) return end_loop(blocks);
        if (step == Step::ran && logic::result_true_strict()) return close_loop();
    }
}

Pending loop(bool check, const int32_t*) {
    if (check) {
        check_arg(0, INTEGER_FLOAT_TYPES);
        check_arg(1, BLOCK);
    }
    loop_count_to_integer();
    int32_t count = integer::get(arg(0));
    if (count < 1) {
        none::box();
        return Pending::none;
    }
    const Cell* body = arg(1);
    Cell unset_value;
    open_loop(make_unset(&unset_value));
    eval::LoopBlocks blocks;
    VEK_PASS(blocks.run_counted(body, count, nullptr));
    return close_loop();
}

// The count lives in this native's own variable: whatever the body assigns
// to the word, the next iteration sets it to the next number.
Pending repeat(bool check, const int32_t*) {
    if (check) {
        check_arg(0, type_bit(TYPE_WORD));
        check_arg(1, INTEGER_FLOAT_TYPES);
        check_arg(2, BLOCK);
    }
    float_to_integer_in_place(arg(1));
    int32_t count = integer::get(arg(1));
    if (count < 1) {
        none::box();
        return Pending::none;
    }
    LoopWord word(arg(0));
    const Cell* body = arg(2);
    open_loop(&none::constant);
    eval::LoopBlocks blocks;
    VEK_PASS(blocks.run_counted(body, count, &word));
    return close_loop();
}

Pending forever(bool check, const int32_t*) {
    if (check) check_arg(0, BLOCK);
    const Cell* body = arg(0);
    Cell unset_value;
    open_loop(make_unset(&unset_value));
    eval::LoopBlocks blocks;
    for (;;)
        if (blocks.step(body) == Step::ended) return end_loop(blocks);
}

// An image steps by pixels, which the image module hands out as tuples.
Pending foreach_pixel(const Cell* body, uint32_t n) {
    eval::LoopBlocks blocks;
    for (;;) {
        stack::keep();
        if (!image::foreach_next(stack::arguments - 1, stack::arguments - 2, n)) return close_loop();
        if (blocks.step(body) == Step::ended) return end_loop(blocks);
    }
}

Pending foreach(bool check, const int32_t*) {
    if (check) {
        check_arg(0, type_bit(TYPE_WORD) | BLOCK);
        check_arg(1, SERIES_TYPES | type_bit(TYPE_MAP));
        check_arg(2, BLOCK);
    }
    bool multi = cell_type(arg(0)) == TYPE_BLOCK;
    uint32_t n = words_per_step(arg(0));
    if (!multi && cell_type(arg(1)) == TYPE_MAP) fire(err::script::invalid_arg, arg(0));
    const Cell* body = arg(2);
    bool pixels = cell_type(arg(1)) == TYPE_IMAGE;
    stack::push(arg(1));
    stack::push(arg(0));
    open_loop(&none::constant);
    if (pixels) return foreach_pixel(body, n);
    eval::LoopBlocks blocks;
    LoopWord word(stack::arguments - 1);
    VEK_PASS(blocks.run_foreach(body, n, multi, word));
    return close_loop();
}

Pending forall(bool check, const int32_t*) {
    if (check) {
        check_arg(0, type_bit(TYPE_WORD));
        check_arg(1, BLOCK);
    }
    Cell start = *context::get(arg(0));
    if (!(SERIES_TYPES & type_bit(cell_type(&start)))) {
        Cell datatype = datatype::cell(cell_type(&start));
        fire(err::script::expect_arg, stack::current_function_word(), &datatype,
             word::from_cstring("word"));
    }
    if (!series_more(&start)) {
        none::box();
        return Pending::none;
    }
    const Cell* body = arg(1);
    stack::push(&start);
    stack::push(arg(0));
    open_loop(&none::constant);
    eval::LoopBlocks blocks;
    Cell* word = stack::arguments - 1;
    for (;;) {
        if (blocks.step(body) == Step::ended) return end_loop(blocks);
        Cell now = *context::get(word);
        if (!same_series(&now, &start)) fire(err::script::bad_loop_series, &now);
        if (forall_next(word, true)) break;
    }
    forall_reset(word);
    return close_loop();
}

Pending remove_each(bool check, const int32_t*) {
    if (check) {
        check_arg(0, type_bit(TYPE_WORD) | BLOCK);
        check_arg(1, SERIES_TYPES);
        check_arg(2, BLOCK);
    }
    bool multi = cell_type(arg(0)) == TYPE_BLOCK;
    uint32_t n = words_per_step(arg(0));
    Cell data = *arg(1);
    const Cell* body = arg(2);
    stack::push(arg(1));
    stack::push(arg(0));
    open_loop(&none::constant);
    eval::LoopBlocks blocks;
    LoopWord word(stack::arguments - 1);
    for (;;) {
        stack::keep();
        if (!step(n, multi, word)) break;
        Step ended_as = blocks.step(body);
        if (ended_as == Step::ended && blocks.outcome() != Pending::none) return blocks.outcome();
        if (ended_as == Step::ended) break;
        if (ended_as == Step::ran) remove_each_apply(n);
    }
    stack::pop_frame();
    stack::set_last(&data);
    return Pending::none;
}

// ---------------------------------------------------------------- function makers

Pending func(bool check, const int32_t*) {
    if (check) {
        check_arg(0, BLOCK);
        check_arg(1, BLOCK);
    }
    return make_function(arg(0), arg(1));
}

Pending function(bool check, const int32_t*) {
    if (check) {
        check_arg(0, BLOCK);
        check_arg(1, BLOCK);
    }
    clamp_to_tail(arg(1));
    *arg(0) = *push_copy_of_block(arg(0));
    function::collect_locals(arg(0), arg(1));
    return make_function(arg(0), arg(1));
}

Pending does(bool check, const int32_t*) {
    if (check) check_arg(0, BLOCK);
    Cell* spec_value = block::make_at(make_unset(stack::push_cell()), 1);
    return make_function(spec_value, arg(0));
}

Pending has(bool check, const int32_t*) {
    if (check) {
        check_arg(0, BLOCK);
        check_arg(1, BLOCK);
    }
    Cell* spec_value = block::make_at(make_unset(stack::push_cell()), int32_t(block::length_from_head(arg(0))) + 1);
    block::rs_append(spec_value, fixed_words::refinement(fixed_words::Ref::local));
    block::append_cells_of(spec_value, arg(0));
    return make_function(spec_value, arg(1));
}

// ---------------------------------------------------------------- evaluation

namespace {

// A file or URL is run by the library's script runner, do-file, with no
// callback and the /args value: the script's value is do's, and an error it
// raises goes on from here.
Pending do_script(const int32_t* refinements) {
    const Cell values[3] = {*arg(0), none::constant, refinements[1] >= 0 ? *arg(refinements[1]) : none::constant};
    call_library("do-file", nullptr, values, 3);
    return Pending::none;
}

Pending evaluate(const int32_t* refinements) {
    Cell* value = arg(0);
    switch (cell_type(value)) {
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH: return do_block(value, refinements);
    case TYPE_PATH: return do_path(value);
    case TYPE_STRING: return do_string(value);
    case TYPE_FILE:
    case TYPE_URL: return do_script(refinements);
    case TYPE_ERROR: raise_error(value);
    default: return do_value(value);
    }
}

// The tracer is installed around the evaluation and removed however it
// ends, a pending code passed on after the end event. Inside a traced
// evaluation (or the tracer itself) the value is evaluated untouched.
Pending evaluate_traced(const int32_t* refinements) {
    if (!eval::trace::install(arg(refinements[3]))) return evaluate(refinements);
    Pending p;
    try {
        eval::trace::fire_init();
        p = evaluate(refinements);
    } catch (...) {
        eval::trace::remove(true);
        throw;
    }
    eval::trace::remove(false);
    return p;
}

}  // namespace

Pending do_(bool check, const int32_t* refinements) {
    if (check && refinements[2] >= 0) check_arg(refinements[2], type_bit(TYPE_WORD));
    if (check && refinements[3] >= 0) check_arg(refinements[3], type_bit(TYPE_FUNCTION));
    if (refinements[3] >= 0) return evaluate_traced(refinements);
    return evaluate(refinements);
}

Pending get(bool check, const int32_t* refinements) {
    if (check) check_arg(0, ALL_WORD_TYPES | ANY_PATH_TYPES | type_bit(TYPE_OBJECT));
    bool any = refinements[0] >= 0;
    Cell* target = arg(0);
    uint32_t type = cell_type(target);
    if (ANY_PATH_TYPES & type_bit(type)) {
        Cell path = *target;
        eval::Cursor at = no_arguments(&path);
        return eval::eval_path(&path, at, {.get = true, .case_sensitive = refinements[1] >= 0});
    }
    if (type == TYPE_OBJECT) {
        actions::reflect(target, fixed_words::symbol(fixed_words::Sym::values));
        return Pending::none;
    }
    Cell value = *context::get(target);
    if (!any && cell_type(&value) == TYPE_UNSET) fire(err::script::no_value, target);
    stack::set_last(&value);
    return Pending::none;
}

Pending set(bool check, const int32_t* refinements) {
    if (check) check_arg(0, ALL_WORD_TYPES | ANY_PATH_TYPES | BLOCK | type_bit(TYPE_OBJECT));
    bool any = present(refinements, 0);
    object::SetFlags flags{.any = any, .only = present(refinements, 2), .some = present(refinements, 3)};
    Cell* target = arg(0);
    Cell value = *arg(1);
    if (!any && cell_type(&value) == TYPE_UNSET) fire(err::script::need_value, target);
    uint32_t type = cell_type(target);
    if (ANY_PATH_TYPES & type_bit(type)) {
        // A set-path stores the frame's result cell.
        Cell path = *target;
        *target = value;
        eval::Cursor at = no_arguments(&path);
        VEK_PASS(eval::eval_path(&path, at, {.set = true, .get = any, .case_sensitive = refinements[1] >= 0}));
    } else if (type == TYPE_OBJECT) {
        object::set_many(target, &value, flags);
    } else if (type == TYPE_BLOCK) {
        set_words(target, &value, block::length_from_head(target), flags);
    } else {
        context::set(target, &value);
    }
    stack::set_last(&value);
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
        Cell expected = datatype::cell(TYPE_BLOCK);
        Cell given = datatype::cell(cell_type(args));
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

Pending reduce_append(const Cell* source, Cell* out) {
    Target target{out, false};
    return reduce_into(source, target);
}

}  // namespace vek::natives
