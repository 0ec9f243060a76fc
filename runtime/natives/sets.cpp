#include "runtime/natives/sets.h"

#include <cstdint>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/sets.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/container/bitset.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/binary_codecs.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/edit.h"
#include "runtime/datatypes/string/url.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/natives/helpers.h"

namespace vek::natives {

namespace {

constexpr uint64_t SET_TYPES = type_bit(TYPE_BLOCK) | type_bit(TYPE_HASH) | type_bit(TYPE_STRING) |
                               type_bit(TYPE_BITSET) | type_bit(TYPE_TYPESET);
constexpr uint64_t UNIQUE_TYPES = type_bit(TYPE_BLOCK) | type_bit(TYPE_HASH) | type_bit(TYPE_STRING);

// ---------------------------------------------------------------- set operations

// Refinements of every set native: /case, then /skip with its size.
constexpr int CASE = 0;
constexpr int SKIP = 1;

void check_set_args(const int32_t* refinements, block::SetMode mode, uint64_t types) {
    check_arg(0, types);
    if (mode != block::SET_UNIQUE) check_arg(1, types);
    if (present(refinements, SKIP)) check_arg(refinements[SKIP], type_bit(TYPE_INTEGER));
}

// A block! and a hash! are one kind of set; any other pair must agree.
uint32_t set_kind(uint32_t type) { return type == TYPE_HASH ? TYPE_BLOCK : type; }

void check_same_kind(const Cell* set1, const Cell* set2) {
    if (set_kind(cell_type(set1)) == set_kind(cell_type(set2))) return;
    Cell type1 = datatype::cell(cell_type(set1));
    Cell type2 = datatype::cell(cell_type(set2));
    fire(err::script::expect_val, &type1, &type2);
}

bitset::SetOp bitset_op(block::SetMode mode) {
    switch (mode) {
        case block::SET_UNION: return bitset::SetOp::union_;
        case block::SET_INTERSECT: return bitset::SetOp::intersect;
        case block::SET_EXCLUDE: return bitset::SetOp::exclude;
        default: return bitset::SetOp::difference;
    }
}

// The result replaces the first set in the result cell. A bitset is its own
// unique set.
Pending run_set_operation(bool check, const int32_t* refinements, block::SetMode mode, uint64_t types) {
    if (check) check_set_args(refinements, mode, types);
    Cell* set1 = arg(0);
    if (mode != block::SET_UNIQUE) check_same_kind(set1, arg(1));
    bool case_sensitive = present(refinements, CASE);
    const Cell* skip = present(refinements, SKIP) ? arg(refinements[SKIP]) : nullptr;
    switch (cell_type(set1)) {
        case TYPE_BLOCK:
        case TYPE_HASH: block::set_operation(set1, arg(1), case_sensitive, skip, mode); break;
        case TYPE_STRING: string::set_operation(set1, arg(1), case_sensitive, skip, mode); break;
        case TYPE_TYPESET: typeset::do_set_op(mode); break;
        case TYPE_BITSET:
            if (mode != block::SET_UNIQUE) bitset::set_operation(set1, arg(1), bitset_op(mode));
            break;
        case TYPE_DATE:
            if (mode == block::SET_DIFFERENCE) {
                date::difference(set1, set1, arg(1));
                break;
            }
            [[fallthrough]];
        default: check_arg(0, 0);
    }
    return Pending::none;
}

// ---------------------------------------------------------------- base codecs

constexpr int BASE = 0;

// The /base argument, 64 without it, raising script invalid-arg for a base
// that has no codec.
int32_t base_of(const int32_t* refinements) {
    if (!present(refinements, BASE)) return 64;
    const Cell* base = arg(refinements[BASE]);
    int32_t value = integer::get(base);
    if (!codecs::is_base(value)) fire(err::script::invalid_arg, base);
    return value;
}

}  // namespace

Pending union_(bool check, const int32_t* refinements) {
    return run_set_operation(check, refinements, block::SET_UNION, SET_TYPES);
}
Pending intersect(bool check, const int32_t* refinements) {
    return run_set_operation(check, refinements, block::SET_INTERSECT, SET_TYPES);
}
Pending unique(bool check, const int32_t* refinements) {
    return run_set_operation(check, refinements, block::SET_UNIQUE, UNIQUE_TYPES);
}
Pending difference(bool check, const int32_t* refinements) {
    return run_set_operation(check, refinements, block::SET_DIFFERENCE, SET_TYPES | type_bit(TYPE_DATE));
}
Pending exclude(bool check, const int32_t* refinements) {
    return run_set_operation(check, refinements, block::SET_EXCLUDE, SET_TYPES);
}

Pending complement_q(bool, const int32_t*) {
    check_arg(0, type_bit(TYPE_BITSET));
    logic::box(bitset::complemented(arg(0)));
    return Pending::none;
}

// ---------------------------------------------------------------- percent codes

Pending dehex(bool check, const int32_t*) {
    if (check) check_arg(0, ANY_STRING_TYPES);
    Cell* decoded = string::make_at_unit(make_unset(stack::push_cell()), string::rs_length(arg(0)), 1);
    url::percent_decode(arg(0), decoded);
    stack::set_last(decoded);
    return Pending::none;
}

// Everything but letters, digits and "-._~" is escaped, so that the text
// can stand anywhere in a URL.
Pending enhex(bool check, const int32_t*) {
    if (check) check_arg(0, ANY_STRING_TYPES);
    Cell* encoded = string::make_at_unit(make_unset(stack::push_cell()), string::rs_length(arg(0)), 1);
    url::percent_encode(arg(0), encoded, url::ENCODE_UNRESERVED);
    stack::set_last(encoded);
    return Pending::none;
}

// ---------------------------------------------------------------- base codes

// Text that the decoder rejects gives none.
Pending debase(bool check, const int32_t* refinements) {
    if (check) {
        check_arg(0, ANY_STRING_TYPES);
        if (present(refinements, BASE)) check_arg(refinements[BASE], type_bit(TYPE_INTEGER));
    }
    int32_t base = base_of(refinements);
    Cell text = *arg(0);
    uint32_t length = string::rs_length(&text);
    Cell* decoded = make_unset(stack::push_cell());
    if (binary::decode(base, decoded, string::rs_head(&text), length, series_buffer(&text)->unit()))
        stack::set_last(decoded);
    else
        none::box();
    return Pending::none;
}

Pending enbase(bool check, const int32_t* refinements) {
    if (check) {
        check_arg(0, type_bit(TYPE_BINARY) | type_bit(TYPE_STRING));
        if (present(refinements, BASE)) check_arg(refinements[BASE], type_bit(TYPE_INTEGER));
    }
    int32_t base = base_of(refinements);
    binary::Bytes bytes;
    binary::value_bytes(arg(0), -1, binary::ValueMode::insert, bytes);
    uint64_t size = binary::encoded_size(base, bytes.size());
    if (size > uint64_t(INT32_MAX)) fire(err::script::too_long);
    Cell* encoded = string::make_at_unit(make_unset(stack::push_cell()), uint32_t(size), 1);
    SeriesBuffer* buffer = series_buffer(encoded);
    uint8_t* start = reinterpret_cast<uint8_t*>(buffer->first());
    uint8_t* end = binary::encode(base, start, bytes.data(), uint32_t(bytes.size()));
    buffer->tail = buffer->offset + uint32_t(end - start);
    stack::set_last(encoded);
    return Pending::none;
}

}  // namespace vek::natives
