#include "mzml/gzip_text.hpp"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <climits>

#include "mzml/deflate_objects.hpp"

namespace masscal::dm {

bool is_gzip(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f && static_cast<unsigned char>(bytes[1]) == 0x8b;
}

namespace {

// Every member inflated in one piece each. false whenever anything is not
// plainly right; the streaming reader below then says what.
bool gunzip_whole(std::string_view bytes, std::string& out) {
    libdeflate_decompressor* d = deflate_objects::decompressor();
    std::size_t at = 0;
    do {
        const std::string_view member = bytes.substr(at);
        // Header checksums are not checked by libdeflate; zlib does.
        constexpr unsigned char kHeaderCrc = 0x02;
        if (member.size() < 18 || (static_cast<unsigned char>(member[3]) & kHeaderCrc)) return false;
        // The last member ends with its size (modulo 4 GiB): the first guess
        // at each member's size, within reason for a broken or lying trailer.
        const auto* tail = reinterpret_cast<const unsigned char*>(bytes.data() + bytes.size() - 4);
        const std::size_t stated = tail[0] | (tail[1] << 8) | (tail[2] << 16) | (std::size_t{tail[3]} << 24);
        std::size_t guess = std::clamp<std::size_t>(stated, 1024, 16 * member.size() + 65536);
        const std::size_t start = out.size();
        for (;;) {
            out.resize(start + guess);
            std::size_t used = 0, made = 0;
            const libdeflate_result r = libdeflate_gzip_decompress_ex(d, member.data(), member.size(),
                                                                      out.data() + start, guess, &used, &made);
            if (r == LIBDEFLATE_SUCCESS) {
                out.resize(start + made);
                at += used;
                break;
            }
            if (r != LIBDEFLATE_INSUFFICIENT_SPACE || guess > out.max_size() / 4) return false;
            guess *= 2;
        }
        // Concatenated members are one text, as gzip reads them; other bytes
        // after the last member are ignored.
    } while (is_gzip(bytes.substr(at)));
    return true;
}

}  // namespace

bool gunzip_text(std::string_view bytes, std::string& out, std::string& why) {
    out.clear();
    if (gunzip_whole(bytes, out)) return true;
    out.clear();
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        why = "cannot start decompression";
        return false;
    }
    std::size_t at = 0;  // bytes handed to zlib and consumed
    char chunk[1 << 16];
    int status = Z_OK;
    while (at < bytes.size()) {
        const std::size_t take = std::min<std::size_t>(bytes.size() - at, UINT_MAX);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at));
        z.avail_in = static_cast<uInt>(take);
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
        at += take - z.avail_in;
        if (status == Z_STREAM_END) {
            // Concatenated members are one text, as gzip reads them; other
            // bytes after the last member are ignored.
            if (!is_gzip(bytes.substr(at))) break;
            inflateReset(&z);
            continue;
        }
        if (status != Z_OK && !(status == Z_BUF_ERROR && z.avail_out == 0)) {
            why = std::string("corrupt gzip data") + (z.msg ? std::string(" (") + z.msg + ")" : "");
            inflateEnd(&z);
            return false;
        }
        if (z.avail_in == 0 && z.avail_out != 0 && at >= bytes.size()) break;
    }
    // Output still held back when the input ran out.
    while (status == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
        if (status == Z_OK && z.avail_out != 0) break;
    }
    inflateEnd(&z);
    if (status != Z_STREAM_END) {
        why = "the gzip data end too early";
        return false;
    }
    return true;
}

bool gzip_text(std::string_view text, std::string& out, std::string& why) {
    libdeflate_compressor* c = deflate_objects::text_compressor();
    const std::size_t bound = libdeflate_gzip_compress_bound(c, text.size());
    out.resize(bound);
    const std::size_t packed = libdeflate_gzip_compress(c, text.data(), text.size(), out.data(), bound);
    out.resize(packed);
    if (packed == 0) {
        why = "compression failed";
        return false;
    }
    return true;
}

}  // namespace masscal::dm
