// A fixture for tests of the walks over nested series (form, mold, compare,
// copy), which push each series they enter on the cycle guard and pop it on
// the way out.
#pragma once

#include <gtest/gtest.h>

#include "runtime/tables/cycles.h"

namespace vek::test {

// Each test starts with an empty guard and must leave it empty: a walk that
// forgets to pop what it pushed fails the test that ran it, not a later one.
class CycleGuardTest : public testing::Test {
protected:
    void SetUp() override { cycles::reset(); }
    void TearDown() override {
        EXPECT_EQ(cycles::depth(), 0u);
        cycles::reset();
    }
};

}  // namespace vek::test
