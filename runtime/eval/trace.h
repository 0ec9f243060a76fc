// Evaluation tracing: the sites where the evaluator, do, throw, catch and the
// error raiser report what they do. Each site tests one global flag first,
// so tracing costs nothing while no tracer is installed. The tracer itself
// (do/trace) installs its delivery socket (sockets::trace_event), sets the
// mask and switches the flags.
//
// Payload of an event: the code (the block or path being evaluated, or
// nothing), the offset of the position from the code's current index (-1
// without code, or when the position lies outside it), the value reported
// and, for set, prolog, epilog, return and call only, a reference.
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

// Library code switches tracing on and off; what it asks is granted only
// while a tracer is installed.
inline void set_tracing(bool wish) { tracing = wish && installed; }

// Sets tracing for a scope (a tracer's own evaluation, a no-trace or trace
// function, a callback whose class is not traced) and puts it back after,
// also when an error leaves the scope.
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
// library code. Event sites call it only after testing the flag.
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
// The error event, which fire (raise.h) reports with each new error.
void fire_error(const Cell* error);

}  // namespace vek::eval::trace
