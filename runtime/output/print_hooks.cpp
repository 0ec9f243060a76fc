#include "runtime/output/print_hooks.h"

#include <cstring>

#include "runtime/core/sockets.h"
#include "runtime/memory/malloc_list.h"
#include "runtime/memory/series.h"
#include "runtime/output/stdout_writer.h"

namespace vek {
namespace print_hooks {

CallbackList<PrintHook> print_list;
CallbackList<WriteObserver> observer_list;

namespace {

template <class Callback>
void make(CallbackList<Callback>& list) {
    list.items = static_cast<Callback*>(malloc_list::alloc(GROWTH * sizeof(Callback)));
    list.count = 0;
    list.capacity = GROWTH;
}

template <class Callback>
void append(CallbackList<Callback>& list, Callback callback) {
    if (list.count == list.capacity) {
        auto grown = static_cast<Callback*>(malloc_list::alloc((list.capacity + GROWTH) * sizeof(Callback)));
        std::memcpy(grown, list.items, list.count * sizeof(Callback));
        malloc_list::free(list.items);
        list.items = grown;
        list.capacity += GROWTH;
    }
    list.items[list.count++] = callback;
}

template <class Callback>
void drop_first(CallbackList<Callback>& list, Callback callback) {
    for (uint32_t i = 0; i < list.count; i++) {
        if (list.items[i] != callback) continue;
        std::memmove(list.items + i, list.items + i + 1, (list.count - i - 1) * sizeof(Callback));
        list.count--;
        return;
    }
}

}  // namespace

void init() {
    make(print_list);
    make(observer_list);
    append(print_list, PrintHook(console));
}

void add(PrintHook hook, WriteObserver observer) {
    if (hook) append(print_list, hook);
    if (observer) append(observer_list, observer);
}

void remove(PrintHook hook, WriteObserver observer) {
    if (hook) drop_first(print_list, hook);
    if (observer) drop_first(observer_list, observer);
}

// A hook may add or remove hooks while it runs, so the list is re-read at
// every step.
void call_all(const Cell* string, bool new_line) {
    for (uint32_t i = 0; i < print_list.count; i++) print_list.items[i](string, new_line);
}

void notify_write(const char* text, uint32_t length, int32_t result) {
    for (uint32_t i = 0; i < observer_list.count; i++) observer_list.items[i](text, length, result);
}

void console(const Cell* string, bool new_line) {
    sockets::before_print();
    SeriesBuffer* buffer = series_buffer(string);
    uint32_t unit = buffer->unit();
    // A head past the tail (the string was shortened through another value)
    // prints nothing.
    const std::byte* head = buffer->at(series_index(string));
    const std::byte* tail = buffer->last();
    uint32_t byte_length = head < tail ? uint32_t(tail - head) : 0;
    switch (unit) {
        case 1:
        case 2:
        case 4: output::write(head, byte_length, unit, new_line); break;
        default:
            output::print_cstring("Error: unknown string encoding: ");
            output::print_integer(int32_t(unit));
            output::print_cstring("\n");
    }
    output::flush();
    sockets::after_print();
}

}  // namespace print_hooks

namespace {

bool ends_in_separator(const TypedItem& item) {
    auto separator = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
    if (item.type == TypedItem::CHARACTER) return separator(char(item.low));
    if (item.type != TypedItem::TEXT) return false;
    const char* text = item.text();
    size_t length = std::strlen(text);
    return length > 0 && separator(text[length - 1]);
}

void print_item(const TypedItem& item) {
    switch (item.type) {
        case TypedItem::LOGIC: output::print_cstring(item.low ? "true" : "false"); break;
        case TypedItem::INTEGER: output::print_integer(int32_t(item.low)); break;
        case TypedItem::CHARACTER: print_char(char(item.low)); break;
        case TypedItem::FLOAT32: output::print_float32(std::bit_cast<float>(item.low)); break;
        case TypedItem::FLOAT64: output::print_float(item.float64()); break;
        case TypedItem::TEXT: output::print_cstring(item.text()); break;
        default: output::print_hex(item.low);
    }
}

}  // namespace

void print_typed_list(std::span<const TypedItem> items, bool spacing) {
    sockets::before_print();
    for (size_t i = 0; i < items.size(); i++) {
        if (spacing && i > 0 && !ends_in_separator(items[i - 1])) print_char(' ');
        print_item(items[i]);
    }
    output::flush();
    sockets::after_print();
}

void print_typed(std::span<const TypedItem> items) { print_typed_list(items, false); }

void print_line(std::span<const TypedItem> items) {
    print_typed(items);
    print_char('\n');
}

void print_char(char byte) {
    const char text[2] = {byte, '\0'};
    output::print_cstring(text);
}

}  // namespace vek
