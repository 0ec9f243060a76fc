// The GUI at the console's prompt, end to end: each run starts a fresh vek
// at a terminal emulated by libvterm (tests/pty/vek_terminal.h), types at
// the prompt, and reads the screen's cells and libvterm's notes. After a run
// that ends at the prompt the terminal must be as it was at the first
// prompt: the same settings, the main screen, mouse reporting off, the
// cursor shown, and typing echoed; after one that ends vek, the settings
// must be those from before vek started.
//
// Usage: view_runs VEK. Prints "N passed, N failed".
#include <sys/wait.h>

#include <atomic>
#include <cstdio>
#include <cstring>
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

bool bad_rate_leaves_no_window(VekTerminal& t) {
    return t.enter("view [base rate 0]") && t.row_of("*** Script Error: VIEW - invalid rate value: 0") >= 0 &&
           t.enter("length? system/view/screens/1/pane") && t.row_of("== 0") >= 0;
}

const Run RUNS[] = {
    {"a bad rate raises and leaves no window", bad_rate_leaves_no_window, Ending::at_prompt},
};

// ---------------------------------------------------------------- the driver

bool same_settings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag && a.c_cflag == b.c_cflag &&
           std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

// The terminal given back: the emulator's modes, and for the prompt its
// settings and the echo of a line typed at it.
bool terminal_given_back(VekTerminal& t, Ending ending, const termios& at_first_prompt) {
    const auto& screen = t.screen();
    bool modes = !screen.alternate_screen && screen.mouse == 0 && screen.cursor_visible;
    if (ending == Ending::vek_ends) return modes && t.process().terminal_restored();
    bool settings = same_settings(t.process().settings(), at_first_prompt);
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: view_runs VEK\n");
        return 2;
    }
    // The runs mostly wait on vek: a few at once.
    constexpr size_t RUN_COUNT = sizeof RUNS / sizeof RUNS[0];
    std::vector<Verdict> verdicts(RUN_COUNT);
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            for (size_t at; (at = next++) < RUN_COUNT;) verdicts[at] = run(RUNS[at], argv[1]);
        });
    for (std::thread& worker : workers) worker.join();
    int failed = 0;
    for (size_t i = 0; i < RUN_COUNT; ++i) {
        if (verdicts[i].ok) continue;
        ++failed;
        report_failure(RUNS[i], verdicts[i]);
    }
    std::printf("%d passed, %d failed\n", int(RUN_COUNT) - failed, failed);
    return failed == 0 ? 0 : 1;
}
