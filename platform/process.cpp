#include "platform/process.h"
#include "platform/spawning.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <thread>

extern char** environ;

namespace vek::platform {
namespace {

// A session of its own keeps the terminal's signals and hang-up away from a
// detached child.
void detach(SpawnSetup& setup) {
    short flags = 0;
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;
#endif
    clean_signals(setup, flags);
    posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&setup.actions, 2, "/dev/null", O_WRONLY, 0);
}

void wait_for(pid_t pid) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// The reaping thread starts with every signal blocked, so that signals keep
// reaching the runtime's thread alone.
void reap_in_background(pid_t pid) {
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
        std::thread(wait_for, pid).detach();
    } catch (...) {
        // No thread to be had: the child is waited for here instead.
        wait_for(pid);
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

// ---------------------------------------------------------------- the command line

// The words of the command: runs of characters other than white space, where
// a double-quoted stretch (quotes dropped) may hold white space too.
std::vector<std::string> split_command(const std::string& command) {
    std::vector<std::string> words;
    std::string word;
    bool in_word = false, quoted = false;
    for (char c : command) {
        bool blank = c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
        if (blank && !quoted) {
            if (in_word) words.push_back(std::move(word));
            word.clear();
            in_word = false;
            continue;
        }
        in_word = true;
        if (c == '"')
            quoted = !quoted;
        else
            word.push_back(c);
    }
    if (in_word) words.push_back(std::move(word));
    return words;
}

// posix_spawn's error number (0 once started).
int spawn_words(pid_t& pid, const std::vector<std::string>& words, SpawnSetup& setup) {
    if (words.empty()) return ENOENT;
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    return posix_spawnp(&pid, argv[0], &setup.actions, &setup.attributes, argv.data(), environ);
}

int spawn_shell(pid_t& pid, const std::string& command, SpawnSetup& setup) {
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>(command.c_str()),
                    nullptr};
    return posix_spawn(&pid, "/bin/sh", &setup.actions, &setup.attributes, argv, environ);
}

// ---------------------------------------------------------------- the streams

// A new descriptor is never 0, 1 or 2 (free when our own streams are
// closed): the child's descriptors are moved to those numbers one after the
// other, and one of them must not be overwritten before it is moved.
int above_standard(int fd) {
    if (fd < 0 || fd > 2) return fd;
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    ::close(fd);
    return moved;
}

bool make_pipe(Descriptor& read_end, Descriptor& write_end) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) return false;
    read_end = Descriptor(above_standard(ends[0]));
    write_end = Descriptor(above_standard(ends[1]));
    return read_end.valid() && write_end.valid();
}

// One standard stream: the descriptor the child gets (unless its route is
// own or nothing) and, for a memory route, our end of the pipe.
struct Stream {
    Descriptor child;  // moved to the stream's number in the child
    Descriptor ours;   // the pipe end we feed or drain
};

// Opens what the stream's route needs and adds its file action. False when a
// pipe or an input file cannot be had.
bool prepare(Stream& stream, const StreamPlan& plan, int number, SpawnSetup& setup) {
    bool input = number == 0;
    switch (plan.route) {
    case StreamRoute::own: return true;
    case StreamRoute::memory: {
        bool made = input ? make_pipe(stream.child, stream.ours) : make_pipe(stream.ours, stream.child);
        if (!made) return false;
        fcntl(stream.ours.get(), F_SETFL, O_NONBLOCK);
        break;
    }
    case StreamRoute::file:
        if (input)
            stream.child = Descriptor(above_standard(open(plan.path.c_str(), O_RDONLY | O_CLOEXEC)));
        else
            stream.child =
                Descriptor(above_standard(open(plan.path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666)));
        if (input && !stream.child.valid()) return false;
        break;
    case StreamRoute::nothing: break;
    }
    if (stream.child.valid())
        posix_spawn_file_actions_adddup2(&setup.actions, stream.child.get(), number);
    else
        posix_spawn_file_actions_addopen(&setup.actions, number, "/dev/null", input ? O_RDONLY : O_WRONLY, 0);
    return true;
}

// ---------------------------------------------------------------- feeding and draining

constexpr size_t CHUNK = 64 * 1024;

// Writes what the pipe takes of the rest of the feed; false once the feed is
// done or the child has stopped reading (EPIPE).
bool feed_some(int fd, std::span<const uint8_t> feed, size_t& fed) {
    ssize_t n = write(fd, feed.data() + fed, std::min(feed.size() - fed, CHUNK));
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    fed += size_t(n);
    return fed < feed.size();
}

// Reads what the pipe holds, keeping at most limit bytes in all (fewer when
// memory runs out: cut tells); false at its end.
bool drain_some(int fd, std::vector<uint8_t>& scratch, std::vector<uint8_t>& bytes, bool& cut, size_t limit) {
    ssize_t n = read(fd, scratch.data(), scratch.size());
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) return false;
    size_t keep = std::min(size_t(n), limit - std::min(limit, bytes.size()));
    try {
        bytes.insert(bytes.end(), scratch.begin(), scratch.begin() + ptrdiff_t(keep));
    } catch (const std::bad_alloc&) {
        keep = 0;  // the rest is drained and dropped, so the child still ends
    }
    if (keep < size_t(n)) cut = true;
    return true;
}

