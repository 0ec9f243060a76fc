// Test helpers for string-like cells: building one of a chosen unit from code
// points or bytes, and reading one back as UTF-8 or as code points.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "runtime/core/cell.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/memory/series.h"
#include "runtime/text/unicode.h"

namespace vek::test {

// A value of the type holding the text, stored unit by unit as given (no
// widening), its head at the index.
inline Cell text_cell(std::u32string_view text, uint32_t unit = 1, uint32_t type = TYPE_STRING,
                      uint32_t head = 0) {
    Cell cell{};
    string::make_at_unit(&cell, uint32_t(text.size()), unit);
    SeriesBuffer* buffer = series_buffer(&cell);
    for (char32_t c : text) {
        auto v = uint32_t(c);
        std::memcpy(buffer->last(), &v, unit);
        buffer->tail = buffer->tail + unit;
    }
    set_type(&cell, type);
    set_series_index(&cell, head);
    return cell;
}

// A binary! of the bytes.
inline Cell binary_cell(std::string_view bytes) {
    Cell cell{};
    string::make_at_unit(&cell, uint32_t(bytes.size()), 1);
    SeriesBuffer* buffer = series_buffer(&cell);
    std::memcpy(buffer->last(), bytes.data(), bytes.size());
    buffer->tail = buffer->tail + uint32_t(bytes.size());
    return *set_type(&cell, TYPE_BINARY);
}

// A string! of the text, byte by byte (ASCII expected).
inline Cell string_cell(std::string_view text) {
    Cell cell = binary_cell(text);
    return *set_type(&cell, TYPE_STRING);
}

// An empty string! to append to.
inline Cell output_cell() {
    Cell cell{};
    string::rs_make_at(&cell, 16);
    return cell;
}

// The text from the head, as UTF-8.
inline std::string utf8(const Cell& value) {
    std::string out;
    SeriesBuffer* buffer = series_buffer(&value);
    for (uint32_t i = series_index(&value); i < buffer->length(); ++i) {
        uint8_t bytes[4];
        int n = unicode::encode_utf8_char(string::get_char(buffer->at(i), buffer->unit()), bytes);
        out.append(reinterpret_cast<const char*>(bytes), size_t(n));
    }
    return out;
}

// The whole text as UTF-8, whatever the head.
inline std::string whole_utf8(const Cell& value) {
    Cell from_first = value;
    set_series_index(&from_first, 0);
    return utf8(from_first);
}

// The code points of the whole buffer, from its first unit.
inline std::u32string code_points_of(const Cell& string) {
    std::u32string out;
    for (uint32_t i = 0; i < string::buffer_length(&string); ++i) out += char32_t(string::rs_abs_at(&string, i));
    return out;
}

}  // namespace vek::test
