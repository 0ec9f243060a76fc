// The clipboard as the library's read-clipboard and write-clipboard see it:
// text as string!, file lists as a block! of file!, images as image! (PNG on
// the way out). The system clipboard is reached through the platform layer
// (platform/clipboard.h), which also keeps a clipboard inside the process
// when there is no display. Text keeps its line ends as they are; text and
// file names that are not valid UTF-8 read with U+FFFD in place of each
// broken sequence.
#pragma once

#include "runtime/core/cell.h"

namespace vek::clipboard {

// What the clipboard holds, pushed on the evaluation stack: a string!, a
// block! of file! values (absolute paths), an image!, none when it holds
// nothing usable, or false when it cannot be reached. An image whose bytes
// do not decode raises access bad-media.
Cell* read();

// Puts the value on the clipboard: a string! from its head as text; a
// block!'s file! and string! values as a file list (a relative one taken
// from the current directory; other values are left out); an image! as a
// PNG file, or, without pixels, nothing; none empties it. Answers whether
// the clipboard took it. Any other value, or a name holding U+0000, raises
// script invalid-arg with it before the clipboard is touched.
bool write(const Cell* value);

}  // namespace vek::clipboard
