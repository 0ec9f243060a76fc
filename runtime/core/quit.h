// The ways out of the process. None of them unwinds: whatever is on the
// stacks stays there, the output is flushed, the terminal restored, the heap
// list freed, and the process exits with the status.
#pragma once

#include <cstdint>

namespace vek {

// Runtime errors that the runtime reports itself. A string buffer whose unit
// is not 1, 2 or 4 is reported as the unmatched multi-way branch it is.
constexpr int ERROR_OUT_OF_MEMORY = 94;
constexpr int ERROR_NO_CATCH = 95;
constexpr int ERROR_BAD_UNIT = 101;

// Status 0 prints nothing; any other status first prints the runtime error
// report "\n*** Runtime Error N: message\n*** at: ADDRESSh\n".
[[noreturn]] void quit_with_status(int status, uintptr_t address);

// Ends the process with the status, printing nothing; status 0 becomes 1
// when some output to standard output was lost.
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
