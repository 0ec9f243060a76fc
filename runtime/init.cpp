// Runtime initialisation. The order matters: each step may use what the
// earlier ones made, and the collector stays off until the boot enables it.
#include "runtime/init.h"

#include "runtime/collector.h"
#include "runtime/console_output.h"
#include "runtime/datatype.h"
#include "runtime/datatypes/action.h"
#include "runtime/datatypes/binary.h"
#include "runtime/datatypes/block.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/context.h"
#include "runtime/datatypes/date.h"
#include "runtime/datatypes/email.h"
#include "runtime/datatypes/error.h"
#include "runtime/datatypes/file.h"
#include "runtime/datatypes/float.h"
#include "runtime/datatypes/function.h"
#include "runtime/datatypes/integer.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/map.h"
#include "runtime/datatypes/money.h"
#include "runtime/datatypes/native.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/op.h"
#include "runtime/datatypes/pair.h"
#include "runtime/datatypes/paren.h"
#include "runtime/datatypes/path.h"
#include "runtime/datatypes/percent.h"
#include "runtime/datatypes/point.h"
#include "runtime/datatypes/ref.h"
#include "runtime/datatypes/routine.h"
#include "runtime/datatypes/series_actions.h"
#include "runtime/datatypes/string.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/datatypes/tag.h"
#include "runtime/datatypes/time.h"
#include "runtime/datatypes/tuple.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/url.h"
#include "runtime/datatypes/word.h"
#include "runtime/externals.h"
#include "runtime/fixed_words.h"
#include "runtime/interpreter/boot_table.h"
#include "runtime/interpreter/compare.h"
#include "runtime/interpreter/interpreter.h"
#include "runtime/interpreter/natives.h"
#include "runtime/lexer/lexer.h"
#include "runtime/io/random.h"
#include "runtime/memory.h"
#include "runtime/ownership.h"
#include "runtime/print_hooks.h"
#include "runtime/region.h"
#include "runtime/root.h"
#include "runtime/stack.h"
#include "runtime/system.h"
#include "runtime/system_fields.h"
#include "runtime/unicode.h"

namespace vek::runtime {

void init() {
    booting = true;
    print_hooks::init();
    console::init_output();
    random::init();  // also sets the hash seed, before any hash table exists
    region::init();
    memory::init();
    externals::init();
    datatype::init_tables();
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
    float_::init();
    typeset::init();
    error::init();  // no parent until object! registers
    block::init();
    paren::init();
    path::init();  // path! and its three kinds
    url::init();
    file::init();  // after url!, its parent
    map::init();
    binary::init();
    tag::init();
    email::init();
    ref::init();
    pair::init();
    percent::init();
    tuple::init();
    time::init();
    date::init();
    money::init();
    point2d::init();
    point3d::init();
    actions::init_compare();
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
    system_fields::init();
    error::init_prototype();
    natives::init();  // natives table
    // parse engine stacks
    ownership::init();
    // checksum and compression words, process launcher
    stack::init();
    lexer::init();  // lexer tables
    // boot literal data
    interpreter::init();  // the current-position cell, tracing off
    boot_table::init();  // natives, actions, datatype words, typesets, operators
    ref_pool::init();
    collector::init();
}

}  // namespace vek::runtime
