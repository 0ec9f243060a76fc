// port!: making ports from schemes, their text forms, and the hand-over of
// the series and I/O actions to the actor's functions.
#include "runtime/datatypes/object/port.h"

#include <array>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/args_cache.h"
#include "runtime/eval/evaluator.h"

namespace vek::port {

namespace {

using actions::FindArgs;
using actions::SelectArgs;
using actions::SortArgs;
using actions::TrimArgs;
using registry::Slot;

// The fields a port uses, first in system/standard/port.
constexpr uint32_t FIELD_SPEC = 0;
constexpr uint32_t FIELD_SCHEME = 1;
constexpr uint32_t FIELD_ACTOR = 2;
constexpr uint32_t USED_FIELDS = 3;

// The action words by slot, from the one list of actions.
constexpr std::array<const char*, registry::ACTION_SLOTS> ACTION_WORDS = {
#define X(slot, NAME, word, entry, arguments) word,
#include "runtime/actions/actions.def"
#undef X
};

Cell word_of(const char* name) {
    Cell word{};
    word::make_at(symbol::make(name), &word);
    return word;
}

// ---------------------------------------------------------------- calling the actor

// The most values a forwarded action hands over: find's port, value and
// fourteen refinement cells.
constexpr uint32_t MAX_VALUES = 16;

// Pushes the call of the function laid out from the values: arguments and
// refinement slots take the values in order (none! and false past their
// end; a refinement slot gets the value's truth, so that an actor whose
// spec differs from the action's still finds a logic! there), then come the
// locals. An argument of a type the function refuses raises script
// expect-arg.
void push_call(const Cell* function, const Cell* name, const Cell* values, uint32_t count) {
    Node cache = eval::args_cache(function);
    stack::push_call_frame(name, function::context_node(function));
    uint32_t given = 0;
    for (uint32_t i = 0; i < node_buffer(cache)->length(); i++) {
        const Cell entry = node_buffer(cache)->cells()[i];
        switch (cell_type(&entry)) {
        case TYPE_TYPESET: {
            if (eval::arg_mode(&entry) == eval::ARG_RETURN) break;
            const Cell* value = given < count ? &values[given++] : &none::constant;
            if (!typeset::contains(&entry, cell_type(value))) {
                Cell type = datatype::cell(cell_type(value));
                fire(err::script::expect_arg, name, &type, eval::push_spec_word(function, i));
            }
            stack::push(value);
            break;
        }
        case TYPE_REFINEMENT:
            logic::push(given < count && !logic::is_false(&values[given++]));
            break;
        case TYPE_INTEGER: function::init_locals(integer::get(&entry)); break;
        default: break;
        }
    }
}

// The values of one forwarded action, built in the order of the action's
// spec: the port, its other arguments, then per refinement its flag and
// any argument. They live in this record on the C++ stack, where the
// collector sees them.
class ActorCall {
public:
    explicit ActorCall(const Cell* port) { value(port); }

    ActorCall& value(const Cell* value) {
        values_[count_++] = *value;
        return *this;
    }
    ActorCall& flag(bool on) { return value(logic::constant(on)); }
    // A refinement with one argument: its flag, then the argument or none!.
    ActorCall& refinement(const Cell* argument) {
        flag(argument != nullptr);
        return value(argument != nullptr ? argument : &none::constant);
    }
    // A refinement whose argument arrives as a count, given when used.
    ActorCall& counted(bool used, int32_t count) {
        Cell number = integer::cell(count);
        return refinement(used ? &number : nullptr);
    }

