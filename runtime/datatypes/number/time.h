// time!: a signed duration or time of day, held as float64 seconds in words
// 2-3 (negative for negative durations, no upper bound), laid out as float!,
// its parent. Its text is hours:minutes:seconds; the text writer and the
// field helpers also serve the time part of date!.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/text/sink.h"

namespace vek::time {

constexpr double SECONDS_PER_HOUR = 3600.0;
constexpr double SECONDS_PER_MINUTE = 60.0;
constexpr double SECONDS_PER_DAY = 86400.0;

// The fields that path access and pick select (also on the time of a date!).
constexpr int32_t FIELD_HOUR = 1;
constexpr int32_t FIELD_MINUTE = 2;
constexpr int32_t FIELD_SECOND = 3;

// Writes a time! of that many seconds (the cell's flags kept) and returns the
// cell.
Cell* make_at(Cell* cell, double seconds);
// A new time! appended at the block's tail.
Cell* make_in(const Cell* block, double seconds);
// A new time! pushed on the argument stack.
Cell* push(double seconds);
inline double get(const Cell* cell) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_TIME>);
    return cell_get_f64(cell);
}

// The whole hours, truncated toward zero (-1 for -1:30:15). A float: the
// hours of a huge time do not fit an integer.
double hours(double seconds);
// The whole minutes past the hour of the magnitude, 0 to 59 (0 for an
// infinite or NaN time).
int32_t minutes(double seconds);
// The seconds past the minute, with the value's sign (-15.0 for -1:30:15).
double seconds_past_minute(double seconds);

// Writes the field of the seconds into out and returns out: the hour and the
// minute as integer!, the second as float!. An hour beyond integer! raises
// math overflow.
Cell* get_field(double seconds, int32_t field, Cell* out);
// The field a word names: hour, minute or second, in any letter case. For
// another word -1, or, when a time! value is given, script cannot-use with
// the word and the value.
int32_t field_of_word(const Cell* word, const Cell* value);

// Appends the text of the seconds to the sink (1:02:03.5, -0:01:30,
// 0:00:03.14159: six significant digits of seconds).
void form_text(double seconds, text::Sink& sink);

// Registers time!; float! must be registered first.
void init();

}  // namespace vek::time
