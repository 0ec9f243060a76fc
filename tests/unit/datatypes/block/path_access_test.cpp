#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/core/sockets.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/edit.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/tables/ownership.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::block_of;
using test::first_of;
using test::molded;

// A read through the datatype's path action, molded.
std::string got(Cell parent, const char* element, bool case_sensitive = false) {
    Cell selector = first_of(element);
    Cell* answer = actions::eval_path_typed(&parent, &selector, {.case_sensitive = case_sensitive, .last = true});
    return molded(*answer);
}

// The block after setting the element to the value through the path action.
std::string after_set(const char* source, const char* element, const char* value, bool case_sensitive = false) {
    Cell block = block_of(source);
    Cell selector = first_of(element);
    Cell new_value = first_of(value);
    Cell* answer = actions::eval_path_typed(&block, &selector,
                                            {.value = &new_value, .case_sensitive = case_sensitive, .last = true});
    EXPECT_EQ(molded(*answer), value) << element;
    return molded(block);
}

// The first line of the error that setting element in the block through
// the path raises.
std::string set_error(const char* source, const char* path_source, const char* element) {
    Cell block = block_of(source);
    Cell path = first_of(path_source);
    Cell selector = first_of(element);
    Cell new_value = first_of("0");
    Cell error{};
    if (test::raised([&] {
            actions::eval_path_typed(&block, &selector, {.value = &new_value, .path = &path, .index = 1, .last = true});
        }, &error) == 0)
        return "(no error)";
    std::string text = test::formed(error);
    return text.substr(0, text.find('\n'));
}

TEST(BlockPath, ReadsByPositionWordOrValue) {
    struct Row {
        const char* element;
        const char* expected;
        bool case_sensitive;
    };
    const Row rows[] = {
        {"2", "10", false},    {"1", "a", false},       {"0", "none", false},   {"10", "none", false},
        {"-1", "none", false}, {"b", "20", false},      {"c", "none", false},   {"z", "none", false},
        {"B", "20", false},    {"B", "none", true},     {"'b", "20", false},    {"\"k\"", "30", false},
        {"\"K\"", "30", false}, {"\"K\"", "none", true}, {"[x]", "40", false},  {"40", "none", false},
    };
    Cell block = block_of("a 10 b 20 \"k\" 30 [x] 40 c");
    for (const Row& row : rows)
        EXPECT_EQ(got(block, row.element, row.case_sensitive), row.expected)
            << row.element << (row.case_sensitive ? " /case" : "");

    // Positions count from the head; the word search starts there too.
    Cell second = block;
    set_series_index(&second, 3);
    EXPECT_EQ(got(second, "-1"), "b");
    EXPECT_EQ(got(second, "1"), "20");
    EXPECT_EQ(got(second, "a"), "none");
}

TEST(BlockPath, ParensAndPathsReadAsBlocks) {
    EXPECT_EQ(got(first_of("(a 1 b 2)"), "b"), "2");
    EXPECT_EQ(got(first_of("x/y/z"), "2"), "y");
    EXPECT_EQ(got(first_of("x/y/z"), "y"), "z");
    EXPECT_EQ(got(first_of("x/y/z:"), "3"), "z");
}

