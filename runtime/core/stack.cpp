#include "runtime/core/stack.h"

#include <algorithm>
#include <cstddef>

#include "runtime/core/quit.h"
#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/output/stdout_writer.h"
#include "runtime/tables/cycles.h"

namespace vek::stack {

static_assert(FRAME_COUNT * sizeof(CallFrame) <= root::FRAME_STACK_CELLS * sizeof(Cell));

Cell* arguments_bottom = nullptr;
Cell* arguments_end = nullptr;
Cell* arguments = nullptr;
Cell* top = nullptr;
CallFrame* frames_bottom = nullptr;
CallFrame* frames_limit = nullptr;
CallFrame* frames_top = nullptr;
CallFrame* throw_frame = nullptr;
uint32_t anon_symbol = 0;
uint32_t body_symbol = 0;

namespace {

// Frames are addressed by index from the bottom, so that an empty stack
// (before init as well) needs no pointer below the buffer.
ptrdiff_t depth() { return frames_top - frames_bottom; }

Cell* cell_at(Off o) { return region::at_unchecked<Cell>(o); }

using detail::pop_one;
using detail::restore_context;

// A frame's own base is not stored: it is the caller base of the frame above
// it, or stack::arguments for the top frame.
Cell* base_of(const CallFrame* frame) {
    return frame + 1 == frames_top ? arguments : cell_at((frame + 1)->caller_base);
}

// Makes target the top frame again, restoring the function contexts of the
// frames cut, and empties it: both pointers go to its base. Inline in the
// non-local exits, as return and break take it at every use.
[[gnu::always_inline]] inline Cell* land_on(CallFrame* target) {
    Cell* base = base_of(target);
    for (CallFrame* f = frames_top - 1; f != target; --f) restore_context(f);
    frames_top = target + 1;
    arguments = top = base;
    return base;
}

// The searches of the non-local exits walk down from index `from`; the
// bottom frame is never a target, and a try/all frame blocks them.
template <class IsTarget>
CallFrame* search_down(ptrdiff_t from, IsTarget is_target) {
    for (ptrdiff_t i = from; i > 0; --i) {
        CallFrame* f = frames_bottom + i;
        if (frame_kind(f) == KIND_TRY_ALL) return nullptr;
        if (is_target(f)) return f;
    }
    return nullptr;
}

// Pops frames (restoring function contexts) until the top one has the kind,
// is a try/all frame or is the bottom frame; returns the reached frame's base.
Cell* pop_down_to(uint32_t kind) {
    Cell* base = arguments;
    while (depth() > 1) {
        CallFrame* f = frames_top - 1;
        if (frame_kind(f) == kind || frame_kind(f) == KIND_TRY_ALL) break;
        restore_context(f);
        base = cell_at(f->caller_base);
        --frames_top;
    }
    return base;
}

// The code of what was thrown: an error's code field, or a bare code.
int32_t code_of(const Cell* thrown) {
    return cell_type(thrown) == TYPE_ERROR ? integer::get(error::field(thrown, error::FIELD_CODE))
                                           : int32_t(payload_word(thrown, 2));
}

// A bare code is reported as the error it names, once error values exist.
// An error raised while the report itself is being made ends the report with
// its code instead of starting another.
[[noreturn]] void report_uncaught(const Cell* thrown) {
    static bool reporting = false;
    Cell error = *thrown;
    bool first = !reporting;
    reporting = true;
    if (first) {
        root::release_reserve();  // the process ends: the report may use it
        error::resolve_bare_code(&error);
    }
    if (first && cell_type(&error) == TYPE_ERROR) {
        error::print(&error);
    } else {
        output::print_cstring("*** Runtime error code: ");
        output::print_integer(code_of(&error));
        output::print_cstring("\n");
    }
    output::flush();
    exit_process(254);
}

}  // namespace

void init() {
    arguments_bottom = series_buffer(root::argument_stack())->cells();
    arguments_end = arguments_bottom + root::ARGUMENT_STACK_CELLS;
    arguments = top = arguments_bottom;
    frames_bottom = reinterpret_cast<CallFrame*>(series_buffer(root::frame_stack())->first());
    frames_limit = frames_bottom + FRAME_COUNT;
    frames_top = frames_bottom;
}

void set_frames_top(CallFrame* frame) { frames_top = frame; }

// Leaves room for the error value: the top goes back five cells, and the
// cycle guard is emptied so that the error can be formed.
void overflow() {
    top = top - arguments_bottom > 5 ? top - 5 : arguments_bottom;
    cycles::reset();
    fire(err::internal::stack_overflow);
}

void keep_error() {
    if (top > arguments && cell_type(top - 1) == TYPE_ERROR) set_last(top - 1);
    keep();
}

// The frame keeps the values pointer as it was before, so that ending the
// call restores it and a recursive caller finds its own slots again.
void mark_compiled_function(const Cell* word, Node context) {
    Off previous = context::stack_values_pointer(context);
    context::set_stack_values_pointer(context, region::off_unchecked(top));
    push_frame(word, MARK_COMPILED_FUNCTION);
    CallFrame* frame = frames_top - 1;
    frame->function_context = context;
    frame->saved_values = previous;
}

void pop_frame() {
    CallFrame* frame = pop_one(false);
    if (frame_kind(frame) == KIND_FUNCTION) restore_context(frame);
    if (depth() == 0) {
        arguments = top = arguments_bottom;
        return;
    }
    top = arguments;
    arguments = cell_at(frame->caller_base);
}

void unwind_to(uint32_t kind, bool keep) {
    Cell* start = arguments;
    ptrdiff_t depth_before = depth();
    Cell* base = pop_down_to(kind);
    if (keep) {
        if (depth() == depth_before) {
            top = arguments + 1;
            return;
        }
        top = start + 1;
        arguments = base;
        return;
    }
    if (depth() <= 1) {
        arguments = top = arguments_bottom;
        return;
    }
    top = start + 1;
    arguments = cell_at((frames_top - 1)->caller_base);
}

void unwind_to_kind(uint32_t kind) {
    Cell* result = arguments;
    Cell* base = pop_down_to(kind);
    copy_cell(result, base);
    arguments = top = base;
}

Pending throw_break(BreakFlags flags) {
    const bool with_value = flags.with_value, is_continue = flags.is_continue;
    CallFrame* current = top_frame();
    CallFrame* loop = search_down(depth() - 1, [current](const CallFrame* f) {
        return f != current && frame_kind(f) == KIND_LOOP;
    });
    if (!loop) fire(is_continue ? err::throw_::continue_ : err::throw_::break_);
    Cell* value = arguments;
    Cell* result = land_on(loop);
    if (with_value && !is_continue)
        copy_cell(value, result);
    else
        make_unset(result);
    return is_continue ? Pending::cont : Pending::brk;
}

Pending throw_return(ReturnFlags flags) {
    const bool with_value = flags.with_value;
    CallFrame* target = search_down(depth() - (flags.from_top ? 1 : 2), [](const CallFrame* f) {
        return (f->header & FRAME_RETURN_TARGET) != 0;
    });
    if (!target) fire(err::throw_::return_);
    Cell* value = arguments;
    Cell* result = land_on(target);
    if (with_value)
        copy_cell(value, result);
    else
        make_unset(result);
    return with_value ? Pending::ret : Pending::exit;
}

void throw_value(uint32_t code) {
    if (!throw_frame) throw_frame = frames_top;
    CallFrame* target = search_down(depth() - 1, [](const CallFrame* f) {
        return frame_kind(f) == KIND_CATCH;
    });
    Cell* thrown = arguments;
    if (!target) fire(err::throw_::throw_, thrown);
    land_on(target);
    // The pair moves down over cells that are already dead; copying in
    // ascending order never overwrites a cell still to be read.
    push(thrown);
    push(thrown + 1);
    machine_throw(code);
}

// Only a try or try/all frame actually popped counts as a catcher: with no
// frame at all, a stale record at the bottom must not pass for one. The error
// goes at the top of the raise, but never below the catcher's own base: an
// overflow may have cut the top back past it, and the catcher takes its
// result from above its caller's base. The top is below the stack's end
// there, so the error fits without the overflow check.
void throw_error(const Cell* error) {
    Cell* saved_top = top;
    Cell* catcher_base = arguments;
    bool caught = false;
    while (depth() > 0 && !caught) {
        catcher_base = arguments;
        CallFrame* frame = pop_one(true);
        arguments = cell_at(frame->caller_base);
        caught = frame_kind(frame) == KIND_TRY || frame_kind(frame) == KIND_TRY_ALL;
    }
    top = saved_top;
    if (!caught) report_uncaught(error);
    top = std::max(saved_top, catcher_base);
    copy_cell(error, top++);
    machine_throw(CODE_ERROR);
}

bool interpreted(const CallFrame* frame, bool only_next) {
    ptrdiff_t start = (frame ? frame - frames_bottom : depth() - 1) - 1;
    ptrdiff_t stop = only_next ? start - 1 : -1;
    for (ptrdiff_t i = start; i > stop && i >= 0; --i) {
        if (frames_bottom[i].header & FRAME_INTERPRETED) return true;
    }
    return false;
}

}  // namespace vek::stack
