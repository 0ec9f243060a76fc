#include "runtime/eval/fetch_args.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/args_cache.h"
#include "runtime/eval/trace.h"

namespace vek::eval {

namespace {

using trace::event;

// A call's record lives in the C++ frame, so a call allocates nothing. The
// collector's stack scan reads every word of it while the arguments are
// evaluated, so it is filled in whole when the call starts: a word that an
// earlier call left in an unused entry would look like a node and keep that
// node's series alive. Its arrays are therefore kept small.
//
// Refinements named by a path or by apply, one bit per cache entry; those of
// a spec longer than this go unchecked for being named twice.
constexpr uint32_t NAMED_ENTRIES = 256;

struct Call {
    const Cell* called;
    const Cell* name;
    ApplyMode apply;
    bool infix;
    bool native_like;  // native! or action!: refinements travel as slots, not cells
    Node cache;
    int32_t slots[MAX_REFINEMENTS];  // by refinement ordinal: where its arguments start, or -1
    uint64_t named[NAMED_ENTRIES / 64];  // by cache index: the refinements named so far
};

const Cell* cache_at(const Call& call, uint32_t index) { return node_buffer(call.cache)->cells() + index; }
uint32_t cache_length(const Call& call) { return node_buffer(call.cache)->length(); }

[[noreturn]] void raise_expect_arg(const Cell* called, const Cell* name, uint32_t index, uint32_t type) {
    Cell datatype = datatype::cell(type);
    Cell* word = push_spec_word(called, index);
    fire(err::script::expect_arg, name, &datatype, word);
}

void check_type(const Call& call, uint32_t index, const Cell* value) {
    if (!typeset::contains(cache_at(call, index), cell_type(value)))
        raise_expect_arg(call.called, call.name, index, cell_type(value));
}

// apply/safer, whichever way the block gives refinements.
bool safer(const Call& call) { return call.apply == APPLY_SAFER || call.apply == APPLY_WORDS_SAFER; }
// apply without /all: refinements are named by words after the arguments.
bool by_words(ApplyMode apply) { return apply == APPLY_WORDS || apply == APPLY_WORDS_SAFER; }

// The safer apply modes take each argument from exactly one value.
Pending fetch_normal(const Call& call, Cursor& at) {
    if (!safer(call)) return eval_expression(at, {.prefix = call.infix, .sub = true});
    Cursor one = at.narrowed(1);
    VEK_PASS(eval_expression(one, {.prefix = call.infix, .sub = true}));
    at.follow(one);
    return Pending::none;
}

// A get or literal argument, pushed: the value itself, but a literal
// argument takes a paren's value, a get-word's value or a get-path's.
Pending fetch_quoted(Cursor& at, uint32_t mode) {
    event(trace::EV_FETCH, at.code, at.pos, at.pos);
    uint32_t position = at.index();
    const Cell* value = at.pos++;
    if (mode == ARG_LITERAL && cell_type(value) == TYPE_PAREN) {
        VEK_PASS(eval_block(value));
        at.sync();
    } else if (mode == ARG_LITERAL && cell_type(value) == TYPE_GET_WORD) {
        stack::push(context::get(value));
    } else if (mode == ARG_LITERAL && cell_type(value) == TYPE_GET_PATH) {
        Cursor after = at.narrowed(0);  // a get-path calls nothing
        VEK_PASS(eval_path(value, after, {.get = true, .sub = true}));
        at.sync();
    } else {
        stack::push(value);
    }
    event(trace::EV_PUSH, at.code, at.base + position, stack::top - 1);
    return Pending::none;
}

// One argument by its passing mode, pushed.
Pending fetch_one(const Call& call, Cursor& at, uint32_t index, uint32_t mode) {
    if (!at.more()) fire(err::script::no_arg, call.name, push_spec_word(call.called, index));
    if (mode == ARG_NORMAL) return fetch_normal(call, at);
    return fetch_quoted(at, mode);
}

// An argument of an absent refinement, consumed without being passed on:
// evaluated and dropped, or in the safer apply modes skipped unevaluated.
Pending consume_one(const Call& call, Cursor& at, uint32_t index, uint32_t mode) {
    if (safer(call)) {
        if (at.more()) at.pos++;
        return Pending::none;
    }
    VEK_PASS(fetch_one(call, at, index, mode));
    stack::pop(1);
    return Pending::none;
}

// The cell index, from the frame's base, where a function call keeps the
// cache entry's value: every argument and refinement has one, in order.
uint32_t slot_of(const Call& call, uint32_t index) {
    uint32_t slot = 0;
    for (uint32_t i = 0; i < index; i++) {
        const Cell* entry = cache_at(call, i);
        if (cell_type(entry) == TYPE_REFINEMENT || arg_mode(entry) != ARG_RETURN) slot++;
    }
    return slot;
}

int32_t find_refinement(const Call& call, uint32_t symbol) {
    uint32_t wanted = symbol::resolve(symbol);
    uint32_t length = cache_length(call);
    for (uint32_t i = 0; i < length; i++) {
        const Cell* entry = cache_at(call, i);
        if (cell_type(entry) == TYPE_REFINEMENT && symbol::resolve(word::symbol(entry)) == wanted) return int32_t(i);
    }
    return -1;
}

// The refinement at that cache index, named once: active or not, its
// arguments follow in the code.
Pending use_refinement(Call& call, Cursor& at, uint32_t index, bool active) {
    if (active) {
        if (call.native_like)
            call.slots[refinement_ordinal(cache_at(call, index)) - 1] = int32_t(stack::top - stack::arguments);
        else
            stack::arguments[slot_of(call, index)] = *logic::constant(true);
    }
    uint32_t length = cache_length(call);
    for (uint32_t i = index + 1; i < length && cell_type(cache_at(call, i)) == TYPE_TYPESET; i++) {
        uint32_t mode = arg_mode(cache_at(call, i));
        if (mode == ARG_RETURN) break;
        VEK_PASS(active ? fetch_one(call, at, i, mode) : consume_one(call, at, i, mode));
        if (!active) continue;
        check_type(call, i, stack::top - 1);
        if (!call.native_like) {
            stack::arguments[slot_of(call, i)] = stack::top[-1];
            stack::pop(1);
        }
    }
    return Pending::none;
}

// A refinement element: found in the spec, named only once.
uint32_t refinement_index(Call& call, const Cell* element, const Cell* path) {
    int32_t index = find_refinement(call, word::symbol(element));
    if (index < 0) fire(err::script::no_refine, call.name, element);
    if (uint32_t(index) < NAMED_ENTRIES) {
        uint64_t& word = call.named[index / 64];
        uint64_t bit = uint64_t(1) << (index % 64);
        if (word & bit) fire(err::script::dup_refine, path);
        word |= bit;
    }
    return uint32_t(index);
}

bool word_true(const Cell* word) { return logic::value_true(context::get(word), false, nullptr); }

// Refinements named by the path's elements from first on, in path order.
Pending path_refinements(Call& call, Cursor& at, const Cell* path, uint32_t first) {
    Cell whole = *path;
    for (uint32_t k = series_index(&whole) + first; k < series_buffer(&whole)->length(); k++) {
        Cell element = series_buffer(&whole)->cells()[k];
        if (cell_type(&element) != TYPE_WORD && cell_type(&element) != TYPE_GET_WORD)
            fire(err::script::bad_refine, &element);
        uint32_t index = refinement_index(call, &element, &whole);
        bool active = cell_type(&element) == TYPE_WORD || word_true(&element);
        VEK_PASS(use_refinement(call, at, index, active));
    }
    return Pending::none;
}

bool has_refinements(const Call& call) {
    uint32_t length = cache_length(call);
    for (uint32_t i = 0; i < length; i++)
        if (cell_type(cache_at(call, i)) == TYPE_REFINEMENT) return true;
    return false;
}

// apply with refinement words: each refinement! is followed by an expression
// whose truth decides; a get-word! decides by its value. A value of another
// kind where a refinement may stand is refused when the callee has
// refinements, and ends the list when it has none.
Pending word_refinements(Call& call, Cursor& at) {
    while (at.more()) {
        const Cell* element = at.pos;
        uint32_t type = cell_type(element);
        if (type != TYPE_REFINEMENT && type != TYPE_GET_WORD) {
            if (!has_refinements(call)) break;
            fire(err::script::bad_refine, element);
        }
        uint32_t index = refinement_index(call, element, at.code);
        bool active = type == TYPE_GET_WORD && word_true(element);
        at.pos++;
        if (type != TYPE_GET_WORD) {
            VEK_PASS(fetch_one(call, at, index, ARG_NORMAL));
            active = logic::value_true(stack::top - 1, false, nullptr);
            stack::pop(1);
        }
        VEK_PASS(use_refinement(call, at, index, active));
    }
    return Pending::none;
}

// In apply mode a refinement takes the next value, which must be a logic!.
Pending apply_refinement(Call& call, Cursor& at, uint32_t index, bool* active) {
    VEK_PASS(fetch_one(call, at, index, ARG_NORMAL));
    const Cell* flag = stack::top - 1;
    if (cell_type(flag) != TYPE_LOGIC) raise_expect_arg(call.called, call.name, index, cell_type(flag));
    *active = logic::get(flag);
    if (call.native_like) {
        stack::pop(1);
        if (*active)
            call.slots[refinement_ordinal(cache_at(call, index)) - 1] = int32_t(stack::top - stack::arguments);
    }
    return Pending::none;
}

// The arguments in spec order, then the locals' count.
Pending spec_arguments(Call& call, Cursor& at, bool by_path, int32_t* locals) {
    bool active = true;
    bool left_in_place = call.infix;
    bool consume_absent = (call.apply == APPLY_ALL || call.apply == APPLY_SAFER) && !by_path;
    uint32_t length = cache_length(call);
    for (uint32_t i = 0; i < length; i++) {
        const Cell* entry = cache_at(call, i);
        switch (cell_type(entry)) {
            case TYPE_TYPESET: {
                uint32_t mode = arg_mode(entry);
                if (mode == ARG_RETURN) break;
                if (!active) {
                    if (!call.native_like) none::push();
                    if (consume_absent && at.more()) {
                        VEK_PASS(consume_one(call, at, i, mode));
                    }
                    break;
                }
                if (left_in_place) {
                    left_in_place = false;
                } else if (call.apply != APPLY_NONE && !at.more()) {
                    none::push();
                    break;
                } else if (!at.more() && mode == ARG_LITERAL && typeset::contains(entry, TYPE_UNSET)) {
                    unset::push();
                    break;
                } else {
                    VEK_PASS(fetch_one(call, at, i, mode));
                }
                check_type(call, i, stack::top - 1);
                break;
            }
            case TYPE_REFINEMENT:
                active = false;
                if (call.apply != APPLY_NONE && !by_words(call.apply) && !by_path && at.more()) {
                    VEK_PASS(apply_refinement(call, at, i, &active));
                } else if (!call.native_like) {
                    logic::push(false);
                }
                break;
            case TYPE_INTEGER:
                if (!call.native_like) *locals = integer::get(entry);
                break;
            default:
                break;
        }
    }
    return Pending::none;
}

// A native's or action's entry; a break, continue, return or exit raised as
// an exception inside it (by a callback) becomes a pending code again here.
Pending run_native(const Cell* called, const int32_t* slots) {
    try {
        if (cell_type(called) == TYPE_NATIVE) {
            natives::NativeFn entry = native::entry(called);
            if (!entry) fire(err::internal::not_done);
            return entry(false, slots);
        }
        actions::EntryFn entry = action::entry(called);
        if (!entry) fire(err::internal::not_done);
        entry(slots);
        return Pending::none;
    } catch (const VekThrow& thrown) {
        if (thrown.code >= CODE_EXIT && thrown.code <= CODE_BREAK) return Pending(thrown.code);
        throw;
    }
}

// ---------------------------------------------------------------- plain calls

// A native's refinement slots when no refinement is named.
constexpr std::array<int32_t, MAX_REFINEMENTS> NO_REFINEMENTS = [] {
    std::array<int32_t, MAX_REFINEMENTS> slots{};
    slots.fill(-1);
    return slots;
}();

}  // namespace

void check_plain_type(const Cell* called, const Cell* name, const PlanArgument& argument, const Cell* value) {
    if (!takes_type(argument, cell_type(value)))
        raise_expect_arg(called, name, argument.cache_index, cell_type(value));
}

namespace {

// Past the code's end only an optional literal argument is passed, as unset!.
void missing_argument(const Cell* called, const Cell* name, const PlanArgument& argument) {
    if (argument.mode == ARG_LITERAL && takes_type(argument, TYPE_UNSET)) {
        unset::push();
        return;
    }
    fire(err::script::no_arg, name, push_spec_word(called, argument.cache_index));
}

}  // namespace

Pending fetch_args(const Cell* called, Cursor& at, const Cell* path, uint32_t path_rest, ApplyMode apply,
                   bool infix, const Cell* name, const Cell* ref) {
    Call call;
    call.called = called;
    call.name = name;
    call.apply = apply;
    call.infix = infix;
    call.native_like = cell_type(called) == TYPE_NATIVE || cell_type(called) == TYPE_ACTION;
    call.cache = args_cache(called);
    std::fill(std::begin(call.slots), std::end(call.slots), -1);
    std::fill(std::begin(call.named), std::end(call.named), 0);
    if (call.native_like && call_plan(called)->refinements > MAX_REFINEMENTS) fire(err::internal::not_done);

    int32_t locals = 0;
    VEK_PASS(spec_arguments(call, at, path != nullptr, &locals));
    if (path)
        VEK_PASS(path_refinements(call, at, path, path_rest));
    else if (by_words(apply))
        VEK_PASS(word_refinements(call, at));

    event(trace::EV_CALL, at.code, apply == APPLY_NONE ? at.pos : nullptr, called, ref);
    if (call.native_like) return run_native(call.called, call.slots);
    if (locals > 0) function::init_locals(locals);
    return Pending::none;
}

Pending fetch_plain_args(const Cell* called, const CallPlan* plan, Cursor& at, bool infix, const Cell* name) {
    const PlanArgument* argument = plan_arguments(plan);
    if (infix && plan->arity != 0) check_plain_type(called, name, *argument++, stack::top - 1);
    return fetch_plain_args_from(called, plan, argument, at, infix, name);
}

Pending fetch_plain_args_from(const Cell* called, const CallPlan* plan, const PlanArgument* argument, Cursor& at,
                              bool infix, const Cell* name) {
    for (const PlanArgument* end = plan_arguments(plan) + plan->arity; argument != end; argument++) {
        if (!at.more()) {
            missing_argument(called, name, *argument);
            continue;
        }
        if (argument->mode == ARG_NORMAL) {
            // An argument before may have switched tracing on: this one then has its events.
            if (trace::tracing || !push_plain_argument(at, infix))
                VEK_PASS(eval_expression(at, {.prefix = infix, .sub = true}));
        } else {
            VEK_PASS(fetch_quoted(at, argument->mode));
        }
        check_plain_type(called, name, *argument, stack::top - 1);
    }
    return Pending::none;
}

void push_absent(const CallPlan* plan) {
    for (uint32_t i = 0; i < plan->absent; i++) {
        if ((plan->absent_refinements >> i) & 1)
            logic::push(false);
        else
            none::push();
    }
}

Pending run_plain_native(const Cell* called) { return run_native(called, NO_REFINEMENTS.data()); }

void push_callback_call(const Cell* function, const Cell* name, const Cell* values, uint32_t count) {
    Node cache = args_cache(function);
    stack::push_call_frame(name, function::context_node(function));
    uint32_t given = 0;
    bool active = true;
    for (uint32_t i = 0; i < node_buffer(cache)->length(); i++) {
        const Cell entry = node_buffer(cache)->cells()[i];
        switch (cell_type(&entry)) {
        case TYPE_TYPESET:
            if (arg_mode(&entry) == ARG_RETURN) break;
            if (!active || given == count) {
                none::push();
                break;
            }
            if (!typeset::contains(&entry, cell_type(&values[given]))) {
                Cell type = datatype::cell(cell_type(&values[given]));
                fire(err::script::expect_arg, name, &type, push_spec_word(function, i));
            }
            stack::push(&values[given++]);
            break;
        case TYPE_REFINEMENT:
            logic::push(false);
            active = false;
            break;
        case TYPE_INTEGER: function::init_locals(integer::get(&entry)); break;
        default: break;
        }
    }
}

}  // namespace vek::eval
