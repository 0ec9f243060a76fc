#include "view/backends/terminal/tty.h"

#include "console/routines.h"
#include "platform/stdin.h"
#include "platform/terminal.h"
#include "runtime/output/stdout_writer.h"

namespace vek::view::backends::terminal {

namespace {

namespace pt = platform::terminal;

constexpr TerminalSize DEFAULT_SIZE{80, 24};
// Read at a time while the terminal has more.
constexpr size_t READ_CHUNK = 4096;
// A pump takes at most this much: a flood of input cannot hold the loop.
constexpr size_t PUMP_LIMIT = 1 << 16;

uint32_t position_requests = 0;

void write_to_terminal(std::string_view text) {
    if (text.empty()) return;
    output::flush();
    pt::write_output(text);
}

}  // namespace

TerminalSize terminal_size() {
    pt::WindowSize size = pt::window_size();
    if (size.columns < 1 || size.rows < 1) return DEFAULT_SIZE;
    return {size.columns, size.rows};
}

bool enter_ui_mode(Screen& screen, InputParser& input) {
    bool entered = pt::enter_ui_mode();
    if (entered) {
        TerminalSize size = terminal_size();
        screen.set_terminal_size(size.columns, size.rows);
        input.feed(console::take_keys_read_ahead());
    }
    request_cursor_position(screen);
    return entered;
}

void leave_ui_mode() { pt::leave_ui_mode(); }

void request_cursor_position(const Screen& screen) {
    if (screen.full_screen || !platform::stdin_is_terminal() || !pt::stdout_is_terminal()) return;
    write_to_terminal("\x1b[6n");
    ++position_requests;
}

uint32_t cursor_position_requests() { return position_requests; }

size_t pump(InputParser& input, bool process) {
    if (!process) {
        pt::drop_input();
        return 0;
    }
    uint8_t chunk[READ_CHUNK];
    size_t total = 0;
    while (total < PUMP_LIMIT) {
        int64_t got = pt::read_input(chunk, sizeof chunk, 0);
        if (got <= 0) break;
        input.feed(std::span<const uint8_t>(chunk, size_t(got)));
        total += size_t(got);
    }
    return total;
}

void write_frame(Screen& screen, bool caret_shown) {
    output::flush();
    if (!caret_shown) pt::set_mode(pt::Mode::cursor_hidden, true);
    std::string_view frame = screen.frame_text(caret_shown);
    write_to_terminal(frame);
    screen.frame_drawn = screen.frame_drawn || !frame.empty();
    screen.redraw_needed = false;
    if (caret_shown) pt::set_mode(pt::Mode::cursor_hidden, false);
}

void erase_inline_area(Screen& screen) { write_to_terminal(screen.erase_text()); }

void leave_inline_area(Screen& screen) { write_to_terminal(screen.leave_text()); }

}  // namespace vek::view::backends::terminal
