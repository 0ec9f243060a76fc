// The GUI backend's use of the terminal, at a pseudo-terminal read by a
// terminal emulator (libvterm): a child process enters UI mode as the
// backend does, answers nothing until the parent has replied to its cursor
// position request, pumps and parses what the terminal sent (the reply
// places the inline area, a key follows it), writes one frame into that area
// and leaves it. The emulator must show the frame's rows where the reply put
// them, the cursor hidden during the frame and shown again, and the terminal
// must get its settings back. The request is written only when standard
// input and output are both terminals: with either redirected the reply
// would land in the shell after the program ends, or the request in the
// redirected output.
//
// Usage: terminal_backend. Prints "N passed, N failed".
#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/terminal.h"
#include "tests/pty/pty_process.h"
#include "tests/unit/support/vterm_screen.h"
#include "view/backends/terminal/tty.h"

namespace {

namespace pt = vek::platform::terminal;
namespace tui = vek::view::backends::terminal;

constexpr const char* CURSOR_REQUEST = "\x1b[6n";

void say(const std::string& text) { pt::write_output(text); }

// Pumps until the parser gives an event or the wait runs out.
std::vector<tui::InputEvent> read_events(tui::InputParser& input, int32_t& first_row) {
    std::vector<tui::InputEvent> events;
    for (int tries = 0; tries < 50 && events.empty(); ++tries) {
        pt::wait_input(100);
        tui::pump(input, true);
        input.parse(events, first_row);
    }
    return events;
}

// A frame of two rows, "ab" over "cd", in the inline area.
void write_two_rows(tui::Screen& screen) {
    screen.resize(2, 2);
    screen.clear();
    const char32_t text[] = U"abcd";
    for (int32_t i = 0; i < 4; ++i) screen.at(i % 2, i / 2).code = text[i];
    tui::write_frame(screen, false);
}

[[noreturn]] void child_at_terminal() {
    pt::save();
    tui::Screen screen;
    tui::InputParser input;
    bool entered = tui::enter_ui_mode(screen, input);
    say(entered ? "READY1" : "READY0");
    std::vector<tui::InputEvent> events = read_events(input, screen.area_first_row);
    int32_t key = events.empty() ? 0 : events[0].key;
    write_two_rows(screen);
    tui::leave_inline_area(screen);
    pt::set_mode(pt::Mode::cursor_hidden, false);
    tui::leave_ui_mode();
    say("ROW=" + std::to_string(screen.area_first_row) + " KEY=" + std::to_string(key) + " DONE");
    _exit(0);
}

[[noreturn]] void child_without_terminal_input() {
    int null = open("/dev/null", O_RDONLY);
    dup2(null, STDIN_FILENO);
    tui::Screen screen;
    tui::InputParser input;
    say(tui::enter_ui_mode(screen, input) ? "READY1 DONE" : "READY0 DONE");
    _exit(0);
}

// Standard output is a pipe while UI mode starts; what reached the pipe is
// then told on the terminal (standard error).
[[noreturn]] void child_without_terminal_output() {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) _exit(1);
    int terminal = dup(STDOUT_FILENO);
    dup2(pipe_ends[1], STDOUT_FILENO);
    tui::Screen screen;
    tui::InputParser input;
    bool entered = tui::enter_ui_mode(screen, input);
    tui::leave_ui_mode();
    dup2(terminal, STDOUT_FILENO);
    fcntl(pipe_ends[0], F_SETFL, O_NONBLOCK);
    char piped[64];
    ssize_t count = read(pipe_ends[0], piped, sizeof piped);
    say(std::string(entered ? "READY1" : "READY0") + " PIPED=" + std::to_string(count < 0 ? 0 : count) + " DONE");
    _exit(0);
}

vek::test::Tally tally;


void inline_frame_at_the_reported_row() {
    vek::test::PtyProcess pty(child_at_terminal, 20, 8);
    bool ok = pty.wait_for(CURSOR_REQUEST) && pty.wait_for("READY1");
    // The reply puts the cursor on row 5 (1-based); a key follows it.
    pty.type("\x1b[5;1Rx");
    ok = ok && pty.wait_for("ROW=4 KEY=120 DONE") && pty.wait_exit() == 0;
    vek::test::VtermScreen emulator(8, 20);
    emulator.feed("\x1b[5;1H");  // where the reply said the cursor was
    emulator.feed(pty.output().substr(pty.output().find("READY1") + 6));
    ok = ok && emulator.row(4, 2) == "ab" && emulator.row(5, 2) == "cd" && emulator.cursor_visible;
    // The cursor hidden before the frame, shown after it.
    const std::string& out = pty.output();
    size_t hidden = out.find("\x1b[?25l"), shown = out.find("\x1b[?25h");
    ok = ok && hidden != std::string::npos && shown != std::string::npos && hidden < out.find("ab") &&
         shown > out.find("cd");
    tally.check("an inline frame where the cursor was", ok && pty.terminal_restored(), out);
}

void no_request_without_two_terminals(void (*child)(), const char* expected, const char* name) {
    vek::test::PtyProcess pty(child, 20, 8);
    bool ok = pty.wait_for(expected) && pty.wait_exit() == 0;
    ok = ok && pty.output().find(CURSOR_REQUEST) == std::string::npos;
    tally.check(name, ok && pty.terminal_restored(), pty.output());
}

}  // namespace

int main() {
    inline_frame_at_the_reported_row();
    no_request_without_two_terminals(child_without_terminal_input, "READY0 DONE", "standard input redirected");
    no_request_without_two_terminals(child_without_terminal_output, "READY1 PIPED=0 DONE",
                                     "standard output redirected");
    return tally.report();
}
