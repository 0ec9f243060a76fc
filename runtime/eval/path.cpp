#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/trace.h"

namespace vek::eval {

namespace {

using trace::event;

// The path's walk so far. Its cells live in this C++ frame, where the
// collector's stack scan sees them.
struct Walk {
    Cell path;
    Cell current;
    Cell parent;      // the value that held current; unset! before the first selector
    Cell head_owner;  // what held the head word's value, when not an object: unset! when none
    Cell previous;    // the element before the selector
};

// The value that held the parent handed to a selector: the parent's own
// holder, or for the first selector the head word's owner.
const Cell* holder_of_parent(const Walk& walk) {
    return cell_type(&walk.parent) == TYPE_UNSET ? &walk.head_owner : &walk.parent;
}

// Whether a set through the last selector must tell the value that holds
// the parent: an object with change handlers reached by a word, or a block
// or path kind.
bool notify_owner(const Walk& walk, uint32_t selectors) {
    if (selectors < 2) return false;
    const Cell* holder = holder_of_parent(walk);
    uint32_t type = cell_type(holder);
    if (type == TYPE_OBJECT)
        return object::event_record(holder) != Node::none && cell_type(&walk.previous) == TYPE_WORD;
    return is_any_block(type);
}

uint32_t parent_kind(const Cell* parent) {
    switch (cell_type(parent)) {
        case TYPE_UNSET: return 0;
        case TYPE_OBJECT: return 3;
        default: return is_any_block(cell_type(parent)) || cell_type(parent) == TYPE_STRING ? 2 : 4;
    }
}

void save_state(PathState* state, const Walk& walk, uint32_t depth, uint32_t index) {
    state->depth = depth;
    state->parent_kind = parent_kind(&walk.parent);
    state->index = index;
    state->value = walk.current;
    state->parent = walk.parent;
    state->saved_top = uint32_t(stack::top - stack::arguments_bottom);
}

// The owner of the head word's context, when it is something else than an
// object (a function's context, for one).
void first_grandparent(const Cell* head, Cell* out) {
    make_unset(out);
    if (word::context(head) == Node::none || word::context(head) == context::global) return;
    const Cell* owner = context::owner_of(word::context(head));
    if (cell_type(owner) != TYPE_OBJECT) *out = *owner;
}

// An object binds a word element to its field: the binding is kept in the
// path, so that the next walk over the same object finds the field at once.
void keep_binding(const Cell* path, uint32_t k, const Cell* selector) {
    SeriesBuffer* buffer = series_buffer(path);
    if (k >= buffer->length()) return;
    Cell* in_path = buffer->cells() + k;
    if (cell_type(in_path) != TYPE_WORD || word::symbol(in_path) != word::symbol(selector)) return;
    word::set_context(in_path, word::context(selector));
    word::set_index(in_path, word::index(selector));
}

Pending finish(const Walk& walk, Cell* start, bool sub) {
    event(trace::EV_EXIT, &walk.path, nullptr, &walk.current);
    stack::top = start;
    if (sub)
        stack::push(&walk.current);
    else
        stack::set_last_only(&walk.current);
    return Pending::none;
}

// A value held whole in its cell: a set changes the walk's copy of it,
// which goes back into what held it.
bool held_in_cell(uint32_t type) { return is_immediate(type) || type == TYPE_EVENT; }

}  // namespace

Cell* reserve_path_steps(uint32_t count) {
    Cell* steps = stack::top;
    for (uint32_t i = 0; i < 2 * count; i++) make_unset(stack::push_cell());
    return steps;
}

void store_path_back(const Cell* path, const Cell* head, const Cell* steps, uint32_t last_step,
                     const Cell* changed_parent, bool case_sensitive) {
    Cell changed = *changed_parent;
    for (uint32_t i = last_step; i > 0; i--) {
        if (!held_in_cell(cell_type(&changed))) return;
        Cell holder = steps[2 * (i - 1)];
        Cell selector = steps[2 * (i - 1) + 1];
        actions::eval_path_typed(&holder, &selector,
                                 {.value = &changed, .path = path, .previous = &selector, .index = int32_t(i - 1),
                                  .case_sensitive = case_sensitive, .last = true});
        changed = holder;
    }
    if (!held_in_cell(cell_type(&changed)) || cell_type(head) != TYPE_WORD) return;
    Cell word = *head;
    context::set(&word, &changed);
}

Pending eval_path(const Cell* path, Cursor& at, PathFlags flags, PathState* state) {
    const bool set = flags.set, get = flags.get, sub = flags.sub;
    Cell* start = stack::top;
    Walk walk;
    walk.path = *path;
    uint32_t head = series_index(&walk.path);
    uint32_t length = series_buffer(&walk.path)->length();
    if (head >= length) fire(err::script::empty_path, &walk.path);
    const Cell* head_word = series_buffer(&walk.path)->cells() + head;
    event(trace::EV_ENTER, &walk.path, head_word, nullptr);
    event(trace::EV_FETCH, &walk.path, head_word, head_word);
    if (cell_type(head_word) != TYPE_WORD) fire(err::script::word_first, &walk.path);
    walk.previous = *head_word;

    uint32_t first = head + 1;
    bool resuming = state && state->depth > 0;
    if (resuming) {
        first = head + state->depth;
        walk.current = state->value;
        walk.parent = state->parent;
        make_unset(&walk.head_owner);
        walk.previous = series_buffer(&walk.path)->cells()[first - 1];
    } else {
        const Cell* value = context::get(&walk.previous);
        if (is_callable(cell_type(value))) {
            if (set) fire(err::script::invalid_path_set, &walk.path);
            if (get) fire(err::script::invalid_path_get, &walk.path);
            Cell called = *value;
            VEK_PASS(eval_code(&called, at, {.sub = sub}, &walk.path, &walk.previous, APPLY_NONE, 1));
            event(trace::EV_EXIT, &walk.path, nullptr, sub ? stack::top - 1 : stack::arguments);
            return Pending::none;
        }
        if (cell_type(value) == TYPE_UNSET) fire(err::script::unset_path, &walk.path, &walk.previous);
        walk.current = *value;
        make_unset(&walk.parent);
        first_grandparent(&walk.previous, &walk.head_owner);
    }

    Cell* steps = set && !state && length > first ? reserve_path_steps(length - first) : nullptr;
    for (uint32_t k = first; k < length; k++) {
        Cell element = series_buffer(&walk.path)->cells()[k];
        event(trace::EV_FETCH, &walk.path, series_buffer(&walk.path)->cells() + k, &element);
        Cell selector = element;
        if (cell_type(&element) == TYPE_GET_WORD) {
            selector = *context::get(&element);
        } else if (cell_type(&element) == TYPE_PAREN) {
            if (state && !(resuming && k == first)) {
                save_state(state, walk, k - head, k);
                return Pending::none;
            }
            if (!state) {
                VEK_PASS(eval_block(&element));
                // The paren may have changed the path or the code after it.
                length = std::min(length, series_buffer(&walk.path)->length());
                at.sync();
            }
            selector = stack::top[-1];
            stack::pop(1);
        }
        if (cell_type(&selector) == TYPE_UNSET) fire(err::script::invalid_path, &walk.path, &element);
        event(trace::EV_PUSH, &walk.path, series_buffer(&walk.path)->cells() + k, &selector);

        bool last = k + 1 >= length;
        const Cell* to_set = set && last ? stack::arguments : nullptr;
        if (steps) {
            steps[2 * (k - first)] = walk.current;
            steps[2 * (k - first) + 1] = selector;
        }
        bool notify = to_set && notify_owner(walk, k - head);
        const Cell* holder = holder_of_parent(walk);
        const Cell* grandparent = cell_type(holder) == TYPE_UNSET ? nullptr : holder;
        Cell* result = actions::eval_path_typed(
            &walk.current, &selector,
            {.value = to_set, .path = &walk.path, .grandparent = grandparent, .previous = &walk.previous,
             .index = int32_t(k - head - 1), .case_sensitive = flags.case_sensitive, .get = get, .last = last,
             .notify = notify});
        if (cell_type(&element) == TYPE_WORD) keep_binding(&walk.path, k, &selector);
        walk.parent = walk.current;
        walk.current = *result;
        walk.previous = element;

        if (!set && !get && is_callable(cell_type(&walk.current))) {
            if (state) state->depth = 0;
            stack::top = start;
            Cell called = walk.current;
            VEK_PASS(eval_code(&called, at, {.sub = sub}, &walk.path, &element, APPLY_NONE, k - head + 1));
            event(trace::EV_EXIT, &walk.path, nullptr, sub ? stack::top - 1 : stack::arguments);
            return Pending::none;
        }
    }
    if (state) state->depth = 0;
    if (steps && length > first) {
        Cell head_word = series_buffer(&walk.path)->cells()[head];
        store_path_back(&walk.path, &head_word, steps, length - 1 - first, &walk.parent, flags.case_sensitive);
    }
    // A set-path's value is the value assigned.
    if (set) walk.current = *stack::arguments;
    return finish(walk, start, sub);
}

}  // namespace vek::eval
