#include "console/line_editor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/console/fake_terminal.h"

namespace vek {
namespace {

using console::EditEnd;
using console::EditResult;

constexpr const char* UP = "\x1b[A";
constexpr const char* DOWN = "\x1b[B";
constexpr const char* LEFT = "\x1b[D";
constexpr const char* HOME = "\x1b[H";
constexpr const char* END = "\x1b[F";

std::string utf8(std::u32string_view text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6)), out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xE0 | (c >> 12)), out += char(0x80 | ((c >> 6) & 0x3F)), out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

struct EditorFixture : testing::Test {
    test::FakeTerminal terminal;
    console::KeyReader keys{terminal};
    console::LineEditor editor{terminal, keys};
    std::vector<std::u32string> history;
    console::Completer complete;
    std::u32string prompt = U">> ";

    EditResult edit(std::initializer_list<std::string> chunks, bool hidden = false) {
        terminal.chunks.insert(terminal.chunks.end(), chunks.begin(), chunks.end());
        terminal.writes.clear();
        return editor.edit({.prompt = prompt, .hidden = hidden, .history = history, .complete = complete});
    }
    std::string all_writes() const {
        std::string all;
        for (const auto& w : terminal.writes) all += w;
        return all;
    }
};

struct KeysCase {
    std::string keys;
    std::u32string line;
    EditEnd end;
};

TEST_F(EditorFixture, EditsTheLine) {
    const KeysCase cases[] = {
        {std::string("abc") + LEFT + LEFT + "X" + HOME + "Y" + END + "\x7f\x1b[3~\r", U"YaXb", EditEnd::enter},
        {"abc\x01\x04\x05!\r", U"bc!", EditEnd::enter},
        {"abc\x02\x02\x0b\r", U"a", EditEnd::enter},
        {"abc\x02\x06\x06\x06Z\r", U"abcZ", EditEnd::enter},
        {"abc\x04\r", U"abc", EditEnd::enter},
        {std::string("\x7f") + LEFT + "\x0b\x1b[3~\x1b[2~\x1b[5~\x12\r", U"", EditEnd::enter},
        {"a\tb\r", U"a\tb", EditEnd::enter},
        {"\xc3\xa9\xe4\xb8\xad\n", U"é中", EditEnd::enter},
        {"\x04", U"", EditEnd::end_of_input},
        {"ab\x03", U"", EditEnd::interrupt},
        {"ab", U"", EditEnd::end_of_input},  // then the terminal hangs up
        {std::string("ab") + LEFT + "\x1b", U"ab\x1b", EditEnd::escape},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.keys));
        keys.reset();
        EditResult result = edit({c.keys, ""});
        EXPECT_EQ(utf8(result.line), utf8(c.line));
        EXPECT_EQ(result.end, c.end);
    }
}

TEST_F(EditorFixture, WritesOncePerChangeAndLittleForTypingAndMoves) {
    edit({"ab", LEFT, "X", "\r"});
    // Cursor at row 6 (1-based), after the prompt's 3 columns.
    EXPECT_EQ(terminal.writes, (std::vector<std::string>{
                                   "\x1b[6;1H\x1b[J>> \x1b[6;4H",
                                   "a",
                                   "b",
                                   "\x1b[6;5H",
                                   "\x1b[6;1H\x1b[J>> aXb\x1b[6;6H",
                                   "\x1b[6;1H\r\n",
                               }));
}

TEST_F(EditorFixture, WalksTheHistory) {
    history = {U"three", U"two", U"one"};
    const std::pair<std::string, std::u32string> cases[] = {
        {std::string(UP) + "\r", U"three"},
        {std::string(UP) + UP + UP + "\r", U"one"},
        {std::string(UP) + UP + UP + UP + "\r", U""},
        {std::string(UP) + UP + DOWN + "\r", U"two"},
        {std::string(UP) + UP + DOWN + DOWN + "\r", U"three"},
        {std::string(UP) + UP + DOWN + DOWN + DOWN + "\r", U""},
        {std::string(DOWN) + "\r", U""},
        {std::string(UP) + "!\r", U"three!"},
    };
    for (const auto& [typed, line] : cases) {
        SCOPED_TRACE(testing::PrintToString(typed));
        EXPECT_EQ(utf8(edit({typed}).line), utf8(line));
    }
}

TEST_F(EditorFixture, DecidesWhatGoesIntoTheHistory) {
    history = {U"three"};
    EXPECT_FALSE(edit({"three\r"}).add_to_history);
    EXPECT_TRUE(edit({"Three\r"}).add_to_history);
    EXPECT_FALSE(edit({"\r"}).add_to_history);
    EXPECT_FALSE(edit({"secret\r"}, true).add_to_history);
    EXPECT_FALSE(edit({"x\x03"}).add_to_history);
}

