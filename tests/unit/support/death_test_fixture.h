// A fixture for death tests of the paths that end the process (quit, machine
// faults, signals) and check the report it leaves.
#pragma once

#include <gtest/gtest.h>

#include "platform/os.h"

namespace vek::test {

// Each child starts the program afresh, so it sets up its own runtime thread
// rather than inheriting one through a fork of a two-thread process.
class FreshProcessTest : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

// The report goes to standard output; the death-test matcher reads standard
// error. Called first in the dying statement.
inline void report_to_stderr() { platform::duplicate_descriptor(2, 1); }

}  // namespace vek::test
