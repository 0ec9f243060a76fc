// Runs the cases of one .vek test file through the real vek binary and
// reports each case whose output differs from the expected text. The format
// is described in the README ("For contributors: Vek-level tests").
//
// Usage: vek_test_runner VEK FILE.vek [SHARD COUNT]
// With SHARD and COUNT, only the cases whose number (from 0) leaves SHARD
// divided by COUNT run: a file too long for one test runs as COUNT tests.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
// glibc 2.36's header declares pidfd_open without C linkage.
extern "C" {
#include <sys/pidfd.h>
}

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using Lines = std::vector<std::string>;

struct Case {
    int line = 0;  // of its first code line
    Lines code;
    Lines expected;
};

// What a file gives: its set-up code, which every case runs first, and its
// cases.
struct TestFile {
    Lines setup;
    std::vector<Case> cases;
};

struct Outcome {
    Lines output;
    std::string errors;  // what was written to standard error
    int status = -1;
};

// A case that runs longer than this is stuck; it fails rather than holding up
// the whole file until CTest's own time-out. The deepest cases take half a
// minute under the sanitizers with every append moving its buffer, and more
// on a loaded machine, so the limit leaves them room.
constexpr int CASE_SECONDS = 180;

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool is_setup(const std::string& line) { return starts_with(line, ">>>"); }
bool is_code(const std::string& line) { return starts_with(line, ">>") && !is_setup(line); }
bool is_comment(const std::string& line) { return starts_with(line, ";"); }
bool is_blank(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

void drop_trailing_blanks(Lines& lines) {
    while (!lines.empty() && is_blank(lines.back())) lines.pop_back();
}

std::string code_text(const std::string& line) {
    return line.substr(starts_with(line, ">> ") ? 3 : 2);
}

// Splits text into lines at LF, without the line ends; a CR before an LF
// belongs to the line end.
Lines split_lines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A case's code lines follow one another (comments may come between them);
// any other line ends them. Text before the first case may only be set-up
// lines, comments and blank lines, so that a mistyped prompt cannot hide a
// case.
bool parse(const Lines& lines, TestFile& file, std::string& problem) {
    std::vector<Case>& cases = file.cases;
    bool in_code = false;
    for (size_t i = 0; i < lines.size(); i++) {
        const std::string& line = lines[i];
        if (is_comment(line)) continue;
        if (is_setup(line)) {
            if (!cases.empty()) {
                problem = "line " + std::to_string(i + 1) + ": set-up lines come before the first case";
                return false;
            }
            file.setup.push_back(line.substr(starts_with(line, ">>> ") ? 4 : 3));
            continue;
        }
        if (is_code(line)) {
            if (!in_code) cases.push_back(Case{int(i + 1), {}, {}});
            cases.back().code.push_back(code_text(line));
        } else if (!cases.empty()) {
            cases.back().expected.push_back(line);
        } else if (!is_blank(line)) {
            problem = "line " + std::to_string(i + 1) + ": text before the first case is not a comment";
            return false;
        }
        in_code = is_code(line);
    }
    for (auto& c : cases) drop_trailing_blanks(c.expected);
    return true;
}

bool has_line_starting(const Lines& lines, const char* prefix) {
    for (const auto& line : lines)
        if (starts_with(line, prefix)) return true;
    return false;
}

constexpr const char* SETUP_FILE = "setup.vek";

// The script file that vek runs for a case: a header on the first line, so
// that line numbers are the case's own, and on it the file's set-up when it
// has one. When the value is asked for, it is molded after all the output of
// the code, inside a block so that unset! molds too; only natives are used,
// so a case that redefines a library word still gets its value shown.
std::string script_of(const Case& c, bool setup) {
    std::string code;
    for (const auto& line : c.code) code += line + "\n";
    std::string header = setup ? std::string("Vek [] do %") + SETUP_FILE + " " : "Vek [] ";
    if (!has_line_starting(c.expected, "== ")) return header + code;
    return header + "print [\"==\" mold/only reduce [(\n" + code + ")]]\n";
}

// The set-up as a script of its own, in the directory the cases run in.
void write_setup(const fs::path& dir, const Lines& setup) {
    std::string script = "Vek []\n";
    for (const auto& line : setup) script += line + "\n";
    write_file(dir / SETUP_FILE, script);
}

// The environment of the runner with HOME set to the directory.
std::vector<std::string> environment_with_home(const fs::path& home) {
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; variable++)
        if (std::strncmp(*variable, "HOME=", 5) != 0) variables.emplace_back(*variable);
    variables.push_back("HOME=" + home.string());
    return variables;
}

// In the child, between fork and exec: the case runs in a process group of
// its own (so that a time-out ends whatever it started), in the directory,
// reading nothing and writing to the two files.
[[noreturn]] void exec_case(const fs::path& vek, const fs::path& dir, const fs::path& out, const fs::path& err,
                            char* const* environment) {
    setpgid(0, 0);
    int in_fd = open("/dev/null", O_RDONLY);
    int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (chdir(dir.c_str()) != 0 || in_fd < 0 || out_fd < 0 || err_fd < 0 || dup2(in_fd, 0) < 0 ||
        dup2(out_fd, 1) < 0 || dup2(err_fd, 2) < 0)
        _exit(127);
    char* const arguments[] = {const_cast<char*>(vek.c_str()), const_cast<char*>("case.vek"), nullptr};
    execve(vek.c_str(), arguments, environment);
    _exit(127);
}

