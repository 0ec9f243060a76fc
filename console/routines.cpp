#include "console/routines.h"

#include <algorithm>

#include "console/line_editor.h"
#include "console/stdin_reader.h"
#include "console/terminal.h"
#include "platform/signals.h"
#include "platform/stdin.h"
#include "platform/terminal.h"
#include "runtime/core/raise.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/series.h"
#include "runtime/output/stdout_writer.h"
#include "runtime/text/unicode.h"

namespace vek::console {

namespace {

constexpr uint32_t INPUT_STDIN_CAPACITY = 256;
// The size a console has when no terminal tells it.
constexpr platform::terminal::WindowSize DEFAULT_SIZE{80, 50};

// How the latest _read-input ended when it gave no line.
enum class InputEnd : uint8_t {
    line,         // it gave one
    ended,        // standard input was at its end before any character
    dropped,      // Ctrl+D on an empty line, or the terminal hung up
    interrupted,  // Ctrl+C at the console's own prompt
};

// The console's state for the process. The two cells sit in the root
// block, which never moves: the collector sees what they hold.
struct ConsoleState {
    Cell* edit_line = nullptr;     // the string that ask hands over, filled by the next _read-input
    Cell* edit_history = nullptr;  // the history block of the current ask
    bool interactive = false;      // standard input is a terminal
    bool editing = false;          // standard output is one too: lines are edited
    InputEnd input_end = InputEnd::line;
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

}  // namespace

Arg set_buffer_history(const Arg* args) {
    *state.edit_line = *args[0].cell;
    *state.edit_history = *args[1].cell;
    return unset_answer();
}

// ---------------------------------------------------------------- the line editor

namespace {

// The editor and its key reader live for the whole process: the text a
// completion puts back and the keys typed ahead go on to the next edit.
KeyReader& key_reader() {
    static KeyReader reader(tty_terminal());
    return reader;
}

LineEditor& line_editor() {
    static LineEditor editor(tty_terminal(), key_reader());
    return editor;
}

// The string's code points from its index to its tail.
std::u32string text_of(const Cell* string) {
    SeriesBuffer* buffer = series_buffer(string);
    std::u32string text;
    for (uint32_t i = series_index(string); i < buffer->length(); ++i)
        text += char32_t(string::get_char(buffer->at(i), buffer->unit()));
    return text;
}

// The strings of the history block, from its first cell, newest first.
// Values of other types stand as empty entries, so that positions agree.
std::vector<std::u32string> history_entries() {
    std::vector<std::u32string> entries;
    if (!is_any_block(cell_type(state.edit_history))) return entries;
    Node node = series_node(state.edit_history);
    for (uint32_t i = 0; i < node_buffer(node)->length(); ++i) {
        const Cell* entry = &node_buffer(node)->cells()[i];
        entries.push_back(is_any_string(cell_type(entry)) ? text_of(entry) : std::u32string());
    }
    return entries;
}

// A new string! with the text, its index at the cursor.
void make_string(Cell* cell, const std::u32string& text, size_t cursor) {
    string::rs_make_at(cell, uint32_t(text.size()));
    for (char32_t code : text) string::append_char(series_buffer(cell), code);
    set_series_index(cell, uint32_t(cursor));
}

// The function that completes a console line, when the completion module
// has defined one.
bool find_completion_function(Cell* function) {
    uint32_t context_symbol = symbol::make_case_folded("vek-complete-ctx");
    if (context::find_word(context::global_cell(), context_symbol, true) < 0) return false;
    Cell completion = *context::get_global_cell(context_symbol);
    if (cell_type(&completion) != TYPE_OBJECT) return false;
    const Cell* found = object::find_field(&completion, symbol::make_case_folded("complete-input"));
    if (!found || cell_type(found) != TYPE_FUNCTION) return false;
    *function = *found;
    return true;
}

// Each string of the answer, its index marking the cursor.
std::vector<Candidate> candidates_of(const Cell* answer) {
    std::vector<Candidate> candidates;
    if (!is_any_block(cell_type(answer))) return candidates;
    Node node = series_node(answer);
    for (uint32_t i = series_index(answer); i < node_buffer(node)->length(); ++i) {
        const Cell* candidate = &node_buffer(node)->cells()[i];
        if (!is_any_string(cell_type(candidate))) continue;
        Cell whole = *candidate;
        set_series_index(&whole, 0);
        candidates.push_back({text_of(&whole), series_index(candidate)});
    }
    return candidates;
}

// vek-complete-ctx/complete-input with the line (its index at the cursor)
// and true, for the console. An error in it leaves the edit.
std::vector<Candidate> complete_in_vek(const std::u32string& line, size_t cursor) {
    Cell function;
    if (!find_completion_function(&function)) return {};
    Cell* saved_top = stack::top;
    Cell values[2];
    make_string(&values[0], line, cursor);
    values[1] = *logic::constant(true);
    Cell name;
    word::make_at(symbol::make_case_folded("complete-input"), &name);
    eval::push_callback_call(&function, &name, values, 2);
    Pending pending = eval::call_function(&function, &name, eval::CALL_EVALUATOR);
    if (pending != Pending::none) eval::raise_pending(pending);
    Cell answer = *stack::arguments;
    std::vector<Candidate> candidates = candidates_of(&answer);
    stack::unwind_function_drop();
    stack::top = saved_top;
    return candidates;
}

// Keeps the line in the string that ask answers (its index at 0), and
// puts that very string at the front of the history.
void store_line(const EditResult& result) {
    string::reset(state.edit_line);
    for (char32_t code : result.line) string::append_char(series_buffer(state.edit_line), code);
    if (result.add_to_history && is_any_block(cell_type(state.edit_history)))
        block::insert_value(state.edit_history, state.edit_line, false, true);
}

// Raw mode lasts exactly as long as the edit: an error raised by completion
// leaves the terminal as it was.
EditEnd edit_line(const Cell* prompt, bool hidden) {
    output::flush();
    std::vector<std::u32string> history = history_entries();
    Completer complete = complete_in_vek;
    EditResult result;
    {
        platform::terminal::RawMode raw_mode;
        result = line_editor().edit({.prompt = text_of(prompt), .hidden = hidden, .history = history,
                                     .complete = complete});
    }
    store_line(result);
    return result.end;
}

// The console's own loop reads at its prompt when no call of the user's
// code is under way: there Ctrl+C quits the console. Anywhere else a
// script or a command is running, and Ctrl+C interrupts it as the signal
// would, ending the process.
InputEnd interrupt() {
    if (stack::interpreted(nullptr, false)) platform::end_by_interrupt();
    return InputEnd::interrupted;
}

InputEnd edited_end(EditEnd end) {
    switch (end) {
    case EditEnd::interrupt: return interrupt();
    case EditEnd::end_of_input: return InputEnd::dropped;
    default: return InputEnd::line;
    }
}

}  // namespace

// ---------------------------------------------------------------- routines

// At a terminal the line editor reads the line; from a pipe or a file the
// line is read as it comes. A read that raises leaves the input's end at a
// line: the input goes on after the bad line.
Arg read_input(const Arg* args) {
    // Called without _set-buffer-history first, the line has nowhere to go.
    if (cell_type(state.edit_line) != TYPE_STRING) string::rs_make_at(state.edit_line, 0);
    state.input_end = InputEnd::line;
    if (state.editing) {
        state.input_end = edited_end(edit_line(args[0].cell, logic::get(args[1].cell)));
        return unset_answer();
    }
    if (state.interactive) write_text(args[0].cell);
    if (stdin_reader::read_line(state.edit_line) == stdin_reader::LineEnd::no_input) state.input_end = InputEnd::ended;
    return unset_answer();
}

const char* input_end_name(InputEnd end) {
    switch (end) {
    case InputEnd::ended: return "ended";
    case InputEnd::dropped: return "dropped";
    case InputEnd::interrupted: return "interrupted";
    case InputEnd::line: break;
    }
    return nullptr;
}

Arg input_end(const Arg*) {
    const char* name = input_end_name(state.input_end);
    Cell* answer = stack::push(&none::constant);
    if (name) word::make_at(symbol::make_case_folded(name), answer);
    return cell_answer(answer);
}

Arg input_stdin(const Arg*) {
    Cell* line = string::rs_make_at(stack::push_cell(), INPUT_STDIN_CAPACITY);
    stdin_reader::read_line(line);
    return cell_answer(line);
}

Arg read_stdin(const Arg* args) {
    read_stdin_into(args[0].cell, args[1].cell);
    return unset_answer();
}

namespace {

// The title goes out in an OSC sequence, without the control characters
// that could end the sequence early or start another one.
void set_window_title(const Cell* title) {
    std::string sequence = "\x1b]2;";
    for (char32_t code : text_of(title)) {
        if (code < 0x20 || (code >= 0x7F && code < 0xA0)) continue;
        uint8_t bytes[4];
        sequence.append(reinterpret_cast<const char*>(bytes), size_t(unicode::encode_utf8_char(code, bytes)));
    }
    sequence += "\x07";
    output::flush();
    platform::terminal::write_output(sequence);
}

}  // namespace

// Setting the title cannot fail the console: a terminal that ignores the
// sequence keeps its own.
Arg init_console(const Arg* args) {
    if (platform::terminal::stdout_is_terminal() && is_any_string(cell_type(args[0].cell)))
        set_window_title(args[0].cell);
    platform::terminal::WindowSize size{0, 0};
    if (state.interactive && platform::terminal::stdout_is_terminal()) size = platform::terminal::window_size();
    if (size.columns <= 0 || size.rows <= 0) size = DEFAULT_SIZE;
    system_fields::set_console_size(size.columns, size.rows);
    return unset_answer();
}

// Raw mode never outlives an edit: nothing is left to undo.
Arg terminate_console(const Arg*) { return unset_answer(); }

// The block's next evaluation is the evaluator's top level: the C++ stack
// is scrubbed between its expressions, so that a value one of them dropped
// is not kept alive by the words its evaluation left there.
Arg set_top_level(const Arg* args) {
    eval::set_top_level(args[0].cell);
    return unset_answer();
}

std::string take_keys_read_ahead() { return key_reader().take_pending(); }

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

void init_hooks() {
    image_state::keep_pointer("console edit line", state.edit_line);
    image_state::keep_pointer("console edit history", state.edit_history);
}

void init_cells() { state = ConsoleState{.edit_line = root::append(), .edit_history = root::append()}; }

void init_terminal() {
    state.interactive = platform::stdin_is_terminal();
    state.editing = state.interactive && platform::terminal::stdout_is_terminal();
    state.input_end = InputEnd::line;
    if (state.editing) platform::terminal::watch_resizes();
}

}  // namespace vek::console
