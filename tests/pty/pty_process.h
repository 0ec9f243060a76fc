// A child process on a pseudo-terminal of its own, for the harnesses that
// drive vek (or a piece of it) as a person at a terminal would: keys typed
// in, everything written kept, waits with a time-out, the exit status, and
// the terminal's settings compared with those before the child started.
#pragma once

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <utmp.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

namespace vek::test {

class PtyProcess {
public:
    static constexpr int WAIT_MS = 10000;

    // Starts the child on a terminal of the size: child runs in the new
    // process, with the terminal as its standard streams, and must not
    // return. Each chunk of output read goes to on_output as well.
    PtyProcess(const std::function<void()>& child, int columns, int rows,
               std::function<void(PtyProcess&)> on_output = nullptr)
        : on_output_(std::move(on_output)) {
        winsize size = size_of(columns, rows);
        int slave = -1;
        if (openpty(&master_, &slave, nullptr, nullptr, &size) != 0) return;
        tcgetattr(slave, &before_);
        pid_ = fork();
        if (pid_ == 0) {
            close(master_);
            login_tty(slave);
            child();
            _exit(127);
        }
        close(slave);
    }
    ~PtyProcess() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
    }
    PtyProcess(const PtyProcess&) = delete;
    PtyProcess& operator=(const PtyProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void type(const std::string& keys) { (void)!write(master_, keys.data(), keys.size()); }

    // The terminal takes the size; the kernel tells the child (SIGWINCH).
    void resize(int columns, int rows) {
        winsize size = size_of(columns, rows);
        ioctl(master_, TIOCSWINSZ, &size);
    }

    // Reads until the text shows up after what earlier waits consumed.
    bool wait_for(const std::string& text) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
        for (;;) {
            size_t found = output_.find(text, seen_);
            if (found != std::string::npos) {
                seen_ = found + text.size();
                return true;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              std::chrono::steady_clock::now());
            if (left.count() <= 0 || !read_some(int(left.count()))) return false;
        }
    }

    // Waits for the process to end, reading its last output; its wait
    // status, or -1.
    int wait_exit() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(WAIT_MS);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                while (read_some(50)) {}
                return status;
            }
            read_some(50);
        }
        return -1;
    }

    // The terminal's settings now, as the child set them.
    termios settings() const {
        termios now{};
        tcgetattr(master_, &now);
        return now;
    }

    static bool same_settings(const termios& a, const termios& b) {
        return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_lflag == b.c_lflag &&
               a.c_cflag == b.c_cflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
    }

    // The settings the child leaves behind equal those it found.
    bool terminal_restored() const { return same_settings(before_, settings()); }

    // Everything the child wrote.
    const std::string& output() const { return output_; }

    // Reads what the child wrote within the time; false when nothing came.
    bool read_some(int timeout_ms) {
        pollfd input{.fd = master_, .events = POLLIN, .revents = 0};
        if (poll(&input, 1, timeout_ms) <= 0) return false;
        char buffer[4096];
        ssize_t count = read(master_, buffer, sizeof buffer);
        if (count <= 0) return false;
        output_.append(buffer, size_t(count));
        if (on_output_) on_output_(*this);
        return true;
    }

private:
    static winsize size_of(int columns, int rows) {
        winsize size{};
        size.ws_col = (unsigned short)columns;
        size.ws_row = (unsigned short)rows;
        return size;
    }

    int master_ = -1;
    pid_t pid_ = -1;
    termios before_{};
    std::string output_;  // everything the child wrote
    size_t seen_ = 0;     // where the next wait starts looking
    std::function<void(PtyProcess&)> on_output_;
};

// The verdicts of a harness's cases: each failure is printed with the output
// that shows it, control bytes escaped.
class Tally {
public:
    void check(const std::string& name, bool ok, const std::string& output) {
        if (ok) {
            ++passed_;
            return;
        }
        ++failed_;
        std::printf("FAILED: %s\n--- output ---\n", name.c_str());
        for (char c : output) std::printf(c >= 0x20 && c < 0x7F ? "%c" : "\\x%02x", (unsigned char)c);
        std::printf("\n---\n");
    }

    // Prints "N passed, N failed"; the harness's exit status.
    int report() const {
        std::printf("%d passed, %d failed\n", passed_, failed_);
        return failed_ == 0 ? 0 : 1;
    }

private:
    int passed_ = 0;
    int failed_ = 0;
};

}  // namespace vek::test
