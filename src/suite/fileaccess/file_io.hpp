// Plain-file calls of the file access library, over POSIX.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

using FileHandleS = int;
inline constexpr FileHandleS kInvalidFileHandleS = -1;

// Opens an existing file for reading (others may read and write it
// meanwhile); kInvalidFileHandleS on failure, a folder included.
FileHandleS CreateFileS(const char* path);
// The size in bytes, or -1.
std::int64_t GetFileSizeS(FileHandleS h);
// Reads up to size bytes (until the end of the file); *read receives the
// count. Non-zero on success.
int ReadFileS(FileHandleS h, void* buf, std::size_t size, std::size_t* read);
// Non-zero when the handle was open.
int CloseHandleS(FileHandleS h);

namespace masscal::suite {

// The first limit bytes of the file (all of a shorter one). False when it
// cannot be opened or read.
bool ReadFileContents(const char* path, std::string* out, std::size_t limit = SIZE_MAX);

// Replaces the file's contents as one step: a temporary file in the same
// folder is written, flushed to the disk and renamed over the file, so a
// crash leaves the old file or the new one, whole. Non-zero on success.
int ReplaceFileContents(const char* path, const void* data, std::size_t size);

}  // namespace masscal::suite
