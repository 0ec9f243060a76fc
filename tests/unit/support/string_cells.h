// Test helpers for string-like cells: building one of a chosen unit from code
// points, and reading one back as UTF-8.
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

}  // namespace vek::test
