#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/codecs/lz77.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/callable/function.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/object/error.h"
#include "runtime/datatypes/object/object.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/io/vekbin_format.h"
#include "runtime/io/vekbin_reader.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace vekbin;

const uint32_t INVALID_RECORD = error_code(err::script::vb_invalid_record);

// A compact file: the header, the symbol table when there are names, the records.
Bytes compact(const Bytes& records, const std::vector<std::string>& names = {}) {
    Bytes out(MAGIC, MAGIC + MAGIC_SIZE);
    out.push_back(WRITER_VERSION);
    out.push_back(FLAG_COMPACT | (names.empty() ? 0 : FLAG_SYMBOLS));
    put_varint(out, 1);
    put_varint(out, uint32_t(records.size()));
    if (!names.empty()) {
        Bytes table;
        put_varint(out, uint32_t(names.size()));
        table.resize(4 * names.size());
        Bytes text;
        for (size_t i = 0; i < names.size(); i++) {
            uint32_t offset = uint32_t(text.size());
            for (int b = 0; b < 4; b++) table[4 * i + b] = uint8_t(offset >> (8 * b));
            text.insert(text.end(), names[i].begin(), names[i].end());
            text.push_back(0);
        }
        put_varint(out, uint32_t(text.size()));
        out.insert(out.end(), table.begin(), table.end());
        out.insert(out.end(), text.begin(), text.end());
    }
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

struct Decoded {
    Cell block;      // the target block
    uint32_t error;  // the code raised, 0 for none
    int32_t index;   // vb-invalid-record's byte index
};

Decoded decode_bytes(const Bytes& bytes) {
    Decoded d{Cell{TYPE_BLOCK, 0, 0, 0}, 0, 0};
    block::make_at(&d.block, 1);
    Cell error;
    d.error = test::raised([&] { decode(bytes.data(), bytes.size(), &d.block); }, &error);
    if (d.error == INVALID_RECORD) d.index = integer::get(error::field(&error, error::FIELD_ARG1));
    return d;
}

std::string decoded_text(const Bytes& bytes) {
    Decoded d = decode_bytes(bytes);
    return d.error ? "error " + std::to_string(d.error) : test::molded(d.block);
}

TEST(VekbinReader, CompactValues) {
    struct Row {
        Bytes records;
        std::vector<std::string> names;
        const char* molded;
    };
    const Row rows[] = {
        {{}, {}, "[]"},
        // Short integers, then 64 and -1 as zigzag varints, logic, none.
        {{0x80, 0xBF, 0x0B, 0x80, 0x01, 0x0B, 0x01, 0xC2, 0xC3, 0x03}, {}, "[0 63 64 -1 true false none]"},
        // A string at head 2 holds its whole content; a 2-byte-unit string.
        {{0x47, 0x02, 0x0C, 'a', 'b', 'c', 0x07, 0x09, 0xE9, 0x00, 0x62, 0x00}, {}, R"(["c" "éb"])"},
        // A block holding a paren and a new-line value; a path.
        {{0x05, 0x02, 0x06, 0x01, 0x81, 0xC0, 0x82, 0x19, 0x02, 0x0F, 0x00, 0x0F, 0x01}, {"a", "b"},
         "[[(1)\n2] a/b]"},
        // Words of every kind, an issue, a datatype, a char, a pair, a tuple.
        {{0x10, 0x00, 0x11, 0x00, 0x12, 0x00, 0x13, 0x00, 0x14, 0x00, 0x01, 0x07, 0x0A, 0x41, 0x25, 0x02, 0x03,
          0x27, 1, 2, 3},
         {"x"}, "[x: 'x :x /x #x string! #\"A\" 1x-2 1.2.3]"},
        // A float in its short form and in its two halves (1.5), a percent.
        {{0x4C, 0x04, 0x0C, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0x66, 0x64}, {}, "[2.0 1.5 50%]"},
        // A binary!, a bitset! complemented, a vector! of 2-byte integers.
        {{0x29, 0x02, 0xAB, 0xCD, 0x5E, 0x01, 0x80, 0x23, (TYPE_INTEGER << 2) | 1, 0x02, 0x05, 0x00, 0xFF, 0xFF},
         {}, "[#{ABCD} make bitset! [not #{7F}] make vector! [integer! 16 [5 -1]]]"},
    };
    for (const Row& row : rows) EXPECT_EQ(decoded_text(compact(row.records, row.names)), row.molded);
}

// A reference record stands for the very series written before: a change
// through one is seen through the other.
TEST(VekbinReader, ReferencesShareTheSeries) {
    Decoded d = decode_bytes(compact({0x05, 0x01, 0x81, 0xC1, 0x45, 0x01, 0x01, 0x00, 0xFF, 0x02, 0x00, 0x00}));
    ASSERT_EQ(d.error, 0u);
    EXPECT_EQ(test::molded(d.block), "[[1] [] 1]");
    Cell* cells = series_buffer(&d.block)->cells();
    EXPECT_EQ(series_node(&cells[0]), series_node(&cells[1]));
}

// An object's field holds a word bound to the object itself: the object is
// in its parent before its values are read.
TEST(VekbinReader, ObjectsAreReachableFromTheirOwnValues) {
    // object! (class 0), context: kind object, values follow, one word `a`;
    // the value: word `a` bound at index 0 through the path to the object.
    Decoded d = decode_bytes(compact({0x20, 0x00, 0x0E, 0x12, 0x01, 0x00, 0xC1, 0x4F, 0x00, 0x00, 0x01, 0x00}, {"a"}));
    ASSERT_EQ(d.error, 0u);
    Cell object = series_buffer(&d.block)->cells()[0];
    ASSERT_EQ(cell_type(&object), TYPE_OBJECT);
    Cell field = object::get_values(&object)[0];
    ASSERT_EQ(cell_type(&field), TYPE_WORD);
    EXPECT_EQ(word::context(&field), object::context_node(&object));
    EXPECT_EQ(word::index(&field), 0u);
}

// A function whose context says its values are on the stack is never
// followed by values, whatever the values bit says: the next records are
// its spec and body.
TEST(VekbinReader, StackContextsTakeNoValues) {
    Bytes function = {0x18, 0x01, 0x01, 0x0E, 0x15, 0x01, 0x00, 0x05, 0x01, 0x0F, 0x00, 0x05, 0x01, 0x81};
    EXPECT_EQ(decoded_text(compact(function, {"x"})), "[func [x][1]]");
}

TEST(VekbinReader, CompressedBodies) {
    Bytes records;
    for (int i = 0; i < 100; i++) records.insert(records.end(), {0x05, 0x02, 0x81, 0x82});
    Bytes plain = compact(records);
    Bytes packed;
    ASSERT_EQ(codecs::lz77_compress(packed, plain.data() + 8, plain.size() - 8), codecs::Lz77Result::ok);
    Bytes file(plain.begin(), plain.begin() + 8);
    file[FLAGS_OFFSET] |= FLAG_COMPRESSED;
    file.insert(file.end(), packed.begin(), packed.end());
    EXPECT_EQ(decoded_text(file), decoded_text(plain));
    file.back() ^= 0xFF;
    file.resize(file.size() - 3);
    EXPECT_EQ(decode_bytes(file).error, error_code(err::script::invalid_data));
}

// The fixed encoding: a header dword per record, values in whole dwords.
TEST(VekbinReader, FixedValues) {
    Bytes records;
    for (uint32_t word : {uint32_t(TYPE_INTEGER), 7u, 0u /* padding */, uint32_t(TYPE_STRING) | 1u << FIXED_WIDTH_SHIFT,
                          0u, 2u, uint32_t('h' | 'i' << 8), uint32_t(TYPE_BLOCK) | FIXED_NEW_LINE, 0u, 1u,
                          uint32_t(TYPE_WORD) | FIXED_GLOBAL_WORD, 0u, 0u, FIXED_REFERENCE_VALUE, 2u, 2u, 0u,
                          uint32_t(TYPE_TYPESET), 0x100u, 0u, 0u})
        put_dword(records, word);
    Bytes file(MAGIC, MAGIC + MAGIC_SIZE);
    file.insert(file.end(), {WRITER_VERSION, FLAG_SYMBOLS});
    for (uint32_t word : {1u, uint32_t(records.size()), 1u, 8u, 0u}) put_dword(file, word);
    file.insert(file.end(), {'x', 0, 0, 0, 0, 0, 0, 0});
    file.insert(file.end(), records.begin(), records.end());
    EXPECT_EQ(decoded_text(file), "[7 \"hi\"\n[x] x make typeset! [word!]]");
}

// Every malformed record reports the 1-based index of the byte at fault
// (the records start at byte 11 of these files, after 8 + 2 header bytes).
TEST(VekbinReader, InvalidRecords) {
    struct Row {
        const char* what;
        Bytes records;
        int32_t index;
    };
    const Row rows[] = {
        {"a varint cut by the end", {0x0B, 0x80}, 13},
        {"a five-byte varint over 32 bits", {0x0B, 0x80, 0x80, 0x80, 0x80, 0x10}, 16},
        {"a path past the last value", {0x81, 0xFF, 0x01, 0x01}, 12},
        {"the boot-only assignment prefix", {0xC4, 0x0F, 0x00}, 11},
        {"a string over a block's cells", {0x05, 0x00, 0xC1, 0x07, 0x01, 0x00}, 13},
        {"a bitset over a binary's bytes", {0x29, 0x00, 0xC1, 0x1E, 0x01, 0x00}, 13},
        {"a lead byte of type 0", {0x40}, 11},
        {"a datatype id with no type", {0x01, 0x0D}, 11},
        {"a surrogate char", {0x0A, 0x80, 0xB0, 0x03}, 11},
        {"the 30th of February", {0x2F, 0x00, 0x2F, 0xA0, 0x0F}, 11},
        {"a count beyond the bytes left", {0x05, 0x05, 0x81}, 12},
        {"an image cut short", {0x35, 0x02, 0x02, 0, 0, 0, 0}, 18},
        {"a vector of 8-byte integers", {0x23, (TYPE_INTEGER << 2) | 3, 0x00}, 11},
        {"a native past the table", {0x15, 0x6C, 0x05, 0x00}, 12},
        {"an op over an integer", {0x17, 0x81}, 12},
    };
    for (const Row& row : rows) {
        Decoded d = decode_bytes(compact(row.records));
        EXPECT_EQ(d.error, INVALID_RECORD) << row.what;
        EXPECT_EQ(d.index, row.index) << row.what;
    }
}

// Words reach their context through values still being read: a function
// held by an object's field through the field, an object through `self`
// (bound with no index). And a fixed op! keeps its source type in bits that
// cover the reference bit.
TEST(VekbinReader, WordsReachHalfBuiltOwners) {
    // make object! [a: 1 f: func [x] [x self]]
    Bytes object = {0x20, 0x00, 0x0E, 0x12, 0x02, 0x00, 0x01, 0x81, 0x18, 0x01, 0x02, 0x0E, 0x05, 0x01, 0x02,
                    0x05, 0x01, 0x0F, 0x02, 0x05, 0x02, 0xC1, 0x4F, 0x02, 0x00, 0x02, 0x00, 0x01,
                    0xC1, 0x4F, 0x03, 0x01, 0x01, 0x00};
    Decoded d = decode_bytes(compact(object, {"a", "f", "x", "self"}));
    ASSERT_EQ(d.error, 0u);
    Cell function = object::get_values(&series_buffer(&d.block)->cells()[0])[1];
    Cell* body = series_buffer(function::body(&function))->cells();
    EXPECT_EQ(word::context(&body[0]), function::context_node(&function));
    EXPECT_EQ(word::index(&body[1]), WORD_UNRESOLVED);

    Bytes records;
    for (uint32_t word : {uint32_t(TYPE_OP) | uint32_t(TYPE_FUNCTION) << FIXED_OP_TYPE_SHIFT, uint32_t(TYPE_FUNCTION),
                          0u, 0u, uint32_t(TYPE_CONTEXT) | 1u << FIXED_CONTEXT_KIND_SHIFT | FIXED_CONTEXT_ON_STACK, 2u,
                          0u, 1u, uint32_t(TYPE_BLOCK), 0u, 2u, uint32_t(TYPE_WORD) | FIXED_GLOBAL_WORD, 0u, ~0u,
                          uint32_t(TYPE_WORD) | FIXED_GLOBAL_WORD, 1u, ~0u, uint32_t(TYPE_BLOCK), 0u, 0u})
        put_dword(records, word);
    Bytes file(MAGIC, MAGIC + MAGIC_SIZE);
    file.insert(file.end(), {WRITER_VERSION, FLAG_SYMBOLS});
    for (uint32_t word : {1u, uint32_t(records.size()), 2u, 8u, 0u, 2u}) put_dword(file, word);
    file.insert(file.end(), {'a', 0, 'b', 0, 0, 0, 0, 0});
    file.insert(file.end(), records.begin(), records.end());
    EXPECT_EQ(decoded_text(file), "[make op! func [a b][]]");
}

// A bound word must name the word at its index in the context it reaches.
TEST(VekbinReader, BoundWordsMatchTheirContext) {
    // An object with field `a`, then words `a` and `b` bound to it at index 0
    // and a word `a` at index 1, each through the path to the object.
    Bytes object = {0x20, 0x00, 0x0E, 0x02, 0x01, 0x00};
    auto with = [&](Bytes word) {
        Bytes records = object;
        records.insert(records.end(), word.begin(), word.end());
        return decode_bytes(compact(records, {"a", "b"}));
    };
    EXPECT_EQ(with({0xC1, 0x4F, 0x00, 0x00, 0x01, 0x00}).error, 0u);
    EXPECT_EQ(with({0xC1, 0x4F, 0x01, 0x00, 0x01, 0x00}).error, INVALID_RECORD);
    EXPECT_EQ(with({0xC1, 0x4F, 0x00, 0x02, 0x01, 0x00}).error, INVALID_RECORD);
}

// A native! is the runtime's own: its code reads its arguments as its own
// spec lays them out, so a record with any other spec is refused.
TEST(VekbinReader, NativesKeepTheirOwnSpec) {
    // Native 1, if: [cond [any-type!] then-blk [block!]].
    Bytes native = {0x15, 0x01, 0x05, 0x04, 0x0F, 0x00, 0x05, 0x01, 0x0F, 0x01, 0x0F, 0x02, 0x05, 0x01, 0x0F, 0x03};
    Decoded d = decode_bytes(compact(native, {"cond", "any-type!", "then-blk", "block!"}));
    ASSERT_EQ(d.error, 0u);
    EXPECT_EQ(cell_type(&series_buffer(&d.block)->cells()[0]), TYPE_NATIVE);
    EXPECT_EQ(decode_bytes(compact(native, {"cond", "any-type!", "then-blk", "integer!"})).error, INVALID_RECORD);
}

TEST(VekbinReader, NestingIsBounded) {
    Bytes deep;
    for (int i = 0; i <= DEPTH_LIMIT; i++) deep.insert(deep.end(), {0x05, 0x01});
    deep.push_back(0x81);
    EXPECT_EQ(decode_bytes(compact(deep)).error, INVALID_RECORD);
    deep.erase(deep.begin(), deep.begin() + 4);
    EXPECT_EQ(decode_bytes(compact(deep)).error, 0u);
}

TEST(VekbinReader, FilesThatAreNoVekbin) {
    EXPECT_EQ(decode_bytes(Bytes{'V', 'E', 'K'}).error, error_code(err::script::invalid_data));
    Bytes other = compact({});
    other[0] = 'X';
    EXPECT_EQ(decode_bytes(other).error, error_code(err::script::invalid_data));
    EXPECT_EQ(decode_bytes(compact({0x1F})).error, error_code(err::access::no_codec));
    Bytes file = compact({0x81});
    Cell binary{TYPE_BINARY, 0, 0, 0};
    binary::load_at(&binary, file.data(), uint32_t(file.size()));
    Cell target{TYPE_BLOCK, 0, 0, 0};
    block::make_at(&target, 1);
    decode(&binary, &target);
    EXPECT_EQ(test::molded(target), "[1]");
    set_series_index(&binary, 1);
    EXPECT_EQ(test::raised([&] { decode(&binary, &target); }), error_code(err::script::invalid_data));
}

}  // namespace
}  // namespace vek
