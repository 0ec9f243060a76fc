#include "runtime/eval/compiled.h"

#include <array>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/eval/evaluator.h"
#include "runtime/core/stack.h"
#include "runtime/lexer/lexer.h"
#include "runtime/natives/natives.h"

namespace vek::compiled {

namespace {

const Cell* last_value() { return stack::top > stack::arguments ? stack::top - 1 : stack::arguments; }

Cell* slot_of(Node context, uint32_t index) {
    Cell* values = context::values_base(context::cell_of(context));
    if (!values) fire(err::script::not_defined, context::word_at(context::cell_of(context), index));
    return values + index;
}

void store_slot(Node context, uint32_t index, bool check) {
    Cell value = *last_value();
    if (check && cell_type(&value) == TYPE_UNSET)
        fire(err::script::need_value, context::word_at(context::cell_of(context), index));
    *slot_of(context, index) = value;
}

}  // namespace

const Cell* check_arg_type(const Cell* typeset, int32_t position, const Cell* value) {
    if (!typeset::contains(typeset, cell_type(value))) error::raise_expect_arg(cell_type(value), uint32_t(position));
    return value;
}

void check_slot_arg_type(const Cell* typeset, int32_t index) {
    if (index >= 0) check_arg_type(typeset, index, stack::arguments + index);
}

const Cell* check_refinement_arg_type(const Cell* refinement, const Cell* typeset, int32_t position,
                                      const Cell* value) {
    return logic::get(refinement) ? check_arg_type(typeset, position, value) : value;
}

const Cell* check_arg_not_unset(int32_t position, const Cell* value) {
    if (cell_type(value) == TYPE_UNSET) error::raise_expect_arg(TYPE_UNSET, uint32_t(position));
    return value;
}

Cell* get_word(const Cell* word) {
    Cell* value = context::get(word);
    if (cell_type(value) == TYPE_UNSET) fire(err::script::no_value, word);
    return value;
}

void set_word(Cell* word) {
    Cell value = *last_value();
    if (cell_type(&value) == TYPE_UNSET) fire(err::script::need_value, word);
    context::set(word, &value);
}

void set_word_drop(Cell* word) {
    set_word(word);
    stack::reset();
}

void set_context_slot(Node context, uint32_t index) { store_slot(context, index, true); }

void set_context_slot_drop(Node context, uint32_t index) {
    store_slot(context, index, true);
    stack::reset();
}

void set_context_slot_quiet(Node context, uint32_t index) {
    store_slot(context, index, false);
    Cell* context_cell = context::cell_of(context);
    if (context::kind_of(context_cell) == context::KIND_OBJECT)
        context::word_at(context_cell, index)->header |= context::WORD_ASSIGNED;
    stack::reset();
}

Cell* get_context_slot(Node context, uint32_t index) { return slot_of(context, index); }

void set_refinement_args(const Cell* refinement, uint32_t index, uint32_t count) {
    if (logic::value_true(refinement, false, nullptr)) {
        stack::arguments[index] = logic::true_constant;
        return;
    }
    for (uint32_t i = 1; i <= count; i++) stack::arguments[index + i] = none::constant;
}

void print_error(err::AnyId id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    stack::mark_native(fixed_words::word(fixed_words::Word::anon_tag));
    error::create(id, arg1, arg2, arg3);
    error::print(stack::arguments);
    make_unset(stack::arguments);
    stack::unwind();
}

// ---------------------------------------------------------------- switch

const Cell* switch_match(const Cell* key, const Cell* block, bool single_step) {
    if (cell_type(key) == TYPE_BLOCK) return nullptr;
    SeriesBuffer* b = series_buffer(block);
    const Cell* tail = b->cells_tail();
    uint32_t stride = single_step ? 1 : 2;
    for (const Cell* c = b->cells() + series_index(block); c < tail; c += stride) {
        if (cell_type(c) == cell_type(key) && actions::compare_values(c, key, actions::COMP_EQUAL) == 0)
            return c;
    }
    return nullptr;
}

const Cell* block_after(const Cell* block, const Cell* match) {
    const Cell* tail = series_buffer(block)->cells_tail();
    for (const Cell* c = match + 1; c < tail; ++c)
        if (cell_type(c) == TYPE_BLOCK) return c;
    return nullptr;
}

void switch_lookup(bool single_step, bool seek_block) {
    const Cell* block = stack::arguments + 1;
    const Cell* match = switch_match(stack::arguments, block, single_step);
    const Cell* answer = &none::constant;
    if (match && seek_block) {
        const Cell* found = block_after(block, match);
        if (found) answer = found;
    } else if (match) {
        answer = match + 1 < series_buffer(block)->cells_tail() ? match + 1 : match;
    }
    Cell copy = *answer;
    if (single_step) stack::push(&copy);
    else stack::set_last(&copy);
}

// ---------------------------------------------------------------- loading

const Cell* load_first_value(const Cell* string, Cell* block) {
    Cell source = *string;
    Cell scratch;
    make_unset(&scratch);
    uint32_t consumed = 0;
    lexer::scan_string(&scratch, &source, -1, {}, &consumed, block);
    if (consumed < string::rs_length(&source)) return &none::constant;
    if (block::rs_at_tail(block)) return make_unset(block);
    return block::rs_head(block);
}

const Cell* load_first_value_at_stack(const Cell* string) { return load_first_value(string, stack::arguments); }

// ---------------------------------------------------------------- calls and paths

Pending call_action_or_native(uint32_t index, bool native, uint32_t refinement_count,
                              const RefinementUse* uses, uint32_t use_count) {
    if (refinement_count > MAX_REFINEMENTS) fire(err::internal::not_done);
    std::array<int32_t, MAX_REFINEMENTS> slots;
    slots.fill(-1);
    for (uint32_t i = 0; i < use_count; ++i) {
        const RefinementUse& use = uses[i];
        if (logic::value_true(use.value, false, nullptr)) {
            slots[use.ordinal - 1] = int32_t(use.position);
            continue;
        }
        for (uint32_t c = 0; c < use.count; ++c) stack::arguments[use.position + c] = none::constant;
    }
    if (native) return natives::table[index](true, slots.data());
    actions::action_table[index](slots.data());
    return Pending::none;
}

namespace {

// Whether the last step of a set-path tells the value before the parent of
// the change: an object with change handlers reached through a word, or a
// block or path kind holding the parent.
bool notifies_owner(const Cell* grandparent, const Cell* head) {
    uint32_t type = cell_type(grandparent);
    if (type == TYPE_OBJECT) return object::event_record(grandparent) != Node::none && cell_type(head) == TYPE_WORD;
    return is_any_block(type);
}

}  // namespace

void eval_path(bool set, const Cell* path, const Cell* elements, uint32_t count) {
    Cell current = elements[0];
    if (cell_type(&current) == TYPE_WORD) current = *get_word(&elements[0]);
    Cell previous;
    make_unset(&previous);
    // The value to set is read before the steps are reserved: a caller may
    // hand it in the result cell with nothing pushed above.
    Cell assigned = *stack::arguments;
    Cell* start = stack::top;
    Cell* steps = set && count > 1 ? eval::reserve_path_steps(count - 1) : nullptr;
    for (uint32_t i = 1; i < count; ++i) {
        if (steps) {
            steps[2 * (i - 1)] = current;
            steps[2 * (i - 1) + 1] = elements[i];
        }
        bool last = i + 1 == count;
        const Cell* value = set && last ? &assigned : nullptr;
        bool notify = set && last && count >= 3 && notifies_owner(&previous, &elements[0]);
        Cell parent = current;
        const Cell* answer =
            actions::eval_path_typed(&parent, &elements[i],
                                     {.value = value, .path = path, .grandparent = i > 1 ? &previous : nullptr,
                                      .previous = &elements[i - 1], .index = int32_t(i - 1), .last = last,
                                      .notify = notify});
        current = *answer;
        previous = parent;
    }
    if (steps) eval::store_path_back(path, &elements[0], steps, count - 2, &previous, false);
    stack::top = start;
    stack::set_last(&current);
}

}  // namespace vek::compiled
