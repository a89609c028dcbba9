// The number-array codec and whole-text gzip beneath the mzML reader and
// writer.
#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "mzml/binary_array.hpp"
#include "mzml/gzip_text.hpp"
#include "support/test_files.hpp"

namespace {

namespace dm = masscal::dm;
using dm::NumberType;

std::vector<unsigned char> bytes_of(const std::vector<double>& v) {
    std::vector<unsigned char> b(v.size() * 8);
    if (!v.empty()) std::memcpy(b.data(), v.data(), b.size());
    return b;
}

std::string zlib_text(const std::vector<unsigned char>& bytes) {
    const auto packed = testfiles::deflate(bytes);
    return testfiles::base64(packed.data(), packed.size());
}

TEST(Base64, GroupsCutByWhitespaceOrPaddingDecodeAsWhole) {
    struct Case {
        const char* text;
        const char* bytes;  // nullptr: refused
    } cases[] = {
        {"TWFuTWFu", "ManMan"},
        {"T WFu\tTWFu", "ManMan"},
        {"TWFuTW\r\nFuTWE=", "ManManMa"},
        {"TWFuTWE= \n", "ManMa"},
        {"TWFuTWE", "ManMa"},
        {"TWFuTQ==TWFu", nullptr},
        {"TWFuTW=u", nullptr},
        {"TWFuT.Fu", nullptr},
        {"TWFuTWFuT", nullptr},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> out;
        const bool ok = dm::base64_decode(c.text, out);
        EXPECT_EQ(ok, c.bytes != nullptr) << c.text;
        if (ok && c.bytes) {
            EXPECT_EQ(std::string(out.begin(), out.end()), c.bytes) << c.text;
        }
    }
}

// One codec through arrays of every size order, type and compression:
// reused buffers never leak one array into the next.
TEST(ArrayCodec, ReusedForArrayAfterArrayGivesEachItsValues) {
    dm::ArrayCodec codec;
    std::string error;
    for (std::size_t n : {5000u, 3u, 0u, 700u, 1u, 5000u}) {
        std::vector<double> v(n);
        for (std::size_t i = 0; i < n; ++i) v[i] = 100.0 + 0.37 * static_cast<double>(i * i % 997);
        for (bool zlib : {false, true}) {
            std::string text = "<binary>";
            ASSERT_TRUE(codec.encode_append(v, zlib, text, error)) << error;
            std::string alone;
            ASSERT_TRUE(dm::encode_double_array(v, zlib, alone, error));
            EXPECT_EQ(text, "<binary>" + alone);
            const std::string_view encoded = std::string_view(text).substr(8);
            std::vector<double> back(3, -1.0);
            ASSERT_TRUE(codec.decode(encoded, zlib, NumberType::Float64, n, back, error)) << error;
            EXPECT_EQ(back, v);
            std::vector<float> floats;
            ASSERT_TRUE(codec.decode(encoded, zlib, NumberType::Float64, n, floats, error)) << error;
            EXPECT_EQ(floats, std::vector<float>(v.begin(), v.end()));
        }
    }
}

TEST(ArrayCodec, CompressedArraysOfTheWrongLengthSayHow) {
    const std::vector<double> five = {1, 2, 3, 4, 5};
    const std::string good = zlib_text(bytes_of(five));
    auto packed = testfiles::deflate(bytes_of(five));
    packed.back() ^= 1;  // the checksum
    const std::string badSum = testfiles::base64(packed.data(), packed.size());
    packed = testfiles::deflate(bytes_of(five));
    packed.resize(packed.size() - 6);
    const std::string cut = testfiles::base64(packed.data(), packed.size());
    struct Case {
        std::string text;
        NumberType type;
        std::size_t count;
        const char* error;  // nullptr: decodes
    } cases[] = {
        {good, NumberType::Float64, 5, nullptr},
        {good, NumberType::Float32, 10, nullptr},
        {good, NumberType::Float64, 4, "the inflated data is longer than the 32 bytes declared"},
        {good, NumberType::Float64, 6, "the inflated data holds 40 bytes where 48 were expected"},
        {good, NumberType::Int32, 11, "the inflated data holds 40 bytes where 44 were expected"},
        {badSum, NumberType::Float64, 5, "the compressed data cannot be inflated"},
        {cut, NumberType::Float64, 5, "the compressed data cannot be inflated"},
        {good + "!", NumberType::Float64, 5, "the binary data is not valid base64"},
    };
    dm::ArrayCodec codec;
    for (const Case& c : cases) {
        std::vector<double> out;
        std::string error;
        const bool ok = codec.decode(c.text, true, c.type, c.count, out, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.count;
        if (c.error) {
            EXPECT_EQ(error, c.error);
        }
        // The plain functions say the same.
        std::string plain;
        EXPECT_EQ(dm::decode_number_array(c.text, true, c.type, c.count, out, plain), ok);
        EXPECT_EQ(plain, error);
    }
    std::vector<double> out;
    std::string error;
    ASSERT_TRUE(codec.decode(good, true, NumberType::Float64, 5, out, error));
    EXPECT_EQ(out, five);
}

std::string gzip_member(const std::string& text) {
    std::string out, why;
    EXPECT_TRUE(dm::gzip_text(text, out, why)) << why;
    return out;
}

TEST(Gzip, MembersJoinAndBrokenDataSayWhy) {
    const std::string big(300000, 'x');
    const std::string one = gzip_member("<mzML>\n"), two = gzip_member(big);
    std::string lying = one;
    lying[lying.size() - 4] = '\x7f';  // the stated size
    lying[lying.size() - 1] = '\x7f';
    std::string headerSum = one;  // flagged header checksum, and a wrong one
    headerSum[3] = '\x02';
    headerSum.insert(10, "\x01\x02");
    struct Case {
        std::string packed;
        const char* text;  // nullptr: the two members' text, or refused
        const char* why;
    } cases[] = {
        {one + two, nullptr, nullptr},
        {one + two + std::string("\0\0junk", 6), nullptr, nullptr},
        {gzip_member(""), "", nullptr},
        {one.substr(0, one.size() - 1), nullptr, "the gzip data end too early"},
        {lying, nullptr, "corrupt gzip data (incorrect length check)"},
        {one + two.substr(0, 30), nullptr, "the gzip data end too early"},
        {headerSum, nullptr, "corrupt gzip data (header crc mismatch)"},
        {"", nullptr, "the gzip data end too early"},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        std::string out, why;
        const bool ok = dm::gunzip_text(c.packed, out, why);
        EXPECT_EQ(ok, c.why == nullptr) << i << ": " << why;
        if (!ok) {
            EXPECT_EQ(why, c.why ? c.why : "") << i;
            continue;
        }
        EXPECT_EQ(out, c.text ? std::string(c.text) : "<mzML>\n" + big) << i;
    }
}

}  // namespace
