// event!: making events from a spec, reading their fields by path and pick,
// setting their type, comparing, forming and molding.
#include "runtime/datatypes/event.h"

#include <array>
#include <iterator>

#include "runtime/actions/dispatch.h"
#include "runtime/core/registry.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/sockets.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/core/stack.h"
#include "runtime/memory/image_state.h"

namespace vek::event {

namespace {

constexpr uint32_t FLAG_COUNT = std::size(FLAG_NAMES);

// The symbols of the words the datatype compares, interned by init: plain
// numbers, nothing for the collector.
struct Words {
    std::array<uint32_t, TYPE_COUNT + 1> types{};  // by type id, as spelt in event_types.def
    std::array<uint32_t, FLAG_COUNT> flags{};      // in FLAG_NAMES order
    std::array<uint32_t, FIELD_COUNT + 1> fields{};  // by field number, resolved
};
Words words;

constexpr const char* TYPE_WORDS[TYPE_COUNT + 1] = {
    nullptr,
#define VEK_EVENT_TYPE(NAME, id, word) word,
#include "runtime/datatypes/event_types.def"
#undef VEK_EVENT_TYPE
};

using fixed_words::Sym;
constexpr Sym FIELD_SYMBOLS[FIELD_COUNT] = {
    Sym::type,       Sym::face,       Sym::window,     Sym::offset,     Sym::key,
    Sym::picked,     Sym::flags,      Sym::away_q,     Sym::down_q,     Sym::mid_down_q,
    Sym::alt_down_q, Sym::aux_down_q, Sym::ctrl_q,     Sym::shift_q,    Sym::orientation,
};

// The made event's cells, by their place in its block.
enum Slot : uint32_t { SLOT_FACE, SLOT_WINDOW, SLOT_OFFSET, SLOT_PICKED, SLOT_COUNT };

uint32_t resolved(const Cell* word) { return symbol::resolve(word::symbol(word)); }

// The field a word names, 0 for none.
uint32_t field_of(const Cell* word) {
    uint32_t name = resolved(word);
    for (uint32_t n = 1; n <= FIELD_COUNT; n++)
        if (words.fields[n] == name) return n;
    return 0;
}

uint32_t flag_of(const Cell* word) {
    uint32_t name = resolved(word);
    for (uint32_t i = 0; i < FLAG_COUNT; i++)
        if (symbol::resolve(words.flags[i]) == name) return FLAG_NAMES[i].bit;
    return 0;
}

// The type id a word names; raises script not-event-type with the word
// when it names none.
uint32_t required_type(const Cell* word) {
    uint32_t id = type_of_word(word);
    if (id == 0) fire(err::script::not_event_type, word);
    return id;
}

Cell none_cell() { return blank_cell(TYPE_NONE); }

// ---------------------------------------------------------------- make

// A word or get-word bound to a context stands for its value there.
const Cell* spec_value(const Cell* value) {
    uint32_t type = cell_type(value);
    if ((type == TYPE_WORD || type == TYPE_GET_WORD) && word::context(value) != Node::none)
        return context::get(value);
    return value;
}

// What a spec gives, before it becomes an event.
struct Spec {
    uint32_t type = 0;
    uint32_t bits = 0;
    std::array<Cell, SLOT_COUNT> slots{};  // in the C++ frame, where the collector sees them
    bool has_slots = false;
};

void take_slot(Spec& spec, Slot slot, const Cell* value) {
    spec.slots[slot] = *value;
    spec.has_slots = true;
}

void take_flags(Spec& spec, const Cell* block) {
    SeriesBuffer* buffer = series_buffer(block);
    for (uint32_t i = series_index(block); i < buffer->length(); i++)
        if (cell_type(buffer->cells() + i) == TYPE_WORD) spec.bits |= flag_of(buffer->cells() + i);
}

// One field of the spec; a field the event does not know, or a value of
// another type than the field takes, is ignored.
void take_field(Spec& spec, uint32_t field, const Cell* value) {
    uint32_t type = cell_type(value);
    switch (Field(field)) {
    case Field::type:
        if (type == TYPE_WORD || type == TYPE_LIT_WORD) spec.type = required_type(value);
        break;
    case Field::key:
        if (type == TYPE_CHAR) spec.bits |= char_::get(value) & KEY_MASK;
        break;
    case Field::flags:
        if (type == TYPE_BLOCK) take_flags(spec, value);
        break;
    case Field::face:
        if (type == TYPE_OBJECT) take_slot(spec, SLOT_FACE, value);
        break;
    case Field::window:
        if (type == TYPE_OBJECT) take_slot(spec, SLOT_WINDOW, value);
        break;
    case Field::offset:
        if (type == TYPE_PAIR || type == TYPE_POINT2D) take_slot(spec, SLOT_OFFSET, value);
        break;
    case Field::picked:
        if (type == TYPE_INTEGER) take_slot(spec, SLOT_PICKED, value);
        break;
    default: break;
    }
}

// Each set-word followed by a value sets that field; every other value is
// skipped. Nothing here allocates, so the spec's buffer stays where it is.
void read_spec(const Cell* block, Spec& spec) {
    SeriesBuffer* buffer = series_buffer(block);
    for (uint32_t i = series_index(block); i + 1 < buffer->length(); i++) {
        const Cell* item = buffer->cells() + i;
        if (cell_type(item) != TYPE_SET_WORD) continue;
        take_field(spec, field_of(item), spec_value(item + 1));
        i++;
    }
}

// The block of a made event: the face and window (none), the offset (0x0)
// and the picked integer (0) that the spec did not give keep their defaults.
Node make_block(Spec& spec) {
    Cell defaults[SLOT_COUNT] = {none_cell(), none_cell(), Cell{}, integer::cell(0)};
    pair::make_at(&defaults[SLOT_OFFSET], 0, 0);
    for (uint32_t slot = 0; slot < SLOT_COUNT; slot++)
        if (cell_type(&spec.slots[slot]) == 0) spec.slots[slot] = defaults[slot];
    Cell made{};
    block::make_at(&made, SLOT_COUNT);
    for (const Cell& slot : spec.slots) block::rs_append(&made, &slot);
    return series_node(&made);
}

// A spec that is no block makes an event of no type.
Cell* make(Cell* result, const Cell* spec_block, uint32_t) {
    Spec spec;
    if (cell_type(spec_block) == TYPE_BLOCK) read_spec(spec_block, spec);
    Cell made = blank_cell(TYPE_EVENT | EVENT_MADE);
    set_type_id(&made, spec.type);
    set_bits(&made, spec.bits);
    if (spec.has_slots) set_block(&made, make_block(spec));
    *result = made;
    return result;
}

// ---------------------------------------------------------------- fields

// The type's word; none for an id that names no type.
Cell type_word(uint32_t id) {
    Cell word = none_cell();
    if (id >= 1 && id <= TYPE_COUNT) word::make_at(words.types[id], &word);
    return word;
}

// A new block of the words of the flags set.
Cell flag_block(uint32_t bits) {
    Cell block{};
    block::make_at(&block, int32_t(FLAG_COUNT));
    for (uint32_t i = 0; i < FLAG_COUNT; i++)
        if (bits & FLAG_NAMES[i].bit) word::make_in(&block, words.flags[i]);
    return block;
}

// The bit each logic field tests, by field number.
uint32_t logic_bit(Field field) {
    switch (field) {
    case Field::away_q: return FLAG_AWAY;
    case Field::down_q: return FLAG_DOWN;
    case Field::mid_down_q: return FLAG_MID_DOWN;
    case Field::alt_down_q: return FLAG_ALT_DOWN;
    case Field::aux_down_q: return FLAG_AUX_DOWN;
    case Field::ctrl_q: return FLAG_CONTROL;
    case Field::shift_q: return FLAG_SHIFT;
    default: return 0;
    }
}

// A made event's field that its block or its key holds.
Cell made_field(Node block, uint32_t bits, Field field) {
    Slot slot;
    switch (field) {
    case Field::key: {
        Cell key = none_cell();
        if (bits & KEY_MASK) char_::make_at(&key, bits & KEY_MASK);
        return key;
    }
    case Field::face: slot = SLOT_FACE; break;
    case Field::window: slot = SLOT_WINDOW; break;
    case Field::offset: slot = SLOT_OFFSET; break;
    case Field::picked: slot = SLOT_PICKED; break;
    default: return none_cell();
    }
    if (block != Node::none) return node_buffer(block)->cells()[slot];
    if (slot == SLOT_PICKED) return integer::cell(0);
    Cell value = none_cell();
    if (slot == SLOT_OFFSET) pair::make_at(&value, 0, 0);
    return value;
}

// ---------------------------------------------------------------- actions

// The field a pick index names: a field word, or a number from 1 to 15.
uint32_t picked_field(const Cell* event, int32_t index, const Cell* index_cell) {
    if (cell_type(index_cell) == TYPE_WORD) {
        uint32_t field = field_of(index_cell);
        if (field == 0) fire(err::script::cannot_use, index_cell, event);
        return field;
    }
    if (index < 1 || index > int32_t(FIELD_COUNT)) fire(err::script::out_of_range, index_cell);
    return uint32_t(index);
}

Cell* pick(Cell* event, int32_t index, const Cell* index_cell) {
    Cell copy = *event;
    return get_field(&copy, Field(picked_field(event, index, index_cell)), event);
}

// Any field is read; only the type is set, from a word. An element that is
// no word names no field.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    const Cell* value = args.value;
    const Cell* where = args.path ? args.path : &none::constant;
    uint32_t field = cell_type(element) == TYPE_WORD ? field_of(element) : 0;
    if (value == nullptr) {
        if (field == 0) fire(err::script::invalid_path, where, element);
        Cell copy = *parent;
        return get_field(&copy, Field(field), parent);
    }
    if (field != uint32_t(Field::type)) fire(err::script::bad_path_set, where, element);
    if (cell_type(value) != TYPE_WORD) fire(err::script::bad_path_set, where, value);
    set_type_id(parent, required_type(value));
    return parent;
}

// Any two events are equal; they have no order.
int32_t compare(const Cell*, const Cell* other, int32_t op) {
    if (cell_type(other) != TYPE_EVENT) return -2;
    switch (op) {
    case actions::COMP_EQUAL:
    case actions::COMP_NOT_EQUAL:
    case actions::COMP_STRICT_EQUAL:
    case actions::COMP_SORT:
    case actions::COMP_CASE_SORT:
    case actions::COMP_SAME:
    case actions::COMP_FIND: return 0;
    default: return -2;
    }
}

void form(const Cell*, text::Sink& out) { out.append("event"); }
void mold(const Cell*, text::Sink& out, bool) { out.append("event"); }

}  // namespace

