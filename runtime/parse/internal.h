// What the parse engine's files share: the input under way, the engine's
// state record, the keywords, and the matching of single rule values
// (match.cpp) and the editing operations (edits.cpp) that the state machine
// (engine.cpp) calls.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/core/unwind.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/series.h"
#include "runtime/parse/parse.h"

namespace vek::parse {

enum class InputKind : uint8_t { block, text, bytes };

// The input being matched: the series (its own index unused) and the
// position, as an index from the buffer's first unit. The buffer is read
// afresh at every access: Vek code run meanwhile may move or shorten it.
struct Input {
    Cell series;
    uint32_t pos;
    int64_t limit;  // where the input counts as ended; -1: its tail
    InputKind kind;

    uint32_t length() const { return series_buffer(&series)->length(); }
    uint32_t end() const {
        uint32_t n = length();
        return limit >= 0 && limit < int64_t(n) ? uint32_t(limit) : n;
    }
    // After code ran: a shortened input leaves the position at its tail.
    void clamp() { pos = std::min(pos, length()); }
    // The series positioned at an index (clamped to the tail).
    Cell at(uint32_t index) const {
        Cell c = series;
        set_series_index(&c, std::min(index, length()));
        return c;
    }
};

InputKind kind_of(uint32_t type);

// Keywords, by the canonical symbol of their word.
enum class Keyword : uint8_t {
    none_ = 0,  // not a keyword
    bar, skip, any, some, opt, while_, to, thru, end, none, fail, break_, reject, not_, ahead,
    quote, copy, set, case_, into, if_, collect, keep, remove, insert, change,
};
// The keyword a word! names, or none_ (any other word kind is none_).
Keyword keyword_of(const Cell* word);
// The modifiers that a word! may name after collect, keep, insert and change.
enum class Modifier : uint8_t { pick, only, set, into, after };
void init_keywords();
// Declares the keyword table for the image of the heap (at every start).
void keep_keywords();

// What a rule value names: for a word!, its keyword and the modifiers it
// spells (one bit per Modifier); nothing for any other value.
struct RuleWord {
    Keyword keyword = Keyword::none_;
    uint8_t modifiers = 0;

