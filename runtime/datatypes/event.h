// event!: one GUI event, as the backend hands it to the view's dispatcher
// and as scripts make it with `make event! [type: 'click ...]`. The value
// carries its type and its modifier flags in the cell; a backend event reads
// its other fields (face, window, offset, key, picked, orientation) from the
// backend's message through sockets::event_field, a made event from a small
// block of its own. Actors read the fields through paths and pick; only the
// type can be set. Any two events are equal; both form and mold as "event".
//
// Cell layout: header TYPE_EVENT, with EVENT_MADE (core/flags.h) on an event
// made by script; word 1 the type id (event_types.def, 0 for none); word 2
// for a made event the node of its block of four cells [face window offset
// picked], 0 when its spec gave none of them, which the collector follows;
// for a backend event the backend's id of its message (slot and generation,
// never an address); word 3 the key's code point in bits 0-20 and the flag
// bits 22-31 below.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::event {

// The type ids.
enum class Type : uint32_t {
    none = 0,
#define VEK_EVENT_TYPE(NAME, id, word) NAME = id,
#include "runtime/datatypes/event_types.def"
#undef VEK_EVENT_TYPE
};
constexpr uint32_t TYPE_COUNT = 0
#define VEK_EVENT_TYPE(NAME, id, word) +1
#include "runtime/datatypes/event_types.def"
#undef VEK_EVENT_TYPE
    ;

// Word 3: the key and the modifier and button flags.
constexpr uint32_t KEY_MASK = 0x1FFFFFu;  // a code point
constexpr uint32_t FLAG_AUX_DOWN = 1u << 22;
constexpr uint32_t FLAG_ALT_DOWN = 1u << 23;
constexpr uint32_t FLAG_MID_DOWN = 1u << 24;
constexpr uint32_t FLAG_DOWN = 1u << 25;
constexpr uint32_t FLAG_AWAY = 1u << 26;
constexpr uint32_t FLAG_CONTROL = 1u << 28;
constexpr uint32_t FLAG_SHIFT = 1u << 29;
constexpr uint32_t FLAG_ALT = 1u << 30;
constexpr uint32_t FLAG_COMMAND = 1u << 31;

// The flag words, in the order the flags field lists them.
struct FlagName {
    uint32_t bit;
    const char* word;
};
constexpr FlagName FLAG_NAMES[] = {
    {FLAG_AWAY, "away"},         {FLAG_DOWN, "down"},       {FLAG_MID_DOWN, "mid-down"},
    {FLAG_ALT_DOWN, "alt-down"}, {FLAG_AUX_DOWN, "aux-down"}, {FLAG_CONTROL, "control"},
    {FLAG_SHIFT, "shift"},       {FLAG_ALT, "alt"},         {FLAG_COMMAND, "command"},
};

// The fields by number, as pick takes them.
enum class Field : uint32_t {
    type = 1, face, window, offset, key, picked, flags,
    away_q, down_q, mid_down_q, alt_down_q, aux_down_q, ctrl_q, shift_q, orientation,
};
constexpr uint32_t FIELD_COUNT = 15;

inline uint32_t type_id(const Cell* event) {
    VEK_CHECK_LAYOUT(event, type_in<TYPE_EVENT>);
    return event->data1;
}
inline void set_type_id(Cell* event, uint32_t id) {
    VEK_CHECK_LAYOUT(event, type_in<TYPE_EVENT>);
    event->data1 = id;
}
inline bool made(const Cell* event) {
    VEK_CHECK_LAYOUT(event, type_in<TYPE_EVENT>);
    return (event->header & EVENT_MADE) != 0;
}
// A made event's block of four cells; Node::none when it has none.
inline Node block(const Cell* event) {
    VEK_CHECK_LAYOUT(event, type_in<TYPE_EVENT>);
    return Node(event->data2);
}
inline void set_block(Cell* event, Node block) {
    VEK_CHECK_LAYOUT(event, type_in<TYPE_EVENT>);
    event->data2 = uint32_t(block);
}
// A backend event's message id.
inline uint32_t message(const Cell* event) {
    VEK_CHECK_LAYOUT(event, type_in<TYPE_EVENT>);
    return event->data2;
}
inline uint32_t bits(const Cell* event) {
    VEK_CHECK_LAYOUT(event, type_in<TYPE_EVENT>);
    return event->data3;
}
inline void set_bits(Cell* event, uint32_t bits) {
    VEK_CHECK_LAYOUT(event, type_in<TYPE_EVENT>);
    event->data3 = bits;
}

// Writes a backend event into the cell: its type id, the backend's message
// id and the key and flags of word 3. Answers the cell.
inline Cell* make_backend_at(Cell* cell, uint32_t type, uint32_t message, uint32_t bits) {
    *cell = Cell{TYPE_EVENT, type, message, bits};
    return cell;
}
// A copy of the event pushed on the evaluation stack, as the backend hands
// it to the dispatcher.
Cell* push_copy(const Cell* event);
// The field's value written into out, which answers; a field number outside
// 1-15 gives none. The flags field is a new block at each read.
Cell* get_field(const Cell* event, Field field, Cell* out);
// The type id a word names (in any letter case), 0 when it names no type.
uint32_t type_of_word(const Cell* word);

// Registers event! (at every start).
void init();
// Interns the words of its types, flags and fields; after the fixed words.
void init_words();

}  // namespace vek::event
