#include "console/stdin_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "console/routines.h"
#include "platform/stdin.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/binary.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using console::stdin_reader::LineEnd;
using test::code_points_of;

// Standard input as a list of reads: each read answers (at most piece bytes
// of) the next chunk; an empty chunk answers 0, as a terminal's end of input
// does, and past the last chunk every read answers 0.
struct FakeInput {
    std::vector<std::string> chunks;
    size_t next = 0;      // the chunk the next read takes from
    size_t taken = 0;     // bytes of it already answered
    size_t piece = 0;     // most bytes a read answers; 0 for no limit
    uint32_t reads = 0;   // reads made so far
};

FakeInput fake;

int64_t fake_read(uint8_t* destination, size_t size) {
    fake.reads++;
    if (fake.next >= fake.chunks.size()) return 0;
    const std::string& chunk = fake.chunks[fake.next];
    size_t n = std::min(size, chunk.size() - fake.taken);
    if (fake.piece != 0) n = std::min(n, fake.piece);
    std::memcpy(destination, chunk.data() + fake.taken, n);
    fake.taken += n;
    if (fake.taken == chunk.size()) {
        fake.next++;
        fake.taken = 0;
    }
    return int64_t(n);
}

class StdinReader : public test::StackRestoringTest {
protected:
    void feed(std::vector<std::string> chunks, size_t piece = 0) {
        fake = FakeInput{.chunks = std::move(chunks), .piece = piece};
        console::stdin_reader::reset(fake_read);
    }
    void TearDown() override {
        console::stdin_reader::reset(platform::read_stdin);
        StackRestoringTest::TearDown();
    }
};

struct Line {
    std::u32string text;
    LineEnd end;
};

// The next line, read into a new string.
Line next_line() {
    Cell line = test::output_cell();
    LineEnd end = console::stdin_reader::read_line(&line);
    return {code_points_of(line), end};
}

TEST_F(StdinReader, SplitsLinesWholeAndByteByByte) {
    struct Case {
        const char* label;
        std::string input;
        std::vector<Line> lines;  // a no_input line follows them
    };
    const std::vector<Case> cases{
        {"line feeds end lines, not kept", "one\n\ntwo\n",
         {{U"one", LineEnd::line_feed}, {U"", LineEnd::line_feed}, {U"two", LineEnd::line_feed}}},
        {"a carriage return stays; a last line without line feed", "a\r\nb",
         {{U"a\r", LineEnd::line_feed}, {U"b", LineEnd::end_of_input}}},
        {"a byte-order mark skipped at the start only", "\xEF\xBB\xBFx\n\xEF\xBB\xBFy\n",
         {{U"x", LineEnd::line_feed}, {U"\uFEFFy", LineEnd::line_feed}}},
        {"a character that starts as a byte-order mark does", "\xEF\xBB\xBE\n",
         {{U"\uFEFE", LineEnd::line_feed}}},
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80!\n",
         {{U"\u00E9\u20AC\U0001F600!", LineEnd::line_feed}}},
        {"a continuation byte ends the line", "ab\x80" "cd\n",
         {{U"ab", LineEnd::stray_byte}, {U"cd", LineEnd::line_feed}}},
        {"0xF8 and above end the line", "\xF8x\n\xFF",
         {{U"", LineEnd::stray_byte}, {U"x", LineEnd::line_feed}, {U"", LineEnd::stray_byte}}},
    };
    for (const Case& c : cases) {
        for (size_t piece : {size_t(0), size_t(1)}) {
            feed({c.input}, piece);
            for (const Line& expected : c.lines) {
                Line got = next_line();
                EXPECT_EQ(got.text, expected.text) << c.label << ", piece " << piece;
                EXPECT_EQ(got.end, expected.end) << c.label << ", piece " << piece;
            }
            EXPECT_EQ(next_line().end, LineEnd::no_input) << c.label << ", piece " << piece;
        }
    }
}

