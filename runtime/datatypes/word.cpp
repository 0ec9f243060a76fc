#include "runtime/datatypes/word.h"

#include "runtime/datatypes/context.h"
#include "runtime/datatypes/symbol.h"
#include "runtime/root.h"
#include "runtime/series.h"
#include "runtime/stack.h"
#include "runtime/system.h"

namespace vek {
namespace {

// The symbol's index in the global context, found or added before the target
// cell is written: adding may move a block that holds it.
uint32_t global_index(uint32_t symbol) {
    Cell probe{TYPE_WORD, uint32_t(context::global), symbol, WORD_UNRESOLVED};
    return uint32_t(context::add_word(context::global_cell(), &probe));
}

Cell* write_word(Cell* cell, uint32_t type, Node context, uint32_t symbol, uint32_t index) {
    cell->header = type | (cell->header & ~TYPE_MASK);
    cell->data1 = uint32_t(context);
    cell->data2 = symbol;
    cell->data3 = index;
    return cell;
}

}  // namespace

namespace word {

Cell* make_at(uint32_t symbol, Cell* cell) {
    uint32_t index = global_index(symbol);
    return write_word(cell, TYPE_WORD, context::global, symbol, index);
}

Cell* box(uint32_t symbol) { return make_at(symbol, stack::arguments); }

Cell* make_in(const Cell* block, uint32_t symbol) {
    uint32_t index = global_index(symbol);
    Cell* cell = block::alloc_tail(block);
    return write_word(cell, TYPE_WORD, context::global, symbol, index);
}

Cell* load_in(const Cell* block, const char* name) { return make_in(block, symbol::make(name)); }

Cell* push_global(uint32_t symbol) {
    uint32_t index = global_index(symbol);
    return write_word(make_unset(stack::push_cell()), TYPE_WORD, context::global, symbol, index);
}

Cell* from_cstring(const char* name) { return context::add_global_word(symbol::make(name)); }

}  // namespace word

namespace refinement {

Cell* make_in_root(const char* name) {
    uint32_t symbol = symbol::make(name);
    return write_word(root::append(), TYPE_REFINEMENT, Node::none, symbol, WORD_UNRESOLVED);
}

}  // namespace refinement

namespace issue {

Cell* make_at(Cell* cell, const char* name) {
    uint32_t symbol = symbol::make(name);
    return write_word(cell, TYPE_ISSUE, context::global, symbol, WORD_UNRESOLVED);
}

Cell* from_cstring(const char* name) {
    uint32_t symbol = symbol::make(name);
    Cell* cell = booting ? root::append() : make_unset(stack::push_cell());
    return write_word(cell, TYPE_ISSUE, context::global, symbol, WORD_UNRESOLVED);
}

}  // namespace issue
}  // namespace vek
