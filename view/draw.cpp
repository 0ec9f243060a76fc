#include "view/draw.h"

#include <iterator>

#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/memory/image_state.h"
#include "runtime/tables/cycles.h"
#include "view/draw_walk.h"
#include "view/word_symbols.h"

namespace vek::view::draw {

namespace {

constexpr const char* WORD_NAMES[] = {
#define VEK_DRAW_WORD(NAME, word) word,
#include "view/draw_words.def"
#undef VEK_DRAW_WORD
};
WordSymbols<Word, size_t(Word::COUNT)> words(WORD_NAMES);
uint32_t system_symbol, view_symbol, silent_symbol;

// Whether system/view/silent? is true.
bool silent() {
    if (context::find_word(context::global_cell(), system_symbol, true) < 0) return false;
    const Cell* system = context::get_global_cell(system_symbol);
    if (cell_type(system) != TYPE_OBJECT) return false;
    const Cell* view = object::find_field(system, view_symbol);
    if (!view || cell_type(view) != TYPE_OBJECT) return false;
    const Cell* flag = object::find_field(view, silent_symbol);
    return flag && cell_type(flag) == TYPE_LOGIC && logic::get(flag);
}

// Reports the error with its argument: nothing under silent?, printed with
// the catch flag, raised without it. Either way the walk is left.
[[noreturn]] void report(err::AnyId id, const Cell* argument, bool catch_errors) {
    cycles::reset();
    if (silent()) machine_throw(catch_errors ? CODE_DRAW_REPORTED : CODE_DRAW_SILENT);
    if (!catch_errors) fire(id, argument);
    eval::print_error(id, argument);
    machine_throw(CODE_DRAW_REPORTED);
}

// ---------------------------------------------------------------- readers of the commands

// The target of a transformation: 'pen or 'fill-pen right after the
// command word is consumed; any other value is left for the checks after.
Target target(const Walk& walk, uint32_t& i) {
    const Cell* value = walk.at(i);
    if (!value || cell_type(value) != TYPE_LIT_WORD) return Target::all;
    if (is_word(value, Word::PEN)) return ++i, Target::pen;
    if (is_word(value, Word::FILL_PEN)) return ++i, Target::fill_pen;
    return Target::all;
}

// A transformation applied by the call, and a clip, to the optional block at
// i when there is one, the block walked between push-state and pop-state
// (a clip's end before the pop); the index past what it consumed.
enum class Nested : uint8_t { transformation, clip };

template <Nested KIND = Nested::transformation, typename Call>
uint32_t transformed(Walk& walk, uint32_t i, Call call) {
    if (!walk.is(i, Kind::block)) {
        call();
        return i;
    }
    Cell nested = *walk.at(i);
    walk.canvas().push_state();
    call();
    parse_draw(walk.canvas(), &nested, walk.catch_errors());
    if constexpr (KIND == Nested::clip) walk.canvas().clip_end();
    walk.canvas().pop_state();
    return i + 1;
}

// ---------------------------------------------------------------- commands

// Each takes the index of its first argument and answers the index past the
// last value it consumed.
using Command = uint32_t (*)(Walk& walk, uint32_t i);

uint32_t pen(Walk& walk, uint32_t i) { return parse_pen(walk, i, false); }
uint32_t fill_pen(Walk& walk, uint32_t i) { return parse_pen(walk, i, true); }

// A point, a value of the kind and an optional number (box and circle):
// the index past them.
uint32_t point_and_optional_number(const Walk& walk, uint32_t i, Kind second) {
    walk.need(walk.need(i, Kind::point) + 1, second);
    return walk.optional(i + 2, Kind::number);
}

uint32_t box(Walk& walk, uint32_t i) {
    uint32_t end = point_and_optional_number(walk, i, Kind::point);
    walk.canvas().box(walk.position(i), walk.position(end - 1));
    return end;
}

uint32_t line(Walk& walk, uint32_t i) {
    uint32_t end = walk.points(i, 2);
    walk.canvas().line(walk.position(i), walk.position(end - 1));
    return end;
}

uint32_t line_width(Walk& walk, uint32_t i) {
    walk.canvas().line_width(walk.at(walk.need(i, Kind::number)));
    return i + 1;
}

uint32_t line_join(Walk& walk, uint32_t i) {
    walk.canvas().line_join(symbol::resolve(word::symbol(walk.at(walk.need(i, Kind::word)))));
    return i + 1;
}

uint32_t line_cap(Walk& walk, uint32_t i) {
    walk.canvas().line_cap(symbol::resolve(word::symbol(walk.at(walk.need(i, Kind::word)))));
    return i + 1;
}

uint32_t line_pattern(Walk& walk, uint32_t i) {
    uint32_t end = walk.run(i, Kind::integer);
    walk.canvas().line_pattern(walk.position(i), walk.position(end - 1));
    return end;
}

uint32_t triangle(Walk& walk, uint32_t i) {
    for (uint32_t k = 0; k < 3; ++k) walk.need(i + k, Kind::point);
    walk.canvas().triangle(walk.position(i));
    return i + 3;
}

uint32_t polygon(Walk& walk, uint32_t i) {
    uint32_t end = walk.points(i, 3);
    walk.canvas().polygon(walk.position(i), walk.position(end - 1));
    return end;
}

uint32_t circle(Walk& walk, uint32_t i) {
    uint32_t end = point_and_optional_number(walk, i, Kind::number);
    walk.canvas().circle(walk.position(i), walk.position(end - 1));
    return end;
}

uint32_t ellipse(Walk& walk, uint32_t i) {
    walk.need(walk.need(i, Kind::point) + 1, Kind::point);
    walk.canvas().ellipse(walk.position(i), walk.position(i + 1));
    return i + 2;
}

uint32_t anti_alias(Walk& walk, uint32_t i) {
    walk.need(i, Kind::word);
    walk.canvas().anti_alias(!walk.is_keyword(i, Word::OFF));
    return i + 1;
}

uint32_t font(Walk& walk, uint32_t i) {
    const Cell* font = walk.value_of(i);
    if (cell_type(font) != TYPE_OBJECT) walk.fail(i);
    walk.canvas().font(font);
    return i + 1;
}

uint32_t text(Walk& walk, uint32_t i) {
    walk.need(i, Kind::point);
    const Cell* text = walk.at(i + 1);
    if (!text || (cell_type(text) != TYPE_STRING && cell_type(text) != TYPE_OBJECT)) walk.fail(i + 1);
    if (!walk.canvas().text(walk.position(i), text, walk.catch_errors())) walk.fail(i + 1);
    return i + 2;
}

uint32_t arc(Walk& walk, uint32_t i) {
    walk.need(walk.need(i, Kind::point) + 1, Kind::point);
    walk.need(walk.need(i + 2, Kind::number) + 1, Kind::number);
    uint32_t end = walk.is_keyword(i + 4, Word::CLOSED) ? i + 5 : i + 4;
    walk.canvas().arc(walk.position(i), walk.position(end - 1));
    return end;
}

uint32_t curve(Walk& walk, uint32_t i) {
    for (uint32_t k = 0; k < 3; ++k) walk.need(i + k, Kind::point);
    uint32_t end = walk.optional(i + 3, Kind::point);
    walk.canvas().curve(walk.position(i), walk.position(end - 1));
    return end;
}

uint32_t spline(Walk& walk, uint32_t i) {
    uint32_t end = walk.points(i, 2);
    bool closed = walk.is_keyword(end, Word::CLOSED);
    walk.canvas().spline(walk.position(i), walk.position(end - 1), closed);
    return closed ? end + 1 : end;
}

uint32_t image(Walk& walk, uint32_t i) {
    if (cell_type(walk.value_of(i)) != TYPE_IMAGE) walk.fail(i);
    uint32_t first = i + 1;
    uint32_t j = walk.run(first, Kind::point);
    bool points = j > first;
    uint32_t colour = walk.is(j, Kind::colour) ? j++ : 0;
    bool border = walk.is_keyword(j, Word::BORDER);
    uint32_t crop = 0;
    if (border) {
        ++j;
    } else if (walk.is_keyword(j, Word::CROP)) {
        walk.need(walk.need(j + 1, Kind::point) + 1, Kind::point);
        crop = j + 1;
        j += 3;
    }
    Canvas::ImageArgs args{.image = walk.value_of(i),
                           .first = points ? walk.position(first) : nullptr,
                           .last = points ? walk.position(first + (j - first) - 1) : nullptr,
                           .colour = colour ? walk.value_of(colour) : nullptr,
                           .border = border,
                           .crop = crop ? walk.position(crop) : nullptr};
    if (!walk.canvas().image(args)) report(err::internal::no_memory, nullptr, walk.catch_errors());
    return j;
}

uint32_t integer_at(const Walk& walk, uint32_t i) { return uint32_t(integer::get(walk.at(i))); }

uint32_t shadow(Walk& walk, uint32_t i) {
    const Cell* offset = walk.at(i);
    if (walk.is(i, Kind::word)) {
        if (!walk.is_keyword(i, Word::OFF)) walk.fail(i);
        walk.canvas().shadow(offset, 0, 0, 0, false);
        return i + 1;
    }
    walk.need(i, Kind::pair);
    uint32_t j = i + 1;
    int32_t blur = 0, spread = 0;
    if (walk.is(j, Kind::integer)) {
        blur = int32_t(integer_at(walk, j++));
        if (walk.is(j, Kind::integer)) spread = int32_t(integer_at(walk, j++));
    }
    uint32_t colour = 0;
    const Cell* value = walk.at(j);
    if (value && (cell_type(value) == TYPE_TUPLE || cell_type(value) == TYPE_WORD)) {
        if (!walk.is(j, Kind::colour)) walk.fail(j);
        colour = walk.colour(j++).value;
    }
    bool inset = walk.is_keyword(j, Word::INSET);
    walk.canvas().shadow(walk.at(i), blur, spread, colour, inset);
    return inset ? j + 1 : j;
}

constexpr Word CLIP_MODES[] = {Word::REPLACE, Word::INTERSECT, Word::UNION, Word::XOR, Word::EXCLUDE};

uint32_t clip(Walk& walk, uint32_t i) {
    bool rectangle = walk.is(i, Kind::point);
    if (rectangle) {
        walk.need(i + 1, Kind::point);
    } else {
        Cell shape = *walk.at(walk.need(i, Kind::block));
        parse_shape(walk.canvas(), &shape, false, walk.catch_errors());
    }
    uint32_t area_end = rectangle ? i + 1 : i;
    uint32_t j = area_end + 1;
    for (Word mode : CLIP_MODES) {
        if (!walk.is_keyword(j, mode)) continue;
        walk.clip_mode = mode;
        ++j;
        break;
    }
    return transformed<Nested::clip>(walk, j, [&] {
        walk.canvas().clip(walk.position(i), walk.position(area_end), rectangle, walk.clip_mode);
    });
}

uint32_t shape(Walk& walk, uint32_t i) {
    Cell shape = *walk.at(walk.need(i, Kind::block));
    parse_shape(walk.canvas(), &shape, true, walk.catch_errors());
    return i + 1;
}

uint32_t rotate(Walk& walk, uint32_t i) {
    Target to = target(walk, i);
    uint32_t end = walk.optional(walk.need(i, Kind::number) + 1, Kind::point);
    return transformed(walk, end, [&] { walk.canvas().rotate(to, walk.position(i), walk.position(end - 1)); });
}

uint32_t scale(Walk& walk, uint32_t i) {
    Target to = target(walk, i);
    uint32_t end = walk.optional(walk.need(walk.need(i, Kind::scale) + 1, Kind::scale) + 1, Kind::point);
    return transformed(walk, end, [&] { walk.canvas().scale(to, walk.position(i), walk.position(end - 1)); });
}

uint32_t translate(Walk& walk, uint32_t i) {
    Target to = target(walk, i);
    walk.need(i, Kind::point);
    return transformed(walk, i + 1, [&] { walk.canvas().translate(to, walk.position(i)); });
}

uint32_t skew(Walk& walk, uint32_t i) {
    Target to = target(walk, i);
    uint32_t end = walk.optional(walk.optional(walk.need(i, Kind::number) + 1, Kind::number), Kind::point);
    return transformed(walk, end, [&] { walk.canvas().skew(to, walk.position(i), walk.position(end - 1)); });
}

uint32_t transform(Walk& walk, uint32_t i) {
    Target to = target(walk, i);
    uint32_t angle = walk.optional(i, Kind::point);
    uint32_t factor = walk.need(angle, Kind::number) + 1;
    walk.need(walk.need(factor, Kind::scale) + 1, Kind::scale);
    uint32_t end = walk.need(factor + 2, Kind::point) + 1;
    return transformed(walk, end, [&] {
        walk.canvas().transform(to, walk.position(i), walk.position(factor), walk.position(end - 1));
    });
}

uint32_t push(Walk& walk, uint32_t i) { return transformed(walk, walk.need(i, Kind::block), [] {}); }

constexpr uint32_t MATRIX_SIZE = 6;

uint32_t matrix(Walk& walk, uint32_t i) {
    Target to = target(walk, i);
    const Cell* values = walk.at(walk.need(i, Kind::block));
    if (block::length_from_head(values) != MATRIX_SIZE) walk.fail(i - 1);
    const Cell* first = series_buffer(values)->cells() + series_index(values);
    for (uint32_t k = 0; k < MATRIX_SIZE; ++k)
        if (cell_type(first + k) != TYPE_INTEGER && cell_type(first + k) != TYPE_FLOAT) walk.fail(i - 1);
    walk.canvas().matrix(to, values);
    return i + 1;
}

uint32_t reset_matrix(Walk& walk, uint32_t i) {
    walk.canvas().reset_matrix(target(walk, i));
    return i;
}

uint32_t invert_matrix(Walk& walk, uint32_t i) {
    walk.canvas().invert_matrix(target(walk, i));
    return i;
}

// The commands in the order of their words in draw_words.def.
constexpr Command COMMANDS[] = {
    pen,   fill_pen, box,  line,   line_width, line_join, line_cap,  line_pattern, triangle, polygon, circle,
    ellipse, anti_alias, font, text, arc,   curve,  spline,  image,  shadow, clip,   shape,  rotate,
    scale, translate, skew, transform, push, matrix, reset_matrix, invert_matrix,
};
static_assert(std::size(COMMANDS) == size_t(Word::INVERT_MATRIX) + 1);

// The command a word names, nullptr for none.
Command command_of(const Cell* word) {
    uint32_t symbol = symbol::resolve(word::symbol(word));
    for (size_t k = 0; k < std::size(COMMANDS); ++k)
        if (words.symbol(Word(k)) == symbol) return COMMANDS[k];
    return nullptr;
}

// One value at command position; the index of the next.
uint32_t step(Walk& walk, uint32_t i) {
    const Cell* value = walk.at(i);
    switch (cell_type(value)) {
    case TYPE_WORD:
        if (Command command = command_of(value)) return command(walk, i + 1);
        walk.fail(i);
    case TYPE_SET_WORD:
        set_label(walk, i);
        return i + 1;
    case TYPE_BLOCK: {
        Cell nested = *value;
        parse_draw(walk.canvas(), &nested, walk.catch_errors());
        return i + 1;
    }
    default:
        walk.fail(i);
    }
}

}  // namespace

// ---------------------------------------------------------------- words and values

void init_word_hooks() {
    words.keep_in_image("draw words");
    image_state::keep("draw system symbol", system_symbol);
    image_state::keep("draw view symbol", view_symbol);
    image_state::keep("draw silent? symbol", silent_symbol);
}

void init_words() {
    words.intern();
    system_symbol = symbol::make_case_folded("system");
    view_symbol = symbol::make_case_folded("view");
    silent_symbol = symbol::make_case_folded("silent?");
}

uint32_t symbol_of(Word word) { return words.symbol(word); }

bool is_word(const Cell* value, Word word) { return words.is(value, word); }

Colour get_color(const Cell* tuple) {
    uint32_t bytes = tuple::size(tuple) > 3 ? 4 : 3;
    uint32_t value = 0;
    for (uint32_t k = 0; k < bytes; ++k) value |= uint32_t(tuple::get_byte(tuple, k)) << (8 * k);
    return {value, bytes == 4};
}

float to_float32(const Cell* number) { return float(to_float(number)); }

double to_float(const Cell* number) {
    return cell_type(number) == TYPE_INTEGER ? double(integer::get(number)) : float_::get(number);
}

// ---------------------------------------------------------------- the walk

void check_recursion(const Cell* block, bool catch_errors) {
    if (cycles::find(series_node(block))) report(err::script::draw_infinite, block, catch_errors);
}

void set_label(const Walk& walk, uint32_t i) {
    Cell label = *walk.at(i);
    Cell rest = *walk.block();
    set_series_index(&rest, i + 1);
    stack::push(&rest);
    eval::set_word_to_last(&label);
    stack::pop(1);
}

void parse_draw(Canvas& canvas, const Cell* block, bool catch_errors) {
    check_recursion(block, catch_errors);
    cycles::Scope walking(series_node(block));
    Walk walk(canvas, block, catch_errors);
    for (uint32_t i = walk.head(); i < walk.tail();) i = step(walk, i);
}

void throw_draw_error(const Cell* block, uint32_t index, bool catch_errors) {
    cycles::reset();
    if (silent()) machine_throw(catch_errors ? CODE_DRAW_REPORTED : CODE_DRAW_SILENT);
    Cell* copy = block::clone(block, false, false);
    set_series_index(copy, index - series_index(block));
    Cell argument = *copy;
    report(err::script::draw_invalid, &argument, catch_errors);
}

void do_draw(Canvas& canvas, const Cell* image, const Cell* commands, bool catch_errors) {
    if (cell_type(commands) != TYPE_BLOCK || block::length_from_head(commands) == 0) return;
    Cell walked = *commands;
    sysrec.thrown_code = 0;
    StackMark mark;
    // With the catch flag the errors of the walk land on this frame.
    if (catch_errors) stack::mark_try(fixed_words::word(fixed_words::Word::anon_tag));
    canvas.begin(image);
    try {
        parse_draw(canvas, &walked, catch_errors);
    } catch (VekThrow& thrown) {
        canvas.end();
        bool stopped = thrown.code == CODE_DRAW_SILENT || thrown.code == CODE_DRAW_REPORTED;
        if (!stopped && !(catch_errors && thrown.code == CODE_ERROR)) throw;
        mark.restore();
        sysrec.thrown_code = 0;
        return;
    }
    canvas.end();
    mark.restore();
}

}  // namespace vek::view::draw
