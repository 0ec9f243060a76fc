// Fixtures for tests that push on the evaluation stacks or mark frames.
#pragma once

#include <gtest/gtest.h>

#include "runtime/core/fixed_words.h"
#include "runtime/eval/stack.h"
#include "tests/unit/support/support.h"

namespace vek::test {

// Each test leaves the stacks where it found them.
class StackRestoringTest : public testing::Test {
protected:
    void TearDown() override { saved_.restore(); }

private:
    SavedStacks saved_;
};

// Each test runs inside an anonymous native frame with an unset! result
// cell, as a native calling the evaluator would.
class NativeFrameTest : public StackRestoringTest {
protected:
    void SetUp() override {
        stack::mark_native(fixed_words::word(fixed_words::Word::anon_tag));
        make_unset(stack::push_cell());
    }
};

}  // namespace vek::test
