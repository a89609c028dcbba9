// Decoding and encoding of the base64 (optionally zlib-compressed) number
// arrays of data files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace masscal::dm {

// Decodes base64 text (whitespace ignored) into out; false on a character
// outside the alphabet or bad padding.
bool base64_decode(std::string_view text, std::vector<unsigned char>& out);

enum class NumberType { Float32, Float64, Int32, Int64 };

// Decodes count little-endian numbers of type from the base64 text,
// inflating first when zlib is set. false with a message on any mismatch.
bool decode_number_array(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                         std::vector<double>& out, std::string& error);

// The same into floats (masses and intensities are kept as 32-bit floats).
bool decode_float_array(std::string_view base64, bool zlib, NumberType type, std::size_t count,
                        std::vector<float>& out, std::string& error);

// Base64 text of the bytes (with padding, no line breaks).
std::string base64_encode(const unsigned char* data, std::size_t size);
// The same appended to out.
void base64_encode_append(const unsigned char* data, std::size_t size, std::string& out);

// The base64 text of values as little-endian 64-bit floats, deflated first
// when zlib is set (a zlib stream). false with a message when it cannot be
// made.
bool encode_double_array(const std::vector<double>& values, bool zlib, std::string& out, std::string& error);

// The functions above for one array after another: a reader or writer keeps
// one codec and, once its buffers have grown to the largest array, decodes
// and encodes without allocating (out's capacity is reused as well). One
// thread at a time. On failure out holds no meaningful values.
class ArrayCodec {
public:
    bool decode(std::string_view base64, bool zlib, NumberType type, std::size_t count, std::vector<double>& out,
                std::string& error);
    bool decode(std::string_view base64, bool zlib, NumberType type, std::size_t count, std::vector<float>& out,
                std::string& error);
    // Appends the text encode_double_array makes to out; on failure out is
    // as it was.
    bool encode_append(std::span<const double> values, bool zlib, std::string& out, std::string& error);

private:
    template <class Out>
    bool decode_into(std::string_view base64, bool zlib, NumberType type, std::size_t count, std::vector<Out>& out,
                     std::string& error);
    bool unpack(std::string_view base64, bool zlib, NumberType type, std::size_t count, std::size_t& want,
                std::string& error);
    bool inflate(std::size_t want, unsigned char* dst, std::string& error);

    std::vector<unsigned char> raw_;    // the base64 decoded (rawSize_ bytes of it)
    std::size_t rawSize_ = 0;
    std::vector<unsigned char> bytes_;  // inflated, or deflated to be written
};

}  // namespace masscal::dm
