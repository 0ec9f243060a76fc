// Evaluation tracing: the sites where the evaluator, do, throw, catch and the
// error raiser report what they do, and the delivery of those reports to a
// tracer function that do/trace installs for the length of one evaluation.
// Each site tests one global flag first, so tracing costs nothing while no
// tracer is installed.
//
// Payload of an event: the code (the block or path being evaluated, or
// nothing), the offset of the position from the code's current index (-1
// without code, or when the position lies outside it), the value reported
// and, for set, prolog, epilog, return and call only, a reference.
//
// The tracer is called with six arguments: the event word, the code (none!
// without), the offset, the value (none! without), the reference (none!
// without) and a pair! of the current frame's base and the stack top, in
// cells from the stack's bottom. It runs in a call frame named
// <interp-callback>, with tracing off, so its own evaluation is never
// reported; its result is ignored.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::eval::trace {

enum Event : uint32_t {
    EV_INIT = 1, EV_END = 2, EV_PROLOG = 4, EV_EPILOG = 8, EV_ENTER = 16, EV_EXIT = 32,
    EV_OPEN = 64, EV_RETURN = 128, EV_FETCH = 256, EV_PUSH = 512, EV_SET = 1024,
    EV_CALL = 2048, EV_ERROR = 4096, EV_THROW = 8192, EV_CATCH = 16384, EV_EXPR = 32768,
};
constexpr uint32_t ALL_EVENTS = 0x1FFFF;

// The flag every event site tests: events are delivered while it is set.
extern bool tracing;
// Set while a tracer is installed; tracing can only be on while it is.
extern bool installed;
// The events the installed tracer asked for.
extern uint32_t mask;

// Test hook: when set, events that pass the mask go to it instead of the
// tracer function, with no frame pushed (unit tests hear the raw events
// through it). Default: none.
using Listener = void (*)(uint32_t event, const Cell* code, int32_t offset, const Cell* value, const Cell* ref);
extern Listener listener;

// Library code switches tracing on and off; what it asks is granted only
// while a tracer is installed.
inline void set_tracing(bool wish) { tracing = wish && installed; }

// Sets tracing for a scope (a no-trace or trace function, a callback whose
// class is not traced) and puts it back after, also when an error leaves the
// scope.
class Scope {
public:
    explicit Scope(bool on) : saved_(tracing) { tracing = on; }
    ~Scope() { tracing = saved_; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

private:
    bool saved_;
};

// The offset of position within code, -1 when either is missing or the
// position lies outside the code.
int32_t offset_of(const Cell* code, const Cell* position);

// Delivers one event when its bit is in the mask and the code is not
// library code. Event sites call it only after testing the flag. Raises
// what the tracer raises or throws; a break or continue in the tracer,
// which has no loop of the traced code to leave, raises throw break or
// continue.
void fire_event(uint32_t event, const Cell* code, const Cell* position, const Cell* value,
                const Cell* ref);

// One event, after the flag test.
inline void event(uint32_t event, const Cell* code, const Cell* position, const Cell* value,
                  const Cell* ref = nullptr) {
    if (tracing) fire_event(event, code, position, value, ref);
}

// The events that carry no code: the installation and end of a tracer, a
// throw and a catch (with the current frame's result as their value), and
// the call and return of a function called back from runtime code.
void fire_init();
void fire_end();
void fire_throw();
void fire_catch();
void fire_call(const Cell* function, const Cell* name);
void fire_return(const Cell* name);
// The error event, which fire (raise.h) reports with each new error; the
// code of the throw in progress is kept across the tracer's call.
void fire_error(const Cell* error);

// The events a tracer function asks for: when its body starts with a block,
// the events named by the words in it (any letter case; other values add
// nothing), else all of them.
uint32_t trace_mask(const Cell* function);

// do/trace. install makes the function! the tracer, takes its mask and
// switches tracing on (the caller fires init next); it answers false, and
// changes nothing, while a tracer is installed or running (a nested do/trace
// evaluates untouched). remove fires end and takes the tracer away; tracing
// is off afterwards, also when the tracer raises on end. While an error or
// a throw leaves the evaluation (unwinding), what the tracer raises on end
// is dropped, so that the exit under way reaches the point that takes it.
bool install(const Cell* function);
void remove(bool unwinding);

// Registers the tracer cell with the collector; tracing off, no tracer.
void init();

}  // namespace vek::eval::trace
