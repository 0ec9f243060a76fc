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

// Appends the text of the seconds to the sink (1:02:03.5, -0:01:30,
// 0:00:03.14159: six significant digits of seconds).
void form_text(double seconds, text::Sink& sink);

// Registers time!; float! must be registered first.
void init();

}  // namespace vek::time
