// The routines of system/view/platform that the terminal backend answers
// so far, registered under the names the view declares (in place of the
// view's stand-ins):
//   get-screen-size id          the terminal's size read again, a pair!
//   size-text face value        the text's size in cells, a point2D!
//   text-box-metrics box arg0 type   caret, offset and size queries of a
//                               rich-text face, in cells and lines
//   update-para face flags      marks the face's para as changed
//   make-view face parent       the face's widget, as a window handle!
//   destroy-view face empty?    frees the face's widget and its subtree
#pragma once

namespace vek::view::backends::terminal {

// Registers them, with the backend's collector root and words.
void init();

}  // namespace vek::view::backends::terminal
