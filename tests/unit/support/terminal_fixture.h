// The fixture of the terminal backend's tests: a fresh backend with a
// terminal of 20 x 6 cells, the face prototype of shown_faces.h, and Vek
// code run in the global context.
#pragma once

#include <gtest/gtest.h>

#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/evaluator.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/shown_faces.h"
#include "tests/unit/support/stack_fixture.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/widgets.h"
#include "view/draw.h"

namespace vek::test {

class TerminalTest : public NativeFrameTest {
protected:
    void SetUp() override {
        NativeFrameTest::SetUp();
        view::backends::terminal::init_widgets();
        view::backends::terminal::init_words();
        view::draw::init_words();
        view::backends::terminal::reset_backend();
        view::backends::terminal::backend().screen.set_terminal_size(20, 6);
        run(FACE_PROTOTYPE);
    }
    void TearDown() override {
        view::backends::terminal::reset_backend();
        NativeFrameTest::TearDown();
    }

    void run(const char* source) {
        Cell code = load_code(source);
        ASSERT_EQ(eval::eval_block(&code), Pending::none) << source;
    }

    static Cell global(const char* name) { return *context::get_global_cell(symbol::make_case_folded(name)); }
};

}  // namespace vek::test
