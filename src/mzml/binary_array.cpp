#include "mzml/binary_array.hpp"

#include <libdeflate.h>
#include <zlib.h>

#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "mzml/deflate_objects.hpp"

namespace masscal::dm {

// The numbers are stored little-endian and copied as they lie in memory.
static_assert(std::endian::native == std::endian::little);

namespace {

constexpr const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char kSkip = 0xFE;
constexpr unsigned char kBad = 0xFF;

constexpr std::array<unsigned char, 256> make_table() {
    std::array<unsigned char, 256> t{};
    for (auto& v : t) v = kBad;
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(kAlphabet[i])] = static_cast<unsigned char>(i);
    t[' '] = t['\n'] = t['\r'] = t['\t'] = kSkip;
    return t;
}
constexpr auto kTable = make_table();

// The four characters of a group, each looked up already shifted to where
// its six bits land in the three bytes (stored little-endian as one word);
// anything outside the alphabet sets bit 24.
constexpr std::uint32_t kNotAlphabet = 1u << 24;
struct GroupTables {
    std::array<std::uint32_t, 256> t[4];
};
constexpr GroupTables make_group_tables() {
    GroupTables g{};
    for (int c = 0; c < 256; ++c) {
        const std::uint32_t v = kTable[c];
        if (v >= 64) {
            for (auto& t : g.t) t[c] = kNotAlphabet;
            continue;
        }
        g.t[0][c] = v << 2;
        g.t[1][c] = (v >> 4) | ((v & 15) << 12);
        g.t[2][c] = ((v >> 2) << 8) | ((v & 3) << 22);
        g.t[3][c] = v << 16;
    }
    return g;
}
constexpr GroupTables kGroups = make_group_tables();

// Two characters for each 12 bits.
constexpr std::array<std::array<char, 2>, 4096> make_pairs() {
    std::array<std::array<char, 2>, 4096> p{};
    for (int i = 0; i < 4096; ++i) p[i] = {kAlphabet[i >> 6], kAlphabet[i & 63]};
    return p;
}
constexpr auto kPairs = make_pairs();

// Room for the bytes of text, plus one: whole groups are stored four bytes
// at a time.
std::size_t decoded_room(std::size_t textSize) { return textSize / 4 * 3 + 4; }

// Decodes text into dst (decoded_room bytes); the byte count, or -1 when the
// text is not base64.
std::ptrdiff_t decode_base64(std::string_view text, unsigned char* dst) {
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    unsigned char* o = dst;
    std::size_t i = 0;
    std::uint32_t acc = 0;
    int bits = 0;
    std::size_t pad = 0;
    for (;;) {
        if (bits == 0 && pad == 0) {
            while (n - i >= 4) {
                const std::uint32_t w = kGroups.t[0][s[i]] | kGroups.t[1][s[i + 1]] | kGroups.t[2][s[i + 2]] |
                                        kGroups.t[3][s[i + 3]];
                if (w & kNotAlphabet) break;
                std::memcpy(o, &w, 4);
                o += 3;
                i += 4;
            }
        }
        if (i == n) break;
        // Whitespace, padding, a group cut by either, or junk: one at a time.
        const unsigned char c = s[i++];
        if (c == '=') {
            ++pad;
            continue;
        }
        const unsigned char v = kTable[c];
        if (v == kSkip) continue;
        if (v == kBad || pad) return -1;  // nothing but padding may follow padding
        acc = (acc << 6) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            *o++ = static_cast<unsigned char>(acc >> bits);
        }
    }
    // Leftover bits must be the zero fill of a final partial group.
    if (bits >= 6 || pad > 2) return -1;
    return o - dst;
}

// Grows v to at least n bytes; never shrinks, so a buffer reused for
// smaller arrays is not cleared again.
unsigned char* room(std::vector<unsigned char>& v, std::size_t n) {
    if (v.size() < n) v.resize(n);
    return v.data();
}

std::size_t width_of(NumberType t) { return (t == NumberType::Float32 || t == NumberType::Int32) ? 4 : 8; }

// Inflates with zlib into bytes (want + 1 long), giving the messages
// readers have always shown; used where the fast path did not end with
// exactly want bytes.
bool zlib_inflate(const unsigned char* raw, std::size_t rawSize, std::size_t want, std::vector<unsigned char>& bytes,
                  std::string& error) {
    bytes.assign(want + 1, 0);  // one spare byte shows data longer than declared
    uLongf outLen = static_cast<uLongf>(bytes.size());
    const int rc = uncompress(bytes.data(), &outLen, raw, static_cast<uLong>(rawSize));
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
    return true;
}

template <class Out>
void convert(const unsigned char* p, NumberType type, std::size_t count, Out* out) {
    switch (type) {
        case NumberType::Float32:
            if constexpr (sizeof(Out) == 4) {
                std::memcpy(out, p, 4 * count);
                break;
            }
            for (std::size_t i = 0; i < count; ++i) {
                float v;
                std::memcpy(&v, p + 4 * i, 4);
                out[i] = static_cast<Out>(v);
            }
            break;
        case NumberType::Float64:
            if constexpr (sizeof(Out) == 8) {
                std::memcpy(out, p, 8 * count);
                break;
            }
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
}

}  // namespace

