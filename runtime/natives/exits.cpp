#include "runtime/natives/exits.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/trace.h"
#include "runtime/natives/helpers.h"

namespace vek::natives {

namespace {

using fixed_words::Word;

bool same_word(const Cell* a, const Cell* b) {
    return actions::compare_values(a, b, actions::COMP_EQUAL) == 0;
}

// Whether a catch named by `names` (a word!, or a block! of words) takes a
// throw of that name. An unnamed throw carries unset! and matches no name.
bool name_matches(const Cell* names, const Cell* thrown_name) {
    if (cell_type(names) == TYPE_WORD) return cell_type(thrown_name) == TYPE_WORD && same_word(names, thrown_name);
    Cell list = *names;
    bool found = false;
    for (uint32_t i = series_index(&list); i < series_buffer(&list)->length(); i++) {
        const Cell* item = series_buffer(&list)->cells() + i;
        if (cell_type(item) != TYPE_WORD)
            fire(err::script::invalid_refine_arg, fixed_words::word(Word::name), &list);
        found = found || (cell_type(thrown_name) == TYPE_WORD && same_word(item, thrown_name));
    }
    return found;
}

// The callable that apply calls when given a word or a path: the head word's
// value, which must be callable.
Cell callable_named(const Cell* func, const Cell* word) {
    if (word::context(word) != Node::none) {
        Cell value = *context::get(word);
        uint32_t type = cell_type(&value);
        if (is_any_function(type)) return value;
    }
    fire(err::script::invalid_arg, func);
}

}  // namespace

// ---------------------------------------------------------------- leaving early

Pending break_(bool, const int32_t* refinements) {
    return stack::throw_break({.with_value = present(refinements, 0)});
}

Pending continue_(bool, const int32_t*) { return stack::throw_break({.is_continue = true}); }

Pending exit(bool, const int32_t*) { return stack::throw_return({}); }

Pending return_(bool, const int32_t*) { return stack::throw_return({.with_value = true}); }

// The value and its name (unset! without /name) travel as the first two cells.
Pending throw_(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check && present(refinements, 0)) check_arg(refinements[0], type_bit(TYPE_WORD));
    if (eval::trace::tracing) eval::trace::fire_throw();
    if (!present(refinements, 0)) {
        stack::top = args + 1;
        make_unset(stack::push_cell());
    }
    stack::throw_value(CODE_THROW);
}

// ---------------------------------------------------------------- catching

Pending catch_(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check) {
        check_arg(0, type_bit(TYPE_BLOCK));
        if (present(refinements, 0)) check_arg(refinements[0], type_bit(TYPE_WORD) | type_bit(TYPE_BLOCK));
    }
    Cell block = args[0];
    Cell names;
    bool named = present(refinements, 0);
    if (named) names = args[refinements[0]];
    stack::mark_catch(fixed_words::word(Word::catch_));
    stack::CallFrame* frame = stack::top_frame();
    try {
        VEK_PASS(eval::eval_block(&block, {.chain = true}));
    } catch (VekThrow& thrown) {
        // throw_value left the thrown value and its name in the first two
        // cells of the nearest catch frame, which is this one.
        if (thrown.code != CODE_THROW || stack::top_frame() != frame) throw;
        if (named && !name_matches(&names, stack::arguments + 1)) {
            // Passed on from the catch native's own frame, as a throw from
            // there: the next catch frame outward is searched.
            Cell value = stack::arguments[0];
            Cell name = stack::arguments[1];
            stack::pop_frame();
            stack::top = stack::arguments;
            stack::push(&value);
            stack::push(&name);
            stack::throw_value(CODE_THROW);
        }
        sysrec.thrown_code = 0;
        stack::keep();
        if (eval::trace::tracing) eval::trace::fire_catch();
    }
    stack::unwind_last();
    return Pending::none;
}

// A plain try stops errors only: break, continue, return and exit travel on
// as pending codes, and a throw on to its catch. A try/all frame stops them
// all, each turning into an error on meeting it.
Pending try_(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    if (check) check_arg(0, type_bit(TYPE_BLOCK));
    Cell block = args[0];
    // A no-memory raised earlier handed the reserve out: catching the next
    // one needs it back, before the block runs and once the catch is done.
    root::take_reserve();
    const Cell* name = fixed_words::word(Word::try_);
    if (present(refinements, 0))
        stack::mark_try_all(name);
    else
        stack::mark_try(name);
    try {
        VEK_PASS(eval::eval_block(&block, {.chain = true}));
        stack::unwind_last();
    } catch (VekThrow& thrown) {
        // The error's unwinding has already popped the try frame and pushed
        // the error on top.
        if (thrown.code != CODE_ERROR) throw;
        error::resolve_bare_code(stack::top - 1);
        stack::keep_error();
    }
    sysrec.thrown_code = 0;
    if (present(refinements, 1) && cell_type(args) == TYPE_ERROR) error::capture_stack(args);
    root::take_reserve();
    return Pending::none;
}

// ---------------------------------------------------------------- apply

Pending apply(bool check, const int32_t* refinements) {
    Cell* args = stack::arguments;
    uint32_t type = cell_type(args);
    if (check) check_arg(1, type_bit(TYPE_BLOCK));
    Cell called = args[0];
    Cell name = *fixed_words::word(Word::applied_tag);
    const Cell* path = nullptr;
    if (type == TYPE_WORD) {
        name = args[0];
        called = callable_named(args, &name);
    } else if (type == TYPE_PATH) {
        path = args;
        if (block::length_from_head(args) == 0 || cell_type(block::rs_head(args)) != TYPE_WORD)
            fire(err::script::invalid_arg, args);
        name = *block::rs_head(args);
        called = callable_named(args, &name);
    } else if (!is_any_function(type)) {
        fire(err::script::invalid_arg, args);
    }
    if (cell_type(&called) == TYPE_OP) op::unwrap(&called, &called);

    bool safer = present(refinements, 1);
    eval::ApplyMode mode = present(refinements, 0) ? (safer ? eval::APPLY_SAFER : eval::APPLY_ALL)
                                                   : (safer ? eval::APPLY_WORDS_SAFER : eval::APPLY_WORDS);
    stack::set_interpreted();
    Cell code = args[1];
    eval::Cursor at = eval::Cursor::at(&code, series_index(&code));
    return eval::eval_code(&called, at, {}, path, &name, mode);
}

}  // namespace vek::natives
