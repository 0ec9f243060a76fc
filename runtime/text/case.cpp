// Simple case mapping. Below U+10000 a direct table per direction; above it
// a short sorted pair list, searched only within its key range.
#include <algorithm>
#include <array>

#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/tables/ownership.h"
#include "runtime/text/unicode.h"

namespace vek::unicode {
namespace {

// Entry 0 means "unchanged" (no code point maps to U+0000).
using BmpTable = std::array<int32_t, 0x10000>;
BmpTable upper_table;
BmpTable lower_table;

void fill(BmpTable& table, const PairList& list) {
    table.fill(0);
    for (uint32_t i = 0; i < list.pair_count; ++i) {
        table[list.pairs[2 * i]] = int32_t(list.pairs[2 * i + 1]);
    }
}

uint32_t map_above_bmp(uint32_t code_point, const PairList& list) {
    const uint32_t* pairs = list.pairs;
    uint32_t n = list.pair_count;
    if (n == 0 || code_point < pairs[0] || code_point > pairs[2 * (n - 1)]) return code_point;
    for (uint32_t i = 0; i < n && pairs[2 * i] <= code_point; ++i) {
        if (pairs[2 * i] == code_point) return pairs[2 * i + 1];
    }
    return code_point;
}

}  // namespace

void init_case_tables() {
    fill(upper_table, to_upper_bmp);
    fill(lower_table, to_lower_bmp);
}

uint32_t change_char_case(uint32_t code_point, bool upper) {
    if (code_point < 0x10000) {
        int32_t mapped = (upper ? upper_table : lower_table)[code_point];
        return mapped ? uint32_t(mapped) : code_point;
    }
    return map_above_bmp(code_point, upper ? to_upper_above_bmp : to_lower_above_bmp);
}

uint32_t to_upper(uint32_t code_point) { return change_char_case(code_point, true); }

uint32_t toggle_case(uint32_t code_point) {
    uint32_t upper = to_upper(code_point);
    return upper != code_point ? upper : change_char_case(code_point, false);
}

}  // namespace vek::unicode

// ---------------------------------------------------------------- values

namespace vek::unicode {
namespace {

// A /part position counts from the head; a count runs at most to the tail.
uint32_t part_count(const Cell* string, const Cell* part, uint32_t length) {
    int64_t count;
    if (cell_type(part) == TYPE_INTEGER) {
        count = integer::get(part);
    } else if (cell_type(part) == cell_type(string) && series_node(part) == series_node(string)) {
        count = int64_t(int32_t(series_index(part))) - int64_t(series_index(string));
    } else {
        fire(err::script::invalid_refine_arg, fixed_words::refinement(fixed_words::Ref::part), part);
    }
    return uint32_t(std::clamp<int64_t>(count, 0, length));
}

}  // namespace

void change_case(Cell* value, const Cell* part, bool upper) {
    if (cell_type(value) == TYPE_CHAR) {
        char_::set(value, change_char_case(char_::get(value), upper));
        return;
    }
    uint32_t length = string::rs_length(value);  // also pulls a head beyond the tail back
    uint32_t head = series_index(value);
    uint32_t count = part ? part_count(value, part, length) : length;
    Node node = series_node(value);
    for (uint32_t i = head; i < head + count; i++) {
        SeriesBuffer* buffer = node_buffer(node);
        std::byte* at = buffer->at(i);
        uint32_t code_point = string::get_char(at, buffer->unit());
        uint32_t mapped = change_char_case(code_point, upper);
        if (mapped != code_point) string::poke_char(buffer, at, mapped);
    }
    using fixed_words::Word;
    Cell none = blank_cell(TYPE_NONE);
    ownership::check(value, fixed_words::word(upper ? Word::uppercase : Word::lowercase), &none,
                     int32_t(head), int32_t(count));
}

}  // namespace vek::unicode