TEST_F(StdinReader, MalformedSequenceRaisesAndTheNextLineReadsFine) {
    struct Case {
        const char* label;
        std::string input;
        std::u32string kept;       // what the string holds after the raise
        std::u32string sequence;   // the bytes the error carries
    };
    const std::vector<Case> cases{
        {"broken by an ASCII byte", "ok\xE2\x41zz\xFFzz\nnext\n", U"ok", {0xE2, 0x41}},
        {"broken by the line feed", "ok\xE2\x82\nnext\n", U"ok", {0xE2, 0x82}},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80\nnext\n", U"", {0xF4, 0x90, 0x80, 0x80}},
        {"cut by the end of input", "ok\xE2\x82", U"ok", {0xE2, 0x82}},
    };
    for (const Case& c : cases) {
        feed({c.input});
        Cell line = test::output_cell();
        Cell error;
        EXPECT_EQ(test::raised([&] { console::stdin_reader::read_line(&line); }, &error),
                  error_code(err::access::invalid_utf8)) << c.label;
        EXPECT_EQ(code_points_of(line), c.kept) << c.label;
        EXPECT_EQ(code_points_of(*error::field(&error, error::FIELD_ARG1)), c.sequence) << c.label;
        bool more = c.input.find("next") != std::string::npos;
        Line after = next_line();
        EXPECT_EQ(after.text, more ? U"next" : U"") << c.label;
        EXPECT_EQ(after.end, more ? LineEnd::line_feed : LineEnd::no_input) << c.label;
    }
}

// A terminal answers 0 once for Ctrl+D and then reads on: that end is
// reported once, and the next line is read from what follows.
TEST_F(StdinReader, EndOfInputIsReportedOnceAndNotReadPast) {
    feed({"", "again\n", "", "last"});
    EXPECT_EQ(next_line().end, LineEnd::no_input);
    EXPECT_EQ(next_line().text, U"again");
    EXPECT_EQ(next_line().end, LineEnd::no_input);
    Line last = next_line();
    EXPECT_EQ(last.text, U"last");
    EXPECT_EQ(last.end, LineEnd::end_of_input);
    EXPECT_EQ(fake.reads, 5u);
}

TEST_F(StdinReader, LinesAndBytesShareOneBuffer) {
    feed({"l1\nRAW\nl3\nl4\n", "BYTES", "\xEF\xBB\xBFq\n"});
    EXPECT_EQ(next_line().text, U"l1");
    uint8_t bytes[16]{};
    ASSERT_EQ(console::stdin_reader::read_bytes(bytes, 4), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 4), "RAW\n");
    EXPECT_EQ(next_line().text, U"l3");
    EXPECT_EQ(next_line().text, U"l4");
    EXPECT_EQ(fake.reads, 1u);  // one read of the source for all four
    // Nothing buffered: the source is read straight into the destination.
    ASSERT_EQ(console::stdin_reader::read_bytes(bytes, sizeof bytes), 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 5), "BYTES");
    // Past the start of the input a byte-order mark is text.
    EXPECT_EQ(next_line().text, U"\uFEFFq");
    EXPECT_EQ(console::stdin_reader::read_bytes(bytes, sizeof bytes), 0);
}

TEST_F(StdinReader, ReadStdinInsertsAtTheIndexAndGrowsTheBinary) {
    feed({"AB", std::string(5000, 'z')});
    Cell binary = test::binary_cell("\x01\x02");
    set_series_index(&binary, 1);
    Cell wanted = integer::cell(2);
    console::read_stdin_into(&binary, &wanted);
    EXPECT_EQ(code_points_of(binary), (std::u32string{1, 'A', 'B', 2}));
    // The binary grows to take a whole read, far beyond its buffer.
    binary::make_at(&binary, 1);
    wanted = integer::cell(100000);
    console::read_stdin_into(&binary, &wanted);
    EXPECT_EQ(code_points_of(binary), std::u32string(5000, 'z'));
    // The end of input and a count of 0 change nothing; a negative count raises.
    wanted = integer::cell(0);
    console::read_stdin_into(&binary, &wanted);
    wanted = integer::cell(10);
    console::read_stdin_into(&binary, &wanted);
    EXPECT_EQ(binary::rs_length(&binary), 5000u);
    wanted = integer::cell(-1);
    EXPECT_EQ(test::raised([&] { console::read_stdin_into(&binary, &wanted); }), error_code(err::script::invalid_arg));
}

}  // namespace
}  // namespace vek
