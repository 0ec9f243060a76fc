// The routines that the library's system object is built with, and those
// its functions keep calling afterwards: the words object, the collector's
// figures, the error catalog, the build's facts, the field defaults, the
// command line, the float formatter's switches, the interpreted-call test,
// and the switch of the field accessor to the finished object. Their names
// and specs are rows of runtime/natives/routines.def.
#pragma once

#include "runtime/natives/routines.h"

namespace vek::routines {

Arg words_object(const Arg* args);      // the global context as an object
Arg collector_active(const Arg* args);  // whether the collector may run
Arg series_cycles(const Arg* args);     // collections so far
Arg nodes_cycles(const Arg* args);      // node-frame evacuations: always 0
Arg build_fact(const Arg* args);        // a fact of the build by its name
Arg default_block(const Arg* args);     // a new copy of a built-in list
Arg command_line(const Arg* args);      // the process's command line as a string
Arg float_switch(const Arg* args);      // sets pretty? or full? of the float formatter
Arg interpreted_call(const Arg* args);  // whether a call below came from interpreted code
Arg error_catalog(const Arg* args);     // a new catalog object from the built-in one
Arg attach_object(const Arg* args);     // the runtime reads its settings from system from now on

}  // namespace vek::routines
