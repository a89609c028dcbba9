#include "mzml/byte_source.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace masscal::dm {
namespace {

class FileSource final : public ByteSource {
public:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    ~FileSource() override { ::close(fd_); }
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, std::size_t n, std::string& out) const override {
        out.clear();
        if (offset >= size_) return true;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - offset));
        out.resize(n);
        std::size_t got = 0;
        while (got < n) {
            const ssize_t r = ::pread(fd_, out.data() + got, n - got, static_cast<off_t>(offset + got));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return false;
            if (r == 0) break;  // shrank under us; the caller sees a short read
            got += static_cast<std::size_t>(r);
        }
        out.resize(got);
        return true;
    }

private:
    int fd_;
    std::uint64_t size_;
};

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::string bytes) : owned_(std::move(bytes)), bytes_(owned_) {}
    explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::size_t n, std::string& out) const override {
        if (offset >= bytes_.size()) out.clear();
        else out.assign(bytes_.substr(static_cast<std::size_t>(offset), n));
        return true;
    }

private:
    std::string owned_;
    std::string_view bytes_;
};

// Read ahead by this much at least: enough to take an element's start tag
// and its parameters in one read, small enough that jumping over binary data
// does not read it anyway.
constexpr std::uint64_t kStep = 16 * 1024;

}  // namespace

std::unique_ptr<ByteSource> file_source(const std::string& path, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, static_cast<std::uint64_t>(st.st_size));
}

std::unique_ptr<ByteSource> memory_source(std::string bytes) { return std::make_unique<MemorySource>(std::move(bytes)); }
std::unique_ptr<ByteSource> view_source(std::string_view bytes) { return std::make_unique<MemorySource>(bytes); }

bool ByteWindow::hold(std::uint64_t from, std::uint64_t to) {
    to = std::min(to, source_.size());
    const std::uint64_t heldEnd = start_ + held_.size();
    if (from >= start_ && to <= heldEnd) return true;
    if (from >= start_ && from <= heldEnd) {
        held_.erase(0, static_cast<std::size_t>(from - start_));
        start_ = from;
    } else {
        held_.clear();
        start_ = from;
    }
    const std::uint64_t have = start_ + held_.size();
    if (to <= have) return true;
    // A short read means the file shrank under us: as much a failure as an
    // error, or a walk would wait for bytes that never come.
    if (!source_.read(have, static_cast<std::size_t>(to - have), more_) || more_.size() != to - have) {
        failed_ = true;
        return false;
    }
    held_.append(more_);
    return true;
}

bool ByteWindow::find(std::string_view needle, std::uint64_t from, std::uint64_t& at, std::uint64_t limit) {
    limit = std::min(limit, source_.size());
    if (needle.empty() || from >= limit) return false;
    std::uint64_t searched = from;
    std::uint64_t end = std::min(limit, from + kStep);
    for (;;) {
        if (!hold(from, end)) return false;
        const std::uint64_t available = std::min(start_ + held_.size(), limit);
        if (available > searched) {
            const char* base = held_.data() + (searched - start_);
            const void* hit = ::memmem(base, static_cast<std::size_t>(available - searched), needle.data(), needle.size());
            if (hit) {
                at = searched + static_cast<std::uint64_t>(static_cast<const char*>(hit) - base);
                return true;
            }
        }
        if (available >= limit || available < end) return false;  // the end, or the source shrank
        searched = std::max(from, available - (needle.size() - 1));
        // Grow by what is held so far: a long search reads each byte once.
        end = std::min(limit, available + std::max(kStep, available - from));
    }
}

std::string_view ByteWindow::bytes(std::uint64_t from, std::uint64_t to) {
    if (to <= from || !hold(from, to)) return {};
    if (from < start_ || from >= start_ + held_.size()) return {};
    const std::size_t at = static_cast<std::size_t>(from - start_);
    return std::string_view(held_).substr(at, static_cast<std::size_t>(std::min<std::uint64_t>(to - from, held_.size() - at)));
}

}  // namespace masscal::dm
