#include "runtime/natives/words.h"

#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/natives/helpers.h"
#include "runtime/natives/natives.h"

namespace vek::natives {

namespace {

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

}  // namespace

// ---------------------------------------------------------------- types

Pending type_q(bool, const int32_t* refinements) {
    Cell* args = stack::arguments;
    uint32_t type = cell_type(args);
    uint32_t name = registry::name_table[type].word;
    if (present(refinements, 0) && name != 0) {
        *args = blank_cell(TYPE_UNSET);
        word::make_at(name, args);
    } else {
        *args = datatype::cell(type);
    }
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
    Cell nothing = blank_cell(TYPE_UNSET);
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

// ---------------------------------------------------------------- objects

// block /with object /only: the object made from the unevaluated block.
Pending construct(bool, const int32_t* refinements) {
    Cell* args = stack::arguments;
    bool with = refinements[0] >= 0;
    // Its arguments name no types: the evaluator has checked nothing either.
    check_arg(0, type_bit(TYPE_BLOCK));
    if (with) check_arg(refinements[0], type_bit(TYPE_OBJECT));
    object::construct(args, args, with ? args + refinements[0] : nullptr, refinements[1] >= 0);
    return Pending::none;
}

}  // namespace vek::natives
