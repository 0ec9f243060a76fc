// The library's boot, fed small modules of the test's own: what the modules
// load is library code, and so are the copies functions make of it;
// boot-routine makes a routine from the spec it was registered with, picks
// how the routine passes values from that spec, and exists only while the
// modules run.
#include <gtest/gtest.h>

#include "boot/library.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/evaluator.h"
#include "tests/unit/support/load_and_mold.h"

namespace vek {
namespace {

// Whether a frame below the routine's own was marked as called by the
// interpreter.
routine::Arg frames_interpreted(const routine::Arg*) { return {.integer = stack::interpreted(nullptr, false)}; }
routine::Arg first_cell(const routine::Arg* args) { return {.cell = args[0].cell}; }

const Cell* global(const char* name) { return context::get_global_cell(symbol::make(name)); }

// Boots the modules as the program does, then puts back the switches the
// unit tests run with.
void boot(std::initializer_list<std::string_view> texts) {
    std::vector<boot::Module> modules;
    for (std::string_view text : texts) modules.push_back({"test module", text});
    bool was_booting = booting;
    boot::boot_library(modules);
    booting = was_booting;
    boot_phase = true;
}

TEST(Boot, LibraryCodeStaysLibraryCodeInTheFunctionsItMakes) {
    routine::register_fn("boot-test-interpreted", frames_interpreted, "return: [logic!]");
    boot({"boot-test-interpreted: boot-routine 'boot-test-interpreted",
          "boot-test-f: func [] [reduce [boot-test-interpreted [in-block (in-paren) a/(in-path)]]]\n"
          "boot-test-from-library: boot-test-f"});

    Cell body = *function::body(global("boot-test-f"));
    ASSERT_EQ(cell_type(&body), TYPE_BLOCK);
    EXPECT_TRUE(eval::library_code(&body));
    Cell outer = series_buffer(&body)->cells()[1];
    Cell inner = series_buffer(&outer)->cells()[1];
    Cell paren = series_buffer(&inner)->cells()[1];
    Cell path = series_buffer(&inner)->cells()[2];
    ASSERT_EQ(cell_type(&paren), TYPE_PAREN);
    ASSERT_EQ(cell_type(&path), TYPE_PATH);
    for (const Cell* code : {&outer, &inner, &paren, &path, series_buffer(&path)->cells() + 1})
        EXPECT_TRUE(eval::library_code(code)) << test::molded(*code);
    EXPECT_EQ(test::molded(*global("boot-test-from-library")), "[false [in-block (in-paren) a/(in-path)]]");

    // Called from user code, the function's frame is the interpreter's.
    Cell user = test::load_code("boot-test-f");
    EXPECT_FALSE(eval::library_code(&user));
    make_unset(stack::push_cell());
    ASSERT_EQ(eval::eval_block(&user), Pending::none);
    EXPECT_EQ(test::molded(*(stack::top - 1)), "[true [in-block (in-paren) a/(in-path)]]");
    stack::pop(2);
}

TEST(Boot, BootRoutineReadsTheReturnTypeAndIsGoneAfterTheBoot) {
    struct Row {
        const char* name;
        const char* spec;
        bool cells;
        int32_t returns;
    };
    const Row rows[] = {
        {"boot-test-logic", "\"doc\" x [integer!] return: [logic!]", false, TYPE_LOGIC},
        {"boot-test-integer", "x return: [integer!] /local y", false, TYPE_INTEGER},
        {"boot-test-float", "x [float!] return: [float!]", false, TYPE_FLOAT},
        {"boot-test-block", "x return: [block!]", true, TYPE_BLOCK},
        {"boot-test-two-types", "x return: [integer! none!]", true, -1},
        {"boot-test-no-return", "x [integer!]", true, -1},
    };
    std::string module;
    for (const Row& row : rows) {
        routine::register_fn(row.name, first_cell, row.spec);
        module += std::string("append routines boot-routine '") + row.name + "\n";
    }
    boot({"routines: copy []", module});

    Cell routines = *global("routines");
    ASSERT_EQ(series_buffer(&routines)->length(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); i++) {
        const Cell* made = series_buffer(&routines)->cells() + i;
        ASSERT_EQ(cell_type(made), TYPE_ROUTINE) << rows[i].spec;
        EXPECT_EQ(routine::takes_cells(made), rows[i].cells) << rows[i].spec;
        EXPECT_EQ(integer::get(function::internal(made) + function::INTERNAL_EXTRA), rows[i].returns)
            << rows[i].spec;
    }
    EXPECT_EQ(cell_type(global("boot-routine")), TYPE_UNSET);
}

}  // namespace
}  // namespace vek
