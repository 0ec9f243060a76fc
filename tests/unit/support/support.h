// Helpers shared by the unit tests.
#pragma once

#include <cstdint>
#include <functional>

#include "runtime/core/cell.h"
#include "runtime/core/stack.h"
#include "runtime/memory/manager.h"

namespace vek::test {

// The positions of the evaluation stacks when made; restore() puts them back.
struct SavedStacks {
    Cell* top = stack::top;
    Cell* arguments = stack::arguments;
    stack::CallFrame* frames = stack::frames_top;

    void restore() const {
        stack::frames_top = frames;
        stack::top = top;
        stack::arguments = arguments;
    }
};

// Runs body under a try frame and returns the code of the error it raised, 0
// when it raised none. The stacks are put back as they were.
uint32_t raised(const std::function<void()>& body);
// The same, also copying the error! raised into *error.
uint32_t raised(const std::function<void()>& body, Cell* error);

// The code held by a raised error: its code field (an integer! raised before
// error values exist holds the code itself).
uint32_t code_of(const Cell* error);

// Tests that make thousands of values would turn quadratic with a collection
// at every allocation. In the torture run this spaces the collections out
// (every interval-th allocation) for the life of the guard; otherwise it
// changes nothing.
class SparseTorture {
public:
    explicit SparseTorture(uint32_t interval) : saved_(memory::torture_interval) {
        if (saved_ != 0) memory::torture_interval = interval;
    }
    ~SparseTorture() { memory::torture_interval = saved_; }
    SparseTorture(const SparseTorture&) = delete;
    SparseTorture& operator=(const SparseTorture&) = delete;

private:
    uint32_t saved_;
};

}  // namespace vek::test
