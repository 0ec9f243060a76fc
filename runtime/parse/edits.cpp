// The operations that read or edit the input, or fill a collect target:
// set, copy, remove, insert, change and keep. Edits go through the series
// actions, so owners hear of them as of any other edit; each may run an
// owner's handler, so every function re-reads the buffers it needs after
// the edit rather than holding addresses across it.
#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/edit.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/parse/internal.h"

namespace vek::parse {

namespace {

// The range ordered and clamped to the input's tail.
void order(const Input& in, uint32_t* start, uint32_t* end) {
    uint32_t length = in.length();
    uint32_t a = std::min(*start, length), b = std::min(*end, length);
    *start = std::min(a, b);
    *end = std::max(a, b);
}

uint32_t length_of(const Cell* series) { return series_buffer(series)->length(); }

// Puts the value into the target at its insertion index (or its tail), as
// one value when only; part limits the text taken from a series value.
int64_t put(const Target& target, const Cell* value, const Cell* part, bool only) {
    Cell series = target.series;
    if (target.insert_at < 0) {
        // Most keeps store one value at the tail of a block! with room left.
        bool stored = only && part == nullptr && cell_type(&series) == TYPE_BLOCK && block::append_in_place(&series, value);
        if (!stored) actions::append(&series, value, part, only, nullptr);
        return -1;
    }
    uint32_t before = length_of(&series);
    set_series_index(&series, uint32_t(std::min<int64_t>(target.insert_at, before)));
    actions::insert(&series, value, part, only, nullptr);
    return std::min<int64_t>(target.insert_at, before) + (int64_t(length_of(&series)) - before);
}

}  // namespace

Cell first_value(const Input& in, uint32_t start, uint32_t end) {
    if (start >= std::min(end, in.length())) return none::constant;
    SeriesBuffer* buffer = series_buffer(&in.series);
    switch (in.kind) {
    case InputKind::block: return buffer->cells()[start];
    case InputKind::text: {
        Cell c{};
        char_::make_at(&c, string::get_char(buffer->at(start), buffer->unit()));
        return c;
    }
    case InputKind::bytes: return integer::cell(uint8_t(buffer->first()[start]));
    }
    return none::constant;
}

Cell copy_range(const Input& in, uint32_t start, uint32_t end) {
    order(in, &start, &end);
    uint32_t type = cell_type(&in.series);
    if (type == TYPE_HASH) {
        Cell from = in.at(start);
        Cell part = integer::cell(int32_t(end - start));
        Cell result{};
        actions::copy(&from, &result, &part, false, nullptr);
        return result;
    }
    Node copy = series::copy_part(series_node(&in.series), start, end - start);
    return series_cell(type, copy);
}

void remove_range(const Input& in, uint32_t start, uint32_t end) {
    order(in, &start, &end);
    if (start == end) return;
    Cell from = in.at(start);
    Cell part = integer::cell(int32_t(end - start));
    actions::remove(&from, &part, nullptr);
}

int64_t insert_at(const Input& in, uint32_t index, const Cell* value, bool only) {
    uint32_t before = in.length();
    Cell at = in.at(index);
    actions::insert(&at, value, nullptr, only, nullptr);
    return int64_t(in.length()) - before;
}

uint32_t change_range(const Input& in, uint32_t start, uint32_t end, const Cell* value, bool only) {
    order(in, &start, &end);
    uint32_t before = in.length();
    Cell at = in.at(start);
    Cell part = integer::cell(int32_t(end - start));
    Cell replacement = *value;
    actions::change(&at, &replacement, &part, only, nullptr);
    int64_t after = int64_t(end) + (int64_t(in.length()) - before);
    return uint32_t(std::clamp<int64_t>(after, start, in.length()));
}

int64_t keep_range(const Input& in, uint32_t start, uint32_t end, bool pick, const Target& target) {
    order(in, &start, &end);
    if (start == end) return target.insert_at;
    Target into = target;
    if (!is_any_block(cell_type(&target.series))) {
        Cell from = in.at(start);
        Cell part = integer::cell(int32_t(end - start));
        return put(into, &from, &part, false);
    }
    if (pick || end - start == 1) {
        for (uint32_t i = start; i < end && i < in.length(); i++) {
            Cell value = first_value(in, i, i + 1);
            into.insert_at = put(into, &value, nullptr, true);
        }
        return into.insert_at;
    }
    Cell copy = copy_range(in, start, end);
    return put(into, &copy, nullptr, true);
}

int64_t keep_value(const Cell* value, const Target& target) {
    if (cell_type(value) == TYPE_UNSET) return target.insert_at;
    return put(target, value, nullptr, true);
}

void check_target(const Input& in, const Cell* series) {
    uint32_t type = cell_type(series);
    bool compatible = is_any_block(type) || (is_any_string(type) && in.kind == InputKind::text) ||
                      (type == TYPE_BINARY && in.kind == InputKind::bytes);
    if (!compatible) fire(err::script::parse_into_type);
    if (series_node(series) == series_node(&in.series)) fire(err::script::parse_into_bad);
}

}  // namespace vek::parse
