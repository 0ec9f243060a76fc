// The ways out of the process. None of them unwinds: whatever is on the
// stacks stays there, the output is flushed, the terminal restored, the heap
// list freed, and the process exits with the status.
#pragma once

#include <cstdint>

namespace vek {

// Status 0 prints nothing; any other status first prints the runtime error
// report "\n*** Runtime Error N: message\n*** at: ADDRESSh\n".
[[noreturn]] void quit_with_status(int status, uintptr_t address);

// Ends the process with the status, printing nothing.
[[noreturn]] void exit_process(int status);

// The message of a runtime error number; "unknown error code!" for numbers
// without one. Async-signal-safe.
const char* runtime_error_message(int number);

namespace runtime {

// Where a throw that nothing else caught ends: the clean-quit code quits with
// status 0, any other code with runtime error 95.
[[noreturn]] void entry_handler(uint32_t code);

}  // namespace runtime
}  // namespace vek
