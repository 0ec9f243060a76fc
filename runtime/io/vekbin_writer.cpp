// The vekbin writer. One Writer walks the value graph depth first and
// appends each record to a byte vector; the two encodings share the walk and
// differ in the primitives (lead byte or header dword, varint or dword).
//
// Positions: every record takes the next position among its siblings; a
// record that holds others (a series, an object, a function, a word met with
// its context's owner, an error) starts a level where its own records count
// from 0. The path of a node is the list of positions from the top level
// down to the record that wrote it in full; later occurrences write that
// path instead of the content.
#include "runtime/io/vekbin_writer.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "runtime/core/raise.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/callable.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/money.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/io/vekbin_format.h"
#include "runtime/io/vekbin_storage.h"

namespace vek::vekbin {

namespace {

// The largest file: what one binary! can hold.
constexpr size_t FILE_LIMIT = size_t(INT32_MAX);

// The compact short form of a float! or time!: the value as a whole number,
// when it is one within the 32-bit range (and not -0.0, which would read
// back as 0.0).
std::optional<int32_t> whole_units(double d) {
    if (!(d >= -2147483000.0 && d <= 2147483000.0) || (d == 0.0 && std::signbit(d))) return std::nullopt;
    auto i = int32_t(d);
    if (double(i) != d) return std::nullopt;
    return i;
}

// The compact short form of a percent!: hundredths (d x 100 rounded half
// away from zero), when they give the value back exactly.
std::optional<int32_t> percent_units(double d) {
    if (!(d >= -21474836.0 && d <= 21474836.0) || (d == 0.0 && std::signbit(d))) return std::nullopt;
    double scaled = d * 100.0;
    auto i = int32_t(d >= 0.0 ? scaled + 0.5 : scaled - 0.5);
    if (i / 100.0 != d) return std::nullopt;
    return i;
}

// The 12 payload bytes after the header, in memory order (tuple!, money!).
std::array<uint8_t, 12> payload_bytes(const Cell* cell) {
    std::array<uint8_t, 12> out{};
    for (int w = 0; w < 3; ++w) {
        uint32_t word = payload_word(cell, w + 1);
        for (int b = 0; b < 4; ++b) out[size_t(w * 4 + b)] = uint8_t(word >> (8 * b));
    }
    return out;
}

[[noreturn]] void refuse(const Cell* value) {
    Cell held = *value;
    fire(err::access::no_codec, &held);
}

// How a record opens.
struct Lead {
    uint32_t type;        // the datatype id
    bool f = false;       // the compact lead byte's bit 6
    uint32_t extras = 0;  // the fixed header dword's type-specific bits
};

// Where a remembered node's path lies in the path store, and how the record
// that wrote it in full keeps its data.
struct PathRef {
    uint32_t start;   // index of its first position in the path store
    uint32_t length;  // positions in the path
    Storage storage;  // of the record that wrote the node in full
};

class Writer {
public:
    explicit Writer(bool compact) : compact_(compact) {}

    void write(const Cell* value) { record(value); }
    std::vector<uint8_t> file() const;

private:
    // Counts one record nested in those being written; past DEPTH_LIMIT the
    // value is refused, as the reader refuses such a file.
    class Nested {
    public:
        explicit Nested(Writer& writer) : writer_(writer) {
            if (++writer_.depth_ > DEPTH_LIMIT) fire(err::internal::too_deep);
        }
        ~Nested() { --writer_.depth_; }
        Nested(const Nested&) = delete;
        Nested& operator=(const Nested&) = delete;

    private:
        Writer& writer_;
    };

    void record(const Cell* cell);
    void scalar_record(const Cell* cell);
    void logic_record(const Cell* cell);
    void integer_record(const Cell* cell);
    void float_record(const Cell* cell);
    void date_record(const Cell* cell);
    void typeset_record(const Cell* cell);
    void tuple_record(const Cell* cell);
    void money_record(const Cell* cell);
    void block_record(const Cell* cell);
    void map_record(const Cell* cell);
    void string_record(const Cell* cell);
    void vector_record(const Cell* cell);
    void bitset_record(const Cell* cell);
    void image_record(const Cell* cell);
    void word_record(const Cell* cell);
    void object_record(const Cell* cell);
    void function_record(const Cell* cell, Storage storage = Storage::function);
    void native_record(const Cell* cell);
    void op_record(const Cell* cell);
    void error_record(const Cell* cell);

