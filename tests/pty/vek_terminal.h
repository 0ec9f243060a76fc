// vek at a terminal emulated by libvterm, for the end-to-end runs of the
// GUI: a fresh vek on a pseudo-terminal of 80 x 24, with TERM=xterm-256color,
// no COLORTERM and LANG=C.UTF-8. Everything vek writes goes through libvterm,
// and libvterm's answers (to the cursor position request) go back to vek, or
// are held back a while when a run asks. A run types raw key bytes and SGR
// mouse reports, resizes the terminal, and reads the cells with their
// attributes and libvterm's notes (title, OSC strings, the modes, the rows
// the cursor went to). Every wait is bounded.
#pragma once

#include <termios.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "tests/pty/pty_process.h"
#include "tests/unit/support/vterm_screen.h"

namespace vek::test {

class VekTerminal {
public:
    static constexpr int COLUMNS = 80;
    static constexpr int ROWS = 24;

    explicit VekTerminal(const std::string& vek);

    bool started() const { return pty_.started(); }
    PtyProcess& process() { return pty_; }
    VtermScreen& screen() { return screen_; }
    int rows() const { return rows_; }

    void type(const std::string& keys) { pty_.type(keys); }
    // An SGR mouse report of the button's press or release at the cell
    // (0-based), as the terminal sends it with mouse reporting on.
    void mouse(int column, int row, bool press, int button = 0);
    void click(int column, int row) {
        mouse(column, row, true);
        mouse(column, row, false);
    }
    void resize(int columns, int rows);
    // The terminal's answers reach vek this long after it asked.
    void hold_replies(int milliseconds) { reply_delay_ = std::chrono::milliseconds(milliseconds); }

    // Reads and answers until done() holds; false when the wait ran out.
    bool until(const std::function<bool()>& done);
    // Reads until the bytes show up after those an earlier wait consumed.
    bool wait_for(const std::string& bytes);
    // Reads for the time; true when nothing came.
    bool quiet_for(int milliseconds);
    // Waits for the console's next prompt, drawn and with the cursor after it.
    bool at_prompt();
    // Types the line and Enter, then waits for the next prompt.
    bool enter(const std::string& line);

    // The first row whose text holds the text, or -1.
    int row_of(const std::string& text) const;
    // The rows' text, each on a line with its number, for a failure report.
    std::string shown() const;

private:
    void take_output();
    void send_due_replies();

    // The child's arguments and environment, made before the fork: the
    // child may only exec.
    std::vector<std::string> arguments_;
    std::vector<std::string> variables_;
    std::vector<char*> argv_;
    std::vector<char*> envp_;
    PtyProcess pty_;
    VtermScreen screen_{ROWS, COLUMNS};
    int rows_ = ROWS;
    size_t fed_ = 0;   // output bytes libvterm has read
    size_t seen_ = 0;  // where the next wait_for looks
    std::chrono::milliseconds reply_delay_{0};
    struct Reply {
        std::chrono::steady_clock::time_point due;
        std::string bytes;
    };
    std::vector<Reply> replies_;
};

}  // namespace vek::test
