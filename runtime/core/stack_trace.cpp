// Reading the frame stack for error reports and traces.
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"

namespace vek::stack {

namespace {

bool anonymous(const CallFrame* frame) {
    uint32_t symbol = frame_symbol(frame);
    return symbol == 0 || symbol == anon_symbol || symbol == body_symbol;
}

// The frame's word in the frame's context, in the exact spelling; nullptr
// when that context does not hold it.
const Cell* own_entry(const CallFrame* frame) {
    if (frame->word_context == Node::none) return nullptr;
    const Cell* context = context::cell_of(frame->word_context);
    int32_t position = context::find_word(context, frame_symbol(frame), false);
    return position >= 0 ? context::word_at(context, uint32_t(position)) : nullptr;
}

// The frame's word: its entry in the frame's context, else the global
// context's entry.
const Cell* frame_word(const CallFrame* frame) {
    if (const Cell* entry = own_entry(frame)) return entry;
    return context::add_global(frame_symbol(frame), false, false);
}

// The value cell of a word entry, or nullptr when its context holds no
// values right now (a function that is not running).
const Cell* entry_value(const Cell* entry) {
    const Cell* values = context::values_base(context::cell_of(word::context(entry)));
    return values ? values + word::index(entry) : nullptr;
}

// The value of the frame's word, found as frame_word finds the word but
// without adding it anywhere: nullptr when no context has the word or its
// context holds no values right now.
const Cell* frame_value(const CallFrame* frame) {
    if (const Cell* entry = own_entry(frame)) return entry_value(entry);
    int32_t position = context::find_word(context::global_cell(), frame_symbol(frame), false);
    return position >= 0 ? context::global_values_base() + position : nullptr;
}

template <class Visit>
void each_listed(uint32_t level, const Trace& trace, Visit visit) {
    for (const TraceEntry& entry : trace)
        if (level > 1 || entry.function) visit(entry.symbol);
}

// The innermost frame that is not anonymous and has all the header bits asked for.
const CallFrame* innermost_named(uint32_t bits = 0) {
    for (ptrdiff_t i = frames_top - frames_bottom - 1; i >= 0; i--) {
        const CallFrame* frame = frames_bottom + i;
        if (!anonymous(frame) && (frame->header & bits) == bits) return frame;
    }
    return nullptr;
}

}  // namespace

// The library's functions are the system's own machinery (the console's
// loop among them): a trace shows the calls of the user's code.
bool library_function(const Cell* value) {
    if (!value || cell_type(value) != TYPE_FUNCTION) return false;
    const Cell* body = function::body(value);
    return cell_type(body) == TYPE_BLOCK && eval::library_code(body);
}

const Cell* current_function_word() {
    const CallFrame* frame = innermost_named();
    return frame ? frame_word(frame) : &none::constant;
}

const Cell* user_call_word() {
    const CallFrame* frame = innermost_named(FRAME_INTERPRETED);
    return frame ? frame_word(frame) : current_function_word();
}

uint32_t current_function_symbol() {
    const CallFrame* frame = innermost_named();
    return frame ? frame_symbol(frame) : 0;
}

void collect_calls(const Cell* calls) {
    for (ptrdiff_t i = frames_top - frames_bottom - 1; i > 0; i--) {
        const CallFrame* frame = frames_bottom + i;
        if (anonymous(frame)) continue;
        Cell word = *frame_word(frame);
        *series::alloc_tail_cell(series_buffer(calls)) = word;
        Cell base = integer::cell(int32_t(region::at<Cell>(frame->caller_base) - arguments_bottom));
        *series::alloc_tail_cell(series_buffer(calls)) = base;
    }
}

Trace take_trace(const CallFrame* end) {
    Trace trace;
    for (const CallFrame* frame = frames_bottom; frame < end; frame++) {
        if (anonymous(frame)) continue;
        const Cell* value = frame_value(frame);
        if (library_function(value)) continue;
        trace.push_back({frame_symbol(frame), value && cell_type(value) == TYPE_FUNCTION});
    }
    return trace;
}

void trace_words(uint32_t level, const Cell* block, const Trace& trace) {
    each_listed(level, trace, [block](uint32_t symbol) { word::make_in(block, symbol); });
}

void trace_text(uint32_t level, const Trace& trace, text::Sink& out) {
    each_listed(level, trace, [&out](uint32_t symbol) {
        Cell name = *symbol::get(symbol);
        Cell target = *out.buffer;
        uint32_t before = series_buffer(&target)->length();
        string::concatenate(&target, &name, -1, 0, false, string::Mode::append);
        string::append_c_string(out.buffer, " ");
        out.limit -= int32_t(series_buffer(&target)->length() - before);
    });
}

}  // namespace vek::stack
