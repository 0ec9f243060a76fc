// The lexer: UTF-8 source text to value cells. One table-driven automaton
// (tables.h) delimits tokens; each token kind has a scanner, for the
// delimiters and nesting, and a loader, which checks the token's text and, in
// load mode, appends its value to the output stack.
//
// Values are built on one output stack of cells shared by every running scan
// (a scan started from inside another one begins at the outer scan's top).
// Open blocks, parens, maps, paths and point literals are marker cells on
// that stack, so nesting costs no machine stack and has no depth limit; a
// level is copied into its series once its closer arrives.
//
// Modes: load (values are built), scan (tokens are checked, nothing is
// built) and prescan (only the automaton and the delimiter scanners run). In
// scan and prescan modes a syntax error raises nothing: the token type
// becomes error! and the scan stops.
#pragma once

#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::lexer {

// One running scan. The records of nested scans form a chain; each lives in
// its scan's C++ frame, so the raw input pointers it holds keep a binary!
// source pinned while it runs.
struct State {
    State* next;      // the inner scan, if any
    State* previous;  // the outer scan, if any
    // Output stack indexes: this scan's first cell, the first cell of the
    // current nesting level, the first free cell.
    uint32_t base;
    uint32_t level;
    uint32_t top;
    const uint8_t* input_start;
    const uint8_t* input_end;
    const uint8_t* position;   // where the next token starts
    const uint8_t* token_end;  // the byte after the current token
    int32_t line;              // from 1
    int32_t token_lines;       // line feeds inside the current token
    int32_t type_override;     // the type the string loader gives its result; -1: string!
    int32_t token_type;        // datatype of the current token
    int32_t start_state;       // 0, 4 (brace string), 35 (point literal) or 59 (path item)
    int32_t previous_state;    // the state before the final one
    int32_t last_open_type;    // datatype of the innermost unclosed series
    int32_t previous_token_type;
    int32_t brace_depth;
    const uint8_t* brace_start;
    uint32_t brace_flags;      // class flags gathered over a brace string
    int32_t point_line;        // the line saved when a point literal opened
    bool load;                 // values are built
    const Cell* into;          // the block! the values go into, or nullptr
    bool newline_before;       // a line feed preceded the current token
    // Tracing (lexer/trace.cpp). The cells live in the scan's C++ frame,
    // where the collector's stack scan sees them.
    uint32_t trace_mask;          // the events the tracer hears; 0 without a tracer
    Cell tracer;                  // the tracer function
    Cell source;                  // the series the text came from, none! when none
    const uint8_t* counted_at;    // the last position turned into a character count...
    uint32_t counted;             // ...and that count
    const uint8_t* moved_to;      // where a tracer moved the input to, or nullptr
};

// The signature of every scanner and loader: the token's first byte, the byte
// after it (which the automaton did not consume), the class flags gathered
// over it, and whether to build the value (else only check). Each sets
// st->position to where the next token starts.
using TokenFn = void (*)(State* st, const uint8_t* start, const uint8_t* end, uint32_t flags,
                         bool load);

// Allocates the output stack and the UTF-8 buffer and registers the
// output as a collector root. After the datatypes exist.
void init();

// The modes above.
enum class Mode : uint8_t { load, scan, prescan };

// How a scan runs and delivers its values.
struct ScanOptions {
    Mode mode = Mode::load;
    bool one = false;   // stop after one complete value at the outermost level
    bool wrap = false;  // always make a block
    // A function! called at each step of the scan (lexer/trace.cpp), or
    // nullptr. The text must then not belong to a series the tracer can
    // reach: a binary! source is scanned from a copy.
    const Cell* tracer = nullptr;
};

// Scans size bytes of UTF-8. Loaded values go into into when given; else
// into a new block! in dst, unless one is set without wrap, where the single
// value itself is copied into dst. source is the string! or binary! the text
// came from (positions are counted in its units), or nullptr. consumed
// (optional) receives the units consumed. Answers the datatype of the last
// token seen (error! for invalid input in the quiet modes, 0 when there was
// none).
uint32_t scan(Cell* dst, const uint8_t* text, uint32_t size, ScanOptions options, uint32_t* consumed,
              const Cell* source, const Cell* into);
// The same over a string! from its head: length code points (-1: to the
// tail), converted to UTF-8 first; consumed counts code points.
uint32_t scan_string(Cell* dst, const Cell* string, int32_t length, ScanOptions options,
                     uint32_t* consumed, const Cell* into);

// The loaders' services.

// A new cell at the top of the output stack, unset!, with the new-line flag
// when a line feed preceded the token. Valid until the next allocation.
Cell* alloc_cell(State* st);
// Raises the syntax error for the datatype (or one of the codes below) with
// the text from start as near text; in the quiet modes marks the token
// error! and stops the scan instead. Never returns.
constexpr int32_t ERR_BAD_CHAR = -1;
constexpr int32_t ERR_MALCONSTRUCT = -2;
[[noreturn]] void syntax_error(State* st, int32_t type, const uint8_t* start);
// Ends the open point literal: its marker gives way to a new cell, which
// receives the point (the marker's new-line flag kept).
Cell* close_point(State* st);

// The datatype id that the name text of a word scans as, one value; 0 when
// the text holds no value or more than one.
uint32_t scan_name_type(const Cell* word);

}  // namespace vek::lexer
