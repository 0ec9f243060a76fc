#include "view/backends/terminal/loop.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/os.h"
#include "platform/terminal.h"
#include "runtime/core/sockets.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/word/context.h"
#include "view/backends/terminal/events.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/routines.h"
#include "view/backends/terminal/routing.h"
#include "view/backends/terminal/timers.h"
#include "view/backends/terminal/tty.h"

namespace vek::view::backends::terminal {

namespace {

namespace pt = platform::terminal;

// ---------------------------------------------------------------- the terminal's io

int64_t steady_now_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Without input to wait for, a wait for ever is a long sleep that the
// loop repeats.
void wait_on_terminal(int32_t timeout_ms, bool input) {
    if (input) pt::wait_input(timeout_ms);
    else platform::wait(timeout_ms == WAIT_FOREVER ? 1.0 : timeout_ms / 1000.0);
}

size_t read_terminal(InputParser& input) { return pump(input, true); }

bool take_the_terminal(Screen& screen, InputParser& input, bool mouse) {
    if (!enter_ui_mode(screen, input)) return false;
    pt::watch_resizes();
    if (screen.full_screen) pt::set_mode(pt::Mode::alternate_screen, true);
    pt::set_mode(pt::Mode::mouse, mouse);
    return true;
}

void give_back_the_terminal(Screen& screen) {
    if (!screen.full_screen) leave_inline_area(screen);
    pt::set_mode(pt::Mode::mouse, false);
    pt::set_mode(pt::Mode::alternate_screen, false);
    pt::set_mode(pt::Mode::cursor_hidden, false);
    leave_ui_mode();
    pt::drop_input();
}

constexpr LoopIo TERMINAL_IO{
    .now_ms = steady_now_ms,
    .wait = wait_on_terminal,
    .read = read_terminal,
    .resizes = pt::resize_count,
    .take_terminal = take_the_terminal,
    .give_back_terminal = give_back_the_terminal,
    .show_frame = write_frame,
};

// ---------------------------------------------------------------- state

// A running loop.
struct Frame {
    WidgetId window;     // the window it runs for
    bool ended = false;  // exit_event_loop or the window's end came
};

struct LoopState {
    LoopIo io = TERMINAL_IO;
    std::vector<Frame> frames;      // the running loops, innermost last
    bool reading = false;           // the outermost loop reads the terminal's input
    int64_t last_tick = 0;          // when the timers were last advanced
    uint32_t resizes_seen = 0;      // the io's resize count at the last look
    uint32_t requests_before = 0;   // cursor position requests not answered before the outermost loop
};
LoopState state;

// A field of system/view; nullptr while system or its view lacks it (a
// bare runtime, in tests).
const Cell* system_view_field(Word name) {
    uint32_t symbol = symbol_of(Word::SYSTEM);
    if (context::find_word(context::global_cell(), symbol, true) < 0) return nullptr;
    const Cell* system = context::get_global_cell(symbol);
    const Cell* view = system ? field(system, Word::VIEW) : nullptr;
    return view ? field(view, name) : nullptr;
}

// system/view/platform/mouse-event? is true.
bool mouse_wanted() {
    const Cell* platform = system_view_field(Word::PLATFORM);
    const Cell* wanted = platform ? field(platform, Word::MOUSE_EVENT_Q) : nullptr;
    return wanted && cell_type(wanted) == TYPE_LOGIC && logic::get(wanted);
}

// What a one-pass loop passes for its frame: it has none, and runs its pass
// to the end.
constexpr size_t ONE_PASS = SIZE_MAX;

bool frame_ended(size_t index) {
    if (index == ONE_PASS) return false;
    return index >= state.frames.size() || state.frames[index].ended;
}

// ---------------------------------------------------------------- a tick

// The terminal's new size goes to the screen, the first screen face and
// every window, in the order of the window list.
void send_resize() {
    TerminalSize size = terminal_size();
    Screen& screen = backend().screen;
    screen.set_terminal_size(size.columns, size.rows);
    screen.redraw_needed = true;
    const Cell* screens = system_view_field(Word::SCREENS);
    if (screens && is_any_block(cell_type(screens)) && series_index(screens) < series_buffer(screens)->length()) {
        Cell first = series_buffer(screens)->cells()[series_index(screens)];
        if (is_face(&first)) pair::make_at(facet(&first, Facet::SIZE), size.columns, size.rows);
    }
    std::vector<WidgetId> windows = backend().windows;
    for (WidgetId id : windows)
        send_widget_event(id, InputEvent{.type = EVENT_RESIZE, .x = float(size.columns), .y = float(size.rows)});
}

void route(const InputEvent& event) {
    if (event.type == EVENT_KEY) route_key(event);
    else route_pointer(event);
}

// Decodes the input and routes it, while the loop lasts.
void route_input(size_t frame) {
    std::vector<InputEvent> events;
    backend().input.parse(events, backend().screen.area_first_row);
    for (const InputEvent& event : events) {
        if (frame_ended(frame)) break;
        route(event);
    }
}

// A frame of the current window when one was asked for, and only while the
// loop holds the terminal.
void render_frame() {
    Screen& screen = backend().screen;
    if (!state.reading) return;
    screen.keep_area_on_screen();
    if (!screen.redraw_needed) return;
    screen.caret_column = screen.caret_row = -1;
    render_tree();
    state.io.show_frame(screen, screen.caret_column >= 0 || screen.caret_row >= 0);
}

// The ms since the timers last moved.
int32_t take_elapsed() {
    int64_t now = state.io.now_ms();
    int64_t elapsed = std::clamp<int64_t>(now - state.last_tick, 0, INT32_MAX);
    state.last_tick = now;
    return int32_t(elapsed);
}

// Until the tick's end, and past it while nothing can happen before input
// comes: until the first timer is due, or without timers as long as it
// takes. A byte held back by the parser (a lone ESC, maybe the start of a
// sequence) is the Esc key if nothing follows it by the next tick.
void wait_for_work() {
    int64_t since_tick = state.io.now_ms() - state.last_tick;
    int64_t timeout = WAIT_FOREVER;
    if (backend().input.pending() > 0) timeout = std::max<int64_t>(TICK_MS - since_tick, 0);
    else if (std::optional<int32_t> due = next_timer_due())
        timeout = std::max<int64_t>(std::max<int64_t>(TICK_MS, *due) - since_tick, 0);
    if (timeout != 0) state.io.wait(int32_t(std::min<int64_t>(timeout, INT32_MAX)), state.reading);
}

// One tick of the loop of frame (ONE_PASS for a one-pass loop); answers
// whether input was read.
bool tick(size_t frame) {
    bool one_pass = frame == ONE_PASS;
    if (!one_pass) wait_for_work();
    bool got = state.reading && state.io.read(backend().input) > 0;
    if (one_pass && !got) {
        render_frame();
        return false;
    }
    if (uint32_t resizes = state.io.resizes(); resizes != state.resizes_seen) {
        state.resizes_seen = resizes;
        if (state.reading) send_resize();
    }
    int32_t elapsed = take_elapsed();
    advance_timers(elapsed);
    route_input(frame);
    advance_click_timer(elapsed);
    render_frame();
    return got;
}

// ---------------------------------------------------------------- outermost loop

void take_terminal() {
    Screen& screen = backend().screen;
    state.requests_before = cursor_position_requests() - backend().input.position_reports();
    state.resizes_seen = state.io.resizes();
    state.reading = state.io.take_terminal(screen, backend().input, mouse_wanted());
    state.last_tick = state.io.now_ms();
    screen.redraw_needed = true;
    render_frame();
}

// The answers to the cursor position requests still on their way are read
// and dropped, waiting at most POSITION_REPLY_MS.
void await_position_replies() {
    InputParser& input = backend().input;
    auto outstanding = [&input] {
        return int64_t(cursor_position_requests() - state.requests_before) - int64_t(input.position_reports()) > 0;
    };
    int64_t deadline = state.io.now_ms() + POSITION_REPLY_MS;
    int32_t row = 0;
    std::vector<InputEvent> dropped;
    for (int64_t left = POSITION_REPLY_MS; outstanding() && left > 0; left = deadline - state.io.now_ms()) {
        state.io.wait(int32_t(left), true);
        state.io.read(input);
        input.parse(dropped, row);
    }
}

// The terminal as it was, and no window state of this loop left behind.
void give_back_terminal() {
    Backend& tui = backend();
    if (state.reading) {
        await_position_replies();
        state.io.give_back_terminal(tui.screen);
    }
    state.reading = false;
    tui.input.clear();
    reset_routing();
    retire_messages();
    Screen fresh;
    fresh.set_terminal_size(tui.screen.terminal_columns(), tui.screen.terminal_rows());
    fresh.full_screen = std::any_of(tui.windows.begin(), tui.windows.end(), [](WidgetId id) {
        Widget* window = find_widget(id);
        return window && (window->flags & WIDGET_FULLSCREEN);
    });
    tui.screen = std::move(fresh);
}

// Gives the terminal back however the outermost loop is left.
struct TerminalHeld {
    ~TerminalHeld() { give_back_terminal(); }
};

// Takes the loop's frame off however the loop is left.
struct FramePushed {
    explicit FramePushed(WidgetId window) { state.frames.push_back({window}); }
    ~FramePushed() { state.frames.pop_back(); }
    FramePushed(const FramePushed&) = delete;
    FramePushed& operator=(const FramePushed&) = delete;
};

// Without the terminal's input only timers can make anything happen: once
// none is left, the loop could never end, so it ends.
bool run_ticks(size_t frame) {
    bool got = false;
    while (!frame_ended(frame) && (state.reading || next_timer_due())) got = tick(frame);
    return got;
}

// ---------------------------------------------------------------- print hooks

// The inline window leaves the screen while the console prints...
void before_print() {
    if (!pt::in_ui_mode()) return;
    Screen& screen = backend().screen;
    erase_inline_area(screen);
    screen.frame_drawn = false;
}

// ...and comes back below what it printed.
void after_print() {
    if (!pt::in_ui_mode()) return;
    Screen& screen = backend().screen;
    screen.redraw_needed = true;
    request_cursor_position(screen);
}

void wait_pass() {
    if (pt::in_ui_mode()) run_event_loop(true);
}

}  // namespace

LoopIo set_loop_io(const LoopIo& io) {
    LoopIo old = state.io;
    state.io = io;
    return old;
}

bool run_event_loop(bool one_pass) {
    if (one_pass) return tick(ONE_PASS);
    WidgetId window = backend().current_window;
    if (!find_widget(window)) return false;
    if (!state.frames.empty()) {
        backend().input.clear();
        FramePushed pushed(window);
        return run_ticks(state.frames.size() - 1);
    }
    FramePushed pushed(window);
    TerminalHeld held;
    take_terminal();
    return run_ticks(0);
}

void exit_event_loop() {
    for (size_t i = state.frames.size(); i > 0; --i) {
        if (state.frames[i - 1].ended) continue;
        state.frames[i - 1].ended = true;
        return;
    }
}

void window_destroyed(WidgetId window) {
    for (Frame& frame : state.frames)
        if (frame.window == window) frame.ended = true;
}

size_t loop_depth() { return state.frames.size(); }

void init_loop() {
    sockets::before_print = before_print;
    sockets::after_print = after_print;
    sockets::wait_pass = wait_pass;
}

void reset_loop() { state = LoopState{}; }

routine::Arg do_event_loop(const routine::Arg* args) {
    const Cell* no_wait = args[0].cell;
    bool one_pass = cell_type(no_wait) != TYPE_NONE && !(cell_type(no_wait) == TYPE_LOGIC && !logic::get(no_wait));
    return {.cell = logic::push(run_event_loop(one_pass))};
}

routine::Arg end_event_loop(const routine::Arg*) {
    exit_event_loop();
    return {.cell = none::push()};
}

}  // namespace vek::view::backends::terminal
