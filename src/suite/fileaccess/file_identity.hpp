// What tells one version of a file from another without reading it, and the
// atomic replacement of a file's contents.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace masscal::suite::fs {

struct FileIdentity {
    bool exists = false;
    bool regular = false;
    std::uint64_t dev = 0, ino = 0;
    std::int64_t size = 0;
    std::int64_t mtime_sec = 0, mtime_nsec = 0;
    std::int64_t ctime_sec = 0, ctime_nsec = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The file a write to path must replace: the final target of a symbolic
// link, so that the link survives.
std::string write_target(const std::string& path);

// The identity of path now; a missing file gives exists = false. False when
// the path cannot be examined (other than being missing).
bool identity_of(const std::string& path, FileIdentity* id);

// Reads the whole regular file (at most limit bytes, else it fails) and the
// identity of the version read. A missing file gives true, empty text and
// exists = false; any other failure gives false.
bool read_file(const std::string& path, std::size_t limit, std::string* text, FileIdentity* id);

// Replaces the file's contents atomically: the data goes to a temporary file
// in the target's folder, is flushed to the disk, and is renamed over the
// target, so a reader sees the old or the new file and never a part. A
// symbolic link is followed, an existing file keeps its permission bits.
// written receives the identity of the new file.
bool replace_file(const std::string& path, std::string_view data, FileIdentity* written);

// The same, written as it comes: open, write any number of times, commit.
// Nothing replaces the target before commit; a failed write or a destruction
// without commit removes the temporary file. errno tells why a call failed.
class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    bool open(const std::string& path);
    bool write(std::string_view data);
    bool commit(FileIdentity* written);
    void abandon();

private:
    int fd_ = -1;
    std::string target_, dir_, temp_;
};

// Test seam: called after the temporary file is complete and flushed, just
// before the rename; when it answers false the write is abandoned.
using BeforeRenameHook = bool (*)(const char* temp_path, const char* target_path);
void set_before_rename_hook(BeforeRenameHook hook);

}  // namespace masscal::suite::fs
