#include "console/routines.h"

#include "platform/stdin.h"
#include "runtime/core/root.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/eval/stack.h"

namespace vek::console {

namespace {

using routine::Arg;

Arg unset_answer() { return Arg{.cell = make_unset(stack::push_cell())}; }

// The line that ask hands over, filled by the next read.
Cell* edit_line = nullptr;
bool input_ended = false;

Arg set_buffer_history(const Arg* args) {
    *edit_line = *args[0].cell;
    return unset_answer();
}

// One line of standard input, without its line feed.
Arg read_input(const Arg*) {
    std::string bytes;
    uint8_t byte;
    int64_t got;
    while ((got = platform::read_stdin(&byte, 1)) == 1 && byte != '\n') bytes.push_back(char(byte));
    input_ended = got != 1 && bytes.empty();
    string::append_c_string_part(edit_line, bytes.c_str(), uint32_t(bytes.size()));
    return unset_answer();
}

Arg input_ended_q(const Arg*) { return Arg{.integer = input_ended ? 1 : 0}; }

Arg nothing(const Arg*) { return unset_answer(); }

}  // namespace

void init() {
    edit_line = root::append();
    routine::register_fn("_set-buffer-history", set_buffer_history);
    routine::register_fn("_read-input", read_input);
    routine::register_fn("_input-ended?", input_ended_q);
    routine::register_fn("_terminate-console", nothing);
    routine::register_fn("input-stdin", nothing);
    routine::register_fn("read-stdin", nothing);
    routine::register_fn("init-console", nothing);
}

}  // namespace vek::console
