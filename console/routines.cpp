#include "console/routines.h"

#include <algorithm>

#include "console/stdin_reader.h"
#include "platform/stdin.h"
#include "platform/terminal.h"
#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"
#include "runtime/memory/series.h"
#include "runtime/output/stdout_writer.h"

namespace vek::console {

namespace {

using routine::Arg;

constexpr uint32_t INPUT_STDIN_CAPACITY = 256;
// The size a console has when no terminal tells it.
constexpr platform::terminal::WindowSize DEFAULT_SIZE{80, 50};

// The console's state for the process. The two cells sit in the root
// block, which never moves: the collector sees what they hold.
struct ConsoleState {
    Cell* edit_line = nullptr;     // the string that ask hands over, filled by the next _read-input
    Cell* edit_history = nullptr;  // the history block of the current ask
    bool interactive = false;      // standard input is a terminal
    bool input_ended = false;      // the latest _read-input found the input at its end before any character
};

ConsoleState state;

// A routine declared without return: takes its arguments as cells and
// answers a cell, which stays on the stack until the routine's frame goes.
Arg cell_answer(Cell* cell) { return Arg{.cell = cell}; }
Arg unset_answer() { return cell_answer(make_unset(stack::push_cell())); }

// The text from the string's index, as it is.
void write_text(const Cell* text) {
    SeriesBuffer* buffer = series_buffer(text);
    uint32_t index = series_index(text);
    if (index >= buffer->length()) return;
    output::write(buffer->at(index), (buffer->length() - index) << buffer->unit_shift(), buffer->unit(), false);
}

Arg set_buffer_history(const Arg* args) {
    *state.edit_line = *args[0].cell;
    *state.edit_history = *args[1].cell;
    return unset_answer();
}

// At a terminal the prompt shows; hidden? changes nothing until a line
// editor can hide what is typed. A read that raises leaves input_ended
// false: the input goes on after the bad line.
Arg read_input(const Arg* args) {
    // Called without _set-buffer-history first, the line has nowhere to go.
    if (cell_type(state.edit_line) != TYPE_STRING) string::rs_make_at(state.edit_line, 0);
    if (state.interactive) write_text(args[0].cell);
    state.input_ended = false;
    state.input_ended = stdin_reader::read_line(state.edit_line) == stdin_reader::LineEnd::no_input;
    return unset_answer();
}

Arg input_ended(const Arg*) { return Arg{.integer = state.input_ended ? 1 : 0}; }

Arg input_stdin(const Arg*) {
    Cell* line = string::rs_make_at(stack::push_cell(), INPUT_STDIN_CAPACITY);
    stdin_reader::read_line(line);
    return cell_answer(line);
}

Arg read_stdin(const Arg* args) {
    read_stdin_into(args[0].cell, args[1].cell);
    return unset_answer();
}

// The title is not set: the terminal keeps its own.
Arg init_console(const Arg*) {
    platform::terminal::WindowSize size{0, 0};
    if (state.interactive && platform::terminal::stdout_is_terminal()) size = platform::terminal::window_size();
    if (size.columns <= 0 || size.rows <= 0) size = DEFAULT_SIZE;
    system_fields::set_console_size(size.columns, size.rows);
    return unset_answer();
}

Arg nothing(const Arg*) { return unset_answer(); }

}  // namespace

void read_stdin_into(const Cell* binary, const Cell* wanted) {
    if (integer::get(wanted) < 0) fire(err::script::invalid_arg, wanted);
    uint32_t room = std::min(uint32_t(integer::get(wanted)), READ_STDIN_LIMIT);
    if (room == 0) return;
    Node node = series_node(binary);
    uint32_t length = node_buffer(node)->used_bytes();
    uint32_t index = std::min(series_index(binary), length);
    std::byte* free = series::reserve_tail(node_buffer(node), room);
    int64_t got = stdin_reader::read_bytes(reinterpret_cast<uint8_t*>(free), room);
    uint32_t count = got > 0 ? uint32_t(got) : 0;
    SeriesBuffer* buffer = node_buffer(node);
    buffer->tail = buffer->offset + (length + count);
    // Read in after the tail, the bytes move to the index.
    std::rotate(buffer->first() + index, buffer->first() + length, buffer->first() + length + count);
}

void init() {
    state = ConsoleState{.edit_line = root::append(),
                         .edit_history = root::append(),
                         .interactive = platform::stdin_is_terminal()};
    routine::register_fn("_set-buffer-history", set_buffer_history);
    routine::register_fn("_read-input", read_input);
    routine::register_fn("_input-ended?", input_ended);
    routine::register_fn("_terminate-console", nothing);
    routine::register_fn("input-stdin", input_stdin);
    routine::register_fn("read-stdin", read_stdin);
    routine::register_fn("init-console", init_console);
}

}  // namespace vek::console
