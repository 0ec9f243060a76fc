// parse on any bytes: the first line is loaded as a rule block, the rest is
// the input, parsed as a string!, as a binary! and, where it loads, as a
// block. Options come from the rule text's length: /case, /part at half the
// input, both, or neither.
//
// Rules run no code of their own: a rule block holding a paren, or a word
// other than a keyword, a datatype, typeset or bitset name, or the few
// position and capture words below used where they cannot act as rules, is
// skipped. Rules that can grow the input or move back in it (insert, change,
// get-words) might match for ever as designed, so they run under a trace
// callback that stops parse after a fixed number of events.
//
// Each to or thru searches the rest of the input, so searches nested in one
// another cost the input's length to the power of their depth: a rule text
// runs with one of them, or with two over an input cut shorter, so that no
// input runs past the fuzzer's time limit as designed.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/lexer/lexer.h"
#include "tests/fuzz/target.h"
#include "tests/unit/support/support.h"

namespace vek::fuzz {
namespace {

// Every construct fits in far fewer bytes; longer texts only slow each run.
constexpr size_t MAX_RULES = 512;
constexpr size_t MAX_INPUT = 1024;
// The input a rule text with two searching keywords runs over; one with more
// does not run.
constexpr size_t MAX_INPUT_TWO_SEARCHES = 256;
constexpr int MOST_SEARCHES = 2;

// Keywords a rule may use (if and while are left out: one runs code, the
// other may loop for ever as designed).
constexpr const char* KEYWORDS[] = {
    "|",    "skip", "any",  "some", "opt",    "to",      "thru", "end",  "none",   "fail",   "break",  "reject",
    "not",  "ahead", "quote", "copy", "set",   "case",    "collect", "keep", "pick", "into",   "after",  "remove",
    "insert", "change", "only",
};

// Words whose values are only ever matched against: datatypes, typesets and
// the bitsets that set_up defines.
constexpr const char* MATCHERS[] = {
    "integer!", "float!",  "string!",   "char!",      "word!",       "set-word!",  "lit-word!", "get-word!",
    "block!",   "paren!",  "path!",     "file!",      "url!",        "tag!",       "issue!",    "binary!",
    "none!",    "logic!",  "number!",   "any-word!",  "any-string!", "any-block!", "any-type!", "digit",
    "alpha",
};

// Events a traced parse may fire before its callback stops it.
constexpr int TRACE_BUDGET = 2000;

// p and q hold input positions (set-words and get-words, and the word of
// remove, insert and change); x and y receive what copy, set and collect
// capture, and are only read by case and as collect targets.
enum class Name { keyword, matcher, position, capture, other };

// The canonical symbol ids of the names above, interned once.
struct Names {
    std::vector<uint32_t> keywords, matchers, positions, captures;
    uint32_t id(const char* name) const { return symbol::make_case_folded(name); }
};

const Names& names() {
    static const Names table = [] {
        Names made;
        for (const char* name : KEYWORDS) made.keywords.push_back(made.id(name));
        for (const char* name : MATCHERS) made.matchers.push_back(made.id(name));
        made.positions = {made.id("p"), made.id("q")};
        made.captures = {made.id("x"), made.id("y")};
        return made;
    }();
    return table;
}

bool holds(const std::vector<uint32_t>& ids, uint32_t id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

Name name_of(const Cell* word) {
    uint32_t id = symbol::resolve(word::symbol(word));
    const Names& table = names();
    if (holds(table.keywords, id)) return Name::keyword;
    if (holds(table.matchers, id)) return Name::matcher;
    if (holds(table.positions, id)) return Name::position;
    if (holds(table.captures, id)) return Name::capture;
    return Name::other;
}

bool is_keyword(const Cell* cell, const char* keyword) {
    return cell_type(cell) == TYPE_WORD && symbol::resolve(word::symbol(cell)) == symbol::make_case_folded(keyword);
}

// What a rule text holds beyond plain matching, and whether it is safe to
// run at all.
struct RuleCheck {
    bool safe = true;
    bool moves_back_or_grows = false;  // insert, change or a get-word
    bool position_word_edits = false;  // remove, insert or change given p or q
    bool enters_input = false;         // into, not as collect's target
    int searches = 0;                  // to and thru keywords
};

// A position word acts as a position only right after remove, insert or
// change (or their only); a capture word only right after the keywords that
// store into it or read it as a flag or target.
bool placed_well(Name name, const Cell* cells, uint32_t i) {
    const Cell* before = i > 0 ? &cells[i - 1] : nullptr;
    const Cell* before_that = i > 1 ? &cells[i - 2] : nullptr;
    auto is = [](const Cell* cell, const char* keyword) { return cell && is_keyword(cell, keyword); };
    if (name == Name::position)
        return is(before, "remove") || is(before, "insert") || is(before, "change") ||
               (is(before, "only") && (is(before_that, "insert") || is(before_that, "change")));
    return is(before, "copy") || is(before, "set") || is(before, "case") || is(before, "after") ||
           (is(before, "into") && is(before_that, "collect"));
}

void check_word(const Cell* cells, uint32_t i, RuleCheck& check) {
    const Cell* cell = &cells[i];
    Name name = name_of(cell);
    switch (cell_type(cell)) {
        case TYPE_WORD:
            if (name == Name::position || name == Name::capture) {
                check.safe = check.safe && placed_well(name, cells, i);
                if (name == Name::position) check.position_word_edits = true;
            } else if (name == Name::other) {
                check.safe = false;
            }
            if (is_keyword(cell, "insert") || is_keyword(cell, "change")) check.moves_back_or_grows = true;
            if (is_keyword(cell, "to") || is_keyword(cell, "thru")) check.searches++;
            if (is_keyword(cell, "into") && !(i > 0 && is_keyword(&cells[i - 1], "collect")))
                check.enters_input = true;
            break;
        case TYPE_SET_WORD:
            check.safe = check.safe && name == Name::position;
            break;
        case TYPE_GET_WORD:
            check.safe = check.safe && name == Name::position;
            check.moves_back_or_grows = true;
            break;
        default:  // lit-words are only matched against
            break;
    }
}

// Paths are only matched against (a path! rule is refused by parse itself),
// but may hold parens.
bool holds_paren(const Cell* block) {
    SeriesBuffer* buffer = series_buffer(block);
    const Cell* cells = buffer->cells();
    for (uint32_t i = series_index(block); i < buffer->length(); i++) {
        uint32_t type = cell_type(&cells[i]);
        if (type == TYPE_PAREN || (is_any_block(type) && holds_paren(&cells[i]))) return true;
    }
    return false;
}

void check_block(const Cell* block, RuleCheck& check) {
    SeriesBuffer* buffer = series_buffer(block);
    const Cell* cells = buffer->cells();
    for (uint32_t i = series_index(block); i < buffer->length() && check.safe; i++) {
        uint32_t type = cell_type(&cells[i]);
        if (type == TYPE_PAREN || type == TYPE_SET_PATH || type == TYPE_GET_PATH)
            check.safe = false;
        else if (type == TYPE_BLOCK)
            check_block(&cells[i], check);
        else if (type == TYPE_PATH || type == TYPE_LIT_PATH)
            check.safe = !holds_paren(&cells[i]);
        else if (is_all_word(type) && type != TYPE_REFINEMENT && type != TYPE_ISSUE)
            check_word(cells, i, check);
    }
}

// Run only when nothing in the rules can hand a value taken from the input
// back to the engine as a rule: a position word whose series is not the
// input (it was set inside into) would be used as one.
bool runnable(const RuleCheck& check) {
    return check.safe && !(check.position_word_edits && check.enters_input) && check.searches <= MOST_SEARCHES;
}

size_t longest_input(const RuleCheck& check) {
    return check.searches == MOST_SEARCHES ? MAX_INPUT_TWO_SEARCHES : MAX_INPUT;
}

Cell load_block(const uint8_t* text, size_t size) {
    Cell block{};
    lexer::scan(make_unset(&block), text, uint32_t(size), {.wrap = true}, nullptr, nullptr, nullptr);
    return block;
}

// The code run here holds no break, return or exit, so nothing is pending
// afterwards.
void evaluate(const Cell* code) { static_cast<void>(eval::eval_block(code)); }

void run_code(const char* source) {
    Cell code = load_block(reinterpret_cast<const uint8_t*>(source), std::strlen(source));
    evaluate(&code);
}

// The bitsets the matcher words name and the callback of traced runs.
void set_up() {
    static bool done = false;
    if (done) return;
    done = true;
    run_code(
        "digit: make bitset! \"0123456789\" "
        "alpha: make bitset! \"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ\" "
        "fuzz-events: 0 "
        "fuzz-trace: func [event match rule input stack] [fuzz-events: fuzz-events - 1 fuzz-events > 0]");
}

// Index of the input in the call the code below loads; the rules follow it.
constexpr uint32_t INPUT_SLOT = 8;

// Runs parse on the input with the rules, under the options picked.
void run_parse(const Cell& input, const Cell& rules, uint32_t options, bool traced, uint32_t limit) {
    std::string source = "p: q: x: y: none fuzz-events: " + std::to_string(TRACE_BUDGET) + " parse";
    if (options & 1) source += "/case";
    if (options & 2) source += "/part";
    if (traced) source += "/trace";
    source += " input rules";
    if (options & 2) source.append(" ").append(std::to_string(limit));
    if (traced) source += " :fuzz-trace";
    Cell code = load_block(reinterpret_cast<const uint8_t*>(source.data()), source.size());
    Cell* cells = series_buffer(&code)->cells();
    cells[INPUT_SLOT] = input;
    cells[INPUT_SLOT + 1] = rules;
    evaluate(&code);
}

// Whether the loaded input may be parsed as a block: it holds no paren and
// no if or while. Its values can still reach a rule: insert only puts a
// block of the rules into the input, where remove, insert and change may
// then edit it.
bool block_input_safe(const Cell* block) {
    SeriesBuffer* buffer = series_buffer(block);
    const Cell* cells = buffer->cells();
    for (uint32_t i = series_index(block); i < buffer->length(); i++) {
        const Cell* cell = &cells[i];
        if (cell_type(cell) == TYPE_PAREN || is_keyword(cell, "while") || is_keyword(cell, "if")) return false;
        if (is_any_block(cell_type(cell)) && !block_input_safe(cell)) return false;
    }
    return true;
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    test::raised(set_up);
    const uint8_t* newline = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    size_t rules_size = newline ? size_t(newline - data) : size;
    const uint8_t* text = newline ? newline + 1 : data + size;
    if (rules_size > MAX_RULES) return;

    Cell rules{};
    if (test::raised([&] { rules = load_block(data, rules_size); })) return;
    RuleCheck check;
    check_block(&rules, check);
    if (!runnable(check)) return;
    size_t text_size = std::min(size - size_t(text - data), longest_input(check));

    uint32_t options = uint32_t(rules_size % 4);
    bool traced = check.moves_back_or_grows;
    auto limit = uint32_t(text_size / 2);
    auto length = uint32_t(text_size);
    Cell input{};
    test::raised([&] {
        string::load(text, length, &input, string::Encoding::utf8);
        run_parse(input, rules, options, traced, limit);
    });
    test::raised([&] {
        binary::load_at(&input, text, length);
        run_parse(input, rules, options, traced, limit);
    });
    test::raised([&] {
        input = load_block(text, text_size);
        if (block_input_safe(&input)) run_parse(input, rules, options, traced, limit);
    });
}

}  // namespace vek::fuzz
