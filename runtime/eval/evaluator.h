// The evaluator: runs blocks of values one expression at a time. Values
// travel on the evaluation stack; a call's result is left in its frame's
// first cell. break, continue, return and exit come back as a Pending code
// that every caller hands on at once, touching no stack; errors and throw
// are C++ exceptions (runtime/core/unwind.h).
//
// Code positions are pointers into the evaluated block's buffer, held in a
// Cursor: the collector's stack scan keeps a buffer that a C++ local points
// into alive and in place, but the code evaluated may change its own block,
// so the cursor is re-derived after every step that may have run code.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/raise.h"
#include "runtime/core/unwind.h"
#include "runtime/eval/trace.h"
#include "runtime/memory/series.h"

namespace vek::natives {
class LoopWord;
}  // namespace vek::natives

namespace vek::eval {

// Library code: blocks loaded from the embedded library carry BUF_LIBRARY in
// their buffer's flags. Copies made from them inherit it, so a library
// function's body stays library code. Their evaluation fires no trace events,
// does not move the current position and marks no frame as interpreted,
// as compiled code would.
inline bool library_code(const Cell* block) { return (series_buffer(block)->flags & BUF_LIBRARY) != 0; }

// How apply feeds arguments: not at all (0), from a block of values (1),
// with /all (2), with refinement words in the block (3), with /all and
// /safer (4), with refinement words and /safer (5).
enum ApplyMode : uint32_t {
    APPLY_NONE = 0, APPLY_VALUES = 1, APPLY_ALL = 2, APPLY_WORDS = 3, APPLY_SAFER = 4, APPLY_WORDS_SAFER = 5,
};

// Callback classes of call_function: which mask bit of system/state/callbacks
// keeps tracing on during the call.
enum CallbackClass : uint32_t {
    CALL_EVALUATOR = 0, CALL_LEXER = 1, CALL_PARSE = 2, CALL_SORT = 4, CALL_CHANGE = 8,
    CALL_DEEP_CHANGE = 16, CALL_PORT = 32,
};

// A position in the code being evaluated, from which expressions are read.
// Code run by an expression may change the block under way: growth moves its
// buffer (the old one is abandoned) and shrinking leaves cells past its tail
// that nothing marks any more. sync() keeps the position's index and the
// tail's, clamped to the block's current length, so that evaluation goes on
// over the block as it now is; every step that may have run code calls it.
struct Cursor {
    const Cell* code;  // the block walked: a cell that stays put meanwhile
    const Cell* base;  // the buffer's first cell when pos and tail were derived
    const Cell* pos;
    const Cell* tail;
    bool library;  // library_code(code), which growth keeps

    // From index (clamped to the length) to the block's tail.
    static Cursor at(const Cell* code, uint32_t index) {
        const SeriesBuffer* buffer = buffer_of(code);
        const Cell* cells = cell_at(buffer->offset);
        const Cell* tail = cell_at(buffer->tail);
        const Cell* pos = cells + std::min<size_t>(index, size_t(tail - cells));
        return Cursor{code, cells, pos, tail, (buffer->flags & BUF_LIBRARY) != 0};
    }
    bool more() const { return pos < tail; }
    uint32_t index() const { return uint32_t(pos - base); }
    // Only the first count values from the position; follow() takes the
    // position back from such a view.
    Cursor narrowed(uint32_t count) const {
        Cursor view = *this;
        if (uint32_t(tail - pos) > count) view.tail = pos + count;
        return view;
    }
    void follow(const Cursor& view) {
        tail = view.base + (tail - base);
        base = view.base;
        pos = view.pos;
        sync();
    }
    // One buffer lookup and two compares while the block is unchanged.
    void sync() {
        const SeriesBuffer* buffer = buffer_of(code);
        if (cell_at(buffer->offset) == base && tail <= cell_at(buffer->tail)) return;
        rebase(buffer);
    }

private:
    void rebase(const SeriesBuffer* buffer) {
        const Cell* cells = cell_at(buffer->offset);
        uint32_t end = std::min(uint32_t(tail - base), uint32_t(cell_at(buffer->tail) - cells));
        pos = cells + std::min(uint32_t(pos - base), end);
        tail = cells + end;
        base = cells;
    }
    // The region's helpers test every offset for none; a block's node and
    // its buffer's bounds never are one, and this runs at every step.
    static const Cell* cell_at(Off offset) {
        return reinterpret_cast<const Cell*>(region::base + uint32_t(offset));
    }
    static const SeriesBuffer* buffer_of(const Cell* code) {
        uint32_t buffer = *reinterpret_cast<const uint32_t*>(region::base + uint32_t(series_node(code)));
        return reinterpret_cast<const SeriesBuffer*>(region::base + buffer);
    }
};

// A path evaluated in steps (the console's completion): where the walk stopped.
struct PathState {
    uint32_t depth;        // elements already walked; 0 = start
    uint32_t parent_kind;  // 0 none, 1 a stack cell, 2 a series, 3 an object's values, 4 other
    uint32_t index;        // element index within the parent
    Cell value;            // the current value
    Cell parent;           // unset! when none
    uint32_t saved_top;    // stack top, as an index from the stack's bottom
};

// Where eval_block leaves its result: always pushed, in the cell where the
// stack's top stood (a <body> frame's result cell, when it opens one).
struct BlockFlags {
    // Also copied into the current frame's result cell.
    bool chain = false;
};

// Evaluates the block (or paren) from its index to its tail: while tracing
// (and at the script's top level) inside a frame named <body>, otherwise in
// the frame already there. An empty block yields unset!.
Pending eval_block(const Cell* block, BlockFlags flags = {});

// The blocks a loop runs at each step (its body, and while's condition),
// each run as eval_block runs it with chain. What stays the same from step
// to step is done at the first run only: the machine stack's check and the
// choice of the untraced path, which a loop that starts untraced keeps.
// The block cells passed must stay put while the loop runs (the loop
// native's arguments do): the untraced steps read them where they are.
class LoopBlocks {
public:
    LoopBlocks() = default;
    LoopBlocks(const LoopBlocks&) = delete;
    LoopBlocks& operator=(const LoopBlocks&) = delete;

