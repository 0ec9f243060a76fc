// The evaluation stack: the argument stack of value cells and, beside it, the
// frame stack of call frames that records which word is being called and how
// far each call reaches. Both live in buffers that never move, so the stack
// pointers below are plain addresses; what a frame stores is an offset.
//
// break, continue, return and exit come back from their searches as pending
// codes, with both stacks already cut back; errors and throw leave as a
// VekThrow exception, with the error or the thrown value left on the stack.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/core/cell.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/region.h"
#include "runtime/memory/series.h"
#include "runtime/text/sink.h"

namespace vek::stack {

struct CallFrame {
    uint32_t header;         // symbol id, kind and flags (below)
    Off caller_base;         // stack::arguments when the frame was pushed
    Node word_context;       // context node of the called word
    Node function_context;   // function frames: the function's context; else none
    Off saved_values;        // that context's values pointer at the call
};
static_assert(sizeof(CallFrame) == 20);

constexpr uint32_t FRAME_COUNT = 12000;

// Frame header.
constexpr uint32_t FRAME_SYMBOL_SHIFT = 8;
constexpr uint32_t FRAME_SYMBOL_MASK = 0xFFFFu;  // 16 bits of symbol id
constexpr uint32_t FRAME_KIND_MASK = 0x0F000000u;
constexpr uint32_t FRAME_RETURN_TARGET = 0x10000000u;  // return and exit stop here
constexpr uint32_t FRAME_INTERPRETED = 0x80000000u;    // called by the interpreter

constexpr uint32_t KIND_FUNCTION = 0x01000000u;
constexpr uint32_t KIND_NATIVE = 0x02000000u;  // natives, actions, compiled functions
constexpr uint32_t KIND_TRY = 0x04000000u;
constexpr uint32_t KIND_TRY_ALL = 0x05000000u;  // no break, continue, return or throw passes it
constexpr uint32_t KIND_CATCH = 0x06000000u;
constexpr uint32_t KIND_EVAL = 0x07000000u;
constexpr uint32_t KIND_LOOP = 0x08000000u;

// The headers that the marks write, beside the symbol id.
constexpr uint32_t MARK_CALL = KIND_FUNCTION;
constexpr uint32_t MARK_FUNCTION_INTERP = KIND_FUNCTION | FRAME_INTERPRETED;
constexpr uint32_t MARK_NATIVE = KIND_NATIVE;
constexpr uint32_t MARK_NATIVE_INTERP = KIND_NATIVE | FRAME_INTERPRETED;
constexpr uint32_t MARK_COMPILED_FUNCTION = KIND_NATIVE | FRAME_RETURN_TARGET;
constexpr uint32_t MARK_TRY = KIND_TRY;
constexpr uint32_t MARK_TRY_ALL = KIND_TRY_ALL;
constexpr uint32_t MARK_CATCH = KIND_CATCH;
constexpr uint32_t MARK_EVAL = KIND_EVAL | FRAME_INTERPRETED;
constexpr uint32_t MARK_LOOP = KIND_LOOP;

inline uint32_t frame_kind(const CallFrame* f) { return f->header & FRAME_KIND_MASK; }
inline uint32_t frame_symbol(const CallFrame* f) {
    return (f->header >> FRAME_SYMBOL_SHIFT) & FRAME_SYMBOL_MASK;
}

// Stack state.
extern Cell* arguments_bottom;
extern Cell* arguments_end;
extern Cell* arguments;  // base of the current frame: its result, and a native's first argument
extern Cell* top;        // first free cell
extern CallFrame* frames_bottom;
// Where the frame stack counts as full: its end, less one record for each
// block under way that runs in its caller's frame (count_frame below).
extern CallFrame* frames_limit;
extern CallFrame* frames_top;  // first free frame record
// Frames top at the first throw of an unwinding, for the tracers.
extern CallFrame* throw_frame;
// Symbol ids of <anon> and <body>, whose frames traces skip; 0 until the
// symbol table exists.
extern uint32_t anon_symbol;
extern uint32_t body_symbol;

// Points the stacks at the two blocks made by root::init, both empty.
void init();

// The last pushed frame; nullptr when there is none.
inline CallFrame* top_frame() { return frames_top > frames_bottom ? frames_top - 1 : nullptr; }
void set_frames_top(CallFrame* frame);

// Raises internal stack-overflow when either stack is full, after putting the
// top back five cells, so that the error can still be pushed.
[[noreturn]] void overflow();

// Argument stack. The pushes and pops run for nearly every value evaluated,
// so they are inline; a full stack raises stack-overflow (above).
inline Cell* push_cell() {
    Cell* cell = top++;
    if (top >= arguments_end) [[unlikely]] overflow();
    return cell;
}
// A plain copy: with copy_cell's same-cell test inlined, g++ sees a path that
// returns the caller's local when the source is one, and warns.
inline Cell* push(const Cell* cell) {
    Cell* slot = push_cell();
    *slot = *cell;
    return slot;
}
inline void pop(uint32_t n) {  // never below the bottom
    top = top - arguments_bottom > ptrdiff_t(n) ? top - n : arguments_bottom;
}
inline void reset() { top = arguments; }
inline void keep() { top = arguments + 1; }
inline void set_last(const Cell* cell) { copy_cell(cell, arguments); }
inline void set_last_only(const Cell* cell) {
    set_last(cell);
    keep();
}
// An error! as the last pushed cell becomes the result; the frame keeps one cell.
void keep_error();
// The datatype of the cell below the top.
inline uint32_t last_type() { return cell_type(top - 1); }

// Pushing frames. word is a word cell: the frame keeps its context node and
// its 1-based symbol id. The new frame's base is the current top. A full
// frame stack raises stack-overflow.
inline void push_frame(const Cell* word, uint32_t header_bits) {
    if (frames_top >= frames_limit) [[unlikely]] overflow();
    // The symbol is masked so that an id beyond 16 bits cannot change the kind.
    uint32_t symbol = (word::symbol(word) & FRAME_SYMBOL_MASK) << FRAME_SYMBOL_SHIFT;
    *frames_top++ = CallFrame{symbol | header_bits, region::off_unchecked(arguments), word::context(word),
                              Node::none, Off::none};
    arguments = top;
}
// A block run in the frame that is already there (the evaluator's untraced
// path) counts as a frame towards the limit for as long as it runs, so that
// deep nesting overflows at the depth it would with a frame of its own. The
// limit is a count, not a frame: putting it back touches no stack.
inline void count_frame() {
    if (frames_top >= frames_limit) [[unlikely]] overflow();
    --frames_limit;
}
inline void uncount_frame() { ++frames_limit; }
class CountedFrame {
public:
    CountedFrame() { count_frame(); }
    ~CountedFrame() { uncount_frame(); }
    CountedFrame(const CountedFrame&) = delete;
    CountedFrame& operator=(const CountedFrame&) = delete;
};
// An interpreted function call; context is its function context or none.
inline void push_call_frame(const Cell* word, Node context) {
    push_frame(word, MARK_CALL);
    if (context == Node::none) return;
    CallFrame* frame = frames_top - 1;
    frame->function_context = context;
    frame->saved_values = context::stack_values(context::cell_of(context));
}
inline void mark_native(const Cell* word) { push_frame(word, MARK_NATIVE); }
inline void mark_native_interp(const Cell* word) { push_frame(word, MARK_NATIVE_INTERP); }
inline void mark_function_interp(const Cell* word) { push_frame(word, MARK_FUNCTION_INTERP); }
inline void mark_try(const Cell* word) { push_frame(word, MARK_TRY); }
inline void mark_try_all(const Cell* word) { push_frame(word, MARK_TRY_ALL); }
inline void mark_catch(const Cell* word) { push_frame(word, MARK_CATCH); }
inline void mark_eval(const Cell* word) { push_frame(word, MARK_EVAL); }
inline void mark_loop(const Cell* word) { push_frame(word, MARK_LOOP); }
// The cells the compiled caller has pushed become the function's argument
// and local slots: the context's values point at the current top.
void mark_compiled_function(const Cell* word, Node context);

// Flag edits on the top frame, and on the one below it.
inline void set_return_target(bool on) {
    uint32_t& header = top_frame()->header;
    header = on ? header | FRAME_RETURN_TARGET : header & ~FRAME_RETURN_TARGET;
}
inline void set_interpreted() { top_frame()->header |= FRAME_INTERPRETED; }
inline void set_caller_return_target() { (frames_top - 2)->header |= FRAME_RETURN_TARGET; }

// Popping one frame. "Restoring" puts a function context's values pointer
// back as it was before the call. Every call ends with one of these, so the
// common ones are inline (their helpers first).
namespace detail {
inline void restore_context(const CallFrame* frame) {
    if (frame->function_context != Node::none)
        context::set_stack_values(context::cell_of(frame->function_context), frame->saved_values);
}
inline CallFrame* pop_one(bool restore) {
    CallFrame* frame = --frames_top;
    if (restore) restore_context(frame);
    return frame;
}
inline void unwind_keeping_result(bool restore) {
    CallFrame* frame = pop_one(restore);
    top = arguments + 1;
    arguments = region::at_unchecked<Cell>(frame->caller_base);
}
inline void unwind_passing_result(bool restore) {
    Cell* result = arguments;
    unwind_keeping_result(restore);
    copy_cell(result, arguments);
}
inline void unwind_dropping_result(bool restore) {
    CallFrame* frame = pop_one(restore);
    arguments = top = region::at_unchecked<Cell>(frame->caller_base);
}
}  // namespace detail

void pop_frame();  // kind 1 restores; drops the frame's cells
// Keeps the result in the popped base cell.
inline void unwind() { detail::unwind_keeping_result(false); }
// Restores, keeps the result.
inline void unwind_function() { detail::unwind_keeping_result(true); }
// Restores, drops the result.
inline void unwind_function_drop() { detail::unwind_dropping_result(true); }
// Copies the result into the caller's result cell.
inline void unwind_last() { detail::unwind_passing_result(false); }
// Restores, copies the result to the caller.
inline void unwind_function_last() { detail::unwind_passing_result(true); }
// Drops the result.
inline void pop_frame_drop() { detail::unwind_dropping_result(false); }

// Pops frames until the top one has the kind, is a try/all frame or is the
// bottom frame, which stays.
void unwind_to(uint32_t kind, bool keep);
// As unwind_to without keep; then the innermost result becomes the reached
// frame's result and both pointers go to its base.
void unwind_to_kind(uint32_t kind);
inline void unwind_to_loop(bool keep) { unwind_to(KIND_LOOP, keep); }

// Non-local exits. break/continue land on the nearest loop frame and return,
// return/exit on the nearest return target; the value is the cell at
// stack::arguments. A search that meets a try/all frame or the bottom raises
// the throw-category error.
struct BreakFlags {
    bool with_value = false;   // break/return: the value becomes the loop's result
    bool is_continue = false;  // continue: the loop goes on, its result unset!
};
Pending throw_break(BreakFlags flags);
struct ReturnFlags {
    bool with_value = false;  // return, else exit: the value becomes the call's result
    bool from_top = false;    // the top frame itself may be the target
};
Pending throw_return(ReturnFlags flags);
// Takes the thrown value and its name cell (at stack::arguments) to the
// nearest catch frame and throws the code.
[[noreturn]] void throw_value(uint32_t code);
// Pops frames down to and including the nearest try or try/all frame, pushes
// the error (never below that frame's own base) and throws the error code.
// With no such frame, nothing can catch the error: it is reported and the
// process ends with status 254.
[[noreturn]] void throw_error(const Cell* error);

// Whether a frame below the given one (the top frame when nullptr) was called
// by the interpreter; with only_next, only the next one down counts.
bool interpreted(const CallFrame* frame, bool only_next);

// Stack traces (runtime/core/stack_trace.cpp). Frames named <anon> or <body> are
// anonymous: no trace lists them.

// The word naming the innermost frame that is not anonymous: its entry in the
// frame's context, else in the global context (added there when missing);
// valid until the next call that may allocate. The none constant when every
// frame is anonymous.
const Cell* current_function_word();
// The symbol id of that frame's name, 0 when every frame is anonymous; it
// allocates nothing.
uint32_t current_function_symbol();
// The word naming the innermost frame of a call that the user's code made,
// found as current_function_word finds its word; current_function_word when
// there is none.
const Cell* user_call_word();
// Appends, from the top frame down to the one above the bottom frame, each
// named frame's word and the cell index of its caller's base.
void collect_calls(const Cell* block);
// Whether the value is a function! of the standard library, whose calls no
// trace lists: the system's own machinery rather than the user's code.
bool library_function(const Cell* value);
// A trace: the named frames from the bottom up to an end frame, taken while
// they are there, so that it still names them once they are popped and their
// places reused. The library's functions are left out.
struct TraceEntry {
    uint32_t symbol;  // the frame's name
    bool function;    // its word held a function! when the trace was taken
};
using Trace = std::vector<TraceEntry>;
// The trace up to, not including, the end frame. It allocates nothing in the
// Vek heap.
Trace take_trace(const CallFrame* end);
// Appends a word! for each frame of the trace: at level 1 only frames whose
// word held a function!, at higher levels every one.
void trace_words(uint32_t level, const Cell* block, const Trace& trace);
// The same selection, each name formed into the sink followed by a space.
void trace_text(uint32_t level, const Trace& trace, text::Sink& out);

}  // namespace vek::stack
