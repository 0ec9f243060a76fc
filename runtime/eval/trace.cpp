#include "runtime/eval/trace.h"

#include <bit>

#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/series.h"

namespace vek::eval::trace {

bool tracing = false;
bool installed = false;
uint32_t mask = 0;
Listener listener = nullptr;

namespace {

using fixed_words::Word;

constexpr Cell NONE = blank_cell(TYPE_NONE);

// The event words, by the position of the event's bit.
constexpr Word EVENT_WORDS[] = {
    Word::init,  Word::end,     Word::prolog, Word::epilog, Word::enter, Word::exit_,  Word::open,   Word::return_,
    Word::fetch, Word::push,    Word::set,    Word::call,   Word::error, Word::throw_, Word::catch_, Word::expr,
};
constexpr uint32_t EVENT_COUNT = sizeof EVENT_WORDS / sizeof EVENT_WORDS[0];
static_assert(ALL_EVENTS >> EVENT_COUNT <= 1);

// Only these events name a reference; the others report none.
constexpr uint32_t EVENTS_WITH_REF = EV_SET | EV_PROLOG | EV_EPILOG | EV_RETURN | EV_CALL;

constexpr uint32_t TRACER_ARGUMENTS = 6;

struct Tracer {
    Cell function = NONE;  // the installed tracer function, none! when there is none
    bool running = false;  // set while the tracer runs
};
Tracer tracer;

void mark_tracer() { gc::mark_cell(&tracer.function); }

// An absent or unset! value is reported as none!.
Cell or_none(const Cell* value) { return value && cell_type(value) != TYPE_UNSET ? *value : NONE; }

// While the tracer runs nothing is traced, not even a function with the
// trace attribute, and no do/trace installs another tracer; the flags come
// back however it ends.
class Running {
public:
    Running() : tracing_(tracing) {
        tracing = installed = false;
        tracer.running = true;
    }
    ~Running() {
        tracing = tracing_;
        installed = true;
        tracer.running = false;
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

private:
    bool tracing_;
};

// How the stacks stood before the tracer's call.
struct Saved {
    Cell* top;
    Cell* arguments;
    stack::CallFrame* frames;
    uint32_t thrown_code;
};

Saved save() { return {stack::top, stack::arguments, stack::frames_top, sysrec.thrown_code}; }

void restore(const Saved& saved) {
    stack::set_frames_top(saved.frames);
    stack::arguments = saved.arguments;
    stack::top = saved.top;
}

// The tracer's call, in a function frame named <interp-callback> above a
// loop frame of the same name: a break or continue in the tracer lands on
// that loop frame rather than on a loop of the traced code, which the event
// site could not hand the code back to. The stacks are put back as they
// were, one cell above the top left alone first, as the value reported is
// often the cell just above it.
//
// Guarded, for the end event of an evaluation that an error or a throw is
// leaving: the stacks are already unwound to the frame that will take it,
// so whatever the tracer raises, throws or breaks with is stopped by a
// try/all frame below its call and dropped, and the exit under way goes on.
Pending call_tracer(const Cell (&arguments)[TRACER_ARGUMENTS], bool guarded) {
    Saved saved = save();
    stack::push_cell();
    Cell function = tracer.function;
    const Cell* name = fixed_words::word(Word::interp_callback_tag);
    Pending p = Pending::none;
    try {
        Running running;
        if (guarded) stack::mark_try_all(name);
        stack::mark_loop(name);
        push_callback_call(&function, name, arguments, TRACER_ARGUMENTS);
        p = call_function(&function, name, CALL_EVALUATOR);
    } catch (const VekThrow&) {
        if (!guarded) throw;
    }
    // The function's context got its values pointer back when its call ended.
    restore(saved);
    if (!guarded) return p;
    sysrec.thrown_code = saved.thrown_code;
    return Pending::none;
}

void deliver(uint32_t event, const Cell* code, int32_t offset, const Cell* value, const Cell* ref,
             bool guarded = false) {
    if (!(mask & event)) return;
    if (!(event & EVENTS_WITH_REF)) ref = nullptr;
    if (listener) return listener(event, code, offset, value, ref);
    if (cell_type(&tracer.function) != TYPE_FUNCTION) return;
    Cell frame{};
    pair::make_at(&frame, int32_t(stack::arguments - stack::arguments_bottom),
                  int32_t(stack::top - stack::arguments_bottom));
    const Cell arguments[TRACER_ARGUMENTS] = {
        *fixed_words::word(EVENT_WORDS[std::countr_zero(event)]),
        or_none(code),
        integer::cell(offset),
        or_none(value),
        or_none(ref),
        frame,
    };
    Pending p = call_tracer(arguments, guarded);
    if (p == Pending::brk) fire(err::throw_::break_);
    if (p == Pending::cont) fire(err::throw_::continue_);
}

// The event bit a word of a tracer's leading block names, 0 for any other value.
uint32_t event_named(const Cell* value) {
    int32_t position = fixed_words::position_of_word(value, EVENT_WORDS);
    return position < 0 ? 0 : 1u << position;
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
    if (!tracing) return;
    uint32_t thrown = sysrec.thrown_code;
    deliver(EV_ERROR, nullptr, -1, error, nullptr);
    sysrec.thrown_code = thrown;
}

uint32_t trace_mask(const Cell* function) {
    const Cell* body = function::body(function);
    if (cell_type(body) != TYPE_BLOCK) return ALL_EVENTS;
    SeriesBuffer* buffer = series_buffer(body);
    if (series_index(body) >= buffer->length()) return ALL_EVENTS;
    const Cell* first = buffer->cells() + series_index(body);
    if (cell_type(first) != TYPE_BLOCK) return ALL_EVENTS;
    SeriesBuffer* words = series_buffer(first);
    uint32_t bits = 0;
    for (uint32_t i = series_index(first); i < words->length(); i++) bits |= event_named(words->cells() + i);
    return bits;
}

bool install(const Cell* function) {
    if (installed || tracer.running) return false;
    tracer.function = *function;
    mask = trace_mask(function);
    installed = tracing = true;
    return true;
}

void remove(bool unwinding) {
    struct Clear {
        ~Clear() {
            tracer.function = NONE;
            tracing = installed = false;
            mask = 0;
        }
    } clear;
    tracing = true;
    deliver(EV_END, nullptr, -1, nullptr, nullptr, unwinding);
}

void init() {
    tracing = installed = false;
    tracer = Tracer{};
    gc::add_root("tracer function", mark_tracer);
    image_state::keep("tracer", tracer);
    image_state::keep("tracing", tracing);
    image_state::keep("tracer installed", installed);
    image_state::keep("traced events", mask);
}

}  // namespace vek::eval::trace
