#include "runtime/compiled.h"

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/fixed_words.h"
#include "runtime/stack.h"

namespace vek::compiled {

namespace {

[[noreturn]] void raise_expect_arg(uint32_t type, int32_t position) {
    Cell datatype{TYPE_DATATYPE, type, 0, 0};
    fire(Category::script, err::expect_arg, stack::current_function_word(), &datatype,
         error::get_arg_word(uint32_t(position)));
}

const Cell* last_value() { return stack::top > stack::arguments ? stack::top - 1 : stack::arguments; }

Cell* values_of(const Cell* context) {
    if (context->data2 == 0) return nullptr;
    if (context::on_stack(context)) return region::at<Cell>(Off(context->data2));
    return node_buffer(Node(context->data2))->cells();
}

Cell* slot_of(Node context, uint32_t index) {
    Cell* values = values_of(context::cell_of(context));
    if (!values) fire(Category::script, err::not_defined, context::word_at(context::cell_of(context), index));
    return values + index;
}

void store_slot(Node context, uint32_t index, bool check) {
    Cell value = *last_value();
    if (check && cell_type(&value) == TYPE_UNSET)
        fire(Category::script, err::need_value, context::word_at(context::cell_of(context), index));
    *slot_of(context, index) = value;
}

}  // namespace

const Cell* check_arg_type(const Cell* typeset, int32_t position, const Cell* value) {
    if (!typeset::contains(typeset, cell_type(value))) raise_expect_arg(cell_type(value), position);
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
    if (cell_type(value) == TYPE_UNSET) raise_expect_arg(TYPE_UNSET, position);
    return value;
}

Cell* get_word(const Cell* word) {
    Cell* value = context::get(word);
    if (cell_type(value) == TYPE_UNSET) fire(Category::script, err::no_value, word);
    return value;
}

void set_word(Cell* word) {
    Cell value = *last_value();
    if (cell_type(&value) == TYPE_UNSET) fire(Category::script, err::need_value, word);
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

void print_error(Category category, uint32_t id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    stack::mark_native(fixed_words::word(fixed_words::Word::anon_tag));
    error::create(category, id, arg1, arg2, arg3);
    error::print(stack::arguments);
    make_unset(stack::arguments);
    stack::unwind();
}

}  // namespace vek::compiled
