// The routines of system/view/platform that the terminal backend answers
// so far, each the entry of its name's row in runtime/natives/routines.def
// (in place of the view's stand-ins):
//   get-screen-size id          the terminal's size read again, a pair!
//   size-text face value        the text's size in cells, a point2D!
//   text-box-metrics box arg0 type   caret, offset and size queries of a
//                               rich-text face, in cells and lines
//   update-para face flags      marks the face's para as changed
//   make-view face parent       the face's widget, as a window handle!
//   destroy-view face empty?    frees the face's widget and its subtree;
//                               the last window left is shown
//   update-view face            applies a face's (or a block of faces')
//                               changed facets to their widgets
//   redraw face                 a frame for the face's window
//   refresh-window handle       a frame for the window
//   show-window handle          the window shown, with its focus
//   on-change-facet owner word value action new index part
//                               a facet's change reaches its widget
//   update-font font flags      a changed font's state dropped
//   detach-image image          the image has no owner any more
//   draw-image image cmds       runs the draw block on the image: checked,
//                               its labels set, no pixel changed (draw.h)
//   do-event-loop no-wait?      runs the event loop (loop.h): one pass
//                               with no-wait?; whether input was read
//   exit-event-loop             ends the innermost event loop
#pragma once

#include "runtime/datatypes/callable/routine.h"

namespace vek::view::backends::terminal {

routine::Arg get_screen_size(const routine::Arg* args);
routine::Arg size_text(const routine::Arg* args);
routine::Arg text_box_metrics(const routine::Arg* args);
routine::Arg update_para(const routine::Arg* args);
routine::Arg make_view(const routine::Arg* args);
routine::Arg destroy_view(const routine::Arg* args);
routine::Arg update_view(const routine::Arg* args);
routine::Arg redraw(const routine::Arg* args);
routine::Arg refresh_window(const routine::Arg* args);
routine::Arg show_window(const routine::Arg* args);
routine::Arg draw_image(const routine::Arg* args);
routine::Arg on_change_facet(const routine::Arg* args);
routine::Arg update_font(const routine::Arg* args);
routine::Arg detach_image(const routine::Arg* args);
routine::Arg do_event_loop(const routine::Arg* args);
routine::Arg end_event_loop(const routine::Arg* args);

}  // namespace vek::view::backends::terminal
