#include "runtime/datatypes/number/time.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/datatypes/number/float.h"
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
    float_::FloatText text = float_::format(seconds, float_::FORMAT_SECONDS);
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

void form_text(double seconds, text::Sink& sink) {
    // An infinite or NaN time (a division by zero) has no clock reading: it
    // shows as the float it is.
    if (!std::isfinite(seconds)) {
        sink.append(float_::format(seconds, float_::FORMAT_FLOAT64).c_str());
        return;
    }
    char text[TEXT_ROOM];
    char* out = text;
    if (seconds < 0.0) *out++ = '-';
    out = clock_text(out, text + TEXT_ROOM, std::fabs(seconds));
    sink.append(text, uint32_t(out - text));
}

namespace {

// form and mold give the same text.
void form(const Cell* value, text::Sink& out) { form_text(get(value), out); }

void mold(const Cell* value, text::Sink& out, bool) { form_text(get(value), out); }

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_TIME, Row()
        .inherit<SLOT_RANDOM>()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .inherit<SLOT_COMPARE>()
        .inherit<SLOT_ABSOLUTE>()
        .inherit<SLOT_NEGATE>()
        .inherit<SLOT_REMAINDER>());
}

}  // namespace vek::time