TEST_F(EditorFixture, HiddenInputShowsStarsAndOffersNoCompletion) {
    complete = [](const std::u32string&, size_t) -> std::vector<console::Candidate> {
        ADD_FAILURE() << "completion offered for hidden input";
        return {};
    };
    EditResult result = edit({"pw\t", LEFT, "x\r"}, true);
    EXPECT_EQ(utf8(result.line), "pwx\t");
    std::string shown = all_writes();
    EXPECT_NE(shown.find(">> "), std::string::npos);
    EXPECT_NE(shown.find("****"), std::string::npos);
    EXPECT_EQ(shown.find_first_of("pwx\t"), std::string::npos);
}

TEST_F(EditorFixture, CompletesWithTab) {
    complete = [](const std::u32string& line, size_t cursor) -> std::vector<console::Candidate> {
        if (line.substr(0, cursor) == U"pr") return {{U"print x", 5}};
        if (line == U"p") return {{U"pr", 2}, {U"print", 0}, {U"probe", 0}};
        return {};
    };
    EXPECT_EQ(utf8(edit({"pr x", LEFT, LEFT, "\t!\r"}).line), "print! x");
    // Several candidates: shown, then the next edit starts from their common text.
    EditResult shown = edit({"p\t"});
    EXPECT_EQ(shown.end, EditEnd::candidates);
    EXPECT_EQ(shown.line, U"");
    EXPECT_NE(all_writes().find(">> print probe "), std::string::npos);
    EXPECT_EQ(utf8(edit({"\x05i\r"}).line), "pri");
    // The common text is used once: after Ctrl+C it does not come back.
    edit({"p\t"});
    EXPECT_EQ(edit({"\x03"}).end, EditEnd::interrupt);
    EXPECT_EQ(edit({"z\r"}).line, U"z");
    // No candidate: the Tab is typed.
    EXPECT_EQ(utf8(edit({"zz\t\r"}).line), "zz\t");
}

// With 10 columns and the 3-column prompt, the line's 7th character is the
// last of the first row.
TEST_F(EditorFixture, WrapsWideCharactersByTheWidthTable) {
    terminal.width = 10;
    struct WrapCase {
        std::string keys;
        std::string cursor_move;  // the last write
    };
    const WrapCase cases[] = {
        // A wide character that would start in the last column goes to the next row.
        {std::string("abcdef\xe4\xb8\xad") + LEFT + "\x1b[C", "\x1b[7;3H"},
        {std::string("abcdef\xe4\xb8\xad") + LEFT, "\x1b[7;1H"},
        {std::string("abcdef\xe4\xb8\xad") + HOME + END, "\x1b[7;3H"},
        // Cyrillic and Greek letters take one column: the cursor stays on the row.
        {std::string("abcdef\xd0\xb6") + LEFT, "\x1b[6;10H"},
        {std::string("abcdef\xce\xbb") + LEFT, "\x1b[6;10H"},
        // Filling the row exactly takes the cursor to the next row.
        {std::string("abcdeg\xd0\xb6") + LEFT + END, "\x1b[7;1H"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.keys));
        keys.reset();
        edit({c.keys, ""});
        ASSERT_GE(terminal.writes.size(), 2u);
        EXPECT_EQ(terminal.writes[terminal.writes.size() - 2], c.cursor_move);
    }
}

TEST_F(EditorFixture, TypingAtTheRowsEndMovesToTheNextRowAndScrolls) {
    terminal.width = 10;
    terminal.cursor_row = 9;  // the bottom row
    edit({"abcdefg", HOME, "\r"});
    EXPECT_EQ(terminal.writes[7], "g\r\n");
    // The screen scrolled one row: the input now starts on row 9 (1-based).
    EXPECT_EQ(terminal.writes[8], "\x1b[9;4H");
}

TEST_F(EditorFixture, EscapeSequencesInThePromptTakeNoColumns) {
    prompt = U"\x1b[31m>> \x1b[0m";
    edit({"a", LEFT, "\r"});
    EXPECT_EQ(terminal.writes[0], "\x1b[6;1H\x1b[J\x1b[31m>> \x1b[0m\x1b[6;4H");
    EXPECT_EQ(terminal.writes[2], "\x1b[6;4H");
}

TEST_F(EditorFixture, RedrawsFromTheInputsStartAfterAResize) {
    terminal.width = 40;
    terminal.cursor_column = 3;
    // At 10 columns the cursor (display column 22 from the origin's row)
    // is two rows below the input's start.
    terminal.on_resize = [this] {
        terminal.width = 10;
        terminal.cursor_row = 8;
        terminal.cursor_column = 2;
    };
    edit({"abcdefghijklmnop", test::FakeTerminal::RESIZE, "\r"});
    const std::string& redraw = terminal.writes[terminal.writes.size() - 2];
    EXPECT_EQ(redraw, "\x1b[7;4H\x1b[J>> abcdefghijklmnop\x1b[9;3H");
}

}  // namespace
}  // namespace vek
