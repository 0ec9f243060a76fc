#include "runtime/datatypes/word/word.h"

#include <algorithm>
#include <iterator>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/root.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/string.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"
#include "runtime/tables/hash_table.h"
#include "runtime/text/unicode.h"

namespace vek {

namespace {

// Loading text binds every word it reads to the global context, mostly
// names bound many times before. A direct-mapped cache keeps, per symbol,
// the index the word table answered. That answer stays the table's while
// the table keeps its buckets: entries are only ever appended, so a new
// spelling of a name lands after the ones its probe meets first. A resize
// re-places the entries and may change which spelling comes first, so the
// cache is emptied when the table's buckets change, and at every start,
// when the table may be another one with the same buckets. The bucket count
// is compared with the node: a node freed by one resize may come back from
// a later one, but the table only grows, so never with the same count.
struct GlobalSlot {
    uint32_t symbol;  // 0: empty
    uint32_t index;
};
constexpr uint32_t GLOBAL_SLOTS = 4096;
GlobalSlot global_slots[GLOBAL_SLOTS];
// The table's bucket array, and its size, that the slots were answered with.
Node cached_buckets = Node::none;
uint32_t cached_bucket_count = 0;

void forget_global_indexes() {
    std::fill(std::begin(global_slots), std::end(global_slots), GlobalSlot{});
    cached_buckets = Node::none;
    cached_bucket_count = 0;
}

bool answered_with(const hash_table::Record* table) {
    return table->keys == cached_buckets && table->bucket_count == cached_bucket_count;
}

// The symbol's index in the global context, found or added before the target
// cell is written: adding may move a block that holds it.
uint32_t global_index(uint32_t symbol) {
    const hash_table::Record* table = hash_table::record(context::table_of(context::global_cell()));
    if (!answered_with(table)) {
        forget_global_indexes();
        cached_buckets = table->keys;
        cached_bucket_count = table->bucket_count;
    }
    GlobalSlot& slot = global_slots[symbol & (GLOBAL_SLOTS - 1)];
    if (slot.symbol == symbol) return slot.index;
    Cell probe = word::cell(TYPE_WORD, context::global, symbol, WORD_UNRESOLVED);
    auto index = uint32_t(context::add_word(context::global_cell(), &probe));
    // Adding may have resized the table: the answer belongs to its new buckets.
    if (answered_with(hash_table::record(context::table_of(context::global_cell())))) {
        slot = GlobalSlot{symbol, index};
    }
    return index;
}

Cell* write_word(Cell* cell, uint32_t type, Node context, uint32_t symbol, uint32_t index) {
    cell->header = type | (cell->header & ~TYPE_MASK);
    word::set_context(cell, context);
    word::set_symbol(cell, symbol);
    word::set_index(cell, index);
    return cell;
}

// A word entry standing for the context's slot, so that the contexts
// module resolves the values' place (a stack context's or a block).
Cell probe_of(Node context, uint32_t index) {
    Cell entry = *word::entry_in(context, index);
    word::set_index(&entry, index);
    return entry;
}

// A string! reading the symbol's cached name from its start. The cell holds
// only a node, so it stays valid across allocations.
Cell name_string(uint32_t symbol) {
    Node text = symbol::name_string(symbol::get(symbol));
    return series_cell(TYPE_STRING, text);
}

// The first value loaded from the text (a char! stands for a one-character
// string), which must be of a word kind; a text the scan does not consume
// whole loads none. Text that does not load at all is refused the same way,
// with the spec, before its syntax error could be raised.
void first_loaded_word(Cell* result, const Cell* spec_value) {
    Cell text = *spec_value;
    if (cell_type(spec_value) == TYPE_CHAR) {
        string::rs_make_at(&text, 1);
        string::append_char(series_buffer(&text), char_::get(spec_value));
    }
    Cell loaded{};
    if (lexer::scan_string(&loaded, &text, -1, {.mode = lexer::Mode::scan}, nullptr, nullptr) == TYPE_ERROR)
        fire(err::script::invalid_chars, spec_value);
    uint32_t consumed = 0;
    lexer::scan_string(&loaded, &text, -1, {}, &consumed, nullptr);
    Cell first = none::constant;
    if (consumed == string::rs_length(&text)) {
        first = block::rs_at_tail(&loaded) ? unset::constant : *block::rs_head(&loaded);
    }
    if (!is_all_word(cell_type(&first))) fire(err::script::invalid_chars, &first);
    *result = first;
}

bool word_and_lit_word(uint32_t type1, uint32_t type2) {
    auto plain = [](uint32_t t) { return t == TYPE_WORD || t == TYPE_LIT_WORD; };
    return plain(type1) && plain(type2) && type1 != type2;
}

// 0 for a match, 1 otherwise: the equality answers of compare.
int32_t unless(bool equal) { return equal ? 0 : 1; }

int32_t compare_words(const Cell* value1, const Cell* value2, int32_t op) {
    uint32_t type1 = cell_type(value1), type2 = cell_type(value2);
    uint32_t symbol1 = word::symbol(value1), symbol2 = word::symbol(value2);
    bool same_name = symbol::resolve(symbol1) == symbol::resolve(symbol2);
    bool strictly = type1 == type2 && symbol1 == symbol2;
    switch (op) {
    case actions::COMP_EQUAL:
    case actions::COMP_NOT_EQUAL:
    case actions::COMP_FIND:
        return unless(same_name);
    case actions::COMP_STRICT_EQUAL:
        return unless(strictly);
    case actions::COMP_SAME:
        return unless(strictly && word::context(value1) == word::context(value2));
    case COMP_SYMBOL_EQUAL:
        return unless(word_and_lit_word(type1, type2) ? symbol1 == symbol2 : strictly);
    case COMP_NAME_EQUAL:
        return unless(same_name && (type1 == type2 || word_and_lit_word(type1, type2)));
    default: {
        Cell name1 = name_string(symbol1);
        Cell name2 = name_string(symbol2);
        return string::compare_strings(&name1, &name2, op, false);
    }
    }
}

[[noreturn]] void bad_to_arg(uint32_t type, const Cell* spec_value) {
    Cell datatype = datatype::cell(type);
    fire(err::script::bad_to_arg, &datatype, spec_value);
}

// The kinds of word! take all of its actions; refinement! all but index?.
void register_kind(uint32_t type) {
    using namespace registry;
    auto row = Row()
        .inherit<SLOT_MAKE>()
        .inherit<SLOT_TO>()
        .inherit<SLOT_FORM>()
        .inherit<SLOT_MOLD>()
        .inherit<SLOT_COMPARE>();
    if (type == TYPE_REFINEMENT) register_type(type, row);
    else register_type(type, row.inherit<SLOT_INDEX_Q>());
}

}  // namespace

namespace word {

// ---------------------------------------------------------------- construction

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

Cell* push(const Cell* cell) { return stack::push(cell); }

Cell* push_from_context(Node context, uint32_t index) { return stack::push(entry_in(context, index)); }

Cell* entry_in(Node context, uint32_t index) { return context::word_at(context::cell_of(context), index); }

Cell* find_in_or_global(Node context, uint32_t symbol) {
    int32_t index = context::find_word(context::cell_of(context), symbol, false);
    if (index >= 0) return entry_in(context, uint32_t(index));
    return context::add_global(symbol, false, false);
}

Cell* symbol_cell(const Cell* word) { return symbol::get(symbol(word)); }

Cell* push_name_string(const Cell* word) {
    Cell name = name_string(symbol(word));
    return stack::push(&name);
}

uint32_t scan_name_type(const Cell* word) { return lexer::scan_name_type(word); }

// ---------------------------------------------------------------- access

Cell* get(const Cell* word) {
    Cell* value = context::get(word);
    if (cell_type(value) == TYPE_UNSET) fire(err::script::no_value, word);
    return stack::push(value);
}

Cell* push_value(const Cell* word) { return stack::push(context::get(word)); }

Cell* get_in(Node context, uint32_t index) {
    Cell probe = probe_of(context, index);
    return context::get_in(&probe, context::cell_of(context));
}

Cell* push_value_in(Node context, uint32_t index) {
    Cell probe = probe_of(context, index);
    Cell* values_context = context::cell_of(context);
    // A stack context whose call is not running has no values either.
    if (!context::has_values(values_context)) fire(err::script::not_defined, &probe);
    return stack::push(context::get_in(&probe, values_context));
}

void set_from_frame() {
    Cell* word = stack::arguments;
    const Cell* value = stack::arguments + 1;
    if (cell_type(value) == TYPE_UNSET) fire(err::script::need_value, word);
    context::set(word, value);
    stack::set_last(value);
}

Cell* set_in(Node context, uint32_t index, const Cell* value) {
    Cell copy = *value;
    Cell probe = probe_of(context, index);
    Cell* target = context::get_in(&probe, context::cell_of(context));
    if (context::kind_of(context::cell_of(context)) == context::KIND_OBJECT)
        entry_in(context, index)->header |= context::WORD_ASSIGNED;
    *target = copy;
    return target;
}

Cell* set_in_keep_old(Node context, uint32_t index) {
    Cell value = stack::top[-1];
    stack::push(get_in(context, index));
    return set_in(context, index, &value);
}

// ---------------------------------------------------------------- actions

Cell* convert(Cell* result, const Cell* spec_value, uint32_t type) {
    if (is_any_word(cell_type(spec_value))) return set_type(copy_cell(spec_value, result), type);
    switch (cell_type(spec_value)) {
    case TYPE_DATATYPE:
        make_at(registry::name_table[datatype::id(spec_value)].word, copy_cell(spec_value, result));
        break;
    case TYPE_LOGIC: {
        bool truth = logic::get(spec_value);
        auto name = truth ? fixed_words::Sym::true_ : fixed_words::Sym::false_;
        make_at(fixed_words::symbol(name), copy_cell(spec_value, result));
        break;
    }
    case TYPE_STRING:
    case TYPE_CHAR:
        first_loaded_word(result, spec_value);
        break;
    case TYPE_REFINEMENT:
    case TYPE_ISSUE: {
        uint32_t scanned = scan_name_type(spec_value);
        if (!is_any_word(scanned)) bad_to_arg(type, spec_value);
        copy_cell(spec_value, result);
        if (context::find_word(context::global_cell(), symbol(result), true) >= 0)
            context::bind_word(context::global_cell(), result);
        break;
    }
    default:
        bad_to_arg(type, spec_value);
    }
    return set_type(result, type);
}

namespace {

// The name, as a string forms.
void form(const Cell* value, text::Sink& out) {
    Cell name = name_string(symbol(value));
    actions::form(&name, out);
}

// The name with the kind's mark: 'lit, :get, /refinement, #issue, set:.
// The other kinds and issue! inherit it.
void mold(const Cell* value, text::Sink& out, bool) {
    switch (cell_type(value)) {
    case TYPE_SET_WORD:
        form(value, out);
        out.append(":");
        return;
    case TYPE_LIT_WORD:
        out.append("'");
        break;
    case TYPE_GET_WORD:
        out.append(":");
        break;
    case TYPE_REFINEMENT:
        out.append("/");
        break;
    case TYPE_ISSUE:
        out.append("#");
        break;
    default:
        break;
    }
    form(value, out);
}

// Equality ignores the kind and the case of ASCII letters; strict equality
// wants both equal; sameness also the binding; orderings compare the names.
// -2 against a value of no word kind, and between issue! and the others.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    uint32_t other = cell_type(value2);
    if (!is_all_word(other)) return -2;
    if (other == TYPE_ISSUE && cell_type(value1) != TYPE_ISSUE) return -2;
    return compare_words(value1, value2, op);
}

// index?, on the stack operand: the 1-based position in the context, or
// none while unresolved.
void index_of() {
    uint32_t index = word::index(stack::arguments);
    if (index == WORD_UNRESOLVED) none::box();
    else integer::box(int32_t(index + 1));
}

}  // namespace

void init() {
    forget_global_indexes();
    using namespace registry;
    register_type(TYPE_WORD, Row()
        .set<SLOT_MAKE>(convert)
        .set<SLOT_TO>(convert)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_INDEX_Q>(index_of));
    register_kind(TYPE_SET_WORD);
    register_kind(TYPE_LIT_WORD);
    register_kind(TYPE_GET_WORD);
    register_kind(TYPE_REFINEMENT);
}

}  // namespace word

