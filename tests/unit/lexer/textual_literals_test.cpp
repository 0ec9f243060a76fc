#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "runtime/actions/dispatch.h"
#include "runtime/core/raise.h"
#include "runtime/datatypes/block/array.h"
#include "runtime/datatypes/container/map.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/binary_codecs.h"
#include "runtime/datatypes/string/buffer.h"
#include "runtime/datatypes/string/url.h"
#include "runtime/tables/hash_table.h"
#include "tests/unit/support/load_and_mold.h"
#include "tests/unit/support/string_cells.h"
#include "tests/unit/support/support.h"

namespace vek {
namespace {

using test::formed;
using test::load;
using test::molded;

// The bytes of a binary! from its head.
std::string bytes_of(const Cell& binary) {
    return std::string(reinterpret_cast<const char*>(binary::rs_head(&binary)), binary::rs_length(&binary));
}

struct TextCase {
    std::u32string_view text;
    const char* molded;
};

// Each value molds as given, and the molded text loads back as the same
// text and type.
void expect_round_trips(uint32_t type, const TextCase* cases, size_t n) {
    for (size_t i = 0; i < n; i++) {
        Cell value = test::text_cell(cases[i].text, 4, type);
        std::string text = molded(value);
        EXPECT_EQ(text, cases[i].molded);
        Cell block{};
        ASSERT_EQ(test::raised([&] { block = load(text); }), 0u) << text;
        ASSERT_EQ(block::length_from_head(&block), 1u) << text;
        Cell loaded = *block::rs_abs_at(&block, 0);
        EXPECT_EQ(cell_type(&loaded), type) << text;
        EXPECT_EQ(test::utf8(loaded), test::utf8(value)) << text;
    }
}

}  // namespace

TEST(TextualLiterals, UrlsMoldPercentEncoded) {
    const TextCase cases[] = {
        {U"http://x.org/a?b=1&c=2#top", "http://x.org/a?b=1&c=2#top"},
        {U"http://x.org/w/A_(b)", "http://x.org/w/A_%28b%29"},
        {U"http://x.org/a b", "http://x.org/a%20b"},
        {U"http://x.org/100%", "http://x.org/100%25"},
        {U"http://x.org/caf\u00E9/\u20AC", "http://x.org/caf%C3%A9/%E2%82%AC"},
        {U"ftp://u@h/[x]\"^", "ftp://u@h/%5Bx%5D%22%5E"},
    };
    expect_round_trips(TYPE_URL, cases, std::size(cases));
}

TEST(TextualLiterals, FilesMoldQuotedWhenNeeded) {
    const TextCase cases[] = {
        {U"a.txt", "%a.txt"},
        {U"/home/u/x-1_2~3.txt", "%/home/u/x-1_2~3.txt"},
        {U"x(1).txt", "%\"x(1).txt\""},
        {U"caf\u00E9", "%caf\u00E9"},
        {U"a b", "%\"a b\""},
        {U"100%", "%\"100%\""},
        {U"a;b", "%\"a;b\""},
        {U"a^b", "%\"a^^b\""},
        {U"say \"hi\"", "%\"say ^\"hi^\"\""},
        {U"tab\there\nline", "%\"tab^-here^/line\""},
        {U"", "%\"\""},
    };
    expect_round_trips(TYPE_FILE, cases, std::size(cases));
}

TEST(TextualLiterals, TagEmailAndRefText) {
    struct Case {
        uint32_t type;
        const char* formed;
        const char* molded;
    };
    const Case cases[] = {
        {TYPE_TAG, "<a href=\"x\">", "<a href=\"x\">"},
        {TYPE_EMAIL, "joe@example.com", "joe@example.com"},
        {TYPE_REF, "joe", "@joe"},
    };
    const std::u32string_view texts[] = {U"a href=\"x\"", U"joe@example.com", U"joe"};
    for (size_t i = 0; i < std::size(cases); i++) {
        Cell value = test::text_cell(texts[i], 1, cases[i].type);
        EXPECT_EQ(formed(value), cases[i].formed);
        EXPECT_EQ(molded(value), cases[i].molded);
    }
}

TEST(TextualLiterals, PartLimitsCountTheMarks) {
    Cell url = test::text_cell(U"a b", 1, TYPE_URL);
    Cell tag = test::text_cell(U"abc", 1, TYPE_TAG);
    Cell out = test::output_cell();
    text::Sink limited{.buffer = &out, .limited = true, .limit = 4};
    actions::mold(&url, limited, false);
    EXPECT_EQ(limited.limit, 0);
    EXPECT_EQ(test::utf8(out), "a%20");
    text::Sink unlimited{.buffer = &out, .limit = 10};
    actions::form(&tag, unlimited);
    EXPECT_EQ(unlimited.limit, 5);
}

TEST(TextualLiterals, PercentDecode) {
    struct Case {
        std::u32string_view source;
        std::u32string_view decoded;
    };
    const Case cases[] = {
        {U"a%20b", U"a b"},
        {U"%C3%A9", U"\u00E9"},
        {U"%c3%a9", U"\u00E9"},
        {U"%E9", U"\u00E9"},            // a lone byte reads as Latin-1
        {U"%E2%82%AC!", U"\u20AC!"},
        {U"%F0%9F%98%80", U"\U0001F600"},
        {U"%4", U"%4"},
        {U"%zz%", U"%zz%"},
        {U"100%25", U"100%"},
        {U"\u00E9%41", U"\u00E9A"},
        // Escapes that do not spell a well-formed sequence stay bytes.
        {U"%C3%41", U"\u00C3A"},
        {U"%C0%AF", U"\u00C0\u00AF"},   // overlong
        {U"%ED%A0%80", U"\u00ED\u00A0\u0080"},  // a surrogate
        {U"%E2%82", U"\u00E2\u0082"},   // cut short
    };
    for (const Case& c : cases) {
        Cell source = test::text_cell(c.source, 4, TYPE_URL);
        Cell target = test::output_cell();
        url::percent_decode(&source, &target);
        EXPECT_EQ(test::utf8(target), test::utf8(test::text_cell(c.decoded, 4))) << test::utf8(source);
    }
}

TEST(TextualLiterals, PercentEncodeModes) {
    Cell source = test::text_cell(U"a-b c/\u00E9~!", 2);
    Cell url_bytes = test::binary_cell("");
    Cell unreserved = test::binary_cell("");
    url::percent_encode(&source, &url_bytes, url::ENCODE_URL);
    url::percent_encode(&source, &unreserved, url::ENCODE_UNRESERVED);
    EXPECT_EQ(bytes_of(url_bytes), "a-b%20c/%C3%A9~!");
    EXPECT_EQ(bytes_of(unreserved), "a-b%20c%2F%C3%A9~%21");
    url::EncodedByte kept = url::encode_byte(url::ENCODE_URL, '(');
    EXPECT_EQ(kept.bytes[0], '(');
    EXPECT_EQ(kept.count, 1u);
}

TEST(TextualLiterals, BinariesLoadInEachBaseAndMoldInBase16) {
    struct Case {
        const char* source;
        const char* bytes;
        const char* molded;
    };
    const Case cases[] = {
        {"#{010203}", "\x01\x02\x03", "#{010203}"},
        {"2#{000000010000001000000011}", "\x01\x02\x03", "#{010203}"},
        {"64#{AQID}", "\x01\x02\x03", "#{010203}"},
        {"2#{10100101}", "\xA5", "#{A5}"},
        {"64#{pQ==}", "\xA5", "#{A5}"},
        {"64#{}", "", "#{}"},
    };
    for (const Case& c : cases) {
        Cell block = load(c.source);
        Cell* value = block::rs_abs_at(&block, 0);
        EXPECT_EQ(bytes_of(*value), c.bytes) << c.source;
        EXPECT_EQ(molded(*value), c.molded) << c.source;
    }
}

TEST(TextualLiterals, LongBinariesBreakIntoIndentedLines) {
    std::string forty(40, '\x11');
    Cell long_one = test::binary_cell(forty);
    Cell thirty_one = test::binary_cell(std::string(31, '\x22'));
    Cell thirty = test::binary_cell(std::string(30, '\x33'));
    std::string line = std::string(64, '1');
    EXPECT_EQ(molded(long_one), "#{\n    " + line + "\n    " + std::string(16, '1') + "\n}");
    EXPECT_EQ(molded(long_one, {.indent = 1}), "#{\n        " + line + "\n        " + std::string(16, '1') + "\n    }");
    EXPECT_EQ(molded(thirty_one), "#{\n    " + std::string(62, '2') + "\n}");
    EXPECT_EQ(molded(thirty_one, {.flat = true}), "#{" + std::string(62, '2') + "}");
    EXPECT_EQ(molded(thirty), "#{" + std::string(60, '3') + "}");
    Cell block = load(molded(long_one));
    EXPECT_EQ(bytes_of(*block::rs_abs_at(&block, 0)), forty);
}

TEST(TextualLiterals, BaseCodecsRoundTrip) {
    const std::string samples[] = {"", "a", "ab", "abc", "abcd", std::string("\x00\xFF\x80\x7F", 4)};
    using Encoder = uint8_t* (*)(uint8_t*, const uint8_t*, uint32_t);
    using Decoder = Cell* (*)(Cell*, const std::byte*, uint32_t, uint32_t);
    struct Codec {
        Encoder encode;
        Decoder decode;
    };
    const Codec codecs[] = {{binary::encode_base2, binary::decode_base2},
                            {binary::encode_base16, binary::decode_base16},
                            {binary::encode_base64, binary::decode_base64}};
    for (const Codec& codec : codecs) {
        for (const std::string& sample : samples) {
            uint8_t text[64];
            uint8_t* end = codec.encode(text, reinterpret_cast<const uint8_t*>(sample.data()), uint32_t(sample.size()));
            for (uint32_t unit : {1u, 2u, 4u}) {
                std::u32string wide(text, end);
                Cell source = test::text_cell(wide, unit);
                Cell result{};
                ASSERT_NE(codec.decode(&result, string::rs_head(&source), uint32_t(wide.size()), unit), nullptr);
                EXPECT_EQ(bytes_of(result), sample);
            }
        }
    }
    uint8_t text[8];
    auto abc = reinterpret_cast<const uint8_t*>("abc");
    EXPECT_EQ(std::string(text, binary::encode_base64(text, abc, 3)), "YWJj");
    EXPECT_EQ(std::string(text, binary::encode_base64(text, abc, 2)), "YWI=");
    EXPECT_EQ(std::string(text, binary::encode_base64(text, abc, 1)), "YQ==");
}

TEST(TextualLiterals, BaseDecodersSkipBlanksAndRejectBadText) {
    using Decoder = Cell* (*)(Cell*, const std::byte*, uint32_t, uint32_t);
    struct Case {
        Decoder decode;
        std::u32string_view text;
        const char* bytes;  // nullptr: invalid
    };
    const Case cases[] = {
        {binary::decode_base2, U"0100 0001", "A"},
        {binary::decode_base2, U"0100000", nullptr},
        {binary::decode_base2, U"01000001 ; 1\n01000010", "AB"},
        {binary::decode_base2, U"01000002", nullptr},
        {binary::decode_base16, U"41 4a\t6B\n", "AJk"},
        {binary::decode_base16, U"414", "A"},            // a last lone digit is dropped
        {binary::decode_base16, U"41 ; 4G\n42", "AB"},
        {binary::decode_base16, U"4G", nullptr},
        {binary::decode_base16, U"4\u0130", nullptr},    // not a digit, whatever its low bits
        {binary::decode_base64, U"YW Jj\n'", "abc"},
        {binary::decode_base64, U"YQ", ""},               // left over without padding
        {binary::decode_base64, U"YQ==", "a"},
        {binary::decode_base64, U"YWI=", "ab"},
        {binary::decode_base64, U"Y=", nullptr},
        {binary::decode_base64, U"YW*j", nullptr},
        {binary::decode_base64, U"YW\u00E9j", nullptr},
    };
    for (const Case& c : cases) {
        Cell source = test::text_cell(c.text, 4);
        Cell result{};
        Cell* made = c.decode(&result, string::rs_head(&source), uint32_t(c.text.size()), 4);
        if (!c.bytes) {
            EXPECT_EQ(made, nullptr) << test::utf8(source);
            continue;
        }
        ASSERT_NE(made, nullptr) << test::utf8(source);
        EXPECT_EQ(bytes_of(result), c.bytes) << test::utf8(source);
    }
}

TEST(TextualLiterals, MapsFromBlocks) {
    struct Case {
        const char* source;
        const char* molded;
        const char* flat;
        int32_t entries;
    };
    const Case cases[] = {
        {"#[]", "#[]", "#[]", 0},
        {"#[a 1 b 2]", "#[\n    a: 1\n    b: 2\n]", "#[a: 1 b: 2]", 2},
        // Word kinds name one entry: the first key stays, the last value wins.
        {"#[a 1 'b 2 :a 3 b: 4]", "#[\n    a: 3\n    b: 4\n]", "#[a: 3 b: 4]", 2},
        {"#[\"k\" [1 2] 3 #{01}]", "#[\n    \"k\" [1 2]\n    3 #{01}\n]", "#[\"k\" [1 2] 3 #{01}]", 2},
        {"#[\"a\" 1 \"A\" 2]", "#[\n    \"a\" 1\n    \"A\" 2\n]", "#[\"a\" 1 \"A\" 2]", 2},
    };
    for (const Case& c : cases) {
        Cell block = load(c.source);
        Cell map = *block::rs_abs_at(&block, 0);
        ASSERT_EQ(cell_type(&map), TYPE_MAP) << c.source;
        EXPECT_EQ(map::entry_count(&map), c.entries) << c.source;
        EXPECT_EQ(molded(map), c.molded);
        EXPECT_EQ(molded(map, {.flat = true}), c.flat);
    }
    Cell outer = load("[#[a #[b 1]]]");
    Cell nested = *block::rs_abs_at(&outer, 0);
    EXPECT_EQ(molded(nested), "[#[\n    a: #[\n        b: 1\n    ]\n]]");
    EXPECT_EQ(formed(*block::rs_abs_at(&nested, 0)), "a: #[\n    b: 1\n]");
}

TEST(TextualLiterals, MapKeysAreNormalized) {
    // A series key is a copy: the caller's later change does not reach it.
    Cell block{};
    block::make_at(&block, 4);
    Cell key = test::text_cell(U"key", 1);
    *block::alloc_tail(&block) = key;
    *block::alloc_tail(&block) = Cell{TYPE_INTEGER, 0, 1, 0};
    Cell map{};
    map::make_at(&map, &block, 2);
    string::append_char(series_buffer(&key), '!');
    EXPECT_EQ(molded(map, {.flat = true}), "#[\"key\" 1]");

    Cell bad{TYPE_BLOCK, 0, uint32_t(series_node(&block)), 0};
    EXPECT_FALSE(map::valid_key_type(TYPE_BLOCK));
    EXPECT_FALSE(map::valid_key_type(TYPE_NONE));
    EXPECT_TRUE(map::valid_key_type(TYPE_ISSUE));
    EXPECT_EQ(test::raised([&] { map::normalize_key(&bad, &bad); }), error_code(err::script::invalid_path));

    // A map holding itself shows the cycle marker instead of recursing.
    reinterpret_cast<Cell*>(series_buffer(&map)->first())[1] = map;
    EXPECT_EQ(molded(map, {.flat = true}), "#[\"key\" #[...]]");
    EXPECT_EQ(formed(map), "\"key\" #[...]");

    Cell empty{};
    map::make_at(&empty, nullptr, 8);
    EXPECT_EQ(map::entry_count(&empty), 0);
    EXPECT_EQ(molded(empty), "#[]");
    EXPECT_EQ(formed(empty), "");
}

}  // namespace vek
