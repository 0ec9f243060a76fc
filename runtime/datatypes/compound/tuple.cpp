#include "runtime/datatypes/compound/tuple.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/datatype.h"
#include "runtime/eval/stack.h"

namespace vek::tuple {

namespace {

constexpr uint32_t FIRST_BYTE = 4;

unsigned char* bytes_of(Cell* cell) { return reinterpret_cast<unsigned char*>(cell) + FIRST_BYTE; }
const unsigned char* bytes_of(const Cell* cell) { return reinterpret_cast<const unsigned char*>(cell) + FIRST_BYTE; }

// The type and the size, the header's flags kept; the payload cleared.
Cell* init_cell(Cell* cell, uint32_t size) {
    cell->header = (cell->header & ~(TYPE_MASK | SIZE_MASK)) | TYPE_TUPLE | size << SIZE_SHIFT;
    std::memset(bytes_of(cell), 0, MAX_SIZE);
    return cell;
}

uint32_t size_for(uint32_t count) { return std::clamp(count, MIN_SIZE, MAX_SIZE); }

// Byte i, or 0 past the tuple's length.
uint32_t byte_or_zero(const Cell* cell, uint32_t i) { return i < size(cell) ? get_byte(cell, i) : 0; }

}  // namespace

uint8_t get_byte(const Cell* cell, uint32_t i) {
    VEK_CHECK_LAYOUT(cell, type_in<TYPE_TUPLE>);
    return bytes_of(cell)[i];
}

Cell* make_at(Cell* cell, const uint8_t* bytes, uint32_t count) {
    count = std::min(count, MAX_SIZE);
    init_cell(cell, size_for(count));
    std::memcpy(bytes_of(cell), bytes, count);
    return cell;
}

Cell* push(uint32_t size, uint32_t word1, uint32_t word2, uint32_t word3) {
    Cell* cell = stack::push_cell();
    *cell = Cell{size << SIZE_SHIFT | TYPE_TUPLE, word1, word2, word3};
    return cell;
}

Cell* push_bytes(uint32_t count, const int32_t* values) {
    count = std::min(count, MAX_SIZE);
    Cell* cell = stack::push_cell();
    cell->header = 0;
    init_cell(cell, size_for(count));
    for (uint32_t i = 0; i < count; i++) bytes_of(cell)[i] = uint8_t(values[i]);
    return cell;
}

Cell* make_rgba(Cell* cell, uint8_t red, uint8_t green, uint8_t blue, int32_t alpha) {
    const uint8_t bytes[4] = {red, green, blue, uint8_t(alpha)};
    return make_at(cell, bytes, alpha == -1 ? 3 : 4);
}

// ---------------------------------------------------------------- actions

namespace {

// The bytes in decimal separated by "."; mold gives the same text.
void form(const Cell* value, text::Sink& sink) {
    char text[MAX_SIZE * 4];
    char* out = text;
    for (uint32_t i = 0; i < size(value); i++) {
        if (i != 0) *out++ = '.';
        out = std::to_chars(out, text + sizeof text, get_byte(value, i)).ptr;
    }
    sink.append(text, uint32_t(out - text));
}

void mold(const Cell* value, text::Sink& out, bool) { form(value, out); }

// Byte by byte up to the longer length, a missing byte counting as 0, under
// every op (1.2.3 and 1.2.3.0 are equal even strictly). Another datatype is
// not comparable.
int32_t compare(const Cell* value1, const Cell* value2, int32_t) {
    if (cell_type(value2) != TYPE_TUPLE) return -2;
    uint32_t n = std::max(size(value1), size(value2));
    for (uint32_t i = 0; i < n; i++) {
        uint32_t a = byte_or_zero(value1, i), b = byte_or_zero(value2, i);
        if (a != b) return a < b ? -1 : 1;
    }
    return 0;
}

}  // namespace

void init() {
    using namespace datatype;
    register_type(TYPE_TUPLE, Row()
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_COMPARE>(compare));
}

}  // namespace vek::tuple
