// bitset!: storage, the member language, the set operations and the actions.
//
// The byte buffer is always reached through its node: growing it, making a
// new one or writing text may move it. The member walks themselves allocate
// nothing, so a walk may hold the members' and the bits' addresses while it
// runs; a walk that writes bits runs only after the buffer has grown to the
// highest bit it names.
#include "runtime/datatypes/container/bitset.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/memory/manager.h"
#include "runtime/tables/cycles.h"

namespace vek::bitset {

namespace {

constexpr uint32_t COMPLEMENTED = string::BITSET_COMPLEMENTED;

/* {====== Storage ====== */

uint8_t* bytes_of(Node bits) { return reinterpret_cast<uint8_t*>(node_buffer(bits)->first()); }
uint32_t byte_count(Node bits) { return node_buffer(bits)->used_bytes(); }
int64_t size_of(Node bits) { return int64_t(byte_count(bits)) * 8; }
bool is_complemented(Node bits) { return (node_buffer(bits)->flags & COMPLEMENTED) != 0; }
// The byte that every byte beyond the stored ones stands for.
uint8_t implied_byte(Node bits) { return is_complemented(bits) ? 0xFF : 0x00; }

void set_complemented(Node bits, bool on) {
    SeriesBuffer* buffer = node_buffer(bits);
    buffer->flags = on ? buffer->flags | COMPLEMENTED : buffer->flags & ~COMPLEMENTED;
}

// A new buffer of count bytes, each the fill byte, not complemented.
Node alloc_bits(uint32_t count, uint8_t fill) {
    Node bits = memory::alloc_bytes(count);
    SeriesBuffer* buffer = node_buffer(bits);
    std::memset(buffer->first(), fill, count);
    buffer->tail = buffer->offset + count;
    return bits;
}

Cell* store(Cell* result, Node bits) {
    *result = series_cell(TYPE_BITSET, bits);
    return result;
}

// Makes room for the bit: the new bytes carry the implied membership.
void grow_to(Node bits, int64_t bit) {
    uint32_t need = uint32_t(bit >> 3) + 1;
    uint32_t have = byte_count(bits);
    if (need <= have) return;
    uint8_t fill = implied_byte(bits);
    std::byte* added = series::reserve_tail(node_buffer(bits), need - have);
    std::memset(added, fill, need - have);
}

// The bits of byte b that lie in lo..hi.
uint8_t mask_in_byte(uint32_t b, uint32_t lo, uint32_t hi) {
    uint32_t first = b == lo >> 3 ? (lo & 7) : 0;
    uint32_t last = b == hi >> 3 ? (hi & 7) : 7;
    return uint8_t((0xFFu >> first) & (0xFFu << (7 - last)));
}

// Gives the stored bits lo..hi (both below the size) the membership.
void write_bits(Node bits, uint32_t lo, uint32_t hi, bool member) {
    uint8_t* bytes = bytes_of(bits);
    for (uint32_t b = lo >> 3; b <= hi >> 3; b++) {
        uint8_t mask = mask_in_byte(b, lo, hi);
        bytes[b] = member ? uint8_t(bytes[b] | mask) : uint8_t(bytes[b] & ~mask);
    }
}

// Whether every stored bit lo..hi (both below the size) is a member.
bool all_members(Node bits, uint32_t lo, uint32_t hi) {
    const uint8_t* bytes = bytes_of(bits);
    for (uint32_t b = lo >> 3; b <= hi >> 3; b++) {
        uint8_t mask = mask_in_byte(b, lo, hi);
        if ((bytes[b] & mask) != mask) return false;
    }
    return true;
}

/* }====== */

/* {====== The spec_value language ====== */

enum class Op {
    measure,  // find the highest bit named
    set,      // make every bit named a member
    test,     // are all the bits named members?
    clear,    // make no bit named a member
};

// Who asks, for the error a value of no member type raises.
enum class Caller { make, to, action };

struct Walk {
    Node bits;             // the bitset written or tested; none when measuring
    Op op;
    Caller caller;
    int64_t highest = -1;  // measure: the highest bit named so far
};

[[noreturn]] void reject(const Cell* value, Caller caller) {
    Cell target = integer::datatype_value(TYPE_BITSET);
    if (caller == Caller::make) fire(err::script::bad_make_arg, &target, value);
    if (caller == Caller::to) fire(err::script::bad_to_arg, &target, value);
    fire(err::script::invalid_arg, value);
}

// A number's value, a float! truncated toward zero; a float beyond the
// integer! range raises script out-of-range.
int64_t number_of(const Cell* number) {
    if (cell_type(number) != TYPE_FLOAT) return integer::get(number);
    double value = float_::get(number);
    if (integer::float_out_of_range(value)) fire(err::script::out_of_range, number);
    return integer::truncate(value);
}

// The bit a number names. Only a test may name a negative bit (it reads as
// one beyond the size); a bit past MAX_BIT could never be stored.
int64_t bit_of(const Cell* number, const Walk& walk) {
    int64_t bit = number_of(number);
    if (walk.op != Op::test && (bit < 0 || bit > MAX_BIT)) fire(err::script::out_of_range, number);
    return bit;
}

// Whether every bit lo..hi is a member, the bits beyond the size (and any
// negative one) counting as the complemented flag says.
bool test_range(Node bits, int64_t lo, int64_t hi) {
    bool beyond = is_complemented(bits);
    int64_t size = size_of(bits);
    if ((lo < 0 || hi >= size) && !beyond) return false;
    lo = std::max<int64_t>(lo, 0);
    hi = std::min(hi, size - 1);
    return lo > hi || all_members(bits, uint32_t(lo), uint32_t(hi));
}

// Applies the walk's op to the bits lo..hi; answers false when a test fails.
// A write touches only the bits below the size: the buffer has grown
// wherever a bit beyond it had to change.
bool apply(Walk& walk, int64_t lo, int64_t hi) {
    switch (walk.op) {
        case Op::measure: walk.highest = std::max(walk.highest, hi); return true;
        case Op::test: return test_range(walk.bits, lo, hi);
        case Op::set:
        case Op::clear: {
            int64_t last = std::min(hi, size_of(walk.bits) - 1);
            if (lo <= last) write_bits(walk.bits, uint32_t(lo), uint32_t(last), walk.op == Op::set);
            return true;
        }
    }
    return true;
}

bool walk_value(const Cell* value, Walk& walk);

bool walk_string(const Cell* value, Walk& walk) {
    Cell text = *value;
    uint32_t length = string::rs_length(&text);
    const std::byte* head = string::rs_head(&text);
    uint32_t unit = series_buffer(&text)->unit();
    for (uint32_t i = 0; i < length; i++) {
        int64_t code_point = string::get_char(head + size_t(i) * unit, unit);
        if (!apply(walk, code_point, code_point)) return false;
    }
    return true;
}

bool is_word(const Cell* value, fixed_words::Sym name) {
    return cell_type(value) == TYPE_WORD &&
           symbol::resolve(word::symbol(value)) == symbol::resolve(fixed_words::symbol(name));
}

bool is_range_end(uint32_t type) { return type == TYPE_CHAR || type == TYPE_INTEGER; }

// The range that starts at cells[i] (a char! or integer! followed by the
// word -); answers how many cells it took.
uint32_t walk_range(const Cell* cells, uint32_t i, uint32_t count, Walk& walk, bool* ok) {
    if (i + 2 >= count) fire(err::script::past_end);
    const Cell* upper = cells + i + 2;
    if (cell_type(upper) != cell_type(cells + i)) fire(err::script::invalid_arg, upper);
    int64_t lo = bit_of(cells + i, walk);
    int64_t hi = bit_of(upper, walk);
    if (lo > hi) fire(err::script::past_end);
    *ok = apply(walk, lo, hi);
    return 3;
}

// A block inside itself names nothing more than its first visit did.
bool walk_block(const Cell* block, Walk& walk) {
    Node node = series_node(block);
    if (cycles::find(node)) return true;
    cycles::Scope guard(node);
    uint32_t count = node_buffer(node)->length();
    const Cell* cells = node_buffer(node)->cells();
    for (uint32_t i = std::min(series_index(block), count); i < count;) {
        bool ok = true;
        if (is_range_end(cell_type(cells + i)) && i + 1 < count && is_word(cells + i + 1, fixed_words::Sym::dash)) {
            i += walk_range(cells, i, count, walk, &ok);
        } else {
            ok = walk_value(cells + i, walk);
            i++;
        }
        if (!ok) return false;
    }
    return true;
}

bool walk_value(const Cell* value, Walk& walk) {
    switch (cell_type(value)) {
        case TYPE_CHAR:
        case TYPE_INTEGER:
        case TYPE_FLOAT: {
            int64_t bit = bit_of(value, walk);
            return apply(walk, bit, bit);
        }
        case TYPE_STRING: return walk_string(value, walk);
        case TYPE_BLOCK: return walk_block(value, walk);
        // Bytes are taken whole by make and to alone.
        case TYPE_BINARY: fire(err::internal::not_done);
        default: reject(value, walk.caller);
    }
}

// The highest bit the members name, -1 for none; raises what the members'
// errors are, before anything is written.
int64_t measure(const Cell* spec_value, Caller caller) {
    Walk walk{Node::none, Op::measure, caller};
    walk_value(spec_value, walk);
    return walk.highest;
}

// Sets or clears the bits the members name. Only the bits whose membership
// changes need storage: the buffer grows to the highest bit named when the
// op sets in a plain set or clears in a complemented one.
void write_spec(const Cell* spec_value, Node bits, Op op, Caller caller) {
    int64_t highest = measure(spec_value, caller);
    if ((op == Op::set) != is_complemented(bits) && highest >= 0) grow_to(bits, highest);
    Walk walk{bits, op, caller};
    walk_value(spec_value, walk);
}

bool test_spec(const Cell* spec_value, Node bits) {
    Walk walk{bits, Op::test, Caller::action};
    return walk_value(spec_value, walk);
}

/* }====== */

/* {====== make and to ====== */

// A bitset of size bits (rounded up to whole bytes), no member.
Node make_sized(const Cell* number) {
    int64_t size = number_of(number);
    if (size < 0 || size > MAX_BIT + 1) fire(err::script::out_of_range, number);
    return alloc_bits(uint32_t((size + 7) / 8), 0);
}

// The binary's bytes from its head; under not inverted, in a complemented
// set. More bytes than a bitset may hold raise script too-long.
Node make_from_binary(const Cell* binary, bool negated) {
    Cell source = *binary;
    SeriesBuffer* buffer = series_buffer(&source);
    uint32_t head = std::min(series_index(&source), buffer->length());
    uint32_t count = buffer->length() - head;
    if (count > uint32_t(MAX_BIT >> 3) + 1) fire(err::script::too_long);
    Node bits = alloc_bits(count, 0);
    // Re-read after allocating: a collection may have moved the binary.
    const uint8_t* from = reinterpret_cast<const uint8_t*>(series_buffer(&source)->at(head));
    uint8_t* to = bytes_of(bits);
    for (uint32_t i = 0; i < count; i++) to[i] = negated ? uint8_t(~from[i]) : from[i];
    set_complemented(bits, negated);
    return bits;
}

Node make_from_spec(const Cell* spec_value, bool negated, Caller caller) {
    int64_t highest = measure(spec_value, caller);
    Node bits = alloc_bits(highest < 0 ? 0 : uint32_t(highest >> 3) + 1, negated ? 0xFF : 0x00);
    set_complemented(bits, negated);
    write_spec(spec_value, bits, negated ? Op::clear : Op::set, caller);
    return bits;
}

Cell* make_bitset(Cell* result, const Cell* spec_value, Caller caller) {
    Cell body = *spec_value;
    bool negated = false;
    if (cell_type(&body) == TYPE_BLOCK) {
        SeriesBuffer* block = series_buffer(&body);
        uint32_t head = series_index(&body);
        if (head < block->length() && is_word(block->cells() + head, fixed_words::Sym::not_)) {
            negated = true;
            set_series_index(&body, head + 1);
            if (head + 1 < block->length() && cell_type(block->cells() + head + 1) == TYPE_BINARY)
                body = block->cells()[head + 1];
        }
    }
    switch (cell_type(&body)) {
        case TYPE_INTEGER:
        case TYPE_FLOAT:
            if (caller == Caller::to) reject(spec_value, caller);
            return store(result, make_sized(&body));
        case TYPE_BITSET: return store(result, memory::copy_series(node_buffer(bits_node(&body))));
        case TYPE_BINARY: return store(result, make_from_binary(&body, negated));
        default: return store(result, make_from_spec(&body, negated, caller));
    }
}

Cell* make(Cell* result, const Cell* spec_value, uint32_t) { return make_bitset(result, spec_value, Caller::make); }
Cell* to(Cell* result, const Cell* spec_value, uint32_t) { return make_bitset(result, spec_value, Caller::to); }

/* }====== */

/* {====== Text and comparison ====== */

// "make bitset! #{...}" with two hexadecimal digits a stored byte; a
// complemented set shows the bits that are not members, inside "[not ...]".
void form(const Cell* value, text::Sink& out) {
    static constexpr char DIGITS[] = "0123456789ABCDEF";
    Node bits = bits_node(value);
    bool negated = is_complemented(bits);
    out.append("make bitset! ");
    if (negated) out.append("[not ");
    out.append("#{");
    for (uint32_t i = 0; i < byte_count(bits) && !out.used_up(); i++) {
        uint8_t byte = bytes_of(bits)[i];
        if (negated) byte = uint8_t(~byte);
        const char pair[2] = {DIGITS[byte >> 4], DIGITS[byte & 0xF]};
        out.append(pair, 2);
    }
    out.append("}");
    if (negated) out.append("]");
}

void mold(const Cell* value, text::Sink& out, bool) { form(value, out); }

int32_t sign(int64_t n) { return (n > 0) - (n < 0); }

// The longer set is the greater; of two of one size the plain one is the
// lesser, and two alike compare their bytes from the last one.
int32_t compare(const Cell* value1, const Cell* value2, int32_t op) {
    if (cell_type(value2) != TYPE_BITSET) return -2;
    Node a = bits_node(value1);
    Node b = bits_node(value2);
    if (op == actions::COMP_SAME) return a == b ? 0 : 1;
    if (byte_count(a) != byte_count(b)) return sign(int64_t(byte_count(a)) - int64_t(byte_count(b)));
    if (is_complemented(a) != is_complemented(b)) return is_complemented(a) ? 1 : -1;
    for (uint32_t i = byte_count(a); i-- > 0;)
        if (bytes_of(a)[i] != bytes_of(b)[i]) return bytes_of(a)[i] < bytes_of(b)[i] ? -1 : 1;
    return 0;
}

/* }====== */

/* {====== Set operations ====== */

uint8_t combine(SetOp op, uint8_t a, uint8_t b) {
    switch (op) {
        case SetOp::or_:
        case SetOp::union_: return a | b;
        case SetOp::and_:
        case SetOp::intersect: return a & b;
        case SetOp::xor_:
        case SetOp::difference: return a ^ b;
        case SetOp::exclude: return uint8_t(a & ~b);
    }
    return 0;
}

uint32_t result_bytes(Node a, Node b, SetOp op) {
    Node shorter = byte_count(a) <= byte_count(b) ? a : b;
    if (op == SetOp::and_ && !is_complemented(shorter)) return byte_count(shorter);
    return std::max(byte_count(a), byte_count(b));
}

// The byte i of the set, stored or implied.
uint8_t byte_at(Node bits, uint32_t i) { return i < byte_count(bits) ? bytes_of(bits)[i] : implied_byte(bits); }

Cell* complement(Cell* value) {
    Node bits = memory::copy_series(node_buffer(bits_node(value)));
    uint8_t* bytes = bytes_of(bits);
    uint32_t count = byte_count(bits);
    for (uint32_t i = 0; i < count; i++) bytes[i] = uint8_t(~bytes[i]);
    set_complemented(bits, !is_complemented(bits));
    return store(value, bits);
}

Cell* and_(Cell* value1, Cell* value2) { return set_operation(value1, value2, SetOp::and_); }
Cell* or_(Cell* value1, Cell* value2) { return set_operation(value1, value2, SetOp::or_); }
Cell* xor_(Cell* value1, Cell* value2) { return set_operation(value1, value2, SetOp::xor_); }

/* }====== */

/* {====== Series actions ====== */

using series::Edit;

// Runs the change between the owner reports that a change of the bitset
// makes, when an object owns it.
template <class Change>
void reported(const Cell* bitset, Edit edit, const Cell* new_value, Change change) {
    bool told = series::notify_before(bitset, edit, new_value, 0, 0);
    change();
    if (told) series::notify_after(bitset, edit, new_value, 0, 0);
}

// append and insert alike: the value's bits become members.
void insert(Cell* bitset, Cell* value, int32_t, bool, int32_t, bool append) {
    Node bits = bits_node(bitset);
    reported(bitset, append ? Edit::append : Edit::insert, value,
             [&] { write_spec(value, bits, Op::set, Caller::action); });
}

// No member left, the bits beyond the size included; the size stays.
void clear(Cell* bitset) {
    Node bits = bits_node(bitset);
    reported(bitset, Edit::clear, nullptr, [&] {
        std::memset(bytes_of(bits), 0, byte_count(bits));
        set_complemented(bits, false);
    });
}

Cell* copy(Cell* value, Cell* result, const Cell*, bool, const Cell*) {
    return store(result, memory::copy_series(node_buffer(bits_node(value))));
}

// true when the value's bits are all members, else none.
Cell* find(Cell* bitset, const Cell* value, const actions::FindArgs&) {
    bool found = test_spec(value, bits_node(bitset));
    *bitset = found ? *logic::constant(true) : none::constant;
    return bitset;
}

int32_t length_q(const Cell* bitset) { return int32_t(size_of(bits_node(bitset))); }

Cell* pick(Cell* bitset, int32_t, const Cell* index) {
    *bitset = *logic::constant(test_spec(index, bits_node(bitset)));
    return bitset;
}

// none, false and zero take the index's bits out of the set; any other value
// puts them in.
bool clears(const Cell* value) {
    switch (cell_type(value)) {
        case TYPE_NONE: return true;
        case TYPE_LOGIC: return !logic::get(value);
        case TYPE_INTEGER: return integer::get(value) == 0;
        case TYPE_FLOAT: return float_::get(value) == 0.0;
        default: return false;
    }
}

Cell* poke(Cell* bitset, int32_t, Cell* value, const Cell* index) {
    Node bits = bits_node(bitset);
    reported(bitset, Edit::poke, value,
             [&] { write_spec(index, bits, clears(value) ? Op::clear : Op::set, Caller::action); });
    return value;
}

// The /part value names the bits to take out; without it there is nothing
// to remove.
void remove(Cell* bitset, const Cell* part, const Cell*) {
    if (part == nullptr) fire(err::script::missing_arg);
    Node bits = bits_node(bitset);
    reported(bitset, Edit::remove, nullptr, [&] { write_spec(part, bits, Op::clear, Caller::action); });
}

// bits/65 and bits/#"A" pick the bit; bits/65: value pokes it.
Cell* eval_path(Cell* parent, const Cell* element, const actions::PathArgs& args) {
    if (!is_range_end(cell_type(element))) {
        Cell datatype = integer::datatype_value(cell_type(element));
        fire(err::script::invalid_type, &datatype);
    }
    if (args.value == nullptr) return pick(parent, 0, element);
    Cell bitset = *parent;
    return poke(&bitset, 0, const_cast<Cell*>(args.value), element);  // poke only reads the value
}

/* }====== */

}  // namespace

bool has_member(Node bits, int64_t bit) { return test_range(bits, bit, bit); }

Cell* set_operation(Cell* set1, const Cell* set2, SetOp op) {
    if (cell_type(set2) != TYPE_BITSET) {
        Cell datatype = integer::datatype_value(cell_type(set2));
        fire(err::script::invalid_type, &datatype);
    }
    Node a = bits_node(set1);
    Node b = bits_node(set2);
    uint32_t count = result_bytes(a, b, op);
    Node result = alloc_bits(count, 0);
    uint8_t* bytes = bytes_of(result);
    for (uint32_t i = 0; i < count; i++) bytes[i] = combine(op, byte_at(a, i), byte_at(b, i));
    set_complemented(result, combine(op, implied_byte(a), implied_byte(b)) != 0);
    return store(set1, result);
}

void init() {
    using namespace registry;
    register_type(TYPE_BITSET, Row()
        .set<SLOT_MAKE>(make)
        .set<SLOT_REFLECT>(series::reflect_owned)
        .set<SLOT_TO>(to)
        .set<SLOT_FORM>(form)
        .set<SLOT_MOLD>(mold)
        .set<SLOT_EVAL_PATH>(eval_path)
        .set<SLOT_COMPARE>(compare)
        .set<SLOT_NEGATE>(complement)
        .set<SLOT_AND>(and_)
        .set<SLOT_COMPLEMENT>(complement)
        .set<SLOT_OR>(or_)
        .set<SLOT_XOR>(xor_)
        .set<SLOT_APPEND>(insert)
        .set<SLOT_CLEAR>(clear)
        .set<SLOT_COPY>(copy)
        .set<SLOT_FIND>(find)
        .set<SLOT_INSERT>(insert)
        .set<SLOT_LENGTH_Q>(length_q)
        .set<SLOT_PICK>(pick)
        .set<SLOT_POKE>(poke)
        .set<SLOT_REMOVE>(remove)
        .set<SLOT_MODIFY>(series::modify_owned));
}

}  // namespace vek::bitset
