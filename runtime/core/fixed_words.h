// The fixed words: symbols and words that the runtime needs by identity
// (refinement names, parse keywords, event and object field names, tracing
// event names, error categories), interned once at start-up so that code
// compares symbol ids instead of text. Set once by init and never changed.
//
// The lists are X-macros of (identifier, name) in interning order: the order
// fixes the symbol ids, so entries are only ever appended. A name listed
// twice is interned once.
//
// The word cells are copies kept in this module's arrays. They hold no node
// but the global context's (the refinements none at all), which is a root of
// its own, so the collector need not mark them.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/core/cell.h"

// clang-format off
#define VEK_FIXED_SYMBOLS(X) \
    X(spec, "spec") X(body, "body") X(words, "words") X(class_, "class") \
    X(logic_type, "logic!") X(integer_type, "integer!") X(char_type, "char!") \
    X(float_type, "float!") X(percent_type, "percent!") X(any_type, "any-type!") \
    X(exit_, "exit") X(return_, "return") X(windows, "Windows") X(syllable, "Syllable") \
    X(macos, "macOS") X(linux_, "Linux") X(netbsd, "NetBSD") X(repeat, "repeat") \
    X(foreach, "foreach") X(map_each, "map-each") X(remove_each, "remove-each") \
    X(any, "any") X(break_, "break") X(copy, "copy") X(end, "end") X(fail, "fail") \
    X(into, "into") X(opt, "opt") X(not_, "not") X(quote, "quote") X(case_, "case") \
    X(reject, "reject") X(set, "set") X(skip, "skip") X(some, "some") X(thru, "thru") \
    X(to, "to") X(none, "none") X(bar, "|") X(dash, "-") X(if_, "if") X(remove, "remove") \
    X(while_, "while") X(insert, "insert") X(only, "only") X(collect, "collect") \
    X(keep, "keep") X(pick, "pick") X(ahead, "ahead") X(after, "after") X(x, "x") X(y, "y") \
    X(z, "z") X(self, "self") X(values, "values") X(owner, "owner") X(owned, "owned") \
    X(events_q, "events?") X(true_, "true") X(false_, "false") X(yes, "yes") X(no, "no") \
    X(on, "on") X(off, "off") X(type, "type") X(face, "face") X(window, "window") \
    X(offset, "offset") X(key, "key") X(flag, "flag") X(code, "code") X(picked, "picked") \
    X(flags, "flags") X(away_q, "away?") X(ctrl_q, "ctrl?") X(shift_q, "shift?") \
    X(down_q, "down?") X(mid_down_q, "mid-down?") X(alt_down_q, "alt-down?") \
    X(aux_down_q, "aux-down?") X(orientation, "orientation") X(get, "get") X(put, "put") \
    X(post, "post") X(head, "head") X(size, "size") X(rgb, "rgb") X(alpha, "alpha") \
    X(argb, "argb") X(date, "date") X(year, "year") X(month, "month") X(day, "day") \
    X(zone, "zone") X(isoweek, "isoweek") X(week, "week") X(weekday, "weekday") \
    X(yearday, "yearday") X(julian, "julian") X(time, "time") X(hour, "hour") \
    X(minute, "minute") X(second, "second") X(timezone, "timezone") X(amount, "amount") \
    X(user, "user") X(host, "host") X(system, "system") X(system_global, "system-global") \
    X(stack, "stack") X(trace, "trace") X(no_trace, "no-trace")

#define VEK_FIXED_SYMBOL_WORDS(X) \
    X(windows, "Windows") X(syllable, "Syllable") X(macos, "macOS") X(linux_, "Linux") \
    X(netbsd, "NetBSD") X(to, "to") X(thru, "thru") X(not_, "not") X(remove, "remove") \
    X(while_, "while") X(collect, "collect") X(keep, "keep") X(ahead, "ahead") X(bar, "|") \
    X(any, "any") X(some, "some") X(copy, "copy") X(opt, "opt") X(into, "into") \
    X(insert, "insert") X(if_, "if") X(quote, "quote") X(set, "set") X(case_, "case")

