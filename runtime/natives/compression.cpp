// The input bytes are copied out of their series before the output binary!
// is made, since making it may move any buffer. The codecs count the size
// they need in 64 bits; a size past what a binary! can hold is a no-memory
// error raised before any buffer is made.
#include "runtime/natives/compression.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "runtime/codecs/deflate.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/natives/helpers.h"
#include "runtime/natives/natives.h"

namespace vek::natives {

namespace {

constexpr int SIZE = 0;
// Bytes added to the first guess of an output's size (the input's length for
// the encoders); the codecs say when a guess falls short.
constexpr uint64_t SLACK = 32;

// How many times its length the data is first thought to expand to.
constexpr uint64_t FIRST_GUESS_RATIO = 4;

using Codec = codecs::Coded (*)(uint8_t*, uint64_t&, const uint8_t*, size_t);

enum class Method { deflate, zlib, gzip };

// The method word's codec family, raising script invalid-arg for another word.
Method method_of(const Cell* word) {
    uint32_t id = symbol::resolve(word::symbol(word));
    if (id == symbol::make_case_folded("deflate")) return Method::deflate;
    if (id == symbol::make_case_folded("zlib")) return Method::zlib;
    if (id == symbol::make_case_folded("gzip")) return Method::gzip;
    fire(err::script::invalid_arg, word);
}

void check_size(uint64_t size) {
    if (size > uint64_t(INT32_MAX)) fire(err::internal::no_memory);
}

// Runs the codec into a new binary! of the capacity, once more at the size it
// asks for when that was too small, and leaves the binary as the result.
// Failures raise script invalid-data with the method word.
void run_codec(Codec codec, const std::vector<uint8_t>& input, uint64_t capacity) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        check_size(capacity);
        Cell* out = binary::make_at(make_unset(stack::push_cell()), uint32_t(capacity));
        SeriesBuffer* buffer = series_buffer(out);
        uint64_t size = capacity;
        codecs::Coded result = codec(reinterpret_cast<uint8_t*>(buffer->first()), size, input.data(), input.size());
        if (result == codecs::Coded::ok) {
            buffer->tail = buffer->offset + uint32_t(size);
            stack::set_last(out);
            return;
        }
        if (result != codecs::Coded::too_small || attempt == 1) break;
        capacity = size;
        stack::pop(1);
    }
    fire(err::script::invalid_data, arg(1));
}

// The size of the codec's whole output, learnt without storing it.
uint64_t measure(Codec codec, const std::vector<uint8_t>& input) {
    uint64_t size = 0;
    codecs::Coded result = codec(nullptr, size, input.data(), input.size());
    if (result != codecs::Coded::ok && result != codecs::Coded::too_small) fire(err::script::invalid_data, arg(1));
    check_size(size);
    return size;
}

}  // namespace

Pending compress(bool check, const int32_t*) {
    if (check) {
        check_arg(0, ANY_STRING_TYPES | type_bit(TYPE_BINARY));
        check_arg(1, type_bit(TYPE_WORD));
    }
    Method method = method_of(arg(1));
    Codec codec = method == Method::zlib      ? codecs::zlib_encode
                  : method == Method::deflate ? codecs::deflate_compress
                                              : codecs::gzip_encode;
    binary::Bytes input;
    binary::value_bytes(arg(0), -1, binary::ValueMode::insert, input);
    uint64_t capacity = input.size() + SLACK;
    run_codec(codec, input, capacity < uint64_t(INT32_MAX) ? capacity : uint64_t(INT32_MAX));
    return Pending::none;
}

// gzip learns the output's size from a first pass that only counts (its
// members' trailers are checked against the count). The others decode at
// once into a buffer of /size bytes, or of a few times the input's length
// when /size is absent or not above it: most data fits, and data that does
// not is decoded again at the size that the first pass counted.
Pending decompress(bool check, const int32_t* refinements) {
    if (check) {
        check_arg(0, type_bit(TYPE_BINARY));
        check_arg(1, type_bit(TYPE_WORD));
        if (refinements[SIZE] >= 0) check_arg(refinements[SIZE], type_bit(TYPE_INTEGER));
    }
    Method method = method_of(arg(1));
    Codec codec = method == Method::zlib      ? codecs::zlib_decode
                  : method == Method::deflate ? codecs::deflate_inflate
                                              : codecs::gzip_decode;
    int64_t wanted = 0;
    if (refinements[SIZE] >= 0) {
        const Cell* size = arg(refinements[SIZE]);
        wanted = integer::get(size);
        if (wanted < 0) fire(err::script::invalid_arg, size);
    }
    binary::Bytes input;
    binary::value_bytes(arg(0), -1, binary::ValueMode::insert, input);
    uint64_t capacity = uint64_t(wanted);
    if (method == Method::gzip)
        capacity = measure(codec, input);
    else if (capacity <= input.size())
        capacity = std::min(input.size() * FIRST_GUESS_RATIO + SLACK, uint64_t(INT32_MAX));
    run_codec(codec, input, capacity);
    return Pending::none;
}

}  // namespace vek::natives
