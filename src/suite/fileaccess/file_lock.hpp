// An exclusive lock between processes over one file's read-modify-write:
// flock on a lock file beside it (".NAME.lock"), so that writers that each
// apply their changes to the file as they find it never lose each other's.
// Readers take no lock: files are replaced by a rename, never changed in
// place.
#pragma once

#include <string>

namespace masscal::suite::fs {

class FileLock {
public:
    // Waits for the lock of path (a symbolic link is followed) up to the
    // lock timeout. locked() tells whether it was had; error() why not. A
    // thread that holds the lock already gets it again at once.
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool locked() const { return fd_ >= 0; }
    const std::string& error() const { return error_; }

private:
    std::string lock_;
    int fd_ = -1;
    std::string error_;
};

// The lock file of path.
std::string lock_file_of(const std::string& path);

// How long a writer waits for another's lock before it gives up (default
// 10 s; tests shorten it).
void set_lock_timeout_ms(int ms);

}  // namespace masscal::suite::fs
