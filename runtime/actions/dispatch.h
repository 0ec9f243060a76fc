// Action dispatch: the typed dispatchers that runtime code calls directly.
// Each looks the implementation up by the datatype of its first argument and
// calls it with the slot's own signature.
//
// Argument conventions shared by every implementation: the first value cell
// is the call's result cell; a refinement without argument arrives as a bool;
// a refinement argument arrives as its cell, nullptr when the refinement is
// absent.
#pragma once

#include <array>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/compare_op.h"
#include "runtime/core/registry.h"
#include "runtime/text/sink.h"

namespace vek::actions {

// The comparison codes (core/compare_op.h), also named here, beside the
// compare action that takes them.
using vek::CompareOp;
using enum CompareOp;

// ---------------------------------------------------------------- argument records
// The slots with many refinements take them as one record, filled at the call
// site with designated initialisers (`{.case_sensitive = true}`); what is not
// named is absent. A refinement argument is its cell, nullptr when absent.

// find's refinements, in the order of the action's spec.
struct FindArgs {
    const Cell* part = nullptr;   // /part: a count, or a position in the same series
    bool only = false;            // /only: a block value is one value, not a sequence
    bool case_sensitive = false;  // /case: compare as written
    bool same = false;            // /same: compare by identity
    bool any = false;             // /any: wildcards in the value
    const Cell* wild = nullptr;   // /with: the wildcard characters
    const Cell* skip = nullptr;   // /skip: the distance between the positions tried
    bool last = false;            // /last: the last match from the head on
    bool reverse = false;         // /reverse: the nearest match before the head
    bool tail = false;            // /tail: the answer lands past the match
    bool match = false;           // /match: test the head only
};

// select's refinements. A record of its own rather than FindArgs: select has
// no /tail and no /match, and leaving them out lets the compiler reject a
// call that sets one, where a shared record would ignore it quietly.
struct SelectArgs {
    const Cell* part = nullptr;   // /part, as for find
    bool only = false;            // /only
    bool case_sensitive = false;  // /case
    bool same = false;            // /same
    bool any = false;             // /any
    const Cell* wild = nullptr;   // /with
    const Cell* skip = nullptr;   // /skip
    bool last = false;            // /last
    bool reverse = false;         // /reverse
};

// The search that select makes: find's, landing on the match.
inline FindArgs as_find_args(const SelectArgs& args) {
    return {.part = args.part, .only = args.only, .case_sensitive = args.case_sensitive,
            .same = args.same, .any = args.any, .wild = args.wild, .skip = args.skip,
            .last = args.last, .reverse = args.reverse};
}

// What the path action takes beside the parent and the selector (the
// element). The evaluator's path walker fills it; the path action's entry
// asks for the last element's value.
struct PathArgs {
    const Cell* value = nullptr;        // the value to set; nullptr when reading
    const Cell* path = nullptr;         // the path walked, for error reports; nullptr when none
    const Cell* grandparent = nullptr;  // the value that held the parent; nullptr when none
    const Cell* previous = nullptr;     // the selector before this one; nullptr when none
    int32_t index = 0;                  // this selector's index among the path's selectors
    bool case_sensitive = false;        // keys compare as written
    bool get = false;                   // a get-path: an unset field reads as unset!
    bool last = false;                  // this selector is the path's last
    bool notify = false;                // the owner of the parent hears of the change
};

// open's refinements, in the order of the action's spec.
struct OpenArgs {
    bool new_ = false;            // /new: made when it does not exist
    bool read = false;            // /read: for reading only
    bool write = false;           // /write: for writing only
    bool seek = false;            // /seek: read and written at positions
    const Cell* allow = nullptr;  // /allow: the access rights
};

// read's refinements, in the order of the action's spec.
struct ReadArgs {
    const Cell* part = nullptr;  // /part: the length to read
    const Cell* seek = nullptr;  // /seek: the position to read from
    bool binary = false;         // /binary: the bytes unconverted
    bool lines = false;          // /lines: a block of lines
    bool info = false;           // /info: the response's details
    const Cell* as = nullptr;    // /as: the text encoding
};

// write's refinements, in the order of the action's spec.
struct WriteArgs {
    bool binary = false;          // /binary: the bytes unconverted
    bool lines = false;           // /lines: a block's values one per line
    bool info = false;            // /info: the response's details
    bool append = false;          // /append: after what the target holds
    const Cell* part = nullptr;   // /part: the length to write
    const Cell* seek = nullptr;   // /seek: the position to write at
    const Cell* allow = nullptr;  // /allow: the access rights
    const Cell* as = nullptr;     // /as: the text encoding
};

// sort's refinements, in the order of the action's spec.
struct SortArgs {
    bool case_sensitive = false;       // /case
    const Cell* skip = nullptr;        // /skip: the record size
    const Cell* comparator = nullptr;  // /compare: an offset in the record or a function
    const Cell* part = nullptr;        // /part: a count, or a position in the same series
    bool all = false;                  // /all: records compare whole
    bool reverse = false;              // /reverse: descending
    bool stable = false;               // /stable: equal records keep their order
};

// How round picks a multiple of the scale. down, floor and ceiling never look
// at the distance to the multiples; the half_ modes only decide halves.
enum class Rounding {
    half_away,     // to the nearer multiple, halves away from zero
    down,          // toward zero
    floor,         // toward negative infinity
    ceiling,       // toward positive infinity
    half_even,     // halves to the even multiple
    half_down,     // halves toward zero
    half_ceiling,  // halves toward positive infinity
};

// round's refinements. Only one of the six rounding refinements ever takes
// effect, so they arrive as one mode; the action entry picks it when several
// are given.
struct RoundArgs {
    const Cell* scale = nullptr;          // /to: the multiple to round to
    Rounding mode = Rounding::half_away;  // the rounding refinement given
};

// trim's refinements, in the order of the action's spec. They combine:
// each implementation says which takes precedence.
struct TrimArgs {
    bool head = false;           // /head
    bool tail = false;           // /tail
    bool auto_ = false;          // /auto
    bool lines = false;          // /lines
    bool all = false;            // /all
    const Cell* with = nullptr;  // /with: the characters to remove
};

// ---------------------------------------------------------------- slot signatures
// Every datatype's entries have exactly these types: SlotSignature below maps
// each slot to its own, and registration (registry::OrderedRow) accepts no
// other.

// make, to: write the new value into result (the prototype cell) and return it.
using MakeFn = Cell* (*)(Cell* result, const Cell* spec, uint32_t type);
using RandomFn = Cell* (*)(Cell* value, bool seed, bool secure, bool only);
// field is the symbol id of the field word; the answer is written into value.
using ReflectFn = void (*)(Cell* value, uint32_t field);
// form and mold append the value's text to the sink, lowering its limit by
// what they appended; only (mold/only) concerns the value itself, not the
// values nested in it.
using FormFn = void (*)(const Cell* value, text::Sink& out);
using MoldFn = void (*)(const Cell* value, text::Sink& out, bool only);
// Path access: the parent, the selector, and the rest of the step.
using EvalPathFn = Cell* (*)(Cell* parent, const Cell* element, const PathArgs& args);
// -1, 0 or 1, or -2 when not comparable.
using CompareFn = int32_t (*)(const Cell* value1, const Cell* value2, int32_t op);
// absolute, negate, complement: the result is written into value.
using UnaryFn = Cell* (*)(Cell* value);
// add, subtract, multiply, divide, remainder, power, and~, or~, xor~: the
// result is written into value1.
using ArithmeticFn = Cell* (*)(Cell* value1, Cell* value2);
using RoundFn = Cell* (*)(Cell* value, const RoundArgs& args);
// even?, odd?
using ParityFn = bool (*)(const Cell* value);
// at, back, head, head?, index?, next, skip, tail, tail?: the operands are
// the current call's arguments on the evaluation stack (stack::arguments),
// the answer is written into the first.
using NavigateFn = void (*)();
// Where the slot's answer is "written by the implementation", the
// implementation leaves it in its first argument and returns nothing.
//
// append and insert share one implementation. part is a resolved count
// (-1: no /part), dup at least 1.
using InsertFn = void (*)(Cell* series, Cell* value, int32_t part, bool only, int32_t dup,
                          bool append);
using ChangeFn = void (*)(Cell* series, Cell* value, int32_t part, bool only, int32_t dup);
using ClearFn = void (*)(Cell* series);
// result is a fresh unset! cell that receives the copy.
using CopyFn = Cell* (*)(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* kind);
using FindFn = Cell* (*)(Cell* series, const Cell* value, const FindArgs& args);
// The number of elements from the head, or -1 for "no length" (none).
using LengthFn = int32_t (*)(const Cell* series);
using MoveFn = Cell* (*)(Cell* origin, Cell* target, const Cell* part);
// index is the index argument as a number (see index_number); index_cell the
// argument itself.
using PickFn = Cell* (*)(Cell* series, int32_t index, const Cell* index_cell);
using PokeFn = Cell* (*)(Cell* series, int32_t index, Cell* value, const Cell* index_cell);
using PutFn = Cell* (*)(Cell* series, const Cell* key, Cell* value, bool case_sensitive);
using RemoveFn = void (*)(Cell* series, const Cell* part, const Cell* key);
using ReverseFn = void (*)(Cell* series, const Cell* part, const Cell* skip);
using SelectFn = Cell* (*)(Cell* series, const Cell* value, const SelectArgs& args);
using SortFn = Cell* (*)(Cell* series, const SortArgs& args);
using SwapFn = void (*)(Cell* series1, Cell* series2);
using TakeFn = Cell* (*)(Cell* series, const Cell* part, bool deep, bool last);
using TrimFn = void (*)(Cell* series, const TrimArgs& args);
// create, close, delete, open?, query, update.
using PortFn = Cell* (*)(Cell* port);
using ModifyFn = Cell* (*)(Cell* target, const Cell* field, const Cell* value, bool case_sensitive);
using OpenFn = Cell* (*)(Cell* port, const OpenArgs& args);
using ReadFn = Cell* (*)(Cell* source, const ReadArgs& args);
using RenameFn = Cell* (*)(Cell* from, const Cell* to);
using WriteFn = Cell* (*)(Cell* destination, const Cell* data, const WriteArgs& args);

// Each slot's signature, in slot order. empty (slot 8) has none: no datatype
// implements it.
#define VEK_SLOT_SIGNATURE(SLOT, Fn) \
    template <>                     \
    struct SlotSignature<registry::SLOT_##SLOT> { using type = Fn; };
VEK_SLOT_SIGNATURE(MAKE, MakeFn)
VEK_SLOT_SIGNATURE(RANDOM, RandomFn)
VEK_SLOT_SIGNATURE(REFLECT, ReflectFn)
VEK_SLOT_SIGNATURE(TO, MakeFn)
VEK_SLOT_SIGNATURE(FORM, FormFn)
VEK_SLOT_SIGNATURE(MOLD, MoldFn)
VEK_SLOT_SIGNATURE(EVAL_PATH, EvalPathFn)
VEK_SLOT_SIGNATURE(COMPARE, CompareFn)
VEK_SLOT_SIGNATURE(ABSOLUTE, UnaryFn)
VEK_SLOT_SIGNATURE(ADD, ArithmeticFn)
VEK_SLOT_SIGNATURE(DIVIDE, ArithmeticFn)
VEK_SLOT_SIGNATURE(MULTIPLY, ArithmeticFn)
VEK_SLOT_SIGNATURE(NEGATE, UnaryFn)
VEK_SLOT_SIGNATURE(POWER, ArithmeticFn)
VEK_SLOT_SIGNATURE(REMAINDER, ArithmeticFn)
VEK_SLOT_SIGNATURE(ROUND, RoundFn)
VEK_SLOT_SIGNATURE(SUBTRACT, ArithmeticFn)
VEK_SLOT_SIGNATURE(EVEN, ParityFn)
VEK_SLOT_SIGNATURE(ODD, ParityFn)
VEK_SLOT_SIGNATURE(AND, ArithmeticFn)
VEK_SLOT_SIGNATURE(COMPLEMENT, UnaryFn)
VEK_SLOT_SIGNATURE(OR, ArithmeticFn)
VEK_SLOT_SIGNATURE(XOR, ArithmeticFn)
VEK_SLOT_SIGNATURE(APPEND, InsertFn)
VEK_SLOT_SIGNATURE(AT, NavigateFn)
VEK_SLOT_SIGNATURE(BACK, NavigateFn)
VEK_SLOT_SIGNATURE(CHANGE, ChangeFn)
VEK_SLOT_SIGNATURE(CLEAR, ClearFn)
VEK_SLOT_SIGNATURE(COPY, CopyFn)
VEK_SLOT_SIGNATURE(FIND, FindFn)
VEK_SLOT_SIGNATURE(HEAD, NavigateFn)
VEK_SLOT_SIGNATURE(HEAD_Q, NavigateFn)
VEK_SLOT_SIGNATURE(INDEX_Q, NavigateFn)
VEK_SLOT_SIGNATURE(INSERT, InsertFn)
VEK_SLOT_SIGNATURE(LENGTH_Q, LengthFn)
VEK_SLOT_SIGNATURE(MOVE, MoveFn)
VEK_SLOT_SIGNATURE(NEXT, NavigateFn)
VEK_SLOT_SIGNATURE(PICK, PickFn)
VEK_SLOT_SIGNATURE(POKE, PokeFn)
VEK_SLOT_SIGNATURE(PUT, PutFn)
VEK_SLOT_SIGNATURE(REMOVE, RemoveFn)
VEK_SLOT_SIGNATURE(REVERSE, ReverseFn)
VEK_SLOT_SIGNATURE(SELECT, SelectFn)
VEK_SLOT_SIGNATURE(SORT, SortFn)
VEK_SLOT_SIGNATURE(SKIP, NavigateFn)
VEK_SLOT_SIGNATURE(SWAP, SwapFn)
VEK_SLOT_SIGNATURE(TAIL, NavigateFn)
VEK_SLOT_SIGNATURE(TAIL_Q, NavigateFn)
VEK_SLOT_SIGNATURE(TAKE, TakeFn)
VEK_SLOT_SIGNATURE(TRIM, TrimFn)
VEK_SLOT_SIGNATURE(CREATE, PortFn)
VEK_SLOT_SIGNATURE(CLOSE, PortFn)
VEK_SLOT_SIGNATURE(DELETE, PortFn)
VEK_SLOT_SIGNATURE(MODIFY, ModifyFn)
VEK_SLOT_SIGNATURE(OPEN, OpenFn)
VEK_SLOT_SIGNATURE(OPEN_Q, PortFn)
VEK_SLOT_SIGNATURE(QUERY, PortFn)
VEK_SLOT_SIGNATURE(READ, ReadFn)
VEK_SLOT_SIGNATURE(RENAME, RenameFn)
VEK_SLOT_SIGNATURE(UPDATE, PortFn)
VEK_SLOT_SIGNATURE(WRITE, WriteFn)
#undef VEK_SLOT_SIGNATURE

// ---------------------------------------------------------------- entry functions

// What the evaluator calls for an action!: the arguments are the current
// call's cells from stack::arguments on, refinements holds one integer per
// refinement of the action's spec (-1 absent, else the position of its first
// argument cell from stack::arguments, or its own position when it takes no
// argument), and the result is left in the first argument cell. Indexed by
// slot - 1; slot 8 has no entry. Two entries take other integers: path
// access (slot 7) gets/sets the element (argument 1) of the parent (argument
// 0), setting to the argument at refinements[0] when that is not -1; compare
// (slot 9) compares arguments 0 and 1 by the op code in refinements[0] and
// leaves a logic!.
using EntryFn = void (*)(const int32_t* refinements);
constexpr uint32_t ACTION_TABLE_SIZE = registry::ACTION_SLOTS;
extern std::array<EntryFn, ACTION_TABLE_SIZE> action_table;

// ---------------------------------------------------------------- lookup

// The implementation of the slot for datatype `type`; never an empty entry:
// a missing one raises script expect-arg naming the running function, the
// datatype and the function's first argument. A port! whose actor is a native
// actor (a handle!) is served from the actor's own table for the slots from
// append on.
registry::ActionFn get_action(uint32_t type, const Cell* value, uint32_t slot);
// Every action call looks its implementation up: a value that is no port
// finds it in the datatype's row, inline.
inline registry::ActionFn lookup_for_value(const Cell* value, uint32_t slot) {
    uint32_t type = cell_type(value);
    if (type != TYPE_PORT) {
        registry::ActionFn entry = registry::action(type, slot);
        if (registry::implemented(entry)) return entry;
    }
    return get_action(type, value, slot);
}
// The implementation of the slot for the current call's first argument.
registry::ActionFn lookup_for_stack(uint32_t slot);

// The path-access implementation of the value's datatype. A missing one
// raises script bad-path-type with the path, the datatype and the path up to
// and including element index; without a path, bad-path-type2 with the
// element and the datatype.
registry::ActionFn get_path_action(const Cell* value, const Cell* path, const Cell* element,
                                   int32_t index);

// Native port actors: a table of implementations for the slots from append
// (entry slot - SLOT_APPEND) to write; nullptr entries are not supported.
// A port! whose actor field holds a handle! whose value is the number that
// register_port_actor answered is served from that table. The table must
// outlive the runtime.
constexpr uint32_t PORT_ACTOR_SLOTS = registry::ACTION_SLOTS - registry::SLOT_APPEND + 1;
using PortActorTable = registry::ActionFn[PORT_ACTOR_SLOTS];
uint32_t register_port_actor(const PortActorTable* table);

// ---------------------------------------------------------------- typed dispatchers

// make and to dispatch on the datatype that a datatype! prototype names.
Cell* make(Cell* prototype, const Cell* spec);
Cell* to(Cell* prototype, const Cell* spec);
Cell* random(Cell* value, bool seed, bool secure, bool only);
void reflect(Cell* value, uint32_t field);

void form(const Cell* value, text::Sink& out);
void mold(const Cell* value, text::Sink& out, bool only);
// mold's refinements besides /part.
struct MoldFlags {
    bool only = false;  // the value's own delimiters left out
    bool all = false;   // construction syntax
    bool flat = false;  // no line breaks and no indentation
};
// The text of the value as a new string! written into result, cut to the
// /part limit when part (an integer!) is given; a limit of 0 or less gives
// an empty string without forming the value. result may be the value itself.
Cell* form_to_string(const Cell* value, const Cell* part, Cell* result);
Cell* mold_to_string(const Cell* value, const Cell* part, Cell* result, MoldFlags flags = {});

Cell* eval_path_typed(Cell* parent, const Cell* element, const PathArgs& args);
// The answer of the first value's datatype's own compare (-1, 0 or 1, or -2
// when not comparable), without the shortcuts of compare_values below.
int32_t compare_typed(const Cell* value1, const Cell* value2, int32_t op);

// The arithmetic and bitwise actions write their result into the first
// value and return it.
Cell* absolute(Cell* value);
Cell* add(Cell* value1, Cell* value2);
Cell* divide(Cell* value1, Cell* value2);
Cell* multiply(Cell* value1, Cell* value2);
Cell* negate(Cell* value);
Cell* power(Cell* value, Cell* exponent);
Cell* remainder(Cell* value1, Cell* value2);
Cell* round(Cell* value, const RoundArgs& args = {});
Cell* subtract(Cell* value1, Cell* value2);
bool even(const Cell* value);
bool odd(const Cell* value);
Cell* and_(Cell* value1, Cell* value2);
Cell* complement(Cell* value);
Cell* or_(Cell* value1, Cell* value2);
Cell* xor_(Cell* value1, Cell* value2);

// append, insert and change with their refinement arguments unresolved: part
// is a count (integer!) or a position in the same series, dup an integer!,
// either nullptr when absent. They resolve both and dispatch with the
// counts; an action left with nothing to do leaves the series untouched.
// The value of append and insert is not changed: its head moves in a copy.
void append(Cell* series, const Cell* value, const Cell* part, bool only, const Cell* dup);
void insert(Cell* series, const Cell* value, const Cell* part, bool only, const Cell* dup);
void change(Cell* series, Cell* value, const Cell* part, bool only, const Cell* dup);

// at, back, head, head?, index?, next, skip, tail, tail?: on the current
// call's arguments (stack::arguments on), the answer written into the first.
void at();
void back();
void head();
void head_q();
void index_q();
void next();
void skip();
void tail();
void tail_q();

void clear(Cell* series);
// kind, when given, must be a datatype! or typeset! (else script expect-arg).
Cell* copy(Cell* value, Cell* result, const Cell* part, bool deep, const Cell* kind);
Cell* find(Cell* series, const Cell* value, const FindArgs& args = {});
// Writes the length into series as an integer!, or none when the datatype
// has no length.
Cell* length_q(Cell* series);
Cell* move(Cell* origin, Cell* target, const Cell* part);
// The index argument as a number: an integer!'s or char!'s value, 1 for true
// and 2 for false, 0 for anything else.
int32_t index_number(const Cell* index);
Cell* pick(Cell* series, const Cell* index);
Cell* poke(Cell* series, const Cell* index, Cell* value);
Cell* put(Cell* series, const Cell* key, Cell* value, bool case_sensitive);
void remove(Cell* series, const Cell* part, const Cell* key);
void reverse(Cell* series, const Cell* part, const Cell* skip);
Cell* select(Cell* series, const Cell* value, const SelectArgs& args = {});
Cell* sort(Cell* series, const SortArgs& args = {});
void swap(Cell* series1, Cell* series2);
Cell* take(Cell* series, const Cell* part, bool deep, bool last);
void trim(Cell* series, const TrimArgs& args = {});

Cell* create(Cell* port);
Cell* close(Cell* port);
Cell* delete_(Cell* port);
Cell* modify(Cell* target, const Cell* field, const Cell* value, bool case_sensitive);
Cell* open(Cell* port, const OpenArgs& args = {});
Cell* open_q(Cell* port);
Cell* query(Cell* port);
Cell* read(Cell* source, const ReadArgs& args = {});
Cell* rename(Cell* from, const Cell* to);
Cell* update(Cell* port);
Cell* write(Cell* destination, const Cell* data, const WriteArgs& args = {});

// ---------------------------------------------------------------- comparison

// The boolean answer of comparison op (0 to 6, 9 to 12) between the values;
// an ordering op on values that cannot be compared raises invalid-compare.
bool compare(const Cell* value1, const Cell* value2, int32_t op);
// The three-way answer (-1, 0, 1, or -2 when not comparable), for sorting,
// searching and member-wise comparison.
int32_t compare_values(const Cell* value1, const Cell* value2, int32_t op);

}  // namespace vek::actions
