#include "runtime/core/quit.h"

#include <cstdlib>

#include "platform/signals.h"
#include "platform/terminal.h"
#include "runtime/core/unwind.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/output/stdout_writer.h"

namespace vek {
namespace {

struct NumberedMessage {
    int number;
    const char* message;
};

constexpr NumberedMessage MESSAGES[] = {
    {1, "access violation"},
    {2, "invalid alignment"},
    {3, "breakpoint"},
    {4, "single step"},
    {5, "bounds exceeded"},
    {6, "float denormal operan"},
    {7, "float divide by zero"},
    {8, "float inexact result"},
    {9, "float invalid operation"},
    {10, "float overflow"},
    {11, "float stack check"},
    {12, "float underflow"},
    {13, "integer divide by zero"},
    {14, "integer overflow"},
    {15, "privileged instruction"},
    {16, "invalid virtual address"},
    {17, "illegal instruction"},
    {18, "non-continuable exception"},
    {19, "stack error or overflow"},
    {20, "invalid disposition"},
    {21, "guard page"},
    {22, "invalid handle"},
    {23, "illegal operand"},
    {24, "illegal addressing mode"},
    {25, "illegal trap"},
    {26, "coprocessor error"},
    {27, "non-existent physical address"},
    {28, "object specific hardware error"},
    {29, "hardware memory error consumed AR"},
    {30, "hardware memory error consumed AO"},
    {31, "privileged register"},
    {32, "segmentation fault"},
    {33, "FPU error"},
    {34, "Bus error"},
    {94, "out of memory"},
    {95, "no CATCH for THROW"},
    {98, "assertion failed"},
    {99, "unknown error"},
    {100, "no value matched in CASE"},
    {101, "no value matched in SWITCH"},
};

// Registered when the program loads, so that a fault at any moment, even
// before the runtime is initialised, reports its message.
[[maybe_unused]] const bool messages_registered =
    (platform::set_runtime_error_messages(runtime_error_message), true);

}  // namespace

const char* runtime_error_message(int number) {
    for (const auto& entry : MESSAGES)
        if (entry.number == number) return entry.message;
    return "unknown error code!";
}

// A run whose output was lost did not succeed, even where it meant to end
// cleanly; nothing is printed, since the output is what failed.
void exit_process(int status) {
    output::flush();
    if (status == 0 && output::failed()) status = 1;
    platform::terminal::restore_async_safe();
    malloc_list::free_all();
    std::exit(status);
}

void quit_with_status(int status, uintptr_t address) {
    if (status != 0) {
        // Whatever the program printed before must come out ahead of the report.
        output::flush();
        platform::write_runtime_error_report(status, runtime_error_message(status), address);
    }
    exit_process(status);
}

namespace runtime {

void entry_handler(uint32_t code) {
    if (code == CODE_CLEAN_QUIT) quit_with_status(0, 0);
    quit_with_status(ERROR_NO_CATCH, 0);
}

}  // namespace runtime
}  // namespace vek
