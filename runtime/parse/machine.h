// The state record of one parse and the steps that the state machine
// (engine.cpp) and the keyword rules (rules.cpp) share. Only the engine's
// own files include it.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/logic.h"
#include "runtime/parse/internal.h"
#include "runtime/parse/stacks.h"

namespace vek::parse {

using Word = fixed_words::Word;

// What the loop does next.
enum class Step : uint8_t {
    fetch,     // fetch and interpret the next rule value
    complete,  // a rule finished with Engine::match: finish the pending operations
    done,      // the outermost block finished, or the callback stopped parsing
    abort,     // a paren left a pending code (Engine::pending)
};

// The state of one parse, a C++ local of process().
struct Engine {
    Input in;              // the input under way (an into's element while it runs)
    Cell rule;             // the rule block under way
    uint32_t rpos;         // its next value, from the buffer's first cell
    uint32_t frame;        // its block frame on the rule stack
    uint32_t base;         // the outermost block frame
    uint32_t input_base;   // the input stack's length when this parse started
    bool match;            // the result of the last rule
    Mode mode;             // case-sensitive or not, as case switches it
    Cell callback;         // the /trace function, none! without
    bool tracing;          // a callback is given: fast paths step aside for its events
    bool stopped;          // the callback answered something other than true
    int64_t collect_frame; // the innermost collect operation, -1: none
    int64_t break_frame;   // the iteration that break or reject stops, -1: none
    bool rejected;         // ... by reject
    Cell collected;        // a collect's block made the result; unset! until then
    Pending pending;       // the code a paren left, for Step::abort
    // Counts what may change the outcome of a rule matched again at the same
    // place (parens, edits of the input): a while step that consumed nothing
    // while it stayed the same would repeat forever. The /trace callback
    // watches and counts for nothing, or every step would have an effect and
    // an idle while under a callback would never end.
    int32_t effects;
    // How far the engine's own edits (insert, remove, change) and the
    // clamping after code that shortened the input moved the position
    // without it consuming anything, modulo 2^32: an iteration step
    // progresses when its position moved by more than that.
    uint32_t shift;
    // A block's rules are being run without frames: a block inside it takes
    // the state machine, whose recursion check a rule that names its own
    // block needs.
    bool frameless;
};

inline uint32_t clamp_index(int64_t index, uint32_t length) {
    return index < 0 ? 0 : index > int64_t(length) ? length : uint32_t(index);
}

inline uint32_t input_depth(const Engine& e) { return input_length() - e.input_base; }

inline Cell logic_cell(bool flag) { return *logic::constant(flag); }

// After Vek code ran: an input it shortened leaves the position at its tail,
// a move that consumed nothing.
inline void clamp_after_code(Engine& e) {
    uint32_t pos = e.in.pos;
    e.in.clamp();
    e.shift += e.in.pos - pos;
}
inline SeriesBuffer* rule_buffer(const Engine& e) { return series_buffer(&e.rule); }

// An edit counts as an effect when it replaced something or changed the
// input's length; the distance it moved the position is no consumption.
template <typename Edit>
void note_change(Engine& e, uint32_t from, Edit edit) {
    uint32_t length = e.in.length(), pos = e.in.pos;
    bool replaced = from != e.in.pos;
    edit();
    if (replaced || e.in.length() != length) e.effects++;
    e.shift += e.in.pos - pos;
}

// The collect that keep fills: its target and where values go.
Target collect_target(const Engine& e);

// Puts back what an operation changed in the engine when it goes without
// finishing (break and reject leave their block at once).
void discard_op(Engine& e, uint32_t op);

// The block's tail, or a "|" after a matched alternative: every operation
// pushed in the block must have had its rule by then.
Step end_of_block(Engine& e);

// Evaluates a paren; its value goes into *value. The input and the rule
// block are re-read by everyone afterwards (clamped here for the input).
Pending eval_paren(Engine& e, const Cell* paren, Cell* value);

// Whether the rule value is a word holding a position in the input.
bool input_position(const Engine& e, const Cell* value, uint32_t* position);

// The block ends, matched or not; the enclosing block goes on with the
// operations pending there.
Step leave_block(Engine& e, bool success);

// A rule value matched or failed: next tells where the input stands after
// a match, NO_MATCH for a failure.
Step matched(Engine& e, int64_t next);

// The next rule value, which the keyword needs (parse-end when the block
// ends or an alternative starts there), and what it names into *named when
// asked. need_next checks it without moving on and answers what it names.
Cell next_value(Engine& e, const Cell* keyword, RuleWord* named = nullptr);
RuleWord need_next(Engine& e, const Cell* keyword);

// The value at the rule position, without moving on (unset! at the end),
// and what it names into *named when asked.
inline Cell peek(const Engine& e, RuleWord* named = nullptr) {
    SeriesBuffer* buffer = rule_buffer(e);
    if (e.rpos >= buffer->length()) {
        if (named) *named = {};
        return blank_cell(TYPE_UNSET);
    }
    if (named) *named = rule_word(buffer, e.rpos);
    return buffer->cells()[e.rpos];
}
inline RuleWord peek_word(const Engine& e) {
    RuleWord named;
    peek(e, &named);
    return named;
}

void set_word(const Cell* word, const Cell* value);

void store_insert_index(const Engine& e, int64_t index);

// The event at the current rule position; false when parsing stops.
bool traced(Engine& e, Word name);

// What insert and change put in: a paren's value, a word's value (unset is
// an error), or the value itself.
Pending value_of(Engine& e, const Cell* value, Cell* out);

uint32_t push_op(Engine& e, int32_t code, int32_t extra);

Step keyword_rule(Engine& e, Keyword keyword, const Cell* word);

// An integer rule: N rule, or N M rule (M may be a word's value).
Step repetition(Engine& e, const Cell* count);

}  // namespace vek::parse
