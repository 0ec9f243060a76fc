#include "runtime/datatypes/object/events.h"

#include <array>

#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/sockets.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/ownership.h"

namespace vek::object {

namespace {

using fixed_words::Word;

// The record's cells, one per handler.
enum Handler : uint32_t { ON_CHANGE = 0, ON_DEEP_CHANGE = 1, HANDLERS = 2 };

constexpr Word HANDLER_WORDS[HANDLERS] = {Word::on_change, Word::on_deep_change};

int32_t handler_index(Node record, Handler handler) {
    return integer::get(node_buffer(record)->cells() + handler);
}

int32_t find_handler(Node context, Handler handler) {
    const Cell* name = fixed_words::word(HANDLER_WORDS[handler]);
    return context::find_word(context::cell_of(context), word::symbol(name), true);
}

Cell* field_value(Node context, int32_t index) { return context::values_base(context::cell_of(context)) + index; }

void check_handler_field(Node context, int32_t index) {
    if (index < 0) return;
    uint32_t type = cell_type(field_value(context, index));
    if (type == TYPE_FUNCTION || type == TYPE_ROUTINE) return;
    Cell word = *context::word_at(context::cell_of(context), uint32_t(index));
    Cell datatype = datatype::cell(type);
    fire(err::script::bad_field_set, &word, &datatype);
}

// ---------------------------------------------------------------- calling a handler

// Runs the handler on the values and drops its result. A return or exit in
// it ends the handler; a break or continue, which cannot be handed back
// through the change that fired it, goes on as an exception. A handler that
// sets the field it hears of, directly or through other handlers, nests one
// call per change: the evaluator's depth checks end that with internal
// stack-overflow.
template <size_t N>
void run_handler(const Cell* function, Handler handler, const std::array<Cell, N>& values,
                 eval::CallbackClass callback) {
    Cell called = *function;
    const Cell* name = fixed_words::word(HANDLER_WORDS[handler]);
    Cell* saved_top = stack::top;
    eval::push_callback_call(&called, name, values.data(), N);
    eval::raise_pending(eval::call_function(&called, name, callback));
    stack::unwind_function_drop();
    stack::top = saved_top;
}

// The word a handler hears: a word! bound to the object, whatever kind of
// word made the change.
Cell field_word_for(const Cell* word, Node context) {
    Cell heard = *word;
    set_type(&heard, TYPE_WORD);
    if (word::context(&heard) != context) context::bind_word(context::cell_of(context), &heard);
    return heard;
}

// ---------------------------------------------------------------- set on an object

// What the field at index i takes from the value: false when it keeps its
// own (an object source without that field).
bool value_for_field(Node context, uint32_t i, const Cell* value, bool spread, Cell* out) {
    if (!spread) {
        *out = *value;
        return true;
    }
    if (cell_type(value) == TYPE_OBJECT) {
        const Cell* found = find_field(value, word::symbol(context::word_at(context::cell_of(context), i)));
        if (!found) return false;
        *out = *found;
        return true;
    }
    uint32_t position = series_index(value) + i;
    SeriesBuffer* buffer = series_buffer(value);
    *out = position < buffer->length() ? buffer->cells()[position] : none::constant;
    return true;
}

bool is_handler_field(Node record, uint32_t i) {
    return record != Node::none &&
           (handler_index(record, ON_CHANGE) == int32_t(i) || handler_index(record, ON_DEEP_CHANGE) == int32_t(i));
}

// Every value bound for a field is checked before any field changes.
void refuse_unset(Node context, Node record, const Cell* value, bool spread, uint32_t count) {
    for (uint32_t i = 0; i < count; i++) {
        Cell taken;
        if (is_handler_field(record, i) || !value_for_field(context, i, value, spread, &taken)) continue;
        if (cell_type(&taken) != TYPE_UNSET) continue;
        Cell word = *context::word_at(context::cell_of(context), i);
        fire(err::script::need_value, &word);
    }
}

void set_field(const Cell* object, uint32_t i, const Cell* value) {
    Node context = context_node(object);
    Cell word = *context::word_at(context::cell_of(context), i);
    Cell* slot = field_value(context, int32_t(i));
    Cell old_value = *slot;
    *slot = *value;
    ownership::field_set(object, &word, &old_value, slot);
    fire_on_change(object, &word, &old_value, value);
}

// ---------------------------------------------------------------- sockets

bool notify_owner(const Cell* owner, const Cell* field_word, const Cell* value, const Cell* action,
                  const Cell* new_value, int32_t index, int32_t part) {
    if (!is_any_object(cell_type(owner)) || event_record(owner) == Node::none) return false;
    fire_on_deep_change(owner, field_word, value, action, new_value, index, part);
    return true;
}

}  // namespace

// ---------------------------------------------------------------- the record

Node make_event_record(Node context) {
    int32_t change_index = find_handler(context, ON_CHANGE);
    int32_t deep_index = find_handler(context, ON_DEEP_CHANGE);
    if (change_index < 0 && deep_index < 0) return Node::none;
    check_handler_field(context, change_index);
    check_handler_field(context, deep_index);
    return build_event_record(change_index, deep_index);
}

Node build_event_record(int32_t change_index, int32_t deep_index) {
    Node record = memory::alloc_cells(HANDLERS);
    SeriesBuffer* buffer = node_buffer(record);
    integer::make_at(buffer->cells() + ON_CHANGE, change_index);
    integer::make_at(buffer->cells() + ON_DEEP_CHANGE, deep_index);
    buffer->tail = buffer->offset + HANDLERS * uint32_t(sizeof(Cell));
    return record;
}

bool has_deep_handler(const Cell* object) {
    Node record = event_record(object);
    return record != Node::none && handler_index(record, ON_DEEP_CHANGE) >= 0;
}

void init_events(Cell* object) {
    Node context = context_node(object);
    set_event_record(object, make_event_record(context));
    *context::owner_of(context) = *object;
    if (!has_deep_handler(object)) return;
    Cell owner = *object;
    ownership::set_owner(&owner, &owner, fixed_words::word(Word::on_deep_change));
}

// ---------------------------------------------------------------- firing

void fire_on_change(const Cell* object, const Cell* word, const Cell* old_value, const Cell* new_value) {
    Node record = event_record(object);
    if (record == Node::none) return;
    int32_t index = handler_index(record, ON_CHANGE);
    if (index < 0) return;
    Node context = context_node(object);
    Cell handler = *field_value(context, index);
    if (cell_type(&handler) != TYPE_FUNCTION) fire(err::script::invalid_obj_evt, &handler);
    std::array<Cell, 3> values{field_word_for(word, context), *old_value, *new_value};
    run_handler(&handler, ON_CHANGE, values, eval::CALL_CHANGE);
}

void fire_on_deep_change(const Cell* owner, const Cell* word, const Cell* target, const Cell* action,
                         const Cell* new_value, int32_t index, int32_t part) {
    Node record = event_record(owner);
    if (record == Node::none) fire(err::script::invalid_obj_evt, owner);
    int32_t handler_at = handler_index(record, ON_DEEP_CHANGE);
    if (handler_at < 0) return;
    Cell handler = *field_value(context_node(owner), handler_at);
    if (cell_type(&handler) != TYPE_FUNCTION) return;
    std::array<Cell, 7> values{*owner, *word, *target, *action,
                               new_value ? *new_value : none::constant,
                               integer::cell(index), integer::cell(part)};
    run_handler(&handler, ON_DEEP_CHANGE, values, eval::CALL_DEEP_CHANGE);
}

// ---------------------------------------------------------------- set

void set_many(const Cell* object, const Cell* value, SetFlags flags) {
    Cell target = *object;
    Cell source = *value;
    Node context = context_node(&target);
    Node record = event_record(&target);
    uint32_t source_type = cell_type(&source);
    bool spread = !flags.only && (source_type == TYPE_BLOCK || source_type == TYPE_OBJECT);
    uint32_t count = field_count(&target);
    if (!flags.any) refuse_unset(context, record, &source, spread, count);
    for (uint32_t i = 0; i < count; i++) {
        Cell taken;
        if (is_handler_field(record, i) || !value_for_field(context, i, &source, spread, &taken)) continue;
        if (flags.some && cell_type(&taken) == TYPE_NONE) continue;
        set_field(&target, i, &taken);
    }
}

void init_event_sockets() {
    sockets::on_change = fire_on_change;
    sockets::notify_owner = notify_owner;
}

}  // namespace vek::object
