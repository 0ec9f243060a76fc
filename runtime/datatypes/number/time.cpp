#include "runtime/datatypes/number/time.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/events.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/lexer/lexer.h"
#include "runtime/tables/ownership.h"
#include "runtime/text/float_text.h"

namespace vek::time {

namespace {

// Seconds below this show as "00".
constexpr double SMALLEST_SHOWN = 1e-6;

// Room for the hours of the largest finite float64 (305 digits) and the rest.
constexpr size_t TEXT_ROOM = 340;

// Two digits, a "0" in front of one.
char* two_digits(char* out, int32_t value) {
    *out++ = char('0' + value / 10);
    *out++ = char('0' + value % 10);
    return out;
}

// The seconds field: six significant digits, and two digits before the point.
char* seconds_field(char* out, double seconds) {
    if (seconds < SMALLEST_SHOWN) return two_digits(out, 0);
    float_text::FloatText text = float_text::format(seconds, float_text::FORMAT_SECONDS);
    size_t length = std::strlen(text.c_str());
    if (length == 1 || text.chars[1] == '.') *out++ = '0';
    std::memcpy(out, text.c_str(), length);
    return out + length;
}

// h:mm:ss of a non-negative finite value. The hours are written from the
// exact whole float, so no integer conversion can overflow.
char* clock_text(char* out, char* end, double value) {
    out = std::to_chars(out, end, std::floor(value / SECONDS_PER_HOUR), std::chars_format::fixed, 0).ptr;
    *out++ = ':';
    out = two_digits(out, int32_t(std::floor(std::fmod(value, SECONDS_PER_HOUR) / SECONDS_PER_MINUTE)));
    *out++ = ':';
    return seconds_field(out, std::fmod(value, SECONDS_PER_MINUTE));
}

}  // namespace

Cell* make_at(Cell* cell, double seconds) { return set_type(float_::make_at(cell, seconds), TYPE_TIME); }
Cell* make_in(const Cell* block, double seconds) { return set_type(float_::make_in(block, seconds), TYPE_TIME); }
Cell* push(double seconds) { return set_type(float_::push(seconds), TYPE_TIME); }

double hours(double seconds) { return std::trunc(seconds / SECONDS_PER_HOUR); }

int32_t minutes(double seconds) {
    if (!std::isfinite(seconds)) return 0;
    return int32_t(std::floor(std::fmod(std::fabs(seconds), SECONDS_PER_HOUR) / SECONDS_PER_MINUTE));
}

double seconds_past_minute(double seconds) { return std::fmod(seconds, SECONDS_PER_MINUTE); }

Cell* get_field(double seconds, int32_t field, Cell* out) {
    switch (field) {
    case FIELD_HOUR: {
        double whole = hours(seconds);
        if (integer::float_out_of_range(whole)) fire(err::math::overflow);
        return integer::make_at(out, int32_t(whole));
    }
    case FIELD_MINUTE: return integer::make_at(out, minutes(seconds));
    default: return float_::make_at(out, seconds_past_minute(seconds));
    }
}

int32_t field_of_word(const Cell* word, const Cell* value) {
    using fixed_words::Sym;
    uint32_t name = symbol::resolve(word::symbol(word));
    constexpr Sym FIELDS[] = {Sym::hour, Sym::minute, Sym::second};
    for (int32_t i = 0; i < 3; i++)
        if (name == symbol::resolve(fixed_words::symbol(FIELDS[i]))) return i + 1;
    if (value != nullptr && cell_type(value) == TYPE_TIME) fire(err::script::cannot_use, word, value);
    return -1;
}

void form_text(double seconds, text::Sink& sink) {
    // An infinite or NaN time (a division by zero) has no clock reading: it
    // shows as the float it is.
    if (!std::isfinite(seconds)) {
        sink.append(float_text::format(seconds, float_text::FORMAT_FLOAT64).c_str());
        return;
    }
    char text[TEXT_ROOM];
    char* out = text;
    if (seconds < 0.0) *out++ = '-';
    out = clock_text(out, text + TEXT_ROOM, std::fabs(seconds));
    sink.append(text, uint32_t(out - text));
}

namespace {

using integer::raise_bad_to_arg;
using integer::raise_not_related;

// ---------------------------------------------------------------- make and to

// [hours minutes seconds], any of them left out from the end. Only the hours
// may be negative, and their sign is the whole time's: [-1 30 0] is -1:30:00.
double from_block(const Cell* block) {
    uint32_t count = block::length_from_head(block);
    if (count > 3) raise_bad_to_arg(TYPE_TIME, block);
    double parts[3] = {0.0, 0.0, 0.0};
    for (uint32_t i = 0; i < count; i++) {
        const Cell* element = block::rs_abs_at(block, series_index(block) + i);
        uint32_t type = cell_type(element);
        bool seconds = i == 2;
        if (type != TYPE_INTEGER && !(seconds && type == TYPE_FLOAT)) raise_bad_to_arg(TYPE_TIME, element);
        parts[i] = type == TYPE_INTEGER ? double(integer::get(element)) : float_::get(element);
        // The hours take any sign; the others are counted within it.
        if (i > 0 && !(parts[i] >= 0.0 && std::isfinite(parts[i]))) raise_bad_to_arg(TYPE_TIME, element);
    }
    double magnitude = std::fabs(parts[0]) * SECONDS_PER_HOUR + parts[1] * SECONDS_PER_MINUTE + parts[2];
    return parts[0] < 0.0 ? -magnitude : magnitude;
}

// The text loaded as source; it must hold one time! and nothing else.
double from_text(const Cell* text) {
    Cell loaded{};
    if (lexer::scan_string(&loaded, text, -1, {.mode = lexer::Mode::scan}, nullptr, nullptr) == TYPE_ERROR)
        raise_bad_to_arg(TYPE_TIME, text);
    lexer::scan_string(&loaded, text, -1, {}, nullptr, nullptr);
    if (block::length_from_head(&loaded) != 1) raise_bad_to_arg(TYPE_TIME, text);
    const Cell* value = block::rs_abs_at(&loaded, series_index(&loaded));
    if (cell_type(value) != TYPE_TIME) raise_bad_to_arg(TYPE_TIME, text);
    return get(value);
}

double from_spec(const Cell* spec_value) {
    uint32_t type = cell_type(spec_value);
    if (is_any_list(type)) return from_block(spec_value);
    if (is_any_string(type)) return from_text(spec_value);
    switch (type) {
    case TYPE_INTEGER: return double(integer::get(spec_value));
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME: return float_::get(spec_value);
    default: raise_bad_to_arg(TYPE_TIME, spec_value);
    }
}

Cell* make(Cell* result, const Cell* spec_value, uint32_t) { return make_at(result, from_spec(spec_value)); }

// ---------------------------------------------------------------- form and mold

void form(const Cell* value, text::Sink& out) { form_text(get(value), out); }

void mold(const Cell* value, text::Sink& out, bool) { form_text(get(value), out); }

// ---------------------------------------------------------------- fields

// The field a path element selects: 1 to 3, or hour, minute, second.
int32_t path_field(const Cell* element, const Cell* path) {
    int32_t field = -1;
    if (cell_type(element) == TYPE_INTEGER) field = integer::get(element);
    else if (cell_type(element) == TYPE_WORD) field = field_of_word(element, nullptr);
    if (field < FIELD_HOUR || field > FIELD_SECOND)
        fire(err::script::invalid_path, path ? path : &none::constant, element);
    return field;
}

// The field replaced by the new value, the other fields kept as the getters
// show them: the hours and the seconds carry the time's sign, the minutes
// count within it.
double with_field(double seconds, int32_t field, const Cell* value) {
    uint32_t type = cell_type(value);
    bool fits = type == TYPE_INTEGER || (field == FIELD_SECOND && type == TYPE_FLOAT);
    if (!fits) fire(err::script::invalid_arg, value);
    double number = type == TYPE_INTEGER ? double(integer::get(value)) : float_::get(value);
    switch (field) {
    case FIELD_HOUR: return seconds - (hours(seconds) - number) * SECONDS_PER_HOUR;
    case FIELD_MINUTE: {
        double sign = seconds < 0.0 ? -1.0 : 1.0;
        return seconds - sign * (double(minutes(seconds)) - number) * SECONDS_PER_MINUTE;
    }
    default: return seconds - (seconds_past_minute(seconds) - number);
    }
}

// A set changes the parent cell, the path walker's copy of the time: the
// walker stores it back into what held it, which tells that holder's
// handlers and owners.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    int32_t field = path_field(element, args.path);
    if (args.value == nullptr) return get_field(get(parent), field, parent);
    float_::set(parent, with_field(get(parent), field, args.value));
    return parent;
}

Cell* pick(Cell* value, int32_t index, const Cell* index_cell) {
    int32_t field = cell_type(index_cell) == TYPE_WORD ? field_of_word(index_cell, value) : index;
    if (cell_type(index_cell) != TYPE_WORD && cell_type(index_cell) != TYPE_INTEGER)
        fire(err::script::invalid_arg, index_cell);
    if (field < FIELD_HOUR || field > FIELD_SECOND) fire(err::script::out_of_range, index_cell);
    return get_field(get(value), field, value);
}

// ---------------------------------------------------------------- arithmetic

// A date! on the right: the date's own addition, the operands swapped.
Cell* add(Cell* value1, Cell* value2) {
    if (cell_type(value2) != TYPE_DATE) return float_::math_op(value1, value2, integer::OP_ADD);
    std::swap(*value1, *value2);
    return actions::add(value1, value2);
}

Cell* subtract(Cell* value1, Cell* value2) {
    if (cell_type(value2) == TYPE_DATE) raise_not_related("subtract", TYPE_TIME);
    return float_::math_op(value1, value2, integer::OP_SUBTRACT);
}

Cell* multiply(Cell* value1, Cell* value2) {
    if (cell_type(value2) == TYPE_TIME) raise_not_related("multiply", TYPE_TIME);
    return float_::math_op(value1, value2, integer::OP_MULTIPLY);
}

// A time divided by a time is their ratio, a float!.
Cell* divide(Cell* value1, Cell* value2) {
    bool ratio = cell_type(value2) == TYPE_TIME;
    float_::math_op(value1, value2, integer::OP_DIVIDE);
    return ratio ? set_type(value1, TYPE_FLOAT) : value1;
}

// float!'s rounding in units of a second, the result always a time!. An
// integer! scale is taken as the float it is, so that the rounded time need
// not fit an integer!.
Cell* round(Cell* value, const actions::RoundArgs& args) {
    const Cell* scale = args.scale;
    if (scale != nullptr && cell_type(scale) == TYPE_MONEY) raise_not_related("round", TYPE_MONEY);
    Cell float_scale{};
    actions::RoundArgs float_args = args;
    if (scale != nullptr && cell_type(scale) == TYPE_INTEGER)
        float_args.scale = float_::make_at(&float_scale, double(integer::get(scale)));
    auto float_round = reinterpret_cast<actions::RoundFn>(registry::action(TYPE_FLOAT, registry::SLOT_ROUND));
    float_round(value, float_args);
    return set_type(value, TYPE_TIME);
}

// The whole seconds past the minute, nudged by a microsecond away from zero
// so that a value shown as a whole second counts as one.
int32_t whole_seconds(const Cell* value) {
    constexpr double NUDGE = 1e-6;
    double seconds = get(value);
    seconds += seconds >= 0.0 ? NUDGE : -NUDGE;
    return integer::truncate(seconds_past_minute(seconds));
}

bool even(const Cell* value) { return (whole_seconds(value) & 1) == 0; }
bool odd(const Cell* value) { return !even(value); }

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_TIME, Row()
        .set<SLOT_MAKE>(make)
        .inherit<SLOT_RANDOM>()
        .set<SLOT_TO>(make)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .inherit<SLOT_COMPARE>()
        .inherit<SLOT_ABSOLUTE>()
        .set<SLOT_ADD>(add)
        .set<SLOT_DIVIDE>(divide)
        .set<SLOT_MULTIPLY>(multiply)
        .inherit<SLOT_NEGATE>()
        .inherit<SLOT_REMAINDER>()
        .set<SLOT_ROUND>(round)
        .set<SLOT_SUBTRACT>(subtract)
        .set<SLOT_EVEN>(even)
        .set<SLOT_ODD>(odd)
        .set<SLOT_PICK>(pick));
}

}  // namespace vek::time
