// object!: named fields, a context of words and values wrapped in a cell
// with a class id and an optional event record. error! and port! values are
// object cells of their own types and take object!'s actions where they have
// none of their own.
//
// Object cell:
// - header: type 32, or the inheriting type, in bits 0-7; flags above;
// - word 1: the node of the context (kind 2, values in a block), whose owner
//   cell holds a copy of the object cell, rewritten whenever the cell changes;
// - word 2: the class id;
// - word 3: the node of the event record, 0 when the object has no handlers.
//
// Class ids come from a counter that starts at 1,000,000: the first class
// made is 1,000,001. error! values use class 1 and port! values class 2. Two
// objects share a class when one was made from the other without new words.
//
// A field's word entry carries context::WORD_ASSIGNED once the field is
// stored after the object was made; reflect's changed reports those fields.
//
// Cell addresses answered here point into buffers that grow or move: they
// are valid until the next call that may allocate.
#pragma once

#include <cstdint>

#include "runtime/actions/dispatch.h"
#include "runtime/core/cell.h"
#include "runtime/memory/series.h"
#include "runtime/text/sink.h"

namespace vek::object {

// An object of the type (object!, error!, port!) over the context, of the
// class, with the event record (none when it has no handlers).
constexpr Cell cell(uint32_t type, Node context, uint32_t class_id, Node events = Node::none) {
    return Cell{type, uint32_t(context), class_id, uint32_t(events)};
}

inline Node context_node(const Cell* object) {
    VEK_CHECK_LAYOUT(object, is_any_object);
    return Node(object->data1);
}
inline void set_context_node(Cell* object, Node context) {
    VEK_CHECK_LAYOUT(object, is_any_object);
    object->data1 = uint32_t(context);
}
inline uint32_t class_id(const Cell* object) {
    VEK_CHECK_LAYOUT(object, is_any_object);
    return object->data2;
}
inline void set_class_id(Cell* object, uint32_t id) {
    VEK_CHECK_LAYOUT(object, is_any_object);
    object->data2 = id;
}
inline Node event_record(const Cell* object) {
    VEK_CHECK_LAYOUT(object, is_any_object);
    return Node(object->data3);
}
inline void set_event_record(Cell* object, Node record) {
    VEK_CHECK_LAYOUT(object, is_any_object);
    object->data3 = uint32_t(record);
}

// Registers object!, before error! and port!, which inherit from it, and
// installs the socket through which the owner table walks an object's
// fields (sockets::for_each_field).
void init();
// Installs that socket again, after a sockets::reset().
void install_sockets();

// ---------------------------------------------------------------- classes and fields

// The next class id.
uint32_t new_class_id();

// Writes into the cell an empty object! with room for the given number of
// words: class id 0, no event record, stored as its context's owner.
Cell* make_at(Cell* cell, uint32_t words);

// The first of the object's value cells, in field order.
Cell* get_values(const Cell* object);
uint32_t field_count(const Cell* object);
// The word entry of the field at that index in the context.
Cell* word_at(Node context, uint32_t index);

// The value cell of the field named by the symbol (in any letter case), or
// nullptr when the object has no such field.
Cell* find_field(const Cell* object, uint32_t symbol);
// The field's value cell, or the shared none! cell when there is no field of
// the word's name.
const Cell* get_field_value(const Cell* object, const Cell* word);

// Clears the assigned marks of every word entry of the context.
void clear_changed_marks(Node context);
// Clears the new-line flag of every cell of the block buffer.
void clear_new_lines(Node block);

// Whether the values of the type are series that copying an object deeply,
// or making an object from a prototype, gives a copy of their own: the path
// kinds, block!, paren!, hash!, the string kinds, binary!, vector!, image!.
bool copied_deeply(uint32_t type);

// ---------------------------------------------------------------- making and copying

// How copy_into copies the field values.
struct CopyFlags {
    bool deep = false;            // series values of the copied_deeply types get copies
    const Cell* types = nullptr;  // a datatype! or typeset!: only values of these types get copies
    bool rebuild_events = false;  // the copy's event record is computed afresh
};

// Writes into result an object of the same type and class id with a context
// of its own: the same words and a copy of each value. function! values are
// always cloned (clone_function). Deep without types: the values of the
// copied_deeply types are copied deep. With types: the values of those types
// are copied (deep when deep; an object! value copied the same way), and an
// object met again while it is being copied raises internal no-cycle. The
// copy shares the event record unless rebuild_events. result may be the
// object cell itself.
void copy_into(const Cell* object, Cell* result, CopyFlags flags = {});

// Replaces the function! at the index of the object's values by a copy whose
// body (deep-copied) is bound to the object's context (self included) and
// then to a context of the copy's own, so that it works on that object's
// fields; the copy always runs interpreted. A function without body raises
// script bad-func-def.
void clone_function(const Cell* object, uint32_t index);

// make object! (or make of an object prototype, as result) from a block! or
// object! value; the new object is written into result. A block's
// set-words become fields; the block is bound to the object (self included)
// and evaluated. An object's fields are set into the copy. Any other
// value raises syntax malconstruct.
Cell* make(Cell* result, const Cell* spec_value, uint32_t type);

// The object made from an unevaluated block: each set-word (a run of
// them shares one value) becomes a field holding the next value that is no
// set-word, none! past the end. Without only, the words true, yes and on
// become true, false, no and off false, and none none!. With a prototype
// (an object, or nullptr) the result starts as its deep copy, of the same
// class; without, as a new empty object of a new class. Written into result.
Cell* construct(Cell* result, const Cell* spec_value, const Cell* prototype, bool only);

// ---------------------------------------------------------------- fields by path and key

// Path access to a field: element a word kind naming it (any letter case;
// the element is rebound to the field when it was not). Reading answers the
// value cell; with value, stores a copy of it (self cannot be set) and, when
// the object has an event record, calls its on-change* with the old and the
// new value after the store. A missing field, or a field read while unset!,
// gives unset! in get mode at the last element and raises script unset-path
// before the last element, invalid-path otherwise. An element of another
// kind raises script invalid-path. path may be nullptr.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args);

// ---------------------------------------------------------------- form, mold, compare

// Appends the fields as "name: value" with the value molded (a word! value
// shown as a lit-word). mold puts each field on a line of its own, indented
// to the sink's level; with flat, or for form, fields are separated by a
// space (form: a line end) instead. on-change* and on-deep-change* are left
// out unless all. Stops once the limit is used up.
void serialize_fields(const Cell* object, text::Sink& out, bool mold);

// "make object! [" style molding under the given opening text: the opening
// and a line end (both unless only), the fields one level deeper, the
// closing "]" on a line of its own at the sink's level. With flat everything
// stays on one line.
void mold_as(const char* opening, const Cell* object, text::Sink& out, bool only);

// How objects compare, error! values too: -2 when value2 is no object of the
// same kind; 0 for the same context; under op same, -1 for different
// contexts; else by word count, then field by field (words by their
// canonical symbols, values by the value comparison).
int32_t compare_fields(const Cell* value1, const Cell* value2, int32_t op);

}  // namespace vek::object
