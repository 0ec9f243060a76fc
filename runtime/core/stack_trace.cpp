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

// The frame's word: its entry in the frame's context in the exact spelling,
// else the global context's entry.
const Cell* frame_word(const CallFrame* frame) {
    uint32_t symbol = frame_symbol(frame);
    if (frame->word_context != Node::none) {
        const Cell* context = context::cell_of(frame->word_context);
        int32_t position = context::find_word(context, symbol, false);
        if (position >= 0) return context::word_at(context, uint32_t(position));
    }
    return context::add_global(symbol, false, false);
}

// The value cell of a word entry, or nullptr when its context holds no
// values right now (a function that is not running).
const Cell* entry_value(const Cell* entry) {
    const Cell* values = context::values_base(context::cell_of(word::context(entry)));
    return values ? values + word::index(entry) : nullptr;
}

bool listed(const CallFrame* frame, uint32_t level) {
    if (anonymous(frame)) return false;
    const Cell* value = entry_value(frame_word(frame));
    if (library_function(value)) return false;
    if (level > 1) return true;
    return value && cell_type(value) == TYPE_FUNCTION;
}

// Frames are visited by index: looking a word up may allocate, and an index
// survives that whatever the frame record's address.
template <class Visit>
void each_listed(uint32_t level, const CallFrame* end, Visit visit) {
    ptrdiff_t stop = end - frames_bottom;
    for (ptrdiff_t i = 0; i < stop; i++)
        if (listed(frames_bottom + i, level)) visit(frame_symbol(frames_bottom + i));
}

const CallFrame* innermost_named() {
    for (ptrdiff_t i = frames_top - frames_bottom - 1; i >= 0; i--)
        if (!anonymous(frames_bottom + i)) return frames_bottom + i;
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

void trace_words(uint32_t level, const Cell* block, const CallFrame* end) {
    each_listed(level, end, [block](uint32_t symbol) { word::make_in(block, symbol); });
}

void trace_text(uint32_t level, const CallFrame* end, text::Sink& out) {
    each_listed(level, end, [&out](uint32_t symbol) {
        Cell name = *symbol::get(symbol);
        Cell target = *out.buffer;
        uint32_t before = series_buffer(&target)->length();
        string::concatenate(&target, &name, -1, 0, false, string::Mode::append);
        string::append_c_string(out.buffer, " ");
        out.limit -= int32_t(series_buffer(&target)->length() - before);
    });
}

}  // namespace vek::stack
