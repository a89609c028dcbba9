// Private-profile (INI) functions with the semantics of their Windows
// namesakes: case-insensitive sections and keys, trimmed values, new keys at
// the end of their section, new sections at the end of the file, the file
// created on first write, the default for a missing key, results cut to the
// buffer. Every write replaces the file atomically.
//
// Also as in Windows: a null section lists the section names and a null key
// the keys of a section (each terminated, the list ended by a second
// terminator); a value in matching quotes reads without them; trailing
// blanks of the default are dropped.
#pragma once

#include <cstdint>
#include <string>

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

// Each write above replaces the whole file, so writing hundreds of keys in a
// row costs hundreds of file replacements. While a batch is open, the writes
// (and DeleteFileS) of this thread to its file change only the batch's copy,
// which this thread's reads of the file see; the file itself is replaced
// once, when the batch closes, as if every write had been made in turn at
// that moment (changes that others made to the file meanwhile are kept
// where they do not touch the same keys). A crash before that leaves the old
// file whole. Batches of one file nest; the outermost one writes. The file
// must be named by the same text in the batch and in the calls.
class CProfileWriteBatch {
public:
    explicit CProfileWriteBatch(const char* file);
    ~CProfileWriteBatch();  // writes what is pending
    CProfileWriteBatch(const CProfileWriteBatch&) = delete;
    CProfileWriteBatch& operator=(const CProfileWriteBatch&) = delete;

    // Writes what is pending now; the batch stays open. Non-zero when the
    // file holds every write made so far; 0 when it could not be written or
    // a write of the batch was refused (an inner batch answers only for the
    // writes refused so far).
    int Commit();

private:
    std::string file_;
    bool outermost_ = false;
};
