// The GUI at the console's prompt, end to end: each run starts a fresh vek
// at a terminal emulated by libvterm (tests/pty/vek_terminal.h), types at
// the prompt, and reads the screen's cells and libvterm's notes. After a run
// that ends at the prompt the terminal must be as it was at the first
// prompt: the same settings, the main screen, mouse reporting off, the
// cursor shown, and typing echoed; after one that ends vek, the settings
// must be those from before vek started.
//
// Usage: view_runs VEK [PART-OF-A-NAME], the runs whose name holds the
// text, or all. Prints "N passed, N failed".
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/pty/vek_terminal.h"

namespace {

using vek::test::VekTerminal;

enum class Ending { at_prompt, vek_ends };

struct Run {
    const char* name;
    bool (*steps)(VekTerminal&);
    Ending ending;
};

// ---------------------------------------------------------------- the runs

// The first row at or below the row that shows the text, or -1.
int row_below(VekTerminal& t, int from, const std::string& text) {
    for (int row = std::max(from, 0); row < t.rows(); ++row)
        if (t.screen().row(row).find(text) != std::string::npos) return row;
    return -1;
}

// The first row below the command typed at the prompt (which may wrap), or
// -1.
int below_command(VekTerminal& t, const std::string& command) {
    int row = t.row_of(">> " + command.substr(0, VekTerminal::COLUMNS / 2));
    return row < 0 ? -1 : row + int(3 + command.size()) / VekTerminal::COLUMNS + 1;
}

// Waits until a row below the command shows the text; its row.
int shown_below_command(VekTerminal& t, const std::string& command, const std::string& text) {
    int row = -1;
    t.until([&] {
        int first = below_command(t, command);
        row = first < 0 ? -1 : row_below(t, first, text);
        return row >= 0;
    });
    return row;
}

// Types the command and waits until its window shows the text below it.
int open_window(VekTerminal& t, const std::string& command, const std::string& text) {
    t.type(command + "\r");
    return shown_below_command(t, command, text);
}

int column_of(VekTerminal& t, int row, const std::string& text) {
    size_t at = t.screen().row(row).find(text);
    return at == std::string::npos ? -1 : int(at);
}

bool reversed(VekTerminal& t, int row, const std::string& text) {
    int column = column_of(t, row, text);
    return column >= 0 && t.screen().cell(row, column).reverse;
}

// Waits for a line an actor printed. The cursor position request behind it
// may still be unanswered: an Escape typed next can reach vek in one read
// with the answer, and must still close the window.
bool printed(VekTerminal& t, const std::string& line) { return t.wait_for(line + "\r\n"); }

// No line of the console starts with a result ("== ...").
bool no_result_line(VekTerminal& t) {
    for (int row = 0; row < t.rows(); ++row)
        if (t.screen().row(row).starts_with("==")) return false;
    return true;
}

// Escape closes the window; the prompt comes back below the row.
bool escape_closes(VekTerminal& t, int window_row) {
    t.type("\x1b");
    return t.at_prompt() && t.screen().cursor_row() > window_row && no_result_line(t);
}

bool button_below_the_prompt(VekTerminal& t) {
    std::string command = "view [button \"OK\"]";
    int row = open_window(t, command, "OK");
    // The frame's last row is the lowest the cursor went to.
    int last = t.screen().cursor_bottom;
    return row >= 0 && last > row && reversed(t, row, "OK") && escape_closes(t, last);
}

bool button_from_the_last_row(VekTerminal& t) {
    bool ok = t.enter("loop 30 [print \"\"]") && t.screen().cursor_row() == VekTerminal::ROWS - 1;
    std::string command = "view [button \"OK\"]";
    int row = ok ? open_window(t, command, "OK") : -1;
    // The window is three rows: the button's and one below it show.
    if (row < 0 || row > VekTerminal::ROWS - 2 || !reversed(t, row, "OK")) return false;
    // The line feed after the frame's last row scrolls the screen once more.
    t.type("\x1b");
    return t.at_prompt() && t.screen().cursor_row() == VekTerminal::ROWS - 1 && t.row_of(" OK ") == row - 1 &&
           no_result_line(t);
}

// Keys are typed once the window shows: typed before, the terminal would
// still echo them.
bool field_data_follows_and_prints_above(VekTerminal& t) {
    std::string command = "view [f: field 20 \"1\" on-change [print [\"data\" f/data]]]";
    bool ok = open_window(t, command, "1") >= 0;
    t.type("4");
    ok = ok && shown_below_command(t, command, "data 14") >= 0;
    t.type("2");
    int line = shown_below_command(t, command, "data 142");
    int field = -1;
    ok = ok && line >= 0 && t.until([&] { return (field = row_below(t, line + 1, "142")) > line; });
    // The caret stands on the field's row; the frame goes on below it.
    int last = t.screen().cursor_bottom;
    return ok && last > field && escape_closes(t, last) && t.enter("print f/data + 1") && t.row_of("143") >= 0;
}

bool tab_between_two_fields(VekTerminal& t) {
    int row = open_window(t, "view [a: field 10 \"p\" b: field 10 \"q\"]", "q");
    t.type("x\ty");
    bool ok = row >= 0 && t.until([&] {
        std::string shown = t.screen().row(row);
        return shown.find("px") != std::string::npos && shown.find("qy") != std::string::npos;
    });
    int last = t.screen().cursor_bottom;
    return ok && last > row && escape_closes(t, last) && t.enter("print [a/text b/text]") && t.row_of("px qy") >= 0;
}

bool full_screen_and_back(VekTerminal& t) {
    bool ok = t.enter("print \"before\"");
    t.type("view/flags [button \"OK\"] 'fullscreen\r");
    ok = ok && t.until([&] { return t.screen().alternate_screen && t.row_of("OK") >= 0; });
    ok = ok && t.row_of("before") < 0;
    t.type("\x1b");
    return ok && t.at_prompt() && !t.screen().alternate_screen && t.row_of("before") >= 0 &&
           t.row_of("view/flags") >= 0;
}

bool rate_timer_prints_and_unviews(VekTerminal& t) {
    std::string command = "view [base rate 20 on-time [print \"tick\" unview]]";
    return t.enter(command) && row_below(t, below_command(t, command), "tick") > 0 && no_result_line(t);
}

bool resize_reaches_on_resize(VekTerminal& t) {
    bool ok = t.enter("a: object [on-resize: func [f e] [print [\"resized\" e/offset]]]");
    int row = ok ? open_window(t, "view/options [button \"OK\"] [actors: a]", "OK") : -1;
    t.resize(70, 20);
    ok = row >= 0 && printed(t, "resized 70x20");
    t.type("\x1b");
    return ok && t.at_prompt();
}

bool blocking_view_after_no_wait(VekTerminal& t) {
    bool ok = t.enter("w: view/no-wait [button \"A\"]");
    std::string command = "view [button \"B\" [print \"pressed\" unview]]";
    int row = ok ? open_window(t, command, "B") : -1;
    t.type("\r");
    return row >= 0 && t.at_prompt() && row_below(t, below_command(t, command), "pressed") > 0;
}

// Mouse reporting on, a window of two buttons with their actors (B's as
// A's when not given): their row and columns.
struct TwoButtons {
    int row = -1;
    int a = -1;
    int b = -1;
};

TwoButtons open_two_buttons(VekTerminal& t, const std::string& a_actors, std::string b_actors = "") {
    TwoButtons shown;
    if (!t.enter("system/view/platform/mouse-event?: true")) return shown;
    if (b_actors.empty()) b_actors = a_actors;
    std::string command = "view [button \"A\" " + a_actors + " button \"B\" " + b_actors + "]";
    shown.row = open_window(t, command, "B");
    if (shown.row < 0) return shown;
    shown.a = column_of(t, shown.row, "A");
    shown.b = column_of(t, shown.row, "B");
    return shown;
}

bool mouse_modes_set_and_reset(VekTerminal& t) {
    const char* modes[] = {"1000", "1003", "1015", "1006"};
    TwoButtons shown = open_two_buttons(t, "[print [\"pressed\" face/text]]");
    bool ok = shown.row >= 0 && t.screen().mouse != 0;
    for (const char* mode : modes)
        ok = ok && t.process().output().find(std::string("\x1b[?") + mode + "h") != std::string::npos;
    t.click(shown.b, shown.row);
    ok = ok && printed(t, "pressed B") && t.row_of("pressed A") < 0;
    t.type("\x1b");
    ok = ok && t.at_prompt();
    size_t end = t.process().output().rfind("\x1b[?1000l");
    for (const char* mode : modes)
        ok = ok && end != std::string::npos &&
             t.process().output().find(std::string("\x1b[?") + mode + "l", end) != std::string::npos;
    return ok;
}

// The actors print in capitals, so that the command's echo does not match.
bool two_quick_clicks(VekTerminal& t) {
    TwoButtons shown =
        open_two_buttons(t, "on-click [print uppercase \"click\"] on-dbl-click [print uppercase \"dbl\"]");
    t.click(shown.b, shown.row);
    t.click(shown.b, shown.row);
    int first = -1;
    bool ok = shown.row >= 0 && printed(t, "DBL") && (first = t.row_of("CLICK")) >= 0 &&
              t.screen().row(first + 1).starts_with("CLICK ") && t.screen().row(first + 2).starts_with("DBL ");
    t.type("\x1b");
    return ok && t.at_prompt();
}

// The ways out of a shown window that end vek, from a full-screen window
// with mouse reporting on and the cursor hidden: the emulator must end with
// those modes off, and the terminal's settings those from before vek
// started.
bool ends_from_the_window(VekTerminal& t, const std::function<void()>& end_it) {
    bool ok = t.enter("system/view/platform/mouse-event?: true");
    t.type("view/flags [button \"OK\"] 'fullscreen\r");
    const auto& screen = t.screen();
    ok = ok && t.until([&] {
        return screen.alternate_screen && screen.mouse != 0 && !screen.cursor_visible && t.row_of(" OK ") >= 0;
    });
    if (!ok) return false;
    end_it();
    return t.process().wait_exit() != -1;
}

bool quit_from_an_actor(VekTerminal& t) {
    t.type("view [base rate 20 on-time [quit]]\r");
    int status = t.process().wait_exit();
    return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool control_c(VekTerminal& t) {
    return ends_from_the_window(t, [&] { t.type("\x03"); });
}

bool termination_signal(VekTerminal& t) {
    return ends_from_the_window(t, [&] { kill(t.process().pid(), SIGTERM); });
}

bool abort_signal(VekTerminal& t) {
    return ends_from_the_window(t, [&] { kill(t.process().pid(), SIGABRT); });
}

bool fault_signal(VekTerminal& t) {
    return ends_from_the_window(t, [&] { kill(t.process().pid(), SIGSEGV); }) &&
           t.process().output().find("*** Runtime Error") != std::string::npos;
}

bool halt_from_an_actor(VekTerminal& t) {
    int row = open_window(t, "view [button \"OK\" [halt]]", "OK");
    t.type("\r");
    return row >= 0 && t.at_prompt() && t.screen().cursor_row() > row;
}

// An actor prints, a frame follows below the printed line, and the next
// tick's actor closes the window: the answer to the request written after
// the print comes 50 ms late, when the loop has ended. vek takes it, and the
// next prompt is drawn below the frame, not on the row the late answer
// names (the frame's first).
bool late_cursor_reply(VekTerminal& t) {
    t.hold_replies(50);
    std::string command = "view [base 3x2 rate 30 on-time [either value? 'shown [unview] [shown: true print \"last\"]]]";
    bool ok = t.enter(command);
    int line = row_below(t, below_command(t, command), "last");
    ok = ok && line > 0 && t.screen().cursor_row() > line + 2;
    t.hold_replies(0);
    return ok;
}

// Escape sequences, CR and TAB in a field's text and a text face's show as
// cells: no title, no OSC string, no cursor move out of the window's rows.
bool control_characters_show_as_cells(VekTerminal& t) {
    bool ok = t.enter("s: {a^[]0;x^Gb^[]52;c;eA==^Gc^Md^-e} ()");
    int command_row = t.screen().cursor_row();
    t.screen().forget_events();
    t.type("view compose [below field 40 (s) text 40 (s)]\r");
    int field = -1, text = -1;
    ok = ok && t.until([&] {
        field = row_below(t, command_row + 1, "]0;x");
        text = row_below(t, field + 1, "]0;x");
        return field > command_row && text > field;
    });
    for (int row : {field, text}) ok = ok && column_of(t, row, "]52;c;eA==") > column_of(t, row, "]0;x");
    const auto& screen = t.screen();
    int last = screen.cursor_bottom;
    ok = ok && !screen.title_set && screen.osc.empty() && screen.cursor_top >= command_row && last <= text + 1;
    // The prompt comes back below the text face's row and leaves it whole.
    return ok && escape_closes(t, last) && row_below(t, command_row + 1, "]52;c;eA==") == field &&
           row_below(t, field + 1, "]52;c;eA==") == text;
}

// A click whose actor closes the window, a second click in the same read:
// nothing reaches the closed window or the prompt.
bool unview_on_click_before_dbl_click(VekTerminal& t) {
    TwoButtons shown = open_two_buttons(t, "[unview]");
    t.click(shown.b, shown.row);
    t.click(shown.b, shown.row);
    return shown.row >= 0 && t.at_prompt() && t.screen().row(t.screen().cursor_row()).starts_with(">>  ");
}

// The pressed button leaves its pane before the release; a click then
// gives B the focus, and Escape closes the window.
bool release_after_the_pressed_button_left(VekTerminal& t) {
    TwoButtons shown =
        open_two_buttons(t, "on-down [remove find face/parent/pane face]", "[print uppercase \"b pressed\"]");
    t.mouse(shown.a, shown.row, true);
    t.mouse(shown.a, shown.row, false);
    t.click(shown.b, shown.row);
    bool ok = shown.row >= 0 && printed(t, "B PRESSED");
    t.type("\x1b");
    return ok && t.at_prompt();
}

// The hovered, focused button's actor takes it out of its pane; the window
// runs on: B takes a click and the focus.
bool hovered_focused_button_removed(VekTerminal& t) {
    TwoButtons shown = open_two_buttons(t, "[remove find face/parent/pane face print uppercase \"a gone\"]",
                                        "[print uppercase \"b pressed\"]");
    t.type("\x1b[<35;" + std::to_string(shown.a + 1) + ";" + std::to_string(shown.row + 1) + "M");
    t.type("\r");
    int gone = -1;
    bool ok = shown.row >= 0 && t.until([&] { return (gone = t.row_of("A GONE")) >= 0; });
    int row = -1;
    ok = ok && t.until([&] { return (row = row_below(t, gone + 1, "B")) > gone; });
    t.click(shown.b, row);
    ok = ok && printed(t, "B PRESSED");
    t.type("\x1b");
    return ok && t.at_prompt();
}

bool bad_rate_leaves_no_window(VekTerminal& t) {
    return t.enter("view [base rate 0]") && t.row_of("*** Script Error: VIEW - invalid rate value: 0") >= 0 &&
           t.enter("length? system/view/screens/1/pane") && t.row_of("== 0") >= 0;
}

const Run RUNS[] = {
    {"a button below the prompt, Escape", button_below_the_prompt, Ending::at_prompt},
    {"a button from the prompt on the last row", button_from_the_last_row, Ending::at_prompt},
    {"a field's data follows, an actor prints above", field_data_follows_and_prints_above, Ending::at_prompt},
    {"Tab between two fields", tab_between_two_fields, Ending::at_prompt},
    {"full screen and back", full_screen_and_back, Ending::at_prompt},
    {"a rate timer prints and unviews", rate_timer_prints_and_unviews, Ending::at_prompt},
    {"a resize reaches on-resize", resize_reaches_on_resize, Ending::at_prompt},
    {"a blocking view after view/no-wait", blocking_view_after_no_wait, Ending::at_prompt},
    {"mouse modes set and reset, a click on the second button", mouse_modes_set_and_reset, Ending::at_prompt},
    {"two quick clicks", two_quick_clicks, Ending::at_prompt},
    {"quit from an actor", quit_from_an_actor, Ending::vek_ends},
    {"Ctrl+C in a window", control_c, Ending::vek_ends},
    {"SIGTERM in a window", termination_signal, Ending::vek_ends},
    {"SIGABRT in a window", abort_signal, Ending::vek_ends},
    {"SIGSEGV from outside in a window", fault_signal, Ending::vek_ends},
    {"a halt from an actor", halt_from_an_actor, Ending::at_prompt},
    {"a late cursor position reply", late_cursor_reply, Ending::at_prompt},
    {"control characters show as cells", control_characters_show_as_cells, Ending::at_prompt},
    {"a click unviews before the double click", unview_on_click_before_dbl_click, Ending::at_prompt},
    {"the release after the pressed button left", release_after_the_pressed_button_left, Ending::at_prompt},
    {"a hovered, focused button removed", hovered_focused_button_removed, Ending::at_prompt},
    {"a bad rate raises and leaves no window", bad_rate_leaves_no_window, Ending::at_prompt},
};

// ---------------------------------------------------------------- the driver

// The terminal given back: the emulator's modes, and for the prompt its
// settings and the echo of a line typed at it.
bool terminal_given_back(VekTerminal& t, Ending ending, const termios& at_first_prompt) {
    const auto& screen = t.screen();
    bool modes = !screen.alternate_screen && screen.mouse == 0 && screen.cursor_visible;
    if (ending == Ending::vek_ends) return modes && t.process().terminal_restored();
    bool settings = vek::test::PtyProcess::same_settings(t.process().settings(), at_first_prompt);
    return modes && settings && t.enter("40 + 2") && t.row_of("== 42") >= 0;
}

struct Verdict {
    bool ok = false;
    std::string shown;
    std::string output;
};

Verdict run(const Run& r, const std::string& vek) {
    VekTerminal t(vek);
    Verdict verdict;
    if (t.started() && t.at_prompt()) {
        termios at_first_prompt = t.process().settings();
        t.screen().forget_events();
        verdict.ok = r.steps(t) && terminal_given_back(t, r.ending, at_first_prompt);
    }
    verdict.shown = t.shown();
    verdict.output = t.process().output();
    return verdict;
}

void report_failure(const Run& r, const Verdict& verdict) {
    std::printf("FAILED: %s\n--- screen ---\n%s--- output (its end) ---\n", r.name, verdict.shown.c_str());
    std::string_view output(verdict.output);
    if (output.size() > 3000) output.remove_prefix(output.size() - 3000);
    for (char c : output) std::printf(c >= 0x20 && c < 0x7F ? "%c" : "\\x%02x", (unsigned char)c);
    std::printf("\n---\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: view_runs VEK [PART-OF-A-NAME]\n");
        return 2;
    }
    std::vector<const Run*> chosen;
    for (const Run& r : RUNS)
        if (argc == 2 || std::strstr(r.name, argv[2]) != nullptr) chosen.push_back(&r);
    // The runs mostly wait on vek: a few at once.
    std::vector<Verdict> verdicts(chosen.size());
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            for (size_t at; (at = next++) < chosen.size();) verdicts[at] = run(*chosen[at], argv[1]);
        });
    for (std::thread& worker : workers) worker.join();
    int failed = 0;
    for (size_t i = 0; i < chosen.size(); ++i) {
        if (verdicts[i].ok) continue;
        ++failed;
        report_failure(*chosen[i], verdicts[i]);
    }
    std::printf("%d passed, %d failed\n", int(chosen.size()) - failed, failed);
    return failed == 0 ? 0 : 1;
}
