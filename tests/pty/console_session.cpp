// Drives vek through a pseudo-terminal as a person at a terminal would:
// types lines with edits, recalls one with Up (in the same run and the
// next), types wide text, lists a directory, runs the debugger, and leaves by
// Ctrl+D, Ctrl+C or a termination signal, an input still open too; and
// answers a script's ask. The harness plays the terminal: it answers the
// cursor-position query. After each session the terminal's settings must be
// what they were before vek started.
//
// Usage: console_session VEK. Prints "N passed, N failed".
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>

#include "tests/pty/pty_process.h"

namespace {

// vek at an 80 x 24 terminal that answers its cursor-position queries.
class Session : public vek::test::PtyProcess {
public:
    // Runs the console, or the script when one is given.
    explicit Session(const char* vek, const char* script = nullptr)
        : PtyProcess([vek, script] { execl(vek, vek, script, static_cast<char*>(nullptr)); }, 80, 24,
                     [this](PtyProcess&) { answer_queries(); }) {}

    const std::string& screen() const { return output(); }

private:
    void answer_queries() {
        for (size_t at; (at = output().find("\x1b[6n", answered_)) != std::string::npos;) {
            answered_ = at + 4;
            type("\x1b[24;1R");
        }
    }

    size_t answered_ = 0;  // queries before this are answered
};

int passed = 0;
int failed = 0;

void check(const char* name, bool ok, const Session& session) {
    if (ok) {
        ++passed;
        return;
    }
    ++failed;
    std::printf("FAILED: %s\n--- screen ---\n%s\n---\n", name, session.screen().c_str());
}

bool exited_cleanly(int status) { return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// Edits, history recall, and Ctrl+D on an empty line.
void edit_recall_and_end(const char* vek) {
    Session s(vek);
    bool ok = s.started() && s.wait_for(">> ");
    s.type("x: 4\r");
    ok = ok && s.wait_for("== 4") && s.wait_for(">> ");
    s.type("abc\x01\x0bx * 3\x1b[D\x1b[D\x7f+\r");  // Ctrl+A, Ctrl+K, then "x + 3"
    ok = ok && s.wait_for("== 7") && s.wait_for(">> ");
    s.type("x: 10\r");
    ok = ok && s.wait_for("== 10") && s.wait_for(">> ");
    s.type("\x1b[A\x1b[A\r");  // the line before: x + 3
    ok = ok && s.wait_for("== 13") && s.wait_for(">> ");
    s.type("\x04");
    int status = s.wait_exit();
    check("edit, recall with Up, leave with Ctrl+D", ok && exited_cleanly(status) && s.terminal_restored(), s);
}

// The window title is set; Tab calls the completion function, whose errors
// leave the edit and come out as errors at the prompt.
void title_and_completion(const char* vek) {
    Session s(vek);
    bool ok = s.started() && s.wait_for("\x1b]2;Vek Console\x07") && s.wait_for(">> ");
    s.type("vek-complete-ctx: make object! [complete-input: func [s c] [reduce [at \"print 4242\" 9]]]\r");
    ok = ok && s.wait_for(">> ");
    s.type("pr\t\r");
    ok = ok && s.wait_for("\r\n4242\r\n") && s.wait_for(">> ");
    s.type("vek-complete-ctx/complete-input: func [s c] [1 / 0]\r");
    ok = ok && s.wait_for(">> ");
    s.type("pr\t");
    ok = ok && s.wait_for("zero") && s.wait_for(">> ");
    s.type("1 + 1\r");
    ok = ok && s.wait_for("== 2") && s.wait_for(">> ");
    s.type("\x04");
    int status = s.wait_exit();
    check("title, completion and an error in it", ok && exited_cleanly(status) && s.terminal_restored(), s);
}

// Ctrl+C at the prompt quits; lines pasted ahead all run.
void paste_ahead_and_interrupt(const char* vek) {
    Session s(vek);
    bool ok = s.started() && s.wait_for(">> ");
    s.type("1 + 1\r2 + 2\r3 + 3\r");
    ok = ok && s.wait_for("== 2") && s.wait_for("== 4") && s.wait_for("== 6") && s.wait_for(">> ");
    s.type("\x03");
    int status = s.wait_exit();
    check("pasted lines, then Ctrl+C", ok && exited_cleanly(status) && s.terminal_restored(), s);
}

// Ctrl+D while a block is still open drops it as Esc does, the console going
// on; Ctrl+C quits at once, and what was gathered never runs.
void open_input_dropped_or_quit(const char* vek) {
    Session s(vek);
    bool ok = s.started() && s.wait_for(">> ");
    s.type("x: [\r");
    ok = ok && s.wait_for("[    ");
    s.type("\x04");
    ok = ok && s.wait_for("(escape)") && s.wait_for(">> ");
    s.type("value? 'x\r");
    ok = ok && s.wait_for("== false") && s.wait_for(">> ");
    s.type("print {never\r");
    ok = ok && s.wait_for("{    ");
    s.type("\x03");
    int status = s.wait_exit();
    bool never_ran = s.screen().find("\r\nnever") == std::string::npos;
    check("Ctrl+D, then Ctrl+C, with input open", ok && never_ran && exited_cleanly(status) && s.terminal_restored(),
          s);
}

// In a script's ask at a terminal Ctrl+D is the end of the input, and
// Ctrl+C interrupts the script as the signal does.
void keys_in_a_script(const char* vek, const std::string& home) {
    std::string script = home + "/ask.vek";
    FILE* file = std::fopen(script.c_str(), "w");
    if (!file) return;
    std::fputs("Vek []\nprint mold ask \"first? \"\nprint mold ask \"second? \"\nprint \"after\"\n", file);
    std::fclose(file);
    Session s(vek, script.c_str());
    bool ok = s.started() && s.wait_for("first? ");
    s.type("\x04");
    ok = ok && s.wait_for("none") && s.wait_for("second? ");
    s.type("\x03");
    int status = s.wait_exit();
    bool by_interrupt = status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGINT;
    bool stopped = s.screen().find("after") == std::string::npos;
    check("Ctrl+D and Ctrl+C in a script's ask", ok && by_interrupt && stopped && s.terminal_restored(), s);
}

// A termination signal while a line is edited ends vek by that signal, with
// the terminal restored; so does a hang-up.
void ended_by_signal(const char* vek, int signal_number, const char* name) {
    Session s(vek);
    bool ok = s.started() && s.wait_for(">> ");
    s.type("1 +");
    ok = ok && s.wait_for("1 +");
    kill(s.pid(), signal_number);
    int status = s.wait_exit();
    bool by_signal = status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == signal_number;
    check(name, ok && by_signal && s.terminal_restored(), s);
}

// The history is kept from one run to the next.
void history_across_runs(const char* vek) {
    bool ok = true;
    {
        Session s(vek);
        ok = s.started() && s.wait_for(">> ");
        s.type("7 * 6\r");
        ok = ok && s.wait_for("== 42") && s.wait_for(">> ");
        s.type("\x04");
        ok = ok && exited_cleanly(s.wait_exit());
        check("a first run keeps its history", ok, s);
    }
    Session s(vek);
    ok = s.started() && s.wait_for(">> ");
    s.type("\x1b[A\r");
    ok = ok && s.wait_for("== 42") && s.wait_for(">> ");
    s.type("\x04");
    check("the next run recalls it", ok && exited_cleanly(s.wait_exit()), s);
}

// A double-width character typed at the last column wraps to the next row
// and stays part of the line; Tab completes a word; ls and cd work at the
// prompt.
void wide_text_and_shell_commands(const char* vek, const std::string& home) {
    Session s(vek);
    bool ok = s.started() && s.wait_for(">> ");
    std::string line = "length? \"" + std::string(66, 'a') + "\xe4\xb8\xad\xe4\xb8\xad\"\r";
    s.type(line);
    ok = ok && s.wait_for("== 68") && s.wait_for(">> ");
    s.type("uppercas\t \"ab\"\r");  // Tab completes the word
    ok = ok && s.wait_for("== \"AB\"") && s.wait_for(">> ");
    s.type("cd %" + home + "\r");
    ok = ok && s.wait_for(">> ");
    s.type("write %listed.txt \"\" ls\r");
    ok = ok && s.wait_for("listed.txt") && s.wait_for(">> ");
    s.type("\x04");
    check("wide text, Tab, cd and ls", ok && exited_cleanly(s.wait_exit()) && s.terminal_restored(), s);
}

// Commands typed at the debugger's prompt leave the history when debug
// ends: two Ups recall the line typed before debug.
void debugger_history(const char* vek) {
    Session s(vek);
    bool ok = s.started() && s.wait_for(">> ");
    s.type("1 + 1\r");
    ok = ok && s.wait_for("== 2") && s.wait_for(">> ");
    s.type("debug [3 + 4]\r");
    ok = ok && s.wait_for("debug> ");
    s.type("s\r");
    ok = ok && s.wait_for("debug> ");
    s.type("c\r");
    ok = ok && s.wait_for(">> ");
    s.type("\x1b[A\x1b[A\r");
    ok = ok && s.wait_for("== 2") && s.wait_for(">> ");
    s.type("\x04");
    check("debugger commands leave the history", ok && exited_cleanly(s.wait_exit()), s);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: console_session VEK\n");
        return 2;
    }
    // A home of the run's own: the console keeps its history there.
    char home[] = "/tmp/vek-pty-XXXXXX";
    if (!mkdtemp(home)) return 2;
    setenv("HOME", home, 1);
    edit_recall_and_end(argv[1]);
    history_across_runs(argv[1]);
    wide_text_and_shell_commands(argv[1], home);
    paste_ahead_and_interrupt(argv[1]);
    open_input_dropped_or_quit(argv[1]);
    keys_in_a_script(argv[1], home);
    title_and_completion(argv[1]);
    debugger_history(argv[1]);
    ended_by_signal(argv[1], SIGTERM, "SIGTERM while editing");
    ended_by_signal(argv[1], SIGHUP, "SIGHUP while editing");
    std::filesystem::remove_all(home);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
