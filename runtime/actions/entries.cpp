// The entry functions of the actions table: each turns the current call's
// argument cells and refinement integers into the typed dispatcher's
// arguments and leaves the result in the call's result cell.
#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/edit.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/edit.h"
#include "runtime/datatypes/word/word.h"

namespace vek::actions {

registry::ActionFn lookup_for_stack(uint32_t slot) {
    return lookup_for_value(stack::arguments, slot);
}

namespace {

// A refinement's argument cell, nullptr when the refinement is absent.
Cell* ref_arg(const int32_t* refinements, uint32_t i) {
    return refinements[i] < 0 ? nullptr : stack::arguments + refinements[i];
}
bool ref_flag(const int32_t* refinements, uint32_t i) { return refinements[i] != -1; }

Cell* arg(uint32_t i) { return stack::arguments + i; }

// The answer of a dispatcher that returns its value becomes the result.
void result(const Cell* value) { stack::set_last(value); }

// ---------------------------------------------------------------- stack operands

template <uint32_t slot>
void unary_on_stack(const int32_t*) {
    result(reinterpret_cast<UnaryFn>(lookup_for_stack(slot))(arg(0)));
}

template <uint32_t slot>
void arithmetic_on_stack(const int32_t*) {
    result(reinterpret_cast<ArithmeticFn>(lookup_for_stack(slot))(arg(0), arg(1)));
}

// remainder meets two integers most often, as when it keeps a number in
// range: integer!'s own kernel runs on them without its lookup; anything
// else takes the datatype's implementation.
void remainder_entry(const int32_t* r) {
    Cell* value1 = arg(0);
    const Cell* value2 = arg(1);
    if (cell_type(value1) != TYPE_INTEGER || cell_type(value2) != TYPE_INTEGER) {
        arithmetic_on_stack<registry::SLOT_REMAINDER>(r);
        return;
    }
    integer::make_at(value1, integer::remainder(integer::get(value1), integer::get(value2)));
}

template <uint32_t slot>
void navigate_on_stack(const int32_t*) {
    reinterpret_cast<NavigateFn>(lookup_for_stack(slot))();
}

// ---------------------------------------------------------------- 1-9

void make_entry(const int32_t*) { result(make(arg(0), arg(1))); }

void random_entry(const int32_t* r) {
    result(random(arg(0), ref_flag(r, 0), ref_flag(r, 1), ref_flag(r, 2)));
}

// The field names what to tell: a word.
void reflect_entry(const int32_t*) {
    if (!is_any_word(cell_type(arg(1)))) fire(err::script::invalid_arg, arg(1));
    reflect(arg(0), word::symbol(arg(1)));
}

void to_entry(const int32_t*) { result(to(arg(0), arg(1))); }

void form_entry(const int32_t* r) { form_to_string(arg(0), ref_arg(r, 0), arg(0)); }

void mold_entry(const int32_t* r) {
    mold_to_string(arg(0), ref_arg(r, 3), arg(0),
                   {.only = ref_flag(r, 0), .all = ref_flag(r, 1), .flat = ref_flag(r, 2)});
}

void eval_path_entry(const int32_t* r) {
    result(eval_path_typed(arg(0), arg(1), {.value = ref_arg(r, 0), .index = -1, .last = true}));
}

void compare_entry(const int32_t* r) { logic::box(compare(arg(0), arg(1), r[0])); }

// ---------------------------------------------------------------- 10-24

void negate_entry(const int32_t*) { result(negate(arg(0))); }

// n /to scale /even /down /half-down /floor /ceiling /half-ceiling. Of
// several rounding refinements the first of /down, /floor, /ceiling, /even,
// /half-down and /half-ceiling wins.
Rounding rounding_of(const int32_t* r) {
    if (ref_flag(r, 2)) return Rounding::down;
    if (ref_flag(r, 4)) return Rounding::floor;
    if (ref_flag(r, 5)) return Rounding::ceiling;
    if (ref_flag(r, 1)) return Rounding::half_even;
    if (ref_flag(r, 3)) return Rounding::half_down;
    if (ref_flag(r, 6)) return Rounding::half_ceiling;
    return Rounding::half_away;
}

void round_entry(const int32_t* r) {
    result(round(arg(0), {.scale = ref_arg(r, 0), .mode = rounding_of(r)}));
}

void even_entry(const int32_t*) { logic::box(even(arg(0))); }
void odd_entry(const int32_t*) { logic::box(odd(arg(0))); }
void complement_entry(const int32_t*) { result(complement(arg(0))); }

// ---------------------------------------------------------------- series

// Most appends name no refinement and put one value at the tail of a
// block! or string! with room left: that store is tried before append
// resolves its refinements and looks its datatype's implementation up. An
// append/only is left to append: its value is most often a block, which the
// store never takes.
bool appended_in_place(const int32_t* r) {
    if (ref_flag(r, 0) || ref_flag(r, 1) || ref_flag(r, 2)) return false;
    switch (cell_type(arg(0))) {
    case TYPE_BLOCK: return block::append_in_place(arg(0), arg(1));
    case TYPE_STRING: return string::append_in_place(arg(0), arg(1));
    default: return false;
    }
}

// Out of line, so that the store in place sets up none of append's arguments.
[[gnu::noinline]] void append_in_general(const int32_t* r) {
    append(arg(0), arg(1), ref_arg(r, 0), ref_flag(r, 1), ref_arg(r, 2));
}

// append, insert, change: series value /part length /only /dup count.
void append_entry(const int32_t* r) {
    if (!appended_in_place(r)) append_in_general(r);
}
void insert_entry(const int32_t* r) {
    insert(arg(0), arg(1), ref_arg(r, 0), ref_flag(r, 1), ref_arg(r, 2));
}
void change_entry(const int32_t* r) {
    change(arg(0), arg(1), ref_arg(r, 0), ref_flag(r, 1), ref_arg(r, 2));
}

void clear_entry(const int32_t*) { clear(arg(0)); }

// value /part length /deep /types kind
void copy_entry(const int32_t* r) {
    Cell* fresh = make_unset(stack::push_cell());
    result(copy(arg(0), fresh, ref_arg(r, 0), ref_flag(r, 1), ref_arg(r, 2)));
    stack::top = fresh;
}

// series value /part length /only /case /same /any /with wild /skip size
// /last /reverse /tail /match
void find_entry(const int32_t* r) {
    result(find(arg(0), arg(1),
                {.part = ref_arg(r, 0), .only = ref_flag(r, 1), .case_sensitive = ref_flag(r, 2),
                 .same = ref_flag(r, 3), .any = ref_flag(r, 4), .wild = ref_arg(r, 5),
                 .skip = ref_arg(r, 6), .last = ref_flag(r, 7), .reverse = ref_flag(r, 8),
                 .tail = ref_flag(r, 9), .match = ref_flag(r, 10)}));
}

void length_entry(const int32_t*) { length_q(arg(0)); }

void move_entry(const int32_t* r) { result(move(arg(0), arg(1), ref_arg(r, 0))); }

void pick_entry(const int32_t*) { result(pick(arg(0), arg(1))); }
void poke_entry(const int32_t*) { result(poke(arg(0), arg(1), arg(2))); }
void put_entry(const int32_t* r) { result(put(arg(0), arg(1), arg(2), ref_flag(r, 0))); }

// series /part length /key key-arg
void remove_entry(const int32_t* r) { remove(arg(0), ref_arg(r, 0), ref_arg(r, 1)); }

void reverse_entry(const int32_t* r) { reverse(arg(0), ref_arg(r, 0), ref_arg(r, 1)); }

// series value /part length /only /case /same /any /with wild /skip size
// /last /reverse
void select_entry(const int32_t* r) {
    result(select(arg(0), arg(1),
                  {.part = ref_arg(r, 0), .only = ref_flag(r, 1), .case_sensitive = ref_flag(r, 2),
                   .same = ref_flag(r, 3), .any = ref_flag(r, 4), .wild = ref_arg(r, 5),
                   .skip = ref_arg(r, 6), .last = ref_flag(r, 7), .reverse = ref_flag(r, 8)}));
}

// series /case /skip size /compare comparator /part length /all /reverse
// /stable
void sort_entry(const int32_t* r) {
    result(sort(arg(0), {.case_sensitive = ref_flag(r, 0), .skip = ref_arg(r, 1),
                         .comparator = ref_arg(r, 2), .part = ref_arg(r, 3), .all = ref_flag(r, 4),
                         .reverse = ref_flag(r, 5), .stable = ref_flag(r, 6)}));
}

void swap_entry(const int32_t*) { swap(arg(0), arg(1)); }

// series /part length /deep /last
void take_entry(const int32_t* r) {
    result(take(arg(0), ref_arg(r, 0), ref_flag(r, 1), ref_flag(r, 2)));
}

// series /head /tail /auto /lines /all /with str
void trim_entry(const int32_t* r) {
    trim(arg(0), {.head = ref_flag(r, 0), .tail = ref_flag(r, 1), .auto_ = ref_flag(r, 2),
                  .lines = ref_flag(r, 3), .all = ref_flag(r, 4), .with = ref_arg(r, 5)});
}

// ---------------------------------------------------------------- ports and files

template <Cell* (*dispatch)(Cell*)>
void port_entry(const int32_t*) {
    result(dispatch(arg(0)));
}

void modify_entry(const int32_t* r) {
    result(modify(arg(0), arg(1), arg(2), ref_flag(r, 0)));
}

// port /new /read /write /seek /allow access
void open_entry(const int32_t* r) {
    result(open(arg(0), {.new_ = ref_flag(r, 0), .read = ref_flag(r, 1), .write = ref_flag(r, 2),
                         .seek = ref_flag(r, 3), .allow = ref_arg(r, 4)}));
}

// source /part length /seek index /binary /lines /info /as encoding
void read_entry(const int32_t* r) {
    result(read(arg(0), {.part = ref_arg(r, 0), .seek = ref_arg(r, 1), .binary = ref_flag(r, 2),
                         .lines = ref_flag(r, 3), .info = ref_flag(r, 4), .as = ref_arg(r, 5)}));
}

void rename_entry(const int32_t*) { result(rename(arg(0), arg(1))); }

// destination data /binary /lines /info /append /part length /seek index
// /allow access /as encoding
void write_entry(const int32_t* r) {
    result(write(arg(0), arg(1),
                 {.binary = ref_flag(r, 0), .lines = ref_flag(r, 1), .info = ref_flag(r, 2), .append = ref_flag(r, 3),
                  .part = ref_arg(r, 4), .seek = ref_arg(r, 5), .allow = ref_arg(r, 6), .as = ref_arg(r, 7)}));
}

}  // namespace

// actions.def writes the slots of its entries bare: unary_on_stack<SLOT_ABSOLUTE>.
using enum registry::Slot;

std::array<EntryFn, ACTION_TABLE_SIZE> action_table = {
#define X(slot, NAME, word, entry, spec) entry,
#include "runtime/actions/actions.def"
#undef X
};

}  // namespace vek::actions