TEST(BlockPath, SetsByPositionOrAfterTheKey) {
    struct Row {
        const char* element;
        const char* value;
        const char* expected;
        bool case_sensitive;
    };
    const Row rows[] = {
        {"2", "99", "[a 99 b 20 \"k\" 30]", false},
        {"b", "99", "[a 10 b 99 \"k\" 30]", false},
        {"B", "99", "[a 10 b 99 \"k\" 30]", false},
        {"\"K\"", "99", "[a 10 b 20 \"k\" 99]", false},
        // A block key is a run of cells: the cell after its first one is set.
        {"[b 20]", "99", "[a 10 b 99 \"k\" 30]", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(after_set("a 10 b 20 \"k\" 30", row.element, row.value, row.case_sensitive), row.expected)
            << row.element;
}

TEST(BlockPath, SetErrors) {
    EXPECT_EQ(set_error("a 10 b", "x/z", "z"), "*** Script Error: cannot set z in path x/z");
    EXPECT_EQ(set_error("a 10 b", "x/b", "b"), "*** Script Error: value out of range: 2");
    EXPECT_EQ(set_error("a 10 b", "x/4", "4"), "*** Script Error: value out of range: 4");
    EXPECT_EQ(set_error("a 10 b", "x/0", "0"), "*** Script Error: value out of range: 0");
}

// ---------------------------------------------------------------- owner reports

std::vector<std::string> poke_reports;

bool record_report(const Cell*, const Cell*, const Cell*, const Cell* action, const Cell*, int32_t index,
                   int32_t part) {
    poke_reports.push_back(std::string(symbol::get_c_string(word::symbol(action))) + " " + std::to_string(index) +
                           " " + std::to_string(part));
    return true;
}

TEST(BlockPath, ASetTellsTheOwnerOnceWhateverTheNotifyFlag) {
    auto saved = sockets::notify_owner;
    sockets::notify_owner = record_report;
    Cell owner{TYPE_OBJECT, uint32_t(context::create(1, false, false, nullptr, context::KIND_OBJECT)), 0, 0};
    Cell field{};
    word::make_at(symbol::make("g6-field"), &field);
    for (bool notify : {false, true}) {
        for (const char* element : {"2", "b"}) {
            Cell owned = block_of("a 10 b 20");
            Cell loose = block_of("a 10 b 20");
            ownership::set_owner(&owned, &owner, &field);
            Cell selector = first_of(element);
            Cell value = first_of("7");
            poke_reports.clear();
            actions::eval_path_typed(&owned, &selector, {.value = &value, .last = true, .notify = notify});
            actions::eval_path_typed(&loose, &selector, {.value = &value, .last = true, .notify = notify});
            const std::string target = element[0] == '2' ? "1" : "3";
            EXPECT_EQ(poke_reports, (std::vector<std::string>{"poke " + target + " 1", "poked " + target + " 1"}))
                << element << (notify ? " notify" : "");
        }
    }
    sockets::notify_owner = saved;
}

// ---------------------------------------------------------------- copy of values by type

TEST(BlockCopyValuesOfTypes, CopiesOnlyTheNamedCopyableTypesAtEachStep) {
    Cell block = block_of("\"s0\" [b0] \"s1\" [b1] \"s2\" [b2] 7");
    Node node = series_node(&block);
    Cell before[7];
    for (uint32_t i = 0; i < 7; i++) before[i] = node_buffer(node)->cells()[i];

    Cell kind{TYPE_DATATYPE, TYPE_STRING, 0, 0};
    block::copy_values_of_types(node, 2, 7, 2, false, &kind);
    for (uint32_t i = 0; i < 7; i++) {
        const Cell& now = node_buffer(node)->cells()[i];
        bool copied = i == 2 || i == 4;  // the strings at the steps from index 2
        EXPECT_EQ(payload_word(&now, 2) != payload_word(&before[i], 2), copied) << i;
        EXPECT_EQ(molded(now), molded(before[i])) << i;
    }
}

TEST(BlockCopyValuesOfTypes, DeepCopiesPassTheTypesDown) {
    Cell block = block_of("[\"s\" [x]] 1");
    Node node = series_node(&block);
    Cell outer = node_buffer(node)->cells()[0];
    Cell inner_string = *block::rs_abs_at(&outer, 0);
    Cell inner_block = *block::rs_abs_at(&outer, 1);

    Cell kinds{TYPE_TYPESET, 0, 0, 0};
    typeset::set(&kinds, TYPE_BLOCK);
    block::copy_values_of_types(node, 0, 2, 1, true, &kinds);

    Cell copy = node_buffer(node)->cells()[0];
    EXPECT_NE(series_node(&copy), series_node(&outer));
    EXPECT_EQ(series_node(block::rs_abs_at(&copy, 0)), series_node(&inner_string));  // a string!: shared
    EXPECT_NE(series_node(block::rs_abs_at(&copy, 1)), series_node(&inner_block));   // a block!: copied
    EXPECT_EQ(molded(block), "[[\"s\" [x]] 1]");
}

}  // namespace
}  // namespace vek
