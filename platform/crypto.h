// Secure digests and HMAC over OpenSSL's libcrypto: MD5, SHA-1, SHA-256,
// SHA-384 and SHA-512 of a byte buffer, and the HMAC (RFC 2104) keyed with
// any bytes. Every library call is checked: a call that fails gives no
// digest at all, never a buffer of unset bytes. Results are returned by value.
// libcrypto is loaded at the first digest or HMAC; when it cannot be, there
// is no digest either.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vek::platform {

enum class DigestKind : uint8_t { md5, sha1, sha256, sha384, sha512 };

// The size of the largest digest (SHA-512's).
constexpr size_t LONGEST_DIGEST = 64;

struct Digest {
    std::array<uint8_t, LONGEST_DIGEST> bytes;  // the digest in its first size bytes
    size_t size;                                // 16, 20, 32, 48 or 64 by kind
};

// The digest's size in bytes.
size_t digest_size(DigestKind kind);

// The digest of the bytes; nullopt when libcrypto fails.
std::optional<Digest> digest(DigestKind kind, std::span<const uint8_t> data);

// The HMAC of the data under the key with the kind's digest: a key longer
// than the digest's block is hashed first, a shorter one (the empty key too)
// is padded with zeros. nullopt when libcrypto fails or the key is longer
// than it takes (2 GiB).
std::optional<Digest> hmac(DigestKind kind, std::span<const uint8_t> key, std::span<const uint8_t> data);

}  // namespace vek::platform
