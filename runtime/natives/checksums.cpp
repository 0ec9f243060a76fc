#include "runtime/natives/checksums.h"

#include <optional>
#include <span>

#include "platform/crypto.h"
#include "runtime/codecs/crc.h"
#include "runtime/codecs/internet_sum.h"
#include "runtime/core/fixed_words.h"
#include "runtime/core/raise.h"
#include "runtime/core/stack.h"
#include "runtime/datatypes/number/integer.h"
#include "runtime/datatypes/string/binary.h"
#include "runtime/datatypes/word/symbol.h"
#include "runtime/datatypes/word/word.h"
#include "runtime/io/files.h"
#include "runtime/natives/helpers.h"
#include "runtime/output/print_hooks.h"

namespace vek::natives {

namespace {

using platform::DigestKind;

constexpr int WITH = 0;
constexpr uint64_t DATA_TYPES = type_bit(TYPE_BINARY) | type_bit(TYPE_STRING) | type_bit(TYPE_FILE);
constexpr uint64_t KEY_TYPES = ANY_STRING_TYPES | type_bit(TYPE_BINARY) | type_bit(TYPE_INTEGER);

enum class Method : uint8_t { tcp, crc32, adler32, md5, sha1, sha256, sha384, sha512, hash };

struct MethodName {
    const char* name;
    Method method;
};

constexpr MethodName METHODS[] = {
    {"tcp", Method::tcp},         {"crc32", Method::crc32},   {"adler32", Method::adler32},
    {"md5", Method::md5},         {"sha1", Method::sha1},     {"sha256", Method::sha256},
    {"sha384", Method::sha384},   {"sha512", Method::sha512}, {"hash", Method::hash},
};

// The method the word names in any letter case; any other word raises
// script invalid-arg with it.
Method method_of(const Cell* word) {
    uint32_t wanted = symbol::resolve(word::symbol(word));
    for (const MethodName& m : METHODS)
        if (symbol::make_case_folded(m.name) == wanted) return m.method;
    fire(err::script::invalid_arg, word);
}

std::optional<DigestKind> digest_kind(Method method) {
    switch (method) {
        case Method::md5: return DigestKind::md5;
        case Method::sha1: return DigestKind::sha1;
        case Method::sha256: return DigestKind::sha256;
        case Method::sha384: return DigestKind::sha384;
        case Method::sha512: return DigestKind::sha512;
        default: return std::nullopt;
    }
}

// The bytes to sum, copied out of the Vek heap: a binary!'s from its head, a
// string!'s UTF-8 from its head, a file!'s whole contents read as binary.
binary::Bytes data_bytes(Cell* data) {
    binary::Bytes bytes;
    if (cell_type(data) == TYPE_FILE) {
        Cell* read = files::read(data, {.binary = true});
        if (cell_type(read) != TYPE_BINARY) fire(err::access::cannot_open, data);  // a directory's listing
        binary::value_bytes(read, -1, binary::ValueMode::insert, bytes);
    } else {
        binary::value_bytes(data, -1, binary::ValueMode::insert, bytes);
    }
    return bytes;
}

int32_t plain_sum(Method method, std::span<const uint8_t> bytes) {
    switch (method) {
        case Method::tcp: return codecs::internet_sum(bytes.data(), bytes.size());
        case Method::crc32: return int32_t(codecs::crc32(bytes.data(), bytes.size()));
        default: return int32_t(codecs::adler32(bytes.data(), bytes.size()));
    }
}

// A digest that libcrypto could not make is reported, never made up.
void box_digest(const std::optional<platform::Digest>& digest, const Cell* method) {
    if (!digest) fire(err::internal::not_here, method);
    stack::set_last(binary::load_push(digest->bytes.data(), uint32_t(digest->size)));
}

// Keyed hashing into a table of a given size has no algorithm yet: it says so
// and answers 0.
void box_table_hash() {
    print_line({"** /hash support not yet implemented; algorithm TBD."});
    integer::box(0);
}

// Refuses a /with value that the method takes no use of, before any data is
// read: the plain sums take none (the method is named), the digests a key
// or a table size, hash only a table size (the key is named).
void check_key(Method method, const Cell* method_word, const Cell* key) {
    const Cell* with = fixed_words::refinement(fixed_words::Ref::with);
    if (!digest_kind(method) && method != Method::hash) fire(err::script::invalid_refine_arg, with, method_word);
    if (method == Method::hash && cell_type(key) != TYPE_INTEGER) fire(err::script::invalid_refine_arg, with, key);
}

void box_hmac(Method method, const Cell* method_word, const Cell* key) {
    binary::Bytes key_bytes;
    binary::value_bytes(key, -1, binary::ValueMode::insert, key_bytes);
    binary::Bytes bytes = data_bytes(arg(0));
    box_digest(platform::hmac(*digest_kind(method), key_bytes, bytes), method_word);
}

void box_sum(Method method, const Cell* method_word) {
    if (method == Method::hash) fire(err::script::missing_arg);
    binary::Bytes bytes = data_bytes(arg(0));
    if (std::optional<DigestKind> kind = digest_kind(method))
        box_digest(platform::digest(*kind, bytes), method_word);
    else
        integer::box(plain_sum(method, bytes));
}

}  // namespace

Pending checksum(bool check, const int32_t* refinements) {
    bool keyed = refinements[WITH] >= 0;
    if (check) {
        check_arg(0, DATA_TYPES);
        check_arg(1, type_bit(TYPE_WORD));
        if (keyed) check_arg(refinements[WITH], KEY_TYPES);
    }
    Cell method_word = *arg(1);
    Method method = method_of(&method_word);
    if (!keyed) {
        box_sum(method, &method_word);
        return Pending::none;
    }
    Cell key = *arg(refinements[WITH]);
    check_key(method, &method_word, &key);
    if (cell_type(&key) == TYPE_INTEGER)
        box_table_hash();
    else
        box_hmac(method, &method_word, &key);
    return Pending::none;
}

}  // namespace vek::natives
