#include "runtime/core/raise.h"

#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/eval/trace.h"

namespace vek {

void machine_throw(uint32_t code) {
    sysrec.thrown_code = code;
    throw VekThrow{code};
}

namespace {

// Set while fire builds an error value. Another error raised meanwhile
// cannot be built the same way; the likely ones, memory or stack exhausted
// by the building itself, have values made at start-up.
bool building = false;

struct Building {
    Building() { building = true; }
    ~Building() { building = false; }
};

// Before the error prototype exists, and while one error is being built,
// an error travels as an integer! holding its code, which every catch point
// turns into the error it names.
[[noreturn]] void raise_code(err::AnyId id) {
    Cell code = integer::cell(int32_t(error_code(id)));
    stack::throw_error(&code);
}

// no-memory and stack-overflow are raised with the values made at start-up:
// making an error would need the memory or the stack that has run out.
[[noreturn]] void raise_reserved(Cell* reserved, uint32_t code) {
    error::renew(reserved, code);
    eval::trace::fire_error(reserved);
    Cell error = *reserved;
    stack::throw_error(&error);
}

// Where the error arose, and the frame position with the trace of the frames
// up to it, for an error that has none yet.
void record_origin(const Cell* error, const Cell* where) {
    if (stack::frames_top == stack::frames_bottom) return;
    error::fill_where(error, where);
    Cell* position = error::field(error, error::FIELD_STACK);
    if (cell_type(position) != TYPE_NONE) return;
    *position = integer::cell(int32_t(stack::frames_top - stack::frames_bottom));
    error::keep_trace(error);
}

}  // namespace

// The error is built on the stack and taken off it again before unwinding,
// so that the unwinding leaves it there once, as the catcher's last cell.
// Running out of memory hands the emergency reserve back first, so that the
// catch point and the report find room.
void fire(err::AnyId id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    uint32_t code = error_code(id);
    if (code == error_code(err::internal::no_memory)) root::release_reserve();
    if (Cell* reserved = error::reserved(code)) raise_reserved(reserved, code);
    if (!error::ready() || building) raise_code(id);
    Cell* built;
    {
        Building guard;
        built = error::create(id, arg1, arg2, arg3);
        record_origin(built, stack::current_function_word());
    }
    eval::trace::fire_error(built);
    Cell error = *built;
    stack::pop(1);
    stack::throw_error(&error);
}

void raise_error(const Cell* error) {
    Cell raised = *error;
    record_origin(&raised, stack::user_call_word());
    eval::trace::fire_error(&raised);
    stack::throw_error(&raised);
}

}  // namespace vek
