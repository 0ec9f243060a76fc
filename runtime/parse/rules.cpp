// The keyword rules of the parse dialect: iteration and search with their
// fast paths, and the keywords that read or edit the input (into, collect,
// keep, remove, insert, change, copy, set, case, if, quote, break, reject).
// Each either finishes at once, through matched, or pushes an operation
// frame that the state machine (engine.cpp) finishes once its rule has
// matched or failed.
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

// ---------------------------------------------------------------- iteration and search

// Steps past one whole rule without matching it (a repetition of 0).
void skip_rule(Engine& e) {
    uint32_t needed = 1;
    SeriesBuffer* buffer = rule_buffer(e);
    while (needed > 0 && e.rpos < buffer->length()) {
        Cell value = buffer->cells()[e.rpos];
        Keyword keyword = rule_word(buffer, e.rpos++).keyword;
        needed--;
        switch (keyword) {
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

bool simple_rule(Engine& e, RuleWord named, int64_t* next);
bool iteration_counts(Keyword keyword, int32_t* minimum, int32_t* maximum);

// Whether a keyword at index has the rule it needs after it, so that
// matching it cannot raise parse-end.
bool has_operand(SeriesBuffer* rules, uint32_t index) {
    return index + 1 < rules->length() && rule_word(rules, index + 1).keyword != Keyword::bar;
}

// The collect target keep would fill, when keep can fill it without running
// code (an owner's handler): none at all is left to the general path too,
// whose keep raises the error.
bool keep_runs_no_code(const Engine& e) {
    if (e.collect_frame < 0) return false;
    Target target = collect_target(e);
    return !(series_buffer(&target.series)->flags & BUF_OWNED);
}

// Whether every rule of the block under way (e.rule from e.rpos) is one
// simple_rule matches, or keep of one: then a step over the block needs no
// frame, calls no code and has no alternatives to go back to.
bool frameless_rules(Engine& e) {
    while (e.rpos < rule_buffer(e)->length()) {
        SeriesBuffer* rules = rule_buffer(e);
        RuleWord named = rule_word(rules, e.rpos);
        if (named.keyword == Keyword::keep) {
            if (!has_operand(rules, e.rpos) || !keep_runs_no_code(e)) return false;
            e.rpos++;
            named = rule_word(rules, e.rpos);
            if (named.names(Modifier::pick)) {
                if (!has_operand(rules, e.rpos)) return false;
                named = rule_word(rules, ++e.rpos);
            }
        }
        bool takes_operand = named.keyword == Keyword::to || named.keyword == Keyword::thru;
        int32_t minimum, maximum;
        if (takes_operand || iteration_counts(named.keyword, &minimum, &maximum)) {
            if (!has_operand(rules, e.rpos)) return false;
        } else if (named.keyword != Keyword::none_ && named.keyword != Keyword::skip) {
            return false;
        }
        int64_t next;
        e.frameless = true;
        bool simple = simple_rule(e, named, &next);
        e.frameless = false;
        if (!simple) return false;
    }
    return true;
}

// One step over the block's rules from the input position, as the block
// frame would take it: where it ends, or NO_MATCH. frameless_rules has
// checked every rule.
int64_t frameless_step(Engine& e, uint32_t head) {
    e.rpos = head;
    while (e.rpos < rule_buffer(e)->length()) {
        bool keep = rule_word(rule_buffer(e), e.rpos).keyword == Keyword::keep;
        bool pick = false;
        if (keep) {
            e.rpos++;
            pick = peek_word(e).names(Modifier::pick);
            if (pick) e.rpos++;
        }
        int64_t next = NO_MATCH;
        simple_rule(e, peek_word(e), &next);
        if (next == NO_MATCH) return NO_MATCH;
        if (keep) store_insert_index(e, keep_range(e.in, e.in.pos, uint32_t(next), pick, collect_target(e)));
        e.in.pos = uint32_t(next);
    }
    return e.in.pos;
}

// Whether the cell at index keeps every step over a block holding it from
// running without frames, whatever role the cells before it give it: a
// keyword that frameless_rules takes nowhere (end it takes after to and
// thru), or a value that is no word, no block and no terminal (block input
// takes the most terminals): a paren, an integer count, a set-word...
bool blocks_frameless(SeriesBuffer* rules, uint32_t index) {
    const Cell* cell = rules->cells() + index;
    if (cell_type(cell) != TYPE_WORD) return cell_type(cell) != TYPE_BLOCK && !is_terminal(cell, InputKind::block);
    switch (rule_word(rules, index).keyword) {
    case Keyword::none_: case Keyword::skip: case Keyword::keep: case Keyword::to: case Keyword::thru:
    case Keyword::any: case Keyword::some: case Keyword::opt: case Keyword::while_: case Keyword::end:
        return false;
    default: return true;
    }
}

// Whether the blocker the cache entry of the block's head names still
// blocks_frameless. Iterations inside a framed loop ask this at every step
// of the loop: a block of rules with an action, say, is turned down here
// without its rules being tried.
bool known_blocker(const Cell* block) {
    SeriesBuffer* rules = series_buffer(block);
    uint32_t head = series_index(block);
    CachedWord* entry = cached_entry(rules, head);
    if (!entry || entry->blocker == 0) return false;
    uint32_t index = head + entry->blocker - 1u;
    return index < rules->length() && blocks_frameless(rules, index);
}

// Stores in the cache entry of the block's head the first of its cells that
// blocks_frameless, when there is one its entry can name.
void note_blocker(const Cell* block) {
    SeriesBuffer* rules = series_buffer(block);
    uint32_t head = series_index(block);
    for (uint32_t index = head; index < rules->length() && index - head < UINT16_MAX; index++) {
        if (!blocks_frameless(rules, index)) continue;
        if (CachedWord* entry = cached_entry(rules, head)) entry->blocker = uint16_t(index - head + 1);
        return;
    }
}

// any, some, opt, while and counts over a block of frameless rules: the
// steps counted as the iteration's frames would count them, up to the first
// that fails or consumes nothing. Answers false, changing nothing, when the
// block needs frames.
bool count_block_directly(Engine& e, const Cell* block, int32_t maximum, uint32_t* pos, int64_t* count) {
    if (e.frameless) return false;
    cache_rule_keywords(block);
    if (known_blocker(block)) return false;
    Cell outer = e.rule;
    uint32_t outer_rpos = e.rpos, start = e.in.pos;
    e.rule = *block;
    e.rpos = series_index(block);
    bool frameless = frameless_rules(e);
    if (!frameless) note_blocker(block);
    if (frameless) {
        e.frameless = true;
        e.in.pos = *pos;
        while (maximum < 0 || *count < maximum) {
            uint32_t before = e.in.pos;
            int64_t next = frameless_step(e, series_index(block));
            if (next == NO_MATCH) {
                e.in.pos = before;
                break;
            }
            ++*count;
            if (uint32_t(next) == before) break;
        }
        *pos = e.in.pos;
        e.frameless = false;
    }
    e.rule = outer;
    e.rpos = outer_rpos;
    e.in.pos = start;
    return frameless;
}

// any, some, opt, while and counts over a single terminal value, a block of
// terminal alternatives or skip, counted in one loop without frames: the
// position the iterations reached goes to *after, and whether they were
// enough to *enough. named is what the sub-rule names. Moves the rule
// position past the sub-rule; answers false, changing nothing, when the
// sub-rule needs the state machine.
bool count_directly(Engine& e, RuleWord named, int32_t minimum, int32_t maximum, uint32_t* after, bool* enough) {
    Cell rule = peek(e);
    uint32_t pos = e.in.pos, end = e.in.end();
    int64_t count = 0;
    if (named.keyword == Keyword::skip) {
        count = pos < end ? end - pos : 0;
        if (maximum >= 0) count = std::min<int64_t>(count, maximum);
        pos += uint32_t(count);
    } else {
        Cell target;
        Alternatives alternatives;
        if (!try_resolve_rule(&rule, named, &target)) return false;
        bool single = is_terminal(&target, e.in.kind);
        bool block = cell_type(&target) == TYPE_BLOCK;
        if (!single && !(block && terminal_alternatives(&target, e.in.kind, &alternatives))) {
            if (!block || !count_block_directly(e, &target, maximum, &pos, &count)) return false;
        } else if (uint32_t run; single && repeat_single_units(e.in, pos, end, &target, e.mode, maximum, &run)) {
            count = run;
            pos += run;
        } else {
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
    }
    e.rpos++;
    *after = pos;
    *enough = count >= minimum;
    return true;
}

Step iterate(Engine& e, const Cell* keyword, int32_t minimum, int32_t maximum, int32_t code) {
    RuleWord named = need_next(e, keyword);
    uint32_t after;
    bool enough;
    if (!e.tracing && count_directly(e, named, minimum, maximum, &after, &enough)) {
        e.in.pos = after;
        e.match = enough;
        return Step::complete;
    }
    uint32_t op = push_op(e, code, 0);
    set_triple(op + O_COUNTS, minimum, maximum, 0);
    set_triple(op + O_AUX, int32_t(e.rpos), int32_t(e.shift), e.effects);
    return Step::fetch;
}

Step search_by_steps(Engine& e, bool thru) {
    uint32_t op = push_op(e, thru ? OP_THRU : OP_TO, 0);
    set_triple(op + O_COUNTS, 0, int32_t(e.in.end() - std::min(e.in.pos, e.in.end())), 0);
    return Step::fetch;
}

// to or thru over a rule searched directly: a terminal, a block of
// terminal alternatives, or end. Answers false, consuming nothing, when the
// rule needs the state machine (or the callback must see its steps). named
// is what the rule names.
bool direct_search(Engine& e, RuleWord named, bool thru, int64_t* next) {
    Cell rule = peek(e), target;
    if (named.keyword == Keyword::end) {
        e.rpos++;
        *next = e.in.end();
        return true;
    }
    if (e.tracing || !try_resolve_rule(&rule, named, &target)) return false;
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
    RuleWord named = need_next(e, keyword);
    int64_t next;
    if (direct_search(e, named, thru, &next)) return matched(e, next);
    return search_by_steps(e, thru);
}

// The counts of the iteration keywords; false for any other keyword.
bool iteration_counts(Keyword keyword, int32_t* minimum, int32_t* maximum) {
    switch (keyword) {
    case Keyword::any: case Keyword::while_: *minimum = 0; break;
    case Keyword::some: *minimum = 1; break;
    case Keyword::opt: *minimum = 0; break;
    default: return false;
    }
    *maximum = keyword == Keyword::opt ? 1 : -1;
    return true;
}

// The rules keep, copy and set most often take, matched without frames:
// skip, a terminal, to and thru searched directly, or any, some, opt and
// while over what count_directly takes. named is what the rule names.
// Answers false, consuming nothing, for any other rule.
bool simple_rule(Engine& e, RuleWord named, int64_t* next) {
    if (e.tracing) return false;
    Cell rule = peek(e);
    uint32_t pos = e.in.pos, end = e.in.end();
    Keyword keyword = named.keyword;
    if (keyword == Keyword::skip) {
        e.rpos++;
        *next = pos < end ? int64_t(pos) + 1 : NO_MATCH;
        return true;
    }
    if (keyword == Keyword::to || keyword == Keyword::thru) {
        uint32_t saved = e.rpos++;
        RuleWord target = need_next(e, &rule);
        if (direct_search(e, target, keyword == Keyword::thru, next)) return true;
        e.rpos = saved;
        return false;
    }
    int32_t minimum, maximum;
    if (iteration_counts(keyword, &minimum, &maximum)) {
        uint32_t saved = e.rpos++;
        RuleWord repeated = need_next(e, &rule);
        uint32_t after;
        bool enough;
        if (count_directly(e, repeated, minimum, maximum, &after, &enough)) {
            *next = enough ? int64_t(after) : NO_MATCH;
            return true;
        }
        e.rpos = saved;
        return false;
    }
    Cell target;
    if (!try_resolve_rule(&rule, named, &target) || !is_terminal(&target, e.in.kind)) return false;
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
    set_triple(op + O_AUX, int32_t(e.rpos), int32_t(e.shift), int32_t(e.in.limit));
    e.in = Input{element, series_index(&element), -1, kind_of(type)};
    e.in.clamp();
    return Step::fetch;
}

Step collect_rule(Engine& e, const Cell* keyword) {
    int32_t kind = 0;
    Cell word{}, target{};
    RuleWord option = peek_word(e);
    if (option.names(Modifier::set)) kind = 1;
    else if (option.names(Modifier::into)) kind = 2;
    else if (option.names(Modifier::after)) kind = 3;
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
    Target target = collect_target(e);
    bool pick = peek_word(e).names(Modifier::pick);
    if (pick) e.rpos++;
    RuleWord named;
    Cell rule = next_value(e, keyword, &named);
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
    // Matching a simple rule runs no code: the target is still the one read above.
    if (simple_rule(e, named, &next)) {
        if (next != NO_MATCH) store_insert_index(e, keep_range(e.in, e.in.pos, uint32_t(next), pick, target));
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
    bool only = peek_word(e).names(Modifier::only);
    if (only) e.rpos++;
    Cell value = next_value(e, keyword);
    // A word holding a position in the input names where to insert when a
    // value follows it.
    RuleWord named;
    Cell following = peek(e, &named);
    uint32_t at = e.in.pos;
    bool positional = cell_type(&following) != TYPE_UNSET && named.keyword != Keyword::bar &&
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
    bool only = peek_word(e).names(Modifier::only);
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
    RuleWord named = need_next(e, keyword);
    int64_t next;
    if (simple_rule(e, named, &next)) {
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

}  // namespace

// ---------------------------------------------------------------- entries of the state machine

// An integer rule: N rule, or N M rule (M may be a word's value).
Step repetition(Engine& e, const Cell* count) {
    int32_t minimum = integer::get(count), maximum = minimum;
    RuleWord named;
    Cell next = peek(e, &named), resolved;
    if ((cell_type(&next) == TYPE_INTEGER || cell_type(&next) == TYPE_WORD) && try_resolve_rule(&next, named, &resolved) &&
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

}  // namespace vek::parse
