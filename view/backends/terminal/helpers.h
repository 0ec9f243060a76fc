// The terminal backend's side of the view's start-up and of TUI-helpers:
// gui-init sets the backend up for this run (the colour mode that
// TUI-helpers/check-color-support found), the three routines of
// TUI-helpers read and set a face's widget, and a face converts to an
// image through face_to_image, which has no pixels to give on character
// cells. Each routine is the entry of its name's row in
// runtime/natives/routines.def:
//   gui-init mode          the backend made afresh for the run, in the
//                          colour mode (2 = 256 colours, 4 = true colour)
//   focused? face          whether the face's widget has the focus
//   widget-data face       the widget's kind data: a text-list's first
//                          visible row; 0 without a widget
//   set-face-ui face ui    the widget's ui text, drawn before the face's
#pragma once

#include "runtime/datatypes/callable/routine.h"

namespace vek::view::backends::terminal {

routine::Arg gui_init(const routine::Arg* args);
routine::Arg focused_q(const routine::Arg* args);
routine::Arg widget_data(const routine::Arg* args);
routine::Arg set_face_ui(const routine::Arg* args);

// Installs the socket through which to image! converts a face.
void init_face_to_image();

}  // namespace vek::view::backends::terminal