// ---------------------------------------------------------------- per-kind helpers

namespace {

Cell* load_in_as(const Cell* block, const char* name, uint32_t type) {
    return set_type(word::load_in(block, name), type);
}
Cell* push_as(const Cell* cell, uint32_t type) { return set_type(word::push(cell), type); }
Cell* push_from_context_as(Node context, uint32_t index, uint32_t type) {
    return set_type(word::push_from_context(context, index), type);
}

}  // namespace

namespace set_word {
Cell* load_in(const Cell* block, const char* name) { return load_in_as(block, name, TYPE_SET_WORD); }
Cell* push(const Cell* cell) { return push_as(cell, TYPE_SET_WORD); }
Cell* push_from_context(Node context, uint32_t index) {
    return push_from_context_as(context, index, TYPE_SET_WORD);
}
}  // namespace set_word

namespace lit_word {
Cell* load_in(const Cell* block, const char* name) { return load_in_as(block, name, TYPE_LIT_WORD); }
Cell* push(const Cell* cell) { return push_as(cell, TYPE_LIT_WORD); }
Cell* push_from_context(Node context, uint32_t index) {
    return push_from_context_as(context, index, TYPE_LIT_WORD);
}
}  // namespace lit_word

namespace get_word {
Cell* load_in(const Cell* block, const char* name) { return load_in_as(block, name, TYPE_GET_WORD); }
Cell* push(const Cell* cell) { return push_as(cell, TYPE_GET_WORD); }
Cell* push_from_context(Node context, uint32_t index) {
    return push_from_context_as(context, index, TYPE_GET_WORD);
}
}  // namespace get_word

