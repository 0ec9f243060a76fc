// The system record: the process-wide facts every module may read; and the
// few fields of the system object that the runtime reads. Until the system
// object exists each field returns its boot default; once the boot attaches
// the object, they read its fields, so no output changes at the switch.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek {

struct HeapBlock;

struct SystemRecord {
    int argc = 0;
    char** argv = nullptr;            // argc + 1 entries, UTF-8, the last null
    uint32_t thrown_code = 0;         // code of the throw in progress
    const void* boot_data = nullptr;  // boot literal data, set by the entry code
    HeapBlock* heap_first = nullptr;  // the malloc block list (runtime/memory/malloc_list.h)
    HeapBlock* heap_last = nullptr;
};

extern SystemRecord sysrec;

// Set while the runtime is being built: word interning reads it. The
// library's modules run with it off, so that the words they intern stay out
// of the root block.
extern bool booting;
// Set from runtime initialisation until the library's last module has run:
// what only the boot may do (declaring routines) checks it.
extern bool boot_phase;

}  // namespace vek

namespace vek::system_fields {

// Builds the default values (the block ones are kept in the root block).
// Runs at start-up after the root block and the symbol table exist.
void init();
// Declares what init and attach leave in C++ values (at every start).
void init_hooks();

// From now on the fields are read from the object that the global word
// system holds: the boot calls it once that object is complete. A field is
// read through its path; where the word, a sub-object or the field is
// missing or of another type than its default's (stack-trace takes any
// value), its default is answered instead. Reading allocates nothing.
void attach();
// Whether attach was called.
bool attached();

// The pointers answered below stay valid until the next call that may
// allocate (a default lives in the root block or in static storage, and
// never moves, but the object's fields do).
const Cell* stack_trace();        // state/stack-trace: integer! 1
const Cell* callback_bits();      // state/callbacks/bits: integer! 0
const Cell* source_files();       // state/source-files: empty block!
const Cell* months();             // locale/months: block! of 12 strings
const Cell* days();               // locale/days: block! of 7 strings
const Cell* currencies_list();    // locale/currencies/list: block! of 170 words
const Cell* money_digits();       // options/money-digits: integer! 2
const Cell* decimal_digits();     // options/decimal-digits: integer! 15
const Cell* binary_base();        // options/binary-base: integer! 16
const Cell* exit_states();        // lexer/exit-states: block! of a word per lexer token kind, in kind order
// catalog/errors: the error catalog object; nullptr until attach, and
// whenever the field holds no object!.
const Cell* catalog_errors();
// schemes (a block!), standard/port and standard/url-parts (object!
// prototypes): nullptr until attach, and whenever the field is missing or
// of another type.
const Cell* schemes();
const Cell* standard_port();
const Cell* standard_url_parts();

// console/size becomes the pair columns x rows, whatever it held; nothing
// happens before attach or while the object has no such field.
void set_console_size(int32_t columns, int32_t rows);

// The default blocks that the system object starts from.
enum class DefaultBlock { months, days, currencies, exit_states };
// A new copy of the default block pushed on the evaluation stack, its
// strings copied too.
Cell* push_default(DefaultBlock which);

}  // namespace vek::system_fields
