// The routines that the library declares while it boots: C++ functions
// registered by name (runtime/datatypes/callable/routine.h), each a thin
// bridge from the library to one runtime service.
//
// System routines (routines.cpp): leaving the process, setting a word or a
// block slot without change events, bit shifts, the print natives' last-line
// flag, the current directory, directory creation and existence, private
// directories and files for the console's settings, the operating system's
// description, tuples built from integers, counting UTF-8 characters in a
// binary, looking at the evaluation stack, the tracing state, the clipboard
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

namespace vek::routines {

// Registers every routine of the library under its name: the system
// routines, then the type predicates.
void init();

// Registers the type predicates under their names (block?, series?, ...).
void init_predicates();

}  // namespace vek::routines
