// What every verb that writes files shares: outputs never replace inputs of
// the same run, paths fit the file reference's fields, and each output is
// written beside its target under a temporary name and renamed into place
// only when the whole run has succeeded.
#pragma once

#include <string>
#include <vector>

namespace cli {

// True when both name one existing file (links followed).
bool same_file(const std::string& a, const std::string& b);

// Empty when no output is an input or another output; else the one-line
// reason, naming the output.
std::string output_clash(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs);

// Empty when the path fits a file reference's directory, name and extension
// fields whole; else the reason.
std::string path_too_long(const std::string& path);

// The whole of a regular file; false when it cannot be read.
bool read_file(const std::string& path, std::string& text);

// Writes text as the whole of the file at path (created when missing);
// false when it cannot be written.
bool write_file(const std::string& path, const std::string& text);

// Replaces the file's contents with text in one step (a temporary file
// beside it, flushed and renamed over it); false when it cannot.
bool replace_file(const std::string& path, const std::string& text);

// A file written under a unique temporary name in its target's folder
// (".masscal-XXXXXX" with the target's extension, so writers that choose a
// format by the extension choose the same one). commit() flushes it to the
// disk and renames it over the target; a pending output that is never
// committed is removed, also when the program is ended by SIGINT, SIGTERM
// or SIGHUP.
class PendingOutput {
public:
    explicit PendingOutput(std::string target) : target_(std::move(target)) {}
    ~PendingOutput() { discard(); }
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    // Creates the temporary file; false with why when it cannot.
    bool create(std::string& why);
    const std::string& temp() const { return temp_; }
    const std::string& target() const { return target_; }
    // An empty file is taken as a failed writer's unless allowEmpty.
    bool commit(std::string& why, bool allowEmpty = false);
    void discard();

private:
    std::string target_, temp_;
};

}  // namespace cli
