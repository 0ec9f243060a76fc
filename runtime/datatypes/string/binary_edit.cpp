// binary!'s own editing and bitwise actions: append and insert, change,
// trim, and~, or~, xor~ and complement. Every edit first gathers the new
// bytes (binary_bytes.cpp), then opens or closes the gap in one move and
// writes them, repeated for /dup by doubling what is already written.
#include <algorithm>
#include <cstring>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/series/actions.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/binary_edit.h"
#include "runtime/datatypes/string/edit.h"
#include "runtime/memory/manager.h"

namespace vek::binary {

namespace {

using series::Edit;

// The head pulled back to the tail when it lies beyond it.
uint32_t clamp_head(Cell* series) {
    uint32_t head = std::min(series_index(series), series_buffer(series)->length());
    set_series_index(series, head);
    return head;
}

// The bytes written for the value dup times; its size must fit the series.
uint32_t checked_total(const Cell* series, const Bytes& bytes, int32_t dup, uint32_t replaced) {
    uint64_t total = uint64_t(bytes.size()) * uint64_t(dup);
    uint64_t length = uint64_t(series_buffer(series)->length()) - replaced + total;
    if (total > UINT32_MAX || length > UINT32_MAX / 2) no_memory();
    return uint32_t(total);
}

// Replaces the replaced bytes at index at by total bytes: the bytes, repeated.
void splice(Cell* series, uint32_t at, uint32_t replaced, const Bytes& bytes, uint32_t total) {
    Node node = series_node(series);
    SeriesBuffer* buffer = memory::grow_torture(node_buffer(node));
    uint32_t length = buffer->length();
    uint32_t new_length = length - replaced + total;
    if (new_length > uint32_t(buffer->area_end() - buffer->first())) {
        uint64_t capacity = uint64_t(new_length) + uint64_t(buffer->capacity) * 2;
        if (capacity > UINT32_MAX / 2) no_memory();
        buffer = memory::expand_series(node, buffer, uint32_t(capacity));
    }
    std::byte* gap = buffer->at(at);
    std::memmove(gap + total, gap + replaced, length - at - replaced);
    if (total) {
        std::memcpy(gap, bytes.data(), bytes.size());
        for (uint32_t done = uint32_t(bytes.size()); done < total; done *= 2)
            std::memcpy(gap + done, gap, std::min(done, total - done));
    }
    buffer->tail = buffer->offset + new_length;
}

}  // namespace

// ---------------------------------------------------------------- append and insert

// append leaves the series at its head; insert answers it just past what it
// inserted.
void insert(Cell* series, Cell* value, int32_t part, bool, int32_t dup, bool append) {
    uint32_t head = clamp_head(series);
    if (dup < 1) return;
    Bytes bytes;
    value_bytes(value, part, ValueMode::insert, bytes);
    if (bytes.empty()) return;
    uint32_t total = checked_total(series, bytes, dup, 0);
    Edit edit = append ? Edit::append : Edit::insert;
    uint32_t at = append ? series_buffer(series)->length() : head;
    bool owned = series::notify_before(series, edit, value, int32_t(at), int32_t(total));
    if (owned) {
        head = clamp_head(series);
        at = append ? series_buffer(series)->length() : head;
        checked_total(series, bytes, dup, 0);
    }
    splice(series, at, 0, bytes, total);
    if (owned) series::notify_after(series, edit, value, int32_t(at), int32_t(total));
    set_series_index(series, append ? head : at + total);
}

// ---------------------------------------------------------------- change

// Without /part as many bytes are replaced as are written. The series comes
// back just past the new bytes.
void change(Cell* series, Cell* value, int32_t part, bool, int32_t dup) {
    uint32_t head = clamp_head(series);
    if (dup < 1) return;
    Bytes bytes;
    value_bytes(value, -1, ValueMode::change, bytes);
    uint32_t replaced = 0;
    auto plan = [&] {
        head = clamp_head(series);
        uint64_t wanted = part < 0 ? uint64_t(bytes.size()) * uint64_t(dup) : uint64_t(part);
        replaced = uint32_t(std::min<uint64_t>(wanted, series_buffer(series)->length() - head));
    };
    plan();
    uint32_t total = checked_total(series, bytes, dup, replaced);
    bool owned = series::notify_before(series, Edit::change, value, int32_t(head), int32_t(replaced));
    if (owned) {
        plan();
        checked_total(series, bytes, dup, replaced);
    }
    splice(series, head, replaced, bytes, total);
    if (owned) series::notify_after(series, Edit::change, value, int32_t(head), int32_t(total));
    set_series_index(series, head + total);
}

// ---------------------------------------------------------------- trim

// Keeps the bytes from the head on for which keep answers true, moved down
// to the head; the tail comes down after them.
namespace {

template <typename Keep>
void keep_bytes(Cell* series, Keep keep) {
    SeriesBuffer* buffer = series_buffer(series);
    auto* first = reinterpret_cast<uint8_t*>(buffer->first());
    uint8_t* head = first + series_index(series);
    uint8_t* end = std::remove_if(head, reinterpret_cast<uint8_t*>(buffer->last()),
                                  [&](uint8_t b) { return !keep(b); });
    buffer->tail = buffer->offset + uint32_t(end - first);
}

}  // namespace

void trim(Cell* series, const actions::TrimArgs& args) {
    if (args.auto_ || args.lines) fire(err::internal::not_done);
    uint32_t head = clamp_head(series);
    int32_t length = int32_t(series_buffer(series)->length() - head);
    bool owned = series::notify_before(series, Edit::trim, nullptr, int32_t(head), length);
    if (owned) clamp_head(series);
    if (args.with)
        string::remove_char_set(series, args.with);
    else if (args.all)
        keep_bytes(series, [](uint8_t b) { return b != 0; });
    else
        trim_zeros(series, args.head, args.tail);
    if (owned) series::notify_after(series, Edit::trim, nullptr, int32_t(head), length);
}

// ---------------------------------------------------------------- bitwise

namespace {

enum class Bitwise { and_, or_, xor_ };

// The result is as long as the longer operand: past the shorter one and~
// gives 0 bytes, or~ and xor~ the longer one's own.
Cell* combine(Cell* value1, Cell* value2, Bitwise op) {
    if (cell_type(value2) != TYPE_BINARY) fire(err::script::invalid_arg, value2);
    Bytes a, b;
    value_bytes(value1, -1, ValueMode::insert, a);
    value_bytes(value2, -1, ValueMode::insert, b);
    if (a.size() < b.size()) std::swap(a, b);
    for (size_t i = 0; i < a.size(); i++) {
        bool both = i < b.size();
        if (op == Bitwise::and_) a[i] = both ? a[i] & b[i] : 0;
        else if (both) a[i] = op == Bitwise::or_ ? a[i] | b[i] : a[i] ^ b[i];
    }
    return load_at(value1, a.data(), uint32_t(a.size()));
}

}  // namespace

Cell* and_(Cell* value1, Cell* value2) { return combine(value1, value2, Bitwise::and_); }
Cell* or_(Cell* value1, Cell* value2) { return combine(value1, value2, Bitwise::or_); }
Cell* xor_(Cell* value1, Cell* value2) { return combine(value1, value2, Bitwise::xor_); }

// In place, from the head to the tail.
Cell* complement(Cell* value) {
    auto* head = reinterpret_cast<uint8_t*>(rs_head(value));
    for (uint32_t i = 0, n = rs_length(value); i < n; i++) head[i] = uint8_t(~head[i]);
    return value;
}

void trim_zeros(Cell* series, bool head, bool tail) {
    bool at_head = !tail || head;
    bool at_tail = !head || tail;
    SeriesBuffer* buffer = series_buffer(series);
    auto* start = reinterpret_cast<uint8_t*>(rs_head(series));
    uint8_t* end = reinterpret_cast<uint8_t*>(buffer->last());
    uint8_t* from = start;
    if (at_head) while (from < end && *from == 0) from++;
    if (at_tail) while (end > from && end[-1] == 0) end--;
    std::memmove(start, from, size_t(end - from));
    buffer->tail = buffer->offset + uint32_t(start + (end - from) - reinterpret_cast<uint8_t*>(buffer->first()));
}

}  // namespace vek::binary
