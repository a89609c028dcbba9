// The fuzz input as a file of its own: one path per process, replaced by a
// rename so that every version has an identity of its own (and a cache
// keyed by identity holds one entry). Memory-backed when there is such a
// folder: a rename on a disk costs more than the readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace fuzzing {

inline char g_input_path[128];

// The path, made (and removed at exit) on the first call.
inline const char* input_path(const char* stem) {
    if (!g_input_path[0]) {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::snprintf(g_input_path, sizeof g_input_path, "%s/%s_%d.ini", dir, stem, static_cast<int>(getpid()));
        std::atexit([] { std::remove(g_input_path); });
    }
    return g_input_path;
}

// Puts the input at path; false when it cannot be written.
inline bool store_input(const char* path, const std::uint8_t* data, std::size_t size) {
    char temp[160];
    std::snprintf(temp, sizeof temp, "%s.new", path);
    std::FILE* f = std::fopen(temp, "wb");
    if (!f) return false;
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    return std::rename(temp, path) == 0;
}

}  // namespace fuzzing
