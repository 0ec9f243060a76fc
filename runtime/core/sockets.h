// The sockets: the few places where the core calls out to code that is not
// part of it (the terminal GUI backend, the handlers that objects run on a
// change). Inside the core, modules call each other directly.
//
// Each socket is a function pointer that always holds a function: it starts
// at a default that does nothing or gives the safe answer, so a caller calls
// it without testing it. Whoever installs one puts the default back with
// reset() or by restoring the value it replaced.
//
// The print hooks and write observers of runtime/output/print_hooks.h are
// not sockets: they are lists to which any number of observers subscribe.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::sockets {

// ---------------------------------------------------------------- terminal GUI backend

// Around runtime output that reaches the terminal. In text-UI mode the
// backend erases its drawn interface and gives the console back its output
// mode before, and restores its own mode and schedules a redraw after.
// Installed by the terminal GUI backend. Default: nothing.
using OutputFn = void (*)();
extern OutputFn before_print;
extern OutputFn after_print;

// Called by wait after it sleeps: while the backend holds the terminal in
// UI mode, one pass of its event loop (input, timers, a frame). Installed
// by the terminal GUI backend. Default: nothing.
using WaitPassFn = void (*)();
extern WaitPassFn wait_pass;

// A field of an event the backend made, read from the backend's message
// that the event names (event::message): face 2, window 3, offset 4, key 5,
// picked 6, orientation 15, by the event! field numbers. Writes the value
// into out and answers out. Installed by the terminal GUI backend. Default:
// none, for every field.
using EventFieldFn = Cell* (*)(uint32_t message, uint32_t field, Cell* out);
extern EventFieldFn event_field;

// to image! of an object: when the value is a face, writes what the backend
// renders it as into out and answers true; false for any other value, which
// the conversion then refuses. Installed by the terminal GUI backend.
// Default: false for every value.
using FaceToImageFn = bool (*)(const Cell* value, Cell* out);
extern FaceToImageFn face_to_image;

// ---------------------------------------------------------------- change handlers

// An object whose owner cell has an event record had a field assigned
// (context::set_in with notify): runs its on-change* with the old and new
// value. Installed by the objects module. Default: nothing.
using OnChangeFn = void (*)(const Cell* owner, const Cell* word, const Cell* old_value, const Cell* new_value);
extern OnChangeFn on_change;

// Calls visit with each field value of the object and the field's word; the
// addresses handed out stay valid while visit runs. The owner table walks
// objects through it (runtime/tables/ownership.h). Installed by the objects
// module. Default: visits nothing, so objects are not walked.
using FieldVisitor = void (*)(Cell* value, const Cell* field_word, void* context);
using ForEachFieldFn = void (*)(const Cell* object, FieldVisitor visit, void* context);
extern ForEachFieldFn for_each_field;

// Runs the owner's on-deep-change* with (owner, field word, value, action
// word, new value, index, part) when the owner has an event record, and
// answers whether it ran. Installed by the objects module. Default: runs
// nothing and answers false.
using NotifyOwnerFn = bool (*)(const Cell* owner, const Cell* field_word, const Cell* value,
                               const Cell* action, const Cell* new_value, int32_t index, int32_t part);
extern NotifyOwnerFn notify_owner;

// Puts every socket back to its default.
void reset();

}  // namespace vek::sockets
