// Helpers shared by several natives and by compiled loops: the arguments and
// refinements of the native convention (natives.h) and the datatype masks
// their checks take, the max/min core,
// number conversions, the multi-word set engine, and the stepping of the
// foreach, forall and remove-each loops.
//
// Loop layout on the evaluation stack, shared with compiled loops: the series
// being walked lies two cells below stack::arguments (the loop frame's base),
// the loop word or block of words one cell below, and the body's result in
// the frame's result cell.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/object/events.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/word.h"

namespace vek::natives {

// ---------------------------------------------------------------- arguments

// The native's argument cell at position i, counted from stack::arguments.
inline Cell* arg(int32_t i) { return stack::arguments + i; }
// Whether refinement i of the native's spec was given.
inline bool present(const int32_t* refinements, int i) { return refinements[i] >= 0; }
// The first argument of refinement i, nullptr when the refinement is absent.
inline Cell* refinement_arg(const int32_t* refinements, int i) {
    return present(refinements, i) ? arg(refinements[i]) : nullptr;
}

// ---------------------------------------------------------------- argument checks

// Datatype masks for natives called with check? set (type_bit).
constexpr uint64_t ANY_TYPE = ~uint64_t(0);
constexpr uint64_t INTEGER_FLOAT_TYPES = type_bit(TYPE_INTEGER) | type_bit(TYPE_FLOAT);
constexpr uint64_t NUMBER_TYPES = types::members(types::NUMBER);
constexpr uint64_t ALL_WORD_TYPES = types::members(types::ALL_WORD);
constexpr uint64_t ANY_PATH_TYPES = types::members(types::ANY_PATH);
constexpr uint64_t ANY_LIST_TYPES = types::members(types::ANY_LIST);
constexpr uint64_t ANY_BLOCK_TYPES = types::members(types::ANY_BLOCK);
constexpr uint64_t ANY_STRING_TYPES = types::members(types::ANY_STRING);
constexpr uint64_t ANY_OBJECT_TYPES = types::members(types::ANY_OBJECT);
constexpr uint64_t ANY_FUNCTION_TYPES = types::members(types::ANY_FUNCTION);
constexpr uint64_t SERIES_TYPES = types::members(types::SERIES);

// Raises script expect-arg, naming the running function, the datatype and
// the argument word, when the cell at stack::arguments + position is not of
// one of the types.
void check_arg(int32_t position, uint64_t types);

// ---------------------------------------------------------------- numbers

// Compares argument 0 with argument 1 and leaves the greater (max) or the
// lesser in the result cell. A NaN wins over any number; a scalar applies to
// each component of a pair, point or tuple; equal values give argument 0 for
// max and argument 1 for min.
void max_min(bool max);
// An integer!'s value, or a float! truncated toward zero; a float out of the
// 32-bit range or not finite raises script type-limit with integer!.
int32_t float_to_integer_arg(const Cell* cell);
// An integer! as a double, else the cell's float.
double number_as_float(const Cell* cell);
// A float! becomes an integer! by truncation (out of range: the integer
// minimum); other cells are left alone.
void float_to_integer_in_place(Cell* cell);
// float_to_integer_in_place on the first argument (the count of loop and
// repeat).
void loop_count_to_integer();

// ---------------------------------------------------------------- setting words

// Sets count words of the block to the values of the source. A map!, block,
// paren!, hash! or path source (unless flags.only) gives value i to word i, none
// past its end; any other source is given to every word. Every word must be
// a word!, set-word!, get-word! or lit-word! (else script invalid-arg) and no
// value may be unset! unless flags.any (else script need-value); both are
// checked before any word is set. With flags.some, none values leave their
// words alone.
void set_words(const Cell* words, const Cell* source, uint32_t count, object::SetFlags flags);
// Sets word i to the i-th value that pick gives from the source's index.
void set_words_from(const Cell* words, const Cell* source, uint32_t count);

// ---------------------------------------------------------------- loop steps

// The word a loop sets at every step, a cell of the loop's own. A store
// writes the value cell straight, found afresh each time (the body may grow
// the context or move its buffer), once the word is resolved, unless it
// belongs to an object, whose words may have change handlers. Any other
// store, and one whose context has no values at hand, goes through
// context::set, which resolves the word and raises what it raises.
class LoopWord {
public:
    explicit LoopWord(Cell* word) : word_(word), direct_(stores_directly(word)) {}
    // Inline, as it runs at every step.
    void set(const Cell* value) {
        Cell* values = direct_ ? values_of(word::context(word_)) : nullptr;
        if (values)
            values[word::index(word_)] = *value;
        else
            set_through_context(value);
    }
    // Whether set stores into the word's slot, running no other code.
    bool sets_plainly() const { return direct_; }

private:
    // A global word, the most common loop word, skips the context cell.
    static Cell* values_of(Node context) {
        if (context == context::global) return context::global_values_base();
        return context::values_base(context::cell_of(context));
    }
    // Most loop words are resolved before the loop starts: their first store
    // skips context::set too.
    static bool stores_directly(const Cell* word);
    void set_through_context(const Cell* value);
    Cell* word_;
    bool direct_;  // the word is resolved and its context no object
};

// Whether the series has a value at its index.
bool series_more(const Cell* series);
// One foreach step with one word: sets the word to the next value and moves
// the series on; false at the end.
bool foreach_next(LoopWord& word);
// One foreach step with a block of n words; a map! steps by its entries
// (map::foreach_next).
bool foreach_next_multi(uint32_t n);
// The series held by the word, moved on by one when advance; whether its end
// is reached.
bool forall_next(const Cell* word, bool advance);
// Sets the word back to the series saved two cells below stack::arguments.
void forall_reset(Cell* word);
// Ends one remove-each step: when the body's result is true, the n values
// just visited are removed and the walked series stays at their place.
void remove_each_apply(uint32_t n);

}  // namespace vek::natives
