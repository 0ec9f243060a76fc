#include "runtime/datatypes/compound/tuple.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/lexer/lexer.h"
#include "runtime/tables/random.h"

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

// The length changed, the bytes and the header's flags kept.
void set_size(Cell* cell, uint32_t size) { cell->header = (cell->header & ~SIZE_MASK) | size << SIZE_SHIFT; }

uint8_t clamp_byte(int64_t value) { return uint8_t(std::clamp<int64_t>(value, 0, 255)); }

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

// ---------------------------------------------------------------- arithmetic

namespace {

// Byte op number, through the float kernel: truncated toward zero and kept
// in 0..255 (NaN gives 0).
uint8_t float_byte(uint8_t byte, const Cell* number, int32_t op) {
    Cell left{};
    float_::make_at(&left, double(byte));
    float_::math_op(&left, number, op);
    double result = std::trunc(float_::get(&left));
    return result > 0.0 ? uint8_t(std::min(result, 255.0)) : 0;
}

// Byte op number, through the integer kernel. An overflow that the kernel
// turns into a float saturates; division stays integer division.
uint8_t integer_byte(int32_t left, int32_t right, int32_t op) {
    if (op == integer::OP_DIVIDE) return clamp_byte(integer::divide(left, right));
    Cell result{};
    int32_t value = integer::do_math(left, right, op, &result);
    if (cell_type(&result) == TYPE_FLOAT) return float_::get(&result) > 0.0 ? 255 : 0;
    return clamp_byte(value);
}

void float_mode(Cell* tuple, const Cell* number, int32_t op) {
    for (uint32_t i = 0; i < size(tuple); i++) bytes_of(tuple)[i] = float_byte(get_byte(tuple, i), number, op);
}

// The right operand is an integer! (the same for every byte) or a tuple!
// (its bytes, 0 past its length).
void integer_mode(Cell* tuple, const Cell* right, int32_t op) {
    bool bytewise = cell_type(right) == TYPE_TUPLE;
    uint32_t old_size = size(tuple);
    if (bytewise && size(right) > old_size) set_size(tuple, size(right));
    for (uint32_t i = 0; i < size(tuple); i++) {
        auto left = int32_t(i < old_size ? get_byte(tuple, i) : 0);
        int32_t operand = bytewise ? int32_t(byte_or_zero(right, i)) : integer::get(right);
        bytes_of(tuple)[i] = integer_byte(left, operand, op);
    }
}

constexpr const char* OP_WORDS[] = {"add", "subtract", "multiply", "divide", "remainder", "or~", "and~", "xor~"};

}  // namespace

Cell* math_op(Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value1) != TYPE_TUPLE) {
        if (cell_type(value2) != TYPE_TUPLE) integer::raise_invalid_type(cell_type(value2));
        if (op == integer::OP_SUBTRACT || op == integer::OP_DIVIDE)
            integer::raise_not_related(OP_WORDS[op], cell_type(value1));
        // The number moves to the right: the operations left are the ones
        // whose order does not matter.
        Cell number = *value1;
        copy_cell(value2, value1);
        return math_op(value1, &number, op);
    }
    switch (uint32_t type = cell_type(value2)) {
    case TYPE_INTEGER:
    case TYPE_TUPLE: integer_mode(value1, value2, op); break;
    case TYPE_FLOAT:
    case TYPE_PERCENT: float_mode(value1, value2, op); break;
    default: integer::raise_invalid_type(type);
    }
    return value1;
}

// ---------------------------------------------------------------- make and to

