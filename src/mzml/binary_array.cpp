#include "mzml/binary_array.hpp"

#include <zlib.h>

#include <array>
#include <climits>
#include <cmath>
#include <cstring>

namespace masscal::dm {
namespace {

constexpr unsigned char kSkip = 0xFE;
constexpr unsigned char kBad = 0xFF;

constexpr std::array<unsigned char, 256> make_table() {
    std::array<unsigned char, 256> t{};
    for (auto& v : t) v = kBad;
    const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = static_cast<unsigned char>(i);
    t[' '] = t['\n'] = t['\r'] = t['\t'] = kSkip;
    return t;
}
constexpr auto kTable = make_table();

std::size_t width_of(NumberType t) { return (t == NumberType::Float32 || t == NumberType::Int32) ? 4 : 8; }

// Raw bytes of the array, inflated when needed, exactly count * width long.
bool array_bytes(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                 std::vector<unsigned char>& bytes, std::string& error) {
    std::vector<unsigned char> raw;
    if (!base64_decode(base64, raw)) {
        error = "the binary data is not valid base64";
        return false;
    }
    const std::size_t width = width_of(type);
    if (count > SIZE_MAX / width) {
        error = "the array length is too large";
        return false;
    }
    const std::size_t want = count * width;
    if (!zlib) {
        if (raw.size() != want) {
            error = "the binary data holds " + std::to_string(raw.size()) + " bytes where " + std::to_string(want) +
                    " were expected";
            return false;
        }
        bytes = std::move(raw);
        return true;
    }
    // deflate cannot expand data by more than about 1032:1; a larger claim is
    // a broken length, not a reason to allocate gigabytes.
    if (want / 1032 > raw.size() + 64 || want > ULONG_MAX) {
        error = "the array length does not fit the compressed data";
        return false;
    }
    bytes.assign(want + 1, 0);  // one spare byte shows data longer than declared
    uLongf outLen = static_cast<uLongf>(bytes.size());
    const int rc = uncompress(bytes.data(), &outLen, raw.data(), static_cast<uLong>(raw.size()));
    if (rc == Z_BUF_ERROR || (rc == Z_OK && outLen > want)) {
        error = "the inflated data is longer than the " + std::to_string(want) + " bytes declared";
        return false;
    }
    if (rc != Z_OK) {
        error = "the compressed data cannot be inflated";
        return false;
    }
    if (outLen != want) {
        error = "the inflated data holds " + std::to_string(outLen) + " bytes where " + std::to_string(want) +
                " were expected";
        return false;
    }
    bytes.resize(want);
    return true;
}

template <class Out>
bool decode_into(std::string_view base64, bool zlib, NumberType type, std::size_t count, std::vector<Out>& out,
                 std::string& error) {
    std::vector<unsigned char> bytes;
    if (!array_bytes(base64, zlib, type, count, bytes, error)) return false;
    out.resize(count);
    const unsigned char* p = bytes.data();
    switch (type) {
        case NumberType::Float32:
            for (std::size_t i = 0; i < count; ++i) {
                float v;
                std::memcpy(&v, p + 4 * i, 4);
                out[i] = static_cast<Out>(v);
            }
            break;
        case NumberType::Float64:
            for (std::size_t i = 0; i < count; ++i) {
                double v;
                std::memcpy(&v, p + 8 * i, 8);
                // Too large for a float: infinity, which readers refuse.
                if (sizeof(Out) == 4 && std::fabs(v) > 3.4028234663852886e38 && std::isfinite(v))
                    v = v > 0 ? HUGE_VAL : -HUGE_VAL;
                out[i] = static_cast<Out>(v);
            }
            break;
        case NumberType::Int32:
            for (std::size_t i = 0; i < count; ++i) {
                std::int32_t v;
                std::memcpy(&v, p + 4 * i, 4);
                out[i] = static_cast<Out>(v);
            }
            break;
        case NumberType::Int64:
            for (std::size_t i = 0; i < count; ++i) {
                std::int64_t v;
                std::memcpy(&v, p + 8 * i, 8);
                out[i] = static_cast<Out>(v);
            }
            break;
    }
    return true;
}

}  // namespace

bool base64_decode(std::string_view text, std::vector<unsigned char>& out) {
    out.clear();
    out.reserve(text.size() / 4 * 3 + 3);
    std::uint32_t acc = 0;
    int bits = 0;
    std::size_t pad = 0;
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c == '=') {
            ++pad;
            continue;
        }
        const unsigned char v = kTable[c];
        if (v == kSkip) continue;
        if (v == kBad || pad) return false;  // nothing but padding may follow padding
        acc = (acc << 6) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>(acc >> bits));
        }
    }
    // Leftover bits must be the zero fill of a final partial group.
    if (bits >= 6 || pad > 2) return false;
    return true;
}

std::string base64_encode(const unsigned char* p, std::size_t n) {
    static const char* a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((n + 2) / 3 * 4);
    std::size_t i = 0;
    for (; n - i >= 3; i += 3) {
        const std::uint32_t v = (std::uint32_t{p[i]} << 16) | (std::uint32_t{p[i + 1]} << 8) | p[i + 2];
        const char group[4] = {a[v >> 18], a[(v >> 12) & 63], a[(v >> 6) & 63], a[v & 63]};
        out.append(group, 4);
    }
    if (i < n) {
        const bool two = n - i == 2;
        const std::uint32_t v = (std::uint32_t{p[i]} << 16) | (two ? std::uint32_t{p[i + 1]} << 8 : 0u);
        const char group[4] = {a[v >> 18], a[(v >> 12) & 63], two ? a[(v >> 6) & 63] : '=', '='};
        out.append(group, 4);
    }
    return out;
}

bool encode_double_array(const std::vector<double>& values, bool zlib, std::string& out, std::string& error) {
    if (values.size() > SIZE_MAX / 8) {
        error = "the array is too large";
        return false;
    }
    std::vector<unsigned char> bytes(values.size() * 8);
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    if (!zlib) {
        out = base64_encode(bytes.data(), bytes.size());
        return true;
    }
    if (bytes.size() > ULONG_MAX / 2) {
        error = "the array is too large to compress";
        return false;
    }
    uLongf packedLen = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<unsigned char> packed(packedLen);
    if (compress2(packed.data(), &packedLen, bytes.data(), static_cast<uLong>(bytes.size()), Z_DEFAULT_COMPRESSION) !=
        Z_OK) {
        error = "the array cannot be compressed";
        return false;
    }
    out = base64_encode(packed.data(), packedLen);
    return true;
}

bool decode_number_array(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                         std::vector<double>& out, std::string& error) {
    return decode_into(base64, zlib, type, count, out, error);
}

bool decode_float_array(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                        std::vector<float>& out, std::string& error) {
    return decode_into(base64, zlib, type, count, out, error);
}

}  // namespace masscal::dm
