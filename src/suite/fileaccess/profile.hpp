// Private-profile (INI) functions with the semantics of their Windows
// namesakes: case-insensitive sections and keys, trimmed values, new keys at
// the end of their section, new sections at the end of the file, the file
// created on first write, the default for a missing key, results cut to the
// buffer. Every write replaces the file atomically.
#pragma once

#include <cstdint>

class CFileAccess {
public:
    // Copies the value (or def) into buf, cut to size-1 characters and
    // terminated; returns the number of characters copied.
    static std::uint32_t GetPrivateProfileStringSA(const char* section, const char* key, const char* def, char* buf,
                                                   std::uint32_t size, const char* file);
    // The value read as an unsigned integer, or def when missing.
    static std::uint32_t GetPrivateProfileIntSA(const char* section, const char* key, int def, const char* file);
    // Creates or replaces the key (and the section and file when needed);
    // a null value deletes the key, a null key the section. Non-zero on
    // success.
    static int WritePrivateProfileStringSA(const char* section, const char* key, const char* value, const char* file);
    // Non-zero when the file was deleted.
    static int DeleteFileS(const char* file);
};
