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
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/triple.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/eval/evaluator.h"
#include "runtime/parse/internal.h"
#include "runtime/parse/machine.h"
#include "runtime/parse/stacks.h"

namespace vek::parse {

namespace {

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
    Cell* saved_top = stack::top;
    eval::push_callback_call(&function, tag, values, 5);
    Pending pending = eval::call_function(&function, tag, eval::CALL_PARSE);
    if (pending != Pending::none) eval::raise_pending(pending);
    Cell answer = *stack::arguments;
    stack::unwind_function_drop();
    stack::top = saved_top;
    clamp_after_code(e);
    bool go_on = cell_type(&answer) == TYPE_LOGIC && logic::get(&answer);
    if (!go_on) e.stopped = true;
    return go_on;
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

int32_t op_code(uint32_t op) { return pair::x(rule_cell(op + O_CODE, TYPE_PAIR)); }

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
            rule_int(f + B_ENTRY, 1) == int32_t(depth))
            fire(err::script::parse_infinite, block);
        if (f <= e.base) return;
    }
}

void push_block_frame(Engine& e, const Cell* block) {
    cache_rule_keywords(block);
    uint32_t f = push_rule_cells(BLOCK_FRAME_SIZE);
    set_triple(f + B_STATE, int32_t(series_index(block)), int32_t(e.in.pos), int32_t(e.in.length()));
    set_cell(f + B_RULE, block);
    set_triple(f + B_ENTRY, int32_t(input_depth(e)), int32_t(e.shift), 0);
    set_pair(f + B_TAG, FRAME_BLOCK, 0);
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

// Back to where the current block began: its input position, and the
// shift its own edits had made by then.
void back_to_entry(Engine& e) {
    e.in.pos = clamp_index(rule_int(e.frame + B_STATE, 2), e.in.length());
    e.shift = uint32_t(rule_int(e.frame + B_ENTRY, 2));
}

// A failed alternative: the next one starts after the next "|", with the
// input back where the block began.
Step next_alternative(Engine& e) {
    SeriesBuffer* buffer = rule_buffer(e);
    for (uint32_t i = e.rpos; i < buffer->length(); i++) {
        Keyword keyword = rule_word(buffer, i).keyword;
        if (keyword == Keyword::quote) i++;
        if (keyword != Keyword::bar) continue;
        e.rpos = i + 1;
        back_to_entry(e);
        return Step::fetch;
    }
    return leave_block(e, false);
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
        e.shift = uint32_t(rule_int(op + O_AUX, 2));
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
        e.shift = uint32_t(rule_int(op + O_AUX, 2));
        set_triple(op + O_INPUT, int32_t(start), int32_t(at), int32_t(e.in.length()));
        e.rpos = clamp_index(rule_int(op + O_AUX, 1), rule_buffer(e)->length());
        return Step::fetch;
    }
    e.in.pos = start;
    e.shift = uint32_t(rule_int(op + O_AUX, 2));
    cut_rule(op);
    return Step::complete;
}

Step finish_into(Engine& e, uint32_t op) {
    bool whole = e.match && e.in.pos >= e.in.end();
    Cell outer;
    pop_input(&outer, e.input_base);
    e.in = Input{outer, series_index(&outer), rule_int(op + O_AUX, 3), kind_of(cell_type(&outer))};
    e.in.clamp();
    e.shift = uint32_t(rule_int(op + O_AUX, 2));
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
        e.shift = uint32_t(rule_int(op + O_AUX, 2));
        e.match = !e.match;
        break;
    case OP_AHEAD:
        e.in.pos = start;
        e.shift = uint32_t(rule_int(op + O_AUX, 2));
        break;
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

Step interpret(Engine& e, const Cell* value, Keyword keyword) {
    switch (cell_type(value)) {
    case TYPE_WORD: {
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
    Cell value = buffer->cells()[e.rpos];
    Keyword keyword = rule_word(buffer, e.rpos++).keyword;
    if (e.tracing && !event(e, Word::fetch, e.rpos - 1)) return Step::done;
    return interpret(e, &value, keyword);
}

Cell final_result(Engine& e) {
    if (e.stopped) return logic_cell(e.match);
    if (cell_type(&e.collected) != TYPE_UNSET) return e.collected;
    return logic_cell(e.match && e.in.pos >= e.in.end());
}

}  // namespace

// ---------------------------------------------------------------- steps the keyword rules share

// The event at the current rule position; false when parsing stops.
bool traced(Engine& e, Word name) { return !e.tracing || event(e, name, e.rpos); }

// Evaluates a paren; its value goes into *value. The input and the rule
// block are re-read by everyone afterwards (clamped here for the input).
Pending eval_paren(Engine& e, const Cell* paren, Cell* value) {
    e.effects++;
    Cell* saved_top = stack::top;
    Cell code = *paren;
    VEK_PASS(eval::eval_block(&code));
    *value = *eval::last_value();
    stack::top = saved_top;
    clamp_after_code(e);
    return Pending::none;
}

// The next rule value, which the keyword needs (parse-end when the block
// ends or an alternative starts there), and what it names.
Cell next_value(Engine& e, const Cell* keyword, RuleWord* named) {
    SeriesBuffer* buffer = rule_buffer(e);
    if (e.rpos >= buffer->length()) fire(err::script::parse_end, keyword);
    Cell value = buffer->cells()[e.rpos];
    RuleWord decoded = rule_word(buffer, e.rpos);
    if (decoded.keyword == Keyword::bar) fire(err::script::parse_end, keyword);
    if (named) *named = decoded;
    e.rpos++;
    return value;
}

RuleWord need_next(Engine& e, const Cell* keyword) {
    RuleWord named;
    next_value(e, keyword, &named);
    e.rpos--;
    return named;
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

uint32_t push_op(Engine& e, int32_t code, int32_t extra) {
    uint32_t op = push_rule_cells(OP_FRAME_SIZE);
    set_triple(op + O_COUNTS, 0, -1, 0);
    set_triple(op + O_INPUT, int32_t(e.in.pos), int32_t(e.in.pos), int32_t(e.in.length()));
    set_triple(op + O_AUX, int32_t(e.rpos), int32_t(e.shift), 0);
    set_pair(op + O_CODE, code, extra);
    return op;
}

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

// The block ends, matched or not; the enclosing block goes on with the
// operations pending there.
Step leave_block(Engine& e, bool success) {
    e.match = success;
    if (!success) back_to_entry(e);
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

// A rule value matched or failed: next tells where the input stands after
// a match, NO_MATCH for a failure.
Step matched(Engine& e, int64_t next) {
    e.match = next != NO_MATCH;
    if (e.match) e.in.pos = uint32_t(next);
    return traced(e, Word::match) ? Step::complete : Step::done;
}

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
