#include "suite/fileaccess/file_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>

#include "suite/fileaccess/file_identity.hpp"

namespace masscal::suite::fs {
namespace {

std::atomic<int> g_timeout_ms{10'000};

// Locks this thread holds, by lock file: flock would refuse a second open of
// the same file, so a nested lock shares the outer one's.
struct Held {
    int fd;
    int depth;
};
thread_local std::map<std::string, Held> t_held;

}  // namespace

std::string lock_file_of(const std::string& path) {
    const std::string target = write_target(path);
    const std::size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // The lock's name must stay within the folder's name limit.
    if (base.size() > 200) base.resize(200);
    return dir + "." + base + ".lock";
}

FileLock::FileLock(const std::string& path) : lock_(lock_file_of(path)) {
    const std::string& lock = lock_;
    if (auto it = t_held.find(lock); it != t_held.end()) {
        ++it->second.depth;
        fd_ = it->second.fd;
        return;
    }
    fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = "cannot open the lock file " + lock + ": " + std::strerror(errno);
        return;
    }
    const int timeout = g_timeout_ms.load();
    for (int waited = 0;; waited += 10) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            t_held[lock] = Held{fd_, 1};
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error_ = "cannot lock " + lock + ": " + std::strerror(errno);
            break;
        }
        if (waited >= timeout) {
            error_ = "another program holds the lock " + lock + " (waited " + std::to_string(timeout) + " ms)";
            break;
        }
        const timespec pause{0, 10'000'000};
        ::nanosleep(&pause, nullptr);
    }
    ::close(fd_);
    fd_ = -1;
}

FileLock::~FileLock() {
    // Closing releases the lock; the lock file stays, as removing it would
    // let two writers lock two different files of one name.
    if (fd_ < 0) return;
    auto it = t_held.find(lock_);
    if (it != t_held.end() && --it->second.depth > 0) return;
    if (it != t_held.end()) t_held.erase(it);
    ::close(fd_);
}

void set_lock_timeout_ms(int ms) { g_timeout_ms.store(ms < 0 ? 0 : ms); }

}  // namespace masscal::suite::fs
