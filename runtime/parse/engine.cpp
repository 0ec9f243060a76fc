// The parse state machine: one loop that fetches rule values, interprets
// them, and completes the pending operations on the rule stack (stacks.h)
// when a rule value or a rule block finishes. Nothing here recurses per rule
// level: entering a rule block pushes a frame and leaving it pops one.
//
// The engine's own state (the rule block under way and its position, the
// input and its position) lives in the Engine record, a C++ local that the
// collector's stack scan sees; positions are indexes, re-read against the
// buffers after anything that runs Vek code (a paren, the callback, an edit
// of the input).
#include "runtime/parse/parse.h"

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/triple.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/eval/evaluator.h"
#include "runtime/eval/stack.h"
#include "runtime/parse/internal.h"
#include "runtime/parse/stacks.h"

namespace vek::parse {

namespace {

using fixed_words::Word;

// What the loop does next.
enum class Step : uint8_t {
    fetch,     // fetch and interpret the next rule value
    complete,  // a rule finished with Engine::match: finish the pending operations
    done,      // the outermost block finished, or the callback stopped parsing
    abort,     // a paren left a pending code (Engine::pending)
};

struct Engine {
    Input in;
    Cell rule;             // the rule block under way
    uint32_t rpos;         // its next value, from the buffer's first cell
    uint32_t frame;        // its block frame on the rule stack
    uint32_t base;         // the outermost block frame
    uint32_t input_base;   // the input stack's length when this parse started
    bool match;            // the result of the last rule
    Mode mode;
    Cell callback;         // the /trace function, none! without
    bool tracing;
    bool stopped;          // the callback answered something other than true
    int64_t collect_frame; // the innermost collect operation, -1: none
    int64_t break_frame;   // the iteration that break or reject stops, -1: none
    bool rejected;         // ... by reject
    Cell collected;        // a collect's block made the result; unset! until then
    Pending pending;
    // Counts what may change the outcome of a rule matched again at the same
    // place (parens, callbacks, edits of the input): a while step that
    // consumed nothing while it stayed the same would repeat forever.
    int32_t effects;
    // How far the engine's own edits (insert, remove, change) moved the
    // position without it consuming anything, modulo 2^32: an iteration
    // step progresses when its position moved by more than that.
    uint32_t shift;
};

uint32_t clamp_index(int64_t index, uint32_t length) {
    return index < 0 ? 0 : index > int64_t(length) ? length : uint32_t(index);
}

uint32_t input_depth(const Engine& e) { return input_length() - e.input_base; }

Cell logic_cell(bool flag) { return *logic::constant(flag); }

SeriesBuffer* rule_buffer(const Engine& e) { return series_buffer(&e.rule); }

// ---------------------------------------------------------------- the callback

// Calls the /trace function with the event, the match result, the rule block
// at the position, the input at its position and the rule stack. Answers
// whether parsing goes on (the function answered true).
bool event(Engine& e, Word name, uint32_t position) {
    Cell values[5];
    values[0] = *fixed_words::word(name);
    values[1] = logic_cell(e.match);
    values[2] = e.rule;
    set_series_index(&values[2], std::min(position, rule_buffer(e)->length()));
    values[3] = e.in.at(e.in.pos);
    values[4] = *rule_stack();
    Cell function = e.callback;
    const Cell* tag = fixed_words::word(Word::parse_callback_tag);
    e.effects++;
    Cell* saved_top = stack::top;
    eval::push_callback_call(&function, tag, values, 5);
    Pending pending = eval::call_function(&function, tag, eval::CALL_PARSE);
    if (pending != Pending::none) eval::raise_pending(pending);
    Cell answer = *stack::arguments;
    stack::unwind_function_drop();
    stack::top = saved_top;
    e.in.clamp();
    bool go_on = cell_type(&answer) == TYPE_LOGIC && logic::get(&answer);
    if (!go_on) e.stopped = true;
    return go_on;
}

// The event at the current rule position; false when parsing stops.
bool traced(Engine& e, Word name) { return !e.tracing || event(e, name, e.rpos); }

// ---------------------------------------------------------------- parens and values

// Evaluates a paren; its value goes into *value. The input and the rule
// block are re-read by everyone afterwards (clamped here for the input).
Pending eval_paren(Engine& e, const Cell* paren, Cell* value) {
    e.effects++;
    Cell* saved_top = stack::top;
    Cell code = *paren;
    VEK_PASS(eval::eval_block(&code));
    *value = *eval::last_value();
    stack::top = saved_top;
    e.in.clamp();
    return Pending::none;
}

// The next rule value, which the keyword needs (parse-end when the block
// ends or an alternative starts there).
Cell next_value(Engine& e, const Cell* keyword) {
    SeriesBuffer* buffer = rule_buffer(e);
    if (e.rpos >= buffer->length()) fire(err::script::parse_end, keyword);
    Cell value = buffer->cells()[e.rpos];
    if (keyword_of(&value) == Keyword::bar) fire(err::script::parse_end, keyword);
    e.rpos++;
    return value;
}

void need_next(Engine& e, const Cell* keyword) {
    next_value(e, keyword);
    e.rpos--;
}

// The value at the rule position, without moving on; unset! at the end.
Cell peek(const Engine& e) {
    SeriesBuffer* buffer = rule_buffer(e);
    if (e.rpos >= buffer->length()) return Cell{TYPE_UNSET, 0, 0, 0};
    return buffer->cells()[e.rpos];
}

// What insert and change put in: a paren's value, a word's value (unset is
// an error), or the value itself.
Pending value_of(Engine& e, const Cell* value, Cell* out) {
    if (cell_type(value) == TYPE_PAREN) return eval_paren(e, value, out);
    if (cell_type(value) == TYPE_WORD) {
        Cell word = *value;
        *out = *context::get(&word);
        if (cell_type(out) == TYPE_UNSET) fire(err::script::parse_rule, value);
        return Pending::none;
    }
    *out = *value;
    return Pending::none;
}

// Whether the rule value is a word holding a position in the input.
bool input_position(const Engine& e, const Cell* value, uint32_t* position) {
    Cell resolved;
    if (cell_type(value) != TYPE_WORD || !try_resolve(value, &resolved)) return false;
    if (!is_series(cell_type(&resolved)) || series_node(&resolved) != series_node(&e.in.series)) return false;
    *position = std::min(series_index(&resolved), e.in.length());
    return true;
}

void set_word(const Cell* word, const Cell* value) {
    if (!is_any_word(cell_type(word))) fire(err::script::parse_rule, word);
    Cell target = *word;
    context::set(&target, value);
}

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

// ---------------------------------------------------------------- frames

// The block frame below the frame at index f (a block frame).
uint32_t parent_frame(const Engine& e, uint32_t f) {
    uint32_t end = f;
    for (;;) {
        int32_t code = pair::x(rule_cell(end - 1, TYPE_PAIR));
        uint32_t size = code == FRAME_BLOCK ? BLOCK_FRAME_SIZE : OP_FRAME_SIZE;
        if (end < e.base + size) broken_stack();
        end -= size;
        if (code == FRAME_BLOCK) return end;
    }
}

// The current block's frame records the rule position, for the callback and
// for the block's return from a nested one.
void save_position(const Engine& e) {
    set_triple(e.frame + B_STATE, int32_t(e.rpos), rule_int(e.frame + B_STATE, 2), rule_int(e.frame + B_STATE, 3));
}

uint32_t push_op(Engine& e, int32_t code, int32_t extra) {
    uint32_t op = push_rule_cells(OP_FRAME_SIZE);
    set_triple(op + O_COUNTS, 0, -1, 0);
    set_triple(op + O_INPUT, int32_t(e.in.pos), int32_t(e.in.pos), int32_t(e.in.length()));
    set_triple(op + O_AUX, int32_t(e.rpos), 0, 0);
    set_pair(op + O_CODE, code, extra);
    return op;
}

int32_t op_code(uint32_t op) { return pair::x(rule_cell(op + O_CODE, TYPE_PAIR)); }

// The collect that keep fills: its target and where values go.
Target collect_target(const Engine& e) {
    if (e.collect_frame < 0) fire(err::script::parse_keep);
    auto op = uint32_t(e.collect_frame);
    if (op_code(op) != OP_COLLECT) fire(err::script::parse_keep);
    Target target{*rule_cell(op + O_KEPT), rule_int(op + O_AUX, 3)};
    if (!is_series(cell_type(&target.series))) fire(err::script::parse_keep);
    return target;
}

void store_insert_index(const Engine& e, int64_t index) {
    auto op = uint32_t(e.collect_frame);
    set_triple(op + O_AUX, rule_int(op + O_AUX, 1), rule_int(op + O_AUX, 2), int32_t(index));
}

// Puts back what an operation changed in the engine when it goes without
// finishing (break and reject leave their block at once).
void discard_op(Engine& e, uint32_t op) {
    switch (op_code(op)) {
    case OP_COLLECT: e.collect_frame = rule_int(op + O_AUX, 2); break;
    case OP_CASE: e.mode = Mode(rule_int(op + O_AUX, 2)); break;
    case OP_INTO: {
        Cell outer;
        pop_input(&outer, e.input_base);
        e.in = Input{outer, series_index(&outer), rule_int(op + O_AUX, 3), kind_of(cell_type(&outer))};
        e.in.clamp();
        break;
    }
    default: break;
    }
    cut_rule(op);
}

// ---------------------------------------------------------------- blocks

// Entering the same rule block at the same input position, over an input
// of the same length, while it is still under way could only repeat itself
// forever.
void check_recursion(const Engine& e, const Cell* block) {
    uint32_t depth = input_depth(e);
    for (uint32_t f = e.frame;; f = parent_frame(e, f)) {
        const Cell* entered = rule_cell(f + B_RULE);
        if (cell_type(entered) == TYPE_BLOCK && series_node(entered) == series_node(block) &&
            series_index(entered) == series_index(block) && rule_int(f + B_STATE, 2) == int32_t(e.in.pos) &&
            rule_int(f + B_STATE, 3) == int32_t(e.in.length()) &&
            pair::y(rule_cell(f + B_TAG, TYPE_PAIR)) == int32_t(depth))
            fire(err::script::parse_infinite, block);
        if (f <= e.base) return;
    }
}

void push_block_frame(Engine& e, const Cell* block) {
    uint32_t f = push_rule_cells(BLOCK_FRAME_SIZE);
    set_triple(f + B_STATE, int32_t(series_index(block)), int32_t(e.in.pos), int32_t(e.in.length()));
    set_cell(f + B_RULE, block);
    set_pair(f + B_TAG, FRAME_BLOCK, int32_t(input_depth(e)));
    e.frame = f;
    e.rule = *block;
    e.rpos = series_index(block);
}

Step enter_block(Engine& e, const Cell* block) {
    check_recursion(e, block);
    save_position(e);
    push_block_frame(e, block);
    return traced(e, Word::push) ? Step::fetch : Step::done;
}

// The block ends, matched or not; the enclosing block goes on with the
// operations pending there.
Step leave_block(Engine& e, bool success) {
    e.match = success;
    if (!success) e.in.pos = clamp_index(rule_int(e.frame + B_STATE, 2), e.in.length());
    if (!traced(e, Word::pop)) return Step::done;
    if (e.frame <= e.base) return Step::done;
    uint32_t parent = parent_frame(e, e.frame);
    cut_rule(e.frame);
    e.frame = parent;
    e.rule = *rule_cell(parent + B_RULE, TYPE_BLOCK);
    e.rpos = clamp_index(rule_int(parent + B_STATE, 1), rule_buffer(e)->length());
    return Step::complete;
}

// The block's tail, or a "|" after a matched alternative: every operation
// pushed in the block must have had its rule by then.
Step end_of_block(Engine& e) {
    uint32_t length = rule_length();
    if (length > e.frame + BLOCK_FRAME_SIZE) fire(err::script::parse_end, &e.rule);
    if (length < e.frame + BLOCK_FRAME_SIZE) broken_stack();
    return leave_block(e, true);
}

// A failed alternative: the next one starts after the next "|", with the
// input back where the block began.
Step next_alternative(Engine& e) {
    SeriesBuffer* buffer = rule_buffer(e);
    for (uint32_t i = e.rpos; i < buffer->length(); i++) {
        Keyword keyword = keyword_of(buffer->cells() + i);
        if (keyword == Keyword::quote) i++;
        if (keyword != Keyword::bar) continue;
        e.rpos = i + 1;
        e.in.pos = clamp_index(rule_int(e.frame + B_STATE, 2), e.in.length());
        return Step::fetch;
    }
    return leave_block(e, false);
}

// A rule value matched or failed: next tells where the input stands after
// a match, NO_MATCH for a failure.
Step matched(Engine& e, int64_t next) {
    e.match = next != NO_MATCH;
    if (e.match) e.in.pos = uint32_t(next);
    return traced(e, Word::match) ? Step::complete : Step::done;
}

// ---------------------------------------------------------------- finishing operations

Step finish_iteration(Engine& e, uint32_t op, bool keeps_going) {
    int32_t minimum = rule_int(op + O_COUNTS, 1), maximum = rule_int(op + O_COUNTS, 2);
    int32_t count = rule_int(op + O_COUNTS, 3);
    uint32_t step_start = clamp_index(rule_int(op + O_INPUT, 2), e.in.length());
    bool stop = e.break_frame == int64_t(op);
    if (stop) {
        e.break_frame = -1;
        e.match = !e.rejected;
    }
    if (!e.match) {
        e.in.pos = step_start;
        e.match = count >= minimum;
        cut_rule(op);
        return Step::complete;
    }
    count++;
    // The engine's edits move the position without consuming: a step that
    // only inserted before its position made no progress.
    bool moved = e.in.pos - e.shift != uint32_t(rule_int(op + O_INPUT, 2)) - uint32_t(rule_int(op + O_AUX, 2));
    bool progress = moved || int64_t(e.in.length()) < rule_int(op + O_INPUT, 3);
    bool idle = !progress && e.effects == rule_int(op + O_AUX, 3);
    if (stop || (maximum >= 0 && count >= maximum) || (!progress && !keeps_going) || idle) {
        e.match = count >= minimum;
        cut_rule(op);
        return Step::complete;
    }
    set_triple(op + O_COUNTS, minimum, maximum, count);
    set_triple(op + O_INPUT, rule_int(op + O_INPUT, 1), int32_t(e.in.pos), int32_t(e.in.length()));
    set_triple(op + O_AUX, rule_int(op + O_AUX, 1), int32_t(e.shift), e.effects);
    e.rpos = clamp_index(rule_int(op + O_AUX, 1), rule_buffer(e)->length());
    return traced(e, Word::iterate) ? Step::fetch : Step::done;
}

// to and thru with a rule the fast paths do not take: tried at each
// position from the start up to the end of the input.
Step finish_search(Engine& e, uint32_t op, bool thru) {
    uint32_t start = clamp_index(rule_int(op + O_INPUT, 1), e.in.length());
    uint32_t at = clamp_index(rule_int(op + O_INPUT, 2), e.in.length());
    if (e.match) {
        if (!thru) e.in.pos = at;
        cut_rule(op);
        return Step::complete;
    }
    // The positions tried are counted against the span the search began
    // with, so that a rule which lengthens the input cannot keep it going.
    int32_t tries_left = rule_int(op + O_COUNTS, 2);
    if (at < e.in.end() && tries_left > 0) {
        set_triple(op + O_COUNTS, 0, tries_left - 1, 0);
        at++;
        e.in.pos = at;
        set_triple(op + O_INPUT, int32_t(start), int32_t(at), int32_t(e.in.length()));
        e.rpos = clamp_index(rule_int(op + O_AUX, 1), rule_buffer(e)->length());
        return Step::fetch;
    }
    e.in.pos = start;
    cut_rule(op);
    return Step::complete;
}

Step finish_into(Engine& e, uint32_t op) {
    bool whole = e.match && e.in.pos >= e.in.end();
    Cell outer;
    pop_input(&outer, e.input_base);
    e.in = Input{outer, series_index(&outer), rule_int(op + O_AUX, 3), kind_of(cell_type(&outer))};
    e.in.clamp();
    if (whole) e.in.pos = std::min(e.in.pos + 1, e.in.length());
    e.match = whole;
    cut_rule(op);
    return Step::complete;
}

Step finish_collect(Engine& e, uint32_t op, int32_t kind) {
    Cell gathered = *rule_cell(op + O_KEPT);
    e.collect_frame = rule_int(op + O_AUX, 2);
    if (kind == 1) {
        Cell word = *rule_cell(op + O_COUNTS);
        set_word(&word, &gathered);
    } else if (kind == 0) {
        if (e.collect_frame >= 0)
            store_insert_index(e, keep_value(&gathered, collect_target(e)));
        else
            e.collected = gathered;
    }
    cut_rule(op);
    return Step::complete;
}

// change's value follows its rule; it is skipped (and not evaluated) when
// the rule failed.
Step finish_change(Engine& e, uint32_t op, bool only) {
    uint32_t start = clamp_index(rule_int(op + O_INPUT, 1), e.in.length());
    cut_rule(op);
    Cell value = next_value(e, &e.rule);
    if (!e.match) return Step::complete;
    Cell replacement;
    e.pending = value_of(e, &value, &replacement);
    if (e.pending != Pending::none) return Step::abort;
    note_change(e, start, [&] { e.in.pos = change_range(e.in, start, e.in.pos, &replacement, only); });
    return Step::complete;
}

Step finish_op(Engine& e, uint32_t op) {
    const Cell* tag = rule_cell(op + O_CODE, TYPE_PAIR);
    int32_t code = pair::x(tag), extra = pair::y(tag);
    uint32_t start = clamp_index(rule_int(op + O_INPUT, 1), e.in.length());
    switch (code) {
    case OP_ITERATE: return finish_iteration(e, op, false);
    case OP_WHILE: return finish_iteration(e, op, true);
    case OP_TO: return finish_search(e, op, false);
    case OP_THRU: return finish_search(e, op, true);
    case OP_INTO: return finish_into(e, op);
    case OP_COLLECT: return finish_collect(e, op, extra);
    case OP_CHANGE: return finish_change(e, op, false);
    case OP_CHANGE_ONLY: return finish_change(e, op, true);
    case OP_COPY:
    case OP_SET:
        if (e.match) {
            Cell word = *rule_cell(op + O_KEPT);
            Cell value = code == OP_COPY ? copy_range(e.in, start, e.in.pos) : first_value(e.in, start, e.in.pos);
            set_word(&word, &value);
        }
        break;
    case OP_NOT:
        e.in.pos = start;
        e.match = !e.match;
        break;
    case OP_AHEAD: e.in.pos = start; break;
    case OP_REMOVE:
        if (e.match) {
            note_change(e, start, [&] {
                remove_range(e.in, start, e.in.pos);
                e.in.pos = std::min(start, e.in.length());
            });
        }
        break;
    case OP_KEEP:
        if (e.match) store_insert_index(e, keep_range(e.in, start, e.in.pos, extra != 0, collect_target(e)));
        break;
    case OP_CASE: e.mode = Mode(rule_int(op + O_AUX, 2)); break;
    default: broken_stack(tag);  // not an operation: the stack was edited
    }
    cut_rule(op);
    return Step::complete;
}

// Finishes the operations pending in the current block; then a match goes
// on with the next value, a failure with the next alternative.
Step complete(Engine& e) {
    for (;;) {
        uint32_t length = rule_length();
        uint32_t block_end = e.frame + BLOCK_FRAME_SIZE;
        if (length == block_end) break;
        if (length < block_end + OP_FRAME_SIZE) broken_stack();
        Step next = finish_op(e, length - OP_FRAME_SIZE);
        if (next != Step::complete) return next;
    }
    return e.match ? Step::fetch : next_alternative(e);
}

// ---------------------------------------------------------------- iteration and search

// Steps past one whole rule without matching it (a repetition of 0).
void skip_rule(Engine& e) {
    uint32_t needed = 1;
    SeriesBuffer* buffer = rule_buffer(e);
    while (needed > 0 && e.rpos < buffer->length()) {
        Cell value = buffer->cells()[e.rpos++];
        needed--;
        switch (keyword_of(&value)) {
        case Keyword::any: case Keyword::some: case Keyword::opt: case Keyword::while_: case Keyword::to:
        case Keyword::thru: case Keyword::not_: case Keyword::ahead: case Keyword::into: case Keyword::quote:
        case Keyword::if_: case Keyword::keep: case Keyword::remove: case Keyword::collect: case Keyword::insert:
            needed++;
            break;
        case Keyword::copy: case Keyword::set: case Keyword::case_: case Keyword::change: needed += 2; break;
        default:
            if (cell_type(&value) == TYPE_INTEGER) needed++;
            break;
        }
    }
}

// any, some, opt, while and counts over a single terminal value, a block of
// terminal alternatives or skip, counted in one loop without frames.
bool fast_iteration(Engine& e, int32_t minimum, int32_t maximum, Step* step) {
    Cell rule = peek(e);
    uint32_t pos = e.in.pos, end = e.in.end();
    int64_t count = 0;
    if (keyword_of(&rule) == Keyword::skip) {
        count = pos < end ? end - pos : 0;
        if (maximum >= 0) count = std::min<int64_t>(count, maximum);
        pos += uint32_t(count);
    } else {
        Cell target;
        Alternatives alternatives;
        if (!try_resolve(&rule, &target)) return false;
        bool single = is_terminal(&target, e.in.kind);
        if (!single && !(cell_type(&target) == TYPE_BLOCK && terminal_alternatives(&target, e.in.kind, &alternatives)))
            return false;
        while (maximum < 0 || count < maximum) {
            int64_t next = single ? match_terminal(e.in, pos, end, &target, e.mode)
                                  : match_alternatives(e.in, pos, end, alternatives, e.mode);
            if (next == NO_MATCH) break;
            count++;
            // An empty match would match again and again: one step counts.
            if (uint32_t(next) == pos) break;
            pos = uint32_t(next);
        }
    }
    e.rpos++;
    e.in.pos = pos;
    e.match = count >= minimum;
    *step = Step::complete;
    return true;
}

Step iterate(Engine& e, const Cell* keyword, int32_t minimum, int32_t maximum, int32_t code) {
    need_next(e, keyword);
    Step step;
    if (!e.tracing && fast_iteration(e, minimum, maximum, &step)) return step;
    uint32_t op = push_op(e, code, 0);
    set_triple(op + O_COUNTS, minimum, maximum, 0);
    set_triple(op + O_AUX, int32_t(e.rpos), int32_t(e.shift), e.effects);
    return Step::fetch;
}

// An integer rule: N rule, or N M rule (M may be a word's value).
Step repetition(Engine& e, const Cell* count) {
    int32_t minimum = integer::get(count), maximum = minimum;
    Cell next = peek(e), resolved;
    if ((cell_type(&next) == TYPE_INTEGER || cell_type(&next) == TYPE_WORD) && try_resolve(&next, &resolved) &&
        cell_type(&resolved) == TYPE_INTEGER) {
        maximum = integer::get(&resolved);
        e.rpos++;
    }
    if (minimum < 0 || maximum < minimum) fire(err::script::parse_rule, count);
    need_next(e, count);
    if (maximum == 0) {
        skip_rule(e);
        return matched(e, e.in.pos);
    }
    return iterate(e, count, minimum, maximum, OP_ITERATE);
}

Step search_by_steps(Engine& e, bool thru) {
    uint32_t op = push_op(e, thru ? OP_THRU : OP_TO, 0);
    set_triple(op + O_COUNTS, 0, int32_t(e.in.end() - std::min(e.in.pos, e.in.end())), 0);
    return Step::fetch;
}

// to or thru over a rule searched directly: a terminal, a block of
// terminal alternatives, or end. Answers false, consuming nothing, when the
// rule needs the state machine (or the callback must see its steps).
bool direct_search(Engine& e, bool thru, int64_t* next) {
    Cell rule = peek(e), target;
    if (keyword_of(&rule) == Keyword::end) {
        e.rpos++;
        *next = e.in.end();
        return true;
    }
    if (e.tracing || !try_resolve(&rule, &target)) return false;
    uint32_t at = 0, after = 0;
    Alternatives alternatives;
    bool found;
    if (is_terminal(&target, e.in.kind))
        found = search_terminal(e.in, e.in.pos, e.in.end(), &target, e.mode, &at, &after);
    else if (cell_type(&target) == TYPE_BLOCK && terminal_alternatives(&target, e.in.kind, &alternatives))
        found = search_alternatives(e.in, e.in.pos, e.in.end(), alternatives, e.mode, &at, &after);
    else
        return false;
    e.rpos++;
    *next = found ? int64_t(thru ? after : at) : NO_MATCH;
    return true;
}

Step search(Engine& e, const Cell* keyword, bool thru) {
    need_next(e, keyword);
    int64_t next;
    if (direct_search(e, thru, &next)) return matched(e, next);
    return search_by_steps(e, thru);
}

// The rules keep, copy and set most often take, matched without frames:
// skip, a terminal, or to and thru searched directly. Answers false,
// consuming nothing, for any other rule.
bool simple_rule(Engine& e, int64_t* next) {
    if (e.tracing) return false;
    Cell rule = peek(e);
    uint32_t pos = e.in.pos, end = e.in.end();
    Keyword keyword = keyword_of(&rule);
    if (keyword == Keyword::skip) {
        e.rpos++;
        *next = pos < end ? int64_t(pos) + 1 : NO_MATCH;
        return true;
    }
    if (keyword == Keyword::to || keyword == Keyword::thru) {
        uint32_t saved = e.rpos++;
        need_next(e, &rule);
        if (direct_search(e, keyword == Keyword::thru, next)) return true;
        e.rpos = saved;
        return false;
    }
    Cell target;
    if (!try_resolve(&rule, &target) || !is_terminal(&target, e.in.kind)) return false;
    e.rpos++;
    *next = match_terminal(e.in, pos, end, &target, e.mode);
    return true;
}

// ---------------------------------------------------------------- keywords

Step into_rule(Engine& e, const Cell* keyword) {
    if (e.in.kind != InputKind::block) fire(err::script::parse_block, &e.in.series);
    need_next(e, keyword);
    Cell rule = peek(e);
    Cell resolved = resolve(&rule);
    if (cell_type(&resolved) != TYPE_BLOCK) fire(err::script::parse_rule, &rule);
    if (e.in.pos >= e.in.end()) {
        e.rpos++;
        return matched(e, NO_MATCH);
    }
    Cell element = series_buffer(&e.in.series)->cells()[e.in.pos];
    uint32_t type = cell_type(&element);
    if (!is_series(type) || type == TYPE_VECTOR || type == TYPE_IMAGE) {
        e.rpos++;
        return matched(e, NO_MATCH);
    }
    Cell outer = e.in.at(e.in.pos);
    push_input(&outer);
    uint32_t op = push_op(e, OP_INTO, 0);
    set_triple(op + O_AUX, int32_t(e.rpos), 0, int32_t(e.in.limit));
    e.in = Input{element, series_index(&element), -1, kind_of(type)};
    e.in.clamp();
    return Step::fetch;
}

Step collect_rule(Engine& e, const Cell* keyword) {
    int32_t kind = 0;
    Cell option = peek(e), word{}, target{};
    if (is_modifier(&option, Modifier::set)) kind = 1;
    else if (is_modifier(&option, Modifier::into)) kind = 2;
    else if (is_modifier(&option, Modifier::after)) kind = 3;
    if (kind != 0) {
        e.rpos++;
        word = next_value(e, keyword);
        if (!is_any_word(cell_type(&word))) fire(err::script::parse_rule, &word);
    }
    need_next(e, keyword);
    if (kind >= 2) {
        target = *context::get(&word);
        check_target(e.in, &target);
    } else {
        block::make_at(&target, 16);
    }
    uint32_t op = push_op(e, OP_COLLECT, kind);
    set_cell(op + O_KEPT, &target);
    if (kind == 1) set_cell(op + O_COUNTS, &word);
    set_triple(op + O_AUX, int32_t(e.rpos), int32_t(e.collect_frame), kind == 2 ? int32_t(series_index(&target)) : -1);
    e.collect_frame = op;
    return Step::fetch;
}

Step keep_rule(Engine& e, const Cell* keyword) {
    collect_target(e);
    Cell option = peek(e);
    bool pick = is_modifier(&option, Modifier::pick);
    if (pick) e.rpos++;
    Cell rule = next_value(e, keyword);
    if (cell_type(&rule) == TYPE_PAREN) {
        Cell value;
        e.pending = eval_paren(e, &rule, &value);
        if (e.pending != Pending::none) return Step::abort;
        if (!traced(e, Word::paren)) return Step::done;
        store_insert_index(e, keep_value(&value, collect_target(e)));
        return matched(e, e.in.pos);
    }
    e.rpos--;
    int64_t next;
    if (simple_rule(e, &next)) {
        if (next != NO_MATCH)
            store_insert_index(e, keep_range(e.in, e.in.pos, uint32_t(next), pick, collect_target(e)));
        return matched(e, next);
    }
    push_op(e, OP_KEEP, pick ? 1 : 0);
    return Step::fetch;
}

Step remove_rule(Engine& e, const Cell* keyword) {
    need_next(e, keyword);
    Cell rule = peek(e);
    uint32_t from;
    if (!input_position(e, &rule, &from)) {
        push_op(e, OP_REMOVE, 0);
        return Step::fetch;
    }
    e.rpos++;
    note_change(e, from, [&] {
        remove_range(e.in, from, e.in.pos);
        e.in.pos = std::min({from, e.in.pos, e.in.length()});
    });
    return matched(e, e.in.pos);
}

Step insert_rule(Engine& e, const Cell* keyword) {
    Cell option = peek(e);
    bool only = is_modifier(&option, Modifier::only);
    if (only) e.rpos++;
    Cell value = next_value(e, keyword);
    // A word holding a position in the input names where to insert when a
    // value follows it.
    Cell following = peek(e);
    uint32_t at = e.in.pos;
    bool positional = cell_type(&following) != TYPE_UNSET && keyword_of(&following) != Keyword::bar &&
                      input_position(e, &value, &at);
    if (positional)
        value = next_value(e, keyword);
    else
        at = e.in.pos;
    Cell inserted;
    e.pending = value_of(e, &value, &inserted);
    if (e.pending != Pending::none) return Step::abort;
    at = std::min(at, e.in.length());
    note_change(e, e.in.pos, [&] {
        int64_t grown = insert_at(e.in, at, &inserted, only);
        if (at <= e.in.pos) e.in.pos = clamp_index(int64_t(e.in.pos) + grown, e.in.length());
    });
    return matched(e, e.in.pos);
}

Step change_rule(Engine& e, const Cell* keyword) {
    Cell option = peek(e);
    bool only = is_modifier(&option, Modifier::only);
    if (only) e.rpos++;
    need_next(e, keyword);
    Cell rule = peek(e);
    uint32_t from;
    if (!input_position(e, &rule, &from)) {
        push_op(e, only ? OP_CHANGE_ONLY : OP_CHANGE, 0);
        return Step::fetch;
    }
    e.rpos++;
    Cell value = next_value(e, keyword), replacement;
    e.pending = value_of(e, &value, &replacement);
    if (e.pending != Pending::none) return Step::abort;
    note_change(e, from, [&] { e.in.pos = change_range(e.in, from, e.in.pos, &replacement, only); });
    return matched(e, e.in.pos);
}

Step copy_or_set(Engine& e, const Cell* keyword, int32_t code) {
    Cell word = next_value(e, keyword);
    if (!is_any_word(cell_type(&word))) fire(err::script::parse_rule, &word);
    need_next(e, keyword);
    int64_t next;
    if (simple_rule(e, &next)) {
        if (next != NO_MATCH) {
            Cell value = code == OP_COPY ? copy_range(e.in, e.in.pos, uint32_t(next))
                                         : first_value(e.in, e.in.pos, uint32_t(next));
            set_word(&word, &value);
        }
        return matched(e, next);
    }
    uint32_t op = push_op(e, code, 0);
    set_cell(op + O_KEPT, &word);
    return Step::fetch;
}

Step case_rule(Engine& e, const Cell* keyword) {
    Cell word = next_value(e, keyword);
    Cell flag = resolve(&word);
    need_next(e, keyword);
    uint32_t op = push_op(e, OP_CASE, 0);
    set_triple(op + O_AUX, int32_t(e.rpos), int32_t(e.mode), 0);
    e.mode = logic::is_false(&flag) ? Mode::folded : Mode::strict;
    return Step::fetch;
}

Step if_rule(Engine& e, const Cell* keyword) {
    Cell paren = next_value(e, keyword);
    if (cell_type(&paren) != TYPE_PAREN) fire(err::script::parse_rule, &paren);
    Cell value;
    e.pending = eval_paren(e, &paren, &value);
    if (e.pending != Pending::none) return Step::abort;
    if (!traced(e, Word::paren)) return Step::done;
    return matched(e, logic::is_false(&value) ? NO_MATCH : int64_t(e.in.pos));
}

Step quote_rule(Engine& e, const Cell* keyword) {
    // Any value follows quote literally, "|" included.
    if (e.rpos >= rule_buffer(e)->length()) fire(err::script::parse_end, keyword);
    Cell value = rule_buffer(e)->cells()[e.rpos++];
    if (e.in.kind != InputKind::block) return matched(e, match_terminal(e.in, e.in.pos, e.in.end(), &value, e.mode));
    if (e.in.pos >= e.in.end()) return matched(e, NO_MATCH);
    Cell element = series_buffer(&e.in.series)->cells()[e.in.pos];
    bool same = actions::compare(&element, &value,
                                 e.mode == Mode::strict ? actions::COMP_STRICT_EQUAL : actions::COMP_EQUAL);
    return matched(e, same ? int64_t(e.in.pos) + 1 : NO_MATCH);
}

// break and reject end the current block at once and stop the innermost
// iteration under way when its current step finishes.
Step break_rule(Engine& e, bool reject) {
    e.break_frame = -1;
    for (uint32_t end = rule_length(); end > e.base;) {
        int32_t code = pair::x(rule_cell(end - 1, TYPE_PAIR));
        uint32_t size = code == FRAME_BLOCK ? BLOCK_FRAME_SIZE : OP_FRAME_SIZE;
        if (end < e.base + size) break;
        end -= size;
        if (code == OP_ITERATE || code == OP_WHILE) {
            e.break_frame = end;
            break;
        }
    }
    e.rejected = reject;
    while (rule_length() > e.frame + BLOCK_FRAME_SIZE) discard_op(e, rule_length() - OP_FRAME_SIZE);
    return leave_block(e, !reject);
}

Step keyword_rule(Engine& e, Keyword keyword, const Cell* word) {
    uint32_t pos = e.in.pos, end = e.in.end();
    switch (keyword) {
    case Keyword::bar: return end_of_block(e);
    case Keyword::skip: return matched(e, pos < end ? int64_t(pos) + 1 : NO_MATCH);
    case Keyword::end: return matched(e, pos >= end ? int64_t(pos) : NO_MATCH);
    case Keyword::none: return matched(e, pos);
    case Keyword::fail: return matched(e, NO_MATCH);
    case Keyword::break_: return break_rule(e, false);
    case Keyword::reject: return break_rule(e, true);
    case Keyword::any: return iterate(e, word, 0, -1, OP_ITERATE);
    case Keyword::some: return iterate(e, word, 1, -1, OP_ITERATE);
    case Keyword::opt: return iterate(e, word, 0, 1, OP_ITERATE);
    case Keyword::while_: return iterate(e, word, 0, -1, OP_WHILE);
    case Keyword::to: return search(e, word, false);
    case Keyword::thru: return search(e, word, true);
    case Keyword::not_:
    case Keyword::ahead:
        need_next(e, word);
        push_op(e, keyword == Keyword::not_ ? OP_NOT : OP_AHEAD, 0);
        return Step::fetch;
    case Keyword::quote: return quote_rule(e, word);
    case Keyword::copy: return copy_or_set(e, word, OP_COPY);
    case Keyword::set: return copy_or_set(e, word, OP_SET);
    case Keyword::case_: return case_rule(e, word);
    case Keyword::into: return into_rule(e, word);
    case Keyword::if_: return if_rule(e, word);
    case Keyword::collect: return collect_rule(e, word);
    case Keyword::keep: return keep_rule(e, word);
    case Keyword::remove: return remove_rule(e, word);
    case Keyword::insert: return insert_rule(e, word);
    case Keyword::change: return change_rule(e, word);
    case Keyword::none_: break;
    }
    return Step::fetch;
}

// ---------------------------------------------------------------- rule values

Step paren_rule(Engine& e, const Cell* paren) {
    Cell value;
    e.pending = eval_paren(e, paren, &value);
    if (e.pending != Pending::none) return Step::abort;
    e.match = true;
    return traced(e, Word::paren) ? Step::complete : Step::done;
}

void set_position(Engine& e, const Cell* word) {
    Cell position = e.in.at(e.in.pos);
    set_word(word, &position);
}

void get_position(Engine& e, const Cell* word) {
    Cell name = *word;
    Cell value = *context::get(&name);
    if (!is_series(cell_type(&value)) || series_node(&value) != series_node(&e.in.series))
        fire(err::script::parse_invalid_ref, word);
    e.in.pos = std::min(series_index(&value), e.in.length());
}

Step interpret(Engine& e, const Cell* value) {
    switch (cell_type(value)) {
    case TYPE_WORD: {
        Keyword keyword = keyword_of(value);
        if (keyword != Keyword::none_) return keyword_rule(e, keyword, value);
        Cell resolved = resolve(value);
        if (cell_type(&resolved) == TYPE_BLOCK) return enter_block(e, &resolved);
        if (cell_type(&resolved) == TYPE_INTEGER) return repetition(e, &resolved);
        return matched(e, match_terminal(e.in, e.in.pos, e.in.end(), &resolved, e.mode));
    }
    case TYPE_BLOCK: return enter_block(e, value);
    case TYPE_PAREN: return paren_rule(e, value);
    case TYPE_SET_WORD: set_position(e, value); return Step::fetch;
    case TYPE_GET_WORD: get_position(e, value); return Step::fetch;
    case TYPE_INTEGER: return repetition(e, value);
    case TYPE_PATH:
    case TYPE_SET_PATH:
    case TYPE_GET_PATH: fire(err::script::parse_rule, value);
    default: return matched(e, match_terminal(e.in, e.in.pos, e.in.end(), value, e.mode));
    }
}

Step fetch(Engine& e) {
    SeriesBuffer* buffer = rule_buffer(e);
    if (e.rpos >= buffer->length()) return end_of_block(e);
    Cell value = buffer->cells()[e.rpos++];
    if (e.tracing && !event(e, Word::fetch, e.rpos - 1)) return Step::done;
    return interpret(e, &value);
}

Cell final_result(Engine& e) {
    if (e.stopped) return logic_cell(e.match);
    if (cell_type(&e.collected) != TYPE_UNSET) return e.collected;
    return logic_cell(e.match && e.in.pos >= e.in.end());
}

}  // namespace

void init() {
    init_stacks();
    init_keywords();
}

Pending process(const Request& request, Cell* result) {
    Marks marks;
    Engine e{};
    uint32_t type = cell_type(request.input);
    e.in = Input{*request.input, series_index(request.input), request.limit, kind_of(type)};
    // A limit past the tail is no limit; below it, it fits the 32 bits the
    // frames keep it in.
    if (e.in.limit > int64_t(e.in.length())) e.in.limit = -1;
    e.in.clamp();
    e.mode = request.mode;
    e.callback = request.callback ? *request.callback : none::constant;
    e.tracing = request.callback != nullptr;
    e.base = marks.base();
    e.input_base = marks.input_base();
    e.collect_frame = e.break_frame = -1;
    make_unset(&e.collected);
    push_block_frame(e, request.rules);
    Step step = traced(e, Word::push) ? Step::fetch : Step::done;
    while (step == Step::fetch || step == Step::complete) step = step == Step::fetch ? fetch(e) : complete(e);
    if (step == Step::abort) return e.pending;
    *result = final_result(e);
    if (e.tracing && !e.stopped) {
        e.match = cell_type(result) != TYPE_LOGIC || logic::get(result);
        event(e, Word::end, e.rpos);
    }
    return Pending::none;
}

}  // namespace vek::parse
