#include "runtime/output/stdout_writer.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/stdout.h"
#include "runtime/core/quit.h"
#include "runtime/output/print_hooks.h"

namespace vek::output {

namespace {

constexpr uint32_t REPLACEMENT = 0xFFFD;

// Collects UTF-8 and hands it to the descriptor in chunks of at most
// CAPACITY bytes.
class Utf8Writer {
public:
    void put(uint32_t code_point) {
        if (code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) code_point = REPLACEMENT;
        if (used_ + 4 > CAPACITY) flush();
        if (code_point < 0x80) {
            bytes_[used_++] = char(code_point);
        } else if (code_point < 0x800) {
            bytes_[used_++] = char(0xC0 | (code_point >> 6));
            bytes_[used_++] = char(0x80 | (code_point & 0x3F));
        } else if (code_point < 0x10000) {
            bytes_[used_++] = char(0xE0 | (code_point >> 12));
            bytes_[used_++] = char(0x80 | ((code_point >> 6) & 0x3F));
            bytes_[used_++] = char(0x80 | (code_point & 0x3F));
        } else {
            bytes_[used_++] = char(0xF0 | (code_point >> 18));
            bytes_[used_++] = char(0x80 | ((code_point >> 12) & 0x3F));
            bytes_[used_++] = char(0x80 | ((code_point >> 6) & 0x3F));
            bytes_[used_++] = char(0x80 | (code_point & 0x3F));
        }
    }
    void flush() {
        if (used_ == 0) return;
        platform::write_stdout(bytes_.data(), used_);
        used_ = 0;
    }

private:
    static constexpr uint32_t CAPACITY = 1024;
    std::array<char, CAPACITY> bytes_;
    uint32_t used_ = 0;
};

// Elements are read with memcpy: a caller's text need not be aligned to its unit.
template <class Unit>
void encode_units(Utf8Writer& out, const void* text, uint32_t byte_length) {
    auto bytes = static_cast<const std::byte*>(text);
    for (uint32_t at = 0; at + sizeof(Unit) <= byte_length; at += sizeof(Unit)) {
        Unit unit;
        std::memcpy(&unit, bytes + at, sizeof(Unit));
        out.put(uint32_t(unit));
    }
}

// Writes bytes that need no encoding and reports them to the write observers.
void emit(const char* bytes, uint32_t length) {
    bool written = platform::write_stdout(bytes, length);
    print_hooks::notify_write(bytes, length, written ? 1 : 0);
}

void emit(const char* first, const char* last) { emit(first, uint32_t(last - first)); }

}  // namespace

// The writer keeps no state between calls, so there is nothing to set up.
void init_output() {}

void write(const void* text, uint32_t byte_length, uint32_t unit, bool newline) {
    Utf8Writer out;
    switch (unit) {
        case 1: encode_units<uint8_t>(out, text, byte_length); break;
        case 2: encode_units<uint16_t>(out, text, byte_length); break;
        case 4: encode_units<uint32_t>(out, text, byte_length); break;
        default: quit_with_status(ERROR_BAD_UNIT, uintptr_t(__builtin_return_address(0)));
    }
    if (newline) out.put('\n');
    out.flush();
}

void print_ucs1(const uint8_t* text, uint32_t byte_length) { write(text, byte_length, 1, false); }
void print_ucs1_line(const uint8_t* text, uint32_t byte_length) { write(text, byte_length, 1, true); }
void print_ucs2(const uint16_t* text, uint32_t byte_length) { write(text, byte_length, 2, false); }
void print_ucs2_line(const uint16_t* text, uint32_t byte_length) { write(text, byte_length, 2, true); }
void write_ucs4(const uint32_t* text, uint32_t byte_length) { write(text, byte_length, 4, false); }
void write_ucs4_line(const uint32_t* text, uint32_t byte_length) { write(text, byte_length, 4, true); }

void print_cstring(const char* text) { emit(text, uint32_t(std::strlen(text))); }

// The number prints format with to_chars, which never looks at the locale.

void print_integer(int32_t value) {
    char digits[16];
    emit(digits, std::to_chars(digits, std::end(digits), value).ptr);
}

namespace {
void print_hex_digits(uint32_t value, int count) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    char text[8];
    for (int i = count - 1; i >= 0; i--, value >>= 4) text[i] = DIGITS[value & 0xF];
    emit(text, uint32_t(count));
}
}  // namespace

void print_hex_byte(uint8_t value) { print_hex_digits(value, 2); }
void print_hex(uint32_t value) { print_hex_digits(value, 8); }

void print_float(double value) {
    char digits[64];
    emit(digits, std::to_chars(digits, std::end(digits), value, std::chars_format::general, 16).ptr);
}

void print_float32(float value) {
    char digits[64];
    emit(digits, std::to_chars(digits, std::end(digits), double(value), std::chars_format::general, 7).ptr);
}

void flush() { std::fflush(nullptr); }

bool failed() { return platform::stdout_write_failed() || std::fflush(stdout) != 0 || std::ferror(stdout); }

}  // namespace vek::output
