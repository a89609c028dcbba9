// A checksum sidecar's text against a small file: only the file's own CRC-32
// in eight hex digits (and a line end) passes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "suite/fileaccess/file_checksum.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static char path[128];
    static std::string sidecar;
    static const char kContent[] = "230.9 100\n";
    if (!path[0]) {
        std::snprintf(path, sizeof path, "/tmp/fuzz_checksum_%d.ref", static_cast<int>(getpid()));
        std::FILE* f = std::fopen(path, "wb");
        if (!f) return 0;
        std::fputs(kContent, f);
        std::fclose(f);
        sidecar = ChecksumSidecarPath(path);
        std::atexit([] {
            std::remove(path);
            std::remove(sidecar.c_str());
        });
    }
    std::FILE* f = std::fopen(sidecar.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    const int ok = CheckFileChecksum(path);
    // What passes must name the file's checksum.
    char want[9];
    std::snprintf(want, sizeof want, "%08x", Crc32(kContent, sizeof kContent - 1));
    if (ok) {
        std::string got(reinterpret_cast<const char*>(data), size);
        got.erase(0, got.find_first_not_of(" \t"));
        got.resize(8);
        std::string lower;
        for (char c : got) lower += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
        if (lower != want) __builtin_trap();
    }
    return 0;
}
