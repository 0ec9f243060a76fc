// Fixtures for tests that push on the evaluation stacks or mark frames.
#pragma once

#include <gtest/gtest.h>

#include "runtime/core/fixed_words.h"
#include "runtime/core/stack.h"
#include "runtime/eval/evaluator.h"
#include "tests/unit/support/support.h"

namespace vek::test {

// Each test leaves the stacks where it found them.
class StackRestoringTest : public testing::Test {
protected:
    void TearDown() override { saved_.restore(); }

private:
    SavedStacks saved_;
};

// Each test must leave the stack's top where it found it: a failure is
// recorded otherwise, and the top put back for the next test.
class BalancedStackTest : public testing::Test {
protected:
    void SetUp() override { base_ = stack::top; }
    void TearDown() override {
        EXPECT_EQ(stack::top, base_);
        stack::top = base_;
    }

private:
    Cell* base_ = nullptr;
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

// Runs an action that takes its operands from the stack, as a call does: the
// operands pushed from a fresh frame base, the result left in the first of
// them. Answers the result; the stacks are put back as they were.
inline Cell called_on_stack(void (*action)(), const Cell& first, const Cell* second = nullptr) {
    SavedStacks saved;
    stack::arguments = stack::top;
    stack::push(&first);
    if (second) stack::push(second);
    action();
    Cell result = *stack::arguments;
    saved.restore();
    return result;
}

// Evaluates a block and answers its last value. The stacks must end with
// every frame gone and that one value above where they started; the value is
// left there.
inline const Cell* result_of(const Cell* code, const std::string& source) {
    Cell* top = stack::top;
    stack::CallFrame* frames = stack::frames_top;
    EXPECT_EQ(eval::eval_block(code), Pending::none) << source;
    EXPECT_EQ(stack::frames_top, frames) << source;
    EXPECT_EQ(stack::top, top + 1) << source;
    return top;
}

}  // namespace vek::test
