#include "runtime/datatypes/container/vector.h"

#include <gtest/gtest.h>

#include <string>

#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/value_cells.h"

namespace vek {
namespace {

using test::float_cell;
using test::integer_cell;
using test::molded;

using VectorHelpers = test::StackRestoringTest;

// An integer! vector of 16-bit elements holding the values, pushed so that
// the collector sees it.
Cell* short_vector(std::initializer_list<int32_t> values) {
    Cell made{};
    vector::make_at(&made, uint32_t(values.size()), TYPE_INTEGER, 2);
    Cell* held = vector::push(&made);
    for (int32_t v : values) {
        Cell value = integer_cell(v);
        vector::append_value(held, &value);
    }
    return held;
}

TEST_F(VectorHelpers, PokeAndInsertStoreCheckedValuesByBufferIndex) {
    Cell* v = short_vector({1, 2, 3});
    Cell nine = integer_cell(9), big = integer_cell(70000), one_and_half = float_cell(1.5);
    vector::poke_value(v, 0, &nine);
    vector::poke_value(v, 3, &big);  // the tail itself extends the vector
    vector::insert_value(v, 1, &nine);
    EXPECT_EQ(molded(*v), "make vector! [integer! 16 [9 9 2 3 4464]]");
    EXPECT_EQ(test::raised([&] { vector::poke_value(v, 7, &nine); }), error_code(err::script::out_of_range));
    EXPECT_EQ(test::raised([&] { vector::insert_value(v, 0, &one_and_half); }),
              error_code(err::script::invalid_arg));
    EXPECT_EQ(molded(*v), "make vector! [integer! 16 [9 9 2 3 4464]]");
}

TEST_F(VectorHelpers, AppendBlockChecksEveryValueFirstAndToBlockReadsThemBack) {
    Cell* v = short_vector({});
    Cell good = test::block_of({integer_cell(-1), integer_cell(40000)});
    Cell bad = test::block_of({integer_cell(5), float_cell(2.0)});
    vector::append_block(v, &good);
    EXPECT_EQ(test::raised([&] { vector::append_block(v, &bad); }), error_code(err::script::invalid_arg));
    Cell block{};
    vector::to_block(v, &block);
    EXPECT_EQ(molded(block), "[-1 -25536]");
}

TEST_F(VectorHelpers, ASizeBeyondThirtyTwoBitsIsRefused) {
    Cell made{};
    EXPECT_EQ(test::raised([&] { vector::make_at(&made, 0x40000000u, TYPE_FLOAT, 8); }),
              error_code(err::internal::no_memory));
}

}  // namespace
}  // namespace vek
