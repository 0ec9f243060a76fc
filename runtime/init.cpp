// Runtime initialisation. The order matters: each step may use what the
// earlier ones made, and the collector stays off until the boot enables it.
// The steps come in two kinds: those that fill C++ tables of code and the
// process's state, and those that build heap objects; the emergency reserve
// and the stacks' pointers are taken afresh once the heap exists.
#include "runtime/init.h"

#include "platform/terminal.h"
#include "runtime/actions/compare.h"
#include "runtime/core/error_catalog.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/registry.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/block/hash.h"
#include "runtime/datatypes/block/paren.h"
#include "runtime/datatypes/block/path.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/compound/triple.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/container/bitset.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/event.h"
#include "runtime/datatypes/handle.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/money.h"
#include "runtime/datatypes/number/percent.h"
#include "runtime/datatypes/number/time.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/object/events.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/object/port.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/email.h"
#include "runtime/datatypes/string/file.h"
#include "runtime/datatypes/string/ref.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/string/tag.h"
#include "runtime/datatypes/string/url.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/gc/collector.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/externals.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/region.h"
#include "runtime/natives/boot_table.h"
#include "runtime/natives/natives.h"
#include "runtime/output/print_hooks.h"
#include "runtime/output/stdout_writer.h"
#include "runtime/parse/parse.h"
#include "runtime/tables/ownership.h"
#include "runtime/tables/random.h"

namespace vek::runtime {

void init_process(int argc, char** argv) {
    sysrec.argc = argc;
    sysrec.argv = argv;
    platform::terminal::save();
}

namespace {

// The tables of code and the process's own state, filled at every start in
// the same order, so that the indexes the heap holds (actions, natives,
// datatypes, collector hooks) name the same functions in every run.
void init_code_tables() {
    print_hooks::init();
    output::init_output();
    random::init();  // also sets the hash seed, before any hash table exists
    region::init();
    memory::init();
    externals::init();
    registry::init_tables();
    // The datatypes register in a fixed order, every parent before its children.
    datatype::init();
    unset::init();
    none::init();
    logic::init();
    integer::init();
    series::init();
    string::init();
    char_::init();
    symbol::init();
    context::init();
    word::init();  // word! and its four kinds
    issue::init();
    native::init();
    action::init();  // after native!, its parent, as op! is
    op::init();
    function::init();  // after context!, its parent
    routine::init();  // after function!
    bitset::init();
    float_::init();
    triple::init();
    typeset::init();
    object::init();
    error::init();  // after object!, its parent
    port::init();  // after object!, its parent
    block::init();
    paren::init();
    hash::init();  // after block!, its parent
    path::init();  // path! and its three kinds
    url::init();
    file::init();  // after url!, its parent
    map::init();
    binary::init();
    vector::init();  // after string!, its parent
    tag::init();
    email::init();
    ref::init();
    handle::init();  // after integer!, its parent
    pair::init();
    percent::init();
    tuple::init();
    time::init();
    date::init();
    money::init();
    point2d::init();
    point3d::init();
    image::init();  // the image layer and image!, after series!, its parent
    event::init();
    natives::init();  // natives table
    object::init_event_sockets();
    root::init_hooks();
    system_fields::init_hooks();
    catalog::init_hooks();
    fixed_words::init_hooks();
    parse::init_hooks();
    ownership::init_hooks();
    ref_pool::init_hooks();
    lexer::init();  // lexer tables
    eval::init();  // tracing off
    gc::init();
}

// The heap objects the runtime starts with, and the C++ values that name
// them: symbol ids, nodes and cells.
void init_heap() {
    memory::init_frames();
    root::init();  // the root block, the argument stack and the frame stack
    stack::init();  // the stacks' pointers, from the root block
    symbol::init_block();
    context::init_global();
    symbol::init_table();
    registry::make_words();
    fixed_words::init();
    fixed_words::init_refinements();
    fixed_words::init_issues();
    event::init_words();  // once the words of its fields exist
    system_fields::init();
    error::init_prototype();
    natives::init_print_buffer();
    parse::init();  // the parse engine's stacks and keywords
    ownership::init();
    boot_table::init();  // natives, actions, datatype words, typesets, operators
    eval::remember_boot_values();
    ref_pool::init();
}

}  // namespace

void init() {
    booting = true;
    boot_phase = true;
    init_code_tables();
    init_heap();
    root::take_reserve();
}

}  // namespace vek::runtime
