// The ways out of UI mode, at a pseudo-terminal read by a terminal emulator
// (libvterm): a child process takes the terminal into UI mode, switches some
// of the GUI's terminal modes on, and then ends by a termination signal, an
// abort (a failed assertion), Ctrl+C, quit's restore, or a C++ exception that
// unwinds through the UI mode guard. Each time exactly the reset sequences of
// the modes that were on must follow, the emulator must end with the mouse
// off, the main screen and the cursor shown, and the terminal's settings
// must be those it had before. While UI mode is on, Ctrl+C alone raises a
// signal.
//
// Usage: terminal_restore. Prints "N passed, N failed".
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "platform/signals.h"
#include "platform/terminal.h"
#include "tests/pty/pty_process.h"
#include "tests/unit/support/vterm_screen.h"

namespace {

namespace pt = vek::platform::terminal;

constexpr const char* READY = "READY";

enum class WayOut { termination, abort, interrupt, quit, exception };

struct Case {
    const char* name;
    WayOut way_out;
    uint32_t modes;      // pt::Mode bits switched on
    const char* resets;  // what must follow READY
    int signal_number;   // the signal that ends the child, 0 for an exit with status 0
};

const Case CASES[] = {
    {"SIGTERM with the mouse and a hidden cursor", WayOut::termination, 0x1 | 0x4,
     "\x1b[?1000l\x1b[?1003l\x1b[?1015l\x1b[?1006l\x1b[?25h\x1b[0m", SIGTERM},
    {"abort on the alternate screen", WayOut::abort, 0x2 | 0x4, "\x1b[?1049l\x1b[?25h\x1b[0m", SIGABRT},
    {"Ctrl+C with every mode", WayOut::interrupt, 0x7,
     "\x1b[?1000l\x1b[?1003l\x1b[?1015l\x1b[?1006l\x1b[?1049l\x1b[?25h\x1b[0m", SIGINT},
    {"quit in UI mode with no mode on", WayOut::quit, 0, "\x1b[0m", 0},
    {"an exception through the guard", WayOut::exception, 0x1 | 0x2,
     "\x1b[?1000l\x1b[?1003l\x1b[?1015l\x1b[?1006l\x1b[?1049l", 0},
};

void switch_modes_on(uint32_t modes) {
    for (pt::Mode mode : {pt::Mode::mouse, pt::Mode::alternate_screen, pt::Mode::cursor_hidden})
        if (modes & uint32_t(mode)) pt::set_mode(mode, true);
}

void wait_for_go() {
    uint8_t byte = 0;
    while (pt::read_input(&byte, 1, -1) == pt::READ_INTERRUPTED) {}
}

// The child: UI mode, the modes, READY, then the way out once the parent has
// looked at the terminal's settings.
[[noreturn]] void child(const Case& c) {
    vek::platform::install_signal_handlers();
    pt::save();
    if (c.way_out == WayOut::exception) {
        try {
            pt::UiModeGuard guard;
            pt::enter_ui_mode();
            switch_modes_on(c.modes);
            pt::write_output(READY);
            wait_for_go();
            throw std::runtime_error("unwinding");
        } catch (const std::runtime_error&) {
        }
        pt::write_output("DONE");
        wait_for_go();
        _exit(0);
    }
    pt::enter_ui_mode();
    switch_modes_on(c.modes);
    pt::write_output(READY);
    wait_for_go();
    switch (c.way_out) {
    case WayOut::termination: raise(SIGTERM); break;
    case WayOut::abort: std::abort();
    case WayOut::interrupt: wait_for_go(); break;
    case WayOut::quit: pt::restore_async_safe(); break;
    case WayOut::exception: break;
    }
    _exit(0);
}

vek::test::Tally tally;


// UI mode: no echo, no line discipline, and of the signal characters only
// Ctrl+C.
bool in_ui_mode(const termios& t) {
    return (t.c_lflag & ISIG) && !(t.c_lflag & (ICANON | ECHO)) && t.c_cc[VQUIT] == _POSIX_VDISABLE &&
           t.c_cc[VSUSP] == _POSIX_VDISABLE && t.c_cc[VINTR] == 3;
}

bool ended_as_expected(int status, int signal_number) {
    if (status == -1) return false;
    if (signal_number != 0) return WIFSIGNALED(status) && WTERMSIG(status) == signal_number;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void run(const Case& c) {
    vek::test::PtyProcess pty([&c] { child(c); }, 40, 10);
    bool ok = pty.wait_for(READY);
    tally.check(std::string(c.name) + ": UI mode", ok && in_ui_mode(pty.settings()), pty.output());
    pty.type(c.way_out == WayOut::interrupt ? "\x03" : "g");
    int status = 0;
    if (c.way_out == WayOut::exception) {
        ok = ok && pty.wait_for("DONE");
        status = 0;
    } else {
        status = pty.wait_exit();
    }
    const std::string& out = pty.output();
    size_t after = out.find(READY);
    std::string resets = after == std::string::npos ? "" : out.substr(after + std::strlen(READY));
    if (c.way_out == WayOut::exception) resets = resets.substr(0, resets.find("DONE"));
    vek::test::VtermScreen emulator(10, 40);
    emulator.feed(out);
    bool screen_back = emulator.mouse == 0 && !emulator.alternate_screen && emulator.cursor_visible;
    ok = ok && resets == c.resets && screen_back && pty.terminal_restored() &&
         ended_as_expected(status, c.signal_number);
    tally.check(std::string(c.name) + ": restored", ok, out);
}

}  // namespace

int main() {
    for (const Case& c : CASES) run(c);
    return tally.report();
}