#define VEK_FIXED_TEXT_WORDS(X) \
    X(at, "at") X(back, "back") X(find, "find") X(head, "head") X(head_q, "head?") \
    X(index_q, "index?") X(length_q, "length?") X(next, "next") X(pick, "pick") \
    X(skip, "skip") X(select, "select") X(tail, "tail") X(tail_q, "tail?") \
    X(change, "change") X(changed, "changed") X(clear, "clear") X(cleared, "cleared") \
    X(set_path, "set-path") X(append, "append") X(appended, "appended") X(move, "move") \
    X(moved, "moved") X(poke, "poke") X(poked, "poked") X(put, "put") X(put_ed, "put-ed") \
    X(removed, "removed") X(random, "random") X(randomized, "randomized") \
    X(reverse, "reverse") X(reversed, "reversed") X(sort, "sort") X(sorted, "sorted") \
    X(swap, "swap") X(swaped, "swaped") X(take, "take") X(taken, "taken") X(trim, "trim") \
    X(trimmed, "trimmed") X(inserted, "inserted") X(uppercase, "uppercase") \
    X(lowercase, "lowercase") X(checksum, "checksum") X(push, "push") X(pop, "pop") \
    X(fetch, "fetch") X(match, "match") X(iterate, "iterate") X(paren, "paren") \
    X(anon_tag, "<anon>") X(body_tag, "<body>") X(not_found_tag, "<not-found>") \
    X(end, "end") X(add, "add") X(subtract, "subtract") X(divide, "divide") \
    X(on_parse_event, "on-parse-event") X(on_change, "on-change*") \
    X(on_deep_change, "on-deep-change*") X(type, "type") X(id, "id") X(try_, "try") \
    X(catch_, "catch") X(name, "name") X(multiply, "multiply") X(browse, "browse") \
    X(open, "open") X(create, "create") X(close, "close") X(delete_, "delete") \
    X(modify, "modify") X(query, "query") X(read, "read") X(rename, "rename") \
    X(update, "update") X(write, "write") X(prescan, "prescan") X(scan, "scan") \
    X(load, "load") X(error, "error") X(comment, "comment") X(init, "init") X(exec, "exec") \
    X(call, "call") X(return_, "return") X(enter, "enter") X(exit_, "exit") \
    X(prolog, "prolog") X(epilog, "epilog") X(throw_, "throw") X(expr, "expr") \
    X(interp_callback_tag, "<interp-callback>") X(lexer_callback_tag, "<lexer-callback>") \
    X(parse_callback_tag, "<parse-callback>") X(compare_callback_tag, "<compare-callback>") \
    X(note, "note") X(syntax, "syntax") X(script, "script") X(math, "math") \
    X(access, "access") X(user, "user") X(internal, "internal") \
    X(invalid_error, "invalid-error") X(local, "local") X(applied_tag, "<applied>")

#define VEK_FIXED_REFINEMENTS(X) \
    X(local, "local") X(extern_, "extern") X(compare, "compare") X(part, "part") \
    X(skip, "skip") X(with, "with")
// clang-format on

namespace vek::fixed_words {

#define VEK_FIXED_ENUMERATOR(id, name) id,
enum class Sym : uint32_t { VEK_FIXED_SYMBOLS(VEK_FIXED_ENUMERATOR) count };
// Words of the global context: first the words of symbols, then those made
// from text.
enum class Word : uint32_t {
    VEK_FIXED_SYMBOL_WORDS(VEK_FIXED_ENUMERATOR) VEK_FIXED_TEXT_WORDS(VEK_FIXED_ENUMERATOR) count
};
// Unbound refinement! values.
enum class Ref : uint32_t { VEK_FIXED_REFINEMENTS(VEK_FIXED_ENUMERATOR) count };
#undef VEK_FIXED_ENUMERATOR

constexpr uint32_t SYMBOL_COUNT = uint32_t(Sym::count);
constexpr uint32_t WORD_COUNT = uint32_t(Word::count);
constexpr uint32_t REFINEMENT_COUNT = uint32_t(Ref::count);

// The symbol id of self, which the collector compares word symbols with;
// 0 until init.
extern uint32_t self_symbol;

// Runtime initialisation, once the symbol table and the global context
// exist: the symbols, then the words; then the refinements; then the issue.
// init_hooks registers their collector root, at every start.
void init_hooks();
void init();
void init_refinements();
void init_issues();

uint32_t symbol(Sym s);
const Cell* word(Word w);
// The position among words of the one value names, matched without regard
// to case; -1 when value is no word! or names none of them.
int32_t position_of_word(const Cell* value, std::span<const Word> words);
const Cell* refinement(Ref r);
// The issue! #ooo.
const Cell* issue_ooo();

}  // namespace vek::fixed_words
