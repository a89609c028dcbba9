// SHA-1 digests (checksums of written documents, not a security measure).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct evp_md_ctx_st;  // the system library's digest context

namespace masscal::suite {

class Sha1 {
public:
    Sha1();  // std::bad_alloc when no context can be had
    ~Sha1();
    Sha1(const Sha1&) = delete;
    Sha1& operator=(const Sha1&) = delete;
    void update(const void* data, std::size_t size);
    // The digest of everything given; the object is spent afterwards.
    std::array<std::uint8_t, 20> finish();

private:
    ::evp_md_ctx_st* ctx_;
};

// The digest of data as 40 lower-case hex digits.
std::string sha1_hex(std::string_view data);

}  // namespace masscal::suite
