#include "view/backends/terminal/timers.h"

#include <algorithm>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/time.h"
#include "view/backends/terminal/events.h"

namespace vek::view::backends::terminal {

namespace {

struct Timer {
    WidgetId widget;   // 0 once removed
    int32_t interval;  // ms
    int32_t elapsed;   // ms since it last fired
};

struct Timers {
    std::vector<Timer> list;  // in the order they were set
    int32_t walks = 0;        // advance_timers calls under way
};
Timers timers;

[[noreturn]] void raise_bad_rate(const Cell* rate) { fire(err::script::invalid_facet_type, rate); }

Timer* find_timer(WidgetId id) {
    for (Timer& timer : timers.list)
        if (timer.widget == id) return &timer;
    return nullptr;
}

void drop_removed() {
    if (timers.walks == 0) std::erase_if(timers.list, [](const Timer& timer) { return timer.widget == 0; });
}

// A walk under way, ended however the walk is left.
struct Walk {
    Walk() { ++timers.walks; }
    ~Walk() {
        --timers.walks;
        drop_removed();
    }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
};

}  // namespace

std::optional<int32_t> rate_interval(const Cell* rate) {
    switch (cell_type(rate)) {
    case TYPE_NONE: return std::nullopt;
    case TYPE_INTEGER:
        if (integer::get(rate) > 0) return 1000 / integer::get(rate);
        break;
    case TYPE_TIME:
        if (time::get(rate) > 0) return int32_t(std::min(time::get(rate) * 1000, double(INT32_MAX)));
        break;
    default: break;
    }
    raise_bad_rate(rate);
}

void set_timer(WidgetId id, int32_t interval) {
    remove_timer(id);
    timers.list.push_back({id, interval, 0});
}

void remove_timer(WidgetId id) {
    if (Timer* timer = find_timer(id)) timer->widget = 0;
    drop_removed();
}

void set_timer_from_rate(WidgetId id, const Cell* rate) {
    std::optional<int32_t> interval = rate_interval(rate);
    if (interval) set_timer(id, *interval);
    else remove_timer(id);
}

// By index over the timers there were: a time actor may add timers, which
// wait for the next tick, and remove them, which leaves their entries
// empty until the walk is over.
void advance_timers(int32_t ms) {
    Walk walk;
    size_t count = timers.list.size();
    for (size_t i = 0; i < count && i < timers.list.size(); ++i) {
        Timer& timer = timers.list[i];
        if (timer.widget == 0) continue;
        timer.elapsed += ms;
        if (timer.elapsed < timer.interval) continue;
        timer.elapsed = 0;
        send_widget_event(timer.widget, InputEvent{.type = EVENT_TIME});
    }
}

std::optional<int32_t> next_timer_due() {
    std::optional<int32_t> due;
    for (const Timer& timer : timers.list)
        if (timer.widget != 0) due = std::min(due.value_or(INT32_MAX), std::max(timer.interval - timer.elapsed, 0));
    return due;
}

size_t timer_count() {
    return size_t(std::count_if(timers.list.begin(), timers.list.end(),
                                [](const Timer& timer) { return timer.widget != 0; }));
}

std::optional<int32_t> timer_interval(WidgetId id) {
    if (Timer* timer = find_timer(id)) return timer->interval;
    return std::nullopt;
}

void reset_timers() { timers = Timers{}; }

}  // namespace vek::view::backends::terminal
