#include "suite/fileaccess/file_io.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "suite/fileaccess/file_identity.hpp"
#include "suite/fileaccess/profile_engine.hpp"

FileHandleS CreateFileS(const char* path) {
    if (!path || !*path) return kInvalidFileHandleS;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return kInvalidFileHandleS;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return kInvalidFileHandleS;
    }
    return fd;
}

std::int64_t GetFileSizeS(FileHandleS h) {
    struct stat st;
    if (h < 0 || ::fstat(h, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

int ReadFileS(FileHandleS h, void* buf, std::size_t size, std::size_t* read) {
    if (read) *read = 0;
    if (h < 0 || (!buf && size > 0)) return 0;
    auto* p = static_cast<char*>(buf);
    std::size_t got = 0;
    while (got < size) {
        const ssize_t r = ::read(h, p + got, size - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    if (read) *read = got;
    return 1;
}

int CloseHandleS(FileHandleS h) { return h >= 0 && ::close(h) == 0 ? 1 : 0; }

namespace masscal::suite {

bool ReadFileContents(const char* path, std::string* out, std::size_t limit) {
    out->clear();
    const FileHandleS h = CreateFileS(path);
    if (h == kInvalidFileHandleS) return false;
    bool ok = true;
    char chunk[65536];
    while (out->size() < limit) {
        const std::size_t want = limit - out->size() < sizeof chunk ? limit - out->size() : sizeof chunk;
        std::size_t got = 0;
        if (!ReadFileS(h, chunk, want, &got)) {
            ok = false;
            break;
        }
        out->append(chunk, got);
        if (got < want) break;
    }
    CloseHandleS(h);
    return ok;
}

int ReplaceFileContents(const char* path, const void* data, std::size_t size) {
    if (!path || !*path || (!data && size > 0)) return 0;
    const bool ok = fs::replace_file(path, std::string_view(static_cast<const char*>(data), size), nullptr);
    profile::forget(path);
    return ok ? 1 : 0;
}

}  // namespace masscal::suite
