#include <gtest/gtest.h>

#include <cstring>

#include "runtime/core/fixed_words.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"

namespace vek::fixed_words {
namespace {

bool bound_globally(const Cell* word) {
    return cell_type(word) == TYPE_WORD && word::context(word) == context::global &&
           int32_t(word::index(word)) == context::find_word(context::global_cell(), word::symbol(word), false);
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
        EXPECT_STREQ(symbol::get_c_string(word::symbol(w)), row.name);
    }
    // Words of fixed symbols share the symbol.
    EXPECT_EQ(word::symbol(word(Word::end)), symbol(Sym::end));
    EXPECT_EQ(word::symbol(word(Word::linux_)), symbol(Sym::linux_));
    EXPECT_EQ(stack::anon_symbol, symbol::make("<anon>"));
    EXPECT_EQ(stack::body_symbol, symbol::make("<body>"));
}

TEST(FixedWords, RefinementsAreUnboundAndTheIssueIsOoo) {
    const char* names[] = {"local", "extern", "compare", "part", "skip", "with"};
    for (uint32_t i = 0; i < REFINEMENT_COUNT; i++) {
        const Cell* r = refinement(Ref(i));
        EXPECT_EQ(cell_type(r), TYPE_REFINEMENT);
        EXPECT_EQ(word::context(r), Node::none) << names[i];
        EXPECT_STREQ(symbol::get_c_string(word::symbol(r)), names[i]);
    }
    EXPECT_EQ(cell_type(issue_ooo()), TYPE_ISSUE);
    EXPECT_STREQ(symbol::get_c_string(word::symbol(issue_ooo())), "ooo");
    EXPECT_EQ(int32_t(word::index(issue_ooo())), -1);
}

TEST(DatatypeNameWords, EveryRegisteredTypeHasItsNameInTheGlobalContext) {
    uint32_t registered = 0;
    for (uint32_t id = 1; id <= registry::highest_id; id++) {
        const registry::NameEntry& entry = registry::name_table[id];
        if (!entry.name || std::strncmp(entry.name, "test-", 5) == 0) continue;
        registered++;
        EXPECT_EQ(entry.word, symbol::make(entry.name)) << entry.name;
        EXPECT_GE(context::find_word(context::global_cell(), entry.word, false), 0) << entry.name;
    }
    EXPECT_GT(registered, 0u);
}

}  // namespace
}  // namespace vek::fixed_words
