#include "mzml/deflate_objects.hpp"

#include <libdeflate.h>

#include <memory>
#include <new>

namespace masscal::dm::deflate_objects {
namespace {

struct FreeCompressor {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
struct FreeDecompressor {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};
using Compressor = std::unique_ptr<libdeflate_compressor, FreeCompressor>;

template <class T>
T* made(T* p) {
    if (!p) throw std::bad_alloc();
    return p;
}

libdeflate_compressor* compressor(Compressor& c, int level) {
    if (!c) c.reset(made(libdeflate_alloc_compressor(level)));
    return c.get();
}

}  // namespace

libdeflate_decompressor* decompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, FreeDecompressor> d;
    if (!d) d.reset(made(libdeflate_alloc_decompressor()));
    return d.get();
}

libdeflate_compressor* array_compressor() {
    thread_local Compressor c;
    return compressor(c, 2);
}

libdeflate_compressor* text_compressor() {
    thread_local Compressor c;
    return compressor(c, 6);
}

}  // namespace masscal::dm::deflate_objects