    // Calls the actor's function of the slot's action with the values and
    // answers its result.
    Cell run(uint32_t slot) const;

private:
    std::array<Cell, MAX_VALUES> values_{};
    uint32_t count_ = 0;
};

// The actor's function for the action, checked.
Cell actor_function(const Cell* port, const Cell* name) {
    if (object::field_count(port) <= FIELD_ACTOR) fire(err::access::invalid_port);
    Cell actor = object::get_values(port)[FIELD_ACTOR];
    if (cell_type(&actor) != TYPE_OBJECT) fire(err::access::invalid_port);
    const Cell* field = object::find_field(&actor, word::symbol(name));
    if (field == nullptr || cell_type(field) != TYPE_FUNCTION) fire(err::access::no_port_action, name);
    return *field;
}

Cell ActorCall::run(uint32_t slot) const {
    Cell name = word_of(ACTION_WORDS[slot - 1]);
    Cell function = actor_function(&values_[0], &name);
    Cell* saved_top = stack::top;
    push_call(&function, &name, values_.data(), count_);
    eval::raise_pending(eval::call_function(&function, &name, eval::CALL_PORT));
    Cell result = *stack::arguments;
    stack::unwind_function_drop();
    stack::top = saved_top;
    return result;
}

// The answer of a forwarded action written into its result cell.
Cell* answer(Cell* result, const ActorCall& call, uint32_t slot) {
    Cell value = call.run(slot);
    return copy_cell(&value, result);
}

// ---------------------------------------------------------------- series actions

// at, back, head, head?, index?, next, skip, tail, tail?: the operands are
// the current call's arguments; the port and, when the action takes one,
// its index or offset.
template <Slot slot, uint32_t operands>
void navigate() {
    ActorCall call(stack::arguments);
    if constexpr (operands == 2) call.value(stack::arguments + 1);
    answer(stack::arguments, call, slot);
}

// append and insert: part is a count (-1: none), dup at least 1.
void insert(Cell* port, Cell* value, int32_t part, bool only, int32_t dup, bool append) {
    ActorCall call(port);
    call.value(value).counted(part >= 0, part).flag(only).counted(dup > 1, dup);
    answer(port, call, append ? registry::SLOT_APPEND : registry::SLOT_INSERT);
}

void change(Cell* port, Cell* value, int32_t part, bool only, int32_t dup) {
    ActorCall call(port);
    call.value(value).counted(part >= 0, part).flag(only).counted(dup > 1, dup);
    answer(port, call, registry::SLOT_CHANGE);
}

template <Slot slot>
void port_only(Cell* port) {
    answer(port, ActorCall(port), slot);
}

Cell* copy(Cell* port, Cell* result, const Cell* part, bool deep, const Cell* kind) {
    ActorCall call(port);
    call.refinement(part).flag(deep).refinement(kind);
    return answer(result, call, registry::SLOT_COPY);
}

Cell* find(Cell* port, const Cell* value, const FindArgs& args) {
    ActorCall call(port);
    call.value(value).refinement(args.part).flag(args.only).flag(args.case_sensitive)
        .flag(args.same).flag(args.any).refinement(args.wild).refinement(args.skip)
        .flag(args.last).flag(args.reverse).flag(args.tail).flag(args.match);
    return answer(port, call, registry::SLOT_FIND);
}

int32_t length_q(const Cell* port) {
    Cell result = ActorCall(port).run(registry::SLOT_LENGTH_Q);
    if (cell_type(&result) != TYPE_INTEGER || integer::get(&result) < 0)
        fire(err::script::invalid_arg, &result);
    return integer::get(&result);
}

Cell* move(Cell* port, Cell* target, const Cell* part) {
    ActorCall call(port);
    call.value(target).refinement(part);
    return answer(port, call, registry::SLOT_MOVE);
}

Cell* pick(Cell* port, int32_t, const Cell* index) {
    ActorCall call(port);
    call.value(index);
    return answer(port, call, registry::SLOT_PICK);
}

Cell* poke(Cell* port, int32_t, Cell* value, const Cell* index) {
    ActorCall call(port);
    call.value(index).value(value);
    return answer(port, call, registry::SLOT_POKE);
}

Cell* put(Cell* port, const Cell* key, Cell* value, bool case_sensitive) {
    ActorCall call(port);
    call.value(key).value(value).flag(case_sensitive);
    return answer(port, call, registry::SLOT_PUT);
}

void remove(Cell* port, const Cell* part, const Cell*) {
    ActorCall call(port);
    call.refinement(part);
    answer(port, call, registry::SLOT_REMOVE);
}

void reverse(Cell* port, const Cell* part, const Cell*) {
    ActorCall call(port);
    call.refinement(part);
    answer(port, call, registry::SLOT_REVERSE);
}

Cell* select(Cell* port, const Cell* value, const SelectArgs& args) {
    ActorCall call(port);
    call.value(value).refinement(args.part).flag(args.only).flag(args.case_sensitive)
        .flag(args.same).flag(args.any).refinement(args.wild).refinement(args.skip)
        .flag(args.last).flag(args.reverse);
    return answer(port, call, registry::SLOT_SELECT);
}

Cell* sort(Cell* port, const SortArgs& args) {
    ActorCall call(port);
    call.flag(args.case_sensitive).refinement(args.skip).refinement(args.comparator)
        .refinement(args.part).flag(args.all).flag(args.reverse).flag(args.stable);
    return answer(port, call, registry::SLOT_SORT);
}

void swap(Cell* port, Cell* series) {
    ActorCall call(port);
    call.value(series);
    answer(port, call, registry::SLOT_SWAP);
}

Cell* take(Cell* port, const Cell* part, bool deep, bool last) {
    ActorCall call(port);
    call.refinement(part).flag(deep).flag(last);
    return answer(port, call, registry::SLOT_TAKE);
}

void trim(Cell* port, const TrimArgs& args) {
    ActorCall call(port);
    call.flag(args.head).flag(args.tail).flag(args.auto_).flag(args.lines).flag(args.all)
        .refinement(args.with);
    answer(port, call, registry::SLOT_TRIM);
}

// ---------------------------------------------------------------- I/O actions

template <Slot slot>
Cell* port_action(Cell* port) {
    return answer(port, ActorCall(port), slot);
}

Cell* modify(Cell* port, const Cell* field, const Cell* value, bool case_sensitive) {
    ActorCall call(port);
    call.value(field).value(value).flag(case_sensitive);
    return answer(port, call, registry::SLOT_MODIFY);
}

ActorCall open_call(const Cell* port, const actions::OpenArgs& args) {
    ActorCall call(port);
    call.flag(args.new_).flag(args.read).flag(args.write).flag(args.seek).refinement(args.allow);
    return call;
}

Cell* open(Cell* port, const actions::OpenArgs& args) {
    return answer(port, open_call(port, args), registry::SLOT_OPEN);
}

Cell* rename(Cell* port, const Cell* to) {
    ActorCall call(port);
    call.value(to);
    return answer(port, call, registry::SLOT_RENAME);
}

// copy with the /part argument, between the open before and the close
// after; what copy answered is the result.
Cell* copy_and_close(Cell* port, const Cell* part) {
    ActorCall copying(port);
    copying.refinement(part).flag(false).refinement(nullptr);
    Cell data = copying.run(registry::SLOT_COPY);
    ActorCall(port).run(registry::SLOT_CLOSE);
    return copy_cell(&data, port);
}

// The port opened (with /seek when seek is given), then read with copy and
// closed.
Cell* read(Cell* port, const actions::ReadArgs& args) {
    open_call(port, {.seek = args.seek != nullptr}).run(registry::SLOT_OPEN);
    return copy_and_close(port, args.part);
}

// The port opened for writing, the data inserted (an integer! /part as the
// count), then copy and close as for read.
Cell* write(Cell* port, const Cell* data, const actions::WriteArgs& args) {
    open_call(port, {.write = true, .seek = args.seek != nullptr}).run(registry::SLOT_OPEN);
    bool counted = args.part != nullptr && cell_type(args.part) == TYPE_INTEGER;
    ActorCall inserting(port);
    inserting.value(data).counted(counted, counted ? integer::get(args.part) : -1).flag(false)
        .counted(false, 0);
    inserting.run(registry::SLOT_INSERT);
    return copy_and_close(port, args.part);
}

// ---------------------------------------------------------------- making ports

// The library function of that name called with the one argument; its
// result.
Cell call_library(const char* name, const Cell* argument) {
    Cell word = word_of(name);
    Cell function = *context::get_global_cell(word::symbol(&word));
    if (cell_type(&function) != TYPE_FUNCTION) fire(err::script::no_value, &word);
    Cell* saved_top = stack::top;
    push_call(&function, &word, argument, 1);
    eval::raise_pending(eval::call_function(&function, &word, eval::CALL_EVALUATOR));
    Cell result = *stack::arguments;
    stack::unwind_function_drop();
    stack::top = saved_top;
    return result;
}

// The spec object for the description the port is made from, written into the cell.
void make_spec_object(Cell* cell, const Cell* description) {
    switch (cell_type(description)) {
    case TYPE_OBJECT:
        object::copy_into(description, cell);
        return;
    case TYPE_URL:
        *cell = call_library("decode-url", description);
        if (cell_type(cell) != TYPE_OBJECT) fire(err::access::no_scheme, description);
        return;
    default: {
        const Cell* parts = system_fields::standard_url_parts();
        if (parts == nullptr) fire(err::access::invalid_spec, description);
        *cell = *parts;
        object::make(cell, description, TYPE_OBJECT);
        return;
    }
    }
}

// The scheme registered under the name, or nullptr: system/schemes pairs
// each name with its scheme.
const Cell* find_scheme(const Cell* name) {
    const Cell* schemes = system_fields::schemes();
    if (schemes == nullptr) return nullptr;
    uint32_t wanted = symbol::resolve(word::symbol(name));
    SeriesBuffer* buffer = series_buffer(schemes);
    for (uint32_t i = series_index(schemes); i + 1 < buffer->length(); i += 2) {
        const Cell* entry = buffer->cells() + i;
        if (is_any_word(cell_type(entry)) && symbol::resolve(word::symbol(entry)) == wanted)
            return entry + 1;
    }
    return nullptr;
}

// A copy of system/standard/port, stamped as a port!, written into the cell.
void make_port_cell(Cell* cell, const Cell* description) {
    const Cell* prototype = system_fields::standard_port();
    if (prototype == nullptr || object::field_count(prototype) < USED_FIELDS)
        fire(err::access::invalid_spec, description);
    object::copy_into(prototype, cell);
    Node context = object::context_node(cell);
    *cell = object::cell(TYPE_PORT, context, CLASS_ID, object::event_record(cell));
    *context::owner_of(context) = *cell;
}

Cell* make(Cell* result, const Cell* spec_value, uint32_t) {
    Cell* saved_top = stack::top;
    Cell* description = stack::push(spec_value);
    Cell* spec_object = make_unset(stack::push_cell());
    make_spec_object(spec_object, description);
    if (object::field_count(spec_object) == 0 || cell_type(object::get_values(spec_object)) != TYPE_WORD)
        fire(err::access::no_scheme, description);
    Cell scheme_name = *object::get_values(spec_object);
    Cell* port = make_unset(stack::push_cell());
    make_port_cell(port, description);
    object::get_values(port)[FIELD_SPEC] = *spec_object;
    object::get_values(port)[FIELD_SCHEME] = scheme_name;
    const Cell* found = find_scheme(&scheme_name);
    if (found == nullptr || cell_type(found) != TYPE_OBJECT) fire(err::access::unknown_scheme, description);
    Cell scheme = *found;  // interning the field's name may move system/schemes
    const Cell* actor = object::find_field(&scheme, symbol::make("actor"));
    if (actor == nullptr || (cell_type(actor) != TYPE_OBJECT && cell_type(actor) != TYPE_HANDLE))
        fire(err::access::invalid_actor, description);
    object::get_values(port)[FIELD_ACTOR] = *actor;
    copy_cell(port, result);
    stack::top = saved_top;
    return result;
}

// ---------------------------------------------------------------- text forms

// Both forms give the construction text with the fields as mold writes an
// object's.
void mold(const Cell* port, text::Sink& out, bool only) { object::mold_as("make port! [", port, out, only); }
void form(const Cell* port, text::Sink& out) { mold(port, out, false); }

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_PORT, Row()
        .set<SLOT_MAKE>(make)
        .inherit<SLOT_REFLECT>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_EVAL_PATH>()
        .inherit<SLOT_COMPARE>()
        .set<SLOT_APPEND>(insert)
        .set<SLOT_AT>(navigate<SLOT_AT, 2>)
        .set<SLOT_BACK>(navigate<SLOT_BACK, 1>)
        .set<SLOT_CHANGE>(change)
        .set<SLOT_CLEAR>(port_only<SLOT_CLEAR>)
        .set<SLOT_COPY>(copy)
        .set<SLOT_FIND>(find)
        .set<SLOT_HEAD>(navigate<SLOT_HEAD, 1>)
        .set<SLOT_HEAD_Q>(navigate<SLOT_HEAD_Q, 1>)
        .set<SLOT_INDEX_Q>(navigate<SLOT_INDEX_Q, 1>)
        .set<SLOT_INSERT>(insert)
        .set<SLOT_LENGTH_Q>(length_q)
        .set<SLOT_MOVE>(move)
        .set<SLOT_NEXT>(navigate<SLOT_NEXT, 1>)
        .set<SLOT_PICK>(pick)
        .set<SLOT_POKE>(poke)
        .set<SLOT_PUT>(put)
        .set<SLOT_REMOVE>(remove)
        .set<SLOT_REVERSE>(reverse)
        .set<SLOT_SELECT>(select)
        .set<SLOT_SORT>(sort)
        .set<SLOT_SKIP>(navigate<SLOT_SKIP, 2>)
        .set<SLOT_SWAP>(swap)
        .set<SLOT_TAIL>(navigate<SLOT_TAIL, 1>)
        .set<SLOT_TAIL_Q>(navigate<SLOT_TAIL_Q, 1>)
        .set<SLOT_TAKE>(take)
        .set<SLOT_TRIM>(trim)
        .set<SLOT_CREATE>(port_action<SLOT_CREATE>)
        .set<SLOT_CLOSE>(port_action<SLOT_CLOSE>)
        .set<SLOT_DELETE>(port_action<SLOT_DELETE>)
        .set<SLOT_MODIFY>(modify)
        .set<SLOT_OPEN>(open)
        .set<SLOT_QUERY>(port_action<SLOT_QUERY>)
        .set<SLOT_READ>(read)
        .set<SLOT_RENAME>(rename)
        .set<SLOT_UPDATE>(port_action<SLOT_UPDATE>)
        .set<SLOT_WRITE>(write));
}

}  // namespace vek::port
