#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "view/backends/terminal/input.h"

namespace vek {
namespace {

using namespace view::backends::terminal;

// An event as a short text, so that a table can spell what it expects:
// "k:97" a key, "k:-20/1" a key with flags, "down@4,2" a mouse event with
// its position, "over@1,0/2000000" with its flags in hexadecimal,
// "wheel+1@0,0".
std::string describe(const InputEvent& event) {
    char text[80];
    if (event.type == EVENT_KEY) {
        if (event.flags == 0) std::snprintf(text, sizeof text, "k:%d", event.key);
        else std::snprintf(text, sizeof text, "k:%d/%x", event.key, event.flags);
        return text;
    }
    const char* names[] = {"",   "down", "up", "mid-down", "mid-up", "alt-down", "alt-up",
                           "",   "",     "",   "",         "wheel",  "over"};
    std::string name = names[event.type];
    if (event.type == EVENT_WHEEL) name += event.wheel > 0 ? "+1" : "-1";
    if (event.flags == 0) std::snprintf(text, sizeof text, "%s@%g,%g", name.c_str(), event.x, event.y);
    else std::snprintf(text, sizeof text, "%s@%g,%g/%x", name.c_str(), event.x, event.y, event.flags);
    return text;
}

// Parses each read in turn (one parse per read, as the event loop does
// once per tick) and joins the events with spaces.
std::string parse_reads(const std::vector<std::string>& reads, int32_t* first_row = nullptr) {
    InputParser parser;
    int32_t row = first_row ? *first_row : 0;
    std::string seen;
    for (const std::string& read : reads) {
        parser.feed(read);
        std::vector<InputEvent> events;
        parser.parse(events, row);
        for (const InputEvent& event : events) seen += (seen.empty() ? "" : " ") + describe(event);
    }
    if (first_row) *first_row = row;
    return seen;
}

struct Case {
    std::vector<std::string> reads;
    const char* events;
};

TEST(TerminalInput, DecodesKeysSequencesAndMouseReports) {
    const Case cases[] = {
        // Characters and control keys.
        {{"a\xc3\xa9\xe4\xb8\xad\xf0\x9f\x98\x80"}, "k:97 k:233 k:20013 k:128512"},
        {{"\t\r\n\b\x7f\x03"}, "k:9 k:13 k:13 k:127 k:127 k:3"},
        {{std::string("a\0b", 3)}, "k:97 k:98"},
        // The key table; modifier parameters after the first are not looked at.
        {{"\x1b[A\x1b[B\x1b[C\x1b[D\x1b[F\x1b[H"}, "k:-20/1 k:-21/1 k:-22/1 k:-23/1 k:-24/1 k:-25/1"},
        {{"\x1b[3~\x1b[5~\x1b[6~\x1b[3;5~"}, "k:-27/1 k:-28/1 k:-29/1 k:-27/1"},
        {{"\x1bOP\x1bOQ\x1bOR\x1bOS"}, "k:-31/1 k:-32/1 k:-33/1 k:-34/1"},
        {{"\x1b[15~\x1b[17~\x1b[18~\x1b[19~\x1b[20~\x1b[21~\x1b[23~\x1b[24~\x1b[15;2~"},
         "k:-35/1 k:-36/1 k:-37/1 k:-38/1 k:-39/1 k:-40/1 k:-41/1 k:-42/1 k:-35/1"},
        {{"\x1b[Z"}, "k:9/20000000"},
        // Sequences that give nothing: insert, F1-F4 in their CSI forms, a
        // modified cursor key, an unknown final byte, SS3 with another letter.
        {{"\x1b[2~\x1b[1~\x1b[4~\x1b[11~\x1b[1;5A\x1b[?1;2c\x1bOAx"}, "k:120"},
        // A lone Esc, and one that ends a longer read: it waits for the next.
        {{"\x1b"}, "k:27"},
        {{"a\x1b", ""}, "k:97 k:27"},
        {{"a\x1b", "[A"}, "k:97 k:-20/1"},
        // A sequence or a character split across two reads.
        {{"\x1b[1", "5~"}, "k:-35/1"},
        {{"\x1b[<0;5", ";3M"}, "down@4,2"},
        {{"\xe4\xb8", "\xad"}, "k:20013"},
        // SGR mouse reports: press and release, a move with the button held,
        // a second button pressed while one is held, a move without a button,
        // the wheel, modifiers; "M", "m" with another count give nothing.
        {{"\x1b[<0;5;3M\x1b[<32;6;3M\x1b[<0;6;3m"}, "down@4,2 over@5,2/2000000 up@5,2"},
        {{"\x1b[<2;1;1M\x1b[<2;1;1m\x1b[<1;1;1M\x1b[<1;1;1m"}, "alt-down@0,0 alt-up@0,0 mid-down@0,0 mid-up@0,0"},
        {{"\x1b[<0;1;1M\x1b[<2;1;1M"}, "down@0,0 over@0,0/2000000"},
        {{"\x1b[<35;10;4M"}, "over@9,3"},
        {{"\x1b[<64;1;1M\x1b[<65;1;1M\x1b[<66;1;1M"}, "wheel+1@0,0 wheel-1@0,0"},
        {{"\x1b[<4;1;1M\x1b[<8;1;1m\x1b[<16;1;1M"}, "down@0,0/20000000 up@0,0/40000000 down@0,0/10000000"},
        {{"\x1b[<0;1M\x1b[<0;1;1;1m\x1b[5R"}, ""},
        // A byte that starts no valid UTF-8 character is the replacement
        // character, and what follows it is read.
        {{"\x80x\xc3(\xed\xa0\x80y"}, "k:65533 k:120 k:65533 k:40 k:65533 k:121"},
        // An Alt chord takes the Esc and one whole character, nothing more.
        {{"\x1bxy"}, "k:121"},
        {{"\x1b\xc3\xa9y"}, "k:121"},
        {{"\x1b\xc3", "\xa9y"}, "k:121"},
        // Esc Esc: the first means nothing, the second starts the sequence;
        // but before a cursor position report (which no key sends), even one
        // split across reads, the first is the Esc key.
        {{"\x1b\x1b[A"}, "k:-20/1"},
        {{"\x1b\x1b[5;1Rx"}, "k:27 k:120"},
        {{"\x1b\x1b[5", ";1R"}, "k:27"},
        {{"\x1b\x1b[5;1;1Rx"}, "k:120"},
        // An Esc inside a sequence breaks it off and starts the next one.
        {{"\x1b[1;\x1b[B"}, "k:-21/1"},
        // OSC ends at BEL or ESC "\", DCS at ESC "\"; one still open at the
        // end of its read is dropped with it, and later keys are read.
        {{"\x1b]0;title\x07z"}, "k:122"},
        {{"\x1b]52;c;eA==\x1b\\z"}, "k:122"},
        {{"\x1bPq#0\x07x\x1b\\z"}, "k:122"},
        {{"\x1b]", "ab"}, "k:97 k:98"},
        {{"\x1bP", "ab"}, "k:97 k:98"},
    };
    for (const Case& c : cases) {
        std::string shown;
        for (const std::string& read : c.reads) shown += testing::PrintToString(read) + " ";
        SCOPED_TRACE(shown);
        EXPECT_EQ(parse_reads(c.reads), c.events);
    }
}

TEST(TerminalInput, CursorReportsPlaceTheAreaForTheMouse) {
    int32_t first_row = 0;
    EXPECT_EQ(parse_reads({"\x1b[12;40R\x1b[<0;3;14M"}, &first_row), "down@2,2");
    EXPECT_EQ(first_row, 11);
    // Behind an Esc typed just before it, the report still places the area.
    EXPECT_EQ(parse_reads({"\x1b\x1b[3;1R\x1b[<0;3;4M"}, &first_row), "k:27 down@2,1");
    EXPECT_EQ(first_row, 2);
}

TEST(TerminalInput, GarbageThatNeverEndsIsNotHeldForEver) {
    InputParser parser;
    int32_t row = 0;
    std::vector<InputEvent> events;
    parser.feed("\x1b[");
    parser.feed(std::string(5000, '1'));
    parser.parse(events, row);
    EXPECT_FALSE(parser.incomplete());
    EXPECT_EQ(parser.pending(), 0u);
    parser.feed("\x1b[12");
    parser.parse(events, row);
    EXPECT_TRUE(parser.incomplete());
    EXPECT_EQ(parser.pending(), 4u);
    EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace vek
