// Where a rewritten document goes: a string, or a file replaced atomically
// (gzip-compressed on the way when asked), written as it comes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace masscal::dm {

class OutputSink {
public:
    virtual ~OutputSink() = default;
    // false with why when the bytes cannot be taken.
    virtual bool write(std::string_view bytes, std::string& why) = 0;
    // Everything is written; the file replaces its target only now.
    virtual bool finish(std::string& why) = 0;
};

std::unique_ptr<OutputSink> string_sink(std::string& out);
// A file at path; gzip compresses what it is given.
std::unique_ptr<OutputSink> file_sink(const std::string& path, bool gzip, std::string& why);

}  // namespace masscal::dm
