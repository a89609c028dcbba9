#include "suite/fileaccess/file_identity.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace masscal::suite::fs {
namespace {

std::atomic<BeforeRenameHook> g_hook{nullptr};
std::atomic<unsigned> g_temp_counter{0};

FileIdentity identity_from(const struct stat& st) {
    FileIdentity id;
    id.exists = true;
    id.regular = S_ISREG(st.st_mode);
    id.dev = static_cast<std::uint64_t>(st.st_dev);
    id.ino = static_cast<std::uint64_t>(st.st_ino);
    id.size = static_cast<std::int64_t>(st.st_size);
    id.mtime_sec = st.st_mtim.tv_sec;
    id.mtime_nsec = st.st_mtim.tv_nsec;
    id.ctime_sec = st.st_ctim.tv_sec;
    id.ctime_nsec = st.st_ctim.tv_nsec;
    return id;
}

bool write_all(int fd, const char* p, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

void split(const std::string& path, std::string* dir, std::string* base) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        *dir = ".";
        *base = path;
    } else {
        *dir = slash == 0 ? "/" : path.substr(0, slash);
        *base = path.substr(slash + 1);
    }
}

void sync_directory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::string write_target(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string r(real);
    std::free(real);
    return r;
}

bool identity_of(const std::string& path, FileIdentity* id) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        *id = FileIdentity{};
        return errno == ENOENT || errno == ENOTDIR;
    }
    *id = identity_from(st);
    return true;
}

bool read_file(const std::string& path, std::size_t limit, std::string* text, FileIdentity* id) {
    text->clear();
    *id = FileIdentity{};
    // A writer that changes the file in place while we read it would give a
    // mixture; the identity before and after tells, and we read again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
        struct stat before, after;
        if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode) ||
            static_cast<std::uint64_t>(before.st_size) > limit) {
            ::close(fd);
            return false;
        }
        text->assign(static_cast<std::size_t>(before.st_size), '\0');
        std::size_t got = 0;
        bool ok = true;
        while (ok) {
            if (got == text->size()) {
                // The file may have grown since fstat.
                if (text->size() >= limit) break;
                text->resize(text->size() < 4096 ? 4096 : text->size() * 2);
                if (text->size() > limit) text->resize(limit);
            }
            const ssize_t r = ::read(fd, text->data() + got, text->size() - got);
            if (r < 0) {
                if (errno == EINTR) continue;
                ok = false;
            } else if (r == 0) {
                break;
            } else {
                got += static_cast<std::size_t>(r);
            }
        }
        text->resize(got);
        const bool stable = ok && ::fstat(fd, &after) == 0 && identity_from(before) == identity_from(after) &&
                            static_cast<std::int64_t>(got) == static_cast<std::int64_t>(after.st_size);
        ::close(fd);
        if (!ok) return false;
        if (stable) {
            *id = identity_from(after);
            return true;
        }
    }
    return false;
}

ReplacingFile::~ReplacingFile() { abandon(); }

void ReplacingFile::abandon() {
    if (fd_ < 0) return;
    const int err = errno;
    ::close(fd_);
    ::unlink(temp_.c_str());
    fd_ = -1;
    errno = err;
}

bool ReplacingFile::open(const std::string& path) {
    abandon();
    target_ = write_target(path);
    std::string base;
    split(target_, &dir_, &base);
    if (base.empty()) return false;
    if (base.size() > 200) base.resize(200);

    struct stat old;
    const bool had_old = ::stat(target_.c_str(), &old) == 0;
    if (had_old && !S_ISREG(old.st_mode)) return false;
    for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
        temp_ = dir_ + "/." + base + ".tmp" + std::to_string(::getpid()) + "-" +
                std::to_string(g_temp_counter.fetch_add(1));
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST) return false;
    }
    if (fd_ < 0) return false;
    if (had_old) (void)::fchmod(fd_, old.st_mode & 07777);
    return true;
}

bool ReplacingFile::write(std::string_view data) {
    if (fd_ < 0) return false;
    if (write_all(fd_, data.data(), data.size())) return true;
    abandon();
    return false;
}

bool ReplacingFile::commit(FileIdentity* written) {
    if (fd_ < 0) return false;
    if (::fsync(fd_) != 0) {
        abandon();
        return false;
    }
    if (BeforeRenameHook hook = g_hook.load(); hook && !hook(temp_.c_str(), target_.c_str())) {
        abandon();
        return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        abandon();
        return false;
    }
    struct stat now;
    const bool known = ::fstat(fd_, &now) == 0;
    ::close(fd_);
    fd_ = -1;
    sync_directory(dir_);
    if (written) *written = known ? identity_from(now) : FileIdentity{};
    return true;
}

bool replace_file(const std::string& path, std::string_view data, FileIdentity* written) {
    ReplacingFile file;
    return file.open(path) && file.write(data) && file.commit(written);
}

void set_before_rename_hook(BeforeRenameHook hook) { g_hook.store(hook); }

}  // namespace masscal::suite::fs
