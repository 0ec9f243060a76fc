// Events of the terminal backend on small face trees: the messages behind
// event! values, timers, pointer and key routing, and the field and button
// kinds. A stand-in for the view's dispatcher records every event it hears
// (its type, the widget, whether that widget was alive) and may act like
// an actor: destroy a window, answer done. The record shows that no event
// reaches a widget once it is destroyed.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/datatypes/event.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/integer.h"
#include "tests/unit/support/support.h"
#include "tests/unit/support/terminal_fixture.h"
#include "view/backends/terminal/events.h"
#include "view/backends/terminal/faces.h"
#include "view/backends/terminal/routing.h"
#include "view/backends/terminal/timers.h"
#include "view/backends/terminal/updates.h"
#include "view/backends/terminal/widgets.h"

namespace vek {
namespace {

using namespace view::backends::terminal;
using view::Facet;

struct Heard {
    uint32_t type;
    WidgetId widget;
    bool alive;
    uint32_t bits;  // the flags the event! carries
};

std::vector<Heard> heard_events;
// What the stand-in does after recording; answers done or not.
std::function<bool(const Cell* event)> heard_reaction;

bool recording_awake(const Cell* event) {
    WidgetId id = message_widget(event::message(event));
    heard_events.push_back({event::type_id(event), id, find_widget(id) != nullptr, event::bits(event)});
    return heard_reaction ? heard_reaction(event) : false;
}

InputEvent pointer_at(EventType type, float x, float y) { return InputEvent{.type = type, .x = x, .y = y}; }
InputEvent key_of(int32_t key, uint32_t flags = 0) { return InputEvent{.type = EVENT_KEY, .flags = flags, .key = key}; }

class TerminalRouting : public test::TerminalTest {
protected:
    void SetUp() override {
        test::TerminalTest::SetUp();
        heard_events.clear();
        heard_reaction = nullptr;
        saved_awake_ = set_awake(recording_awake);
    }
    void TearDown() override {
        set_awake(saved_awake_);
        heard_reaction = nullptr;
        test::TerminalTest::TearDown();
    }

    WidgetId show(const char* name, WidgetId parent = 0) { return test::show_face(global(name), parent); }

    // The view's own dispatcher back in place for the rest of the test.
    void use_the_views_dispatcher() { set_awake(saved_awake_); }

    // The types heard by one widget, in order.
    static std::vector<uint32_t> heard_by(WidgetId id) {
        std::vector<uint32_t> types;
        for (const Heard& heard : heard_events)
            if (heard.widget == id) types.push_back(heard.type);
        return types;
    }
    static void expect_all_alive() {
        for (const Heard& heard : heard_events) EXPECT_TRUE(heard.alive) << "event " << heard.type;
    }

    std::u32string text_of_face(const char* name) {
        Cell face = global(name);
        const Cell* text = facet(&face, Facet::TEXT);
        if (!is_any_string(cell_type(text))) return U"<none>";
        TextView view = text_of(text);
        std::u32string out;
        for (size_t i = 0; i < view.size(); ++i) out += view[i];
        return out;
    }

    void destroy(const char* name) {
        Cell face = global(name);
        destroy_widget(&face);
    }

