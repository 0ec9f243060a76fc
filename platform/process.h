// Starting other programs: the browser that browse opens, which runs on its
// own beside the runtime, and the programs that call runs with their
// standard streams fed from and captured into memory or files.
//
// Children start with an empty signal mask and default signal dispositions,
// and inherit no descriptor of ours but their standard streams (every
// descriptor the runtime opens is close-on-exec). A child that nobody waits
// for is reaped by a waiting thread once it ends, so it never lingers as a
// zombie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vek::platform {

// Starts the program (a name looked up along PATH, or a path) with the
// arguments (the program name first), detached: in a session of its own,
// its standard streams on /dev/null, and reaped once it ends. The program is
// never started through a shell, so no character of its arguments is
// special. Answers its process id, or -1 when it could not be started (the
// program was not found or cannot be run).
int spawn_detached(const char* program, const std::vector<std::string>& arguments);

// ---------------------------------------------------------------- running a command

// Where one of the child's standard streams comes from or goes to.
enum class StreamRoute : uint8_t {
    own,      // our own descriptor of that number, shared with the child
    nothing,  // /dev/null
    memory,   // a pipe: fed from ChildLaunch::feed, or captured into ChildResult
    file,     // the file at the path: read from its start, or appended to
};

struct StreamPlan {
    StreamRoute route = StreamRoute::nothing;  // how the stream is routed
    std::string path;                          // the file, for StreamRoute::file
};

struct ChildLaunch {
    std::string command;              // the command text, UTF-8
    bool shell = false;               // run it through /bin/sh -c
    bool one_program = false;         // without shell: the command is a program's path, never split
    bool wait = true;                 // wait for the child's end (else answer its id)
    StreamPlan input;                 // standard input
    StreamPlan output;                // standard output
    StreamPlan error;                 // standard error
    std::span<const uint8_t> feed;    // the bytes written to a memory input, held by the caller
    size_t capture_limit = SIZE_MAX;  // bytes kept of each captured stream
};

struct ChildResult {
    // The exit code (128 + the signal number for a child ended by a signal),
    // the process id when not waiting, or -1 when the child could not be
    // started or the input file could not be opened.
    int32_t status = -1;
    std::vector<uint8_t> output;  // what a memory output captured
    std::vector<uint8_t> error;   // what a memory error captured
    bool output_cut = false;      // output ran past capture_limit or memory; the rest was dropped
    bool error_cut = false;       // the same for error
};

// Runs the command. Without shell it is split at white space into the
// program and its arguments (double quotes group white space into one
// argument and are dropped; no other character is special), the program is
// looked up along PATH and started directly, and only when it is not found
// the command runs through /bin/sh -c; with shell /bin/sh -c runs it at
// once. A file input is opened before the start (failing: status -1); a
// file output or error is opened for appending, created when missing, and
// goes to /dev/null when it cannot be opened. The memory input is fed and
// the memory outputs drained together, so neither side waits on the other
// whatever order the child reads and writes in. A child that is not waited
// for has nothing routed to memory; it is reaped in the background.
// Interruptions by signals are resumed. Expects SIGPIPE to be ignored, as the
// runtime has it: a child that stops reading its input ends the feeding.
ChildResult run_child(const ChildLaunch& launch);

}  // namespace vek::platform
