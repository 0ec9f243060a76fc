// Reflection on objects and the modify action: what reflect tells of an
// object, and the assigned marks and ownership that modify changes.
#include "runtime/core/fixed_words.h"
#include "runtime/core/flags.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/internal.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "runtime/tables/ownership.h"

namespace vek::object {

namespace {

using fixed_words::Sym;

uint32_t resolved(uint32_t symbol_id) { return symbol::resolve(symbol_id); }
bool names(uint32_t field, Sym s) { return field == resolved(fixed_words::symbol(s)); }
bool names(uint32_t field, fixed_words::Word w) {
    return field == resolved(word::symbol(fixed_words::word(w)));
}

// The field's word entry as a plain word! bound to the object: without the
// assigned mark and the new-line flag.
Cell field_word(Node context, uint32_t index, uint32_t type) {
    Cell word = *word_at(context, index);
    word.header = type;
    return word;
}

// A new block of the object's words, only the assigned ones when changed.
Cell words_block(const Cell* object, bool changed) {
    Cell holder = *object;
    Node node = context_node(&holder);
    Cell block;
    block::make_at(make_unset(&block), int32_t(field_count(&holder)));
    for (uint32_t i = 0; i < field_count(&holder); i++) {
        if (changed && !(word_at(node, i)->header & context::WORD_ASSIGNED)) continue;
        Cell word = field_word(node, i, TYPE_WORD);
        block::rs_append(&block, &word);
    }
    return block;
}

Cell values_block(const Cell* object) {
    Node values = context::values_node(context::cell_of(context_node(object)));
    return series_cell(TYPE_BLOCK, series::copy_part(values, 0, field_count(object)));
}

// How body shows a value: a word! as a lit-word!, a path! as a lit-path!.
Cell body_value(const Cell* value) {
    Cell shown = *value;
    shown.header &= ~CELL_NEW_LINE;
    if (cell_type(&shown) == TYPE_WORD) set_type(&shown, TYPE_LIT_WORD);
    if (cell_type(&shown) == TYPE_PATH) set_type(&shown, TYPE_LIT_PATH);
    return shown;
}

// set-word/value pairs, each set-word on a new line.
Cell body_block(const Cell* object) {
    Cell holder = *object;
    Node node = context_node(&holder);
    Cell block;
    block::make_at(make_unset(&block), int32_t(field_count(&holder) * 2));
    for (uint32_t i = 0; i < field_count(&holder); i++) {
        Cell word = field_word(node, i, TYPE_SET_WORD | CELL_NEW_LINE);
        block::rs_append(&block, &word);
        Cell value = body_value(get_values(&holder) + i);
        block::rs_append(&block, &value);
    }
    return block;
}

bool is_owner(const Cell* object) {
    return (context::cell_of(context_node(object))->header & ownership::CONTEXT_IS_OWNER) != 0;
}

// The object becomes the owner of the series its fields hold.
void own_values(const Cell* object) {
    Cell holder = *object;
    Node node = context_node(&holder);
    for (uint32_t i = 0; i < field_count(&holder); i++) {
        Cell word = *word_at(node, i);
        ownership::set_owner(get_values(&holder) + i, &holder, &word);
    }
    context::cell_of(node)->header |= ownership::CONTEXT_IS_OWNER;
}

// owned: none! unbinds the object from its owner; [owner-object field-word]
// records that object's field as its owner.
void set_owned(Cell* object, const Cell* value) {
    if (cell_type(value) == TYPE_NONE) {
        ownership::unbind(object);
        return;
    }
    bool pair = cell_type(value) == TYPE_BLOCK && block::length_from_head(value) >= 2;
    Cell owner = pair ? series_buffer(value)->cells()[series_index(value)] : none::constant;
    Cell word = pair ? series_buffer(value)->cells()[series_index(value) + 1] : none::constant;
    if (cell_type(&owner) != TYPE_OBJECT || !is_any_word(cell_type(&word))) fire(err::script::invalid_arg, value);
    ownership::set_owner(object, &owner, &word);
}

}  // namespace

void reflect(Cell* object, uint32_t field) {
    uint32_t f = resolved(field);
    Cell answer;
    if (names(f, Sym::words))
        answer = words_block(object, false);
    else if (names(f, fixed_words::Word::changed))
        answer = words_block(object, true);
    else if (names(f, Sym::values))
        answer = values_block(object);
    else if (names(f, Sym::body))
        answer = body_block(object);
    else if (names(f, Sym::class_))
        integer::make_at(&answer, int32_t(class_id(object)));
    else if (names(f, Sym::owner))
        answer = *logic::constant(is_owner(object));
    else if (names(f, Sym::events_q))
        answer = *logic::constant(event_record(object) != Node::none);
    else
        fire(err::internal::not_done);
    *object = answer;
}

Cell* modify(Cell* object, const Cell* field, const Cell* value, bool) {
    uint32_t f = is_all_word(cell_type(field)) ? resolved(word::symbol(field)) : 0;
    if (names(f, fixed_words::Word::changed)) {
        if (cell_type(value) != TYPE_NONE) fire(err::script::invalid_arg, value);
        clear_changed_marks(context_node(object));
    } else if (names(f, Sym::owner)) {
        own_values(object);
    } else if (names(f, Sym::owned)) {
        set_owned(object, value);
    } else {
        fire(err::internal::not_done);
    }
    *object = *value;
    return object;
}

}  // namespace vek::object
