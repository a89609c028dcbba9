#include "mzml/gzip_text.hpp"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace masscal::dm {

bool is_gzip(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f && static_cast<unsigned char>(bytes[1]) == 0x8b;
}

bool gunzip_text(std::string_view bytes, std::string& out, std::string& why) {
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
    out.clear();
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        why = "cannot start compression";
        return false;
    }
    std::size_t at = 0;
    char chunk[1 << 16];
    int status = Z_OK;
    do {
        const std::size_t take = std::min<std::size_t>(text.size() - at, UINT_MAX);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + at));
        z.avail_in = static_cast<uInt>(take);
        const bool last = at + take == text.size();
        do {
            z.next_out = reinterpret_cast<Bytef*>(chunk);
            z.avail_out = sizeof chunk;
            status = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(chunk, sizeof chunk - z.avail_out);
        } while (z.avail_out == 0);
        at += take;
    } while (at < text.size());
    deflateEnd(&z);
    if (status != Z_STREAM_END) {
        why = "compression failed";
        return false;
    }
    return true;
}

}  // namespace masscal::dm
