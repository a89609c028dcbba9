// The engine beneath the profile functions: documents cached by path and
// checked against the file's identity on every use, and changes applied to
// the current file and written back in one atomic replacement.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "suite/fileaccess/file_identity.hpp"
#include "suite/fileaccess/ini_document.hpp"

namespace masscal::suite::profile {

// Larger files are not read as INI files.
inline constexpr std::size_t kMaxProfileBytes = 64u << 20;

struct State {
    ini::Document doc;
    bool exists = false;  // a missing file reads as empty and is not created by erasing
};

struct Op {
    enum class Kind : unsigned char { Set, EraseKey, EraseSection, Clear };
    Kind kind = Kind::Set;
    std::string section, key, value;
};

// The op of a private-profile write (null key: erase the section; null
// value: erase the key); false when the names or the value would not read
// back as written.
bool make_op(const char* section, const char* key, const char* value, Op* op);

// A private-profile read on state (null: a missing file): the value of the
// key, unquoted, or def without trailing blanks; a null section lists the
// section names, a null key the keys of the section. Cut to size;
// returns the characters copied.
std::uint32_t get_string(const State* state, const char* section, const char* key, const char* def, char* buf,
                         std::uint32_t size);

// Applies op; true when the document (or its existence) changed.
bool apply(State& state, const Op& op);

// Calls f with the current contents of path under the engine's lock. False
// (f not called) when the file exists but cannot be read.
bool read(const std::string& path, const std::function<void(const State&)>& f);

// A copy of the current contents and the identity of the version copied.
bool load(const std::string& path, State* state, fs::FileIdentity* id);

// Applies ops in turn to the current file and writes the result once. When
// the file is still the version `base` and `expected` is the result of ops
// on it, expected is written as it is. A file that ends up not existing is
// deleted. The whole read-modify-write holds the file's lock (file_lock.hpp).
// False when the file could not be locked, read or written; the file is
// then as it was.
bool commit(const std::string& path, const std::vector<Op>& ops, const State* expected = nullptr,
            const fs::FileIdentity* base = nullptr);

// Why this thread's last commit failed.
const std::string& last_error();

// Drops what the cache holds about path.
void forget(const std::string& path);

}  // namespace masscal::suite::profile
