#include "view/rich_text.h"

#include <algorithm>

#include "runtime/datatypes/compound/pair.h"
#include "runtime/eval/evaluator.h"
#include "runtime/memory/series.h"

namespace vek::view::rich_text {

namespace {

// The walk over the runs block: its cell, kept by value, and the range.
struct Runs {
    Cell block;              // the runs
    bool catch_errors;       // as the draw dialect's catch flag
    int32_t start = 0;       // the current range, 0-based
    int32_t length = 0;

    uint32_t tail() const { return series_buffer(&block)->length(); }
    const Cell* at(uint32_t i) const { return i < tail() ? series_buffer(&block)->cells() + i : nullptr; }
    [[noreturn]] void fail(uint32_t i) const { draw::throw_draw_error(&block, i, catch_errors); }
    bool is(uint32_t i, uint32_t type) const { return at(i) && cell_type(at(i)) == type; }
};

// The characters of the string from its index.
int32_t characters(const Cell* text) {
    uint32_t length = series_buffer(text)->length(), index = series_index(text);
    return int32_t(std::min<uint32_t>(length - std::min(index, length), INT32_MAX));
}

void set_range(Runs& runs, const Cell* pair, int32_t count) {
    runs.start = int32_t(std::clamp<int64_t>(int64_t(pair::x(pair)) - 1, INT32_MIN, INT32_MAX));
    runs.length = pair::y(pair);
    if (int64_t(runs.start) + runs.length > count)
        runs.length = int32_t(std::max<int64_t>(int64_t(count) - runs.start, INT32_MIN));
}

// The colour of backdrop, required: a tuple or a word holding one.
draw::Colour backdrop_colour(const Runs& runs, uint32_t i) {
    const Cell* value = runs.at(i);
    if (value && cell_type(value) == TYPE_WORD) value = eval::word_value(value);
    if (!value || cell_type(value) != TYPE_TUPLE) runs.fail(i);
    return draw::get_color(value);
}

// A style word at i: its call; the index of the next value.
uint32_t style(TextBox& box, Runs& runs, uint32_t i) {
    const Cell* word = runs.at(i);
    int32_t start = runs.start, length = runs.length;
    if (draw::is_word(word, draw::Word::BACKDROP)) {
        box.set_backdrop(start, length, backdrop_colour(runs, i + 1));
        return i + 2;
    }
    if (draw::is_word(word, draw::Word::BOLD)) return box.set_bold(start, length, 700), i + 1;
    if (draw::is_word(word, draw::Word::ITALIC)) return box.set_italic(start, length), i + 1;
    using Setter = void (TextBox::*)(int32_t, int32_t, const Cell*, const Cell*);
    Setter setter = draw::is_word(word, draw::Word::UNDERLINE) ? &TextBox::set_underline
                    : draw::is_word(word, draw::Word::STRIKE)  ? &TextBox::set_strike
                    : draw::is_word(word, draw::Word::BORDER)  ? &TextBox::set_border
                                                               : nullptr;
    if (!setter) runs.fail(i);
    uint32_t end = runs.is(i + 1, TYPE_TUPLE) ? i + 2 : i + 1;
    if (runs.is(end, TYPE_LIT_WORD)) ++end;
    const Cell* cells = series_buffer(&runs.block)->cells();
    (box.*setter)(start, length, cells + i + 1, cells + end - 1);
    return end;
}

uint32_t step(TextBox& box, Runs& runs, uint32_t i, int32_t count) {
    const Cell* value = runs.at(i);
    switch (cell_type(value)) {
    case TYPE_PAIR: set_range(runs, value, count); return i + 1;
    case TYPE_TUPLE: box.set_color(runs.start, runs.length, draw::get_color(value)); return i + 1;
    case TYPE_STRING: box.set_font_name(runs.start, runs.length, value); return i + 1;
    case TYPE_INTEGER:
    case TYPE_FLOAT: box.set_font_size(runs.start, runs.length, draw::to_float(value)); return i + 1;
    case TYPE_WORD: return style(box, runs, i);
    default: runs.fail(i);
    }
}

}  // namespace

void apply_text_styles(TextBox& box, const Cell* runs, const Cell* text, bool catch_errors) {
    Runs walk{*runs, catch_errors};
    int32_t count = characters(text);
    for (uint32_t i = series_index(runs); i < walk.tail();) i = step(box, walk, i, count);
}

}  // namespace vek::view::rich_text
