#include "suite/utility/sha1.hpp"

#include <openssl/evp.h>

#include <new>

namespace masscal::suite {

// The system's implementation uses the processor's SHA instructions where
// there are any: a checksum over a whole copied run costs little next to
// copying it.
Sha1::Sha1() : ctx_(EVP_MD_CTX_new()) {
    if (!ctx_ || EVP_DigestInit_ex(ctx_, EVP_sha1(), nullptr) != 1) {
        EVP_MD_CTX_free(ctx_);
        throw std::bad_alloc();
    }
}

Sha1::~Sha1() { EVP_MD_CTX_free(ctx_); }

void Sha1::update(const void* data, std::size_t size) {
    if (size) EVP_DigestUpdate(ctx_, data, size);
}

std::array<std::uint8_t, 20> Sha1::finish() {
    std::array<std::uint8_t, 20> out{};
    unsigned int n = 0;
    EVP_DigestFinal_ex(ctx_, out.data(), &n);
    return out;
}

std::string sha1_hex(std::string_view data) {
    Sha1 s;
    s.update(data.data(), data.size());
    const auto digest = s.finish();
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(40);
    for (std::uint8_t b : digest) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

}  // namespace masscal::suite
