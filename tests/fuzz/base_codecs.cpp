// The base codecs on any bytes: read as text of 1, 2 and 4 byte units under
// both rule sets in every base, and, where the text decodes, encoded again
// and decoded back, which must give the same bytes. Then the same bytes
// through binary!: debased in every base, and converted by to binary! from
// the text types that hold them.
#include <algorithm>
#include <stdexcept>
#include <vector>

#include "runtime/actions/dispatch.h"
#include "runtime/codecs/base.h"
#include "runtime/core/registry.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/string/binary_codecs.h"
#include "runtime/datatypes/string/buffer.h"
#include "tests/fuzz/target.h"
#include "tests/unit/support/support.h"

namespace vek::fuzz {
namespace {

// Base 58 takes time quadratic in the length: longer inputs find nothing new.
constexpr size_t MAX_INPUT = 1 << 12;
constexpr int BASES[] = {2, 16, 58, 64};

using Bytes = std::vector<uint8_t>;

void expect(bool holds, const char* what) {
    if (!holds) throw std::logic_error(what);
}

// Encoding never writes more than it said it would, and the text reads back
// as the bytes under both rule sets (base 58 has no literal form to check).
void round_trip(int base, const Bytes& bytes) {
    Bytes text(codecs::encoded_size(base, bytes.size()) + 1);
    uint8_t* end = codecs::encode_base(base, text.data(), bytes.data(), bytes.size());
    expect(end <= text.data() + text.size() - 1, "encoded past its size");
    codecs::Units units{text.data(), size_t(end - text.data()), 1};
    for (codecs::BaseRules rules : {codecs::BaseRules::data, codecs::BaseRules::literal}) {
        Bytes back;
        codecs::Decoded decoded = codecs::decode_base(base, units, rules, back);
        expect(decoded.ok && back == bytes, "encoded text does not decode to its bytes");
    }
}

void decode_all(const uint8_t* data, size_t size) {
    for (int base : BASES)
        for (unsigned width : {1u, 2u, 4u})
            for (codecs::BaseRules rules : {codecs::BaseRules::data, codecs::BaseRules::literal}) {
                Bytes bytes;
                codecs::Decoded decoded = codecs::decode_base(base, {data, size / width, width}, rules, bytes);
                expect(decoded.ok || decoded.bad < size / width, "fault reported outside the text");
                if (decoded.ok && width == 1) round_trip(base, bytes);
            }
}

void debase_all(const uint8_t* data, size_t size) {
    for (int base : BASES) {
        Cell text{};
        binary::load_at(&text, data, uint32_t(size));
        Cell result{};
        binary::decode(base, &result, binary::rs_head(&text), binary::rs_length(&text), 1);
    }
}

// to binary! from the bytes as a string! (read as UTF-8, and as UTF-16 when
// they pair up) and as a binary!.
void convert_all(const uint8_t* data, size_t size) {
    Cell sources[3]{};
    string::load(data, uint32_t(size), &sources[0], string::Encoding::utf8);
    string::load(data, uint32_t(size & ~size_t(1)), &sources[1], string::Encoding::utf16le);
    binary::load_at(&sources[2], data, uint32_t(size));
    for (const Cell& source : sources) {
        Cell result{TYPE_DATATYPE, TYPE_BINARY, 0, 0};
        actions::to(&result, &source);
    }
}

}  // namespace

void run_one(const uint8_t* data, size_t size) {
    size = std::min(size, MAX_INPUT);
    decode_all(data, size);
    test::raised([&] { debase_all(data, size); });
    test::raised([&] { convert_all(data, size); });
}

}  // namespace vek::fuzz
