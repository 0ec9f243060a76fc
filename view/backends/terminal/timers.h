// Timers: a face whose rate facet is set gets a timer, which sends time to
// its widget each time its interval has passed. The event loop advances
// every timer by the length of each tick. An actor that hears time may
// close the window, change rates or make faces: the walk goes over the
// timers there were when it began, skips those removed meanwhile, and
// takes them out of the list once no walk is under way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "runtime/core/cell.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

// The interval in ms of a rate: 1000 / r for an integer r above 0 (whole
// ms), the time in ms for a time! above 0, nothing for none. Another value,
// or a rate not above 0, raises script invalid-facet-type with the value.
std::optional<int32_t> rate_interval(const Cell* rate);

// Gives the widget a timer of the interval in place of the one it had.
void set_timer(WidgetId id, int32_t interval);
// The widget has no timer any more.
void remove_timer(WidgetId id);
// Sets the widget's timer from the rate, or removes it for none; a bad
// rate raises with the timer left as it was.
void set_timer_from_rate(WidgetId id, const Cell* rate);

// Adds the ms to every timer; each that reaches its interval sends time to
// its widget and starts again from 0.
void advance_timers(int32_t ms);

// The ms until the first timer reaches its interval (0 when one has);
// nothing without timers.
std::optional<int32_t> next_timer_due();

// The timers that are running (tests).
size_t timer_count();
// The interval of the widget's timer; nothing when it has none (tests).
std::optional<int32_t> timer_interval(WidgetId id);

// Removes every timer (a fresh backend).
void reset_timers();

}  // namespace vek::view::backends::terminal
