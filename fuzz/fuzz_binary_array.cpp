// Number arrays and gzip texts: the first byte picks what the rest is.
// Array bytes are decoded as base64 text and, base64-encoded first, as
// compressed data; what is accepted must be what zlib and the plain
// one-character-at-a-time base64 reading accept, with the same bytes.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "mzml/binary_array.hpp"
#include "mzml/gzip_text.hpp"

namespace {

namespace dm = masscal::dm;

// The reading the table-driven decoder must agree with.
bool plain_base64(std::string_view text, std::vector<unsigned char>& out) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    out.clear();
    std::uint32_t acc = 0;
    int bits = 0, pad = 0;
    for (char c : text) {
        if (c == '=') {
            ++pad;
            continue;
        }
        if (c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        const std::size_t v = alphabet.find(c);
        if (v == std::string::npos || pad) return false;
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>(acc >> bits));
        }
    }
    return bits < 6 && pad <= 2;
}

// The bytes zlib inflates from raw when they are exactly want long.
bool zlib_exact(const std::vector<unsigned char>& raw, std::size_t want, std::vector<unsigned char>& out) {
    out.assign(want + 1, 0);
    uLongf n = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &n, raw.data(), static_cast<uLong>(raw.size())) != Z_OK || n != want) return false;
    out.resize(want);
    return true;
}

void arrays(std::string_view rest, unsigned pick) {
    std::vector<unsigned char> plain, fast;
    const bool good = plain_base64(rest, plain);
    if (dm::base64_decode(rest, fast) != good || (good && fast != plain)) __builtin_trap();

    // The bytes as compressed data, declared as long as zlib finds them or
    // one number longer or shorter.
    const std::vector<unsigned char> raw(rest.begin(), rest.end());
    const std::string text = dm::base64_encode(raw.data(), raw.size());
    std::vector<unsigned char> found(1 << 16);
    uLongf n = static_cast<uLongf>(found.size());
    const bool stream = uncompress(found.data(), &n, raw.data(), static_cast<uLong>(raw.size())) == Z_OK;
    const bool wide = pick & 4;
    const std::size_t width = wide ? 8 : 4;
    std::size_t count = stream ? n / width : raw.size();
    if (pick & 8) ++count;
    else if ((pick & 16) && count) --count;
    std::vector<unsigned char> expected;
    const bool inflates = zlib_exact(raw, count * width, expected);

    dm::ArrayCodec codec;
    std::string error;
    std::vector<double> values;
    bool decoded;
    if (wide) {
        decoded = codec.decode(text, true, dm::NumberType::Float64, count, values, error);
        if (decoded && std::memcmp(values.data(), expected.data(), expected.size()) != 0) __builtin_trap();
    } else {
        std::vector<float> floats;
        decoded = codec.decode(text, true, dm::NumberType::Float32, count, floats, error);
        if (decoded && std::memcmp(floats.data(), expected.data(), expected.size()) != 0) __builtin_trap();
        values.assign(floats.begin(), floats.end());
    }
    if (decoded != inflates || (!decoded && error.empty())) __builtin_trap();
    std::vector<float> converted;
    if (codec.decode(text, true, wide ? dm::NumberType::Int64 : dm::NumberType::Int32, count, converted, error) !=
        inflates)
        __builtin_trap();
    if (!inflates) return;
    // Written again, the same values come back.
    std::string again = "<";
    if (!codec.encode_append(values, pick & 1, again, error) || again[0] != '<') __builtin_trap();
    std::vector<double> back;
    if (!codec.decode(std::string_view(again).substr(1), pick & 1, dm::NumberType::Float64, values.size(), back,
                      error) ||
        std::memcmp(back.data(), values.data(), 8 * values.size()) != 0)
        __builtin_trap();
}

void gzip(std::string_view rest) {
    std::string out, why;
    if (!dm::gunzip_text(rest, out, why) && why.empty()) __builtin_trap();
    std::string packed;
    if (!dm::gzip_text(rest, packed, why) || !dm::gunzip_text(packed, out, why) || out != rest) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 2)
        gzip(rest);
    else
        arrays(rest, data[0]);
    return 0;
}
