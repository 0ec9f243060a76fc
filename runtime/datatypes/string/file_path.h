// Conversions between file! values and the operating system's paths. A
// file! holds a POSIX path as it is: "/" separates names, a leading "/"
// makes it absolute, and no name is special (/c/x stays /c/x). So the local
// form of a file is its own text, and a local path is a file's text.
#pragma once

#include "runtime/core/cell.h"

namespace vek::file {

// Appends the file's text from its head to the output string. With full, a
// path that does not start with "/" gets the current directory in front.
void to_local_path(const Cell* file, const Cell* output, bool full);
// A new file! pushed on the evaluation stack holding the text of the path
// (a string-like value, from its head) unchanged.
Cell* to_vek_path(const Cell* path);

// A new string! pushed on the evaluation stack: the process's current
// directory, ending with "/". When the directory cannot be named (it was
// removed, or a parent cannot be read) it is "./", which still leads to it.
// A name that is not valid UTF-8 raises access invalid-utf8.
Cell* get_current_dir();

// The file's local form as NUL-terminated UTF-8, for the platform calls;
// the code points that stand for bytes of a name that is no UTF-8 (as a
// directory listing gives them, unicode::load_os_name) become those bytes.
// The bytes live in the Vek heap: they stay valid until the next allocation,
// or for as long as the returned pointer is held on the C++ stack. A file
// holding U+0000 raises script invalid-arg with the file: the system would
// cut the name short and reach another file.
const char* to_os_path(const Cell* file);

}  // namespace vek::file