// Waits for the case's process for at most CASE_SECONDS, then ends its
// group: the exit status, 128 + the signal that ended it, or TIMED_OUT.
constexpr int TIMED_OUT = -2;
int wait_for(pid_t pid) {
    int pidfd = pidfd_open(pid, 0);
    pollfd ready{.fd = pidfd, .events = POLLIN, .revents = 0};
    bool ended = pidfd >= 0 && poll(&ready, 1, CASE_SECONDS * 1000) == 1;
    if (pidfd >= 0) close(pidfd);
    if (!ended) kill(-pid, SIGKILL);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ended) return TIMED_OUT;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// vek works in the run's own directory, which is its home too: cases that
// make files can use plain names, the console's settings stay out of the
// user's home, and the runs of one file side by side never meet. The script
// is named from there, so that it runs where it was started. vek is started
// directly, not through a shell: a case costs one process.
Outcome run(const fs::path& vek, const fs::path& dir, const std::string& script) {
    fs::path out = dir / "out", err = dir / "err";
    write_file(dir / "case.vek", script);
    std::vector<std::string> variables = environment_with_home(dir);
    std::vector<char*> environment;
    for (std::string& variable : variables) environment.push_back(variable.data());
    environment.push_back(nullptr);
    Outcome outcome;
    pid_t pid = fork();
    if (pid == 0) exec_case(vek, dir, out, err, environment.data());
    if (pid < 0) return outcome;
    outcome.status = wait_for(pid);
    outcome.output = split_lines(read_file(out));
    drop_trailing_blanks(outcome.output);
    outcome.errors = read_file(err);
    return outcome;
}

// Without a Where line in the expectation, only an error's first line counts.
Lines comparable(const Lines& output, const Lines& expected) {
    if (has_line_starting(expected, "*** Where:")) return output;
    Lines kept;
    for (const auto& line : output)
        if (!starts_with(line, "*** Where: ") && !starts_with(line, "*** Near : ") &&
            !starts_with(line, "*** Stack: ") && !starts_with(line, "*** Files: "))
            kept.push_back(line);
    return kept;
}

void print_block(const char* title, const Lines& lines, const char* prefix = "") {
    std::cout << "  " << title << ":\n";
    for (const auto& line : lines) std::cout << "    " << prefix << line << "\n";
}

// True when the case passed; otherwise reports it.
bool check(const std::string& file, const Case& c, const Outcome& outcome) {
    Lines actual = comparable(outcome.output, c.expected);
    bool passed = actual == c.expected && outcome.errors.empty() && (outcome.status == 0 || outcome.status == 1);
    if (passed) return true;
    std::cout << file << ":" << c.line << ": case failed\n";
    print_block("code", c.code, ">> ");
    print_block("expected", c.expected);
    print_block("actual", outcome.output);
    if (outcome.status == TIMED_OUT)
        std::cout << "  vek was stopped after " << CASE_SECONDS << " seconds\n";
    else if (outcome.status != 0 && outcome.status != 1)
        std::cout << "  vek ended with status " << outcome.status << "\n";
    if (!outcome.errors.empty()) print_block("standard error", split_lines(outcome.errors));
    return false;
}

fs::path scratch_directory(const std::string& stem) {
    std::random_device random;
    std::ostringstream name;
    name << "vek-test-" << stem << "-" << std::hex << random() << random();
    fs::path dir = fs::temp_directory_path() / name.str();
    fs::create_directories(dir);
    return dir;
}

}  // namespace

// The cases of the shard: every count-th one from the shard's number.
std::vector<Case> shard_of(std::vector<Case> cases, size_t shard, size_t count) {
    std::vector<Case> kept;
    for (size_t i = shard; i < cases.size(); i += count) kept.push_back(std::move(cases[i]));
    return kept;
}

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::cout << "usage: vek_test_runner VEK FILE.vek [SHARD COUNT]\n";
        return 2;
    }
    fs::path vek = fs::absolute(argv[1]);
    fs::path file = argv[2];
    std::string name = file.filename().string();
    std::string label = name;
    if (!fs::exists(file)) {
        std::cout << name << ": no such file\n";
        return 2;
    }
    TestFile tests;
    std::string problem;
    if (!parse(split_lines(read_file(file)), tests, problem)) {
        std::cout << name << ": " << problem << "\n";
        return 2;
    }
    if (argc == 5) {
        size_t shard = std::strtoul(argv[3], nullptr, 10), count = std::strtoul(argv[4], nullptr, 10);
        if (count == 0 || shard >= count) {
            std::cout << "shard " << argv[3] << " of " << argv[4] << ": no such shard\n";
            return 2;
        }
        tests.cases = shard_of(std::move(tests.cases), shard, count);
        label += " (shard " + std::to_string(shard) + " of " + std::to_string(count) + ")";
    }
    fs::path dir = scratch_directory(file.stem().string());
    fs::path fixtures = file.parent_path() / "fixtures";
    if (fs::is_directory(fixtures)) fs::copy(fixtures, dir / "fixtures", fs::copy_options::recursive);
    bool setup = !tests.setup.empty();
    if (setup) write_setup(dir, tests.setup);
    int failed = 0;
    for (const auto& c : tests.cases)
        if (!check(name, c, run(vek, dir, script_of(c, setup)))) failed++;
    fs::remove_all(dir);
    std::cout << label << ": " << tests.cases.size() << " cases, " << failed << " failed\n";
    return failed == 0 && !tests.cases.empty() ? 0 : 1;
}