    static size_t live_widgets() {
        size_t count = 0;
        for (const Widget& widget : backend().widgets) count += widget.live;
        return count;
    }

private:
    AwakeFn saved_awake_ = nullptr;
};

// ---------------------------------------------------------------- messages

TEST_F(TerminalRouting, AnEventKeptPastItsDispatchLosesItsBackendFieldsOnceItsSlotIsReused) {
    run("win: make tui-face [type: 'window size: 10x2]"
        "b: make tui-face [type: 'button offset: 2x1 size: 4x1 text: {OK}] win/pane: reduce [b]");
    show("win");
    WidgetId button = show("b", backend().current_window);
    Cell kept{};
    heard_reaction = [&kept](const Cell* event) {
        if (cell_type(&kept) != TYPE_EVENT) kept = *event;
        return false;
    };
    send_widget_event(button, InputEvent{.type = EVENT_KEY, .flags = FLAG_CONTROL, .key = 'a', .x = 1.7f, .y = 0});

    Cell value;
    event::get_field(&kept, event::Field::face, &value);
    EXPECT_EQ(cell_type(&value), uint32_t(TYPE_OBJECT));
    event::get_field(&kept, event::Field::offset, &value);
    EXPECT_EQ(cell_type(&value), uint32_t(TYPE_PAIR));
    event::get_field(&kept, event::Field::key, &value);
    EXPECT_EQ(cell_type(&value), uint32_t(TYPE_CHAR));

    send_widget_event(button, InputEvent{.type = EVENT_CLICK});
    for (event::Field field : {event::Field::face, event::Field::offset, event::Field::key, event::Field::picked}) {
        event::get_field(&kept, field, &value);
        EXPECT_EQ(cell_type(&value), uint32_t(TYPE_NONE)) << uint32_t(field);
    }
    event::get_field(&kept, event::Field::type, &value);
    EXPECT_EQ(cell_type(&value), uint32_t(TYPE_WORD));
    event::get_field(&kept, event::Field::ctrl_q, &value);
    ASSERT_EQ(cell_type(&value), uint32_t(TYPE_LOGIC));
    EXPECT_TRUE(logic::get(&value));
}

TEST_F(TerminalRouting, SpecialKeysReadAsWordsAndTheWheelAsAFloat) {
    run("win: make tui-face [type: 'window size: 10x2]");
    WidgetId window = show("win");
    std::vector<uint32_t> types;
    heard_reaction = [&types](const Cell* event) {
        Cell value;
        event::get_field(event, event::type_id(event) == EVENT_WHEEL ? event::Field::picked : event::Field::key,
                         &value);
        types.push_back(cell_type(&value));
        return false;
    };
    send_widget_event(window, key_of(KEY_PAGE_DOWN, KEY_SPECIAL));
    send_widget_event(window, key_of(KEY_F1 - 11, KEY_SPECIAL));
    send_widget_event(window, key_of(-30, KEY_SPECIAL));
    send_widget_event(window, InputEvent{.type = EVENT_WHEEL, .wheel = -1});
    EXPECT_EQ(types, (std::vector<uint32_t>{TYPE_WORD, TYPE_WORD, TYPE_NONE, TYPE_FLOAT}));
}

// The view's dispatcher runs in a catch-all frame: an error or a throw out
// of an actor ends that dispatch alone and leaves the stacks as they were.
TEST_F(TerminalRouting, TheViewsDispatcherCatchesWhatLeavesAnActor) {
    run("heard: copy []"
        "system: make object! [view: make object! [awake: func [event] ["
        "  append heard event/type"
        "  if event/type = 'click [return 'done]"
        "  if event/type = 'key [throw 'away]"
        "  1 / 0"
        "]]]"
        "win: make tui-face [type: 'window size: 4x1]");
    WidgetId window = show("win");
    use_the_views_dispatcher();
    test::SavedStacks before;
    EXPECT_TRUE(send_widget_event(window, InputEvent{.type = EVENT_CLICK}));
    EXPECT_FALSE(send_widget_event(window, key_of('k')));
    EXPECT_FALSE(send_widget_event(window, InputEvent{.type = EVENT_TIME}));
    EXPECT_EQ(stack::top, before.top);
    EXPECT_EQ(stack::frames_top, before.frames);
    run("unset 'system");
    EXPECT_EQ(test::molded(global("heard")), "[click key time]");
}

// ---------------------------------------------------------------- timers

TEST_F(TerminalRouting, RatesGiveIntervalsAndBadRatesRaise) {
    run("r4: 4 r3: 3 r2000: 2000 half: 0:0:0.5 zero: 0 minus: -1 str: {x} off: 0:0:0");
    struct {
        const char* name;
        int32_t interval;
    } intervals[] = {{"r4", 250}, {"r3", 333}, {"r2000", 0}, {"half", 500}};
    for (auto [name, interval] : intervals) {
        Cell rate = global(name);
        EXPECT_EQ(rate_interval(&rate), interval) << name;
    }
    Cell no_rate = blank_cell(TYPE_NONE);
    EXPECT_FALSE(rate_interval(&no_rate));
    for (const char* name : {"zero", "minus", "str", "off"}) {
        Cell rate = global(name);
        EXPECT_EQ(test::raised([&rate] { (void)rate_interval(&rate); }),
                  error_code(err::script::invalid_facet_type))
            << name;
    }
}

TEST_F(TerminalRouting, ABadRateRaisesBeforeAnyWidgetIsMade) {
    run("win: make tui-face [type: 'window size: 10x2 rate: 0]");
    Cell face = global("win");
    EXPECT_EQ(test::raised([&face] { make_widget(&face, 0); }), error_code(err::script::invalid_facet_type));
    EXPECT_EQ(live_widgets(), 0u);
    EXPECT_EQ(backend().windows.size(), 0u);
}

TEST_F(TerminalRouting, TimersFireAtTheirIntervalAndNoneStopsThem) {
    run("win: make tui-face [type: 'window size: 10x2 rate: 4]");
    WidgetId window = show("win");
    EXPECT_EQ(timer_interval(window), 250);
    advance_timers(200);
    EXPECT_TRUE(heard_events.empty());
    advance_timers(50);
    advance_timers(249);
    EXPECT_EQ(heard_by(window), (std::vector<uint32_t>{EVENT_TIME}));
    Cell stop = blank_cell(TYPE_NONE);
    set_timer_from_rate(window, &stop);
    EXPECT_EQ(timer_count(), 0u);
    advance_timers(1000);
    EXPECT_EQ(heard_events.size(), 1u);
}

// A time actor closes its window: the other timers of that window, still
// in the walk, send nothing, and the list is empty afterwards.
TEST_F(TerminalRouting, ATimeActorClosingItsWindowEndsItsTimers) {
    run("win: make tui-face [type: 'window size: 10x2 rate: 10]"
        "a: make tui-face [offset: 0x0 size: 2x1 rate: 10] b: make tui-face [offset: 2x0 size: 2x1 rate: 10]"
        "win/pane: reduce [a b]");
    WidgetId window = show("win");
    show("a", window);
    show("b", window);
    heard_reaction = [this](const Cell*) {
        destroy("win");
        return false;
    };
    advance_timers(100);
    EXPECT_EQ(heard_events.size(), 1u);
    expect_all_alive();
    EXPECT_EQ(timer_count(), 0u);
    EXPECT_EQ(live_widgets(), 0u);
}

// ---------------------------------------------------------------- pointer

// A window 20x4 holding a panel (0x0, 10x3) with a button at 1x1 (4x1) and
// a face beside the panel at 12x0.
class TerminalPointer : public TerminalRouting {
protected:
    void SetUp() override {
        TerminalRouting::SetUp();
        run("win: make tui-face [type: 'window size: 20x4]"
            "p: make tui-face [offset: 0x0 size: 10x3]"
            "b: make tui-face [type: 'button offset: 1x1 size: 4x1 text: {OK} flags: [focusable]]"
            "s: make tui-face [offset: 12x0 size: 4x2]"
            "p/pane: reduce [b] win/pane: reduce [p s]");
        show_window_tree();
    }
    void show_window_tree() {
        window = show("win");
        panel = show("p", window);
        button = show("b", panel);
        side = show("s", window);
    }
    void click_button() {
        route_pointer(pointer_at(EVENT_DOWN, 2, 1));
        route_pointer(pointer_at(EVENT_UP, 2, 1));
    }
    WidgetId window = 0, panel = 0, button = 0, side = 0;
};

TEST_F(TerminalPointer, ClickClickDoubleClickThenAThirdQuickClickGivesOnlyClick) {
    for (int i = 0; i < 3; ++i) {
        click_button();
        advance_click_timer(33);
    }
    std::vector<uint32_t> clicks;
    for (uint32_t type : heard_by(button))
        if (type == EVENT_CLICK || type == EVENT_DBL_CLICK) clicks.push_back(type);
    EXPECT_EQ(clicks, (std::vector<uint32_t>{EVENT_CLICK, EVENT_CLICK, EVENT_DBL_CLICK, EVENT_CLICK}));
    EXPECT_EQ(heard_by(button).front(), uint32_t(EVENT_DOWN));

    heard_events.clear();
    for (int i = 0; i < 16; ++i) advance_click_timer(33);  // past the double-click time
    click_button();
    EXPECT_EQ(heard_by(button), (std::vector<uint32_t>{EVENT_DOWN, EVENT_UP, EVENT_CLICK}));
}

TEST_F(TerminalPointer, AClickGivesTheFocusToTheDeepestFocusableWidget) {
    find_widget(window)->window->focused = window;
    find_widget(button)->flags &= ~WIDGET_FOCUSED;
    click_button();
    EXPECT_EQ(find_widget(window)->window->focused, button);
    EXPECT_TRUE(find_widget(button)->flags & WIDGET_FOCUSED);
    std::vector<uint32_t> heard = heard_by(button);
    EXPECT_NE(std::find(heard.begin(), heard.end(), uint32_t(EVENT_FOCUS)), heard.end());
}

TEST_F(TerminalPointer, OverAndAwayAndAllOver) {
    route_pointer(pointer_at(EVENT_OVER, 2, 1));  // nothing hovered: the whole path
    EXPECT_EQ(heard_events.size(), 3u);
    heard_events.clear();
    route_pointer(pointer_at(EVENT_OVER, 3, 1));  // the same widget, without all-over
    EXPECT_TRUE(heard_events.empty());
    route_pointer(pointer_at(EVENT_OVER, 13, 1));  // out of the button and its panel to the side face
    ASSERT_EQ(heard_events.size(), 2u);
    EXPECT_EQ(heard_events[0].widget, button);
    EXPECT_TRUE(heard_events[0].bits & FLAG_AWAY);
    EXPECT_EQ(heard_events[1].widget, side);
    EXPECT_FALSE(heard_events[1].bits & FLAG_AWAY);
    heard_events.clear();
    find_widget(side)->flags |= WIDGET_ALL_OVER;
    route_pointer(pointer_at(EVENT_OVER, 14, 1));
    EXPECT_EQ(heard_by(side), (std::vector<uint32_t>{EVENT_OVER}));
    route_pointer(pointer_at(EVENT_OVER, 5, 2));  // back out to the panel, the button's parent
    EXPECT_EQ(pointer().hovered, panel);
}

TEST_F(TerminalPointer, TheWheelGoesUpThePathUntilDone) {
    heard_reaction = [this](const Cell* event) {
        return message_widget(event::message(event)) == panel;
    };
    route_pointer(InputEvent{.type = EVENT_WHEEL, .x = 2, .y = 1, .wheel = 1});
    EXPECT_EQ(heard_by(button), (std::vector<uint32_t>{EVENT_WHEEL}));
    EXPECT_EQ(heard_by(panel), (std::vector<uint32_t>{EVENT_WHEEL}));
    EXPECT_TRUE(heard_by(window).empty());
}

// Actors that close the window in the middle of a click: nothing more
// reaches any widget, and the pointer state names none of them.
TEST_F(TerminalPointer, ClosingTheWindowDuringAClickStopsTheRouting) {
    for (uint32_t closing_type : {uint32_t(EVENT_DOWN), uint32_t(EVENT_UP), uint32_t(EVENT_CLICK)}) {
        SCOPED_TRACE(closing_type);
        reset_backend();
        backend().screen.set_terminal_size(20, 6);
        heard_events.clear();
        show_window_tree();
        heard_reaction = [this, closing_type](const Cell* event) {
            if (event::type_id(event) == closing_type) destroy("win");
            return false;
        };
        click_button();
        expect_all_alive();
        ASSERT_FALSE(heard_events.empty());
        EXPECT_EQ(heard_events.back().type, closing_type);
        EXPECT_EQ(pointer().hovered, 0u);
        EXPECT_EQ(pointer().pressed, 0u);
        EXPECT_TRUE(pointer().pressed_list.empty());
        EXPECT_EQ(live_widgets(), 0u);
    }
}

// The button leaves its panel while it is pressed: the release goes
// nowhere near it, and the window keeps running with a clean state.
TEST_F(TerminalPointer, APressedWidgetRemovedBeforeTheRelease) {
    route_pointer(pointer_at(EVENT_OVER, 2, 1));
    route_pointer(pointer_at(EVENT_DOWN, 2, 1));
    destroy("b");
    heard_events.clear();
    route_pointer(pointer_at(EVENT_UP, 2, 1));
    expect_all_alive();
    EXPECT_TRUE(heard_by(button).empty());
    EXPECT_EQ(pointer().pressed, 0u);
    EXPECT_NE(find_widget(window), nullptr);
}

// ---------------------------------------------------------------- keys and kinds

class TerminalKeys : public TerminalRouting {
protected:
    void SetUp() override {
        TerminalRouting::SetUp();
        run("win: make tui-face [type: 'window size: 20x3]"
            "f: make tui-face [type: 'field offset: 0x0 size: 5x1 text: {ab} flags: [focusable]]"
            "b: make tui-face [type: 'button offset: 0x1 size: 4x1 text: {OK} flags: [focusable]]"
            "win/pane: reduce [f b]");
        window = show("win");
        field = show("f", window);
        button = show("b", window);
    }
    void type_keys(std::initializer_list<InputEvent> keys) {
        for (const InputEvent& key : keys) route_key(key);
    }
    WidgetId window = 0, field = 0, button = 0;
};

TEST_F(TerminalKeys, KeyDownThenKeyThenTheWidgetUntilDone) {
    type_keys({key_of('c')});
    EXPECT_EQ(heard_by(field), (std::vector<uint32_t>{EVENT_KEY_DOWN, EVENT_KEY, EVENT_CHANGE}));
    EXPECT_EQ(text_of_face("f"), U"abc");

    for (uint32_t done_on : {uint32_t(EVENT_KEY_DOWN), uint32_t(EVENT_KEY)}) {
        heard_events.clear();
        heard_reaction = [done_on](const Cell* event) { return event::type_id(event) == done_on; };
        type_keys({key_of('d')});
        EXPECT_EQ(heard_by(field).back(), done_on);
        EXPECT_EQ(text_of_face("f"), U"abc");
    }
}

// Escape runs unview/all during key: the field's own handler never runs.
TEST_F(TerminalKeys, ClosingTheWindowDuringKeyStopsTheField) {
    heard_reaction = [this](const Cell* event) {
        if (event::type_id(event) == EVENT_KEY) destroy("win");
        return false;
    };
    type_keys({key_of('x')});
    expect_all_alive();
    EXPECT_EQ(heard_by(field), (std::vector<uint32_t>{EVENT_KEY_DOWN, EVENT_KEY}));
    EXPECT_EQ(text_of_face("f"), U"ab");
}

// A focused field removed by an actor: the window itself takes the focus,
// so that keys (Escape among them) still reach the view.
TEST_F(TerminalKeys, TheWindowTakesTheFocusItsRemovedWidgetHad) {
    destroy("f");
    EXPECT_EQ(find_widget(window)->window->focused, window);
    EXPECT_TRUE(find_widget(window)->flags & WIDGET_FOCUSED);
    heard_events.clear();
    type_keys({key_of('x')});
    expect_all_alive();
    EXPECT_EQ(heard_by(window), (std::vector<uint32_t>{EVENT_KEY_DOWN, EVENT_KEY}));
}

TEST_F(TerminalKeys, FieldEditing) {
    struct Case {
        const char* name;
        std::vector<InputEvent> keys;
        std::u32string text;
        int32_t caret;
        size_t changes;
    };
    const InputEvent left = key_of(KEY_LEFT, KEY_SPECIAL), right = key_of(KEY_RIGHT, KEY_SPECIAL);
    const Case cases[] = {
        {"typed at the end", {key_of('c')}, U"abc", 3, 1},
        {"a full field changes nothing", {key_of('c'), key_of('d'), key_of('e'), key_of('f')}, U"abcde", 5, 3},
        {"backspace", {key_of(8)}, U"a", 1, 1},
        {"DEL as backspace", {key_of(127)}, U"a", 1, 1},
        {"backspace at the start", {key_of(2), key_of(2), key_of(2), key_of(8)}, U"ab", 0, 0},
        {"ctrl+b then insert", {key_of(2), key_of('x')}, U"axb", 2, 1},
        {"left, right, ctrl+f at the end", {left, right, key_of(6), key_of('z')}, U"abz", 3, 1},
        {"controls change nothing", {key_of(10), key_of(27), key_of(9), key_of(13)}, U"ab", 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        run("f/text: copy {ab}");
        find_widget(field)->caret = {2, 2, 2};
        heard_events.clear();
        for (const InputEvent& key : c.keys) route_key(key);
        EXPECT_EQ(text_of_face("f"), c.text);
        EXPECT_EQ(find_widget(field)->caret.index, c.caret);
        std::vector<uint32_t> heard = heard_by(field);
        EXPECT_EQ(size_t(std::count(heard.begin(), heard.end(), uint32_t(EVENT_CHANGE))), c.changes);
    }
}

TEST_F(TerminalKeys, FieldCaretFromItsTextAndFromAClick) {
    run("g: make tui-face [type: 'field offset: 0x2 size: 3x1 text: {abcdef}] h: make tui-face [type: 'field "
        "offset: 0x2 size: 3x1 text: none]");
    WidgetId long_field = show("g", window);
    EXPECT_EQ(find_widget(long_field)->caret.index, 3);
    EXPECT_EQ(find_widget(long_field)->caret.width, 6);
    send_widget_event(field, pointer_at(EVENT_CLICK, 1.5f, 0));
    EXPECT_EQ(find_widget(field)->caret.index, 1);
    send_widget_event(field, pointer_at(EVENT_CLICK, 9, 0));
    EXPECT_EQ(find_widget(field)->caret.index, 2);

    WidgetId empty = show("h", window);
    set_focus(empty);
    type_keys({key_of('q')});
    EXPECT_EQ(text_of_face("h"), U"q");
}

TEST_F(TerminalKeys, ButtonsAnswerSpaceWithClickAndShowTheirFocus) {
    set_focus(button);
    heard_events.clear();
    type_keys({key_of(' '), key_of('x')});
    EXPECT_EQ(heard_by(button), (std::vector<uint32_t>{EVENT_KEY_DOWN, EVENT_KEY, EVENT_CLICK, EVENT_KEY_DOWN,
                                                       EVENT_KEY}));
    render_tree();
    EXPECT_TRUE(backend().screen.at(0, 1).attributes & ATTR_REVERSE);
    EXPECT_FALSE(backend().screen.at(0, 0).attributes & ATTR_REVERSE);
    set_focus(field);
    render_tree();
    EXPECT_FALSE(backend().screen.at(0, 1).attributes & ATTR_REVERSE);
    EXPECT_EQ(backend().screen.caret_column, 2);
}

TEST_F(TerminalKeys, APasswordFieldIsMasked) {
    run("pw: make tui-face [type: 'field offset: 0x2 size: 5x1 text: {abc} flags: [password]] append win/pane pw");
    show("pw", window);
    render_tree();
    EXPECT_TRUE(backend().screen.at(0, 2).attributes & ATTR_MASKED);
}

// ---------------------------------------------------------------- updates

// The change mask is applied rate first: a bad rate raises before the box
// moves or the flags change, and the mask stays for the next update.
TEST_F(TerminalRouting, UpdatesApplyTheChangedFacetsRateFirst) {
    run("win: make tui-face [type: 'window size: 20x4]"
        "a: make tui-face [offset: 0x0 size: 4x1 flags: [focusable]] b: make tui-face [offset: 0x2 size: 4x1 "
        "flags: [focusable]] win/pane: reduce [a b]");
    WidgetId window = show("win");
    WidgetId a = show("a", window);
    WidgetId b = show("b", window);
    run("a/offset: 3x1 a/rate: 0 a/visible?: false a/enabled?: false a/flags: [all-over]"
        "a/state/2: 68354");  // 0x10B02: rate, flags, visible?, enabled?, offset
    Cell face = global("a");
    EXPECT_EQ(test::raised([&face] { update_widget(&face); }), error_code(err::script::invalid_facet_type));
    EXPECT_EQ(find_widget(a)->x1, 0);
    EXPECT_FALSE(find_widget(a)->flags & (WIDGET_HIDDEN | WIDGET_DISABLED | WIDGET_ALL_OVER));

    run("a/rate: 2");
    update_widget(&face);
    Widget* updated = find_widget(a);
    EXPECT_EQ(updated->x1, 3);
    EXPECT_EQ(updated->x2, 7);
    EXPECT_EQ(updated->flags & (WIDGET_HIDDEN | WIDGET_DISABLED | WIDGET_ALL_OVER | WIDGET_FOCUSABLE),
              uint32_t(WIDGET_HIDDEN | WIDGET_DISABLED | WIDGET_ALL_OVER | WIDGET_FOCUSABLE));  // flags: all-over and password only
    EXPECT_EQ(timer_interval(a), 500);
    run("mask: a/state/2");
    Cell mask = global("mask");
    EXPECT_EQ(integer::get(&mask), 0);

    run("win/selected: b win/state/2: 1024");
    Cell window_face = global("win");
    update_widget(&window_face);
    EXPECT_EQ(find_widget(window)->window->focused, b);
    run("win/selected: none win/state/2: 1024");
    update_widget(&window_face);
    EXPECT_EQ(find_widget(window)->window->focused, 0u);
    EXPECT_FALSE(find_widget(b)->flags & WIDGET_FOCUSED);
}

}  // namespace
}  // namespace vek
