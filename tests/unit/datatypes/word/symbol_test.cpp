#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/stack.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

TEST(Symbol, InterningTheSameTextTwiceAddsNothing) {
    uint32_t id = symbol::make("h9-same");
    uint32_t count = symbol::count();
    EXPECT_EQ(symbol::make("h9-same"), id);
    EXPECT_EQ(symbol::make_from_utf8("h9-same-not", 7), id);
    EXPECT_EQ(symbol::count(), count);
    EXPECT_EQ(symbol::alias_of(id), symbol::CANONICAL);
}

// Names read from text go through a cache of recent names: names that share
// its slot (the same length, first and last eight bytes, differing only
// inside), case variants and prefixes each keep their own id, whatever the
// order they come in.
TEST(Symbol, NamesFromTextKeepTheirIdsThroughTheRecentCache) {
    std::vector<std::string> names;
    for (int i = 0; i < 3000; i++) {
        std::string middle = std::to_string(10000 + i);
        names.push_back("h9-recent-" + middle + "-name-end");
        names.push_back("H9-recent-" + middle + "-name-end");
        names.push_back("h9-recent-" + middle);
    }
    std::vector<uint32_t> ids;
    for (const std::string& name : names) ids.push_back(symbol::make_from_utf8(name.data(), uint32_t(name.size())));
    for (int round = 0; round < 2; round++) {
        for (size_t i = 0; i < names.size(); i++) {
            size_t k = round == 0 ? i : names.size() - 1 - i;
            ASSERT_EQ(symbol::make_from_utf8(names[k].data(), uint32_t(names[k].size())), ids[k]) << names[k];
            ASSERT_STREQ(symbol::get_c_string(ids[k]), names[k].c_str());
        }
    }
    EXPECT_EQ(symbol::make(names[0].c_str()), ids[0]);
}

TEST(Symbol, CaseVariantsGetTheirOwnIdAliasedToTheCanonicalOne) {
    uint32_t lower = symbol::make("h9-case");
    uint32_t capital = symbol::make("H9-case");
    uint32_t upper = symbol::make("H9-CASE");
    EXPECT_NE(capital, lower);
    EXPECT_NE(upper, capital);
    EXPECT_EQ(symbol::alias_of(capital), int32_t(lower));
    EXPECT_EQ(symbol::alias_of(upper), int32_t(lower));  // never a variant of a variant
    EXPECT_EQ(symbol::resolve(capital), lower);
    EXPECT_EQ(symbol::resolve(lower), lower);
    EXPECT_EQ(symbol::make("H9-case"), capital);
    EXPECT_STREQ(symbol::get_c_string(capital), "H9-case");

    uint32_t folded = symbol::make("h9-folded");
    uint32_t count = symbol::count();
    EXPECT_EQ(symbol::make_case_folded("H9-FOLDED"), folded);
    EXPECT_EQ(symbol::resolve(symbol::make_case_folded("h9-CaSe")), lower);
    EXPECT_EQ(symbol::count(), count);
    EXPECT_EQ(symbol::alias_of(symbol::make_case_folded("h9-Folded-New")), symbol::CANONICAL);
}

TEST(Symbol, OnlyAsciiLettersAreFolded) {
    uint32_t small = symbol::make("h9-\xC3\xA9t\xC3\xA9");    // été
    uint32_t capital = symbol::make("h9-\xC3\x89t\xC3\x89");  // ÉtÉ
    EXPECT_NE(small, capital);
    EXPECT_EQ(symbol::alias_of(small), symbol::CANONICAL);
    EXPECT_EQ(symbol::alias_of(capital), symbol::CANONICAL);
    EXPECT_NE(symbol::make_case_folded("H9-\xC3\x89T\xC3\x89"), small);
}

TEST(Symbol, AliasesSurviveTableGrowth) {
    test::SparseTorture sparse(97);
    constexpr int N = 6000;  // three spellings each: well past the first upper bound
    std::vector<uint32_t> canonical(N), capital(N), upper(N);
    for (int i = 0; i < N; i++) {
        std::string name = "h9-grow-" + std::to_string(i);
        canonical[i] = symbol::make(name.c_str());
        name[0] = 'H';
        capital[i] = symbol::make(name.c_str());
    }
    for (int i = 0; i < N; i++) upper[i] = symbol::make(("H9-GROW-" + std::to_string(i)).c_str());
    for (int i = 0; i < N; i++) {
        ASSERT_EQ(symbol::alias_of(canonical[i]), symbol::CANONICAL) << i;
        ASSERT_EQ(symbol::alias_of(capital[i]), int32_t(canonical[i])) << i;
        ASSERT_EQ(symbol::alias_of(upper[i]), int32_t(canonical[i])) << i;
        ASSERT_EQ(symbol::make(("h9-grow-" + std::to_string(i)).c_str()), canonical[i]) << i;
        ASSERT_EQ(symbol::make(("H9-grow-" + std::to_string(i)).c_str()), capital[i]) << i;
        ASSERT_EQ(symbol::make_case_folded(("h9-GROW-" + std::to_string(i)).c_str()), canonical[i]) << i;
    }
}

TEST(Symbol, NameStringIsMadeOnceAndReused) {
    uint32_t id = symbol::make("h9-\xC3\xA9-name");
    Cell* cell = symbol::get(id);
    Node text = symbol::name_string(cell);
    ASSERT_NE(text, Node::none);
    EXPECT_EQ(symbol::name_string(symbol::get(id)), text);
    Cell string{TYPE_STRING, 0, uint32_t(text), 0};
    EXPECT_EQ(string::buffer_length(&string), 9u);
    EXPECT_EQ(string::rs_abs_at(&string, 3), 0xE9u);
    // Interning that string finds the symbol again.
    EXPECT_EQ(symbol::make_from_string(&string), id);
}

TEST(Symbol, AnyTypeWordMatchesEverySpelling) {
    Cell word{TYPE_WORD, 0, symbol::make("ANY-TYPE!"), uint32_t(-1)};
    EXPECT_TRUE(symbol::any_type_word(&word));
    word::set_symbol(&word, symbol::make("any-type"));
    EXPECT_FALSE(symbol::any_type_word(&word));
}

}  // namespace
}  // namespace vek
