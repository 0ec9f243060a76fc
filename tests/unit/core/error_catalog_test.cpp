#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <type_traits>

#include "runtime/core/error_catalog.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/gc/collector.h"

namespace vek::catalog {
namespace {

uint32_t sym(const char* name) { return symbol::make(name); }

// A template as one line: texts as they are, references as :arg1 or arg1.
std::string spelled(const ErrorId& id) {
    std::string out;
    for (uint32_t i = 0; i < id.piece_count; i++) {
        if (i > 0) out += ' ';
        if (id.pieces[i].kind == Piece::get_word) out += ':';
        out += id.pieces[i].text;
    }
    return out;
}

// The categories and the ids as errors.def lists them.
struct ListedCategory {
    Category category;
    const char* name;
    const char* title;
};
constexpr ListedCategory listed_categories[] = {
#define ERR_CATEGORY(position, cpp_name, vek_name, title) {Category::cpp_name, vek_name, title},
#include "runtime/core/errors.def"
};

struct ListedId {
    err::AnyId id;
    const char* name;
};
constexpr ListedId listed_ids[] = {
#define ERR_ID(category, cpp_name, vek_name, ...) {err::category::cpp_name, vek_name},
#include "runtime/core/errors.def"
};

std::string lower_case(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A category can be raised only with its own ids.
template <typename... Args>
concept fireable = requires(Args... args) { fire(args...); };
static_assert(fireable<decltype(err::math::zero_divide)>);
static_assert(fireable<decltype(err::script::no_value), const Cell*>);
static_assert(!fireable<Category, decltype(err::script::no_value)>);
static_assert(!fireable<Category, uint32_t>);
static_assert(!fireable<uint32_t>);
static_assert(!std::is_convertible_v<decltype(err::script::no_value), err::Id<Category::math>>);

TEST(ErrorCatalog, CategoriesAndTheirTitles) {
    ASSERT_EQ(std::size(listed_categories), CATEGORY_COUNT);
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) {
        const ListedCategory& listed = listed_categories[i];
        EXPECT_EQ(uint32_t(listed.category), i) << listed.name;
        EXPECT_EQ(find_category(sym(listed.name)), int32_t(i)) << listed.name;
        EXPECT_STREQ(category(i).name, listed.name);
        EXPECT_STREQ(category(i).title, listed.title);
    }
    EXPECT_EQ(category(uint32_t(Category::reserved1)).id_count, 0u);
    EXPECT_EQ(category(uint32_t(Category::reserved2)).id_count, 0u);
    EXPECT_EQ(find_id(uint32_t(Category::reserved1), sym("code")), -1);
}

TEST(ErrorCatalog, CodesOfIdsFoundByName) {
    struct Row {
        err::AnyId id;
        const char* category;
        const char* name;
        uint32_t code;
    };
    for (Row row : {Row{err::script::expect_arg, "script", "expect-arg", 305},
                    Row{err::access::no_create, "access", "no-create", 511},
                    Row{err::internal::not_done, "internal", "not-done", 909},
                    Row{err::throw_::break_, "throw", "break", 0},
                    Row{err::script::vb_invalid_record, "script", "vb-invalid-record", 393},
                    Row{err::user::message, "user", "message", 800}}) {
        int32_t cat = find_category(sym(row.category));
        ASSERT_EQ(cat, int32_t(row.id.category)) << row.category;
        EXPECT_EQ(find_id(uint32_t(cat), sym(row.name)), int32_t(row.id.position)) << row.name;
        EXPECT_EQ(error_code(row.id), row.code) << row.name;
    }
}

// Every listed id is found by its name at its constant's position, no name
// is listed twice in a category (lookups ignore letter case), and the
// catalog holds no id that the list lacks.
TEST(ErrorCatalog, EveryListedIdResolvesAtItsPosition) {
    uint32_t per_category[CATEGORY_COUNT] = {};
    std::set<std::string> names[CATEGORY_COUNT];
    for (const ListedId& listed : listed_ids) {
        uint32_t cat = uint32_t(listed.id.category);
        uint32_t position = listed.id.position;
        per_category[cat]++;
        EXPECT_TRUE(names[cat].insert(lower_case(listed.name)).second) << listed.name << " listed twice";
        ASSERT_LT(position - 2, category(cat).id_count) << listed.name;
        EXPECT_STREQ(category(cat).ids[position - 2].name, listed.name);
        EXPECT_EQ(find_id(cat, sym(listed.name)), int32_t(position)) << listed.name;
    }
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) EXPECT_EQ(per_category[i], category(i).id_count) << i;
}

// A code names one error: each id's code lies in its category's hundred,
// and no two ids share one.
TEST(ErrorCatalog, CodesAreUniqueAndWithinTheirCategory) {
    std::set<uint32_t> codes;
    for (const ListedId& listed : listed_ids) {
        uint32_t code = error_code(listed.id);
        EXPECT_EQ(code / 100, uint32_t(listed.id.category)) << listed.name;
        EXPECT_TRUE(codes.insert(code).second) << listed.name;
    }
}

TEST(ErrorCatalog, TemplatesKeepTheirFormAndPieces) {
    struct Row {
        err::AnyId id;
        Form form;
        const char* spelled;
    };
    for (Row row : {
             Row{err::math::zero_divide, Form::string, "attempt to divide by zero"},
             Row{err::user::message, Form::word, "arg1"},
             Row{err::note::no_load, Form::block, "cannot load:  :arg1"},
             Row{err::script::expect_arg, Form::block,
                 ":arg1 does not allow :arg2 for its :arg3 argument"},
             Row{err::script::bad_path_type, Form::block,
                 ":arg3 returned a :arg2 value, so :arg1 could not be accessed"},
             Row{err::script::parse_infinite, Form::block,
                 "PARSE - infinite recursion at rule: [ :arg1 ]"},
             Row{err::internal::deprecated, Form::block, "arg1 is DEPRECATED, please use arg2 instead"},
             Row{err::internal::routines, Form::string,
                 "routines require compilation, from OS shell: `vek -r <script.vek>`"},
         }) {
        const ErrorId& id = category(uint32_t(row.id.category)).ids[row.id.position - 2];
        EXPECT_EQ(id.form, row.form) << id.name;
        EXPECT_EQ(spelled(id), row.spelled) << id.name;
    }
}

TEST(ErrorCatalog, LookupsIgnoreCaseAndSurviveCollections) {
    const uint32_t script = uint32_t(Category::script);
    for (int round = 0; round < 2; round++) {
        EXPECT_EQ(find_category(sym("SCRIPT")), int32_t(script));
        EXPECT_EQ(find_id(script, sym("No-Value")), int32_t(err::script::no_value.position));
        EXPECT_EQ(find_id(uint32_t(Category::math), sym("no-value")), -1);
        EXPECT_EQ(find_category(sym("no-such-category")), -1);
        EXPECT_STREQ(symbol::get_c_string(category_symbol(script)), "script");
        EXPECT_STREQ(symbol::get_c_string(id_symbol(uint32_t(Category::math), err::math::overflow.position)), "overflow");
        gc::collect();
    }
}

}  // namespace
}  // namespace vek::catalog
