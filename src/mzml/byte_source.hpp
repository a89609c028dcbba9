// Random access to the bytes of a document, from a file or from memory, and
// a window that walks forward through them without holding the whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace masscal::dm {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Reads n bytes at offset into out (replacing it); fewer only at the end.
    // Safe to call from several threads at once. false on a read error.
    virtual bool read(std::uint64_t offset, std::size_t n, std::string& out) const = 0;
};

// The regular file at path, read as it is asked for; null with a reason.
std::unique_ptr<ByteSource> file_source(const std::string& path, std::string& why);
// Bytes in memory, owned or (for a view) kept alive by the caller.
std::unique_ptr<ByteSource> memory_source(std::string bytes);
std::unique_ptr<ByteSource> view_source(std::string_view bytes);

// A stretch of the source held in memory, moved forward as it is searched.
// Views it returns stay valid until the next call.
class ByteWindow {
public:
    explicit ByteWindow(const ByteSource& source) : source_(source) {}

    std::uint64_t size() const { return source_.size(); }
    const ByteSource& source() const { return source_; }
    // The first needle at or after from, and before limit; false when there
    // is none (or on a read error, which failed() then tells). Bytes from
    // `from` on stay held.
    bool find(std::string_view needle, std::uint64_t from, std::uint64_t& at,
              std::uint64_t limit = UINT64_MAX);
    // The bytes [from, to); shorter at the end of the source.
    std::string_view bytes(std::uint64_t from, std::uint64_t to);
    bool failed() const { return failed_; }

private:
    // Holds [from, to) (to clipped to the end), dropping what lies before from.
    bool hold(std::uint64_t from, std::uint64_t to);

    const ByteSource& source_;
    std::string held_, more_;
    std::uint64_t start_ = 0;  // offset of held_[0]
    bool failed_ = false;
};

}  // namespace masscal::dm