    template <class Leading, class Content>
    void shared_record(const Cell* cell, Node node, Lead lead, Storage storage, Leading leading, Content content);
    void owner_record(const Cell* owner, Node context_node);
    void object_content(const Cell* owner, Node context_node);
    void function_content(const Cell* owner, Node context_node);
    void context_record(Node context_node);
    void empty_block_record();

    // ---- primitives
    void begin(Lead lead, bool new_line, bool reference);
    void begin(Lead lead, const Cell* cell) { begin(lead, (cell->header & CELL_NEW_LINE) != 0, false); }
    void prefix_new_line(const Cell* cell) {
        if (cell->header & CELL_NEW_LINE) records_.push_back(PREFIX_NEW_LINE);
    }
    void byte(uint8_t b) { records_.push_back(b); }
    void dword(uint32_t w) { put_dword(records_, w); }
    void number(uint32_t u) { compact_ ? put_varint(records_, u) : dword(u); }
    void signed_number(int32_t i) { compact_ ? put_zigzag(records_, i) : dword(uint32_t(i)); }
    void head(uint32_t index) {
        if (!compact_) dword(index);
        else if (index != 0) put_varint(records_, index);
    }
    void raw(const void* bytes, size_t n);
    void pad(size_t multiple) {
        if (!compact_) records_.resize((records_.size() + multiple - 1) / multiple * multiple, 0);
    }
    void path(PathRef ref);

    // ---- levels and remembered nodes
    void enter() {
        path_stack_.push_back(position_);
        position_ = 0;
    }
    void leave() {
        position_ = path_stack_.back();
        path_stack_.pop_back();
    }
    void remember(Node node, Storage storage);
    std::optional<PathRef> seen(Node node) const;

    uint32_t symbol_index(uint32_t symbol_id);

