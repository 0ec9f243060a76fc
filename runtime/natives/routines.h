// The routines that the library declares while it boots: C++ functions
// registered by name (runtime/datatypes/callable/routine.h), each a thin
// bridge from the library to one runtime service. Every routine of the
// library is a row of routines.def beside this header: its name, its entry
// and its spec; the boot registers them all (boot/library.cpp), and
// `boot-routine 'name` makes the routine! value the library binds.
//
// System routines (routines.cpp): leaving the process, setting a word or a
// block slot without change events, bit shifts, the print natives' last-line
// flag, the current directory, directory creation and existence, private
// directories and files for the console's settings, the operating system's
// description, tuples built from integers, counting UTF-8 characters in a
// binary, looking at the evaluation stack, the tracing state, whether a
// function is the library's, whether code holds an issue! for the
// preprocessor, the clipboard
// and standard output. A word or series they cannot take raises script
// expect-arg, a negative tuple component script invalid-arg, a directory
// that cannot be entered or made (or a private file that cannot be made)
// access cannot-open or no-create with the file; a value the clipboard
// cannot take script invalid-arg.
//
// Type predicates (predicates.cpp): one routine per datatype test, each
// answering a logic! for one value of any type. The exact-type ones compare
// the value's datatype id; the typeset ones test the value's datatype in the
// typeset that the global word (series!, any-word!, ...) holds at the time
// of the call, and answer false when that word holds no typeset.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/datatypes/callable/routine.h"

namespace vek::routines {

using routine::Arg;

// ---------------------------------------------------------------- system routines

Arg quit_return(const Arg* args);     // status: the output flushed, the terminal restored
Arg set_quiet(const Arg* args);       // word value: through the word's binding, events off
Arg set_slot_quiet(const Arg* args);  // series value: the slot keeps its new-line flag
Arg shift_right(const Arg* args);     // data bits
Arg shift_left(const Arg* args);
Arg shift_logical(const Arg* args);
Arg last_lf_q(const Arg* args);
Arg get_current_dir(const Arg* args);
Arg set_current_dir(const Arg* args);
Arg create_dir(const Arg* args);
Arg make_private(const Arg* args);
Arg exists_q(const Arg* args);
Arg os_info(const Arg* args);
Arg write_stdout(const Arg* args);
Arg as_color(const Arg* args);  // r g b, each reduced modulo 256
Arg as_ipv4(const Arg* args);   // four components or-ed in at their byte positions
Arg count_chars(const Arg* args);
Arg stack_size_q(const Arg* args);
Arg pick_stack(const Arg* args);     // index 1 is the bottom cell
Arg frame_index_q(const Arg* args);  // the routine's own call frame
Arg collect_calls(const Arg* args);
Arg tracing_q(const Arg* args);
Arg set_tracing(const Arg* args);
Arg library_function_q(const Arg* args);  // a function of the standard library
Arg holds_issue_q(const Arg* args);       // an issue! anywhere in a block, at any depth
Arg read_clipboard(const Arg* args);
Arg write_clipboard(const Arg* args);

// ---------------------------------------------------------------- type predicates

inline Arg logic_value(bool flag) { return Arg{.integer = flag ? 1 : 0}; }

// Whether the value is of the datatype.
template <uint32_t Type>
Arg is_type(const Arg* args) {
    return logic_value(cell_type(args[0].cell) == Type);
}

// The name of a typeset's global word, as a template argument.
template <size_t N>
struct TypesetWord {
    constexpr TypesetWord(const char (&name)[N]) { std::copy_n(name, N, text); }
    char text[N];
};

// Whether the typeset that the global word of that symbol holds now has the
// type; a word rebound to anything else, or never set, holds no types. A
// symbol of 0 is made from the word first (a plain number: nothing for the
// collector).
bool in_global_typeset(const char* word, uint32_t& symbol, uint32_t type);

// Whether the value's datatype is in the typeset the word holds.
template <TypesetWord word>
Arg in_typeset(const Arg* args) {
    static uint32_t symbol = 0;
    return logic_value(in_global_typeset(word.text, symbol, cell_type(args[0].cell)));
}

}  // namespace vek::routines
