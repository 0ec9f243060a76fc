// The quit path's report and exit status.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/core/quit.h"
#include "runtime/core/system.h"
#include "runtime/core/unwind.h"
#include "tests/unit/support/death_test_fixture.h"

namespace {

using vek::test::report_to_stderr;
using Quit = vek::test::FreshProcessTest;
using EntryHandler = Quit;

struct QuitCase {
    int status;
    uintptr_t address;
    const char* output;  // an anchored pattern
};

const QuitCase QUIT_CASES[] = {
    {0, 0x1234, "^$"},
    {7, 0xABCD,
     "^\n\\*\\*\\* Runtime Error 7: float divide by zero\n\\*\\*\\* at: 0000ABCDh\n$"},
    {50, 0x00401000,
     "^\n\\*\\*\\* Runtime Error 50: unknown error code!\n\\*\\*\\* at: 00401000h\n$"},
    // 64-bit addresses keep every digit.
    {94, uintptr_t(0x7F12345678ABull),
     "^\n\\*\\*\\* Runtime Error 94: out of memory\n\\*\\*\\* at: 7F12345678ABh\n$"},
};

TEST_F(Quit, ReportsTheStatusAndExitsWithIt) {
    for (const auto& c : QUIT_CASES) {
        EXPECT_EXIT((report_to_stderr(), vek::quit_with_status(c.status, c.address)),
                    testing::ExitedWithCode(c.status), c.output)
            << "status " << c.status;
    }
}

TEST(QuitMessages, ByNumber) {
    const std::pair<int, const char*> cases[] = {
        {1, "access violation"},     {6, "float denormal operan"},
        {19, "stack error or overflow"}, {34, "Bus error"},
        {35, "unknown error code!"}, {95, "no CATCH for THROW"},
        {101, "no value matched in SWITCH"}, {102, "unknown error code!"},
        {0, "unknown error code!"},  {-1, "unknown error code!"},
    };
    for (const auto& [number, message] : cases)
        EXPECT_STREQ(vek::runtime_error_message(number), message) << "number " << number;
}

TEST_F(Quit, ExitProcessPrintsNothing) {
    EXPECT_EXIT((report_to_stderr(), vek::exit_process(254)), testing::ExitedWithCode(254), "^$");
}

TEST_F(EntryHandler, CleanQuitCodeQuitsWithZeroAndAnyOtherWithNinetyFive) {
    EXPECT_EXIT((report_to_stderr(), vek::runtime::entry_handler(vek::CODE_CLEAN_QUIT)),
                testing::ExitedWithCode(0), "^$");
    for (uint32_t code : {vek::CODE_ERROR, vek::CODE_THROW, vek::CODE_ENTRY}) {
        EXPECT_EXIT((report_to_stderr(), vek::runtime::entry_handler(code)),
                    testing::ExitedWithCode(95),
                    "^\n\\*\\*\\* Runtime Error 95: no CATCH for THROW\n\\*\\*\\* at: [0-9A-F]{8}h\n$")
            << "code " << code;
    }
}

TEST(MachineThrow, RecordsTheCodeAndThrowsIt) {
    try {
        vek::machine_throw(vek::CODE_THROW);
        FAIL() << "machine_throw returned";
    } catch (const vek::VekThrow& thrown) {
        EXPECT_EQ(thrown.code, vek::CODE_THROW);
        EXPECT_EQ(vek::sysrec.thrown_code, vek::CODE_THROW);
    }
}

}  // namespace
