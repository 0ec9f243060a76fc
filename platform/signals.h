// Signals of the runtime thread: machine faults end the process with a
// numbered runtime error report; interrupts, termination requests and
// aborts end it with the terminal restored.
#pragma once

#include <cstdint>

namespace vek::platform {

// Maps a runtime error number to its message. It must be async-signal-safe
// (a plain table lookup): the fault handler calls it.
using RuntimeErrorMessages = const char* (*)(int number);

// The runtime registers its message table here; platform has no messages.
void set_runtime_error_messages(RuntimeErrorMessages lookup);

// Installs the alternate signal stack and every handler on the calling
// thread. Called by the runtime thread before it runs the runtime.
void install_signal_handlers();

// For a program that runs the runtime under a tool with fault handlers of its
// own (the fuzz drivers, under the sanitizers and libFuzzer): called before
// the runtime thread starts, it makes install_signal_handlers leave the
// machine faults to the handlers already in place, so that the tool reports
// a fault with its stack and keeps the input that caused it. vek itself
// never calls it.
void leave_faults_to_host();
// Gives the calling thread back the alternate stack it had before.
void release_alternate_stack();

// Writes "\n*** Runtime Error N: message\n*** at: ADDRESSh\n" to standard
// output, the address in at least 8 upper-case hexadecimal digits.
// Async-signal-safe: no allocation, no stdio.
void write_runtime_error_report(int number, const char* message, uintptr_t address);

// For a write to standard output that failed because the reader went away:
// restores the terminal and ends the process quietly by SIGPIPE.
[[noreturn]] void die_by_sigpipe();

// Ends the process as an interrupt (SIGINT) does: the terminal restored,
// the process ended by the signal. For Ctrl+C read as a key while a script
// runs.
[[noreturn]] void end_by_interrupt();

// Sends a signal to the whole process, as another process would.
void send_signal_to_self(int signal_number);

}  // namespace vek::platform
