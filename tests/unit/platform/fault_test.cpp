// Machine faults and signals end the process the way the runtime promises.
// Each case forks: the child inherits the runtime thread's handlers, stack
// bounds and alternate signal stack.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>

#include "platform/os.h"
#include "platform/runtime_thread.h"
#include "platform/signals.h"
#include "tests/unit/support/death_test_fixture.h"

namespace {

using vek::platform::send_signal_to_self;
using vek::test::report_to_stderr;

#ifdef VEK_SANITIZE
#define SKIP_UNDER_SANITIZER() GTEST_SKIP() << "the sanitizer's own checks fire first"
#else
#define SKIP_UNDER_SANITIZER() (void)0
#endif

using Fault = vek::test::FreshProcessTest;
using Signal = Fault;

std::string report_pattern(int number, const char* message) {
    return "^\n\\*\\*\\* Runtime Error " + std::to_string(number) + ": " + message +
           "\n\\*\\*\\* at: [0-9A-F]{8,}h\n$";
}

volatile uintptr_t unmapped_address = 16;
volatile int zero = 0;
volatile int dividend = 1;
volatile bool stop_descending = false;
volatile int quotient;

void write_through_bad_address() { *reinterpret_cast<volatile int*>(unmapped_address) = 1; }

// Stored, so that the division cannot be dropped as unused.
void divide_by_zero() { quotient = dividend / zero; }

// Large frames reach the guard zone quickly while touching few pages; the
// addition after the call keeps it from becoming a loop.
[[gnu::noinline]] int descend(int depth) {
    volatile char frame[256 * 1024];
    frame[0] = char(depth);
    if (stop_descending) return 0;
    return descend(depth + 1) + frame[0];
}

TEST_F(Fault, AccessViolationReportsOne) {
    SKIP_UNDER_SANITIZER();
    EXPECT_EXIT((report_to_stderr(), write_through_bad_address()), testing::ExitedWithCode(1),
                report_pattern(1, "access violation"));
}

TEST_F(Fault, IntegerDivisionByZeroReportsThirteen) {
    SKIP_UNDER_SANITIZER();
    EXPECT_EXIT((report_to_stderr(), divide_by_zero()), testing::ExitedWithCode(13),
                report_pattern(13, "integer divide by zero"));
}

TEST_F(Fault, StackOverflowReportsNineteen) {
    SKIP_UNDER_SANITIZER();
    EXPECT_EXIT((report_to_stderr(), descend(0)), testing::ExitedWithCode(19),
                report_pattern(19, "stack error or overflow"));
}

// A fault signal sent by a process carries no fault address or fault kind:
// SIGSEGV is never taken for a stack overflow, SIGFPE is of no known kind.
TEST_F(Fault, SentFaultSignalsReportByKind) {
    SKIP_UNDER_SANITIZER();
    struct Case {
        int signal_number;
        int status;
        const char* message;
    };
    const Case cases[] = {
        {SIGSEGV, 1, "access violation"}, {SIGBUS, 34, "Bus error"},
        {SIGTRAP, 3, "breakpoint"},       {SIGILL, 17, "illegal instruction"},
        {SIGFPE, 99, "unknown error"},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT((report_to_stderr(), send_signal_to_self(c.signal_number)),
                    testing::ExitedWithCode(c.status), report_pattern(c.status, c.message))
            << "signal " << c.signal_number;
    }
}

// An interrupt is no success: the process ends by it, silently, as one
// without a handler would.
TEST_F(Signal, InterruptEndsTheProcessByTheSignalSilently) {
    SKIP_UNDER_SANITIZER();
    EXPECT_EXIT((report_to_stderr(), send_signal_to_self(SIGINT)), testing::KilledBySignal(SIGINT), "^$");
}

TEST_F(Signal, TerminationRequestsEndTheProcessByTheSignal) {
    SKIP_UNDER_SANITIZER();
    for (int signal_number : {SIGTERM, SIGHUP}) {
        EXPECT_EXIT((report_to_stderr(), send_signal_to_self(signal_number)),
                    testing::KilledBySignal(signal_number), "^$")
            << "signal " << signal_number;
    }
}

TEST_F(Signal, BrokenPipeIsIgnoredUntilTheWriterGivesUp) {
    SKIP_UNDER_SANITIZER();
    EXPECT_EXIT((send_signal_to_self(SIGPIPE), vek::platform::die_by_sigpipe()),
                testing::KilledBySignal(SIGPIPE), "^$");
}

TEST(RuntimeStack, BoundsEncloseTheCurrentFrame) {
    auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    EXPECT_LT(vek::platform::stack_limit(), here);
    EXPECT_LT(here, vek::platform::stack_base());
    // Measured from its own frame when not inlined: a little below this one.
    size_t remaining = vek::platform::stack_remaining(), above_limit = here - vek::platform::stack_limit();
    EXPECT_LE(remaining, above_limit);
    EXPECT_LT(above_limit - remaining, size_t(4096));
    EXPECT_GE(remaining, size_t(15) << 20);
    EXPECT_TRUE(vek::platform::in_stack_guard(vek::platform::stack_limit() - 1));
    EXPECT_FALSE(vek::platform::in_stack_guard(vek::platform::stack_limit()));
}

}  // namespace
