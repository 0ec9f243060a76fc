#include "runtime/natives/sets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/string/binary_codecs.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/natives/natives.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

// Compiled callers pass check? set: the natives then check each argument
// themselves, as the evaluator would have.
class CheckedSetNatives : public test::StackRestoringTest {
protected:
    // Calls the native with check? set on the values of the text; answers the
    // result molded, or "error NNN" with the code it raised.
    std::string call(natives::NativeFn entry, const char* name, const char* arguments,
                     std::vector<int32_t> refinements) {
        refinements.resize(4, -1);
        std::string result;
        uint32_t code = test::raised([&] {
            stack::mark_native(word::from_cstring(name));
            Cell values = test::load_code(arguments);
            for (uint32_t i = 0; i < series_buffer(&values)->length(); i++)
                stack::push(series_buffer(&values)->cells() + i);
            (void)entry(true, refinements.data());
            result = test::stack_molded(stack::arguments);
            stack::unwind();
        });
        return code ? "error " + std::to_string(code) : result;
    }
};

constexpr int32_t WITHOUT_ARGUMENT = 0;  // a refinement without argument: present at any position

TEST_F(CheckedSetNatives, EachArgumentIsCheckedAgainstItsTypes) {
    const std::string expect_arg = "error " + std::to_string(error_code(err::script::expect_arg));
    struct Case {
        natives::NativeFn entry;
        const char* name;
        const char* arguments;
        std::vector<int32_t> refinements;
        std::string expected;
    } cases[] = {
        {natives::union_, "union", "[1 2] [2 3]", {}, "[1 2 3]"},
        {natives::union_, "union", "[1 2] 3", {}, expect_arg},
        {natives::union_, "union", "%a %b", {}, expect_arg},
        {natives::intersect, "intersect", "[a 1 b 2] [b] x", {-1, 2}, expect_arg},
        {natives::exclude, "exclude", "[a 1 b 2] [b] 2", {WITHOUT_ARGUMENT, 2}, "[a 1]"},
        {natives::unique, "unique", "[1 1]", {}, "[1]"},
        {natives::union_, "union", "1-Jan-2020 1-Jan-2020", {}, expect_arg},
        {natives::dehex, "dehex", "[1]", {}, expect_arg},
        {natives::enhex, "enhex", "#{41}", {}, expect_arg},
        {natives::debase, "debase", "\"QQ==\" 64", {1}, "#{41}"},
        {natives::debase, "debase", "\"QQ==\" x", {1}, expect_arg},
        {natives::enbase, "enbase", "%a", {}, expect_arg},
        {natives::enbase, "enbase", "\"A\" 16.0", {1}, expect_arg},
    };
    for (const Case& c : cases)
        EXPECT_EQ(call(c.entry, c.name, c.arguments, c.refinements), c.expected) << c.name << " " << c.arguments;
}

// The encoded size of an input that a buffer can hold is counted without
// wrapping, so enbase sees it pass the 32-bit range and refuses it.
TEST(EncodedSize, PassesThe32BitRangeWithoutWrapping) {
    EXPECT_EQ(binary::encoded_size(2, uint64_t(1) << 29), uint64_t(1) << 32);
    EXPECT_EQ(binary::encoded_size(16, UINT32_MAX), uint64_t(UINT32_MAX) * 2);
    EXPECT_EQ(binary::encoded_size(64, UINT32_MAX), (uint64_t(UINT32_MAX) + 2) / 3 * 4);
    EXPECT_EQ(binary::encoded_size(64, 4), 8u);
}

}  // namespace
}  // namespace vek
