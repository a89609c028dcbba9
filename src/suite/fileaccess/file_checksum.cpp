#include "suite/fileaccess/file_checksum.hpp"

#include <array>
#include <cstdio>
#include <string_view>

#include "suite/fileaccess/file_io.hpp"

namespace {

constexpr std::array<std::uint32_t, 256> make_table() {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        t[i] = c;
    }
    return t;
}

constexpr std::array<std::uint32_t, 256> kTable = make_table();

bool file_crc(const char* path, std::uint32_t* crc) {
    const FileHandleS h = CreateFileS(path);
    if (h == kInvalidFileHandleS) return false;
    std::uint32_t c = 0;
    bool ok = true;
    char chunk[65536];
    for (;;) {
        std::size_t got = 0;
        if (!ReadFileS(h, chunk, sizeof chunk, &got)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        c = Crc32(chunk, got, c);
    }
    CloseHandleS(h);
    *crc = c;
    return ok;
}

int hex_value(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

}  // namespace

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t crc) {
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) crc = kTable[(crc ^ p[i]) & 0xFFu] ^ (crc >> 8);
    return ~crc;
}

std::string ChecksumSidecarPath(const char* path) { return std::string(path ? path : "") + ".crc"; }

int CheckFileChecksum(const char* path) {
    if (!path || !*path) return 0;
    std::string side;
    if (!masscal::suite::ReadFileContents(ChecksumSidecarPath(path).c_str(), &side, 256)) return 0;
    std::string_view s = side;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    if (s.size() < 8) return 0;
    std::uint32_t want = 0;
    for (int i = 0; i < 8; ++i) {
        const int v = hex_value(s[static_cast<std::size_t>(i)]);
        if (v < 0) return 0;
        want = (want << 4) | static_cast<std::uint32_t>(v);
    }
    if (s.size() > 8 && hex_value(s[8]) >= 0) return 0;  // not eight digits
    std::uint32_t have = 0;
    return file_crc(path, &have) && have == want ? 1 : 0;
}

int WriteFileChecksum(const char* path) {
    std::uint32_t crc = 0;
    if (!path || !*path || !file_crc(path, &crc)) return 0;
    char text[16];
    std::snprintf(text, sizeof text, "%08x\n", static_cast<unsigned>(crc));
    return masscal::suite::ReplaceFileContents(ChecksumSidecarPath(path).c_str(), text, 9);
}
