// Runtime initialisation. The order matters: each step may use what the
// earlier ones made, and the collector stays off until the boot enables it.
#include "runtime/init.h"

#include "runtime/console_output.h"
#include "runtime/datatype.h"
#include "runtime/io/random.h"
#include "runtime/memory.h"
#include "runtime/print_hooks.h"
#include "runtime/region.h"
#include "runtime/root.h"
#include "runtime/stack.h"
#include "runtime/system.h"
#include "runtime/unicode.h"

namespace vek::runtime {

void init() {
    booting = true;
    print_hooks::init();
    console::init_output();
    random::init();  // also sets the hash seed, before any hash table exists
    region::init();
    memory::init();
    // externals
    datatype::init_tables();
    datatype::init();  // registers datatype!; the other datatypes follow it in their fixed order
    // image layer and image!
    // actions table
    memory::init_frames();
    root::init();  // the root block, the argument stack and the frame stack
    // symbol table block
    // global context
    unicode::init_case_tables();
    // symbol table's hash table
    // datatype name words
    // fixed words
    // natives table
    // parse engine stacks, owner table, checksum and compression words, process launcher
    stack::init();
    // lexer tables
    // boot literal data
    // interpreter
    // reference pool
    // collector counters
}

}  // namespace vek::runtime
