// Text read as values, on any bytes: the input, read as UTF-8, is held in a
// string! of one of the widths that hold its characters (1, 2 or 4 bytes a
// unit), and the string goes through to integer!, to float!, to money!,
// to time!, to pair! and to tuple!, dehex and decode-url (of the string and
// of it as a url!), with the library booted, as a script calls them. What
// comes back is molded. Errors are the expected answer to text that is not
// such a value.
#include <algorithm>
#include <cstring>
#include <vector>

#include "boot/library.h"
#include "runtime/actions/dispatch.h"
#include "runtime/core/stack.h"
#include "runtime/core/system.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/word/context.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/eval/evaluator.h"
#include "runtime/lexer/lexer.h"
#include "runtime/memory/series.h"
#include "tests/fuzz/target.h"
#include "tests/unit/support/support.h"

namespace vek::fuzz {
namespace {

// Numbers, times and URLs fit in far fewer characters.
constexpr size_t MAX_INPUT = 1024;
constexpr const char* TEXT_WORD = "fuzz-text";

// Each reads the text from the word above.
constexpr const char* CALLS[] = {
    "to integer! fuzz-text", "to float! fuzz-text", "to money! fuzz-text", "to time! fuzz-text",
    "to pair! fuzz-text",    "to tuple! fuzz-text", "dehex fuzz-text",     "decode-url fuzz-text",
    "decode-url to url! fuzz-text",
};

void boot_once() {
    static bool booted = false;
    if (booted) return;
    booted = true;
    boot::boot_library(boot::library_modules());
}

std::vector<uint32_t> code_points(const uint8_t* data, size_t size) {
    Cell text{};
    string::load(data, uint32_t(size), &text, string::Encoding::utf8);
    SeriesBuffer* buffer = series_buffer(&text);
    std::vector<uint32_t> points;
    for (uint32_t i = 0; i < buffer->length(); i++) points.push_back(string::get_char(buffer->at(i), buffer->unit()));
    return points;
}

// The string at the global word, in units of that width.
void set_text(const std::vector<uint32_t>& points, uint32_t unit) {
    Cell* text = string::make_at_unit(make_unset(stack::push_cell()), uint32_t(points.size()), unit);
    Node node = series_node(text);
    for (uint32_t point : points) string::append_char(node_buffer(node), point);
    context::set_global(symbol::make(TEXT_WORD), text);
    stack::pop(1);
}

void mold(const Cell* value) {
    Cell out{};
    string::rs_make_at(&out, 64);
    text::Sink sink{.buffer = &out};
    actions::mold(value, sink, false);
}

void call(const char* source) {
    Cell code{};
    lexer::scan(&code, reinterpret_cast<const uint8_t*>(source), uint32_t(std::strlen(source)), {.wrap = true},
                nullptr, nullptr, nullptr);
    // Nothing here breaks, returns or exits: no code is pending afterwards.
    static_cast<void>(eval::eval_block(&code));
    mold(stack::top - 1);
}

// The width of the units: the input's length picks it among those that
// hold its characters, so that all of them are tried over the inputs.
uint32_t unit_for(const std::vector<uint32_t>& points, size_t size) {
    uint32_t widest = points.empty() ? 0 : *std::max_element(points.begin(), points.end());
    uint32_t narrowest = widest < 0x100 ? 1 : widest < 0x10000 ? 2 : 4;
    return std::max(narrowest, 1u << (size % 3));
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    test::raised(boot_once);
    std::vector<uint32_t> points;
    if (test::raised([&] { points = code_points(data, std::min(size, MAX_INPUT)); })) return;
    if (test::raised([&] { set_text(points, unit_for(points, size)); })) return;
    for (const char* source : CALLS) test::raised([&] { call(source); });
}

}  // namespace vek::fuzz
