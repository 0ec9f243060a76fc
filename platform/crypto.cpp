#include "platform/crypto.h"

#include <climits>

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "platform/shared_library.h"

namespace vek::platform {

namespace {

// libcrypto is loaded at the first digest; without it there is none.
#define VEK_LIBCRYPTO_FUNCTIONS(F) \
    F(EVP_md5) F(EVP_sha1) F(EVP_sha256) F(EVP_sha384) F(EVP_sha512) F(EVP_Digest) F(HMAC)
VEK_SHARED_LIBRARY(VEK_LIBCRYPTO_SONAME, VEK_LIBCRYPTO_FUNCTIONS)

const EVP_MD* algorithm(DigestKind kind) {
    switch (kind) {
        case DigestKind::md5: return EVP_md5();
        case DigestKind::sha1: return EVP_sha1();
        case DigestKind::sha256: return EVP_sha256();
        case DigestKind::sha384: return EVP_sha384();
        case DigestKind::sha512: return EVP_sha512();
    }
    return nullptr;
}

// libcrypto may refuse a null pointer even with a length of 0: empty input
// is passed as this byte instead.
const uint8_t NOTHING = 0;

const uint8_t* address_of(std::span<const uint8_t> bytes) { return bytes.empty() ? &NOTHING : bytes.data(); }

// A result is kept only when libcrypto wrote exactly the kind's size.
std::optional<Digest> checked(const Digest& result, bool ok, DigestKind kind) {
    if (!ok || result.size != digest_size(kind)) return std::nullopt;
    return result;
}

}  // namespace

size_t digest_size(DigestKind kind) {
    switch (kind) {
        case DigestKind::md5: return 16;
        case DigestKind::sha1: return 20;
        case DigestKind::sha256: return 32;
        case DigestKind::sha384: return 48;
        case DigestKind::sha512: return 64;
    }
    return 0;
}

std::optional<Digest> digest(DigestKind kind, std::span<const uint8_t> data) {
    if (!library.available()) return std::nullopt;
    const EVP_MD* md = algorithm(kind);
    Digest result{};
    unsigned int size = 0;
    bool ok = md && EVP_Digest(address_of(data), data.size(), result.bytes.data(), &size, md, nullptr) == 1;
    result.size = size;
    return checked(result, ok, kind);
}

std::optional<Digest> hmac(DigestKind kind, std::span<const uint8_t> key, std::span<const uint8_t> data) {
    if (!library.available()) return std::nullopt;
    const EVP_MD* md = algorithm(kind);
    if (!md || key.size() > size_t(INT_MAX)) return std::nullopt;
    Digest result{};
    unsigned int size = 0;
    bool ok = HMAC(md, address_of(key), int(key.size()), address_of(data), data.size(), result.bytes.data(),
                   &size) != nullptr;
    result.size = size;
    return checked(result, ok, kind);
}

}  // namespace vek::platform