    // while's steps in the current frame: the condition and, while its
    // result is true, the body, each after the frame's cells are cut back to
    // its result cell. Ends (Pending::none) at a false or none! condition or
    // at a break in the body; a break or continue in the condition raises
    // while-cond; a return or exit comes back pending.
    Pending run_while(const Cell* condition, const Cell* body);
    // loop's and repeat's steps: the body count times, each run after the
    // frame's cells are cut back to its result cell, ending (Pending::none)
    // early at a break; with a word (repeat), the word is set to the step's
    // number, from 1, before each run. A return or exit comes back pending.
    Pending run_counted(const Cell* body, int32_t count, natives::LoopWord* word);
    // foreach's steps: while a step (n words, from a block of them when
    // multi) finds values left, the body, as run_counted runs it.
    Pending run_foreach(const Cell* body, uint32_t n, bool multi, natives::LoopWord& word);
    // Code other than the loop's blocks ran between its steps.
    void forget_plain_runs() { plain_[0].block = plain_[1].block = nullptr; }

    // How a loop's step ended: its body ran to its end or a continue, and
    // the loop goes on; or a break, return or exit ends the loop, with
    // outcome() its code (Pending::none for a break).
    enum class Step : uint8_t { ran, continued, ended };
    // One step of a loop that its native takes itself (until, forever,
    // forall, remove-each, foreach over pixels): the body, run as run() runs
    // it after the frame's cells are cut back to its result cell. The loops
    // above take their steps by the same rule.
    Step step(const Cell* body);
    Pending outcome() const { return outcome_; }

private:
    enum class Path : uint8_t { unchosen, untraced, general };
    Pending run_step(const Cell* block);
    Pending choose_and_run(const Cell* block);
    Pending run_untraced_block(const Cell* block);
    Pending run_plain_again(const Cursor& start);
    void remember_plain_run(const Cell* block, const Cursor& start);
    Path path_ = Path::unchosen;
    Pending outcome_ = Pending::none;
    // The blocks (at most two: while's) that ran all as plain code, with the
    // cursor at their start, since any other code last ran.
    struct Remembered {
        const Cell* block = nullptr;
        Cursor start{};
    };
    Remembered plain_[2];
    // The blocks (at most two: while's) found to start with code that calls
    // something, which no longer try the path for code that calls nothing.
    const Cell* not_plain_[2] = {nullptr, nullptr};
};

// How eval_expression takes one expression: a bit set passed by value, as
// this is the evaluator's hottest call.
struct ExprFlags {
    bool prefix : 1 = false;   // no infix look-ahead after the value
    bool sub : 1 = false;      // the value is pushed; else it becomes the frame's result
    bool passive : 1 = false;  // a callable value met literally is pushed, not called
};

// One expression at the cursor, which then stands past it (synced): with
// every event while tracing, else by the untraced step, which a caller that
// has just found tracing off calls itself. Inline, so that the flag is
// tested where the expression is taken.
Pending eval_traced_expression(Cursor& at, ExprFlags flags);
Pending eval_untraced_expression(Cursor& at, ExprFlags flags);
inline Pending eval_expression(Cursor& at, ExprFlags flags = {}) {
    return trace::tracing ? eval_traced_expression(at, flags) : eval_untraced_expression(at, flags);
}

// Where eval_next leaves its result: always pushed, where the stack's top
// stood.
struct NextFlags {
    // Only pushed; else also copied into the current frame's result cell.
    bool sub = false;
};

// One expression, as eval_block runs each of a block's: while tracing inside
// a <body> frame of its own.
Pending eval_next(Cursor& at, NextFlags flags = {});
// The same from the block's index; the index after the expression is stored
// in *index. At the tail the result becomes unset! and the index stays.
Pending eval_next_index(const Cell* block, uint32_t* index);

// How eval_code places a call and its result: a bit set passed by value, as
// every call goes through it.
struct CallFlags {
    // The called value is pushed first and the result replaces it; else the
    // result becomes the current frame's result.
    bool sub : 1 = false;
    // The left operand is the cell at the stack top, and the result is left
    // there.
    bool infix : 1 = false;
};

// Calls a value with the arguments at the cursor; with a path, its
// elements from path_rest on (counted from the path's index) name the
// refinements. name (a word!) names the call's frame, <anon> otherwise.
Pending eval_code(const Cell* called, Cursor& at, CallFlags flags, const Cell* path, const Cell* name,
                  ApplyMode apply, uint32_t path_rest = 1);

// Runs a function! whose arguments and locals are on the stack, in the
// function frame (the top frame) that the caller opened. return and exit end
// here; break and continue come back pending, with the frame already gone.
Pending call_function(const Cell* function, const Cell* name, CallbackClass callback);

// Opens the function's call frame under the name and lays out a call from
// C++ (a comparator, a change handler) with the count values as its first
// arguments: arguments beyond the values get none!, values beyond its
// arguments are left out, each refinement is false with none! arguments,
// then come the locals. A value of a type its argument refuses raises script
// expect-arg. call_function runs it.
void push_callback_call(const Cell* function, const Cell* name, const Cell* values, uint32_t count);

// What eval_path does at the path's end.
struct PathFlags {
    bool set = false;             // stores the current frame's first cell there
    bool get = false;             // calls nothing: a callable head is an error, a later one the result
    bool sub = false;             // pushes the result; else it becomes the frame's result
    bool case_sensitive = false;  // selecting by a key compares case
};

// Evaluates a path from its head; the cursor stands at the code after it
// (the arguments of a function the path calls). With a state record, a paren
// element stops the walk (state->depth > 0 then) and a later call resumes
// there, taking the paren's value from the stack top.
Pending eval_path(const Cell* path, Cursor& at, PathFlags flags, PathState* state = nullptr);

// For a set through a path, which walks copies of the values it meets. The
// walk keeps each step's parent and selector, two cells a step from its
// first selector on, in cells that reserve_path_steps reserves on the
// evaluation stack before the walk (the path actions may push and pop above
// them). A field set in a value held whole in its cell (a date's month, a
// pair's x, an event's type) changed only the walk's copy of it:
// store_path_back stores that copy, the parent of step last_step, back into
// what held it, and so on up while the holder is held whole too, ending with
// the head (a word is set; any other head holds nothing). A holder that is a series or an object was changed in
// place; storing into an object's field runs its change handler.
Cell* reserve_path_steps(uint32_t count);
void store_path_back(const Cell* path, const Cell* head, const Cell* steps, uint32_t last_step,
                     const Cell* changed_parent, bool case_sensitive);

// The last pushed cell, or the frame's result cell when nothing was pushed.
Cell* last_value();

// For C++ code that reads and sets words as Vek code does (the GUI's
// dialects). The word's value cell; unset! raises script no-value with the
// word.
Cell* word_value(const Cell* word);
// The last pushed value becomes the word's value (with object change
// events); unset! raises script need-value with the word.
void set_word_to_last(Cell* word);
// Builds the error and prints it as print does, inside a native frame named
// <anon> whose result ends up unset!; nothing is raised.
void print_error(err::AnyId id, const Cell* arg1 = nullptr, const Cell* arg2 = nullptr, const Cell* arg3 = nullptr);

// The user-code block being evaluated, its index at the start of the
// expression under way, or unset! when none is: errors take their near field
// from it. Library code never becomes the current position.
Cell current_position();

// Deep recursion ends as internal stack-overflow while this much of the
// machine stack is left, so that the error can still be built and caught.
constexpr size_t STACK_RESERVE = 512 * 1024;
void check_stack();

// The block whose next evaluation is the top level (a script's code, a
// console line), or nullptr for none. Its expressions are the top level: now
// and then between them eval_block scrubs the C++ stack below itself
// (gc::scrub_stack), so that the words the finished expressions left there
// do not keep dead series alive through the collector's stack scan. The
// evaluation's end, whichever way it ends, ends the top level.
void set_top_level(const Cell* code);

// Test hook: how many return or exit codes have ended a function call.
uint64_t returns_handled();

// For C++ callbacks into Vek code that cannot pass a code on (comparators,
// change handlers, lexer and parse callbacks): a pending code becomes the
// exception of that code.
void raise_pending(Pending pending);

void init();
// Takes note of the boot values of the words the evaluator runs inline
// while they hold them (the operators on numbers, the conditionals and
// loops); after the boot table.
void remember_boot_values();
// What an operator made from the source notes for the evaluator (op::inline_tag):
// one more than the operation on numbers it computes itself when the source
// shares its internal block with a boot operator it computes, else 0.
uint32_t inline_tag_for(const Cell* source);

}  // namespace vek::eval
