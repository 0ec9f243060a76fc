#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/core/sockets.h"
#include "runtime/memory/manager.h"
#include "runtime/memory/series.h"
#include "runtime/output/print_hooks.h"
#include "runtime/output/stdout_writer.h"

namespace vek {
namespace {

template <class F>
std::string captured(F&& print) {
    testing::internal::CaptureStdout();
    print();
    return testing::internal::GetCapturedStdout();
}

// Code points laid out as units of the given width.
std::vector<std::byte> units(const std::vector<uint32_t>& code_points, uint32_t unit) {
    std::vector<std::byte> bytes(code_points.size() * unit);
    for (size_t i = 0; i < code_points.size(); i++) {
        uint8_t u1 = uint8_t(code_points[i]);
        uint16_t u2 = uint16_t(code_points[i]);
        const void* source = unit == 1 ? static_cast<const void*>(&u1)
                           : unit == 2 ? static_cast<const void*>(&u2)
                                       : static_cast<const void*>(&code_points[i]);
        std::memcpy(bytes.data() + i * unit, source, unit);
    }
    return bytes;
}

std::string written(const std::vector<uint32_t>& code_points, uint32_t unit, bool newline = false) {
    auto bytes = units(code_points, unit);
    return captured([&] { output::write(bytes.data(), uint32_t(bytes.size()), unit, newline); });
}

TEST(ConsoleWrite, EncodesEveryUnitWidthAsUtf8) {
    struct Case { uint32_t unit; std::vector<uint32_t> text; std::string utf8; };
    const Case cases[] = {
        {1, {'a', 0xE9}, "a\xC3\xA9"},
        {2, {0x20AC, 'x'}, "\xE2\x82\xAC" "x"},
        {2, {0xD800}, "\xEF\xBF\xBD"},  // a lone surrogate
        {4, {0x1F600}, "\xF0\x9F\x98\x80"},
        {4, {0x10FFFF}, "\xF4\x8F\xBF\xBF"},
        {4, {0x110000, 0xDFFF}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {1, {0x1B, '[', '3', '1', 'm', 'X'}, "\x1B[31mX"},  // escapes pass through
    };
    for (const Case& c : cases) EXPECT_EQ(written(c.text, c.unit), c.utf8) << "unit " << c.unit;
}

TEST(ConsoleWrite, LineEndIsLfAlone) {
    EXPECT_EQ(written({'o', 'k'}, 2, true), "ok\n");
    EXPECT_EQ(written({}, 1, true), "\n");
}

TEST(ConsoleWrite, TextLongerThanTheBufferArrivesIntact) {
    // Three- and four-byte sequences do not divide the 1,024-byte buffer, so
    // a sequence straddles each boundary.
    for (auto [code_point, utf8] : {std::pair<uint32_t, std::string>{0x20AC, "\xE2\x82\xAC"},
                                    {0x1F600, "\xF0\x9F\x98\x80"}}) {
        std::vector<uint32_t> text(1000, code_point);
        std::string expected;
        for (size_t i = 0; i < text.size(); i++) expected += utf8;
        EXPECT_EQ(written(text, 4, true), expected + "\n");
    }
}

TEST(ConsoleWrite, PartialTrailingUnitIsIgnored) {
    const uint8_t text[] = {'a', 0, 'b'};
    EXPECT_EQ(captured([&] { output::write(text, 3, 2, false); }), "a");
}

TEST(ConsoleWriteDeathTest, UnknownUnitQuitsWith101) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(output::write("abc", 3, 3, false), testing::ExitedWithCode(101), "");
}

TEST(ConsolePrint, NumberFormats) {
    struct Case { void (*print)(); std::string text; };
    const Case cases[] = {
        {[] { output::print_integer(-42); }, "-42"},
        {[] { output::print_integer(INT32_MIN); }, "-2147483648"},
        {[] { output::print_hex_byte(0x0A); }, "0A"},
        {[] { output::print_hex(0xBEEF); }, "0000BEEF"},
        {[] { output::print_hex(0xFFFFFFFF); }, "FFFFFFFF"},
        {[] { output::print_float(0.1); }, "0.1"},
        {[] { output::print_float(1.0 / 3); }, "0.3333333333333333"},
        {[] { output::print_float(100.0); }, "100"},
        {[] { output::print_float(1e21); }, "1e+21"},
        {[] { output::print_float(-2.5e-7); }, "-2.5e-07"},
        {[] { output::print_float32(0.1f); }, "0.1"},
        {[] { output::print_float32(3.14159265f); }, "3.141593"},
        {[] { output::print_cstring("as is\r\n\x1B"); }, "as is\r\n\x1B"},
    };
    for (const Case& c : cases) EXPECT_EQ(captured(c.print), c.text);
}

std::string observed;
void observe(const char* text, uint32_t length, int32_t result) {
    observed += std::string(text, length) + "/" + std::to_string(result) + ";";
}

TEST(WriteObservers, SeeEveryByteAndNumberWrite) {
    observed.clear();
    print_hooks::add(nullptr, observe);
    captured([] {
        output::print_cstring("n=");
        output::print_integer(7);
        output::print_hex_byte(0xFF);
    });
    print_hooks::remove(nullptr, observe);
    EXPECT_EQ(observed, "n=/1;7/1;FF/1;");
}

// A string value over a fresh buffer holding the code points from index 0,
// with the head at the given index.
Cell string_value(const std::vector<uint32_t>& code_points, uint32_t unit, uint32_t head) {
    auto bytes = units(code_points, unit);
    Node node = memory::alloc_units(uint32_t(code_points.size()), unit);
    SeriesBuffer* buffer = node_buffer(node);
    std::memcpy(buffer->first(), bytes.data(), bytes.size());
    buffer->tail = buffer->offset + uint32_t(bytes.size());
    return Cell{TYPE_STRING, head, uint32_t(node), 0};
}

TEST(PrintHooks, ConsolePrintsFromTheHeadInTheStringsUnit) {
    struct Case { uint32_t unit; std::vector<uint32_t> text; bool new_line; std::string out; };
    const Case cases[] = {
        {1, {'x', 'h', 0xE9}, false, "h\xC3\xA9"},
        {2, {'x', 0x20AC, 'y'}, true, "\xE2\x82\xAC" "y\n"},
        {4, {'x', 0x1F600}, true, "\xF0\x9F\x98\x80\n"},
        {1, {'x'}, true, "\n"},  // head at the tail
    };
    for (const Case& c : cases) {
        Cell value = string_value(c.text, c.unit, 1);
        EXPECT_EQ(captured([&] { print_hooks::console(&value, c.new_line); }), c.out) << "unit " << c.unit;
    }
}

TEST(PrintHooks, UnknownUnitIsReported) {
    Cell value = string_value({'a', 'b', 'c'}, 1, 0);
    SeriesBuffer* buffer = series_buffer(&value);
    buffer->flags = (buffer->flags & ~BUF_UNIT_MASK) | 3;
    EXPECT_EQ(captured([&] { print_hooks::console(&value, true); }), "Error: unknown string encoding: 3\n");
}

const Cell* seen_value;
bool seen_flag;
void marking_hook(const Cell* value, bool new_line) {
    seen_value = value;
    seen_flag = new_line;
    output::print_cstring("[hook]");
}

TEST(PrintHooks, LaterHooksRunAfterTheConsoleWithTheSameArguments) {
    Cell value = string_value({'h', 'i'}, 1, 0);
    print_hooks::add(marking_hook, nullptr);
    std::string out = captured([&] { print_hooks::call_all(&value, true); });
    print_hooks::remove(marking_hook, nullptr);
    EXPECT_EQ(out, "hi\n[hook]");
    EXPECT_EQ(seen_value, &value);
    EXPECT_TRUE(seen_flag);
}

void hook_a(const Cell*, bool) {}
void hook_b(const Cell*, bool) {}

TEST(PrintHooks, ListGrowsByFiveAndRemovalTakesTheFirstMatch) {
    const auto& list = print_hooks::print_list;
    ASSERT_EQ(list.count, 1u);  // the console
    // Starts at 5, so on a first run the sixth hook is the one that grows it.
    const uint32_t full = list.capacity;
    while (list.count < full) print_hooks::add(hook_a, nullptr);
    EXPECT_EQ(list.capacity, full);
    print_hooks::add(hook_b, nullptr);
    EXPECT_EQ(list.count, full + 1);
    EXPECT_EQ(list.capacity, full + 5);
    EXPECT_EQ(list.items[0], print_hooks::PrintHook(print_hooks::console));
    EXPECT_EQ(list.items[full], print_hooks::PrintHook(hook_b));

    print_hooks::add(hook_a, nullptr);
    print_hooks::add(hook_b, nullptr);  // console a ... a b a b
    print_hooks::remove(hook_b, nullptr);
    EXPECT_EQ(list.count, full + 2);
    EXPECT_EQ(list.items[full], print_hooks::PrintHook(hook_a));
    EXPECT_EQ(list.items[full + 1], print_hooks::PrintHook(hook_b));
    print_hooks::remove(hook_b, nullptr);
    while (list.count > 1) print_hooks::remove(hook_a, nullptr);
    EXPECT_EQ(list.items[0], print_hooks::PrintHook(print_hooks::console));
}

TEST(TypedPrint, ItemsAndSpacing) {
    struct Case { std::vector<TypedItem> items; bool spacing; std::string out; };
    const Case cases[] = {
        {{"total: ", 5}, true, "total: 5"},
        {{"a", 5, 'c'}, true, "a 5 c"},
        {{"tab\t", "nl\n", "cr\r", ' ', 'x', -3}, true, "tab\tnl\ncr\r x -3"},
        {{true, false}, true, "true false"},
        {{TypedItem::hex(0xAB), 1.5, TypedItem::float32(0.25f)}, true, "000000AB 1.5 0.25"},
        {{"a", 5, 'c'}, false, "a5c"},
        {{"", 1}, true, " 1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(captured([&] { print_typed_list(c.items, c.spacing); }), c.out);
    EXPECT_EQ(captured([] { print_line({"x=", 1}); }), "x=1\n");
    EXPECT_EQ(captured([] { print_char('Z'); }), "Z");
}

int before_calls, after_calls;
TEST(TypedPrint, TextUiHooksSurroundTheOutput) {
    sockets::OutputFn saved_before = sockets::before_print, saved_after = sockets::after_print;
    before_calls = after_calls = 0;
    sockets::before_print = [] { before_calls++; };
    sockets::after_print = [] { after_calls++; };
    Cell value = string_value({'a'}, 1, 0);
    captured([&] {
        print_typed({"a"});
        print_hooks::console(&value, false);
    });
    sockets::before_print = saved_before;
    sockets::after_print = saved_after;
    EXPECT_EQ(before_calls, 2);
    EXPECT_EQ(after_calls, 2);
}

}  // namespace
}  // namespace vek
