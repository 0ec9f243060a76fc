#include "runtime/eval/trace.h"

#include "runtime/core/sockets.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"

namespace vek::eval::trace {

bool tracing = false;
bool installed = false;
uint32_t mask = 0;

namespace {

// Only these events name a reference; the others report none.
constexpr uint32_t EVENTS_WITH_REF = EV_SET | EV_PROLOG | EV_EPILOG | EV_RETURN | EV_CALL;

void deliver(uint32_t event, const Cell* code, int32_t offset, const Cell* value, const Cell* ref) {
    if (!(mask & event)) return;
    sockets::trace_event(event, code, offset, value, (event & EVENTS_WITH_REF) ? ref : nullptr);
}

}  // namespace

int32_t offset_of(const Cell* code, const Cell* position) {
    if (!code || !position) return -1;
    SeriesBuffer* buffer = series_buffer(code);
    const Cell* head = buffer->cells() + series_index(code);
    if (position < head || position > buffer->cells_tail()) return -1;
    return int32_t(position - head);
}

void fire_event(uint32_t event, const Cell* code, const Cell* position, const Cell* value,
                const Cell* ref) {
    if (code && library_code(code)) return;
    deliver(event, code, offset_of(code, position), value, ref);
}

void fire_init() {
    if (tracing) deliver(EV_INIT, nullptr, -1, nullptr, nullptr);
}

void fire_end() {
    if (tracing) deliver(EV_END, nullptr, -1, nullptr, nullptr);
}

void fire_throw() {
    if (tracing) deliver(EV_THROW, nullptr, -1, stack::arguments, nullptr);
}

void fire_catch() {
    if (tracing) deliver(EV_CATCH, nullptr, -1, stack::arguments, nullptr);
}

void fire_call(const Cell* function, const Cell* name) {
    if (tracing) deliver(EV_CALL, nullptr, -1, function, name);
}

void fire_return(const Cell* name) {
    if (tracing) deliver(EV_RETURN, nullptr, -1, stack::arguments, name);
}

void fire_error(const Cell* error) {
    if (tracing) deliver(EV_ERROR, nullptr, -1, error, nullptr);
}

}  // namespace vek::eval::trace
