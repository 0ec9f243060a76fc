// Object cells: a context of named fields wrapped in a cell with a class id
// and an optional event record. error! and port! values are object cells of
// their own types.
//
// Object cell:
// - header: type 32, or the inheriting type, in bits 0-7; flags above;
// - word 1: the node of the context (kind 2, values in a block), whose owner
//   cell holds a copy of the object cell;
// - word 2: the class id;
// - word 3: the node of the event record, 0 when the object has no handlers.
//
// Only what error values need lives here so far: copying a prototype, field
// access, molding the fields, comparison.
//
// Cell addresses answered here point into buffers that grow or move: they
// are valid until the next call that may allocate.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"
#include "runtime/text/sink.h"

namespace vek::object {

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
inline Node event_record(const Cell* object) {
    VEK_CHECK_LAYOUT(object, is_any_object);
    return Node(object->data3);
}

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

// Writes into result an object of the same type, class id and event record
// with a context of its own: the same words and a copy of each value. The
// copy is shallow: the objects copied so far hold no series or functions
// that would need a copy of their own.
void copy_into(const Cell* object, Cell* result);

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
