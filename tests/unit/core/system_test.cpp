#include <gtest/gtest.h>

#include <string>

#include "runtime/core/system.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/series.h"
#include "tests/unit/support/block_builder.h"

namespace vek::system_fields {
namespace {

using test::text_of;

uint32_t length(const Cell* block) { return series_buffer(block)->length(); }
const Cell* at(const Cell* block, uint32_t index) { return series_buffer(block)->cells() + index; }

TEST(SystemFields, IntegerDefaults) {
    struct Row {
        const Cell* (*field)();
        int32_t value;
    };
    for (Row row : {Row{stack_trace, 1}, Row{callback_bits, 0}, Row{money_digits, 2}, Row{decimal_digits, 15},
                    Row{binary_base, 16}}) {
        EXPECT_EQ(cell_type(row.field()), TYPE_INTEGER);
        EXPECT_EQ(integer::get(row.field()), row.value);
    }
}

TEST(SystemFields, NameBlocksHoldTheirStringsAfterACollection) {
    gc::collect();
    struct Row {
        const Cell* block;
        uint32_t count;
        const char* first;
        const char* last;
    };
    for (Row row : {Row{months(), 12, "January", "December"}, Row{days(), 7, "Monday", "Sunday"}}) {
        ASSERT_EQ(cell_type(row.block), TYPE_BLOCK);
        ASSERT_EQ(length(row.block), row.count);
        for (uint32_t i = 0; i < row.count; i++) EXPECT_EQ(cell_type(at(row.block, i)), TYPE_STRING);
        EXPECT_EQ(text_of(at(row.block, 0)), row.first);
        EXPECT_EQ(text_of(at(row.block, row.count - 1)), row.last);
    }
    EXPECT_EQ(text_of(at(months(), 8)), "September");
    EXPECT_EQ(cell_type(source_files()), TYPE_BLOCK);
    EXPECT_EQ(length(source_files()), 0u);
}

// A money! value names its currency by the 1-based position in the list.
TEST(SystemFields, CurrencyWordsKeepTheirPositions) {
    gc::collect();
    const Cell* list = currencies_list();
    ASSERT_EQ(cell_type(list), TYPE_BLOCK);
    ASSERT_EQ(length(list), 170u);
    struct Row {
        uint32_t position;
        const char* code;
    };
    for (Row row : {Row{1, "AED"}, Row{14, "BTC"}, Row{123, "VEK"}, Row{155, "USD"}, Row{170, "ZMW"}}) {
        const Cell* word = at(list, row.position - 1);
        EXPECT_EQ(cell_type(word), TYPE_WORD);
        EXPECT_EQ(word::context(word), context::global) << row.code;
        EXPECT_STREQ(symbol::get_c_string(word::symbol(word)), row.code);
    }
}

}  // namespace
}  // namespace vek::system_fields
