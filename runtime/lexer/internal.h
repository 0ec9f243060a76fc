// What the engine, the scanners and the text loaders share inside the lexer.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"
#include "runtime/lexer/lexer.h"
#include "runtime/lexer/tables.h"

namespace vek::lexer {

// The output stack shared by every running scan.
Cell* output_at(uint32_t index);

// Nesting. open_series pushes a marker (a triple!: the enclosing level's
// value count, the datatype opened, the opener's byte offset) and starts a
// level after it. close_series copies the level into a series of the type
// (in load mode) where the marker stood; opener is the delimiter reported
// when there is no open level. A tracer may decline either: they answer
// false and leave the levels as they were (a declined close returns to start
// state 0). closer is nullptr when the scan closes what an error left open,
// which is not traced.
bool open_series(State* st, uint32_t type, const uint8_t* opener);
bool close_series(State* st, uint32_t type, const uint8_t* closer, char opener);
// The marker's three words, in that order.
inline uint32_t marker_outer_count(const Cell* marker) {
    VEK_CHECK_LAYOUT(marker, type_in<TYPE_TRIPLE>);
    return payload_word(marker, 1);
}
inline uint32_t marker_type(const Cell* marker) {
    VEK_CHECK_LAYOUT(marker, type_in<TYPE_TRIPLE>);
    return payload_word(marker, 2);
}
inline uint32_t marker_opener(const Cell* marker) {
    VEK_CHECK_LAYOUT(marker, type_in<TYPE_TRIPLE>);
    return payload_word(marker, 3);
}
// The datatype of the innermost open level, 0 at the outermost.
uint32_t open_type(const State* st);
bool in_path(const State* st);

// "missing" with the delimiter expected, quoted from near.
[[noreturn]] void missing_error(State* st, char delimiter, const uint8_t* near);

// Runs after every item of a path: closes it at a delimiter, else consumes
// the "/" that continues it.
void end_path_item(State* st);

// Strict UTF-8: the code point of the sequence at p (its length in *size),
// or -1 for a truncated, overlong or surrogate sequence or one above U+10FFFF.
int32_t decode_utf8(const uint8_t* p, const uint8_t* end, uint32_t* size);
// Raises a syntax error of the type unless the bytes are valid UTF-8.
void check_utf8(State* st, const uint8_t* from, const uint8_t* to, int32_t type);
// Whether the code point counts as a blank around and inside words.
bool unicode_blank(uint32_t code_point);

// The text after a "^": the code point, or -1 when invalid; *next is set
// after the escape.
int32_t decode_escape(const uint8_t* p, const uint8_t* end, const uint8_t** next);

// How read_text takes the text.
struct TextFlags {
    bool escapes = false;  // "^" escapes are decoded
    bool load = false;     // the value is appended to the output, else only checked
};

// The string-like value of the text between the delimiters; an undecodable
// character is a syntax error of the override's type (string! without one).
// With load, appends a string! (retyped to the override) to the output.
void read_text(State* st, const uint8_t* from, const uint8_t* to, TextFlags flags, const uint8_t* near);

// A raw string's closing "}". The automaton ends the token at the first "}"
// followed by "%" signs; when that run is shorter than the one that opened
// the string, the string goes on to the first "}" followed by as many, the
// line feeds on the way counted. *after is set past the closing run. A
// longer run, or no such "}", is a syntax error of type string!.
const uint8_t* raw_string_close(State* st, const uint8_t* start, const uint8_t* end, const uint8_t** after);

// Map literals: the level's values must be key/value pairs with keys a map
// accepts (else a syntax error of type map!, quoted from near); make_map turns
// the closed block into the map.
void check_map_pairs(State* st, const uint8_t* near);
void make_map(Cell* block);

// Whether the "(" at p starts a point literal: at least 4 bytes follow, all
// number characters up to a "," or the input end.
bool starts_point(const uint8_t* p, const uint8_t* end);

// ---------------------------------------------------------------- tracing (trace.cpp)

// The events a tracer hears, as bits of its mask.
enum TraceEvent : uint32_t {
    LEX_PRESCAN = 1, LEX_SCAN = 2, LEX_LOAD = 4, LEX_OPEN = 8, LEX_CLOSE = 16, LEX_ERROR = 32,
};
constexpr uint32_t LEX_ALL_EVENTS = 63;

// Readies the record's tracing fields: the tracer function (nullptr for
// none), and the series the text came from (nullptr for none).
void start_tracing(State* st, const Cell* tracer, const Cell* source);

// Each event site tests this first, so that a scan without a tracer pays
// one test per site.
inline bool traced(const State* st, uint32_t event) { return (st->trace_mask & event) != 0; }

// The code of a token kind that has no datatype, for trace_event.
inline int32_t kind_code(uint32_t kind) { return -int32_t(kind) - 1; }

// Calls the tracer for the event of the token from start to end and answers
// the truth of its result (true, without a call, for an event it does not
// hear). type is a datatype id, 0, or kind_code(kind); value is the value
// reported (the token's character span when nullptr). A tracer that changed
// the index of the source series it was given leaves where to move the input
// in st->moved_to. Raises what the tracer raises; a break or continue in it
// goes on as an exception.
bool trace_event(State* st, uint32_t event, int32_t type, const Cell* value, const uint8_t* start,
                 const uint8_t* end);

// The scanners of the delimiter kinds (scan_text.cpp).
void scan_end(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_error(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void open_block(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void close_block(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void close_paren(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void open_brace(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void close_brace(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void open_map(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void open_path(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_comment(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void scan_comma(State*, const uint8_t*, const uint8_t*, uint32_t, bool);

// The scanners and loaders of the text kinds (load_text.cpp).
void load_construct(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void check_string(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_string(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void check_word(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_word(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void check_issue(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_refinement(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_char(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_file(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_binary(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_tag(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_url(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_email(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_raw_string(State*, const uint8_t*, const uint8_t*, uint32_t, bool);
void load_ref(State*, const uint8_t*, const uint8_t*, uint32_t, bool);

}  // namespace vek::lexer
