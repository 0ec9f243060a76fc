#include "runtime/eval/evaluator.h"

#include <array>
#include <cstddef>

#include "platform/runtime_thread.h"
#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/callable/routine.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/fetch_args.h"
#include "runtime/core/stack.h"
#include "runtime/eval/trace.h"
#include "runtime/gc/collector.h"
#include "runtime/memory/image_state.h"
#include "runtime/memory/manager.h"
#include "runtime/natives/boot_table.h"
#include "runtime/natives/control.h"
#include "runtime/natives/helpers.h"
#include "runtime/natives/natives.h"

namespace vek::eval {

using trace::event;

namespace {

uint64_t returns = 0;

// The script's code, only compared with the blocks evaluated, and what
// decides when the stack below them is scrubbed.
struct TopLevel {
    Node code = Node::none;
    uint32_t expressions = 0;  // begun so far
    uint32_t collections = 0;  // memory::collection_cycle at the last expression
};
TopLevel top_level;
constexpr uint32_t SCRUB_INTERVAL = 16;

// Whether to scrub before the script's next expression. A scrub costs about
// a microsecond, more than a simple expression: it follows every expression
// that ran a collection, which did work enough to hide it and may have left
// words of what it built or walked, and otherwise comes once every
// SCRUB_INTERVAL expressions.
bool scrub_due() {
    bool collected = top_level.collections != memory::collection_cycle;
    top_level.collections = memory::collection_cycle;
    return collected || top_level.expressions++ % SCRUB_INTERVAL == 0;
}

const Cell* anon_word() { return fixed_words::word(fixed_words::Word::anon_tag); }
const Cell* body_word() { return fixed_words::word(fixed_words::Word::body_tag); }
const Cell* set_path_word() { return fixed_words::word(fixed_words::Word::set_path); }

uint32_t native_mark(const Cursor& at) { return at.library ? stack::MARK_NATIVE : stack::MARK_NATIVE_INTERP; }

// Links each user-code block evaluated here into the chain of blocks under
// way, innermost first, and notes the index of the expression it is at: the
// current position is read from the innermost link only when asked for, so
// that entering a block and starting an expression cost a few stores.
// Library code adds no link, so the position stays where user code left it.
class PositionScope {
public:
    explicit PositionScope(const Cursor& at) : code_(at.code), outer_(innermost_), expression_(at.index()) {
        if (!at.library) innermost_ = this;
    }
    ~PositionScope() { innermost_ = outer_; }
    void at(const Cursor& cursor) { expression_ = cursor.index(); }
    uint32_t expression() const { return expression_; }
    PositionScope(const PositionScope&) = delete;
    PositionScope& operator=(const PositionScope&) = delete;

