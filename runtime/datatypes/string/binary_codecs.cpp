#include "runtime/datatypes/string/binary_codecs.h"

#include <cstring>
#include <vector>

#include "runtime/datatypes/string/binary.h"

namespace vek::binary {

uint8_t* encode(int32_t base, uint8_t* buffer, const uint8_t* bytes, uint32_t n) {
    return codecs::encode_base(base, buffer, bytes, n);
}

Cell* decode(int32_t base, Cell* result, const std::byte* text, uint32_t n, uint32_t unit) {
    std::vector<uint8_t> bytes;
    if (!codecs::decode_base(base, {text, n, unit}, codecs::BaseRules::data, bytes).ok) return nullptr;
    return load_at(result, bytes.data(), uint32_t(bytes.size()));
}

}  // namespace vek::binary
