#include "runtime/core/error_catalog.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/image_state.h"

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
uint32_t code_symbol = 0;
uint32_t type_symbol = 0;

// The category's object in the attached catalog, or nullptr.
const Cell* category_object(uint32_t category) {
    const Cell* errors = system_fields::catalog_errors();
    if (!errors) return nullptr;
    const Cell* found = object::find_field(errors, category_symbols[category]);
    return found && cell_type(found) == TYPE_OBJECT ? found : nullptr;
}

}  // namespace

void init_hooks() {
    image_state::keep("error category symbols", category_symbols);
    image_state::keep("error id symbols", id_symbols);
    image_state::keep("error code symbol", code_symbol);
    image_state::keep("error type symbol", type_symbol);
}

void init() {
    code_symbol = symbol::make("code");
    type_symbol = symbol::make("type");
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

int32_t find_table_id(uint32_t category, uint32_t symbol_id) {
    uint32_t wanted = symbol::resolve(symbol_id);
    for (uint32_t i = 0; i < categories[category].id_count; i++) {
        if (symbol::resolve(id_symbols[category][i]) == wanted) return int32_t(i + FIRST_ID_POSITION);
    }
    return -1;
}

int32_t find_id(uint32_t cat, uint32_t sym) {
    if (const Cell* object = category_object(cat)) {
        int32_t position = context::find_word(context::cell_of(object::context_node(object)), sym, true);
        if (position >= int32_t(FIRST_ID_POSITION)) return position;
    }
    return find_table_id(cat, sym);
}

uint32_t category_symbol(uint32_t cat) { return category_symbols[cat]; }

uint32_t id_symbol(uint32_t cat, uint32_t position) { return id_symbols[cat][position - FIRST_ID_POSITION]; }

// ---------------------------------------------------------------- the catalog object

uint32_t id_count(uint32_t cat) {
    uint32_t count = categories[cat].id_count;
    if (const Cell* object = category_object(cat)) {
        uint32_t fields = object::field_count(object);
        if (fields > FIRST_ID_POSITION) count = std::max(count, fields - FIRST_ID_POSITION);
    }
    return count;
}

uint32_t id_name(uint32_t cat, uint32_t position) {
    if (position < FIRST_ID_POSITION) return 0;
    if (position - FIRST_ID_POSITION < categories[cat].id_count) return id_symbol(cat, position);
    const Cell* object = category_object(cat);
    if (!object || position >= object::field_count(object)) return 0;
    return word::symbol(object::word_at(object::context_node(object), position));
}

bool object_title(uint32_t cat, Cell* out) {
    const Cell* object = category_object(cat);
    const Cell* title = object ? object::find_field(object, type_symbol) : nullptr;
    if (!title || cell_type(title) != TYPE_STRING) return false;
    *out = *title;
    return true;
}

bool object_template(uint32_t cat, uint32_t sym, Cell* out) {
    const Cell* object = category_object(cat);
    const Cell* found = object ? object::find_field(object, sym) : nullptr;
    if (!found) return false;
    uint32_t type = cell_type(found);
    if (type != TYPE_STRING && type != TYPE_BLOCK && type != TYPE_WORD) return false;
    *out = *found;
    return true;
}

namespace {

Cell* push_string(const char* text) {
    Cell made{};  // on the C++ stack, where the collector sees it
    string::rs_make_at(&made, uint32_t(std::strlen(text)));
    string::append_c_string(&made, text);
    return stack::push(&made);
}

Cell* push_piece(const TemplatePiece& piece) {
    switch (piece.kind) {
    case Piece::text: return push_string(piece.text);
    case Piece::get_word: {
        Cell word = word::unbound(TYPE_GET_WORD, symbol::make(piece.text));
        return stack::push(&word);
    }
    case Piece::word: break;
    }
    Cell word = word::unbound(TYPE_WORD, symbol::make(piece.text));
    return stack::push(&word);
}

// The id's template pushed: a lone piece as itself, several in a block.
Cell* push_template(const ErrorId& id) {
    if (id.form != Form::block) return push_piece(id.pieces[0]);
    Cell* list = make_unset(stack::push_cell());
    block::make_at(list, int32_t(id.piece_count));
    for (uint32_t i = 0; i < id.piece_count; i++) {
        block::rs_append(list, push_piece(id.pieces[i]));
        stack::pop(1);
    }
    return list;
}

void add_field(const Cell* object, uint32_t symbol_id, const Cell* value) {
    Cell word = word::unbound(TYPE_WORD, symbol_id);
    Cell copy = *value;
    context::set_word_value(context::cell_of(object::context_node(object)), &word, &copy);
}

// Adds the top of the stack as the field, then drops it.
void add_pushed_field(const Cell* object, uint32_t symbol_id) {
    add_field(object, symbol_id, stack::top - 1);
    stack::pop(1);
}

Cell* push_new_object(uint32_t fields) {
    Cell* object = make_unset(stack::push_cell());
    object::make_at(object, fields);
    object::set_class_id(object, object::new_class_id());
    return object;
}

void push_category(uint32_t index) {
    const ErrorCategory& cat = categories[index];
    Cell* object = push_new_object(FIRST_ID_POSITION + cat.id_count);
    Cell code = integer::cell(int32_t(index * 100));
    add_field(object, code_symbol, &code);
    push_string(cat.title);
    add_pushed_field(object, type_symbol);
    for (uint32_t i = 0; i < cat.id_count; i++) {
        push_template(cat.ids[i]);
        add_pushed_field(object, id_symbols[index][i]);
    }
}

}  // namespace

Cell* push_object() {
    Cell* errors = push_new_object(CATEGORY_COUNT);
    for (uint32_t i = 0; i < CATEGORY_COUNT; i++) {
        push_category(i);
        add_pushed_field(errors, category_symbols[i]);
    }
    return errors;
}

}  // namespace vek::catalog