    // The innermost user block at the expression under way, or unset! when
    // no user code runs.
    static Cell current() {
        Cell cell{};
        if (!innermost_) return *make_unset(&cell);
        cell = *innermost_->code_;
        set_series_index(&cell, innermost_->expression_);
        return cell;
    }

private:
    static inline const PositionScope* innermost_ = nullptr;
    const Cell* code_;  // the block evaluated: a cell that stays put meanwhile
    const PositionScope* outer_;
    uint32_t expression_;  // the index of the expression under way
};

// Whether the flag was tested at a block run's start with no code run since:
// its first expression then needs no test of its own.
enum class Entry : bool { tracing_unknown, untraced };

Pending run_block(const Cell* block, BlockFlags flags);
Pending run_checked_block(const Cell* block, BlockFlags flags);
Pending run_untraced(Cursor& at, BlockFlags flags, Entry entry);
bool runs_framed(const Cell* block);
Pending eval_framed_block(const Cell* block, BlockFlags flags);
Pending eval_word_call(const Cell* bound, Cursor& at);

// The value of a bound word whose context's values are at hand, or nullptr
// (unbound, not resolved yet, a function context outside its call), where
// context::get would raise or look the word up. Raises nothing. Inline, as
// nearly every step reads a word or looks for an operator; a global word,
// the most common, is tested for first and skips the context cell.
[[gnu::always_inline]] inline const Cell* value_at_hand(const Cell* word) {
    uint32_t index = word::index(word);
    if (int32_t(index) < 0) return nullptr;
    Node context = word::context(word);
    if (context == context::global) return context::global_values_base() + index;
    if (context == Node::none) return nullptr;
    const Cell* values = context::values_base(context::cell_of(context));
    return values ? values + index : nullptr;  // none: a function context outside its call
}

// The value of a word that may start an infix call: an op! in a context
// whose values are at hand. Raises nothing: a word that cannot be an
// operator is left for the next expression.
[[gnu::always_inline]] inline const Cell* infix_operator(const Cell* word) {
    const Cell* value = value_at_hand(word);
    return value && cell_type(value) == TYPE_OP ? value : nullptr;
}

// ---------------------------------------------------------------- plain values
// What an expression is when it calls nothing: a value that evaluates to
// itself, or a word holding such a value. The fast paths below push it or
// store it straight away; everything else, and all that would raise, takes
// eval_value.

constexpr uint64_t CALLABLE_TYPES =
    type_bit(TYPE_OP) | type_bit(TYPE_NATIVE) | type_bit(TYPE_ACTION) | type_bit(TYPE_FUNCTION) | type_bit(TYPE_ROUTINE);
// The values eval_value does more with than push them.
constexpr uint64_t ACTIVE_TYPES = CALLABLE_TYPES | type_bit(TYPE_PAREN) | type_bit(TYPE_SET_WORD) |
                                  type_bit(TYPE_SET_PATH) | type_bit(TYPE_GET_WORD) | type_bit(TYPE_LIT_WORD) |
                                  type_bit(TYPE_WORD) | type_bit(TYPE_PATH) | type_bit(TYPE_GET_PATH) |
                                  type_bit(TYPE_LIT_PATH) | type_bit(TYPE_ISSUE);
// The values of a word that eval_value does more with than push them.
constexpr uint64_t ACTIVE_WORD_VALUES = CALLABLE_TYPES | type_bit(TYPE_UNSET);

// The two sets above by datatype id, a byte each, so that a test is one
// load: bit 0 for ACTIVE_TYPES, bit 1 for ACTIVE_WORD_VALUES. An id past
// the list of types counts as in both. A test names its set by its bit, a
// type of its own, so that a 64-bit set cannot be passed in its place.
enum ActiveSet : uint8_t { IN_ACTIVE_TYPES = 1, IN_ACTIVE_WORD_VALUES = 2 };
constexpr std::array<uint8_t, TYPE_MASK + 1> ACTIVE_BY_TYPE = [] {
    std::array<uint8_t, TYPE_MASK + 1> table{};
    for (uint32_t type = 0; type <= TYPE_MASK; type++) {
        bool past = type >= 64;
        table[type] = uint8_t((past || (ACTIVE_TYPES & type_bit(type)) ? IN_ACTIVE_TYPES : 0) |
                              (past || (ACTIVE_WORD_VALUES & type_bit(type)) ? IN_ACTIVE_WORD_VALUES : 0));
    }
    return table;
}();

bool type_in_set(uint32_t type, ActiveSet set) { return (ACTIVE_BY_TYPE[type & TYPE_MASK] & set) != 0; }

// The value of the expression at the cell when it is a plain one, else
// nullptr. Raises nothing. Inline where an argument is fetched or a branch
// run, nearly every step of a call.
[[gnu::always_inline]] inline const Cell* inline_plain_value(const Cell* cell) {
    uint32_t type = cell_type(cell);
    if (type != TYPE_WORD) return type_in_set(type, IN_ACTIVE_TYPES) ? nullptr : cell;
    const Cell* value = value_at_hand(cell);
    return value && !type_in_set(cell_type(value), IN_ACTIVE_WORD_VALUES) ? value : nullptr;
}

// inline_plain_value out of line, for the expression step, whose registers
// its fast paths need.
const Cell* plain_value(const Cell* cell) { return inline_plain_value(cell); }

// ---------------------------------------------------------------- operators on numbers
// The boot operators that the infix step computes itself when both operands
// are integer! or float!: the actions' own kernels on the left operand's
// cell, without an argument fetch. Such an operator carries its InlineOp in
// its cell (op::inline_tag), noted when it is made from a source that shares
// its internal block with the boot value, as only the boot value and
// operators made from the same native or action do; the boot values are kept
// alive here, so that block is never reused.

enum InlineOp : uint8_t {
    INLINE_ADD, INLINE_SUBTRACT, INLINE_MULTIPLY, INLINE_EQUAL, INLINE_NOT_EQUAL, INLINE_STRICT_EQUAL,
    INLINE_LESSER, INLINE_GREATER, INLINE_LESSER_EQUAL, INLINE_GREATER_EQUAL, INLINE_OPS, INLINE_NONE = 0xFF,
};
// The actions among them; the comparisons are natives, whose intrinsic
// column lists them in InlineOp's order.
struct InlineAction {
    uint32_t slot;
    InlineOp op;
};
constexpr InlineAction INLINE_ACTIONS[] = {
    {registry::SLOT_ADD, INLINE_ADD}, {registry::SLOT_SUBTRACT, INLINE_SUBTRACT}, {registry::SLOT_MULTIPLY, INLINE_MULTIPLY},
};
constexpr int32_t INLINE_OP_CODES[INLINE_OPS] = {
    integer::OP_ADD,    integer::OP_SUBTRACT, integer::OP_MULTIPLY, actions::COMP_EQUAL,
    actions::COMP_NOT_EQUAL, actions::COMP_STRICT_EQUAL, actions::COMP_LESSER, actions::COMP_GREATER,
    actions::COMP_LESSER_EQUAL, actions::COMP_GREATER_EQUAL,
};

// A boot native's plan, copied at its first plain call here: the plan made
// for a boot native's internal block never changes, so that its arguments'
// descriptions are read once rather than through the argument cache at
// every call.
constexpr uint32_t KNOWN_ARGUMENTS = 4;
struct KnownPlan {
    CallPlan plan;
    PlanArgument arguments[KNOWN_ARGUMENTS];
    bool known;
};
static_assert(offsetof(KnownPlan, arguments) == sizeof(CallPlan));

// The callable's plan from its copy, copied first when it is plain and its
// arguments fit; else the plan where it is, or nullptr when it has none.
const CallPlan* known_plan(KnownPlan& copy, const Cell* callable) {
    if (copy.known) [[likely]]
        return &copy.plan;
    const CallPlan* plan = plain_plan(callable);
    if (!plan || plan->arity > KNOWN_ARGUMENTS) return plan;
    copy.plan = *plan;
    std::copy(plan_arguments(plan), plan_arguments(plan) + plan->arity, copy.arguments);
    copy.known = true;
    return &copy.plan;
}

struct InlineOps {
    Cell boot[INLINE_OPS];       // the operators as boot bound them
    uint8_t by_action[64];       // an action's slot -> its InlineOp, or INLINE_NONE
    uint8_t by_native[128];      // a native's position -> its InlineOp, or INLINE_NONE
    KnownPlan plans[INLINE_OPS];
};
InlineOps inline_ops;
bool inline_ops_known = false;  // the tables above are filled in

void mark_inline_ops() { gc::mark_cells(inline_ops.boot, inline_ops.boot + INLINE_OPS); }

// The InlineOp of the boot operator whose internal block the native or
// action shares, or INLINE_NONE.
InlineOp boot_inline_op(const Cell* callable) {
    uint32_t type = cell_type(callable);
    if (!inline_ops_known || (type != TYPE_ACTION && type != TYPE_NATIVE)) return INLINE_NONE;
    uint32_t code = native::position(callable);
    uint8_t found = INLINE_NONE;
    if (type == TYPE_ACTION && code < 64) found = inline_ops.by_action[code];
    if (type == TYPE_NATIVE && code < 128) found = inline_ops.by_native[code];
    if (found == INLINE_NONE) return INLINE_NONE;
    const Cell* boot = &inline_ops.boot[found];
    return callable::internal_node(boot) == callable::internal_node(callable) ? InlineOp(found) : INLINE_NONE;
}

// The tag 0 (none) becomes INLINE_NONE.
InlineOp inline_op_of(const Cell* op_value) { return InlineOp(uint8_t(op::inline_tag(op_value) - 1)); }

bool is_inline_number(const Cell* value) {
    return cell_type(value) == TYPE_INTEGER || cell_type(value) == TYPE_FLOAT;
}

// For each comparison, the orders of two integers it holds for: bit 0
// lesser, bit 1 equal, bit 2 greater.
constexpr uint8_t COMPARISON_OUTCOMES[INLINE_OPS] = {0, 0, 0, 0b010, 0b101, 0b010, 0b001, 0b100, 0b011, 0b110};

// Two integers: a sum, difference or product that fits is written here,
// one that overflows is left to integer::do_math, which makes it a float!.
// Inline in the infix steps, which mostly meet two integers.
[[gnu::always_inline]] inline void compute_integers(InlineOp op, Cell* left, int32_t a, int32_t b) {
    if (op <= INLINE_MULTIPLY) {
        int32_t value;
        bool fits = op == INLINE_ADD        ? integer::checked_add(a, b, &value)
                    : op == INLINE_SUBTRACT ? integer::checked_subtract(a, b, &value)
                                            : integer::checked_multiply(a, b, &value);
        if (fits) [[likely]]
            integer::make_at(left, value);
        else
            integer::do_math(a, b, INLINE_OP_CODES[op], left);
        return;
    }
    int order = (a > b) - (a < b) + 1;  // 0 lesser, 1 equal, 2 greater
    *left = *logic::constant((COMPARISON_OUTCOMES[op] >> order) & 1);
}

double number_value(const Cell* number) {
    return cell_type(number) == TYPE_INTEGER ? double(integer::get(number)) : float_::get(number);
}

// A float! on either side: a sum, difference or product is the float!
// float_::math_op makes of them, having nothing to check for these types.
// Inline, as a sum that has left the integer! range goes on as a float!.
[[gnu::always_inline]] inline void compute_floats(InlineOp op, Cell* left, const Cell* right) {
    double a = number_value(left);
    double b = number_value(right);
    double result = op == INLINE_ADD ? a + b : op == INLINE_SUBTRACT ? a - b : a * b;
    set_type(left, TYPE_FLOAT);
    float_::set(left, result);
}

// A float! on either side of a comparison: the comparison native's result.
[[gnu::noinline]] void compare_floats(InlineOp op, Cell* left, const Cell* right) {
    copy_cell(logic::constant(actions::compare(left, right, INLINE_OP_CODES[op])), left);
}

// The operation on the left cell, which takes the result, as the action or
// comparison native would leave it.
[[gnu::always_inline]] inline void compute_inline(InlineOp op, Cell* left, const Cell* right) {
    if (cell_type(left) == TYPE_INTEGER && cell_type(right) == TYPE_INTEGER)
        compute_integers(op, left, integer::get(left), integer::get(right));
    else if (op <= INLINE_MULTIPLY)
        compute_floats(op, left, right);
    else
        compare_floats(op, left, right);
}

// The operator at pos, before tail, computed inline when it and its operands
// allow (see above): the left operand is the cell at start, the right one a
// number written in the code or a word holding one. Then the result is at
// start and the position past the right operand is returned; else nullptr.
[[gnu::always_inline]] inline const Cell* inline_op_at(const Cell* op_value, const Cell* pos, const Cell* tail,
                                                       Cell* start) {
    InlineOp op = inline_op_of(op_value);
    if (op == INLINE_NONE || !is_inline_number(start) || pos + 1 >= tail) return nullptr;
    const Cell* right = pos + 1;
    if (cell_type(right) == TYPE_WORD) {
        right = value_at_hand(right);
        if (!right) return nullptr;
    }
    if (!is_inline_number(right)) return nullptr;
    compute_inline(op, start, right);
    return pos + 2;
}

// The operators computed inline on the value, from next up to the first
// cell that is no operator word: the position past them, or nullptr when an
// operator there is not computed inline.
[[gnu::always_inline]] inline const Cell* inline_ops_from(const Cell* next, const Cell* tail, Cell* value) {
    while (next < tail && cell_type(next) == TYPE_WORD) {
        const Cell* op_value = infix_operator(next);
        if (!op_value) break;
        next = inline_op_at(op_value, next, tail, value);
        if (!next) return nullptr;
    }
    return next;
}

// inline_op_at on the cursor, which then stands past the right operand.
[[gnu::always_inline]] inline bool eval_inline_op(const Cell* op_value, Cursor& at, Cell* start) {
    const Cell* past = inline_op_at(op_value, at.pos, at.tail, start);
    if (!past) return false;
    at.pos = past;
    return true;
}

// ---------------------------------------------------------------- control natives
// The boot conditionals and loops, which the evaluator calls itself when a
// plain word holds one and no tracer listens: it opens the native's frame as
// a call does, takes a literal block argument straight from the code and runs
// the native's entry, whose checks a plain call has already made, so that it
// is the kernel the native runs too. A native is recognised as an operator is,
// by its position and its internal block; the boot values are kept alive here.

// A control native's index here is its intrinsic's, less one.
using natives::Intrinsic;
constexpr uint8_t CONTROLS = uint8_t(Intrinsic::case_);
constexpr uint8_t CONTROL_NONE = 0xFF;
// The conditionals, which come first among the intrinsics.
enum Conditional : uint8_t { CONDITIONAL_IF, CONDITIONAL_EITHER, CONDITIONAL_UNLESS, CONDITIONALS };
static_assert(uint8_t(Intrinsic::unless) == CONDITIONAL_UNLESS + 1);

// How a control native's arguments are passed, read from its plan at its
// first call here: the plan made for a boot native's internal block never
// changes.
enum ArgumentModes : uint8_t { MODES_UNREAD, MODES_NORMAL, MODES_FIRST_QUOTED, MODES_OTHER };

struct ControlNatives {
    Cell boot[CONTROLS];     // the natives as boot bound them
    uint8_t by_native[128];  // a native's position -> its index in boot, or CONTROL_NONE
    ArgumentModes modes[CONTROLS];
    KnownPlan plans[CONTROLS];
};
ControlNatives control_natives;

void mark_control_natives() { gc::mark_cells(control_natives.boot, control_natives.boot + CONTROLS); }

// The value's control index when it is a boot control native, else
// CONTROL_NONE.
uint8_t control_of(const Cell* value) {
    if (cell_type(value) != TYPE_NATIVE) return CONTROL_NONE;
    uint32_t position = native::position(value);
    uint8_t found = position < 128 ? control_natives.by_native[position] : CONTROL_NONE;
    bool boot = found != CONTROL_NONE &&
                callable::internal_node(&control_natives.boot[found]) == callable::internal_node(value);
    return boot ? found : CONTROL_NONE;
}

ArgumentModes modes_of(const CallPlan* plan) {
    const PlanArgument* arguments = plan_arguments(plan);
    for (uint32_t i = 1; i < plan->arity; i++)
        if (arguments[i].mode != ARG_NORMAL) return MODES_OTHER;
    return plan->arity == 0 || arguments[0].mode == ARG_NORMAL ? MODES_NORMAL : MODES_FIRST_QUOTED;
}

// Whether the arguments' passing modes let the evaluator fetch them itself:
// only the first may be quoted (the loop word of repeat and foreach), and the
// code must hold a word or a block there, which is passed as it is. A paren
// or get-word there takes the general path, which evaluates it.
bool plain_quoted_argument(uint8_t control, const CallPlan* plan, const Cursor& at) {
    ArgumentModes& modes = control_natives.modes[control];
    if (modes == MODES_UNREAD) modes = modes_of(plan);
    if (modes == MODES_NORMAL) return true;
    return modes == MODES_FIRST_QUOTED && at.more() &&
           (cell_type(at.pos) == TYPE_WORD || cell_type(at.pos) == TYPE_BLOCK);
}

// The plan of the control native held by a word, when the evaluator may call
// it itself with the arguments at the cursor; else nullptr. No tracer
// listens: the caller has found none.
const CallPlan* control_plan(const Cell* bound, const Cursor& at) {
    uint8_t control = control_of(bound);
    if (control == CONTROL_NONE) return nullptr;
    const CallPlan* plan = known_plan(control_natives.plans[control], bound);
    return plan && plain_quoted_argument(control, plan, at) ? plan : nullptr;
}

// The control index of a native that control_of recognised.
uint8_t control_index(const Cell* native) { return control_natives.by_native[native::position(native)]; }

// A block written in the code as a whole argument: no operator follows it,
// which would take it as its left operand.
[[gnu::always_inline]] inline bool literal_block_at(const Cell* pos, const Cell* tail) {
    if (cell_type(pos) != TYPE_BLOCK) return false;
    const Cell* next = pos + 1;
    return next >= tail || cell_type(next) != TYPE_WORD || !infix_operator(next);
}

bool literal_block_at(const Cursor& at) { return literal_block_at(at.pos, at.tail); }

// One argument, pushed and checked as a plain call fetches it. An argument
// evaluated before it may have switched tracing on: a literal block is then
// fetched with its events. A quoted argument comes first, before any code ran.
Pending fetch_control_arg(const Cell* called, const Cell* name, const PlanArgument& argument, Cursor& at) {
    if (!at.more()) fire(err::script::no_arg, name, push_spec_word(called, argument.cache_index));
    if (argument.mode != ARG_NORMAL || (!trace::tracing && literal_block_at(at))) {
        stack::push(at.pos++);
    } else {
        VEK_PASS(eval_expression(at, {.sub = true}));
    }
    check_plain_type(called, name, argument, stack::top - 1);
    return Pending::none;
}

// The count blocks written in the code at the cursor for the arguments from
// the first on, pushed as a fetch pushes them, when each argument takes a
// block and no operator follows the last one; else false, with nothing
// pushed. The blocks before the last are followed by a block, no operator.
bool push_literal_blocks(Cursor& at, const PlanArgument* first, uint32_t count) {
    const Cell* pos = at.pos;
    const Cell* tail = at.tail;
    if (uint32_t(tail - pos) < count) return false;
    const Cell* next = pos + count;
    for (const Cell* block = pos; block != next; block++, first++)
        if (cell_type(block) != TYPE_BLOCK || !takes_type(*first, TYPE_BLOCK)) return false;
    if (next < tail && cell_type(next) == TYPE_WORD && infix_operator(next)) return false;
    for (const Cell* block = pos; block != next; block++) stack::push(block);
    at.pos = next;
    return true;
}

// The branch as run_block runs it, but for a branch of one plain value,
// which runs nothing that could raise, be traced or see the block's
// position: its value is pushed where the block's result cell would be and
// becomes the frame's result. A full frame stack still overflows there.
// The block is a cell pushed in the frame, below all the branch pushes: it
// stays put, and is read where it is. The machine stack was checked where the
// conditional's word was met, a few frames up.
[[gnu::always_inline]] inline Pending run_branch_block(const Cell* block) {
    if (runs_framed(block)) [[unlikely]]
        return eval_framed_block(block, {.chain = true});
    Cursor at = Cursor::at(block, series_index(block));
    const Cell* value = at.tail - at.pos == 1 ? inline_plain_value(at.pos) : nullptr;
    if (value && stack::frames_top < stack::frames_limit) {
        copy_cell(stack::push(value), stack::arguments);
        return Pending::none;
    }
    return run_untraced(at, {.chain = true}, Entry::untraced);
}

// The branch run as the native's entry runs it: a code raised as an
// exception inside it comes back pending, as run_plain_native hands it on.
Pending run_branch(const Cell* block) {
    try {
        return run_branch_block(block);
    } catch (const VekThrow& thrown) {
        if (thrown.code >= CODE_EXIT && thrown.code <= CODE_BREAK) return Pending(thrown.code);
        throw;
    }
}

// if, unless or either, its condition fetched and its blocks pushed, while
// untraced: the native's kernel runs here, without its entry.
Pending run_conditional(uint8_t conditional) {
    const Cell* branch = natives::chosen_branch(Intrinsic(conditional + 1));
    if (!branch) {
        none::box();
        return Pending::none;
    }
    return run_branch(branch);
}

// The control native's arguments from the first one on fetched, and the
// native run, in its frame.
Pending fetch_and_run_control(const Cell* called, const CallPlan* plan, const PlanArgument* argument, Cursor& at,
                              const Cell* name) {
    for (const PlanArgument* end = plan_arguments(plan) + plan->arity; argument != end; argument++)
        VEK_PASS(fetch_control_arg(called, name, *argument, at));
    event(trace::EV_CALL, at.code, at.pos, called, name);
    return run_plain_native(called);
}

// A conditional whose condition, a normal argument, leaves tracing off and
// whose blocks are written in the code runs its kernel itself; anything else
// goes on as every control native does, from the argument it stopped at.
Pending run_control(const Cell* called, const CallPlan* plan, Cursor& at, const Cell* name) {
    const PlanArgument* condition = plan_arguments(plan);
    uint8_t control = control_index(called);
    if (control >= CONDITIONALS || plan->arity == 0 || condition->mode != ARG_NORMAL || !at.more())
        return fetch_and_run_control(called, plan, condition, at, name);
    VEK_PASS(eval_expression(at, {.sub = true}));
    check_plain_type(called, name, *condition, stack::top - 1);
    if (trace::tracing || !push_literal_blocks(at, condition + 1, plan->arity - 1))
        return fetch_and_run_control(called, plan, condition + 1, at, name);
    return run_conditional(control);
}

// The native held by the word at the cursor, whose value is bound. A
// control native the evaluator may call itself is called as eval_code calls
// a native plainly: the native is pushed, its frame opened, and the result
// replaces it. Any other goes to eval_word_call. No tracer listens.
[[gnu::noinline]] Pending eval_native_word(const Cell* bound, Cursor& at) {
    Cursor arguments = at;  // the position past the word, where control_plan looks
    arguments.pos++;
    const CallPlan* plan = control_plan(bound, arguments);
    if (!plan) return eval_word_call(bound, at);
    check_stack();
    Cell called = *bound;
    Cell name = *at.pos++;
    Cell* slot = stack::push(&called);
    stack::push_frame(&name, native_mark(at));
    VEK_PASS(run_control(&called, plan, at, &name));
    at.sync();
    stack::unwind();
    event(trace::EV_RETURN, at.code, at.pos, stack::top - 1, &name);
    copy_cell(slot + 1, slot);
    stack::top = slot + 1;
    return Pending::none;
}

Cell* push_value(const Cell* code, const Cell* pos, const Cell* value) {
    Cell* pushed = stack::push(value);
    event(trace::EV_PUSH, code, pos, pushed);
    return pushed;
}

// The slot a set-word writes when it is a plain store: a bound word whose
// context's values are at hand and that is no object (an object's words
// may have change handlers), else nullptr.
[[gnu::always_inline]] inline Cell* plain_store_slot(const Cell* set_word) {
    uint32_t index = word::index(set_word);
    if (int32_t(index) < 0) return nullptr;
    Node node = word::context(set_word);
    if (node == context::global) return context::global_values_base() + index;
    if (node == Node::none) return nullptr;
    const Cell* context = context::cell_of(node);
    if (!context::on_stack(context) && context::kind_of(context) == context::KIND_OBJECT) return nullptr;
    Cell* values = context::values_base(context);
    return values ? values + index : nullptr;  // none: a function context outside its call
}

// plain_value of the cell after a set-word whose slot is known: a word
// bound as the set-word is, as in a counter's step, reads that slot without
// a second look-up.
[[gnu::always_inline]] inline const Cell* plain_first_value(const Cell* set_word, const Cell* slot) {
    const Cell* cell = set_word + 1;
    bool same_word = cell_type(cell) == TYPE_WORD && word::context(cell) == word::context(set_word) &&
                     word::index(cell) == word::index(set_word);
    if (!same_word) return plain_value(cell);
    return type_in_set(cell_type(slot), IN_ACTIVE_WORD_VALUES) ? nullptr : slot;
}

// A set-word at pos whose value is a plain value, maybe followed by
// operators computed inline, stores it with no frame of its own: nothing in
// between can raise, call or be traced, and nothing allocates, so that the
// value may be computed in any cell at value; the position past the
// expression is returned.
// Anything else is left undone (nullptr) for the general path, which starts
// over: so far only cells were read.
[[gnu::always_inline]] inline const Cell* plain_store(const Cell* pos, const Cell* tail, Cell* value) {
    if (pos + 1 >= tail) return nullptr;
    Cell* slot = plain_store_slot(pos);
    const Cell* first = slot ? plain_first_value(pos, slot) : nullptr;
    if (!first || cell_type(first) == TYPE_UNSET) return nullptr;
    *value = *first;
    const Cell* next = inline_ops_from(pos + 2, tail, value);
    if (next) *slot = *value;
    return next;
}

// plain_store at the cursor, the value pushed; false with nothing pushed
// when the store is not plain. Inline in the expression step.
[[gnu::always_inline]] inline bool eval_plain_set_word(Cursor& at) {
    Cell* value = stack::push_cell();
    const Cell* next = plain_store(at.pos, at.tail, value);
    if (!next) {
        stack::top = value;
        return false;
    }
    at.pos = next;
    return true;
}

// An expression at pos that calls nothing: a plain store, or a plain value
// with the operators computed inline after it. Its value is computed in the
// cell at value and the position past it returned; nullptr when the
// expression is not plain, with nothing done.
[[gnu::always_inline]] inline const Cell* plain_expression(const Cell* pos, const Cell* tail, Cell* value) {
    if (cell_type(pos) == TYPE_SET_WORD) return plain_store(pos, tail, value);
    const Cell* first = inline_plain_value(pos);
    if (!first) return nullptr;
    *value = *first;
    return inline_ops_from(pos + 1, tail, value);
}

// A store into an object's field runs the object's change handler, which
// cannot hand a break or continue back through the store: the code comes as
// an exception and is pending again here, where the store was made.
template <class Store>
Pending handing_on_codes(Store store) {
    try {
        return store();
    } catch (const VekThrow& thrown) {
        if (thrown.code >= CODE_EXIT && thrown.code <= CODE_BREAK) return Pending(thrown.code);
        throw;
    }
}

// word::set_from_frame for the set-word, whose value has been computed
// into its frame: a plain store is written straight into its slot, looked
// up again, as the value's code may have moved it.
void store_from_frame(const Cell* set_word) {
    const Cell* value = stack::arguments + 1;
    Cell* slot = cell_type(value) == TYPE_UNSET ? nullptr : plain_store_slot(set_word);
    if (!slot) return word::set_from_frame();
    *slot = *value;
    stack::set_last(value);
}

// The cells read from the code are copied before anything is evaluated:
// the code may move or shrink the block meanwhile. Kept out of line, so that
// a plain store saves no registers for it.
[[gnu::noinline]] Pending eval_general_set_word(Cursor& at) {
    Cell set_word = *at.pos;
    if (at.pos + 1 >= at.tail) fire(err::script::need_value, &set_word);
    event(trace::EV_PUSH, at.code, at.pos, &set_word);
    stack::push_frame(&set_word, native_mark(at));
    stack::push(&set_word);
    at.pos++;
    VEK_PASS(eval_expression(at, {.sub = true}));
    event(trace::EV_SET, at.code, at.pos, stack::arguments + 1, &set_word);
    VEK_PASS(handing_on_codes([&] {
        store_from_frame(&set_word);
        return Pending::none;
    }));
    at.sync();
    stack::unwind();
    return Pending::none;
}

Pending eval_set_path(Cursor& at) {
    Cell path = *at.pos;
    if (at.pos + 1 >= at.tail) fire(err::script::need_value, &path);
    event(trace::EV_PUSH, at.code, at.pos, &path);
    stack::push_frame(set_path_word(), native_mark(at));
    at.pos++;
    VEK_PASS(eval_expression(at, {.sub = true}));
    event(trace::EV_SET, at.code, at.pos, stack::arguments, &path);
    Cursor none_after = at.narrowed(0);  // a set-path calls nothing, so takes no argument
    VEK_PASS(handing_on_codes([&] { return eval_path(&path, none_after, {.set = true}); }));
    at.sync();
    stack::unwind();
    return Pending::none;
}

bool is_system_issue(const Cell* issue) {
    uint32_t symbol = symbol::resolve(word::symbol(issue));
    return symbol == symbol::resolve(fixed_words::symbol(fixed_words::Sym::system)) ||
           symbol == symbol::resolve(fixed_words::symbol(fixed_words::Sym::system_global));
}

// A call by the word at the cursor, whose value is bound, while a tracer
// listens: the general call, with its events.
Pending eval_traced_word_call(const Cell* bound, Cursor& at) {
    Cell called = *bound;
    Cell name = *at.pos++;
    return eval_code(&called, at, {.sub = true}, nullptr, &name, APPLY_NONE);
}

// The word at the cursor, whose value is bound: pushed, or called.
Pending eval_word(Cursor& at, const Cell* bound) {
    const Cell* word = at.pos;
    switch (cell_type(bound)) {
        case TYPE_UNSET:
            fire(err::script::no_value, word);
        case TYPE_OP:
            fire(err::script::no_op_arg, word);
        case TYPE_NATIVE: case TYPE_ACTION: case TYPE_FUNCTION: case TYPE_ROUTINE:
            if (trace::tracing) return eval_traced_word_call(bound, at);
            return cell_type(bound) == TYPE_NATIVE ? eval_native_word(bound, at) : eval_word_call(bound, at);
        default:
            push_value(at.code, at.pos++, bound);
            return Pending::none;
    }
}

// The paren at the cursor, its value pushed.
[[gnu::always_inline]] inline Pending eval_paren(Cursor& at) {
    const Cell* paren = at.pos++;
    VEK_PASS(run_block(paren, {}));
    at.sync();
    return Pending::none;
}

// The value of one expression, pushed at the stack top; the infix look-ahead
// is left to the caller.
Pending eval_value(Cursor& at, bool passive) {
    const Cell* value = at.pos;
    switch (cell_type(value)) {
        case TYPE_PAREN:
            return eval_paren(at);
        case TYPE_SET_WORD:  // the untraced expression step takes plain stores itself
            return eval_general_set_word(at);
        case TYPE_SET_PATH:
            return eval_set_path(at);
        case TYPE_GET_WORD:
            push_value(at.code, at.pos++, context::get(value));
            return Pending::none;
        case TYPE_LIT_WORD: {
            Cell word = *value;
            word.header = TYPE_WORD;
            push_value(at.code, at.pos++, &word);
            return Pending::none;
        }
        case TYPE_WORD:
            return eval_word(at, context::get(value));
        case TYPE_PATH: case TYPE_GET_PATH:
            at.pos++;
            return eval_path(value, at, {.get = cell_type(value) == TYPE_GET_PATH, .sub = true});
        case TYPE_LIT_PATH: {
            Cell path = *value;
            set_type(&path, TYPE_PATH);
            push_value(at.code, at.pos++, &path);
            return Pending::none;
        }
        case TYPE_OP:
            fire(err::internal::not_done);
        case TYPE_NATIVE: case TYPE_ACTION: case TYPE_FUNCTION: case TYPE_ROUTINE: {
            if (passive) {
                push_value(at.code, at.pos++, value);
                return Pending::none;
            }
            Cell called = *value;
            at.pos++;
            return eval_code(&called, at, {.sub = true}, nullptr, nullptr, APPLY_NONE);
        }
        case TYPE_ISSUE:
            if (at.pos + 1 < at.tail && cell_type(at.pos + 1) == TYPE_BLOCK && is_system_issue(value))
                fire(err::internal::vek_system);
            push_value(at.code, at.pos++, value);
            return Pending::none;
        default:
            push_value(at.code, at.pos++, value);
            return Pending::none;
    }
}

// ---------------------------------------------------------------- operators on evaluated operands
// An operator computed inline whose right operand takes evaluating (a paren,
// a call, a path) is called as the general path calls it, frame and checks
// included, but two numbers are then computed inline rather than by the
// native or action. That takes a plain call of two normal arguments, the
// left one already of a type the operator takes.

// The operator's plan when the infix step may call it so, else nullptr.
const CallPlan* inline_call_plan(const Cell* op_value, const Cursor& at, const Cell* left) {
    if (inline_op_of(op_value) == INLINE_NONE || !is_inline_number(left) || at.pos + 1 >= at.tail) return nullptr;
    const CallPlan* plan = known_plan(inline_ops.plans[inline_op_of(op_value)], op_value);
    if (!plan || plan->arity != 2) return nullptr;
    const PlanArgument* arguments = plan_arguments(plan);
    bool normal = arguments[0].mode == ARG_NORMAL && arguments[1].mode == ARG_NORMAL;
    return normal && takes_type(arguments[0], cell_type(left)) ? plan : nullptr;
}


// The call of the operator, its operands in its frame, as the general path
// makes it: the right operand checked, the call event, then the operation,
// inline on two numbers.
Pending run_inline_call(const Cell* op_value, const Cell* name, const PlanArgument& right_argument,
                        const Cursor& at, Cell* start) {
    Cell called;
    op::unwrap(op_value, &called);
    const Cell* right = stack::top - 1;
    check_plain_type(&called, name, right_argument, right);
    event(trace::EV_CALL, at.code, at.pos, &called, name);
    if (!is_inline_number(right)) return run_plain_native(&called);
    compute_inline(inline_op_of(op_value), start, right);
    return Pending::none;
}

// The operator at the cursor on the left operand at start, which takes the
// result. The right operand may switch tracing on: the events after it
// still fire. Untraced, a number the operator takes is computed at once,
// with nothing to check and no event.
[[gnu::always_inline]] inline Pending eval_inline_call(const Cell* op_value, const CallPlan* plan, Cursor& at,
                                                      Cell* start) {
    Cell op_cell = *op_value;  // the right operand may move the context's values
    PlanArgument right_argument = plan_arguments(plan)[1];
    Cell name = *at.pos++;
    stack::top = start;
    stack::push_frame(&name, native_mark(at));
    stack::keep();
    if (cell_type(at.pos) == TYPE_PAREN)
        VEK_PASS(eval_paren(at));
    else
        VEK_PASS(eval_expression(at, {.prefix = true, .sub = true}));
    const Cell* right = stack::top - 1;
    if (!trace::tracing && is_inline_number(right) && takes_type(right_argument, cell_type(right))) {
        compute_inline(inline_op_of(&op_cell), start, right);
    } else {
        VEK_PASS(run_inline_call(&op_cell, &name, right_argument, at, start));
    }
    at.sync();
    stack::unwind();
    event(trace::EV_RETURN, at.code, at.pos, stack::top - 1, &name);
    return Pending::none;
}

// The value of the operator word at the cursor, or nullptr when no operator
// is there.
[[gnu::always_inline]] inline const Cell* operator_at(const Cursor& at) {
    return at.more() && cell_type(at.pos) == TYPE_WORD ? infix_operator(at.pos) : nullptr;
}

// The operator at the cursor, whose value is op_value, when the infix step
// does not compute it inline: the right operand takes evaluating, or a
// tracer listens, or the operator is no boot operator on numbers.
Pending call_operator(const Cell* op_value, Cursor& at, Cell* start) {
    if (const CallPlan* plan = trace::tracing ? nullptr : inline_call_plan(op_value, at, start))
        return eval_inline_call(op_value, plan, at, start);
    event(trace::EV_FETCH, at.code, at.pos, at.pos);
    Cell called;
    op::unwrap(op_value, &called);
    Cell name = *at.pos++;
    stack::top = start;
    return eval_code(&called, at, {.sub = true, .infix = true}, nullptr, &name, APPLY_NONE);
}

// The operators computed inline from the cursor on; the value of the first
// that is not, or nullptr when no other operator follows. Computing them
// runs no code, so the flag is tested once, before the first.
[[gnu::always_inline]] inline const Cell* eval_inline_ops(Cursor& at, Cell* start) {
    const Cell* op_value = operator_at(at);
    while (op_value && !trace::tracing && eval_inline_op(op_value, at, start)) op_value = operator_at(at);
    return op_value;
}

// The operator at the cursor, whose value is op_value and which the infix
// step does not compute inline, and those after it. Operators apply
// strictly from left to right: each takes the value so far, at start, as
// its left operand and leaves its result there.
[[gnu::noinline]] Pending eval_operators(const Cell* op_value, Cursor& at, Cell* start) {
    do {
        VEK_PASS(call_operator(op_value, at, start));
    } while ((op_value = eval_inline_ops(at, start)));
    return Pending::none;
}

// The operators after the value at start. Those computed inline on numbers
// are computed here, inline in the expression step, each operator word
// looked up once; the first other one goes with the rest to eval_operators.
[[gnu::always_inline]] inline Pending eval_infix(Cursor& at, Cell* start) {
    const Cell* op_value = eval_inline_ops(at, start);
    return op_value ? eval_operators(op_value, at, start) : Pending::none;
}

}  // namespace

// Kept out of line, so that the untraced path stays lean.
Pending eval_traced_expression(Cursor& at, ExprFlags flags) {
    Cell* start = stack::top;
    uint32_t expression = at.index();
    event(trace::EV_FETCH, at.code, at.pos, at.pos);
    VEK_PASS(eval_value(at, flags.passive));
    if (!flags.prefix) {
        VEK_PASS(eval_infix(at, start));
    }
    if (!flags.sub) {
        stack::set_last_only(start);
        event(trace::EV_EXPR, at.code, at.base + expression, stack::arguments);
    }
    return Pending::none;
}

namespace {

bool callback_traced(CallbackClass callback) {
    if (callback == CALL_EVALUATOR) return true;
    const Cell* bits = system_fields::callback_bits();
    return cell_type(bits) == TYPE_INTEGER && (uint32_t(integer::get(bits)) & callback) != 0;
}

// Whether a function runs traced: its attributes first, then whether a
// callback of its class is traced.
bool tracing_for(const Cell* function, CallbackClass callback) {
    if (function->header & function::FLAG_NO_TRACE) return false;
    if (function->header & function::FLAG_TRACE) return trace::installed;
    return trace::tracing && callback_traced(callback);
}

}  // namespace

void check_stack() {
    if (platform::stack_short_of(STACK_RESERVE)) fire(err::internal::stack_overflow);
}

namespace {

uint32_t body_mark(const Cursor& at) { return at.library ? stack::KIND_EVAL : stack::MARK_EVAL; }

// The rest of the block, in the <body> frame opened for it.
Pending run_in_body_frame(Cursor& at, PositionScope& scope, BlockFlags flags) {
    bool top = series_node(at.code) == top_level.code;
    while (at.more()) {
        if (top && scrub_due()) gc::scrub_stack();
        scope.at(at);
        stack::reset();
        VEK_PASS(eval_expression(at));
    }
    event(trace::EV_EXIT, at.code, at.pos, stack::arguments);
    if (flags.chain)
        stack::unwind_last();
    else
        stack::unwind();
    return Pending::none;
}

// Ends the top level when the evaluation of its block ends, whichever way:
// a later evaluation of that block, or of another one that took its node,
// is no top level.
class TopLevelRun {
public:
    explicit TopLevelRun(Node code) : top_(code == top_level.code) {}
    ~TopLevelRun() {
        if (top_) top_level.code = Node::none;
    }
    TopLevelRun(const TopLevelRun&) = delete;
    TopLevelRun& operator=(const TopLevelRun&) = delete;

private:
    bool top_;
};

// A block in a <body> frame of its own: the path that tracers see, and the
// script's top level, which scrubs the stack between its expressions.
[[gnu::noinline]] Pending eval_framed_block(const Cell* block, BlockFlags flags) {
    TopLevelRun run(series_node(block));
    Cell code = *block;
    Cursor at = Cursor::at(&code, series_index(&code));
    stack::push_frame(body_word(), body_mark(at));
    make_unset(stack::push_cell());
    PositionScope scope(at);
    event(trace::EV_ENTER, &code, at.pos, nullptr);
    return run_in_body_frame(at, scope, flags);
}

// The rest of a block run that a tracer joined: the expression just ended
// is reported, then each one after it is taken with its events, then the
// block's exit.
[[gnu::noinline]] Pending run_traced_rest(Cursor& at, PositionScope& scope, Cell* result) {
    for (;;) {
        event(trace::EV_EXPR, at.code, at.base + scope.expression(), result);
        if (!at.more()) break;
        scope.at(at);
        stack::top = result;
        VEK_PASS(eval_expression(at, {.sub = true}));
    }
    event(trace::EV_EXIT, at.code, at.pos, result);
    return Pending::none;
}

// The expressions from the cursor, which stands at one, to the tail, each
// started in the result cell. The scope stands at the first already and
// moves to each next one, staying at the last once the block ends. The
// flag is tested once after each expression: while it stays off, the next
// expression takes no test of its own and the block's end fires no exit
// event; once a tracer listens, run_traced_rest takes over.
[[gnu::always_inline]] inline Pending run_expressions(Cursor& at, PositionScope& scope, Cell* result, Entry entry) {
    stack::top = result;
    if (entry == Entry::untraced)
        VEK_PASS(eval_untraced_expression(at, {.sub = true}));
    else
        VEK_PASS(eval_expression(at, {.sub = true}));
    for (;;) {
        if (trace::tracing) [[unlikely]]
            return run_traced_rest(at, scope, result);
        if (!at.more()) return Pending::none;
        scope.at(at);
        stack::top = result;
        VEK_PASS(eval_untraced_expression(at, {.sub = true}));
    }
}

// Untraced, a block runs in the frame that is already there: nothing can
// see a <body> frame but a tracer, which lists no such frame either, and
// break, continue and return look only for loop frames and return targets.
// The block still takes the room a frame would (a count towards the frame
// limit, and a result cell, where each expression starts), so that deep
// recursion ends where it did. That cell lies above whatever the frame holds
// (a function's arguments and locals). A tracer switched on by an expression
// hears the events that follow it.
// The run from the cursor, whose code cell stays put meanwhile.
[[gnu::always_inline]] inline Pending run_untraced(Cursor& at, BlockFlags flags, Entry entry) {
    stack::CountedFrame counted;
    Cell* result = stack::push_cell();
    PositionScope scope(at);
    if (at.more()) {
        VEK_PASS(run_expressions(at, scope, result, entry));
    } else {
        make_unset(result);
        event(trace::EV_EXIT, at.code, at.pos, result);
    }
    if (flags.chain) copy_cell(result, stack::arguments);
    return Pending::none;
}

// Code that calls nothing (plain values and plain stores, each maybe
// followed by operators computed inline: a counter's step, a loop's
// condition, a branch's value) raises nothing, is not traced and never has
// its position read; nor does it allocate or edit a block.

// The block's expressions from the cursor, computed in the cell at result
// while they are such code: true when they all were, else the cursor
// stands at the first other one.
[[gnu::always_inline]] inline bool run_plain_expressions(Cursor& at, Cell* result) {
    do {
        const Cell* next = plain_expression(at.pos, at.tail, result);
        if (!next) return false;
        at.pos = next;
    } while (at.more());
    return true;
}

// How much of a block run_plain_first ran as code that calls nothing.
enum class PlainRun : uint8_t { none, some, all };

// Untraced, the block's expressions run here while they are such code, in
// the result cell, without the block's frame count and position, which
// nothing could see; from the first other one on, run_untraced runs the
// rest. A full frame stack still overflows here. For loops' blocks, which
// are most often such code.
[[gnu::always_inline]] inline Pending run_plain_first(Cursor& at, PlainRun& ran) {
    ran = PlainRun::none;
    if (!at.more() || trace::tracing || stack::frames_top >= stack::frames_limit) [[unlikely]]
        return run_untraced(at, {.chain = true}, Entry::tracing_unknown);
    Cell* result = stack::push_cell();
    const Cell* start = at.pos;
    if (run_plain_expressions(at, result)) {
        ran = PlainRun::all;
        copy_cell(result, stack::arguments);
        return Pending::none;
    }
    if (at.pos != start) ran = PlainRun::some;
    stack::top = result;
    return run_untraced(at, {.chain = true}, Entry::untraced);
}

[[gnu::always_inline]] inline Pending eval_untraced_block(const Cell* block, BlockFlags flags) {
    Cell code = *block;
    Cursor at = Cursor::at(&code, series_index(&code));
    return run_untraced(at, flags, Entry::untraced);
}

}  // namespace

// The block, which ran all as plain code from the cursor, again. Its value
// is computed in a cell of the machine stack (such code allocates nothing,
// so no collection can come), with no result cell pushed: the step before
// pushed and took back one at the same top, so none would overflow, and the
// loop cuts the frame back at its next step.
[[gnu::always_inline]] inline Pending LoopBlocks::run_plain_again(const Cursor& start) {
    Cursor at = start;
    Cell result;
    if (run_plain_expressions(at, &result)) [[likely]] {
        copy_cell(&result, stack::arguments);
        return Pending::none;
    }
    forget_plain_runs();
    return run_untraced(at, {.chain = true}, Entry::tracing_unknown);
}

// A loop's block, untraced: a block cell that stays put while the loop runs
// (the loop native's own argument), read where it is. A block whose first
// expression was not plain code is run as any block from then on, without
// the test. A block that ran all as plain code keeps its cursor: until code
// of another kind runs, nothing moves or edits its cells, and its next run
// starts from that cursor with nothing to look up or test first.
[[gnu::always_inline]] inline Pending LoopBlocks::run_untraced_block(const Cell* block) {
    if (block == plain_[0].block) return run_plain_again(plain_[0].start);
    if (block == plain_[1].block) return run_plain_again(plain_[1].start);
    Cursor at = Cursor::at(block, series_index(block));
    if (block == not_plain_[0] || block == not_plain_[1]) {
        forget_plain_runs();
        return run_untraced(at, {.chain = true}, Entry::tracing_unknown);
    }
    Cursor start = at;
    PlainRun ran;
    Pending p = run_plain_first(at, ran);
    if (ran == PlainRun::none) not_plain_[block == not_plain_[0] ? 1 : 0] = block;
    if (ran == PlainRun::all)
        remember_plain_run(block, start);
    else
        forget_plain_runs();
    return p;
}

void LoopBlocks::remember_plain_run(const Cell* block, const Cursor& start) {
    plain_[plain_[0].block ? 1 : 0] = {block, start};
}

namespace {

// Whether eval_block runs the block in a frame of its own.
bool runs_framed(const Cell* block) { return trace::tracing || series_node(block) == top_level.code; }

// eval_block's work once the machine stack has been checked at about this
// depth: a function's body, whose call checked it.
[[gnu::always_inline]] inline Pending run_checked_block(const Cell* block, BlockFlags flags) {
    if (runs_framed(block)) [[unlikely]]
        return eval_framed_block(block, flags);
    return eval_untraced_block(block, flags);
}

// eval_block's work, inline where a paren runs.
[[gnu::always_inline]] inline Pending run_block(const Cell* block, BlockFlags flags) {
    check_stack();
    return run_checked_block(block, flags);
}

}  // namespace

Pending eval_block(const Cell* block, BlockFlags flags) { return run_block(block, flags); }

// A step's block, in the frame cut back to its result cell; inline in the
// loops run here, so that a step calls nothing but its expressions.
[[gnu::always_inline]] inline Pending LoopBlocks::run_step(const Cell* block) {
    stack::keep();
    if (path_ != Path::untraced) [[unlikely]]
        return choose_and_run(block);
    return run_untraced_block(block);
}

// The rule every loop's step ends by: a break ends the loop with nothing
// pending, a return or exit ends it with that code, and a normal end or a
// continue goes on.
bool ends_loop(Pending p) { return p == Pending::brk || p == Pending::ret || p == Pending::exit; }
Pending loop_outcome(Pending p) { return p == Pending::brk ? Pending::none : p; }

LoopBlocks::Step LoopBlocks::step(const Cell* body) {
    forget_plain_runs();  // the native runs its own code between the steps
    Pending p = run_step(body);
    if (!ends_loop(p)) return p == Pending::cont ? Step::continued : Step::ran;
    outcome_ = loop_outcome(p);
    return Step::ended;
}

Pending LoopBlocks::run_while(const Cell* condition, const Cell* body) {
    for (;;) {
        Pending p = run_step(condition);
        if (p == Pending::brk || p == Pending::cont) fire(err::throw_::while_cond);
        if (p != Pending::none) return p;
        if (!logic::result_true_strict()) return Pending::none;
        p = run_step(body);
        if (ends_loop(p)) return loop_outcome(p);
    }
}

Pending LoopBlocks::run_counted(const Cell* body, int32_t count, natives::LoopWord* word) {
    for (int32_t done = 0; done < count; ++done) {
        if (word) {
            Cell number = integer::cell(done + 1);
            word->set(&number);
            if (!word->sets_plainly()) forget_plain_runs();
        }
        Pending p = run_step(body);
        if (ends_loop(p)) return loop_outcome(p);
    }
    return Pending::none;
}

Pending LoopBlocks::run_foreach(const Cell* body, uint32_t n, bool multi, natives::LoopWord& word) {
    for (;;) {
        stack::keep();
        if (!(multi ? natives::foreach_next_multi(n) : natives::foreach_next(word))) return Pending::none;
        forget_plain_runs();
        Pending p = run_step(body);
        if (ends_loop(p)) return loop_outcome(p);
    }
}

// The first run takes the path eval_block takes; then a loop that started
// untraced runs its blocks without the machine stack's check, at the depth
// where the first run made it. The first untraced run reads the block where
// the loop holds it, as the later ones do, with the path already tested.
[[gnu::noinline]] Pending LoopBlocks::choose_and_run(const Cell* block) {
    if (path_ == Path::unchosen) path_ = runs_framed(block) ? Path::general : Path::untraced;
    if (path_ == Path::general) return eval_block(block, {.chain = true});
    check_stack();
    return run_untraced_block(block);
}

// Untraced, plain values skip the general value step, and a word whose value
// is at hand is looked up once. Code run by the expression may switch
// tracing on, so the events after it still test the flag.
Pending eval_untraced_expression(Cursor& at, ExprFlags flags) {
    Cell* start = stack::top;
    uint32_t expression = at.index();
    uint32_t type = cell_type(at.pos);
    const Cell* bound = type == TYPE_WORD ? value_at_hand(at.pos) : nullptr;
    bool operators_taken = false;  // by a plain set-word's walk, which takes them all
    if (bound && !type_in_set(cell_type(bound), IN_ACTIVE_WORD_VALUES)) {
        stack::push(bound);
        at.pos++;
    } else if (bound && cell_type(bound) == TYPE_FUNCTION) {
        VEK_PASS(eval_word_call(bound, at));
    } else if (bound && cell_type(bound) == TYPE_NATIVE) {
        VEK_PASS(eval_native_word(bound, at));
    } else if (bound) {
        VEK_PASS(eval_word(at, bound));
    } else if (!type_in_set(type, IN_ACTIVE_TYPES)) {
        stack::push(at.pos++);
    } else if (type == TYPE_PAREN) {
        VEK_PASS(eval_paren(at));
    } else if (type == TYPE_SET_WORD) {
        operators_taken = eval_plain_set_word(at);
        if (!operators_taken) VEK_PASS(eval_general_set_word(at));
    } else {
        VEK_PASS(eval_value(at, flags.passive));
    }
    if (!flags.prefix && !operators_taken) {
        VEK_PASS(eval_infix(at, start));
    }
    if (!flags.sub) {
        stack::set_last_only(start);
        event(trace::EV_EXPR, at.code, at.base + expression, stack::arguments);
    }
    return Pending::none;
}

namespace {

[[gnu::noinline]] Pending eval_framed_next(Cursor& at, NextFlags flags) {
    stack::push_frame(body_word(), native_mark(at));
    PositionScope scope(at);
    VEK_PASS(eval_expression(at));
    if (flags.sub)
        stack::unwind();
    else
        stack::unwind_last();
    return Pending::none;
}

}  // namespace

// Untraced, without a frame, as eval_block runs a block: the expression
// starts where the frame's result cell would be.
Pending eval_next(Cursor& at, NextFlags flags) {
    if (trace::tracing) return eval_framed_next(at, flags);
    stack::CountedFrame counted;
    PositionScope scope(at);
    Cell* result = stack::top;
    VEK_PASS(eval_expression(at, {.sub = true}));
    event(trace::EV_EXPR, at.code, at.base + scope.expression(), result);
    if (!flags.sub) copy_cell(result, stack::arguments);
    return Pending::none;
}

Pending eval_next_index(const Cell* block, uint32_t* index) {
    Cell code = *block;
    set_series_index(&code, *index);
    Cursor at = Cursor::at(&code, *index);
    if (!at.more()) {
        make_unset(stack::arguments);
        return Pending::none;
    }
    VEK_PASS(eval_next(at));
    *index = at.index();
    return Pending::none;
}

// ---------------------------------------------------------------- calls

namespace {

// push_plain_argument, inline where a prefix call fetches its arguments.
[[gnu::always_inline]] inline bool push_plain(Cursor& at, bool infix) {
    const Cell* first = inline_plain_value(at.pos);
    if (!first) return false;
    Cell value = *first;
    const Cell* next = infix ? at.pos + 1 : inline_ops_from(at.pos + 1, at.tail, &value);
    if (!next) return false;
    stack::push(&value);
    at.pos = next;
    return true;
}

}  // namespace

bool push_plain_argument(Cursor& at, bool infix) { return push_plain(at, infix); }

namespace {

uint32_t call_mark(uint32_t type, bool library) {
    if (type == TYPE_FUNCTION) return library ? stack::MARK_CALL : stack::MARK_FUNCTION_INTERP;
    return library ? stack::MARK_NATIVE : stack::MARK_NATIVE_INTERP;
}

constexpr uint32_t TRACE_ATTRIBUTES = function::FLAG_TRACE | function::FLAG_NO_TRACE;

// An interpreted function's body, between its prolog and epilog events.
[[gnu::always_inline]] inline Pending run_body(const Cell& function, const Cell* name) {
    Cell body = *function::body(&function);
    event(trace::EV_PROLOG, &body, nullptr, &function, name);
    Pending p = Pending::none;
    if (cell_type(&body) == TYPE_BLOCK)
        p = run_checked_block(&body, {.chain = true});
    else
        make_unset(stack::arguments);
    event(trace::EV_EPILOG, &body, nullptr, &function, name);
    return p;
}

// The body of a function whose attributes or callback class decide whether
// it runs traced; the tracing state comes back after it. Kept out of line,
// so that the evaluator's plain calls keep the state as it is for nothing.
[[gnu::noinline]] Pending run_body_traced_for(const Cell& function, const Cell* name, CallbackClass callback) {
    trace::Scope traced(tracing_for(&function, callback));
    return run_body(function, name);
}

// call_function's work on an interpreted function, a cell that stays put
// meanwhile; inline in the evaluator's own calls.
[[gnu::always_inline]] inline Pending run_function(const Cell& function, const Cell* name, CallbackClass callback) {
    // The context's words read this call's cells while it runs.
    Node context = function::context_node(&function);
    Cell* context_cell = context::cell_of(context);
    stack::CallFrame* frame = stack::frames_top - 1;
    frame->function_context = context;
    frame->saved_values = context::stack_values(context_cell);
    context::set_stack_values(context_cell, region::off_unchecked(stack::arguments));

    bool callback_events = callback != CALL_EVALUATOR && callback_traced(callback);
    if (callback_events) trace::fire_call(&function, name);
    // The frame stack never moves: the frame stays put while the body runs,
    // and is the top frame again when it ends.
    frame->header |= stack::FRAME_RETURN_TARGET;
    bool keeps_tracing = callback == CALL_EVALUATOR && !(function.header & TRACE_ATTRIBUTES);
    Pending p = keeps_tracing ? run_body(function, name) : run_body_traced_for(function, name, callback);
    // break and continue have already left this frame, and its context was
    // restored on the way.
    if (p == Pending::brk || p == Pending::cont) return p;
    if (p != Pending::none) returns++;
    // The evaluator pops the frame next, which takes the flag with it.
    if (callback != CALL_EVALUATOR) frame->header &= ~stack::FRAME_RETURN_TARGET;
    context::set_stack_values(context::cell_of(context), frame->saved_values);
    if (callback_events) trace::fire_return(name);
    return Pending::none;
}

// A function's part once its arguments are in its frame: it gets its
// locals and its body runs. Inline in the plain call step, as most plain
// calls of user code call a function.
[[gnu::always_inline]] inline Pending run_plain_function(const Cell* function, const CallPlan* plan,
                                                         const Cursor& at, const Cell* frame_name, const Cell* ref) {
    // Most functions have neither refinements nor locals: each is tested here
    // before a call to push them.
    if (plan->absent != 0) push_absent(plan);
    event(trace::EV_CALL, at.code, at.pos, function, ref);
    if (plan->locals > 0) function::init_locals(plan->locals);
    return run_function(*function, frame_name, CALL_EVALUATOR);
}

// Any other callable's part: a native or action runs, a routine gets its
// locals and runs.
Pending run_plain(const Cell* function, const CallPlan* plan, const Cursor& at, const Cell* ref) {
    if (cell_type(function) == TYPE_ROUTINE) {
        push_absent(plan);
        event(trace::EV_CALL, at.code, at.pos, function, ref);
        function::init_locals(plan->locals);
        routine::call(function);
        return Pending::none;
    }
    event(trace::EV_CALL, at.code, at.pos, function, ref);
    return run_plain_native(function);
}

// The call's frame goes; its result replaces the called value pushed before
// it (CallFlags::sub) or becomes the current frame's result.
[[gnu::always_inline]] inline void end_call(Cursor& at, CallFlags flags, Cell* slot, const Cell* ref) {
    at.sync();
    if (flags.sub) {
        stack::unwind();
    } else {
        stack::unwind_last();
        stack::keep();
    }
    event(trace::EV_RETURN, at.code, at.pos, flags.sub ? stack::top - 1 : stack::arguments, ref);
    if (slot && flags.sub) {
        copy_cell(slot + 1, slot);
        stack::top = slot + 1;
    }
}

// The plan of a call that may take the plain path: no path, no apply, no
// tracer listening, a callable other than an operator, and its plan built.
const CallPlan* plain_call_plan(const Cell* called, const Cell* path, ApplyMode apply) {
    if (path || apply != APPLY_NONE || trace::tracing) return nullptr;
    uint32_t type = cell_type(called);
    if (type != TYPE_NATIVE && type != TYPE_ACTION && type != TYPE_FUNCTION && type != TYPE_ROUTINE) return nullptr;
    return plain_plan(called);
}

// A prefix call's arguments by the plan: those written as plain values
// are pushed and checked here, inline in the call step, as no code runs
// for them and tracing stays off; from the first other one on,
// fetch_plain_args takes over.
[[gnu::always_inline]] inline Pending fetch_call_args(const Cell* called, const CallPlan* plan, Cursor& at,
                                                      const Cell* name) {
    const PlanArgument* argument = plan_arguments(plan);
    for (const PlanArgument* end = argument + plan->arity; argument != end; argument++) {
        if (argument->mode != ARG_NORMAL || !at.more() || !push_plain(at, false))
            return fetch_plain_args_from(called, plan, argument, at, false, name);
        check_plain_type(called, name, *argument, stack::top - 1);
    }
    return Pending::none;
}

// A call with no refinement named and no tracer at its start: the general
// call's steps in the same order, fetching the arguments by the plan. The
// plan's bytes never change, and the stack scan keeps its buffer in place
// while this frame points into it. The value called is a copy that stays
// put meanwhile; the frame is named frame_name and the call reported by ref.
// Inline in both kinds of call site, so that a word's call tests nothing
// about its name.
[[gnu::always_inline]] inline Pending run_plain_call(const Cell* function, const CallPlan* plan, Cursor& at,
                                                     CallFlags flags, const Cell* frame_name, const Cell* ref) {
    check_stack();
    Cell* slot = flags.infix ? nullptr : stack::push(function);
    stack::push_frame(frame_name, call_mark(cell_type(function), at.library));
    if (flags.infix) stack::keep();  // the left operand is the frame's first argument
    if (flags.infix)
        VEK_PASS(fetch_plain_args(function, plan, at, true, frame_name));
    else
        VEK_PASS(fetch_call_args(function, plan, at, frame_name));
    if (cell_type(function) == TYPE_FUNCTION)
        VEK_PASS(run_plain_function(function, plan, at, frame_name, ref));
    else
        VEK_PASS(run_plain(function, plan, at, ref));
    end_call(at, flags, slot, ref);
    return Pending::none;
}

Pending eval_plain_call(const Cell* called, const CallPlan* plan, Cursor& at, CallFlags flags, const Cell* name) {
    Cell function = *called;
    const Cell* frame_name = name && cell_type(name) == TYPE_WORD ? name : anon_word();
    // An unnamed call is reported by the value called.
    return run_plain_call(&function, plan, at, flags, frame_name, frame_name == name ? name : &function);
}

// Every other call: refinements named by a path or apply, an operator that
// apply calls, a tracer listening, or a callable's first call, which builds
// its plan. Kept out of line, so that plain calls save no registers for it.
[[gnu::noinline]] Pending eval_general_call(const Cell* called, Cursor& at, CallFlags flags, const Cell* path,
                                            const Cell* name, ApplyMode apply, uint32_t path_rest) {
    check_stack();
    Cell function = *called;
    // An operator called as a function (apply) runs what it wraps.
    if (cell_type(&function) == TYPE_OP) op::unwrap(called, &function);
    if (!is_callable(cell_type(&function))) fire(err::internal::not_done);
    const Cell* frame_name = name && cell_type(name) == TYPE_WORD ? name : anon_word();
    // An unnamed call is reported by the value called.
    const Cell* ref = frame_name == name ? name : &function;
    if (trace::tracing) {
        if (flags.infix) stack::top++;  // the left operand stays visible to the tracer
        trace::fire_event(trace::EV_OPEN, at.code, at.pos, frame_name, nullptr);
        if (flags.infix) stack::top--;
    }
    Cell* slot = flags.infix ? nullptr : stack::push(&function);
    uint32_t type = cell_type(&function);
    stack::push_frame(frame_name, call_mark(type, at.library));
    if (flags.infix) stack::keep();  // the left operand is the frame's first argument
    VEK_PASS(fetch_args(&function, at, path, path_rest, apply, flags.infix, frame_name, ref));
    if (type == TYPE_ROUTINE) routine::call(&function);
    if (type == TYPE_FUNCTION) {
        VEK_PASS(call_function(&function, frame_name, CALL_EVALUATOR));
    }
    end_call(at, flags, slot, ref);
    return Pending::none;
}

}  // namespace

Pending eval_code(const Cell* called, Cursor& at, CallFlags flags, const Cell* path, const Cell* name,
                  ApplyMode apply, uint32_t path_rest) {
    if (const CallPlan* plan = plain_call_plan(called, path, apply)) return eval_plain_call(called, plan, at, flags, name);
    return eval_general_call(called, at, flags, path, name, apply, path_rest);
}

namespace {

// A call by the word at the cursor, whose value is bound: it names the
// call's frame and reports it. No path, no apply, no tracer listening (the
// caller has found none), and a callable other than an operator, as
// eval_code would find. The value called and the word are copied first,
// into cells that stay put while the call runs and go with it.
[[gnu::noinline]] Pending eval_word_call(const Cell* bound, Cursor& at) {
    Cell called = *bound;
    Cell name = *at.pos++;
    if (const CallPlan* plan = plain_plan(&called))
        return run_plain_call(&called, plan, at, {.sub = true}, &name, &name);
    return eval_general_call(&called, at, {.sub = true}, nullptr, &name, APPLY_NONE, 1);
}

}  // namespace

Pending call_function(const Cell* called, const Cell* name, CallbackClass callback) {
    check_stack();
    Cell function = *called;
    const Cell* code = function::internal(&function) + function::INTERNAL_CODE;
    if (cell_type(code) == TYPE_INTEGER && integer::get(code) != 0) fire(err::internal::not_done);
    return run_function(function, name, callback);
}

Cell* last_value() { return stack::top > stack::arguments ? stack::top - 1 : stack::arguments; }

Cell* word_value(const Cell* word) {
    Cell* value = context::get(word);
    if (cell_type(value) == TYPE_UNSET) fire(err::script::no_value, word);
    return value;
}

void set_word_to_last(Cell* word) {
    Cell value = *last_value();
    if (cell_type(&value) == TYPE_UNSET) fire(err::script::need_value, word);
    context::set(word, &value);
}

void print_error(err::AnyId id, const Cell* arg1, const Cell* arg2, const Cell* arg3) {
    stack::mark_native(anon_word());
    error::create(id, arg1, arg2, arg3);
    error::print(stack::arguments);
    make_unset(stack::arguments);
    stack::unwind();
}

Cell current_position() { return PositionScope::current(); }

void set_top_level(const Cell* code) {
    top_level = {code ? series_node(code) : Node::none, 0, memory::collection_cycle};
}

uint64_t returns_handled() { return returns; }

void raise_pending(Pending pending) {
    if (pending != Pending::none) machine_throw(uint32_t(pending));
}

void init() {
    trace::init();
    inline_ops_known = false;
    gc::add_root("evaluator's boot operators", mark_inline_ops);
    gc::add_root("evaluator's boot control natives", mark_control_natives);
    image_state::keep("boot operators", inline_ops.boot);
    image_state::keep("boot operators by action", inline_ops.by_action);
    image_state::keep("boot operators by native", inline_ops.by_native);
    image_state::keep("boot operators known", inline_ops_known);
    image_state::keep("boot control natives", control_natives.boot);
    image_state::keep("boot control natives by native", control_natives.by_native);
}

namespace {

// The boot value of the global word.
Cell boot_value(const char* word) { return *context::get_global_cell(symbol::make(word)); }

// The arithmetic actions among the inline operators, by their slots.
void remember_inline_actions() {
    for (const boot_table::ActionEntry& entry : boot_table::action_entries)
        for (const InlineAction& action : INLINE_ACTIONS)
            if (entry.slot == action.slot && action.slot < std::size(inline_ops.by_action)) {
                inline_ops.boot[action.op] = boot_value(entry.name);
                inline_ops.by_action[action.slot] = action.op;
            }
}

// The comparisons among the inline operators and the control natives, by
// natives.def's intrinsic column.
void remember_intrinsic_natives() {
    for (uint32_t i = 0; i < natives::NATIVE_COUNT; i++) {
        Intrinsic intrinsic = natives::INTRINSICS[i];
        uint32_t position = i + 1;
        if (intrinsic == Intrinsic::none || position >= std::size(control_natives.by_native)) continue;
        Cell value = boot_value(boot_table::native_entries[i].name);
        if (intrinsic >= Intrinsic::equal) {
            uint8_t op = uint8_t(INLINE_EQUAL + (uint8_t(intrinsic) - uint8_t(Intrinsic::equal)));
            inline_ops.boot[op] = value;
            inline_ops.by_native[position] = op;
        } else {
            uint8_t control = uint8_t(intrinsic) - 1;
            control_natives.boot[control] = value;
            control_natives.by_native[position] = control;
        }
    }
}

// Each boot operator takes the tag of the native or action it calls.
void tag_boot_operators() {
    for (const boot_table::OperatorEntry& entry : boot_table::operator_entries) {
        Cell* value = context::get_global_cell(symbol::make(entry.name));
        Cell source;
        op::unwrap(value, &source);
        op::set_inline_tag(value, inline_tag_for(&source));
    }
}

}  // namespace

void remember_boot_values() {
    std::fill(std::begin(inline_ops.by_action), std::end(inline_ops.by_action), INLINE_NONE);
    std::fill(std::begin(inline_ops.by_native), std::end(inline_ops.by_native), INLINE_NONE);
    for (KnownPlan& plan : inline_ops.plans) plan.known = false;
    std::fill(std::begin(control_natives.by_native), std::end(control_natives.by_native), CONTROL_NONE);
    std::fill(std::begin(control_natives.modes), std::end(control_natives.modes), MODES_UNREAD);
    for (KnownPlan& plan : control_natives.plans) plan.known = false;
    remember_inline_actions();
    remember_intrinsic_natives();
    inline_ops_known = true;
    tag_boot_operators();
}

uint32_t inline_tag_for(const Cell* source) { return uint8_t(boot_inline_op(source) + 1); }

}  // namespace vek::eval