namespace refinement {

Cell* make_in_root(const char* name) {
    uint32_t symbol = symbol::make(name);
    return write_word(root::append(), TYPE_REFINEMENT, Node::none, symbol, WORD_UNRESOLVED);
}

Cell* load_in(const Cell* block, const char* name) { return load_in_as(block, name, TYPE_REFINEMENT); }
Cell* push(const Cell* cell) { return push_as(cell, TYPE_REFINEMENT); }
Cell* push_from_context(Node context, uint32_t index) {
    return push_from_context_as(context, index, TYPE_REFINEMENT);
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

Cell* push(const Cell* cell) { return push_as(cell, TYPE_ISSUE); }

namespace {

// make and to: any word kind is retyped, binding kept; a string! (from its
// head) or char! names a new issue whatever its characters; every other spec
// as the word kinds convert it.
Cell* to(Cell* result, const Cell* spec_value, uint32_t type) {
    uint32_t spec_type = cell_type(spec_value);
    if (is_all_word(spec_type)) return set_type(copy_cell(spec_value, result), type);
    uint32_t symbol;
    if (spec_type == TYPE_STRING) {
        Cell text = *spec_value;
        symbol = symbol::make_from_string(&text);
    } else if (spec_type == TYPE_CHAR) {
        uint8_t utf8[4];
        int size = unicode::encode_utf8_char(char_::get(spec_value), utf8);
        symbol = symbol::make_from_utf8(reinterpret_cast<const char*>(utf8), uint32_t(size));
    } else {
        return word::convert(result, spec_value, type);
    }
    copy_cell(spec_value, result);
    return write_word(result, type, context::global, symbol, WORD_UNRESOLVED);
}

// As the word kinds compare, against issues only (-2 otherwise).
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_ISSUE) return -2;
    return compare_words(value1, value2, op);
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_ISSUE, Row()
        .set<SLOT_MAKE>(to)
        .set<SLOT_TO>(to)
        .inherit<SLOT_FORM>()
        .inherit<SLOT_MOLD>()
        .set<SLOT_COMPARE>(compare));
}

}  // namespace issue
}  // namespace vek
