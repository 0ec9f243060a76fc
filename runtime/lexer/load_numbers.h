// Loaders of the numeric token kinds: integer! (decimal and hexadecimal),
// float! (with the special forms), percent!, pair!, point2D!/point3D!,
// tuple!, time!, money! and date!.
//
// Every loader takes the running scan's state record, the token's first byte,
// the byte after it (the delimiter the automaton did not consume), the class
// flags gathered over the token and the load flag. With load clear it only
// checks the token; with load set it also appends the value to the output
// stack. Either way a malformed token raises the scan's syntax error with the
// datatype at fault, and the current position is left after what the token
// used: the token end, or one byte past it for the "%" of a percent and the
// ")" of a point.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vek::lexer {

struct State;

using Loader = void (*)(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

void load_integer(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_hex(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_float(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_percent(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_special_float(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_pair(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_point(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_tuple(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_time(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_money(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
void load_date(State* state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

// The longest text read as a float.
constexpr size_t FLOAT_TEXT_MAX = 312;

// Whether the text has the shape of a decimal float: an optional run of
// signs, digits with "'" separators, an optional "." and fraction, an
// optional exponent; at most 312 bytes.
bool float_syntax(const char* text, size_t length);

}  // namespace vek::lexer
