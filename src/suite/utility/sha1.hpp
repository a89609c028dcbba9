// SHA-1 digests (checksums of written documents, not a security measure).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace masscal::suite {

class Sha1 {
public:
    Sha1();
    void update(const void* data, std::size_t size);
    // The digest of everything given; the object is spent afterwards.
    std::array<std::uint8_t, 20> finish();

private:
    void block(const std::uint8_t* p);

    std::uint32_t h_[5];
    std::uint8_t buffer_[64];
    std::size_t used_ = 0;
    std::uint64_t total_ = 0;  // bytes
};

// The digest of data as 40 lower-case hex digits.
std::string sha1_hex(std::string_view data);

}  // namespace masscal::suite
