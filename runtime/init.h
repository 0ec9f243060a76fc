// Bringing the runtime up: the process set-up, then every module in its
// fixed order.
//
// The folders of runtime/, each including only its own layer and those below
// (README.md, "the map of the code"), from the bottom: codecs/ (our byte
// codecs, beside platform/); core/ (cells, types, registry, raising, the
// evaluation stack); memory/; gc/; text/, tables/, output/; actions/;
// datatypes/; eval/, lexer/; parse/, natives/ (natives and routines); io/;
// and this root, which starts them all. console/ and boot/ sit above, in
// libraries of their own.
#pragma once

namespace vek::runtime {

// Process set-up that comes before runtime initialisation: records the
// command line (on Linux the arguments are already the bytes the program was
// given, taken as UTF-8, lasting as long as the process) and the terminal's
// settings.
void init_process(int argc, char** argv);

// Brings the runtime up in its fixed order, on the runtime thread: init_code
// then init_from_source.
void init();

// The steps of init. init_code fills the tables of code and the process's
// own state, in the same order at every start, so that the indexes a heap
// holds name the same functions. init_from_source then builds the heap
// objects the runtime starts with; a start from a heap image restores them
// instead, then calls init_restored, which takes what is the run's own again
// (the stacks' pointers, the emergency reserve).
void init_code();
void init_from_source();
void init_restored();

}  // namespace vek::runtime
