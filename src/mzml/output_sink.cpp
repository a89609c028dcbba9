#include "mzml/output_sink.hpp"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

#include "suite/fileaccess/file_identity.hpp"

namespace masscal::dm {
namespace {

// Small pieces are gathered into writes of this size.
constexpr std::size_t kBuffer = std::size_t{1} << 20;

std::string reason(int err) { return err ? std::strerror(err) : "it cannot be written"; }

class StringSink final : public OutputSink {
public:
    explicit StringSink(std::string& out) : out_(out) { out_.clear(); }
    bool write(std::string_view bytes, std::string&) override {
        out_.append(bytes);
        return true;
    }
    bool finish(std::string&) override { return true; }

private:
    std::string& out_;
};

class FileSink final : public OutputSink {
public:
    FileSink(const std::string& path, bool gzip) : path_(path), gzip_(gzip) {}
    ~FileSink() override {
        if (gzip_) deflateEnd(&z_);
    }

    bool open(std::string& why) {
        errno = 0;
        if (!file_.open(path_)) return failed(why);
        if (gzip_ && deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
            gzip_ = false;
            why = "cannot write " + path_ + ": cannot start compression";
            return false;
        }
        buffer_.reserve(kBuffer);
        return true;
    }

    bool write(std::string_view bytes, std::string& why) override {
        if (gzip_) return deflate_some(bytes, Z_NO_FLUSH, why);
        return put(bytes, why);
    }

    bool finish(std::string& why) override {
        if (gzip_ && !deflate_some({}, Z_FINISH, why)) return false;
        if (!flush(why)) return false;
        errno = 0;
        return file_.commit(nullptr) || failed(why);
    }

private:
    bool failed(std::string& why) {
        why = "cannot write " + path_ + ": " + reason(errno);
        return false;
    }
    bool flush(std::string& why) {
        errno = 0;
        if (!buffer_.empty() && !file_.write(buffer_)) return failed(why);
        buffer_.clear();
        return true;
    }
    bool put(std::string_view bytes, std::string& why) {
        if (buffer_.size() + bytes.size() > kBuffer && !flush(why)) return false;
        if (bytes.size() >= kBuffer) {
            errno = 0;
            return file_.write(bytes) || failed(why);
        }
        buffer_.append(bytes);
        return true;
    }
    bool deflate_some(std::string_view bytes, int mode, std::string& why) {
        char chunk[1 << 16];
        std::size_t at = 0;
        for (;;) {
            const std::size_t take = std::min<std::size_t>(bytes.size() - at, UINT_MAX);
            z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at));
            z_.avail_in = static_cast<uInt>(take);
            int status = Z_OK;
            do {
                z_.next_out = reinterpret_cast<Bytef*>(chunk);
                z_.avail_out = sizeof chunk;
                status = deflate(&z_, mode);
                if (status == Z_STREAM_ERROR) {
                    why = "cannot write " + path_ + ": compression failed";
                    return false;
                }
                if (!put({chunk, sizeof chunk - z_.avail_out}, why)) return false;
            } while (z_.avail_out == 0);
            at += take - z_.avail_in;
            if (at >= bytes.size() && (mode != Z_FINISH || status == Z_STREAM_END)) return true;
        }
    }

    std::string path_;
    bool gzip_;
    z_stream z_{};
    suite::fs::ReplacingFile file_;
    std::string buffer_;
};

}  // namespace

std::unique_ptr<OutputSink> string_sink(std::string& out) { return std::make_unique<StringSink>(out); }

std::unique_ptr<OutputSink> file_sink(const std::string& path, bool gzip, std::string& why) {
    auto sink = std::make_unique<FileSink>(path, gzip);
    if (!sink->open(why)) return nullptr;
    return sink;
}

}  // namespace masscal::dm
