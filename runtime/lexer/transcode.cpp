#include "runtime/lexer/transcode.h"

#include <cstring>

#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/datatype.h"
#include "runtime/datatypes/none.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/series/ranges.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/malloc_list.h"

namespace vek::lexer {

namespace {

// The units from the source's index to its tail; an index past the tail is
// first pulled back to it.
uint32_t units_left(Cell* source) {
    uint32_t length = series_buffer(source)->length();
    if (series_index(source) > length) set_series_index(source, length);
    return length - series_index(source);
}

// /part: a count, or a position in the source's own series.
uint32_t part_length(const Cell* source, const Cell* limit, uint32_t available) {
    if (cell_type(limit) != TYPE_INTEGER && cell_type(limit) != cell_type(source)) fire(err::script::not_same_type);
    int64_t n = series::part_count(source, limit);
    if (n < 0) return 0;
    return n < int64_t(available) ? uint32_t(n) : available;
}

bool starts_with_bom(const uint8_t* p, uint32_t length) {
    return length >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF;
}

// /prescan runs only the delimiters; /scan checks the tokens; else values
// are loaded.
lexer::Mode scan_mode(const TranscodeRefinements& r) {
    if (r.prescan >= 0) return lexer::Mode::prescan;
    return r.scan >= 0 ? lexer::Mode::scan : lexer::Mode::load;
}

// The bytes scanned, the caller's or a copy of them, released with the scan.
class ScannedBytes {
public:
    ScannedBytes(const uint8_t* bytes, uint32_t length, bool copy)
        : own_(copy ? static_cast<uint8_t*>(malloc_list::alloc(length + 1)) : nullptr) {
        if (own_) std::memcpy(own_, bytes, length);
        bytes_ = own_ ? own_ : bytes;
    }
    ~ScannedBytes() {
        if (own_) malloc_list::free(own_);
    }
    ScannedBytes(const ScannedBytes&) = delete;
    ScannedBytes& operator=(const ScannedBytes&) = delete;
    const uint8_t* bytes() const { return bytes_; }

private:
    uint8_t* own_;
    const uint8_t* bytes_;
};

const Cell* tracer_of(const TranscodeRefinements& r) {
    if (r.trace < 0) return nullptr;
    const Cell* tracer = stack::arguments + r.trace;
    if (cell_type(tracer) != TYPE_FUNCTION) fire(err::script::invalid_arg, tracer);
    return tracer;
}

}  // namespace

void transcode(const TranscodeRefinements& r) {
    Cell* args = stack::arguments;
    Cell source = args[0];
    uint32_t length = units_left(&source);
    if (r.part >= 0) length = part_length(&source, args + r.part, length);
    Cell tracer{};
    if (const Cell* given = tracer_of(r)) tracer = *given;
    bool traced = r.trace >= 0;
    lexer::ScanOptions options{.mode = scan_mode(r), .one = r.next >= 0 || r.one >= 0 || r.scan >= 0,
                               .tracer = traced ? &tracer : nullptr};
    bool classify = r.prescan >= 0 || r.scan >= 0;
    const Cell* into_block = r.into >= 0 ? args + r.into : nullptr;

    Cell value = blank_cell(TYPE_UNSET);
    uint32_t consumed = 0;
    uint32_t type;
    if (cell_type(&source) == TYPE_BINARY) {
        auto bytes = reinterpret_cast<const uint8_t*>(series_buffer(&source)->at(series_index(&source)));
        if (starts_with_bom(bytes, length)) {
            bytes += 3;
            length -= 3;
            set_series_index(&source, series_index(&source) + 3);
        }
        ScannedBytes scanned(bytes, length, traced);
        type = lexer::scan(&value, scanned.bytes(), length, options, &consumed, &source, into_block);
    } else {
        type = lexer::scan_string(&value, &source, int32_t(length), options, &consumed, into_block);
    }
    if (classify) {
        if (length == 0 || type == 0) value = none::constant;
        else value = datatype::cell(type);
    }

    Cell result = value;
    if (into_block) {
        result = *into_block;
    } else if (r.next >= 0 && !(r.one >= 0 && r.scan < 0)) {
        Cell rest = source;
        set_series_index(&rest, series_index(&rest) + consumed);
        block::make_at(&result, 2);
        block::rs_append(&result, &value);
        block::rs_append(&result, &rest);
    }
    stack::set_last(&result);
}

}  // namespace vek::lexer
