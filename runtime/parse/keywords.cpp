// The keywords of the parse dialect, found by the canonical symbol of a
// word; the keyword cache that rule blocks keep with their buffers; and the
// resolution of the other rule words to their values.
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/image_state.h"
#include "runtime/parse/internal.h"
#include "runtime/tables/array.h"

namespace vek::parse {

namespace {

struct Names {
    const char* name;
    Keyword keyword;
};

constexpr Names KEYWORDS[] = {
    {"|", Keyword::bar},         {"skip", Keyword::skip},       {"any", Keyword::any},
    {"some", Keyword::some},     {"opt", Keyword::opt},         {"while", Keyword::while_},
    {"to", Keyword::to},         {"thru", Keyword::thru},       {"end", Keyword::end},
    {"none", Keyword::none},     {"fail", Keyword::fail},       {"break", Keyword::break_},
    {"reject", Keyword::reject}, {"not", Keyword::not_},        {"ahead", Keyword::ahead},
    {"quote", Keyword::quote},   {"copy", Keyword::copy},       {"set", Keyword::set},
    {"case", Keyword::case_},    {"into", Keyword::into},       {"if", Keyword::if_},
    {"collect", Keyword::collect}, {"keep", Keyword::keep},     {"remove", Keyword::remove},
    {"insert", Keyword::insert}, {"change", Keyword::change},
};

constexpr const char* MODIFIERS[] = {"pick", "only", "set", "into", "after"};

// Indexed by canonical symbol id; symbols interned later lie beyond it.
// Words are looked up by their own symbol id, whose canonical id never
// changes: each id's answer is cached once found.
constexpr uint8_t UNKNOWN = 0xFF;
struct Table {
    std::vector<Keyword> by_symbol;
    std::vector<uint8_t> by_spelling;
    uint32_t modifiers[std::size(MODIFIERS)] = {};
};
Table table;

}  // namespace

void keep_keywords() {
    image_state::keep_vector("parse keywords", table.by_symbol);
    image_state::keep("parse modifiers", table.modifiers);
}

void init_keywords() {
    for (const Names& entry : KEYWORDS) {
        uint32_t id = symbol::resolve(symbol::make_case_folded(entry.name));
        if (id >= table.by_symbol.size()) table.by_symbol.resize(id + 1, Keyword::none_);
        table.by_symbol[id] = entry.keyword;
    }
    for (size_t i = 0; i < std::size(MODIFIERS); i++)
        table.modifiers[i] = symbol::resolve(symbol::make_case_folded(MODIFIERS[i]));
}

Keyword keyword_of(const Cell* word) {
    if (cell_type(word) != TYPE_WORD) return Keyword::none_;
    uint32_t spelling = word::symbol(word);
    if (spelling < table.by_spelling.size() && table.by_spelling[spelling] != UNKNOWN)
        return Keyword(table.by_spelling[spelling]);
    uint32_t id = symbol::resolve(spelling);
    Keyword keyword = id < table.by_symbol.size() ? table.by_symbol[id] : Keyword::none_;
    if (spelling >= table.by_spelling.size()) table.by_spelling.resize(size_t(spelling) * 2 + 64, UNKNOWN);
    table.by_spelling[spelling] = uint8_t(keyword);
    return keyword;
}

RuleWord decode_rule_word(const Cell* word, CachedWord* entry) {
    RuleWord named{keyword_of(word), 0};
    uint32_t id = symbol::resolve(word::symbol(word));
    for (size_t i = 0; i < std::size(MODIFIERS); i++)
        if (id == table.modifiers[i]) named.modifiers |= uint8_t(1u << i);
    if (entry) *entry = CachedWord{word::symbol(word), named, 0};
    return named;
}

void make_rule_keywords(const Cell* block) {
    uint32_t length = series_buffer(block)->length();
    if (length == 0) return;
    Node block_node = series_node(block);
    Node cache = array::make(length, sizeof(CachedWord));
    // Read again after the allocation, which may have moved the block.
    SeriesBuffer* rules = node_buffer(block_node);
    length = std::min(length, rules->length());
    SeriesBuffer* entries = node_buffer(cache);
    entries->tail = entries->offset + length * uint32_t(sizeof(CachedWord));
    auto entry = reinterpret_cast<CachedWord*>(entries->first());
    for (uint32_t i = 0; i < length; i++) {
        const Cell* cell = rules->cells() + i;
        entry[i] = CachedWord{};
        if (cell_type(cell) == TYPE_WORD) decode_rule_word(cell, entry + i);
    }
    rules->rule_keywords = cache;
}

Cell resolve(const Cell* value) {
    if (cell_type(value) != TYPE_WORD) return *value;
    Cell word = *value;
    Cell resolved = *context::get(&word);
    uint32_t type = cell_type(&resolved);
    if (type == TYPE_UNSET || is_any_word(type)) fire(err::script::parse_rule, value);
    return resolved;
}

bool try_resolve(const Cell* value, Cell* out) {
    RuleWord named;
    if (cell_type(value) == TYPE_WORD) named.keyword = keyword_of(value);
    return try_resolve_rule(value, named, out);
}

bool try_resolve_rule(const Cell* value, RuleWord named, Cell* out) {
    if (cell_type(value) != TYPE_WORD) {
        *out = *value;
        return true;
    }
    if (named.keyword != Keyword::none_ || word::context(value) == Node::none) return false;
    Cell word = *value;
    Cell resolved = *context::get(&word);
    uint32_t type = cell_type(&resolved);
    if (type == TYPE_UNSET || is_any_word(type)) return false;
    *out = resolved;
    return true;
}

}  // namespace vek::parse