// Feeds the input pipe and drains the output and error pipes in one loop
// until all three are done, so that a child blocked writing one of them
// never waits on us while we wait on another.
void pump(Stream (&streams)[3], const ChildLaunch& launch, std::vector<uint8_t>& scratch, ChildResult& result) {
    size_t fed = 0;
    if (launch.feed.empty()) streams[0].ours.reset(-1);
    std::vector<uint8_t>* captures[3] = {nullptr, &result.output, &result.error};
    bool* cuts[3] = {nullptr, &result.output_cut, &result.error_cut};
    for (;;) {
        pollfd polled[3];
        int which[3];
        nfds_t count = 0;
        for (int i = 0; i < 3; i++) {
            if (!streams[i].ours.valid()) continue;
            polled[count] = {streams[i].ours.get(), short(i == 0 ? POLLOUT : POLLIN), 0};
            which[count++] = i;
        }
        if (count == 0) return;
        if (poll(polled, count, -1) < 0) {
            if (errno == EINTR) continue;
            // Closing our ends lets a child blocked on them go on to its end.
            for (Stream& stream : streams) stream.ours.reset(-1);
            return;
        }
        for (nfds_t k = 0; k < count; k++) {
            if (polled[k].revents == 0) continue;
            int i = which[k];
            bool more = i == 0 ? feed_some(polled[k].fd, launch.feed, fed)
                               : drain_some(polled[k].fd, scratch, *captures[i], *cuts[i], launch.capture_limit);
            if (!more) streams[i].ours.reset(-1);
        }
    }
}

// The child's exit code, or 128 + the signal that ended it.
int32_t wait_status(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

// ---------------------------------------------------------------- interrupts

// An interrupt ends the runtime (signals.cpp). While we wait for a child,
// the child is killed and reaped first, so that it neither runs on orphaned,
// writing into pipes nobody reads, nor lingers unreaped.
volatile sig_atomic_t waited_child = 0;
struct sigaction runtime_interrupt {};

void stop_child_then_interrupt(int signal_number) {
    pid_t child = waited_child;
    if (child > 0) {
        kill(child, SIGKILL);
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    if (runtime_interrupt.sa_handler != SIG_DFL && runtime_interrupt.sa_handler != SIG_IGN) {
        runtime_interrupt.sa_handler(signal_number);
        return;
    }
    sigaction(signal_number, &runtime_interrupt, nullptr);
    raise(signal_number);
}

// Puts the handler above in place of the runtime's for as long as it lives;
// it stops the child it is told to watch.
class InterruptGuard {
public:
    InterruptGuard() {
        struct sigaction action {};
        action.sa_handler = stop_child_then_interrupt;
        action.sa_flags = SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &runtime_interrupt);
    }
    ~InterruptGuard() {
        sigaction(SIGINT, &runtime_interrupt, nullptr);
        waited_child = 0;
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    void watch(pid_t child) { waited_child = child; }
};

// Holds interrupts back from the calling thread while it lives: one that
// comes while the child starts is taken once the guard knows the child.
class InterruptsHeld {
public:
    InterruptsHeld() {
        sigset_t interrupt;
        sigemptyset(&interrupt);
        sigaddset(&interrupt, SIGINT);
        pthread_sigmask(SIG_BLOCK, &interrupt, &previous_);
    }
    ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;

private:
    sigset_t previous_;
};

// A program that is not found is not tried through the shell: that would
// run shell syntax the caller never asked for.
int start(pid_t& pid, const ChildLaunch& launch, SpawnSetup& setup) {
    if (launch.shell) return spawn_shell(pid, launch.command, setup);
    if (launch.one_program) return spawn_words(pid, {launch.command}, setup);
    return spawn_words(pid, split_command(launch.command), setup);
}

}  // namespace

int spawn_detached(const char* program, const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    SpawnSetup setup;
    detach(setup);
    pid_t pid;
    if (posix_spawnp(&pid, program, &setup.actions, &setup.attributes, argv.data(), environ) != 0) return -1;
    reap_in_background(pid);
    return int(pid);
}

ChildResult run_child(const ChildLaunch& launch) {
    ChildResult result;
    SpawnSetup setup;
    clean_signals(setup, 0);
    Stream streams[3];
    const StreamPlan* plans[3] = {&launch.input, &launch.output, &launch.error};
    for (int i = 0; i < 3; i++)
        if (!prepare(streams[i], *plans[i], i, setup)) return result;
    // Allocated before the start: nothing may throw once the child runs.
    std::vector<uint8_t> scratch(CHUNK);
    bool captures = launch.input.route == StreamRoute::memory || launch.output.route == StreamRoute::memory ||
                    launch.error.route == StreamRoute::memory;
    bool waits = launch.wait || captures;
    InterruptGuard guard;
    pid_t pid;
    {
        InterruptsHeld held;
        if (start(pid, launch, setup) != 0) return result;
        if (waits) guard.watch(pid);
    }
    for (Stream& stream : streams) stream.child.reset(-1);
    if (!waits) {
        reap_in_background(pid);
        result.status = int32_t(pid);
        return result;
    }
    pump(streams, launch, scratch, result);
    result.status = wait_status(pid);
    return result;
}

}  // namespace vek::platform
