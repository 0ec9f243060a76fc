// The typeset predicates' test; the exact-type ones are whole in routines.h.
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/natives/routines.h"

namespace vek::routines {

bool in_global_typeset(const char* word, uint32_t& symbol, uint32_t type) {
    if (symbol == 0) symbol = symbol::make(word);
    const Cell* global = context::global_cell();
    int32_t position = context::find_word(global, symbol, true);
    if (position < 0) return false;
    const Cell* value = context::values_base(global) + word::index(context::word_at(global, uint32_t(position)));
    return cell_type(value) == TYPE_TYPESET && typeset::contains(value, type);
}

}  // namespace vek::routines
