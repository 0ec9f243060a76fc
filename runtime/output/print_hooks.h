// Two small output facilities above the console writer.
//
// The output hooks: print and prin hand a string value to every registered
// print hook (the console by default), and every low-level console write is
// reported to the registered write observers.
//
// Typed print: runtime code prints fixed messages made of typed items (text,
// numbers, characters, logic values) without creating any value.
#pragma once

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "runtime/core/cell.h"

namespace vek {
namespace print_hooks {

using PrintHook = void (*)(const Cell* string, bool new_line);
// result: 1 when the bytes were written, 0 when the write failed.
using WriteObserver = void (*)(const char* text, uint32_t length, int32_t result);

// Callbacks in registration order. Storage comes from malloc_list::alloc and grows by
// GROWTH entries when full.
template <class Callback>
struct CallbackList {
    Callback* items = nullptr;
    uint32_t count = 0;
    uint32_t capacity = 0;
};
constexpr uint32_t GROWTH = 5;

extern CallbackList<PrintHook> print_list;
extern CallbackList<WriteObserver> observer_list;

// Makes both lists and registers the console as the only print hook.
void init();
// Appends each callback that is not null to its list.
void add(PrintHook hook, WriteObserver observer);
// Removes the first matching entry of each callback that is not null.
void remove(PrintHook hook, WriteObserver observer);

void call_all(const Cell* string, bool new_line);
void notify_write(const char* text, uint32_t length, int32_t result);

// The default print hook: the string from its head to its tail, with a line
// end when new_line is set.
void console(const Cell* string, bool new_line);

}  // namespace print_hooks

// One item of a typed print. A text item keeps its 64-bit address in the two
// value words.
struct TypedItem {
    enum Type : uint32_t { LOGIC = 1, INTEGER = 2, CHARACTER = 3, FLOAT32 = 4, FLOAT64 = 5, TEXT = 6, HEX = 7 };

    uint32_t type;
    uint32_t low;
    uint32_t high;

    TypedItem(bool value) : type(LOGIC), low(value), high(0) {}
    TypedItem(int32_t value) : type(INTEGER), low(uint32_t(value)), high(0) {}
    TypedItem(char value) : type(CHARACTER), low(uint8_t(value)), high(0) {}
    TypedItem(double value) : type(FLOAT64), low(uint32_t(std::bit_cast<uint64_t>(value))),
                              high(uint32_t(std::bit_cast<uint64_t>(value) >> 32)) {}
    TypedItem(const char* text) : type(TEXT), low(uint32_t(uintptr_t(text))), high(uint32_t(uint64_t(uintptr_t(text)) >> 32)) {}
    static TypedItem float32(float value) { return TypedItem(FLOAT32, std::bit_cast<uint32_t>(value), 0); }
    // Printed as eight upper-case hexadecimal digits.
    static TypedItem hex(uint32_t value) { return TypedItem(HEX, value, 0); }

    const char* text() const { return reinterpret_cast<const char*>(uintptr_t(uint64_t(low) | (uint64_t(high) << 32))); }
    double float64() const { return std::bit_cast<double>(uint64_t(low) | (uint64_t(high) << 32)); }

private:
    TypedItem(uint32_t t, uint32_t l, uint32_t h) : type(t), low(l), high(h) {}
};

// Prints the items in order. With spacing, a space separates two items unless
// the earlier one is a character, or a text whose last character, that is a
// space, line feed, carriage return or tab.
void print_typed_list(std::span<const TypedItem> items, bool spacing);
void print_typed(std::span<const TypedItem> items);
void print_line(std::span<const TypedItem> items);  // then a line feed
inline void print_typed(std::initializer_list<TypedItem> items) {
    print_typed(std::span<const TypedItem>(items.begin(), items.size()));
}
inline void print_line(std::initializer_list<TypedItem> items) {
    print_line(std::span<const TypedItem>(items.begin(), items.size()));
}
// One byte, as a one-character text.
void print_char(char byte);

}  // namespace vek