Cell* push_copy(const Cell* event) { return stack::push(event); }

// Everything the event holds is read before out is written: out may be the
// event's own cell.
Cell* get_field(const Cell* event, Field field, Cell* out) {
    uint32_t flags = bits(event);
    Cell value = none_cell();
    if (field == Field::type) value = type_word(type_id(event));
    else if (field == Field::flags) value = flag_block(flags);
    else if (uint32_t bit = logic_bit(field)) value = *logic::constant((flags & bit) != 0);
    else if (uint32_t(field) < 1 || uint32_t(field) > FIELD_COUNT) value = none_cell();
    else if (made(event)) value = made_field(block(event), flags, field);
    else return sockets::event_field(message(event), uint32_t(field), out);
    *out = value;
    return out;
}

uint32_t type_of_word(const Cell* word) {
    uint32_t name = resolved(word);
    for (uint32_t id = 1; id <= TYPE_COUNT; id++)
        if (symbol::resolve(words.types[id]) == name) return id;
    return 0;
}

void init_words() {
    for (uint32_t id = 1; id <= TYPE_COUNT; id++) words.types[id] = symbol::make(TYPE_WORDS[id]);
    for (uint32_t i = 0; i < FLAG_COUNT; i++) words.flags[i] = symbol::make(FLAG_NAMES[i].word);
    for (uint32_t n = 1; n <= FIELD_COUNT; n++)
        words.fields[n] = symbol::resolve(fixed_words::symbol(FIELD_SYMBOLS[n - 1]));
}

void init() {
    image_state::keep("event words", words);
    using namespace registry;
    register_type(TYPE_EVENT, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_PICK>(pick));
}

}  // namespace vek::event