namespace {

[[noreturn]] void bad_spec(const Cell* spec_value) { integer::raise_bad_to_arg(TYPE_TUPLE, spec_value); }

// A block's value as a byte: an integer, a character's code point or a float
// truncated toward zero, within 0..255.
uint8_t block_byte(const Cell* value, const Cell* spec_value) {
    double number;
    switch (cell_type(value)) {
    case TYPE_INTEGER: number = integer::get(value); break;
    case TYPE_CHAR: number = char_::get(value); break;
    case TYPE_FLOAT: number = std::trunc(float_::get(value)); break;
    default: bad_spec(spec_value);
    }
    if (!(number >= 0.0 && number <= 255.0)) bad_spec(spec_value);
    return uint8_t(number);
}

Cell* from_block(Cell* result, const Cell* block) {
    uint32_t count = block::length_from_head(block);
    if (count > MAX_SIZE) bad_spec(block);
    uint8_t bytes[MAX_SIZE];
    for (uint32_t i = 0; i < count; i++)
        bytes[i] = block_byte(block::rs_abs_at(block, series_index(block) + i), block);
    return make_at(result, bytes, count);
}

// The first value the text loads as, when it is a tuple!.
Cell* from_text(Cell* result, const Cell* text) {
    Cell loaded{};
    if (lexer::scan_string(&loaded, text, -1, {.mode = lexer::Mode::scan}, nullptr, nullptr) == TYPE_ERROR)
        bad_spec(text);
    lexer::scan_string(&loaded, text, -1, {}, nullptr, nullptr);
    if (block::length_from_head(&loaded) == 0) bad_spec(text);
    const Cell* value = block::rs_abs_at(&loaded, series_index(&loaded));
    if (cell_type(value) != TYPE_TUPLE) bad_spec(text);
    return copy_cell(value, result);
}

int32_t hex_digit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// #RGB (each digit doubled), #RRGGBB or #RRGGBBAA. Any other character,
// one beyond ASCII included, makes the issue invalid data.
Cell* from_issue(Cell* result, const Cell* issue) {
    const char* name = symbol::get_c_string(word::symbol(issue));
    size_t length = std::strlen(name);
    if (length != 3 && length != 6 && length != 8) fire(err::script::invalid_data, issue);
    uint8_t digits[8];
    for (size_t i = 0; i < length; i++) {
        int32_t digit = hex_digit(static_cast<unsigned char>(name[i]));
        if (digit < 0) fire(err::script::invalid_data, issue);
        digits[i] = uint8_t(digit);
    }
    uint8_t bytes[4];
    if (length == 3) {
        for (uint32_t i = 0; i < 3; i++) bytes[i] = uint8_t(digits[i] * 17);
        return make_at(result, bytes, 3);
    }
    for (uint32_t i = 0; i < length / 2; i++) bytes[i] = uint8_t(digits[2 * i] << 4 | digits[2 * i + 1]);
    return make_at(result, bytes, uint32_t(length / 2));
}

Cell* from_binary(Cell* result, const Cell* binary) {
    uint8_t bytes[MAX_SIZE];
    uint32_t count = std::min(binary::rs_length(binary), MAX_SIZE);
    std::memcpy(bytes, binary::rs_head(binary), count);
    return make_at(result, bytes, count);
}

Cell* to(Cell* result, const Cell* spec_value, uint32_t) {
    uint32_t type = cell_type(spec_value);
    if (is_any_string(type)) return from_text(result, spec_value);
    switch (type) {
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_HASH: return from_block(result, spec_value);
    case TYPE_ISSUE: return from_issue(result, spec_value);
    case TYPE_BINARY: return from_binary(result, spec_value);
    case TYPE_TUPLE: return copy_cell(spec_value, result);
    default: bad_spec(spec_value);
    }
}

}  // namespace

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

// The exclusive-or of the three payload words, the bytes packed
// little-endian as the cell holds them.
int32_t seed_of(const Cell* value) {
    uint32_t words[MAX_SIZE / 4];
    std::memcpy(words, bytes_of(value), MAX_SIZE);
    return int32_t(words[0] ^ words[1] ^ words[2]);
}

// Each byte b becomes a random number in 0..b; /seed seeds the generator
// with the payload instead.
Cell* random(Cell* value, bool seed, bool secure, bool) {
    if (seed) {
        random::seed(seed_of(value));
        return set_type(value, TYPE_UNSET);
    }
    for (uint32_t i = 0; i < size(value); i++)
        bytes_of(value)[i] = uint8_t(random::integer(get_byte(value, i) + 1, secure) - 1);
    return value;
}

Cell* add(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_ADD); }
Cell* subtract(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_SUBTRACT); }
Cell* multiply(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_MULTIPLY); }
Cell* divide(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_DIVIDE); }
Cell* remainder(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_REMAINDER); }
Cell* and_(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_AND); }
Cell* or_(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_OR); }
Cell* xor_(Cell* value1, Cell* value2) { return math_op(value1, value2, integer::OP_XOR); }

