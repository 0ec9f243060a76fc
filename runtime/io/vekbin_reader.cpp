#include "runtime/io/vekbin_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/codecs/lz77.h"
#include "runtime/core/error_catalog.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/block/block.h"
#include "runtime/datatypes/callable/action.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/callable/native.h"
#include "runtime/datatypes/callable/op.h"
#include "runtime/datatypes/char.h"
#include "runtime/datatypes/compound/date.h"
#include "runtime/datatypes/compound/pair.h"
#include "runtime/datatypes/compound/point.h"
#include "runtime/datatypes/compound/tuple.h"
#include "runtime/datatypes/container/bitset.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/datatypes/container/vector.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/image/image.h"
#include "runtime/datatypes/image/layer.h"
#include "runtime/datatypes/logic.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/float.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/number/money.h"
#include "runtime/datatypes/number/percent.h"
#include "runtime/datatypes/number/time.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/object/events.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/typeset.h"
#include "runtime/datatypes/unset.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/io/vekbin_format.h"
#include "runtime/io/vekbin_storage.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/manager.h"
#include "runtime/natives/boot_table.h"
#include "runtime/tables/hash_table.h"

namespace vek::vekbin {

namespace {

using Bytes = std::vector<uint8_t>;

// Room made up front for a series or context whose size a record claims:
// beyond it the buffer grows as the elements really arrive, so a short file
// cannot make the reader reserve far more than it holds.
constexpr uint32_t INITIAL_ROOM_LIMIT = 1024;
constexpr uint32_t initial_room(uint32_t count) { return std::min(count, INITIAL_ROOM_LIMIT); }

constexpr uint32_t HEADER_SIZE = 8;
constexpr uint32_t SURROGATE_FIRST = 0xD800;
constexpr uint32_t SURROGATE_LAST = 0xDFFF;
constexpr uint32_t TYPESET_BYTES = 12;
constexpr uint32_t MONEY_BYTES = 12;
constexpr uint32_t LAST_TYPE_ID = TYPE_EVENT;
constexpr int32_t NO_HANDLER = -1;
constexpr double SECONDS_PER_DAY = 86400.0;
constexpr uint32_t ERROR_FIRST_STORED = error::FIELD_ARG1;  // arg1, arg2, arg3, near, where, stack
constexpr uint32_t ERROR_STORED_FIELDS = 6;

// ---------------------------------------------------------------- what a record may stand for

// Types that carry a head index in their records.
bool has_head(uint32_t type) {
    Storage storage = storage_of(type);
    return storage == Storage::cells || storage == Storage::hash || storage == Storage::text ||
           storage == Storage::binary || storage == Storage::vector || storage == Storage::image;
}

bool is_valid_datatype_id(uint32_t id) { return id >= 1 && id <= LAST_TYPE_ID && id != TYPE_SYMBOL && id != TYPE_SERIES; }

bool is_valid_code_point(uint32_t code_point) {
    return code_point <= uint32_t(char_::MAX_CODE_POINT) && (code_point < SURROGATE_FIRST || code_point > SURROGATE_LAST);
}

bool has_no_codec(uint32_t type) {
    return type == TYPE_ROUTINE || type == TYPE_TRIPLE || type == TYPE_HANDLE || type == TYPE_PORT || type == TYPE_EVENT;
}

// Element types and widths a vector! may hold.
bool is_valid_vector_layout(uint32_t type, uint32_t unit) {
    switch (type) {
    case TYPE_CHAR: case TYPE_INTEGER: return unit == 1 || unit == 2 || unit == 4;
    case TYPE_FLOAT: return unit == 4 || unit == 8;
    case TYPE_PERCENT: return unit == 8;
    default: return false;
    }
}

// Whether a date's packed word names a real calendar day, with a zone only
// when it has a time.
bool is_valid_packed_date(uint32_t packed) {
    int32_t month = date::month(packed);
    int32_t day = date::day(packed);
    if (month < 1 || month > 12 || day < 1) return false;
    static constexpr int32_t DAYS[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int32_t last = DAYS[month - 1] + (month == 2 && date::leap_year(date::year(packed)) ? 1 : 0);
    if (day > last) return false;
    return date::has_time(packed) || (packed & date::ZONE_BITS) == 0;
}

bool is_valid_money(const uint8_t* bytes) {
    const Cell* list = system_fields::currencies_list();
    if (bytes[0] > block::length_from_head(list)) return false;
    for (uint32_t i = 1; i < MONEY_BYTES; i++)
        if ((bytes[i] >> 4) > 9 || (bytes[i] & 0xF) > 9) return false;
    return true;
}

// The context that a cell carries for the words bound to it, or Node::none.
Node context_carried(const Cell* cell) {
    switch (cell_type(cell)) {
    case TYPE_OBJECT: return object::context_node(cell);
    case TYPE_FUNCTION: return function::context_node(cell);
    case TYPE_OP: {
        if (op::source_type(cell) != TYPE_FUNCTION) return Node::none;
        Cell source;
        return function::context_node(op::unwrap(cell, &source));
    }
    default:
        return is_word_kind(cell_type(cell)) ? word::context(cell) : Node::none;
    }
}

Cell* cells_of(const Cell* block) { return series_buffer(block)->cells(); }
uint32_t length_of(const Cell* series) { return series_buffer(series)->length(); }

// The native's or action's own spec, as the runtime made it.
bool canonical_spec(uint32_t type, uint32_t code, Cell* out) {
    const char* text = nullptr;
    if (type == TYPE_NATIVE) {
        text = boot_table::native_entries[code - 1].spec;
    } else {
        for (const boot_table::ActionEntry& entry : boot_table::action_entries)
            if (entry.slot == code) text = entry.spec;
    }
    if (text == nullptr) return false;
    lexer::scan(out, reinterpret_cast<const uint8_t*>(text), uint32_t(std::strlen(text)), {.wrap = true}, nullptr,
                nullptr, nullptr);
    return true;
}

// ---------------------------------------------------------------- the reader

// A word placed in its parent before the owner of its context is read, so
// that records inside the owner may reach the context through it.
struct Anchor {
    const Cell* parent;  // the block holding the word
    uint32_t position;   // of the word there
    uint32_t index;      // the word's index in the context to come
};

// What a context record's leading fields say.
struct ContextHead {
    uint32_t kind;
    bool on_stack;
    bool flag24;
    bool values_follow;
    uint32_t count;
};

class Reader {
public:
    Reader(const Bytes& bytes, const Cell* target)
        : start_(bytes.data()), at_(bytes.data() + HEADER_SIZE), end_(bytes.data() + bytes.size()), target_(*target) {}

    void run() {
        uint8_t flags = start_[FLAGS_OFFSET];
        if ((flags & ~(FLAG_COMPACT | FLAG_COMPRESSED | FLAG_SYMBOLS)) != 0) fail(start_ + FLAGS_OFFSET);
        fixed_ = (flags & FLAG_COMPACT) == 0;
        if (fixed_) read_fixed_header(flags & FLAG_SYMBOLS);
        else read_compact_header(flags & FLAG_SYMBOLS);
        while (at_ < end_) {
            if (fixed_ && skip_padding()) continue;
            record(&target_);
        }
    }

private:
    const uint8_t* start_;
    const uint8_t* at_;
    const uint8_t* end_;
    Cell target_;  // the block the top-level values go to; index 0 of every path
    bool fixed_ = false;
    int depth_ = 0;
    // The symbol table: N dword offsets into S bytes of names.
    const uint8_t* offsets_ = nullptr;
    const uint8_t* names_ = nullptr;
    uint32_t symbol_count_ = 0;
    uint32_t names_size_ = 0;
    std::vector<uint32_t> symbol_ids_;  // interned on first use, 0 until then

    // ------------------------------------------------------------ bytes

    [[noreturn]] void fail(const uint8_t* at) const {
        Cell position = integer::cell(int32_t(at - start_ + 1));
        fire(err::script::vb_invalid_record, &position);
    }

    uint64_t left() const { return uint64_t(end_ - at_); }

    const uint8_t* take(uint64_t n) {
        if (n > left()) fail(end_);
        const uint8_t* at = at_;
        at_ += n;
        return at;
    }

    uint8_t byte() { return *take(1); }
    uint32_t dword() { return get_dword(take(4)); }

    uint32_t varint() {
        std::optional<uint32_t> value = get_varint(at_, end_);
        if (!value) fail(at_);
        return *value;
    }

    // A count or index: a varint, or a dword in the fixed encoding.
    uint32_t count() { return fixed_ ? dword() : varint(); }
    int32_t signed_value() { return fixed_ ? int32_t(dword()) : unzigzag(varint()); }

    // A count of things that take at least `each` bytes apiece.
    uint32_t bounded_count(uint32_t each) {
        const uint8_t* at = at_;
        uint32_t n = count();
        if (uint64_t(n) * each > left()) fail(at);
        return n;
    }

    double float_halves(bool high_first) {
        uint32_t first = dword();
        uint32_t second = dword();
        uint64_t low = high_first ? second : first;
        uint64_t high = high_first ? first : second;
        return std::bit_cast<double>(low | high << 32);
    }

    // Strings, vectors and bitsets of the fixed encoding end on a 4-byte boundary.
    void align() {
        if (fixed_) take((4 - uint64_t(at_ - start_) % 4) % 4);
    }

    bool skip_padding() {
        if (left() >= 4 && get_dword(at_) == 0) {
            at_ += 4;
            return true;
        }
        return false;
    }

    // ------------------------------------------------------------ header

    void read_symbol_table(uint32_t count, uint32_t size, const uint8_t* at) {
        if (uint64_t(count) * 4 > left()) fail(at);
        offsets_ = take(uint64_t(count) * 4);
        if (size > left()) fail(at);
        names_ = take(size);
        if (size > 0 && names_[size - 1] != 0) fail(names_ + size - 1);
        symbol_count_ = count;
        names_size_ = size;
        symbol_ids_.assign(count, 0);
    }

    void read_compact_header(bool symbols) { read_counts(symbols, [this] { return varint(); }); }

    void read_fixed_header(bool symbols) {
        if (left() < 8) {
            Cell length = integer::cell(int32_t(end_ - start_));
            fire(err::script::invalid_data, &length);
        }
        read_counts(symbols, [this] { return dword(); });
    }

    // The header's numbers, varints or dwords by the encoding: the root
    // count (dropped: the records say how many there are), the records'
    // size, and with a symbol table its count and size.
    template <typename ReadNumber>
    void read_counts(bool symbols, ReadNumber read_number) {
        read_number();
        const uint8_t* size_at = at_;
        uint32_t records = read_number();
        if (symbols) {
            const uint8_t* at = at_;
            uint32_t count = read_number();
            uint32_t size = read_number();
            read_symbol_table(count, size, at);
        }
        limit_records(records, size_at);
    }

    void limit_records(uint32_t size, const uint8_t* size_at) {
        if (size > left()) fail(size_at);
        end_ = at_ + size;
    }

    uint32_t symbol(const uint8_t* at) {
        uint32_t index = count();
        if (index >= symbol_count_) fail(at);
        if (symbol_ids_[index] != 0) return symbol_ids_[index];
        uint32_t offset = get_dword(offsets_ + 4 * size_t(index));
        if (offset >= names_size_) fail(at);
        const char* name = reinterpret_cast<const char*>(names_ + offset);
        const void* nul = std::memchr(name, 0, names_size_ - offset);
        if (nul == nullptr || nul == name) fail(at);
        uint32_t id = symbol::make_from_utf8(name, uint32_t(static_cast<const char*>(nul) - name));
        symbol_ids_[index] = id;
        return id;
    }

    // ------------------------------------------------------------ records

    // Reads one record and appends its value to the parent block.
    void record(const Cell* parent) {
        if (++depth_ > DEPTH_LIMIT) fail(at_);
        if (fixed_) fixed_record(parent);
        else compact_record(parent);
        --depth_;
    }

    // What stands before a record's payload.
    struct Lead {
        const uint8_t* at = nullptr;  // the record's first byte
        uint32_t type = 0;
        bool flag = false;            // compact: lead bit 6; fixed: the type's own header bit
        bool reference = false;
        bool new_line = false;
        uint32_t header = 0;          // fixed: the header dword
    };

    void compact_record(const Cell* parent) {
        Lead lead{.at = at_};
        uint8_t b = byte();
        for (;; b = byte()) {
            if (b == PREFIX_NEW_LINE) lead.new_line = true;
            else if (b == PREFIX_REFERENCE) lead.reference = true;
            else break;
        }
        if (b >= LEAD_SMALL_INTEGER) {
            if (lead.reference) fail(at_ - 1);
            compact_short_value(parent, b, lead);
            return;
        }
        lead.type = b & LEAD_TYPE_MASK;
        lead.flag = (b & LEAD_F) != 0;
        if (lead.type == LEAD_TYPE_ESCAPE) lead.type = varint();
        if (lead.type == 0) fail(at_ - 1);
        payload(parent, lead);
    }

    void compact_short_value(const Cell* parent, uint8_t b, const Lead& lead) {
        if (b < PREFIX_NEW_LINE) {
            put(parent, integer::cell(int32_t(b - LEAD_SMALL_INTEGER)), lead.new_line);
        } else if (b == LEAD_TRUE || b == LEAD_FALSE) {
            put(parent, *logic::constant(b == LEAD_TRUE), lead.new_line);
        } else if (b == LEAD_REFERENCE_VALUE) {
            put(parent, resolve(lead.at), lead.new_line);
        } else {
            fail(at_ - 1);
        }
    }

    void fixed_record(const Cell* parent) {
        while (skip_padding()) {}
        Lead lead{.at = at_};
        lead.header = dword();
        lead.type = lead.header & FIXED_TYPE_MASK;
        lead.new_line = (lead.header & FIXED_NEW_LINE) != 0;
        if (lead.type == FIXED_REFERENCE_VALUE) {
            put(parent, resolve_counted(lead.at), lead.new_line);
            return;
        }
        // An op!'s source type in bits 16-23 covers the reference bit; it has no reference form.
        lead.reference = (lead.header & FIXED_REFERENCE) != 0 && lead.type != TYPE_OP;
        lead.flag = fixed_flag(lead);
        if (lead.type == 0) fail(lead.at);
        payload(parent, lead);
    }

    // The header bit that plays the part of the compact lead's F.
    static bool fixed_flag(const Lead& lead) {
        switch (lead.type) {
        case TYPE_BITSET: return (lead.header & FIXED_BITSET_COMPLEMENT) != 0;
        case TYPE_MONEY: return (lead.header & FIXED_MONEY_NEGATIVE) != 0;
        case TYPE_OBJECT: return (lead.header & FIXED_OBJECT_HANDLERS) != 0;
        default:
            return is_word_kind(lead.type) && (lead.header & FIXED_GLOBAL_WORD) == 0;
        }
    }

    static void put(const Cell* parent, Cell value, bool new_line) {
        value.header = new_line ? value.header | CELL_NEW_LINE : value.header & ~CELL_NEW_LINE;
        block::rs_append(parent, &value);
    }

    // The position of the next cell appended to the parent.
    static uint32_t next_position(const Cell* parent) { return length_of(parent); }

    void payload(const Cell* parent, const Lead& lead) {
        if (has_no_codec(lead.type)) {
            Cell datatype = datatype::cell(lead.type);
            fire(err::access::no_codec, &datatype);
        }
        if (lead.reference && !may_be_referenced(lead)) fail(lead.at);
        switch (storage_of(lead.type)) {
        case Storage::cells: case Storage::hash: return block_record(parent, lead);
        case Storage::text: return text_record(parent, lead);
        case Storage::binary: return binary_record(parent, lead);
        case Storage::vector: return vector_record(parent, lead);
        case Storage::bitset: return bitset_record(parent, lead);
        case Storage::image: return image_record(parent, lead);
        case Storage::map: return map_record(parent, lead);
        case Storage::object: return object_record(parent, lead, nullptr);
        case Storage::function: return function_record(parent, lead, nullptr);
        case Storage::none: case Storage::op: case Storage::word: break;  // op and word: the writer's own
        }
        if (is_word_kind(lead.type)) return word_record(parent, lead);
        switch (lead.type) {
        case TYPE_CONTEXT: return context_value(parent, lead);
        case TYPE_NATIVE: case TYPE_ACTION: return native_record(parent, lead);
        case TYPE_OP: return op_record(parent, lead);
        case TYPE_ERROR: return error_record(parent, lead);
        default: return put(parent, scalar(lead), lead.new_line);
        }
    }

    bool may_be_referenced(const Lead& lead) const {
        if (storage_of(lead.type) != Storage::none) return true;
        return is_word_kind(lead.type) && lead.flag;
    }

    // ------------------------------------------------------------ scalars

    Cell scalar(const Lead& lead) {
        switch (lead.type) {
        case TYPE_DATATYPE: {
            uint32_t id = count();
            if (!is_valid_datatype_id(id)) fail(lead.at);
            return datatype::cell(id);
        }
        case TYPE_UNSET: return unset::constant;
        case TYPE_NONE: return none::constant;
        case TYPE_LOGIC: {
            if (!fixed_) fail(lead.at);
            uint32_t value = dword();
            if (value > 1) fail(lead.at);
            return *logic::constant(value == 1);
        }
        case TYPE_CHAR: {
            uint32_t code_point = count();
            if (!is_valid_code_point(code_point)) fail(lead.at);
            Cell c;
            return *char_::make_at(&c, code_point);
        }
        case TYPE_INTEGER: return integer::cell(signed_value());
        case TYPE_FLOAT: case TYPE_PERCENT: case TYPE_TIME: return floating(lead);
        case TYPE_PAIR: {
            int32_t x = signed_value();
            int32_t y = signed_value();
            Cell c;
            return *pair::make_at(&c, x, y);
        }
        case TYPE_POINT2D: case TYPE_POINT3D: return point(lead.type);
        case TYPE_DATE: return date_value(lead);
        case TYPE_TYPESET: return typeset_value();
        case TYPE_TUPLE: return tuple_value(lead);
        case TYPE_MONEY: return money_value(lead);
        case TYPE_ISSUE: {
            Cell c = blank_cell(TYPE_ISSUE);
            word::set_symbol(&c, symbol(lead.at));
            word::set_index(&c, WORD_UNRESOLVED);
            return c;
        }
        default: fail(lead.at);
        }
    }

    Cell floating(const Lead& lead) {
        double value;
        if (fixed_) value = float_halves(true);
        else if (lead.flag) value = lead.type == TYPE_PERCENT ? unzigzag(varint()) / 100.0 : unzigzag(varint());
        else value = float_halves(false);
        Cell c{lead.type, 0, 0, 0};
        cell_set_f64(&c, value);
        return c;
    }

    Cell point(uint32_t type) {
        float x = std::bit_cast<float>(dword());
        float y = std::bit_cast<float>(dword());
        Cell c;
        if (type == TYPE_POINT2D) return *point2d::make_at(&c, x, y);
        float z = std::bit_cast<float>(dword());
        return *point3d::make_at(&c, x, y, z);
    }

    Cell date_value(const Lead& lead) {
        uint32_t packed = dword();
        bool timed = date::has_time(packed);
        double seconds = 0;
        if (fixed_) {
            seconds = float_halves(true);
            if (!timed && seconds != 0) fail(lead.at);
        } else {
            if (timed != lead.flag) fail(lead.at);
            if (timed) seconds = float_halves(false);
        }
        if (!is_valid_packed_date(packed) || !std::isfinite(seconds)) fail(lead.at);
        double local = seconds + date::zone_seconds(packed);
        if (local < 0 || local >= SECONDS_PER_DAY) fail(lead.at);
        Cell c = blank_cell(TYPE_DATE);
        date::set_packed_date(&c, packed);
        cell_set_f64(&c, seconds);
        return c;
    }

    Cell typeset_value() {
        uint8_t bytes[TYPESET_BYTES] = {};
        uint32_t n = TYPESET_BYTES;
        if (fixed_) {
            for (uint32_t i = 0; i < 3; i++) {
                uint32_t word = dword();
                for (uint32_t j = 0; j < 4; j++) bytes[4 * i + j] = uint8_t(word >> (8 * j));  // the cell's words hold the bytes in order
            }
        } else {
            const uint8_t* at = at_;
            n = byte();
            if (n > TYPESET_BYTES) fail(at);
            std::memcpy(bytes, take(n), n);
        }
        Cell c = blank_cell(TYPE_TYPESET);
        for (uint32_t type = 0; type < 8 * TYPESET_BYTES; type++)
            if (bytes[type >> 3] & (0x80 >> (type & 7))) typeset::set(&c, type);
        return c;
    }

    Cell tuple_value(const Lead& lead) {
        uint32_t length = tuple::MIN_SIZE;
        if (fixed_) length = (lead.header >> FIXED_WIDTH_SHIFT) & 0xFF;
        else if (lead.flag) length = byte();
        if (length < 1 || length > tuple::MAX_SIZE) fail(lead.at);
        const uint8_t* bytes = take(fixed_ ? tuple::MAX_SIZE : length);
        Cell c = blank_cell(TYPE_TUPLE);
        return *tuple::make_at(&c, bytes, length);
    }

    Cell money_value(const Lead& lead) {
        const uint8_t* bytes = take(MONEY_BYTES);
        if (!is_valid_money(bytes)) fail(lead.at);
        Cell c = blank_cell(TYPE_MONEY);
        return *money::make_at(&c, lead.flag, bytes[0], bytes + 1);
    }

    // ------------------------------------------------------------ reference paths

    // The path after a reference prefix, walked; answers a copy of the cell reached.
    Cell resolve(const uint8_t* at) {
        if (fixed_ && dword() != FIXED_REFERENCE_VALUE) fail(at);
        return resolve_counted(at);
    }

    Cell resolve_counted(const uint8_t* at) {
        uint32_t k = count();
        if (k < 1 || k > PATH_LIMIT || uint64_t(k) * (fixed_ ? 4 : 1) > left()) fail(at);
        Cell reached = target_;
        for (uint32_t i = 0; i < k; i++) reached = step(reached, count(), at);
        return reached;
    }

    Cell step(const Cell& from, uint32_t index, const uint8_t* at) const {
        Cell part;
        switch (callable_part(from, index, &part)) {
        case Part::found: return part;
        case Part::out_of_range: fail(at);
        case Part::not_callable: break;
        }
        Cell block;
        uint32_t first = 0;
        if (!inner_block(from, &block, &first)) fail(at);
        uint32_t length = length_of(&block);
        if (first >= length || index >= length - first) fail(at);
        return cells_of(&block)[first + index];
    }

    enum class Part { found, out_of_range, not_callable };

    // Below a function (or an op! made from one, or a word of its context)
    // index 0 is the spec and 1 the body; below an op! made from a native!
    // or action! only 0, its spec.
    static Part callable_part(const Cell& from, uint32_t index, Cell* part) {
        Cell callable = from;
        uint32_t type = cell_type(&from);
        if (type == TYPE_OP) {
            op::unwrap(&from, &callable);
        } else if (is_word_kind(type)) {
            if (word::context(&from) == Node::none) return Part::not_callable;
            callable = *context::owner_of(word::context(&from));
            if (cell_type(&callable) != TYPE_FUNCTION) return Part::not_callable;
        } else if (type != TYPE_FUNCTION) {
            return Part::not_callable;
        }
        bool is_function = cell_type(&callable) == TYPE_FUNCTION;
        if (index > (is_function ? 1u : 0u)) return Part::out_of_range;
        *part = index == 0 ? series_cell(TYPE_BLOCK, callable::spec_node(&callable)) : *function::body(&callable);
        return Part::found;
    }

    // The block whose cells a path index selects below the cell, and the
    // cell that index 0 stands for; false when the cell has none.
    static bool inner_block(const Cell& from, Cell* block, uint32_t* first) {
        uint32_t type = cell_type(&from);
        switch (type) {
        case TYPE_BLOCK: case TYPE_PAREN: case TYPE_PATH: case TYPE_LIT_PATH: case TYPE_SET_PATH: case TYPE_GET_PATH:
        case TYPE_HASH: case TYPE_MAP:
            *block = series_cell(TYPE_BLOCK, series_node(&from));
            return true;
        case TYPE_OBJECT:
            return context_values(object::context_node(&from), block);
        case TYPE_ERROR:
            *first = ERROR_FIRST_STORED;
            return context_values(object::context_node(&from), block);
        case TYPE_NATIVE: case TYPE_ACTION:
            *block = series_cell(TYPE_BLOCK, callable::spec_node(&from));
            return true;
        default:
            if (!is_word_kind(type) || word::context(&from) == Node::none) return false;
            return context::kind_of(context::cell_of(word::context(&from))) == context::KIND_OBJECT &&
                   context_values(word::context(&from), block);
        }
    }

    static bool context_values(Node context, Cell* block) {
        const Cell* context_cell = context::cell_of(context);
        if (context::on_stack(context_cell)) return false;
        *block = series_cell(TYPE_BLOCK, context::values_node(context_cell));
        return true;
    }

    // ------------------------------------------------------------ series

    uint32_t read_head(const Lead& lead) {
        if (fixed_) return dword();
        return lead.flag ? varint() : 0;
    }

    static uint32_t element_count(const Cell* series) {
        return cell_type(series) == TYPE_IMAGE ? image::pixel_count(series) : length_of(series);
    }

    // A reference record: the cell its path reaches, which must keep its
    // data as the record's type does, retyped and at the record's head.
    void put_reference(const Cell* parent, const Lead& lead, uint32_t head) {
        Cell found = resolve(lead.at);
        if (storage_of(cell_type(&found)) != storage_of(lead.type)) fail(lead.at);
        set_type(&found, lead.type);
        if (has_head(lead.type)) {
            if (head > element_count(&found)) fail(lead.at);
            set_series_index(&found, head);
        }
        put(parent, found, lead.new_line);
    }

    void block_record(const Cell* parent, const Lead& lead) {
        uint32_t head = read_head(lead);
        if (lead.reference) return put_reference(parent, lead, head);
        uint32_t n = bounded_count(fixed_ ? 4 : 1);
        if (head > n) fail(lead.at);
        Cell block = blank_cell(TYPE_BLOCK);
        block::make_at(&block, int32_t(initial_room(n)));
        set_type(&block, lead.type);
        set_series_index(&block, head);
        Node table = Node::none;
        if (lead.type == TYPE_HASH) {
            table = hash_table::make(std::max(initial_room(n), 1u), &block, hash_table::KIND_VALUES, 0);
            block::set_hash_table(&block, table);
        }
        put(parent, block, lead.new_line);
        for (uint32_t i = 0; i < n; i++) record(&block);
        if (table != Node::none) hash_table::reset(table, length_of(&block));
    }

    void text_record(const Cell* parent, const Lead& lead) {
        uint32_t unit = fixed_ ? (lead.header >> FIXED_WIDTH_SHIFT) & 0xFF : 1;
        uint32_t head = read_head(lead);
        if (lead.reference) return put_reference(parent, lead, head);
        uint32_t n;
        if (fixed_) {
            n = dword();
        } else {
            uint32_t packed = varint();
            if ((packed & 3) == 3) fail(lead.at);
            unit = 1u << (packed & 3);
            n = packed >> 2;
        }
        if ((unit != 1 && unit != 2 && unit != 4) || head > n) fail(lead.at);
        const uint8_t* units = take(uint64_t(n) * unit);
        align();
        if (unit == 4)
            for (uint32_t i = 0; i < n; i++)
                if (get_dword(units + 4 * size_t(i)) > uint32_t(char_::MAX_CODE_POINT)) fail(lead.at);
        Cell text = blank_cell(TYPE_STRING);
        string::make_at_unit(&text, n, unit);
        std::memcpy(series::reserve_tail(series_buffer(&text), n * unit), units, size_t(n) * unit);
        set_type(&text, lead.type);
        set_series_index(&text, head);
        put(parent, text, lead.new_line);
    }

    void binary_record(const Cell* parent, const Lead& lead) {
        if (fixed_ && ((lead.header >> FIXED_WIDTH_SHIFT) & 0xFF) != 1) fail(lead.at);
        uint32_t head = read_head(lead);
        if (lead.reference) return put_reference(parent, lead, head);
        uint32_t n = count();
        if (head > n) fail(lead.at);
        const uint8_t* bytes = take(n);
        align();
        Cell binary = blank_cell(TYPE_BINARY);
        binary::load_at(&binary, bytes, n);
        set_series_index(&binary, head);
        put(parent, binary, lead.new_line);
    }

    void vector_record(const Cell* parent, const Lead& lead) {
        uint32_t unit = fixed_ ? (lead.header >> FIXED_WIDTH_SHIFT) & 0xFF : 1;
        uint32_t head = read_head(lead);
        if (lead.reference) return put_reference(parent, lead, head);
        uint32_t type;
        uint32_t n;
        if (fixed_) {
            n = dword();
            type = dword();
        } else {
            uint8_t layout = byte();
            type = layout >> 2;
            unit = 1u << (layout & 3);
            n = varint();
        }
        if (!is_valid_vector_layout(type, unit) || head > n) fail(lead.at);
        const uint8_t* elements = take(uint64_t(n) * unit);
        align();
        if (type == TYPE_CHAR) check_char_elements(elements, n, unit, lead.at);
        Cell vector = blank_cell(TYPE_VECTOR);
        vector::make_at(&vector, n, type, unit);
        std::memcpy(series::reserve_tail(series_buffer(&vector), n * unit), elements, size_t(n) * unit);
        set_series_index(&vector, head);
        put(parent, vector, lead.new_line);
    }

    void check_char_elements(const uint8_t* elements, uint32_t n, uint32_t unit, const uint8_t* at) const {
        for (uint32_t i = 0; i < n; i++) {
            uint32_t code_point = 0;
            std::memcpy(&code_point, elements + size_t(i) * unit, unit);
            if (!is_valid_code_point(code_point)) fail(at);
        }
    }

    void bitset_record(const Cell* parent, const Lead& lead) {
        if (lead.reference) return put_reference(parent, lead, 0);
        uint32_t n = count();
        if (n > uint32_t(bitset::MAX_BIT >> 3) + 1) fail(lead.at);
        const uint8_t* bytes = take(n);
        align();
        Node bits = memory::alloc_bytes(n);
        SeriesBuffer* buffer = node_buffer(bits);
        std::memcpy(buffer->first(), bytes, n);
        buffer->tail = buffer->offset + n;
        if (lead.flag) buffer->flags |= string::BITSET_COMPLEMENTED;
        put(parent, series_cell(TYPE_BITSET, bits), lead.new_line);
    }

    void image_record(const Cell* parent, const Lead& lead) {
        uint32_t head = read_head(lead);
        if (lead.reference) return put_reference(parent, lead, head);
        uint32_t width;
        uint32_t height;
        if (fixed_) {
            uint32_t size = dword();
            width = size & 0xFFFF;
            height = size >> 16;
        } else {
            width = varint();
            height = varint();
        }
        if (width > IMAGE_SIDE_LIMIT || height > IMAGE_SIDE_LIMIT || !image::fits(width, height)) fail(lead.at);
        uint32_t pixels = width * height;
        if (head > pixels) fail(lead.at);
        const uint8_t* data = take(uint64_t(pixels) * 4);
        Cell picture = blank_cell(TYPE_IMAGE);
        if (pixels == 0) {
            image::make_at(&picture, Node::none, image::pack_size(width, height));
        } else {
            Node node = image::make_filled(width, height, 0);
            std::memcpy(image::pixels_of(node), data, size_t(pixels) * 4);
            image::make_at(&picture, node);
        }
        set_series_index(&picture, head);
        put(parent, picture, lead.new_line);
    }

    void map_record(const Cell* parent, const Lead& lead) {
        if (lead.reference) return put_reference(parent, lead, 0);
        uint32_t n = bounded_count(fixed_ ? 4 : 1);
        if (n % 2 != 0) fail(lead.at);
        Cell entries = blank_cell(TYPE_BLOCK);
        block::make_at(&entries, int32_t(initial_room(n)));
        for (uint32_t i = 0; i < n; i++) record(&entries);
        Cell map = blank_cell(TYPE_MAP);
        map::make_at(&map, &entries, n / 2);
        put(parent, map, lead.new_line);
    }

    // A block record read into the block given (or, in the reference form,
    // the block its path reaches): a function's spec or body, a native's
    // spec. Answers the block at the record's head.
    Cell block_into(const Cell& into) {
        if (++depth_ > DEPTH_LIMIT) fail(at_);
        Lead lead = block_lead();
        uint32_t head = read_head(lead);
        Cell result = into;
        if (lead.reference) {
            result = resolve(lead.at);
            if (storage_of(cell_type(&result)) != Storage::cells || head > length_of(&result)) fail(lead.at);
            set_type(&result, TYPE_BLOCK);
        } else {
            uint32_t n = bounded_count(fixed_ ? 4 : 1);
            if (head > n) fail(lead.at);
            for (uint32_t i = 0; i < n; i++) record(&into);
        }
        set_series_index(&result, head);
        result.header &= ~CELL_NEW_LINE;
        --depth_;
        return result;
    }

    Lead block_lead() {
        Lead lead{.at = at_, .type = TYPE_BLOCK};
        if (fixed_) {
            while (skip_padding()) {}
            lead.at = at_;
            lead.header = dword();
            lead.reference = (lead.header & FIXED_REFERENCE) != 0;
            if ((lead.header & FIXED_TYPE_MASK) != TYPE_BLOCK) fail(lead.at);
            return lead;
        }
        uint8_t b = byte();
        for (; b == PREFIX_NEW_LINE || b == PREFIX_REFERENCE; b = byte())
            if (b == PREFIX_REFERENCE) lead.reference = true;
        if (b >= LEAD_SMALL_INTEGER || (b & LEAD_TYPE_MASK) != TYPE_BLOCK) fail(at_ - 1);
        lead.flag = (b & LEAD_F) != 0;
        return lead;
    }

    // ------------------------------------------------------------ words and contexts

    void word_record(const Cell* parent, const Lead& lead) {
        uint32_t id = symbol(lead.at);
        Cell word = blank_cell(TYPE_WORD);
        if (!lead.flag) {
            if (fixed_) dword();  // the index, which the global context's own lookup replaces
            word::make_at(id, &word);
            set_type(&word, lead.type);
            return put(parent, word, lead.new_line);
        }
        int32_t index = signed_value();
        if (index < -1) fail(lead.at);
        set_type(&word, lead.type);
        word::set_symbol(&word, id);
        word::set_index(&word, WORD_UNRESOLVED);
        if (lead.reference) {
            Cell found = resolve(lead.at);
            Node context = context_carried(&found);
            if (context == Node::none) fail(lead.at);
            bind_checked(&word, context, uint32_t(index), lead.at);
            return put(parent, word, lead.new_line);
        }
        Anchor anchor{parent, next_position(parent), uint32_t(index)};
        put(parent, word, lead.new_line);
        Cell holder = blank_cell(TYPE_BLOCK);
        block::make_at(&holder, 1);
        owner_record(&holder, anchor);
    }

    // The object or function that owns a word's context, written in full
    // after the word's first occurrence.
    void owner_record(const Cell* holder, const Anchor& anchor) {
        if (++depth_ > DEPTH_LIMIT) fail(at_);
        Lead lead{.at = at_};
        if (fixed_) {
            lead.header = dword();
            lead.type = lead.header & FIXED_TYPE_MASK;
            if ((lead.header & FIXED_REFERENCE) != 0) fail(lead.at);
            lead.flag = fixed_flag(lead);
        } else {
            uint8_t b = byte();
            if (b >= LEAD_SMALL_INTEGER) fail(lead.at);
            lead.type = b & LEAD_TYPE_MASK;
            lead.flag = (b & LEAD_F) != 0;
        }
        if (lead.type == TYPE_OBJECT) object_record(holder, lead, &anchor);
        else if (lead.type == TYPE_FUNCTION) function_record(holder, lead, &anchor);
        else fail(lead.at);
        --depth_;
    }

    // Binds the word to the context after checking that the context has a
    // word of the same name (in any letter case) at the index.
    void bind_checked(Cell* word, Node context, uint32_t index, const uint8_t* at) const {
        const Cell* context_cell = context::cell_of(context);
        uint32_t kind = context::kind_of(context_cell);
        if (index == WORD_UNRESOLVED && kind == context::KIND_OBJECT && is_self(word)) {
            word::set_context(word, context);
            word::set_index(word, index);
            return;
        }
        if ((kind != context::KIND_OBJECT && kind != context::KIND_FUNCTION) || index >= context::word_count(context_cell))
            fail(at);
        uint32_t present = word::symbol(context::word_at(context_cell, index));
        if (symbol::resolve(present) != symbol::resolve(word::symbol(word))) fail(at);
        word::set_context(word, context);
        word::set_index(word, index);
    }

    // self bound to an object reads as the object: it has no index there.
    static bool is_self(const Cell* word) {
        return symbol::resolve(word::symbol(word)) == symbol::resolve(fixed_words::symbol(fixed_words::Sym::self));
    }

    void bind_anchor(const Anchor* anchor, Node context, const uint8_t* at) const {
        if (anchor == nullptr) return;
        Cell word = cells_of(anchor->parent)[anchor->position];
        bind_checked(&word, context, anchor->index, at);
        cells_of(anchor->parent)[anchor->position] = word;
    }

    // A context record up to its symbols, which a caller reads with make_context.
    ContextHead context_head(const uint8_t* at) {
        uint32_t header;
        if (fixed_) {
            header = dword();
            if ((header & (FIXED_TYPE_MASK | FIXED_REFERENCE)) != TYPE_CONTEXT) fail(at);
        } else {
            if (byte() != TYPE_CONTEXT) fail(at);
            header = 0;
        }
        return context_fields(header, at);
    }

    // The flags (the fixed header given, or the compact flags byte next) and the word count.
    ContextHead context_fields(uint32_t header, const uint8_t* at) {
        ContextHead head{};
        bool values;
        if (fixed_) {
            head.kind = (header >> FIXED_CONTEXT_KIND_SHIFT) & CONTEXT_KIND_MASK;
            head.flag24 = (header & FIXED_CONTEXT_HEADER_FLAG) != 0;
            head.on_stack = (header & FIXED_CONTEXT_ON_STACK) != 0;
            values = (header & FIXED_CONTEXT_VALUES) != 0;
        } else {
            uint8_t flags = byte();
            if ((flags & ~(CONTEXT_KIND_MASK | CONTEXT_ON_STACK | CONTEXT_HEADER_FLAG | CONTEXT_VALUES)) != 0) fail(at);
            head.kind = flags & CONTEXT_KIND_MASK;
            head.flag24 = (flags & CONTEXT_HEADER_FLAG) != 0;
            head.on_stack = (flags & CONTEXT_ON_STACK) != 0;
            values = (flags & CONTEXT_VALUES) != 0;
        }
        head.values_follow = values && !head.on_stack;
        head.count = bounded_count(fixed_ ? 4 : 1);
        return head;
    }

    Node make_context(const ContextHead& head, const uint8_t* at) {
        Node context = context::create(initial_room(head.count), head.on_stack, head.flag24, nullptr, head.kind);
        for (uint32_t i = 0; i < head.count; i++) {
            const uint8_t* symbol_at = at_;
            Cell word = blank_cell(TYPE_WORD);
            word::set_symbol(&word, symbol(symbol_at));
            if (context::add_word(context::cell_of(context), &word) != int32_t(i)) fail(symbol_at);
        }
        if (context::word_count(context::cell_of(context)) != head.count) fail(at);
        return context;
    }

    // The values that follow a context's symbols, each read in its place,
    // where records inside it can reach it and the ones before.
    void read_values(Node context, const ContextHead& head) {
        if (!head.values_follow) return;
        Cell values = series_cell(TYPE_BLOCK, context::values_node(context::cell_of(context)));
        read_in_place(&values, 0, head.count);
    }

    // The block is cut back to `first` cells and n records appended.
    void read_in_place(const Cell* block, uint32_t first, uint32_t n) {
        block::truncate_at(block, first);
        for (uint32_t i = 0; i < n; i++) record(block);
    }

    static bool is_object_context(const ContextHead& head) { return head.kind == context::KIND_OBJECT && !head.on_stack; }

    // An object over a new context; it starts a class of its own.
    Cell new_object(Node context, Node events) {
        Cell object = blank_cell(TYPE_OBJECT);
        object::set_context_node(&object, context);
        object::set_class_id(&object, object::new_class_id());
        object::set_event_record(&object, events);
        *context::owner_of(context) = object;
        return object;
    }

    // A context record standing alone: an object over it.
    void context_value(const Cell* parent, const Lead& lead) {
        if (lead.flag) fail(lead.at);
        ContextHead head = context_fields(lead.header, lead.at);
        if (!is_object_context(head)) fail(lead.at);
        Node context = make_context(head, lead.at);
        put(parent, new_object(context, Node::none), lead.new_line);
        read_values(context, head);
    }

    void object_record(const Cell* parent, const Lead& lead, const Anchor* anchor) {
        if (lead.reference) return put_reference(parent, lead, 0);
        signed_value();  // the class id: a decoded object starts a class of its own
        int32_t change = NO_HANDLER;
        int32_t deep = NO_HANDLER;
        if (lead.flag) {
            change = signed_value();
            deep = signed_value();
        }
        const uint8_t* context_at = at_;
        ContextHead head = context_head(context_at);
        if (!is_object_context(head)) fail(context_at);
        Node context = make_context(head, context_at);
        Node events = Node::none;
        if (lead.flag) {
            check_handlers(context, change, deep, lead.at);
            events = object::build_event_record(change, deep);
        }
        uint32_t position = next_position(parent);
        put(parent, new_object(context, events), lead.new_line);
        bind_anchor(anchor, context, lead.at);
        read_values(context, head);
        if (lead.flag) {
            Cell object = cells_of(parent)[position];
            object::init_events(&object);
            cells_of(parent)[position] = object;
        }
    }

    // Each handler index is -1 or names its handler's field; one at least names one.
    void check_handlers(Node context, int32_t change, int32_t deep, const uint8_t* at) const {
        const Cell* context_cell = context::cell_of(context);
        auto names = [&](int32_t index, fixed_words::Word handler) {
            if (index == NO_HANDLER) return true;
            if (index < 0 || uint32_t(index) >= context::word_count(context_cell)) return false;
            uint32_t present = word::symbol(context::word_at(context_cell, uint32_t(index)));
            return symbol::resolve(present) == symbol::resolve(word::symbol(fixed_words::word(handler)));
        };
        if (!names(change, fixed_words::Word::on_change) || !names(deep, fixed_words::Word::on_deep_change) ||
            (change == NO_HANDLER && deep == NO_HANDLER))
            fail(at);
    }

    // ------------------------------------------------------------ callables

    void function_record(const Cell* parent, const Lead& lead, const Anchor* anchor) {
        if (lead.reference) return put_reference(parent, lead, 0);
        for (int part = 0; part < 2; part++)  // the spec's and the body's lengths, known again once read
            if (count() > left()) fail(lead.at);
        const uint8_t* context_at = at_;
        ContextHead head = context_head(context_at);
        if (head.kind != context::KIND_FUNCTION || !head.on_stack) fail(context_at);
        Node context = make_context(head, context_at);
        Cell signature = blank_cell(TYPE_BLOCK);
        block::make_at(&signature, 1);
        Cell body = blank_cell(TYPE_BLOCK);
        block::make_at(&body, 1);
        Cell internal = blank_cell(TYPE_BLOCK);
        block::make_at(&internal, int32_t(function::INTERNAL_SIZE));
        block::rs_append(&internal, &body);
        for (uint32_t i = 1; i < function::INTERNAL_SIZE; i++) block::rs_append(&internal, &unset::constant);
        Cell function = function::cell(TYPE_FUNCTION, context, series_node(&signature), series_node(&internal));
        *context::owner_of(context) = function;
        uint32_t position = next_position(parent);
        put(parent, function, lead.new_line);
        bind_anchor(anchor, context, lead.at);
        signature = block_into(signature);
        if (series_index(&signature) != 0) fail(lead.at);  // the function keeps its signature's node, not a head
        body = block_into(body);
        uint32_t flags = function::validate_spec(&signature);
        if (!context_matches_spec(context, &signature)) fail(lead.at);
        *function::body(&function) = body;
        function = function::cell(TYPE_FUNCTION | flags, context, series_node(&signature), series_node(&internal));
        *context::owner_of(context) = function;
        function.header |= cells_of(parent)[position].header & CELL_NEW_LINE;
        cells_of(parent)[position] = function;
    }

    // A call lays out one cell per word of the spec: the context must hold
    // exactly those words, in that order.
    static bool context_matches_spec(Node context, const Cell* signature) {
        Node expected = context::make_from_spec(signature, true, false, context::KIND_FUNCTION);
        const Cell* have = context::cell_of(context);
        const Cell* want = context::cell_of(expected);
        uint32_t n = context::word_count(have);
        if (n != context::word_count(want)) return false;
        for (uint32_t i = 0; i < n; i++)
            if (word::symbol(context::word_at(have, i)) != word::symbol(context::word_at(want, i))) return false;
        return true;
    }

    // A native! or action! is one of the runtime's own, with its own spec:
    // the code behind it reads its arguments as that spec lays them out.
    void native_record(const Cell* parent, const Lead& lead) {
        const uint8_t* at = at_;
        uint32_t code = count();
        bool known = lead.type == TYPE_NATIVE ? code >= 1 && code <= NATIVE_LIMIT
                                              : code <= ACTION_LIMIT && action::valid_slot(code);
        if (!known) fail(at);
        Cell signature = blank_cell(TYPE_BLOCK);
        block::make_at(&signature, 1);
        signature = block_into(signature);
        Cell own = blank_cell(TYPE_BLOCK);
        if (!canonical_spec(lead.type, code, &own) ||
            block::compare_each(&signature, &own, actions::COMP_STRICT_EQUAL) != 0)
            fail(lead.at);
        Cell made = *native::push_made(lead.type, &signature, code);
        stack::pop(1);
        put(parent, made, lead.new_line);
    }

    void op_record(const Cell* parent, const Lead& lead) {
        const uint8_t* at = at_;
        uint32_t position = next_position(parent);
        record(parent);
        Cell source = cells_of(parent)[position];
        uint32_t type = cell_type(&source);
        bool wraps = type == TYPE_NATIVE || type == TYPE_ACTION || type == TYPE_FUNCTION;
        if (!wraps || (fixed_ && ((lead.header >> FIXED_OP_TYPE_SHIFT) & FIXED_TYPE_MASK) != type)) fail(at);
        Cell made;
        op::make_from(&made, &source);
        made.header = lead.new_line ? made.header | CELL_NEW_LINE : made.header & ~CELL_NEW_LINE;
        cells_of(parent)[position] = made;
    }

    static bool names_an_error(uint32_t code) {
        uint32_t category = code / 100;
        return category < catalog::CATEGORY_COUNT && code % 100 < catalog::id_count(category);
    }

    // A new error of the code, stored before its six fields are read; every
    // field keeps what it had when written (files none).
    void error_record(const Cell* parent, const Lead& lead) {
        const uint8_t* at = at_;
        uint32_t code = count();
        if (!names_an_error(code)) fail(at);
        Cell type = datatype::cell(TYPE_ERROR);
        Cell number = integer::cell(int32_t(code));
        Cell error = *actions::make(&type, &number);
        stack::pop(1);
        put(parent, error, lead.new_line);
        Cell fields = series_cell(TYPE_BLOCK, context::values_node(context::cell_of(object::context_node(&error))));
        read_in_place(&fields, ERROR_FIRST_STORED, ERROR_STORED_FIELDS);
        // An integer! stack names frames of a raise in flight: a stored
        // error has its trace captured, or none.
        if (cell_type(&cells_of(&fields)[error::FIELD_STACK]) == TYPE_INTEGER) fail(at);
        block::rs_append(&fields, &none::constant);  // files
    }
};

}  // namespace

void decode(const uint8_t* data, size_t length, const Cell* target) {
    if (length < HEADER_SIZE || length > size_t(INT32_MAX) || std::memcmp(data, MAGIC, MAGIC_SIZE) != 0)
        fire(err::script::invalid_data);
    Bytes bytes(data, data + length);
    if (bytes[FLAGS_OFFSET] & FLAG_COMPRESSED) {
        Bytes body;
        if (codecs::lz77_decompress(body, bytes.data() + HEADER_SIZE, bytes.size() - HEADER_SIZE) !=
                codecs::Lz77Result::ok ||
            body.size() > size_t(INT32_MAX) - HEADER_SIZE)
            fire(err::script::invalid_data);
        bytes.resize(HEADER_SIZE);
        bytes.insert(bytes.end(), body.begin(), body.end());
    }
    Reader reader(bytes, target);
    reader.run();
}

void decode(const Cell* binary, const Cell* target) {
    auto bytes = reinterpret_cast<const uint8_t*>(binary::rs_head(binary));
    uint32_t length = binary::rs_length(binary);
    if (length < HEADER_SIZE || std::memcmp(bytes, MAGIC, MAGIC_SIZE) != 0) fire(err::script::invalid_data, binary);
    decode(bytes, length, target);
}

}  // namespace vek::vekbin
