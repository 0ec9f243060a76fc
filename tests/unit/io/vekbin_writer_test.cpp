// The vekbin writer's bytes, checked against the format by hand: the short
// forms of numbers, shared and cyclic series written as reference paths,
// words carrying their context once, the fixed encoding's widths and
// alignment, and the values no record can hold.
#include "runtime/io/vekbin_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/core/raise.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/io/vekbin_format.h"
#include "tests/unit/support/block_builder.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/stack_fixture.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using Bytes = std::vector<uint8_t>;

// "0B 80 01" as bytes.
Bytes hex(const char* text) {
    Bytes out;
    unsigned byte = 0;
    int used = 0;
    for (const char* at = text; std::sscanf(at, "%2x%n", &byte, &used) == 1; at += used) out.push_back(uint8_t(byte));
    return out;
}

std::string hex_of(const Bytes& bytes) {
    std::string out;
    char two[4];
    for (uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%s%02X", out.empty() ? "" : " ", b);
        out += two;
    }
    return out;
}

// The records area of a compact file: what follows the header and the
// symbol table.
Bytes compact_records(const Bytes& file) {
    const uint8_t* at = file.data() + vekbin::FLAGS_OFFSET + 1;
    const uint8_t* end = file.data() + file.size();
    vekbin::get_varint(at, end);
    uint32_t size = vekbin::get_varint(at, end).value_or(0);
    if (file[vekbin::FLAGS_OFFSET] & vekbin::FLAG_SYMBOLS) {
        uint32_t symbols = vekbin::get_varint(at, end).value_or(0);
        uint32_t names = vekbin::get_varint(at, end).value_or(0);
        at += 4 * symbols + names;
    }
    EXPECT_EQ(size_t(end - at), size);
    return Bytes(at, end);
}

class VekbinWriter : public test::NativeFrameTest {
protected:
    // The file of the value of the source's last expression.
    Bytes encoded(const char* source, bool compact = true) {
        Cell code = test::load_code(source);
        const Cell* value = test::result_of(&code, source);
        return vekbin::encode_bytes(value, compact);
    }
    std::string records(const char* source) { return hex_of(compact_records(encoded(source))); }
};

TEST_F(VekbinWriter, WholeFileOfASmallInteger) {
    Cell five{TYPE_INTEGER, 0, 5, 0};
    Cell* binary = vekbin::encode(&five, true);
    const auto* first = reinterpret_cast<const uint8_t*>(binary::rs_head(binary));
    EXPECT_EQ(hex_of(Bytes(first, first + binary::rs_length(binary))),
              hex_of(hex("56 45 4B 42 49 4E 02 01 01 01 85")));
}

TEST_F(VekbinWriter, CompactScalars) {
    struct Case {
        const char* source;
        const char* records;
    } cases[] = {
        {"63", "BF"},
        {"64", "0B 80 01"},
        {"-1", "0B 01"},
        {"true", "C2"},
        {"3.0", "4C 06"},
        {"3.5", "0C 00 00 00 00 00 00 0C 40"},
        {"-0.0", "0C 00 00 00 00 00 00 00 80"},
        {"12%", "66 18"},
        {"12.5%", "26 00 00 00 00 00 00 C0 3F"},
        {"0:01:30", "6B B4 01"},
        {"#\"A\"", "0A 41"},
        {"3x-4", "25 06 07"},
        {"1.2.3", "27 01 02 03"},
        {"1.2.3.4", "67 04 01 02 03 04"},
        {"none", "03"},
        {"integer!", "01 0B"},
    };
    for (const Case& c : cases) EXPECT_EQ(records(c.source), hex_of(hex(c.records))) << c.source;
}

// Series are written from the buffer's start; a head other than 0 sets F
// and follows the lead. A series met again is a reference to the positions
// of its first occurrence.
TEST_F(VekbinWriter, SharedAndCyclicSeries) {
    struct Case {
        const char* source;
        const char* records;
    } cases[] = {
        {"b: copy [] append/only b b b", "05 01 C1 05 01 00"},
        {"s: \"abcdef\" reduce [s skip s 3]", "05 02 07 18 61 62 63 64 65 66 C1 47 03 02 00 00"},
        {"next [1 2]", "45 01 02 81 82"},
        {"b: [7] reduce [b [8] b]", "05 03 05 01 87 05 01 88 C1 05 02 00 00"},
        {"#{0102}", "29 02 01 02"},
        {"[1\n 2]", "05 02 81 C0 82"},
        {"m: make map! [a 1 b 2] remove/key m 'a m", "28 02 10 00 82"},
    };
    for (const Case& c : cases) EXPECT_EQ(records(c.source), hex_of(hex(c.records))) << c.source;
}

// Words of the global context are their symbol alone, each name stored
// once in the string table.
TEST_F(VekbinWriter, UnboundWordsShareTheSymbolTable) {
    Bytes file = encoded("[alpha b: alpha]");
    Bytes head(file.begin(), file.begin() + 8);
    EXPECT_EQ(hex_of(head), hex_of(hex("56 45 4B 42 49 4E 02 05")));
    EXPECT_EQ(hex_of(Bytes(file.begin() + 8, file.end())),
              hex_of(hex("01 08 02 08 00 00 00 00 06 00 00 00 61 6C 70 68 61 00 62 00 05 03 0F 00 10 01 0F 00")));
}