Cell* complement(Cell* value) {
    for (uint32_t i = 0; i < size(value); i++) bytes_of(value)[i] = uint8_t(~get_byte(value, i));
    return value;
}

int32_t length(const Cell* value) { return int32_t(size(value)); }

// The 1-based position of a selector; script out-of-range outside the tuple.
uint32_t position(const Cell* tuple, const Cell* selector) {
    int32_t i = integer::get(selector);
    if (i < 1 || uint32_t(i) > size(tuple)) fire(err::script::out_of_range, selector);
    return uint32_t(i);
}

Cell* pick(Cell* value, int32_t, const Cell* index) {
    if (cell_type(index) != TYPE_INTEGER) integer::raise_invalid_type(cell_type(index));
    return integer::push(get_byte(value, position(value, index) - 1));
}

// none cuts the tuple before i (never below 3 bytes); an integer is stored
// at i, kept in 0..255.
void set_byte(Cell* tuple, uint32_t i, const Cell* value) {
    switch (cell_type(value)) {
    case TYPE_INTEGER: bytes_of(tuple)[i - 1] = clamp_byte(integer::get(value)); return;
    case TYPE_NONE:
        for (uint32_t j = i - 1; j < size(tuple); j++) bytes_of(tuple)[j] = 0;
        set_size(tuple, std::max(i - 1, MIN_SIZE));
        return;
    default: integer::raise_invalid_type(cell_type(value));
    }
}

// Reads a byte, or sets it in the tuple in place (the path walker stores the
// tuple back into what held it) and answers the value set.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    if (cell_type(element) != TYPE_INTEGER) integer::raise_invalid_type(cell_type(element));
    if (!args.value) return pick(parent, 0, element);
    set_byte(parent, position(parent, element), args.value);
    return const_cast<Cell*>(args.value);
}

void swap_records(unsigned char* bytes, uint32_t a, uint32_t b, uint32_t record) {
    unsigned char temporary[MAX_SIZE];
    std::memcpy(temporary, bytes + a, record);
    std::memmove(bytes + a, bytes + b, record);
    std::memcpy(bytes + b, temporary, record);
}

// Reverses the first part bytes (all by default) as records of skip bytes.
// The part must hold whole records; the records that lie within the tuple
// are reversed and the bytes of a record cut by its end stay in place.
void reverse(Cell* value, const Cell* part, const Cell* skip) {
    int64_t count = size(value);
    if (part) {
        if (cell_type(part) != TYPE_INTEGER)
            fire(err::script::invalid_refine_arg, fixed_words::refinement(fixed_words::Ref::part), part);
        count = integer::get(part);
        if (count < 0) fire(err::script::out_of_range, part);
    }
    int64_t record = 1;
    if (skip) {
        if (cell_type(skip) != TYPE_INTEGER)
            fire(err::script::invalid_refine_arg, fixed_words::refinement(fixed_words::Ref::skip), skip);
        record = integer::get(skip);
        if (record == count) return;
        if (record < 1) fire(err::script::out_of_range, skip);
        if (count < record || count % record != 0)
            fire(err::script::invalid_refine_arg, fixed_words::refinement(fixed_words::Ref::skip), skip);
    }
    auto records = uint32_t(std::min<int64_t>(count, size(value)) / record);
    for (uint32_t r = 0; r < records / 2; r++)
        swap_records(bytes_of(value), uint32_t(r * record), uint32_t((records - 1 - r) * record), uint32_t(record));
}

}  // namespace

void init() {
    using namespace registry;
    register_type(TYPE_TUPLE, Row()
        .set<SLOT_MAKE>(to)
        .set<SLOT_RANDOM>(random)
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_ADD>(add)
        .set<SLOT_DIVIDE>(divide)
        .set<SLOT_MULTIPLY>(multiply)
        .set<SLOT_REMAINDER>(remainder)
        .set<SLOT_SUBTRACT>(subtract)
        .set<SLOT_AND>(and_)
        .set<SLOT_COMPLEMENT>(complement)
        .set<SLOT_OR>(or_)
        .set<SLOT_XOR>(xor_)
        .set<SLOT_LENGTH_Q>(length)
        .set<SLOT_PICK>(pick)
        .set<SLOT_REVERSE>(reverse));
}

}  // namespace vek::tuple
