#include <gtest/gtest.h>

#include <cstring>

#include "runtime/core/datatype.h"
#include "runtime/core/fixed_words.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/stack.h"

namespace vek::fixed_words {
namespace {

bool bound_globally(const Cell* word) {
    return cell_type(word) == TYPE_WORD && Node(word->data1) == context::global &&
           int32_t(word->data3) == context::find_word(context::global_cell(), word->data2, false);
}

TEST(FixedWords, SymbolsCarryTheirNames) {
    struct Row {
        Sym sym;
        const char* name;
    };
    for (Row row : {Row{Sym::spec, "spec"}, Row{Sym::any_type, "any-type!"}, Row{Sym::bar, "|"},
                    Row{Sym::dash, "-"}, Row{Sym::linux_, "Linux"}, Row{Sym::events_q, "events?"},
                    Row{Sym::code, "code"}, Row{Sym::no_trace, "no-trace"}}) {
        EXPECT_STREQ(symbol::get_c_string(symbol(row.sym)), row.name);
        EXPECT_EQ(symbol::make(row.name), symbol(row.sym)) << row.name;
    }
    EXPECT_EQ(self_symbol, symbol::make("self"));
    Cell any_type_word{TYPE_WORD, 0, symbol(Sym::any_type), 0};
    EXPECT_TRUE(symbol::any_type_word(&any_type_word));
}

TEST(FixedWords, WordsAreBoundInTheGlobalContext) {
    struct Row {
        Word word;
        const char* name;
    };
    for (Row row : {Row{Word::windows, "Windows"}, Row{Word::bar, "|"}, Row{Word::case_, "case"},
                    Row{Word::at, "at"}, Row{Word::end, "end"}, Row{Word::on_deep_change, "on-deep-change*"},
                    Row{Word::throw_, "throw"}, Row{Word::applied_tag, "<applied>"}}) {
        const Cell* w = word(row.word);
        EXPECT_TRUE(bound_globally(w)) << row.name;
        EXPECT_STREQ(symbol::get_c_string(w->data2), row.name);
    }
    // Words of fixed symbols share the symbol.
    EXPECT_EQ(word(Word::end)->data2, symbol(Sym::end));
    EXPECT_EQ(word(Word::linux_)->data2, symbol(Sym::linux_));
    EXPECT_EQ(stack::anon_symbol, symbol::make("<anon>"));
    EXPECT_EQ(stack::body_symbol, symbol::make("<body>"));
}

TEST(FixedWords, RefinementsAreUnboundAndTheIssueIsOoo) {
    const char* names[] = {"local", "extern", "compare", "part", "skip", "with"};
    for (uint32_t i = 0; i < REFINEMENT_COUNT; i++) {
        const Cell* r = refinement(Ref(i));
        EXPECT_EQ(cell_type(r), TYPE_REFINEMENT);
        EXPECT_EQ(r->data1, 0u) << names[i];
        EXPECT_STREQ(symbol::get_c_string(r->data2), names[i]);
    }
    EXPECT_EQ(cell_type(issue_ooo()), TYPE_ISSUE);
    EXPECT_STREQ(symbol::get_c_string(issue_ooo()->data2), "ooo");
    EXPECT_EQ(int32_t(issue_ooo()->data3), -1);
}

TEST(DatatypeNameWords, EveryRegisteredTypeHasItsNameInTheGlobalContext) {
    uint32_t registered = 0;
    for (uint32_t id = 1; id <= datatype::highest_id; id++) {
        const datatype::NameEntry& entry = datatype::name_table[id];
        if (!entry.name || std::strncmp(entry.name, "test-", 5) == 0) continue;
        registered++;
        EXPECT_EQ(entry.word, symbol::make(entry.name)) << entry.name;
        EXPECT_GE(context::find_word(context::global_cell(), entry.word, false), 0) << entry.name;
    }
    EXPECT_GT(registered, 0u);
}

}  // namespace
}  // namespace vek::fixed_words
