// Test helpers that load source text as the lexer does and read values back
// as text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "runtime/core/cell.h"

namespace vek::test {

// The block of the values the source loads, scanned from a binary! holding
// it (so that positions count in its bytes).
Cell load(std::string_view source);
// The block of the values the text loads, always a block, scanned from the
// C string itself: code for the evaluator to run.
Cell load_code(const char* source);
// The one value the source loads (a failure is recorded when it loads
// another number of values).
Cell load_one(std::string_view source);
// The first line of the error that loading the source raises, or
// "(no error)".
std::string load_error(std::string_view source);

// A source and the block of the values it loads, molded.
struct MoldRow {
    const char* source;
    const char* molded;
};
// Checks that each row's source loads as its block; a failure names the
// source.
void expect_molds(const MoldRow* rows, size_t n);

// How molded() lays the value out: mold's /only and /flat, and the indent
// level it starts at.
struct MoldOptions {
    bool only = false;
    bool flat = false;
    int32_t indent = 0;
};

// The value molded or formed through the action dispatch, as UTF-8.
std::string molded(const Cell& value, MoldOptions options = {});
std::string formed(const Cell& value);

// The value molded or formed by the entries that work on the evaluation
// stack, as natives call them (ASCII text expected).
std::string stack_molded(const Cell* value);
std::string stack_formed(const Cell* value);

}  // namespace vek::test
