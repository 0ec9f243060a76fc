// Object change events: an object that defines on-change* hears of every
// field assigned, and one that defines on-deep-change* of every change made
// in place to a series held in one of its fields.
//
// The event record (word 3 of the object cell, 0 when the object has
// neither handler) is a series of two integer! cells: the on-change* field's
// index in the object's context, then the on-deep-change* field's, -1 for a
// handler the object lacks. It names the fields only: a handler is read
// from its field at each firing and called by the layout of its own arguments,
// so replacing a handler by another function needs no change to the record,
// and the record holds nothing the collector must follow.
//
// Handlers run Vek code synchronously, inside the operation that changed
// the field. They cannot hand a break or continue back through that
// operation: such a code goes on as the exception of that code. An error in
// a handler reaches the code that changed the field, which keeps its new
// value.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::object {

// The record for the context's handler fields, or Node::none when it has
// neither on-change* nor on-deep-change*. A handler field that holds no
// function! or routine! raises script bad-field-set with the field's word
// and the value's datatype.
Node make_event_record(Node context);

// A new record naming the handler fields at these indexes (-1: absent).
Node build_event_record(int32_t change_index, int32_t deep_index);

// Whether the object has an event record naming an on-deep-change* field.
bool has_deep_handler(const Cell* object);

// Computes the object's event record from its handler fields (raising as
// make_event_record does), stores the object cell as its context's owner,
// and, when it has an on-deep-change* handler, registers the object as
// owner of the series its fields hold.
void init_events(Cell* object);

// Calls the object's on-change* with the word, the old and the new value,
// when it has one. A handler field holding anything but a function! raises
// script invalid-obj-evt with that value; whatever the handler raises goes
// on to the caller. A word not bound to the object is passed as a copy bound
// to it.
void fire_on_change(const Cell* object, const Cell* word, const Cell* old_value, const Cell* new_value);

// Calls the owner's on-deep-change* with (owner, field word, target, action
// word, new value, index, part); a new_value of nullptr is passed as none.
// An owner without event record raises script invalid-obj-evt with the
// owner; an owner without the handler, or whose handler field holds no
// function!, is left alone.
void fire_on_deep_change(const Cell* owner, const Cell* word, const Cell* target, const Cell* action,
                         const Cell* new_value, int32_t index, int32_t part);

// set's refinements, for an object target here and for a block of words
// (natives::set_words).
struct SetFlags {
    bool any = false;   // unset! values may be stored
    bool only = false;  // a block or object value is stored as it is, in every field
    bool some = false;  // a field that would take none! keeps its value
};

// set on an object. A block! value gives its values in order from its head
// to the fields in order (none! past its tail); an object! value gives each
// field it shares with the target (by name, in any letter case); without
// only, any other value, and with only every value, goes to every field.
// Before any field changes, an unset! value bound for a field raises script
// need-value with the field's word (unless any). An object with an event
// record never has its handler fields set and hears of every other field
// through on-change*.
void set_many(const Cell* object, const Cell* value, SetFlags flags);

// Installs the sockets through which a field's store and the owner table
// reach the handlers (sockets::on_change and notify_owner). Runtime
// initialisation calls it; a test calls it again after sockets::reset().
void init_event_sockets();

}  // namespace vek::object
