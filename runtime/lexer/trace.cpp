// Lexer tracing: a function called at each step of a scan (prescan, scan,
// load, open, close, error) with the event, the source series positioned at
// the token, the token's datatype, the line and the loaded value or the
// token's span. Its answer can veto the step, and by changing the index of
// the series it was given it can move the input.
#include <algorithm>
#include <bit>

#include "runtime/core/fixed_words.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/eval/evaluator.h"
#include "runtime/lexer/internal.h"
#include "runtime/memory/series.h"

namespace vek::lexer {

namespace {

using fixed_words::Word;

constexpr Cell NONE = blank_cell(TYPE_NONE);
constexpr uint32_t TRACER_ARGUMENTS = 5;

// The event words, by the position of the event's bit.
constexpr Word EVENT_WORDS[] = {Word::prescan, Word::scan, Word::load, Word::open, Word::close, Word::error};
constexpr uint32_t EVENT_COUNT = sizeof EVENT_WORDS / sizeof EVENT_WORDS[0];
static_assert(LEX_ALL_EVENTS >> EVENT_COUNT == 0);

// The event bit a value names, 0 when it is no event word.
uint32_t event_named(const Cell* value) {
    int32_t position = fixed_words::position_of_word(value, EVENT_WORDS);
    return position < 0 ? 0 : 1u << position;
}

// The mask a leading block gives: when the series' first value is a block
// and every value in it is an event word, the events named; else *found
// stays false.
uint32_t mask_of_leading_block(const Cell* series, bool* found) {
    SeriesBuffer* buffer = series_buffer(series);
    if (series_index(series) >= buffer->length()) return 0;
    const Cell* first = buffer->cells() + series_index(series);
    if (cell_type(first) != TYPE_BLOCK) return 0;
    SeriesBuffer* words = series_buffer(first);
    uint32_t bits = 0;
    for (uint32_t i = series_index(first); i < words->length(); i++) {
        uint32_t bit = event_named(words->cells() + i);
        if (!bit) return 0;
        bits |= bit;
    }
    *found = true;
    return bits;
}

// The tracer's mask: from a block of event words leading its spec block, else
// leading its body, else every event.
uint32_t mask_of(const Cell* tracer) {
    bool found = false;
    Cell spec_block = series_cell(TYPE_BLOCK, function::spec_node(tracer));
    uint32_t bits = mask_of_leading_block(&spec_block, &found);
    if (found) return bits;
    const Cell* body = function::body(tracer);
    if (cell_type(body) == TYPE_BLOCK) bits = mask_of_leading_block(body, &found);
    return found ? bits : LEX_ALL_EVENTS;
}

// Positions in a string! source are counted in code points, in a binary! in bytes.
bool counts_characters(const State* st) {
    return cell_type(&st->source) != TYPE_BINARY && cell_type(&st->source) != TYPE_NONE;
}

bool continuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

// The position's offset from the input start: code points for a string
// source, counted on from the last position asked (forward or backward),
// bytes otherwise.
uint32_t char_offset(State* st, const uint8_t* p) {
    p = std::clamp(p, st->input_start, st->input_end);
    if (!counts_characters(st)) return uint32_t(p - st->input_start);
    for (; st->counted_at < p; st->counted_at++) st->counted += !continuation(*st->counted_at);
    for (; st->counted_at > p; st->counted_at--) st->counted -= !continuation(st->counted_at[-1]);
    return st->counted;
}

// The input position at an offset from the input start, in the units of
// char_offset, clamped to the input.
const uint8_t* position_at(State* st, int64_t offset) {
    if (offset <= 0) return st->input_start;
    if (!counts_characters(st)) {
        return offset >= st->input_end - st->input_start ? st->input_end : st->input_start + offset;
    }
    const uint8_t* p = st->input_start;
    for (int64_t n = 0; p < st->input_end; p++) {
        if (!continuation(*p) && n++ == offset) return p;
    }
    return st->input_end;
}

Cell type_value(int32_t type) {
    if (type > 0) return datatype::cell(uint32_t(type));
    if (type == 0) return NONE;
    const Cell* names = system_fields::exit_states();
    uint32_t kind = uint32_t(-type - 1);
    if (cell_type(names) != TYPE_BLOCK || kind >= series_buffer(names)->length() - series_index(names)) return NONE;
    return series_buffer(names)->cells()[series_index(names) + kind];
}

Cell span(State* st, const uint8_t* start, const uint8_t* end) {
    Cell pair{};
    int32_t from = int32_t(char_offset(st, start)) + 1;
    pair::make_at(&pair, from, int32_t(char_offset(st, end)) + 1);
    return pair;
}

}  // namespace

void start_tracing(State* st, const Cell* tracer, const Cell* source) {
    st->counted_at = st->input_start;
    st->counted = 0;
    st->moved_to = nullptr;
    st->source = source ? *source : NONE;
    st->tracer = tracer ? *tracer : NONE;
    st->trace_mask = tracer ? mask_of(tracer) : 0;
}

// The tracer runs in a call frame named <lexer-callback>, as a callback of
// the lexer class; after it the argument cell that held the source tells
// whether it moved the input.
bool trace_event(State* st, uint32_t event, int32_t type, const Cell* value, const uint8_t* start,
                 const uint8_t* end) {
    if (!traced(st, event)) return true;
    bool at_start = event == LEX_OPEN || (event == LEX_PRESCAN && type < 0);
    Cell source = st->source;
    uint32_t base = cell_type(&source) == TYPE_NONE ? 0 : series_index(&source);
    uint32_t at = base + char_offset(st, at_start ? start : end);
    if (cell_type(&source) != TYPE_NONE) set_series_index(&source, at);
    const Cell arguments[TRACER_ARGUMENTS] = {
        *fixed_words::word(EVENT_WORDS[std::countr_zero(event)]),
        source,
        type_value(type),
        integer::cell(int32_t(st->line)),
        value ? *value : span(st, start, end),
    };
    Cell function = st->tracer;
    const Cell* name = fixed_words::word(Word::lexer_callback_tag);
    Cell* saved_top = stack::top;
    eval::push_callback_call(&function, name, arguments, TRACER_ARGUMENTS);
    Cell* given = stack::arguments + 1;
    eval::raise_pending(eval::call_function(&function, name, eval::CALL_LEXER));
    if (cell_type(&source) != TYPE_NONE && cell_type(given) == cell_type(&source) &&
        series_node(given) == series_node(&source) && series_index(given) != at)
        st->moved_to = position_at(st, int64_t(series_index(given)) - base);
    bool answer = !logic::is_false(stack::arguments);
    stack::unwind_function_drop();
    stack::top = saved_top;
    return answer;
}

}  // namespace vek::lexer
