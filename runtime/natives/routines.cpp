#include "runtime/natives/routines.h"

#include <algorithm>
#include <string_view>

#include "platform/os.h"
#include "runtime/core/quit.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/file_path.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/trace.h"
#include "runtime/io/clipboard.h"
#include "runtime/io/files.h"
#include "runtime/io/os_info.h"
#include "runtime/natives/image_codecs.h"
#include "runtime/natives/maths.h"
#include "runtime/natives/output.h"
#include "runtime/natives/vekbin_codec.h"
#include "runtime/text/unicode.h"

namespace vek::routines {

namespace {

// A routine declared without return: takes its arguments as cells and
// answers a cell; these build the answers. A pushed cell stays on the
// stack until the routine's frame is dropped, after its value is taken.
Arg cell_answer(Cell* cell) { return Arg{.cell = cell}; }
Arg unset_answer() { return cell_answer(make_unset(stack::push_cell())); }
Arg logic_answer(bool flag) { return cell_answer(stack::push(logic::constant(flag))); }
// A routine declared with return: [logic!] or [integer!] answers by value.
Arg value_answer(int32_t value) { return Arg{.integer = value}; }

bool slot_series(uint32_t type) { return type == TYPE_BLOCK || type == TYPE_PAREN || is_any_path(type); }

// The shift native run on copies of the two integers in the routine's own
// frame, whose first cell then holds the result.
Arg shift_by(const Arg* args, bool left, bool logical) {
    stack::reset();
    stack::push(args[0].cell);
    stack::push(args[1].cell);
    const int32_t refinements[] = {left ? 2 : -1, logical ? 2 : -1};
    (void)natives::shift(false, refinements);  // a shift evaluates nothing: never a pending code
    return cell_answer(stack::arguments);
}

// The first negative integer among the arguments, in order, is refused.
void refuse_negative(const Arg* args, uint32_t count) {
    for (uint32_t i = 0; i < count; i++)
        if (integer::get(args[i].cell) < 0) fire(err::script::invalid_arg, args[i].cell);
}

int32_t stack_size() { return int32_t(stack::top - stack::arguments_bottom); }

}  // namespace

// ---------------------------------------------------------------- process and quiet stores

// The output is flushed and the terminal restored before the process ends.
Arg quit_return(const Arg* args) { exit_process(integer::get(args[0].cell)); }

// The store goes through the word's own binding with events off, so no
// on-change* handler runs.
Arg set_quiet(const Arg* args) {
    const Cell* word = args[0].cell;
    if (!is_any_word(cell_type(word))) error::raise_expect_arg(cell_type(word), 0);
    Cell bound = *word;
    if (word::context(&bound) == Node::none) fire(err::script::not_defined, word);
    context::set_in(&bound, args[1].cell, context::cell_of(word::context(&bound)), false);
    return cell_answer(args[1].cell);
}

// The slot keeps its new-line flag, as a poke would; a series at or past its
// tail is left as it is.
Arg set_slot_quiet(const Arg* args) {
    const Cell* series = args[0].cell;
    if (!slot_series(cell_type(series))) error::raise_expect_arg(cell_type(series), 0);
    SeriesBuffer* buffer = series_buffer(series);
    if (series_index(series) < buffer->length()) {
        Cell* slot = buffer->cells() + series_index(series);
        uint32_t new_line = slot->header & CELL_NEW_LINE;
        *slot = *args[1].cell;
        slot->header = (slot->header & ~CELL_NEW_LINE) | new_line;
    }
    return cell_answer(args[1].cell);
}

// ---------------------------------------------------------------- shifts

Arg shift_right(const Arg* args) { return shift_by(args, false, false); }
Arg shift_left(const Arg* args) { return shift_by(args, true, false); }
Arg shift_logical(const Arg* args) { return shift_by(args, false, true); }

// ---------------------------------------------------------------- output and files

Arg last_lf_q(const Arg*) { return logic_answer(natives::last_line); }

Arg get_current_dir(const Arg*) { return cell_answer(set_type(file::get_current_dir(), TYPE_FILE)); }

Arg set_current_dir(const Arg* args) {
    const Cell* path = args[0].cell;
    if (!platform::set_current_dir(file::to_os_path(path))) fire(err::access::cannot_open, path);
    return unset_answer();
}

Arg create_dir(const Arg* args) {
    if (!files::make_dir(args[0].cell)) fire(err::access::no_create, args[0].cell);
    return unset_answer();
}

Arg make_private(const Arg* args) {
    if (!files::make_private(args[0].cell)) fire(err::access::no_create, args[0].cell);
    return unset_answer();
}

Arg exists_q(const Arg* args) { return value_answer(files::exists(args[0].cell) ? 1 : 0); }

Arg os_info(const Arg*) { return cell_answer(os_info::push()); }

Arg write_stdout(const Arg* args) {
    files::write_stdout(args[0].cell);
    return unset_answer();
}

// ---------------------------------------------------------------- tuples

// Each component reduced modulo 256.
Arg as_color(const Arg* args) {
    refuse_negative(args, 3);
    const int32_t components[] = {integer::get(args[0].cell), integer::get(args[1].cell),
                                  integer::get(args[2].cell)};
    return cell_answer(tuple::push_bytes(3, components));
}

// The components are or-ed in at their byte positions unreduced: one above
// 255 spills into the bytes after it, and what spills past the fourth byte
// is lost.
Arg as_ipv4(const Arg* args) {
    refuse_negative(args, 4);
    uint32_t packed = 0;
    for (uint32_t i = 0; i < 4; i++) packed |= uint32_t(integer::get(args[i].cell)) << (8 * i);
    return cell_answer(tuple::push(4, packed, 0, 0));
}

// ---------------------------------------------------------------- UTF-8 and the stack

// Both positions are taken in start's buffer and clamped to its tail, so
// nothing outside it is read; a sequence that crosses pos counts once.
Arg count_chars(const Arg* args) {
    SeriesBuffer* buffer = series_buffer(args[0].cell);
    uint32_t length = buffer->length();
    uint32_t from = std::min(series_index(args[0].cell), length);
    uint32_t to = std::min(series_index(args[1].cell), length);
    if (to <= from) return value_answer(0);
    const auto* bytes = reinterpret_cast<const uint8_t*>(buffer->first());
    return value_answer(int32_t(unicode::count_utf8_chars(bytes + from, bytes + to)));
}

Arg stack_size_q(const Arg*) { return value_answer(stack_size()); }

// Index 1 is the bottom cell; the top cell, this routine's own argument, is
// out of reach.
Arg pick_stack(const Arg* args) {
    int32_t index = integer::get(args[0].cell);
    if (index <= 0 || index >= stack_size()) return cell_answer(stack::push(&none::constant));
    return cell_answer(stack::push(stack::arguments_bottom + (index - 1)));
}

// The current frame is this routine's own call.
Arg frame_index_q(const Arg*) { return value_answer(int32_t(stack::arguments - stack::arguments_bottom)); }

Arg collect_calls(const Arg* args) {
    stack::collect_calls(args[0].cell);
    return unset_answer();
}

Arg tracing_q(const Arg*) { return logic_answer(eval::trace::tracing); }

// Granted only while a tracer is installed: outside a traced evaluation
// delivery stays off whatever is asked.
Arg set_tracing(const Arg* args) {
    eval::trace::set_tracing(logic::get(args[0].cell));
    return unset_answer();
}

Arg library_function_q(const Arg* args) { return value_answer(stack::library_function(args[0].cell) ? 1 : 0); }

// ---------------------------------------------------------------- preprocessor

namespace {

// Whether the block, paren or hash holds an issue! from its index on,
// itself or in the blocks and parens inside it at any depth. Nothing allocates, so
// the buffers stay put; a block that holds itself ends in stack-overflow.
bool holds_issue(const Cell* block) {
    eval::check_stack();
    SeriesBuffer* buffer = series_buffer(block);
    for (uint32_t i = series_index(block); i < buffer->length(); i++) {
        const Cell* value = buffer->cells() + i;
        uint32_t type = cell_type(value);
        if (type == TYPE_ISSUE) return true;
        if ((type == TYPE_BLOCK || type == TYPE_PAREN) && holds_issue(value)) return true;
    }
    return false;
}

}  // namespace

// Code without an issue has nothing for the preprocessor while no macro is
// registered: it is skipped without a walk in the parse dialect.
Arg holds_issue_q(const Arg* args) { return value_answer(holds_issue(args[0].cell) ? 1 : 0); }

// ---------------------------------------------------------------- clipboard

Arg read_clipboard(const Arg*) { return cell_answer(clipboard::read()); }

Arg write_clipboard(const Arg* args) { return value_answer(clipboard::write(args[0].cell) ? 1 : 0); }

}  // namespace vek::routines
