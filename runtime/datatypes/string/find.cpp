#include "runtime/datatypes/string/internal.h"

#include <algorithm>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/container/bitset.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::string {

namespace {

struct Options {
    const Cell* part;
    const Cell* skip;
    const Cell* wild;
    bool any, fold, last, reverse, match;
};

// What is searched for: one code point, one number (a byte of a binary!),
// a run of code points held in a buffer, or any one unit that is a member of
// a bitset.
struct Pattern {
    enum class Kind { code_point, number, text, member } kind;
    uint32_t code_point;  // folded already when folding applies
    double number;
    Node text;            // the run's buffer, or the bitset's bit array
    uint32_t head;
    uint32_t length;  // units a match covers
};

// search found nothing.
constexpr int64_t MISS = -1;

uint32_t folded(uint32_t code_point, bool fold) { return fold ? unicode::to_upper(code_point) : code_point; }

// The text of a series value from its head, or of a word!'s name.
Pattern text_pattern(const Cell* value) {
    if (cell_type(value) == TYPE_WORD) {
        Node name = symbol::name_string(word::symbol_cell(value));
        return {Pattern::Kind::text, 0, 0, name, 0, node_buffer(name)->length()};
    }
    uint32_t length = series_buffer(value)->length();
    uint32_t head = std::min(series_index(value), length);
    return {Pattern::Kind::text, 0, 0, series_node(value), head, length - head};
}

// formed receives the text of a value that is searched as its formed text:
// it lives in the caller's frame for the whole search.
Pattern pattern_of(const Cell* series, const Cell* value, bool fold, Cell* formed) {
    bool binary_series = cell_type(series) == TYPE_BINARY;
    switch (cell_type(value)) {
    case TYPE_CHAR: return {Pattern::Kind::code_point, folded(char_::get(value), fold), 0, Node::none, 0, 1};
    case TYPE_BITSET: return {Pattern::Kind::member, 0, 0, bitset::bits_node(value), 0, 1};
    case TYPE_BINARY:
        if (!binary_series) fire(err::script::invalid_arg, value);
        return text_pattern(value);
    case TYPE_STRING: case TYPE_FILE: case TYPE_URL: case TYPE_EMAIL: case TYPE_REF: case TYPE_WORD:
        return text_pattern(value);
    case TYPE_INTEGER:
        if (binary_series) return {Pattern::Kind::number, 0, double(integer::get(value)), Node::none, 0, 1};
        break;
    case TYPE_FLOAT:
        if (binary_series) return {Pattern::Kind::number, 0, cell_get_f64(value), Node::none, 0, 1};
        break;
    default: break;
    }
    return text_pattern(actions::form_to_string(value, nullptr, formed));
}

// No allocation happens while a search runs, so the buffers are read
// through plain addresses. A bitset is tested with the unit as it stands:
// case folding never applies to it.
bool matches_at(SeriesBuffer* buffer, int64_t at, const Pattern& p, bool fold) {
    uint32_t unit = buffer->unit();
    uint32_t here = get_char(buffer->at(uint32_t(at)), unit);
    switch (p.kind) {
    case Pattern::Kind::code_point: return folded(here, fold) == p.code_point;
    case Pattern::Kind::number: return double(here) == p.number;
    case Pattern::Kind::member: return bitset::has_member(p.text, here);
    case Pattern::Kind::text: break;
    }
    SeriesBuffer* text = node_buffer(p.text);
    for (uint32_t i = 0; i < p.length; i++) {
        uint32_t wanted = get_char(text->at(p.head + i), text->unit());
        if (folded(get_char(buffer->at(uint32_t(at) + i), unit), fold) != folded(wanted, fold)) return false;
    }
    return true;
}

// The position of the first match, or MISS; matched receives the units a
// match covers. The units from low to end may hold a match: forwards from
// the head to the part's end or the tail; with last backwards over the same
// range; with reverse backwards over the units before the head (at most
// part of them).
int64_t search(const Cell* series, const Cell* value, const Options& o, uint32_t* matched) {
    int64_t length = series_buffer(series)->length();
    int64_t head = std::min<int64_t>(series_index(series), length);
    if (length == 0 || (!o.reverse && head >= length)) return MISS;
    if (o.any || o.wild != nullptr) fire(err::internal::not_done);
    uint32_t step = series::search_step(o.skip);
    int64_t low = o.reverse ? 0 : head;
    int64_t end = o.reverse ? head : length;
    if (o.part != nullptr) {
        int64_t count = series::part_count(series, o.part);
        if (count < 1) return MISS;
        if (o.reverse)
            low = std::max<int64_t>(head - count, 0);
        else
            end = std::min(head + count, length);
    }
    if (o.reverse && (o.match || head == 0)) return MISS;

    Cell formed{};
    Pattern p = pattern_of(series, value, o.fold, &formed);
    *matched = p.length;
    // An empty text still needs a unit to stand on.
    uint32_t need = std::max<uint32_t>(p.length, 1);
    bool backward = o.last || o.reverse;
    int64_t start = backward ? series::backward_start(head, end, need, step) : head;
    int64_t delta = backward ? -int64_t(step) : int64_t(step);
    SeriesBuffer* buffer = series_buffer(series);
    for (int64_t at = start; at >= low && at + need <= end; at += delta) {
        if (matches_at(buffer, at, p, o.fold)) return at;
        if (o.match) break;
    }
    return MISS;
}

// Folding never applies to bytes.
bool folds(const Cell* series, bool case_sensitive, bool same) {
    return is_any_string(cell_type(series)) && !case_sensitive && !same;
}

// only means nothing in text: every value is searched as one.
Options options_of(const Cell* series, const actions::FindArgs& a) {
    return {a.part, a.skip, a.wild, a.any, folds(series, a.case_sensitive, a.same), a.last, a.reverse, a.match};
}

}  // namespace

Cell* find(Cell* series, const Cell* value, const actions::FindArgs& args) {
    uint32_t matched = 0;
    int64_t at = search(series, value, options_of(series, args), &matched);
    if (at == MISS) return &none::constant;
    set_series_index(series, uint32_t(args.tail ? at + matched : at));
    return series;
}

Cell* select(Cell* series, const Cell* value, const actions::SelectArgs& args) {
    uint32_t matched = 0;
    int64_t at = search(series, value, options_of(series, actions::as_find_args(args)), &matched);
    if (at == MISS) return &none::constant;
    SeriesBuffer* buffer = series_buffer(series);
    int64_t next = at + matched;
    if (next >= buffer->length()) return &none::constant;
    uint32_t unit = get_char(buffer->at(uint32_t(next)), buffer->unit());
    bool binary = cell_type(series) == TYPE_BINARY;
    *series = Cell{binary ? uint32_t(TYPE_INTEGER) : uint32_t(TYPE_CHAR), 0, unit, 0};
    return series;
}

}  // namespace vek::string
