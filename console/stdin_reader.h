// Standard input as the console reads it when no line editor runs: lines of
// UTF-8 text for ask and input, and raw bytes for read-stdin. Both read
// through one buffer filled a block at a time, so that the bytes a line read
// has taken in ahead are the next ones a byte read sees, and the other way
// round. A UTF-8 byte-order mark at the very start of the input is skipped
// by the first line read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/core/cell.h"

namespace vek::console::stdin_reader {

// Where the bytes come from: one read of at most size bytes, answering the
// count read, 0 at the end of input and -1 when the read fails.
using Source = int64_t (*)(uint8_t* destination, size_t size);

// Forgets every buffered byte and reads from the source from now on, as
// from the start of an input (tests hand in a fake source).
void reset(Source source);

// How a line read came out.
enum class LineEnd : uint8_t {
    line_feed,     // a line feed ended it (not appended)
    stray_byte,    // a byte that starts no UTF-8 sequence ended it (dropped)
    end_of_input,  // the input ended, or a read failed, after some bytes of the line
    no_input,      // the input ended, or a read failed, before any byte of the line
};

// Appends the code points of the next line to the string's tail. A carriage
// return before the line feed stays in the line. A malformed or unfinished
// UTF-8 sequence raises access invalid-utf8 with its bytes, after the rest
// of that line has been read and dropped, so the next read starts on the
// next line; the string keeps what came before the sequence.
LineEnd read_line(const Cell* string);

// Up to size bytes: the buffered ones when there are any, else one read of
// the source. Answers the count, 0 at the end of input, -1 when the read
// fails.
int64_t read_bytes(uint8_t* destination, size_t size);

}  // namespace vek::console::stdin_reader