// Decodes the base64 into raw_ and checks the declared length against it:
// the byte count the array must have (raw_ holds it unless compressed).
bool ArrayCodec::unpack(std::string_view base64, bool zlib, NumberType type, std::size_t count, std::size_t& want,
                        std::string& error) {
    const std::ptrdiff_t n = decode_base64(base64, room(raw_, decoded_room(base64.size())));
    if (n < 0) {
        error = "the binary data is not valid base64";
        return false;
    }
    rawSize_ = static_cast<std::size_t>(n);
    const std::size_t width = width_of(type);
    if (count > SIZE_MAX / width) {
        error = "the array length is too large";
        return false;
    }
    want = count * width;
    if (!zlib) {
        if (rawSize_ != want) {
            error = "the binary data holds " + std::to_string(rawSize_) + " bytes where " + std::to_string(want) +
                    " were expected";
            return false;
        }
        return true;
    }
    // deflate cannot expand data by more than about 1032:1; a larger claim is
    // a broken length, not a reason to allocate gigabytes.
    if (want / 1032 > rawSize_ + 64 || want > ULONG_MAX) {
        error = "the array length does not fit the compressed data";
        return false;
    }
    return true;
}

// Inflates raw_ into exactly want bytes at dst.
bool ArrayCodec::inflate(std::size_t want, unsigned char* dst, std::string& error) {
    std::size_t got = 0;
    if (libdeflate_zlib_decompress(deflate_objects::decompressor(), raw_.data(), rawSize_, dst, want, &got) ==
            LIBDEFLATE_SUCCESS &&
        got == want)
        return true;
    std::vector<unsigned char> slow;
    if (!zlib_inflate(raw_.data(), rawSize_, want, slow, error)) return false;
    std::memcpy(dst, slow.data(), want);
    return true;
}

template <class Out>
bool ArrayCodec::decode_into(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                             std::vector<Out>& out, std::string& error) {
    std::size_t want = 0;
    if (!unpack(base64, zlib, type, count, want, error)) return false;
    const unsigned char* bytes = raw_.data();
    if (zlib) {
        // Floats of out's own width inflate straight into out.
        if (count > 0 && (sizeof(Out) == 8 ? type == NumberType::Float64 : type == NumberType::Float32)) {
            out.resize(count);
            return inflate(want, reinterpret_cast<unsigned char*>(out.data()), error);
        }
        unsigned char* dst = room(bytes_, want);
        if (!inflate(want, dst, error)) return false;
        bytes = bytes_.data();
    }
    out.resize(count);
    if (count) convert(bytes, type, count, out.data());
    return true;
}

bool ArrayCodec::decode(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                        std::vector<double>& out, std::string& error) {
    return decode_into(base64, zlib, type, count, out, error);
}

bool ArrayCodec::decode(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                        std::vector<float>& out, std::string& error) {
    return decode_into(base64, zlib, type, count, out, error);
}

bool ArrayCodec::encode_append(std::span<const double> values, bool zlib, std::string& out, std::string& error) {
    if (values.size() > SIZE_MAX / 8) {
        error = "the array is too large";
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(values.data());
    const std::size_t size = values.size() * 8;
    if (!zlib) {
        base64_encode_append(bytes, size, out);
        return true;
    }
    if (size > ULONG_MAX / 2) {
        error = "the array is too large to compress";
        return false;
    }
    libdeflate_compressor* c = deflate_objects::array_compressor();
    const std::size_t bound = libdeflate_zlib_compress_bound(c, size);
    const std::size_t packed = libdeflate_zlib_compress(c, bytes, size, room(bytes_, bound), bound);
    if (packed == 0) {
        error = "the array cannot be compressed";
        return false;
    }
    base64_encode_append(bytes_.data(), packed, out);
    return true;
}

bool base64_decode(std::string_view text, std::vector<unsigned char>& out) {
    out.resize(decoded_room(text.size()));
    const std::ptrdiff_t n = decode_base64(text, out.data());
    out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
    return n >= 0;
}

void base64_encode_append(const unsigned char* p, std::size_t n, std::string& out) {
    const std::size_t at = out.size();
    out.resize(at + (n + 2) / 3 * 4);
    char* o = out.data() + at;
    std::size_t i = 0;
    for (; n - i >= 3; i += 3, o += 4) {
        const std::uint32_t v = (std::uint32_t{p[i]} << 16) | (std::uint32_t{p[i + 1]} << 8) | p[i + 2];
        std::memcpy(o, kPairs[v >> 12].data(), 2);
        std::memcpy(o + 2, kPairs[v & 0xFFF].data(), 2);
    }
    if (i < n) {
        const bool two = n - i == 2;
        const std::uint32_t v = (std::uint32_t{p[i]} << 16) | (two ? std::uint32_t{p[i + 1]} << 8 : 0u);
        const char group[4] = {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], two ? kAlphabet[(v >> 6) & 63] : '=',
                               '='};
        std::memcpy(o, group, 4);
    }
}

std::string base64_encode(const unsigned char* p, std::size_t n) {
    std::string out;
    base64_encode_append(p, n, out);
    return out;
}

bool encode_double_array(const std::vector<double>& values, bool zlib, std::string& out, std::string& error) {
    ArrayCodec codec;
    std::string text;
    if (!codec.encode_append(values, zlib, text, error)) return false;
    out = std::move(text);
    return true;
}

bool decode_number_array(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                         std::vector<double>& out, std::string& error) {
    return ArrayCodec().decode(base64, zlib, type, count, out, error);
}

bool decode_float_array(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                        std::vector<float>& out, std::string& error) {
    return ArrayCodec().decode(base64, zlib, type, count, out, error);
}

}  // namespace masscal::dm
