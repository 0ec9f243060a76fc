// Events the backend sends to widgets, and the messages behind them. Each
// event sent to a widget's face becomes an event! value whose backend fields
// (face, offset, key, picked) are read from a message in a table of slots:
// the value holds the slot's id with a generation, never an address. The
// slot is given back when the dispatch ends and keeps its message until the
// next event takes it; an event an actor kept past its dispatch then reads
// none for those fields, while its type and flags, which the value itself
// carries, stay. The view's dispatcher (system/view/awake) runs inside a
// catch-all frame: an error or a throw out of an actor ends that dispatch
// only. Tests put a dispatcher of their own in its place.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "view/backends/terminal/input.h"
#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

// Hands a backend event! to the view's dispatcher; answers whether the
// dispatch returned the word done.
using AwakeFn = bool (*)(const Cell* event);
// Puts a dispatcher in place of the view's; answers the one it replaced.
AwakeFn set_awake(AwakeFn awake);

// Sends the event to the widget: nothing when the widget is gone or
// disabled; else its kind's handler (but for keys, which key routing hands
// it after the dispatch), then, while the widget lives on, the view's
// dispatcher with the event for its face. Answers whether that returned
// done. The key field carries the picked value of events that have one.
bool send_widget_event(WidgetId id, const InputEvent& event);

// The message of an event in dispatch; nullptr once its slot is reused.
const InputEvent* find_message(uint32_t message);
// The widget a message names; 0 once that widget is destroyed.
WidgetId message_widget(uint32_t message);
// A destroyed widget is named by no message.
void forget_widget_messages(WidgetId id);
// The messages of the dispatches that are over name nothing any more: an
// event kept past the event loop reads none for its backend fields.
void retire_messages();

// A backend field of an event! (face, window, offset, key, picked,
// orientation by their field numbers), read from its message; none for a
// message whose slot was reused.
Cell* event_field(uint32_t message, uint32_t field, Cell* out);

// Installs the event! field getter in its socket, and the loop's sockets
// (at every start).
void init_events();
// Forgets every message (tests, a fresh backend).
void reset_events();

}  // namespace vek::view::backends::terminal
