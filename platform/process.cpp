#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <thread>

extern char** environ;

namespace vek::platform {
namespace {

// The attributes and file actions of one spawn, released on every way out.
struct SpawnSetup {
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_t actions;
    SpawnSetup() {
        posix_spawnattr_init(&attributes);
        posix_spawn_file_actions_init(&actions);
    }
    ~SpawnSetup() {
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
};

// The child starts clean: the runtime blocks or ignores signals (SIGPIPE)
// that the program expects in their default state, and a session of its own
// keeps the terminal's signals and hang-up away from it.
void detach(SpawnSetup& setup) {
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&setup.attributes, &none);
    posix_spawnattr_setsigdefault(&setup.attributes, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
#ifdef POSIX_SPAWN_SETSID
    flags |= POSIX_SPAWN_SETSID;
#endif
    posix_spawnattr_setflags(&setup.attributes, flags);
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

}  // namespace vek::platform