// A bound word carries its index; its context's owner follows in full the
// first time only.
TEST_F(VekbinWriter, BoundWordsWriteTheirContextOnce) {
    std::string bytes = records("f: func [a] [a a] :f");
    // The function: spec length 1, body length 2, its context (function
    // kind, values on the stack, one word), the spec, then the body whose
    // words refer back to the function at position 0.
    EXPECT_EQ(bytes, hex_of(hex("18 01 02 0E 05 01 00 05 01 0F 00 05 02 C1 4F 00 00 01 00 C1 4F 00 00 01 00")));

    std::string words = records("o: make object! [a: 1] reduce [in o 'a in o 'a]");
    EXPECT_EQ(words.substr(0, 17), hex_of(hex("05 02 4F 00 00 20")));
    EXPECT_EQ(words.substr(words.size() - 20), hex_of(hex("C1 4F 00 00 02 00 00")));

    // An object met first through a word is written in full again: a
    // reference would reach the word, which reads back as no object.
    std::string both = records("o: make object! [a: 1] reduce [in o 'a o]");
    std::string objects = both.substr(15);
    size_t half = objects.size() / 2;
    EXPECT_EQ(objects.substr(0, 3), "20 ");
    EXPECT_EQ(objects.substr(0, half), objects.substr(half + 1)) << both;
}

TEST_F(VekbinWriter, LeadBytesOfObjectsAndCallables) {
    struct Case {
        const char* source;
        uint8_t lead;
    } cases[] = {
        {"make object! [a: 1]", 0x20},
        {"make object! [on-change*: func [w o n] []]", 0x60},
        {":print", 0x15},
        {":+", 0x17},
        {"try [1 / 0]", 0x22},
    };
    for (const Case& c : cases) EXPECT_EQ(compact_records(encoded(c.source)).at(0), c.lead) << c.source;
}

// The code and the fields arg1 to stack; the frame position that a caught
// error's stack field still holds is written as none.
TEST_F(VekbinWriter, ErrorFields) {
    EXPECT_EQ(records("try [1 / 0]"), hex_of(hex("22 90 03 03 03 03 05 03 81 0F 00 80 0F 00 03")));
}

// Fixed encoding: whole words, strings padded to 4 bytes, a float aligned on
// 8 bytes of the records area and written high half first.
TEST_F(VekbinWriter, FixedEncoding) {
    Bytes file = encoded("[5 \"ab\" 1.5]", false);
    EXPECT_EQ(hex_of(file), hex_of(hex("56 45 4B 42 49 4E 02 00 01 00 00 00 34 00 00 00"
                                       " 05 00 00 00 00 00 00 00 03 00 00 00"
                                       " 0B 00 00 00 05 00 00 00"
                                       " 07 01 00 00 00 00 00 00 02 00 00 00 61 62 00 00"
                                       " 00 00 00 00 0C 00 00 00 00 00 F8 3F 00 00 00 00")));

    // A function: its context's kind and stack bits in the header, the
    // spec's global word marked by bit 25, the body's words as references.
    file = encoded("f: func [a] [a a] :f", false);
    EXPECT_EQ(hex_of(file), hex_of(hex("56 45 4B 42 49 4E 02 04 01 00 00 00 6C 00 00 00"
                                       " 01 00 00 00 08 00 00 00 00 00 00 00 61 00 00 00 00 00 00 00"
                                       " 18 00 00 00 01 00 00 00 02 00 00 00"
                                       " 0E 00 00 24 01 00 00 00 00 00 00 00"
                                       " 05 00 00 00 00 00 00 00 01 00 00 00 0F 00 00 02 00 00 00 00 FF FF FF FF"
                                       " 05 00 00 00 00 00 00 00 02 00 00 00"
                                       " 0F 00 08 00 00 00 00 00 00 00 00 00 FF 00 00 00 01 00 00 00 00 00 00 00"
                                       " 0F 00 08 00 00 00 00 00 00 00 00 00 FF 00 00 00 01 00 00 00 00 00 00 00")));
}

TEST_F(VekbinWriter, RefusesWhatNoRecordHolds) {
    const Cell cases[] = {
        {TYPE_TRIPLE, 1, 2, 3},
        {TYPE_HANDLE, 0, 1, 0},
        {TYPE_EVENT, 0, 0, 0},
        {TYPE_CONTEXT, 0, 0, 0},
        {TYPE_ROUTINE, 0, 0, 0},
        {TYPE_OP | TYPE_ROUTINE << 16, 0, 0, 0},
    };
    for (const Cell& value : cases) {
        Cell inside = test::block_of({Cell{TYPE_INTEGER, 0, 1, 0}, value});
        for (bool compact : {true, false}) {
            Cell error;
            EXPECT_EQ(test::raised([&] { vekbin::encode_bytes(&inside, compact); }, &error),
                      error_code(err::access::no_codec))
                << cell_type(&value);
            EXPECT_EQ(cell_type(error::field(&error, error::FIELD_ARG1)), cell_type(&value));
        }
    }
}

// DEPTH_LIMIT blocks nested in one another are written; one more is refused.
TEST_F(VekbinWriter, DeepNestingIsRefused) {
    Cell deep = test::nested_block(vekbin::DEPTH_LIMIT);
    EXPECT_EQ(test::raised([&] { vekbin::encode_bytes(&deep, true); }), error_code(err::internal::too_deep));
    Cell fits = test::nested_block(vekbin::DEPTH_LIMIT - 1);
    EXPECT_EQ(test::raised([&] { vekbin::encode_bytes(&fits, true); }), 0u);
}

}  // namespace
}  // namespace vek
