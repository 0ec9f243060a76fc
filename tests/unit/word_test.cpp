#include <gtest/gtest.h>

#include <cstring>

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/word.h"
#include "runtime/memory.h"
#include "runtime/root.h"
#include "runtime/stack.h"
#include "runtime/system.h"

namespace vek {
namespace {

int32_t global_index_of(uint32_t symbol) {
    return context::find_word(context::global_cell(), symbol, true);
}

TEST(WordMake, BindsToTheGlobalContextAddingTheSymbolWithAnUnsetValue) {
    uint32_t symbol = symbol::make("h10-fresh-word");
    ASSERT_EQ(global_index_of(symbol), -1);
    Cell cell{CELL_NEW_LINE | TYPE_INTEGER, 0, 0, 0};
    word::make_at(symbol, &cell);
    EXPECT_EQ(cell.header, CELL_NEW_LINE | TYPE_WORD);  // flags kept
    EXPECT_EQ(Node(cell.data1), context::global);
    EXPECT_EQ(cell.data2, symbol);
    EXPECT_EQ(int32_t(cell.data3), global_index_of(symbol));
    EXPECT_EQ(cell_type(context::get(&cell)), TYPE_UNSET);
}

TEST(WordMake, ACaseVariantTakesTheIndexOfTheSpellingAlreadyThere) {
    Cell lower{}, upper{};
    word::make_at(symbol::make("h10-variant"), &lower);
    word::make_at(symbol::make("H10-VARIANT"), &upper);
    EXPECT_NE(upper.data2, lower.data2);
    EXPECT_EQ(upper.data3, lower.data3);
}

TEST(WordMake, MakeInAndLoadInAppendBoundWords) {
    Cell block{TYPE_BLOCK, 0, uint32_t(memory::alloc_cells(1)), 0};
    word::make_in(&block, symbol::make("h10-a"));
    Cell* loaded = word::load_in(&block, "h10-b");
    SeriesBuffer* buffer = series_buffer(&block);
    ASSERT_EQ(buffer->length(), 2u);
    EXPECT_EQ(loaded, buffer->cells() + 1);
    EXPECT_STREQ(symbol::get_c_string(buffer->cells()[0].data2), "h10-a");
    EXPECT_STREQ(symbol::get_c_string(loaded->data2), "h10-b");
    EXPECT_EQ(int32_t(loaded->data3), global_index_of(loaded->data2));
}

TEST(WordMake, FromCStringAnswersTheGlobalEntryOrItsRootCopyWhileBooting) {
    bool saved = booting;
    Cell* root_tail = series_buffer(&root::block)->cells_tail();
    booting = true;
    Cell* kept = word::from_cstring("h10-from-c");
    EXPECT_EQ(kept, root_tail);
    booting = false;
    Cell* entry = word::from_cstring("h10-from-c");
    EXPECT_NE(entry, kept);
    EXPECT_EQ(std::memcmp(entry, kept, sizeof(Cell)), 0);
    booting = saved;
}

TEST(WordMake, RefinementsInRootAreUnboundAndIssuesNeverResolve) {
    Cell* r = word::from_cstring("h10-unused");  // interns nothing new for the refinement below
    Cell* refinement = refinement::make_in_root("h10-unused");
    EXPECT_EQ(cell_type(refinement), TYPE_REFINEMENT);
    EXPECT_EQ(refinement->data1, 0u);
    EXPECT_EQ(refinement->data2, r->data2);

    bool saved = booting;
    booting = false;
    Cell* top = stack::top;
    Cell* issue = issue::from_cstring("h10 issue");
    EXPECT_EQ(issue, top);
    EXPECT_EQ(stack::top, top + 1);
    EXPECT_EQ(cell_type(issue), TYPE_ISSUE);
    EXPECT_EQ(Node(issue->data1), context::global);
    EXPECT_EQ(int32_t(issue->data3), -1);
    EXPECT_EQ(global_index_of(issue->data2), -1);  // an issue adds no word
    stack::top = top;
    booting = saved;
}

}  // namespace
}  // namespace vek
