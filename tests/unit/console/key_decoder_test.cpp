#include <gtest/gtest.h>

#include <string>

#include "console/terminal.h"
#include "tests/unit/console/fake_terminal.h"

namespace vek {
namespace {

using console::Key;

console::Decoded decode(const std::string& bytes, bool more_may_come) {
    return console::decode_key(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                               more_may_come);
}

struct DecodeCase {
    const char* bytes;
    bool more_may_come;
    Key key;
    char32_t code;
    size_t used;  // 0: wait for more bytes
};

TEST(KeyDecoder, TurnsBytesIntoKeys) {
    const DecodeCase cases[] = {
        {"a", true, Key::text, U'a', 1},
        {"\x03", true, Key::text, 3, 1},
        {"\t", true, Key::text, 9, 1},
        {"\r", true, Key::enter, 0, 1},
        {"\r\nx", true, Key::enter, 0, 2},
        {"\n", true, Key::enter, 0, 1},
        {"\x7f", true, Key::backspace, 0, 1},
        {"\x08", true, Key::backspace, 0, 1},
        {"\x1b[A", true, Key::up, 0, 3},
        {"\x1b[B", true, Key::down, 0, 3},
        {"\x1b[C", true, Key::right, 0, 3},
        {"\x1b[D", true, Key::left, 0, 3},
        {"\x1b[1;5C", true, Key::right, 0, 6},
        {"\x1b[H", true, Key::home, 0, 3},
        {"\x1bOF", true, Key::end, 0, 3},
        {"\x1b[1~", true, Key::home, 0, 4},
        {"\x1b[4~", true, Key::end, 0, 4},
        {"\x1b[2~", true, Key::insert, 0, 4},
        {"\x1b[3~", true, Key::delete_char, 0, 4},
        {"\x1b[5~", true, Key::page_up, 0, 4},
        {"\x1b[6~", true, Key::page_down, 0, 4},
        {"\x1b[15~", true, Key::none, 0, 5},
        {"\x1b[3;7R", true, Key::none, 0, 6},
        // Unfinished: wait while more may come, else the Esc stands alone.
        {"\x1b", true, Key::escape, 0, 0},
        {"\x1b", false, Key::escape, 0, 1},
        {"\x1b[1;", true, Key::escape, 0, 0},
        {"\x1b[1;", false, Key::escape, 0, 1},
        {"\x1bO", false, Key::escape, 0, 1},
        {"\x1bx", true, Key::escape, 0, 1},
        // UTF-8, split and broken.
        {"\xc3\xa9", true, Key::text, 0xE9, 2},
        {"\xe4\xb8\xad", true, Key::text, 0x4E2D, 3},
        {"\xf0\x9f\x98\x80", true, Key::text, 0x1F600, 4},
        {"\xe4\xb8", true, Key::none, 0, 0},
        {"\xe4\xb8", false, Key::none, 0, 2},
        {"\x80", true, Key::none, 0, 1},
        {"\xc0\x80", true, Key::none, 0, 1},
        {"\xed\xa0\x80", true, Key::none, 0, 3},
        {"\xe4x", true, Key::none, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::string(c.bytes)) + (c.more_may_come ? " more" : " final"));
        console::Decoded decoded = decode(c.bytes, c.more_may_come);
        EXPECT_EQ(decoded.used, c.used);
        if (c.used == 0) continue;
        EXPECT_EQ(decoded.event.key, c.key);
        EXPECT_EQ(decoded.event.code, c.code);
    }
}

TEST(KeyDecoder, FindsCursorReports) {
    auto report = console::find_cursor_report("ab\x1b[A\x1b[12;40Rcd");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->start, 5u);
    EXPECT_EQ(report->length, 8u);
    EXPECT_EQ(report->row, 11);
    EXPECT_EQ(report->column, 39);
    for (const char* none : {"\x1b[5;R", "\x1b[;5R", "\x1b[5;6", "\x1b[0;0R", "x"})
        EXPECT_FALSE(console::find_cursor_report(none)) << testing::PrintToString(std::string(none));
}

struct ReaderFixture : testing::Test {
    test::FakeTerminal terminal;
    console::KeyReader reader{terminal};
    std::vector<Key> keys_until_hang_up() {
        std::vector<Key> keys;
        for (Key key = Key::none; key != Key::hung_up;) keys.push_back(key = reader.next().key);
        return keys;
    }
};

TEST_F(ReaderFixture, JoinsSplitSequencesAndTimesOutALoneEsc) {
    terminal.chunks = {"\x1b", "[", "A\x1b", "", "\xe4", "\xb8\xad", test::FakeTerminal::RESIZE, "\x1b[3~"};
    EXPECT_EQ(keys_until_hang_up(),
              (std::vector<Key>{Key::up, Key::escape, Key::text, Key::resized, Key::delete_char, Key::hung_up}));
}

TEST_F(ReaderFixture, CursorQueryKeepsTypeAhead) {
    terminal.answers_queries = false;
    terminal.chunks = {"ab", "\x1b[3;7Rc"};
    auto position = reader.cursor_position();
    ASSERT_TRUE(position);
    EXPECT_EQ(position->row, 2);
    EXPECT_EQ(position->column, 6);
    EXPECT_EQ(reader.next().code, U'a');
    EXPECT_EQ(reader.next().code, U'b');
    EXPECT_EQ(reader.next().code, U'c');
}

TEST_F(ReaderFixture, CursorQueryWithoutAnswerGivesNothing) {
    terminal.answers_queries = false;
    terminal.chunks = {"", "", "x"};
    EXPECT_FALSE(reader.cursor_position());
}

// The keys typed after the Enter that ended a line go to whoever reads the
// terminal next.
TEST_F(ReaderFixture, KeysReadAheadAreHandedOver) {
    terminal.chunks = {"x\ry\x1b[A"};
    EXPECT_EQ(reader.next().code, U'x');
    EXPECT_EQ(reader.next().key, Key::enter);
    EXPECT_EQ(reader.take_pending(), "y\x1b[A");
    EXPECT_EQ(reader.take_pending(), "");
}

}  // namespace
}  // namespace vek
