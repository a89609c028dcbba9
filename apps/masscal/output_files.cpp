#include "output_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "masscal/calib.h"

namespace fs = std::filesystem;

namespace cli {
namespace {

// A write past the file-size limit must fail as a write that the program
// reports, not kill it halfway through.
[[maybe_unused]] const bool kFileSizeSignalIgnored = std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR;

// Temporary files pending now, for a signal handler to remove: fixed slots,
// as a handler may not allocate.
constexpr int kSlots = 8;
constexpr std::size_t kSlotBytes = 4096;
char g_pending[kSlots][kSlotBytes];
volatile std::sig_atomic_t g_used[kSlots];

void remove_pending_and_die(int sig) {
    for (int i = 0; i < kSlots; ++i)
        if (g_used[i]) ::unlink(g_pending[i]);
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void install_cleanup() {
    static const bool installed = [] {
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, remove_pending_and_die);
        return true;
    }();
    (void)installed;
}

void remember(const std::string& temp) {
    install_cleanup();
    if (temp.size() >= kSlotBytes) return;
    for (int i = 0; i < kSlots; ++i) {
        if (g_used[i]) continue;
        std::memcpy(g_pending[i], temp.c_str(), temp.size() + 1);
        g_used[i] = 1;
        return;
    }
}

void forget(const std::string& temp) {
    for (int i = 0; i < kSlots; ++i)
        if (g_used[i] && temp == g_pending[i]) g_used[i] = 0;
}

bool identity(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

std::string folder_of(const std::string& path) {
    const std::string dir = fs::path(path).parent_path().string();
    return dir.empty() ? "." : dir;
}

}  // namespace

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa, sb;
    return identity(a, sa) && identity(b, sb) && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string output_clash(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const std::string& out = outputs[i];
        if (out.empty()) continue;
        for (const auto& in : inputs)
            if (!in.empty() && same_file(in, out))
                return out + ": would overwrite an input of this run" + (in == out ? "" : " (" + in + ")");
        // Two outputs of one name would each replace the other.
        for (std::size_t j = 0; j < i; ++j) {
            const std::string& other = outputs[j];
            if (!other.empty() && (same_file(other, out) || fs::absolute(other).lexically_normal() ==
                                                               fs::absolute(out).lexically_normal()))
                return out + ": named for two outputs of this run";
        }
    }
    return "";
}

std::string path_too_long(const std::string& path) {
    const fs::path abs = fs::absolute(path);
    RawFileRef r;
    const std::string dir = abs.parent_path().string() + "/";
    const std::string ext = abs.extension().string();
    if (dir.size() >= sizeof r.szDirectory || abs.stem().string().size() >= sizeof r.szName ||
        ext.size() >= sizeof r.szExtension || dir.size() + abs.filename().string().size() >= sizeof r.szDirectory)
        return "the path is too long (at most " + std::to_string(sizeof r.szDirectory - 1) + " characters)";
    return "";
}

bool read_file(const std::string& path, std::string& text) {
    text.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    char chunk[65536];
    while (ok) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return ok;
}

bool write_file(const std::string& path, const std::string& text) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && done == text.size();
}

bool replace_file(const std::string& path, const std::string& text) {
    PendingOutput o(path);
    std::string why;
    return o.create(why) && write_file(o.temp(), text) && o.commit(why, true);
}

bool PendingOutput::create(std::string& why) {
    discard();
    struct stat st;
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
        return false;
    }
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const std::string ext = fs::path(target_).extension().string();
    for (int attempt = 0; attempt < 32; ++attempt) {
        char name[64];
        std::snprintf(name, sizeof name, ".masscal-%06x%s", (rd() ^ (counter++ * 2654435761u)) & 0xffffffu,
                      ext.size() < 16 ? ext.c_str() : "");
        const std::string temp = folder_of(target_) + "/" + name;
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            why = std::string("cannot be written: ") + std::strerror(errno);
            return false;
        }
        if (exists) (void)::fchmod(fd, st.st_mode & 07777);
        ::close(fd);
        temp_ = temp;
        remember(temp_);
        return true;
    }
    why = "cannot be written: no free temporary name";
    return false;
}

bool PendingOutput::commit(std::string& why, bool allowEmpty) {
    if (temp_.empty()) {
        why = "cannot be written";
        return false;
    }
    const int fd = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    // A writer that claimed success and left nothing behind did not succeed.
    const bool ok = fd >= 0 && ::fsync(fd) == 0 && ::fstat(fd, &st) == 0 && (st.st_size > 0 || allowEmpty);
    const int err = errno;
    if (fd >= 0) ::close(fd);
    if (!ok) {
        why = std::string("cannot be written") + (err ? std::string(": ") + std::strerror(err) : "");
        discard();
        return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        why = std::string("cannot be written: ") + std::strerror(errno);
        discard();
        return false;
    }
    forget(temp_);
    temp_.clear();
    const int dir = ::open(folder_of(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

void PendingOutput::discard() {
    if (temp_.empty()) return;
    ::unlink(temp_.c_str());
    forget(temp_);
    temp_.clear();
}

}  // namespace cli