    bool names(Modifier modifier) const { return (modifiers >> uint32_t(modifier)) & 1; }
};

// The keyword cache of a rule block's buffer: what each of its cells names,
// decoded once for the buffer and checked before each use against the
// cell's symbol, so that a block changed between or during parses is read
// again. It lives in the Vek heap, as a series of 8-byte entries (one per
// cell from the buffer's first) whose node is the buffer header's
// rule_keywords word: nothing outside the heap refers to it. Made or
// remade, when it is missing or shorter than the buffer, as a block is
// entered (this allocates).
void make_rule_keywords(const Cell* block);
inline void cache_rule_keywords(const Cell* block) {
    SeriesBuffer* rules = series_buffer(block);
    Node cache = rules->rule_keywords;
    // An entry is half a cell.
    if (cache == Node::none || node_buffer(cache)->used_bytes() * 2 < rules->used_bytes()) make_rule_keywords(block);
}

// Entries of the cache: the symbol a word! cell had when decoded (0 for
// any other cell) and what it names. blocker serves a block whose head is
// the entry's cell: 1 + the offset from the head of a cell that keeps any
// step over the block from running without frames, or 0 when none is known
// (rules.cpp checks that cell again before trusting it). Decoding a word
// anew clears it.
struct CachedWord {
    uint32_t symbol;
    RuleWord word;
    uint16_t blocker;
};
static_assert(sizeof(CachedWord) == 8);

// Decodes the cell into its entry; the cell is a word!.
RuleWord decode_rule_word(const Cell* word, CachedWord* entry);

// The cache entry of the cell at index of a rule buffer, or null when the
// buffer has no cache reaching that far.
inline CachedWord* cached_entry(SeriesBuffer* rules, uint32_t index) {
    if (rules->rule_keywords == Node::none) return nullptr;
    SeriesBuffer* cache = node_buffer(rules->rule_keywords);
    if (index >= cache->used_bytes() / sizeof(CachedWord)) return nullptr;
    return reinterpret_cast<CachedWord*>(cache->first()) + index;
}

// What the cell at index (below the length) of a rule buffer names, from
// the buffer's cache where the cell is still what the cache decoded.
inline RuleWord rule_word(SeriesBuffer* rules, uint32_t index) {
    const Cell* cell = rules->cells() + index;
    if (cell_type(cell) != TYPE_WORD) return {};
    CachedWord* entry = cached_entry(rules, index);
    if (entry && entry->symbol == word::symbol(cell)) return entry->word;
    return decode_rule_word(cell, entry);
}

// The value a rule word stands for: a word! that is no keyword gives its
// value; an unset or word value raises parse-rule. Anything else is itself.
Cell resolve(const Cell* value);
// The same, but answers false instead of raising, and for keywords: the
// checks the fast paths make before they take a rule. try_resolve_rule
// takes what the value names, already known.
bool try_resolve(const Cell* value, Cell* out);
bool try_resolve_rule(const Cell* value, RuleWord named, Cell* out);

// ---------------------------------------------------------------- single values (match.cpp)

constexpr int64_t NO_MATCH = -1;

// Whether match_terminal takes the value for this input kind.
bool is_terminal(const Cell* value, InputKind kind);
// Matches one rule value (a char!, text, binary!, bitset!, datatype!,
// typeset!, lit-word!, lit-path! or, on block input, any other literal) at
// pos, never past end. Answers the position after the match, or NO_MATCH.
// A value the input kind cannot match raises parse-rule (a datatype! or
// typeset! on text, parse-unsupported).
int64_t match_terminal(const Input& in, uint32_t pos, uint32_t end, const Cell* value, Mode mode);

// A char! or bitset! repeated over text input, one unit per match, from pos
// up to end and at most maximum times (-1: no limit): *matched gets the
// count. Answers false, doing nothing, for any other value or input.
bool repeat_single_units(const Input& in, uint32_t pos, uint32_t end, const Cell* value, Mode mode, int64_t maximum,
                         uint32_t* matched);

// A rule block made only of single terminal values separated by "|", such
// as [integer! | word!], which the fast paths match without entering it.
struct Alternatives {
    std::array<Cell, 8> values;
    uint32_t count;
};
bool terminal_alternatives(const Cell* block, InputKind kind, Alternatives* out);
int64_t match_alternatives(const Input& in, uint32_t pos, uint32_t end, const Alternatives& alternatives,
                           Mode mode);

// The first match of the value at or after pos (up to end): its start and
// the position after it. Answers false when there is none.
bool search_terminal(const Input& in, uint32_t pos, uint32_t end, const Cell* value, Mode mode, uint32_t* at,
                     uint32_t* after);
bool search_alternatives(const Input& in, uint32_t pos, uint32_t end, const Alternatives& alternatives,
                         Mode mode, uint32_t* at, uint32_t* after);

// ---------------------------------------------------------------- edits (edits.cpp)

// The value that `set` gives for the input at start (none! when start is at
// or past end): the element, a char! of text, an integer! byte of binary!.
Cell first_value(const Input& in, uint32_t start, uint32_t end);
// A new series of the input's type holding the values from start to end.
Cell copy_range(const Input& in, uint32_t start, uint32_t end);
// Removes the values from start to end (clamped to the tail).
void remove_range(const Input& in, uint32_t start, uint32_t end);
// Inserts the value at the index; answers how many values the input grew by.
int64_t insert_at(const Input& in, uint32_t index, const Cell* value, bool only);
// Replaces the values from start to end by the value; answers the index
// just past the new content.
uint32_t change_range(const Input& in, uint32_t start, uint32_t end, const Cell* value, bool only);

// A collect target: the series kept in its frame and where keep puts values
// (-1: at the tail).
struct Target {
    Cell series;
    int64_t insert_at;
};
// Keeps the values from start to end of the input into the target, each
// separately with pick; answers the new insertion index.
int64_t keep_range(const Input& in, uint32_t start, uint32_t end, bool pick, const Target& target);
// Keeps one value (a paren's result, a nested collect's block) as it is.
int64_t keep_value(const Cell* value, const Target& target);
// Checks a collect into/after target against the input: parse-into-type or
// parse-into-bad.
void check_target(const Input& in, const Cell* series);

}  // namespace vek::parse
