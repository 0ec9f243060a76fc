// Fields by path and by key: path access, select and put.
#include "runtime/core/fixed_words.h"
#include "runtime/core/flags.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/object/events.h"
#include "runtime/datatypes/object/internal.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/ownership.h"

namespace vek::object {

namespace {

// The unset! a missing field reads as in get mode.
const Cell unset_value = blank_cell(TYPE_UNSET);

bool is_self(const Cell* word) {
    return symbol::resolve(word::symbol(word)) == symbol::resolve(fixed_words::symbol(fixed_words::Sym::self));
}

// The field's index in the object's values, or -1. A word bound elsewhere is
// rebound to the field, so that the next walk of the same path finds it at
// once.
int32_t field_index(const Cell* object, Cell* element) {
    Node node = context_node(object);
    if (word::context(element) == node && int32_t(word::index(element)) >= 0) return int32_t(word::index(element));
    int32_t index = context::find_word(context::cell_of(node), word::symbol(element), true);
    if (index < 0) return -1;
    word::set_context(element, node);
    word::set_index(element, uint32_t(index));
    return index;
}

[[noreturn]] void raise_path(err::Id<Category::script> id, const Cell* path, const Cell* element) {
    fire(id, path ? path : &none::constant, element);
}

Cell* store(const Cell* object, uint32_t index, const Cell* element, const Cell* value) {
    Cell holder = *object;
    Cell new_value = *value;
    Cell old_value = get_values(&holder)[index];
    get_values(&holder)[index] = new_value;
    word_at(context_node(&holder), index)->header |= context::WORD_ASSIGNED;
    ownership::field_set(&holder, word_at(context_node(&holder), index), &old_value, get_values(&holder) + index);
    if (event_record(&holder) != Node::none) {
        Cell word = *element;
        set_type(&word, TYPE_WORD);
        fire_on_change(&holder, &word, &old_value, &new_value);
    }
    return get_values(&holder) + index;
}

}  // namespace

Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    if (!is_any_word(cell_type(element))) raise_path(err::script::invalid_path, args.path, element);
    // The element is a cell of the caller's own (the path walker's copy, an
    // argument cell), which the caller may keep the new binding of.
    Cell* selector = const_cast<Cell*>(element);
    int32_t index = field_index(parent, selector);
    if (args.value) {
        if (index < 0 || is_self(selector)) raise_path(err::script::invalid_path, args.path, element);
        return store(parent, uint32_t(index), selector, args.value);
    }
    if (index < 0 && is_self(selector)) return parent;
    Cell* found = index < 0 ? nullptr : get_values(parent) + index;
    if (found && cell_type(found) != TYPE_UNSET) return found;
    if (args.get && args.last) return const_cast<Cell*>(&unset_value);
    raise_path(args.last ? err::script::invalid_path : err::script::unset_path, args.path, element);
}

Cell* select(Cell* object, const Cell* key, const actions::SelectArgs&) {
    if (!is_any_word(cell_type(key))) {
        Cell type = datatype::cell(cell_type(key));
        fire(err::script::invalid_type, &type);
    }
    const Cell* value = get_field_value(object, key);
    *object = *value;
    return object;
}

Cell* put(Cell* object, const Cell* key, Cell* value, bool) {
    if (cell_type(key) != TYPE_WORD) {
        Cell type = datatype::cell(cell_type(key));
        fire(err::script::invalid_key_type, &type);
    }
    Cell selector = *key;
    Cell path = none::constant;
    eval_path(object, &selector, {.value = value, .path = &path, .last = true});
    return value;
}

}  // namespace vek::object
