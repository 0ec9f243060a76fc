// The lowest output layer: text and numbers to standard output as UTF-8 with
// LF line ends. Escape sequences pass through untouched; the terminal gives
// them their meaning. Every write ends on the descriptor before the call
// returns, so nothing is held back between calls.
#pragma once

#include <cstdint>

namespace vek::output {

void init_output();

// Writes byte_length bytes of text whose code points are unit bytes wide
// (1 Latin-1, 2 or 4), then a line end when asked. Surrogates and values
// above U+10FFFF come out as U+FFFD. Any other unit stops the runtime with
// quit code 101.
void write(const void* text, uint32_t byte_length, uint32_t unit, bool newline);

void print_ucs1(const uint8_t* text, uint32_t byte_length);
void print_ucs1_line(const uint8_t* text, uint32_t byte_length);
void print_ucs2(const uint16_t* text, uint32_t byte_length);
void print_ucs2_line(const uint16_t* text, uint32_t byte_length);
void write_ucs4(const uint32_t* text, uint32_t byte_length);
void write_ucs4_line(const uint32_t* text, uint32_t byte_length);

// The bytes as they are, up to the NUL. This and the number prints report
// each write to the write observers (runtime/output/print_hooks.h).
void print_cstring(const char* text);

void print_integer(int32_t value);  // signed decimal
void print_hex_byte(uint8_t value);  // two upper-case hexadecimal digits
void print_hex(uint32_t value);      // eight upper-case hexadecimal digits
void print_float(double value);      // 16 significant digits, shortest notation
void print_float32(float value);     // 7 significant digits, shortest notation

// Flushes the C library's output streams, so that whatever still waits there
// is not overtaken by later runtime output.
void flush();

// Whether some output was lost: a write to standard output, or the C
// library's flush of it, failed (a reader gone away ends the process at
// once and is no such failure).
bool failed();

}  // namespace vek::output
