// The widget kinds that differ from the default: what their constructor
// sets when make-view builds their widget, how they render and what they
// do with the events sent to them. A field edits its text with a caret and
// sends change after every key that altered the text; a button shows
// reversed while it has the focus and answers space with click. Widgets of
// every other kind keep the default rendering and do nothing with events.
#pragma once

#include "view/backends/terminal/widgets.h"

namespace vek::view::backends::terminal {

// The kind's handlers and data, from the widget's face and kind.
void construct_kind(Widget& widget);

}  // namespace vek::view::backends::terminal
