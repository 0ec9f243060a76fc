#include "tests/pty/vek_terminal.h"

#include <unistd.h>

#include <algorithm>
#include <string_view>

extern char** environ;

namespace vek::test {

namespace {

using Clock = std::chrono::steady_clock;

// The slice a wait reads for, so that held-back replies leave on time.
constexpr int SLICE_MS = 5;

// The environment of the test with the terminal's own variables replaced.
std::vector<std::string> terminal_environment() {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        std::string_view variable(*entry);
        bool replaced = false;
        for (std::string_view name : {"TERM=", "COLORTERM=", "LANG=", "LC_ALL=", "LC_CTYPE="})
            replaced = replaced || variable.starts_with(name);
        if (!replaced) variables.emplace_back(variable);
    }
    variables.emplace_back("TERM=xterm-256color");
    variables.emplace_back("LANG=C.UTF-8");
    return variables;
}

std::vector<char*> pointers_to(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

VekTerminal::VekTerminal(const std::string& vek)
    : arguments_{vek},
      variables_(terminal_environment()),
      argv_(pointers_to(arguments_)),
      envp_(pointers_to(variables_)),
      pty_([this] { execve(argv_[0], argv_.data(), envp_.data()); }, COLUMNS, ROWS,
           [this](PtyProcess&) { take_output(); }) {}

void VekTerminal::take_output() {
    const std::string& output = pty_.output();
    screen_.feed(std::string_view(output).substr(fed_));
    fed_ = output.size();
    if (screen_.replies.empty()) return;
    replies_.push_back(Reply{Clock::now() + reply_delay_, std::move(screen_.replies)});
    screen_.replies.clear();
    send_due_replies();
}

void VekTerminal::send_due_replies() {
    auto now = Clock::now();
    auto due = std::stable_partition(replies_.begin(), replies_.end(),
                                     [now](const Reply& reply) { return reply.due <= now; });
    for (auto reply = replies_.begin(); reply != due; ++reply) pty_.type(reply->bytes);
    replies_.erase(replies_.begin(), due);
}

void VekTerminal::mouse(int column, int row, bool press, int button) {
    type("\x1b[<" + std::to_string(button) + ";" + std::to_string(column + 1) + ";" + std::to_string(row + 1) +
         (press ? "M" : "m"));
}

void VekTerminal::resize(int columns, int rows) {
    rows_ = rows;
    screen_.resize(rows, columns);
    pty_.resize(columns, rows);
}

bool VekTerminal::until(const std::function<bool()>& done) {
    auto deadline = Clock::now() + std::chrono::milliseconds(PtyProcess::WAIT_MS);
    for (;;) {
        send_due_replies();
        if (done()) return true;
        if (Clock::now() >= deadline) return false;
        pty_.read_some(SLICE_MS);
    }
}

bool VekTerminal::wait_for(const std::string& bytes) {
    return until([&] {
        size_t found = pty_.output().find(bytes, seen_);
        if (found == std::string::npos) return false;
        seen_ = found + bytes.size();
        return true;
    });
}

bool VekTerminal::quiet_for(int milliseconds) {
    size_t before = pty_.output().size();
    auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (Clock::now() < end) {
        send_due_replies();
        pty_.read_some(SLICE_MS);
    }
    return pty_.output().size() == before;
}

bool VekTerminal::at_prompt() {
    return wait_for("\x1b[J>> ") && until([&] {
               return screen_.cursor_column() == 3 && screen_.row(screen_.cursor_row(), 3) == ">> ";
           });
}

bool VekTerminal::enter(const std::string& line) {
    type(line + "\r");
    return at_prompt();
}

int VekTerminal::row_of(const std::string& text) const {
    for (int row = 0; row < rows_; ++row)
        if (screen_.row(row).find(text) != std::string::npos) return row;
    return -1;
}

std::string VekTerminal::shown() const {
    std::string text;
    for (int row = 0; row < rows_; ++row) {
        std::string line = screen_.row(row);
        line.erase(line.find_last_not_of(' ') + 1);
        text += (row < 10 ? " " : "") + std::to_string(row) + "|" + line + "\n";
    }
    return text;
}

}  // namespace vek::test