    bool compact_;
    std::vector<uint8_t> records_;                          // the records area
    std::unordered_map<uint32_t, uint32_t> symbol_indexes_;  // symbol id -> index in this file
    std::vector<uint32_t> name_offsets_;                    // per file symbol, its name's offset in names_
    std::vector<uint8_t> names_;                            // the string table
    uint32_t position_ = 0;                                 // the next record's position among its siblings
    std::vector<uint32_t> path_stack_;                      // the positions of the enclosing records
    std::unordered_map<uint32_t, PathRef> seen_;            // node -> its path in path_store_
    std::vector<uint32_t> path_store_;                      // the paths of the remembered nodes
    int depth_ = 0;                                         // records nested in those being written
};

/* {====== Records ====== */

void Writer::record(const Cell* cell) {
    Nested nested(*this);
    switch (cell_type(cell)) {
    case TYPE_LOGIC: logic_record(cell); break;
    case TYPE_INTEGER: integer_record(cell); break;
    case TYPE_FLOAT:
    case TYPE_PERCENT:
    case TYPE_TIME: float_record(cell); break;
    case TYPE_DATE: date_record(cell); break;
    case TYPE_TYPESET: typeset_record(cell); break;
    case TYPE_TUPLE: tuple_record(cell); break;
    case TYPE_MONEY: money_record(cell); break;
    case TYPE_BLOCK:
    case TYPE_PAREN:
    case TYPE_PATH:
    case TYPE_LIT_PATH:
    case TYPE_SET_PATH:
    case TYPE_GET_PATH:
    case TYPE_HASH: block_record(cell); break;
    case TYPE_MAP: map_record(cell); break;
    case TYPE_STRING:
    case TYPE_FILE:
    case TYPE_URL:
    case TYPE_TAG:
    case TYPE_EMAIL:
    case TYPE_REF:
    case TYPE_BINARY: string_record(cell); break;
    case TYPE_VECTOR: vector_record(cell); break;
    case TYPE_BITSET: bitset_record(cell); break;
    case TYPE_IMAGE: image_record(cell); break;
    case TYPE_WORD:
    case TYPE_SET_WORD:
    case TYPE_LIT_WORD:
    case TYPE_GET_WORD:
    case TYPE_REFINEMENT: word_record(cell); break;
    case TYPE_OBJECT: object_record(cell); break;
    case TYPE_FUNCTION: function_record(cell); break;
    case TYPE_NATIVE:
    case TYPE_ACTION: native_record(cell); break;
    case TYPE_OP: op_record(cell); break;
    case TYPE_ERROR: error_record(cell); break;
    case TYPE_DATATYPE:
    case TYPE_UNSET:
    case TYPE_NONE:
    case TYPE_CHAR:
    case TYPE_PAIR:
    case TYPE_POINT2D:
    case TYPE_POINT3D:
    case TYPE_ISSUE: scalar_record(cell); break;
    default: refuse(cell);
    }
    ++position_;
}

// The values whose payload is one or a few numbers written as they are.
void Writer::scalar_record(const Cell* cell) {
    uint32_t type = cell_type(cell);
    begin({type}, cell);
    switch (type) {
    case TYPE_DATATYPE: number(datatype::id(cell)); break;
    case TYPE_CHAR: number(uint32_t(integer::get(cell))); break;
    case TYPE_PAIR:
        signed_number(pair::x(cell));
        signed_number(pair::y(cell));
        break;
    case TYPE_POINT2D:
    case TYPE_POINT3D:
        // The float32 bit patterns as they sit in the cell.
        if (type == TYPE_POINT2D) {
            dword(std::bit_cast<uint32_t>(point2d::x(cell)));
            dword(std::bit_cast<uint32_t>(point2d::y(cell)));
        } else {
            dword(std::bit_cast<uint32_t>(point3d::x(cell)));
            dword(std::bit_cast<uint32_t>(point3d::y(cell)));
            dword(std::bit_cast<uint32_t>(point3d::z(cell)));
        }
        break;
    case TYPE_ISSUE: number(symbol_index(word::symbol(cell))); break;
    default: break;  // unset! and none! have no payload
    }
}

void Writer::logic_record(const Cell* cell) {
    if (!compact_) {
        begin({TYPE_LOGIC}, cell);
        dword(logic::get(cell));
        return;
    }
    prefix_new_line(cell);
    byte(logic::get(cell) ? LEAD_TRUE : LEAD_FALSE);
}

void Writer::integer_record(const Cell* cell) {
    int32_t value = integer::get(cell);
    if (compact_ && value >= 0 && value < SMALL_INTEGER_LIMIT) {
        prefix_new_line(cell);
        byte(uint8_t(LEAD_SMALL_INTEGER + value));
        return;
    }
    begin({TYPE_INTEGER}, cell);
    signed_number(value);
}

// float!, percent! and time!. The fixed encoding aligns the record on 8
// bytes and writes the high half first; the compact one takes the short form
// when the value allows it, else the low half first.
void Writer::float_record(const Cell* cell) {
    uint32_t type = cell_type(cell);
    double value = float_::get(cell);
    auto bits = std::bit_cast<uint64_t>(value);
    if (!compact_) {
        pad(8);
        begin({type}, cell);
        dword(uint32_t(bits >> 32));
        dword(uint32_t(bits));
        return;
    }
    std::optional<int32_t> units = type == TYPE_PERCENT ? percent_units(value) : whole_units(value);
    begin({type, units.has_value()}, cell);
    if (units) {
        signed_number(*units);
        return;
    }
    dword(uint32_t(bits));
    dword(uint32_t(bits >> 32));
}

void Writer::date_record(const Cell* cell) {
    uint32_t packed = date::packed_date(cell);
    bool with_time = date::has_time(packed);
    auto bits = std::bit_cast<uint64_t>(cell_get_f64(cell));
    begin({TYPE_DATE, with_time}, cell);
    dword(packed);
    if (!compact_) {
        dword(uint32_t(bits >> 32));
        dword(uint32_t(bits));
    } else if (with_time) {
        dword(uint32_t(bits));
        dword(uint32_t(bits >> 32));
    }
}

// Compact: the 12 bit bytes without their trailing zero bytes; fixed: the
// three words.
void Writer::typeset_record(const Cell* cell) {
    begin({TYPE_TYPESET}, cell);
    if (!compact_) {
        for (int n = 1; n <= 3; ++n) dword(payload_word(cell, n));
        return;
    }
    std::array<uint8_t, 12> bytes = payload_bytes(cell);
    size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == 0) --n;
    byte(uint8_t(n));
    raw(bytes.data(), n);
}

void Writer::tuple_record(const Cell* cell) {
    uint32_t length = tuple::size(cell);
    std::array<uint8_t, 12> bytes = payload_bytes(cell);
    begin({TYPE_TUPLE, length != 3, length << FIXED_WIDTH_SHIFT}, cell);
    if (!compact_) {
        raw(bytes.data(), bytes.size());
        return;
    }
    if (length != 3) byte(uint8_t(length));
    raw(bytes.data(), length);
}

void Writer::money_record(const Cell* cell) {
    bool negative = money::sign(cell);
    std::array<uint8_t, 12> bytes = payload_bytes(cell);
    begin({TYPE_MONEY, negative, negative ? FIXED_MONEY_NEGATIVE : 0}, cell);
    raw(bytes.data(), bytes.size());
}

// block!, paren!, the path kinds and hash!: every cell from the buffer's
// start, whatever the head.
void Writer::block_record(const Cell* cell) {
    uint32_t index = series_index(cell);
    shared_record(
        cell, series_node(cell), {cell_type(cell), index != 0}, storage_of(cell_type(cell)), [&] { head(index); },
        [&] {
            uint32_t count = series_buffer(cell)->length();
            number(count);
            for (uint32_t i = 0; i < count; ++i) record(series_buffer(cell)->cells() + i);
        });
}

// The live entries only: a removed entry's value cell has a zero header.
void Writer::map_record(const Cell* cell) {
    shared_record(
        cell, series_node(cell), {TYPE_MAP}, Storage::map, [] {},
        [&] {
            SeriesBuffer* entries = series_buffer(cell);
            uint32_t cells = entries->length() & ~1u;
            uint32_t live = 0;
            for (uint32_t i = 0; i < cells; i += 2) live += entries->cells()[i + 1].header != 0;
            number(2 * live);
            for (uint32_t i = 0; i < cells; i += 2) {
                if (entries->cells()[i + 1].header == 0) continue;
                record(entries->cells() + i);
                record(entries->cells() + i + 1);
            }
        });
}

// The string kinds and binary!: the code units from the buffer's start. The
// compact count of a string kind carries the unit width in its low 2 bits.
void Writer::string_record(const Cell* cell) {
    uint32_t type = cell_type(cell);
    uint32_t index = series_index(cell);
    SeriesBuffer* units = series_buffer(cell);
    shared_record(
        cell, series_node(cell), {type, index != 0, units->unit() << FIXED_WIDTH_SHIFT}, storage_of(type),
        [&] { head(index); },
        [&] {
            uint32_t count = units->length();
            if (!compact_ || type == TYPE_BINARY) {
                number(count);
            } else {
                if (count > UINT32_MAX >> 2) no_memory();
                number(count << 2 | units->unit_shift());
            }
            raw(units->first(), units->used_bytes());
            pad(4);
        });
}

void Writer::vector_record(const Cell* cell) {
    uint32_t index = series_index(cell);
    uint32_t element_type = vector::element_type(cell);
    SeriesBuffer* elements = series_buffer(cell);
    shared_record(
        cell, series_node(cell), {TYPE_VECTOR, index != 0, elements->unit() << FIXED_WIDTH_SHIFT}, Storage::vector,
        [&] { head(index); },
        [&] {
            if (compact_) {
                byte(uint8_t(element_type << 2 | elements->unit_shift()));
                number(elements->length());
            } else {
                number(elements->length());
                dword(element_type);
            }
            raw(elements->first(), elements->used_bytes());
            pad(4);
        });
}

void Writer::bitset_record(const Cell* cell) {
    SeriesBuffer* bits = series_buffer(cell);
    bool complemented = (bits->flags & string::BITSET_COMPLEMENTED) != 0;
    shared_record(
        cell, series_node(cell), {TYPE_BITSET, complemented, complemented ? FIXED_BITSET_COMPLEMENT : 0},
        Storage::bitset, [] {},
        [&] {
            number(bits->used_bytes());
            raw(bits->first(), bits->used_bytes());
            pad(4);
        });
}

// The pixels are 32-bit words in the image's own layout; an image without
// pixels has no node to remember and is written in full each time.
void Writer::image_record(const Cell* cell) {
    uint32_t index = image::head(cell);
    shared_record(
        cell, image::node(cell), {TYPE_IMAGE, index != 0}, Storage::image, [&] { head(index); },
        [&] {
            uint32_t width = image::width(cell);
            uint32_t height = image::height(cell);
            if (compact_) {
                number(width);
                number(height);
            } else {
                dword(image::size_word(cell));
            }
            image::Lock lock = image::acquire_buffer(cell);
            uint32_t count = image::pixel_count(cell);
            for (uint32_t i = 0; i < count; ++i) dword(lock.pixels ? lock.pixels[i] : 0);
            image::release_buffer(lock, false);
        });
}

/* }====== */

/* {====== Words, objects and functions ====== */

// The owner of a context that a word's binding can name in the file: an
// object or function; nullptr for a word read back in the global context.
const Cell* binding_owner(Node context_node) {
    if (context_node == Node::none || context_node == context::global) return nullptr;
    const Cell* owner = context::owner_of(context_node);
    uint32_t type = cell_type(owner);
    return type == TYPE_OBJECT || type == TYPE_FUNCTION ? owner : nullptr;
}

void Writer::word_record(const Cell* cell) {
    uint32_t type = cell_type(cell);
    uint32_t symbol = symbol_index(word::symbol(cell));
    Node context_node = word::context(cell);
    const Cell* owner = binding_owner(context_node);
    if (!owner) {
        begin({type, false, FIXED_GLOBAL_WORD}, cell);
        number(symbol);
        if (!compact_) dword(WORD_UNRESOLVED);
        return;
    }
    shared_record(
        cell, context_node, {type, true}, Storage::word,
        [&] {
            number(symbol);
            signed_number(int32_t(word::index(cell)));
        },
        [&] { owner_record(owner, context_node); });
}

// A word's context written through its owner: the owner's object or
// function record from its lead on, its values numbered in the word's level.
void Writer::owner_record(const Cell* owner, Node context_node) {
    Nested nested(*this);
    if (cell_type(owner) == TYPE_FUNCTION) {
        begin({TYPE_FUNCTION}, false, false);
        function_content(owner, context_node);
        return;
    }
    bool handlers = object::event_record(owner) != Node::none;
    begin({TYPE_OBJECT, handlers, handlers ? FIXED_OBJECT_HANDLERS : 0}, false, false);
    object_content(owner, context_node);
}

void Writer::object_record(const Cell* cell) {
    bool handlers = object::event_record(cell) != Node::none;
    Node context_node = object::context_node(cell);
    shared_record(
        cell, context_node, {TYPE_OBJECT, handlers, handlers ? FIXED_OBJECT_HANDLERS : 0}, Storage::object, [] {},
        [&] { object_content(cell, context_node); });
}

// Class id, the two handler indexes of the event record when there is one,
// then the context.
void Writer::object_content(const Cell* owner, Node context_node) {
    signed_number(int32_t(object::class_id(owner)));
    Node events = object::event_record(owner);
    if (events != Node::none) {
        const Cell* handlers = node_buffer(events)->cells();
        signed_number(integer::get(handlers));
        signed_number(integer::get(handlers + 1));
    }
    context_record(context_node);
}

void Writer::function_record(const Cell* cell, Storage storage) {
    Node context_node = function::context_node(cell);
    shared_record(cell, context_node, {TYPE_FUNCTION}, storage, [] {}, [&] { function_content(cell, context_node); });
}

// The spec and body lengths, the context, then the spec at position 0 and
// the body at position 1. A function without body gets an empty one.
void Writer::function_content(const Cell* owner, Node context_node) {
    Cell spec;
    callable::spec_block(owner, &spec);
    Cell body = *function::body(owner);
    bool has_body = cell_type(&body) == TYPE_BLOCK;
    clear_new_line(&body.header);
    number(series_buffer(&spec)->length());
    number(has_body ? series_buffer(&body)->length() : 0);
    context_record(context_node);
    position_ = 0;
    record(&spec);
    if (has_body) record(&body);
    else empty_block_record();
}

void Writer::empty_block_record() {
    Nested nested(*this);
    begin({TYPE_BLOCK}, false, false);
    head(0);
    number(0);
    ++position_;
}

// The words' symbols, then (outside the stack, when any is set) the value of
// each word, found through its entry's value index.
void Writer::context_record(Node context_node) {
    Nested nested(*this);
    const Cell* cell = context::cell_of(context_node);
    uint32_t kind = context::kind_of(cell);
    bool stack_values = context::on_stack(cell);
    bool flag24 = (cell->header & context::FLAG24) != 0;
    uint32_t count = context::word_count(cell);
    const Cell* values = stack_values ? nullptr : context::values_base(cell);
    uint32_t value_count = stack_values ? 0 : node_buffer(context::values_node(cell))->length();
    auto value_of = [&](uint32_t i) -> const Cell* {
        uint32_t slot = word::index(context::word_at(cell, i));
        return slot < value_count ? values + slot : nullptr;
    };
    bool with_values = false;
    for (uint32_t i = 0; i < count && !stack_values && !with_values; ++i) {
        const Cell* value = value_of(i);
        with_values = value && cell_type(value) != TYPE_UNSET;
    }
    if (compact_) {
        byte(TYPE_CONTEXT);
        byte(uint8_t(kind | (stack_values ? CONTEXT_ON_STACK : 0) | (flag24 ? CONTEXT_HEADER_FLAG : 0) |
                     (with_values ? CONTEXT_VALUES : 0)));
    } else {
        dword(TYPE_CONTEXT | kind << FIXED_CONTEXT_KIND_SHIFT | (flag24 ? FIXED_CONTEXT_HEADER_FLAG : 0) |
              (stack_values ? FIXED_CONTEXT_ON_STACK : 0) | (with_values ? FIXED_CONTEXT_VALUES : 0));
    }
    number(count);
    for (uint32_t i = 0; i < count; ++i) number(symbol_index(word::symbol(context::word_at(cell, i))));
    if (!with_values) return;
    position_ = 0;
    Cell unset = blank_cell(TYPE_UNSET);
    for (uint32_t i = 0; i < count; ++i) {
        const Cell* value = value_of(i);
        record(value ? value : &unset);
    }
}

/* }====== */

/* {====== Natives, operators and errors ====== */

// The table position or action slot, then the spec, which shares the
// value's position.
void Writer::native_record(const Cell* cell) {
    uint32_t type = cell_type(cell);
    begin({type}, cell);
    number(type == TYPE_NATIVE ? native::position(cell) : action::slot(cell));
    Cell spec;
    callable::spec_block(cell, &spec);
    record(&spec);
    --position_;
}

// The operator's source value in the op's place: the op cell is a copy of
// its source's cell, so retyped it is that value. A function's context is
// remembered as the op's, which reads back as an op!: only words may refer
// to it.
void Writer::op_record(const Cell* cell) {
    uint32_t source = op::source_type(cell);
    if (source == TYPE_ROUTINE) refuse(cell);
    begin({TYPE_OP, false, source << FIXED_OP_TYPE_SHIFT}, cell);
    Cell inner = *cell;
    inner.header = source;
    if (source == TYPE_FUNCTION) {
        Nested nested(*this);
        function_record(&inner, Storage::op);
        return;
    }
    record(&inner);
    --position_;
}

// The code, then the fields arg1 to stack at positions 0-5 of a level of
// their own. A stack field still holding the frame position of a raise
// names frames of this process only: it is written as none.
void Writer::error_record(const Cell* cell) {
    const Cell* code = error::field(cell, error::FIELD_CODE);
    if (cell_type(code) != TYPE_INTEGER) refuse(cell);
    begin({TYPE_ERROR}, cell);
    number(uint32_t(integer::get(code)));
    enter();
    for (uint32_t f = error::FIELD_ARG1; f <= error::FIELD_STACK; ++f) {
        const Cell* field = error::field(cell, error::Field(f));
        bool frame_position = f == error::FIELD_STACK && cell_type(field) == TYPE_INTEGER;
        record(frame_position ? &none::constant : field);
    }
    leave();
}

/* }====== */

/* {====== Primitives and bookkeeping ====== */

void Writer::begin(Lead lead, bool new_line, bool reference) {
    if (!compact_) {
        dword(lead.type | lead.extras | (new_line ? FIXED_NEW_LINE : 0) | (reference ? FIXED_REFERENCE : 0));
        return;
    }
    if (new_line) byte(PREFIX_NEW_LINE);
    if (reference) byte(PREFIX_REFERENCE);
    byte(uint8_t(lead.type | (lead.f ? LEAD_F : 0)));
}

void Writer::raw(const void* bytes, size_t n) {
    const auto* first = static_cast<const uint8_t*>(bytes);
    records_.insert(records_.end(), first, first + n);
    if (records_.size() > FILE_LIMIT) no_memory();
}

void Writer::path(PathRef ref) {
    if (!compact_) {
        dword(FIXED_REFERENCE_VALUE);
        dword(ref.length);
    } else {
        put_varint(records_, ref.length);
    }
    for (uint32_t i = 0; i < ref.length; ++i) number(path_store_[ref.start + i]);
}

// A value over a node: its lead and leading fields, then the path of the
// node's first occurrence, or the content in a level of its own. A first
// occurrence of another storage cannot stand for it: the value is then
// written in full again.
template <class Leading, class Content>
void Writer::shared_record(const Cell* cell, Node node, Lead lead, Storage storage, Leading leading,
                           Content content) {
    std::optional<PathRef> first = seen(node);
    bool refer = first && (storage == Storage::word || first->storage == storage);
    begin(lead, (cell->header & CELL_NEW_LINE) != 0, refer);
    leading();
    if (refer) {
        path(*first);
        return;
    }
    enter();
    if (node != Node::none && !first) remember(node, storage);
    content();
    leave();
}

void Writer::remember(Node node, Storage storage) {
    seen_.emplace(uint32_t(node), PathRef{uint32_t(path_store_.size()), uint32_t(path_stack_.size()), storage});
    path_store_.insert(path_store_.end(), path_stack_.begin(), path_stack_.end());
}

std::optional<PathRef> Writer::seen(Node node) const {
    auto found = seen_.find(uint32_t(node));
    if (found == seen_.end()) return std::nullopt;
    return found->second;
}

// A new symbol's name goes to the string table: NUL-terminated, and in the
// fixed encoding padded to 8 bytes.
uint32_t Writer::symbol_index(uint32_t symbol_id) {
    auto [entry, added] = symbol_indexes_.try_emplace(symbol_id, uint32_t(name_offsets_.size()));
    if (!added) return entry->second;
    const Cell* symbol = series_buffer(symbol::block)->cells() + (symbol_id - 1);
    SeriesBuffer* name = node_buffer(symbol::name_bytes(symbol));
    name_offsets_.push_back(uint32_t(names_.size()));
    const auto* first = reinterpret_cast<const uint8_t*>(name->first());
    names_.insert(names_.end(), first, first + name->used_bytes());
    names_.push_back(0);
    if (!compact_) names_.resize((names_.size() + 7) / 8 * 8, 0);
    return entry->second;
}

std::vector<uint8_t> Writer::file() const {
    bool symbols = !name_offsets_.empty();
    if (records_.size() + names_.size() + 4 * name_offsets_.size() + 32 > FILE_LIMIT) no_memory();
    std::vector<uint8_t> out(MAGIC, MAGIC + MAGIC_SIZE);
    out.reserve(records_.size() + names_.size() + 4 * name_offsets_.size() + 32);
    out.push_back(WRITER_VERSION);
    out.push_back(uint8_t((compact_ ? FLAG_COMPACT : 0) | (symbols ? FLAG_SYMBOLS : 0)));
    auto count = [&](size_t n) { compact_ ? put_varint(out, uint32_t(n)) : put_dword(out, uint32_t(n)); };
    count(1);
    count(records_.size());
    if (symbols) {
        count(name_offsets_.size());
        count(names_.size());
        for (uint32_t offset : name_offsets_) put_dword(out, offset);
        out.insert(out.end(), names_.begin(), names_.end());
    }
    out.insert(out.end(), records_.begin(), records_.end());
    return out;
}

/* }====== */

}  // namespace

std::vector<uint8_t> encode_bytes(const Cell* value, bool compact) {
    Writer writer(compact);
    writer.write(value);
    return writer.file();
}

Cell* encode(const Cell* value, bool compact) {
    std::vector<uint8_t> bytes = encode_bytes(value, compact);
    return binary::load_push(bytes.data(), uint32_t(bytes.size()));
}

}  // namespace vek::vekbin
