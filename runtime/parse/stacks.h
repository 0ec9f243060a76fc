// The parse engine's two stacks: Vek blocks made at start-up and kept as a
// collector root ("parse stacks").
//
// The rule stack holds one frame per entered rule block and per pending
// operation; every frame ends with a pair! whose x is the frame's code, so
// the stack can be walked down from any frame end:
//   block frame (4 cells): triple (position to resume at in this block,
//     input index at entry, input length at entry), the rule block!,
//     triple (depth of the input stack at entry, the engine's shift at
//     entry, 0), pair (FRAME_BLOCK, 0)
//   operation frame (5 cells): triple (minimum count, maximum count or -1,
//     count so far; for to and thru the positions left to try), triple (input index at the operation's start, at the
//     current step's start, input length at the step's start), triple
//     (position of the sub-rule in the enclosing block, and two values of
//     the operation's own), a cell the operation keeps (its word, its
//     collected block), pair (operation code, extra value)
// The input stack holds the outer input series (at its position) of every
// `into` under way.
//
// Each parse marks both stacks with a triple! of their lengths when it
// starts; a Marks guard cuts them back on every way out. A callback may edit
// the rule stack: every read here checks the type and the index and raises
// script parse-rule rather than trust what it finds.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/memory/series.h"

namespace vek::parse {

// More cells than this on either stack raises script parse-stack.
constexpr uint32_t STACK_LIMIT = 10000;

constexpr uint32_t BLOCK_FRAME_SIZE = 4;
constexpr uint32_t OP_FRAME_SIZE = 5;

// Frame codes: 0 a block frame, negative an operation.
enum Code : int32_t {
    FRAME_BLOCK = 0,
    OP_ITERATE = -1,
    OP_TO = -2,
    OP_THRU = -3,
    OP_COPY = -4,
    OP_SET = -5,
    OP_NOT = -6,
    OP_INTO = -7,
    OP_REMOVE = -9,
    OP_WHILE = -11,
    OP_COLLECT = -12,
    OP_KEEP = -13,
    OP_AHEAD = -16,
    OP_CHANGE = -17,
    OP_CHANGE_ONLY = -18,
    OP_CASE = -19,
};

// Slots of a frame, from its first cell.
enum Slot : uint32_t {
    // block frame
    B_STATE = 0,  // triple: resume position, entry index, entry input length
    B_RULE = 1,   // the rule block
    B_ENTRY = 2,  // triple: input depth at entry, the engine's shift at entry, 0
    B_TAG = 3,    // pair: FRAME_BLOCK, 0
    // operation frame
    O_COUNTS = 0,  // triple: minimum, maximum, count
    O_INPUT = 1,   // triple: start index, step index, step length
    O_AUX = 2,     // triple: sub-rule position, own value, own value
    O_KEPT = 3,    // the operation's cell
    O_CODE = 4,    // pair: code, extra
};

// The rule stack as a value (head 0), which the callback receives.
const Cell* rule_stack();

uint32_t input_length();

// Raises parse-rule: the rule stack does not hold what the engine left there.
// The error names the cell found in its place, or the stack itself when
// there is none.
[[noreturn]] void broken_stack(const Cell* found = nullptr);

namespace detail {
extern Node rule_node;  // the rule stack's buffer; read on every frame access
}  // namespace detail

inline uint32_t rule_length() { return node_buffer(detail::rule_node)->used_bytes() / sizeof(Cell); }

// A frame cell by its index on the rule stack; the index must be below the
// length (else parse-rule). The pointer is valid until the next allocation.
inline Cell* rule_cell(uint32_t index) {
    SeriesBuffer* buffer = node_buffer(detail::rule_node);
    if (uint64_t(index) * sizeof(Cell) >= buffer->used_bytes()) [[unlikely]]
        broken_stack();
    return buffer->cells() + index;
}
// The same, checked to be of the type (else parse-rule).
inline Cell* rule_cell(uint32_t index, uint32_t type) {
    Cell* cell = rule_cell(index);
    if (cell_type(cell) != type) [[unlikely]]
        broken_stack(cell);
    return cell;
}
// Value n (1 to 3) of the triple at the index.
inline int32_t rule_int(uint32_t index, int n) {
    return int32_t(payload_word(rule_cell(index, TYPE_TRIPLE), n));
}

// Appends count cells (parse-stack past the limit) and answers the index of
// the first one, each unset!.
uint32_t push_rule_cells(uint32_t count);
void cut_rule(uint32_t length);

// Pushes the outer input (parse-stack past the limit); pops the last one
// into the cell (parse-rule when the stack holds none above the mark).
void push_input(const Cell* series);
void pop_input(Cell* series, uint32_t floor);
void cut_input(uint32_t length);

// Writers of the frame cells by index.
void set_triple(uint32_t index, int32_t a, int32_t b, int32_t c);
void set_pair(uint32_t index, int32_t x, int32_t y);
void set_cell(uint32_t index, const Cell* value);

// Marks both stacks when a parse starts (a triple! of their lengths on the
// rule stack) and cuts both back to their lengths on every way out.
class Marks {
public:
    Marks();
    ~Marks();
    Marks(const Marks&) = delete;
    Marks& operator=(const Marks&) = delete;
    // Index of the first frame of this parse on the rule stack.
    uint32_t base() const { return rule_mark_ + 1; }
    uint32_t input_base() const { return input_mark_; }

private:
    uint32_t rule_mark_;
    uint32_t input_mark_;
};

void init_stacks();

}  // namespace vek::parse
