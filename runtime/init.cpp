// Runtime initialisation. The order matters: each step may use what the
// earlier ones made, and the collector stays off until the boot enables it.
#include "runtime/init.h"

#include "runtime/console_output.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/fixed_words.h"
#include "runtime/io/random.h"
#include "runtime/memory.h"
#include "runtime/ownership.h"
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
    // The datatypes register in a fixed order, every parent before its children.
    datatype::init();
    symbol::init();
    context::init();
    // image layer and image!
    // actions table
    memory::init_frames();
    root::init();  // the root block, the argument stack and the frame stack
    symbol::init_block();
    context::init_global();
    unicode::init_case_tables();
    symbol::init_table();
    datatype::make_words();
    fixed_words::init();
    fixed_words::init_refinements();
    fixed_words::init_issues();
    // natives table
    // parse engine stacks
    ownership::init();
    // checksum and compression words, process launcher
    stack::init();
    // lexer tables
    // boot literal data
    // interpreter
    // reference pool
    // collector counters
}

}  // namespace vek::runtime
