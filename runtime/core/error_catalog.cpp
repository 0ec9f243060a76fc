#include "runtime/core/error_catalog.h"

#include <algorithm>
#include <array>
#include <cstddef>

#include "runtime/core/raise.h"
#include "runtime/datatypes/word/symbol.h"

namespace vek::catalog {

namespace {

// Template pieces: a text, or a reference to the error's arguments.
#define S(string) TemplatePiece{Piece::text, string}
#define G1 TemplatePiece{Piece::get_word, "arg1"}
#define G2 TemplatePiece{Piece::get_word, "arg2"}
#define G3 TemplatePiece{Piece::get_word, "arg3"}
#define W1 TemplatePiece{Piece::word, "arg1"}
#define W2 TemplatePiece{Piece::word, "arg2"}

// A lone text is held as a string, a lone word as the word; anything else is
// a block of pieces.
template <size_t N>
constexpr ErrorId make_id(const char* name, const TemplatePiece (&pieces)[N]) {
    Form form = N > 1 ? Form::block : pieces[0].kind == Piece::text ? Form::string : Form::word;
    return ErrorId{name, form, pieces, uint32_t(N)};
}

// Each id's pieces, under its C++ name.
namespace pieces {
#define ERR_ID(category, name, vek_name, ...) constexpr TemplatePiece name[] = {__VA_ARGS__};
#include "runtime/core/errors.def"
}  // namespace pieces

// Every id in list order; each category's ids are one run of it.
constexpr ErrorId ids[] = {
#define ERR_ID(category, name, vek_name, ...) make_id(vek_name, pieces::name),
#include "runtime/core/errors.def"
};

#undef W2
#undef W1
#undef G3
#undef G2
#undef G1
#undef S

using err::detail::entry_categories;

// The run of the category's ids: the first one's index in ids, and how many.
constexpr ErrorCategory make_category(Category cat, const char* name, const char* title) {
    uint32_t first = 0;
    while (first < std::size(ids) && entry_categories[first] != cat) first++;
    uint32_t count = 0;
    while (first + count < std::size(ids) && entry_categories[first + count] == cat) count++;
    return ErrorCategory{name, title, count > 0 ? ids + first : nullptr, count};
}

constexpr ErrorCategory categories[CATEGORY_COUNT] = {
#define ERR_CATEGORY(position, name, vek_name, title) make_category(Category::name, vek_name, title),
#include "runtime/core/errors.def"
};

// The table is indexed by category position and id position: the list must
// give the categories in position order and each category's ids in one run.
constexpr bool in_catalog_order() {
    for (uint32_t i = 0; i < std::size(err::detail::categories); i++) {
        if (uint32_t(err::detail::categories[i]) != i) return false;
    }
    uint32_t listed = 0;
    for (const ErrorCategory& c : categories) listed += c.id_count;
    return listed == std::size(ids);
}
static_assert(std::size(err::detail::categories) == CATEGORY_COUNT);
static_assert(in_catalog_order(), "errors.def: categories by position, each category's ids together");

constexpr uint32_t FIRST_ID_POSITION = 2;  // after the code and type fields

constexpr uint32_t most_ids() {
    uint32_t most = 0;
    for (const ErrorCategory& c : categories) most = std::max(most, c.id_count);
    return most;
}
constexpr uint32_t MAX_IDS = most_ids();

// Symbol ids of the names, 0 until init interns them; symbol ids never
// change, so they hold across collections.
std::array<uint32_t, CATEGORY_COUNT> category_symbols{};
std::array<std::array<uint32_t, MAX_IDS>, CATEGORY_COUNT> id_symbols{};

}  // namespace

void init() {
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) {
        const ErrorCategory& cat = categories[i];
        category_symbols[i] = symbol::make(cat.name);
        for (uint32_t j = 0; j < cat.id_count; j++) id_symbols[i][j] = symbol::make(cat.ids[j].name);
    }
}

const ErrorCategory& category(uint32_t index) { return categories[index]; }

// Words match whatever their letter case, as words do everywhere.
int32_t find_category(uint32_t sym) {
    uint32_t wanted = symbol::resolve(sym);
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) {
        if (symbol::resolve(category_symbols[i]) == wanted) return int32_t(i);
    }
    return -1;
}

int32_t find_id(uint32_t cat, uint32_t sym) {
    uint32_t wanted = symbol::resolve(sym);
    for (uint32_t i = 0; i < categories[cat].id_count; i++) {
        if (symbol::resolve(id_symbols[cat][i]) == wanted) return int32_t(i + FIRST_ID_POSITION);
    }
    return -1;
}

uint32_t category_symbol(uint32_t cat) { return category_symbols[cat]; }

uint32_t id_symbol(uint32_t cat, uint32_t position) { return id_symbols[cat][position - FIRST_ID_POSITION]; }

}  // namespace vek::catalog
