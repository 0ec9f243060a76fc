// The few system fields that the runtime reads. Until the system object
// exists each returns its boot default; once the boot attaches the object,
// they read its fields, so no output changes at the switch.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::system_fields {

// Builds the default values (the block ones are kept in the root block).
// Runs at start-up after the root block and the symbol table exist.
void init();

const Cell* stack_trace();        // state/stack-trace: integer! 1
const Cell* callback_bits();      // state/callbacks/bits: integer! 0
const Cell* source_files();       // state/source-files: empty block!
const Cell* months();             // locale/months: block! of 12 strings
const Cell* days();               // locale/days: block! of 7 strings
const Cell* currencies_list();    // locale/currencies/list: block! of 170 words
const Cell* money_digits();       // options/money-digits: integer! 2
const Cell* decimal_digits();     // options/decimal-digits: integer! 15
const Cell* binary_base();        // options/binary-base: integer! 16

}  // namespace vek::system_fields
