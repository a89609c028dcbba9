// This thread's libdeflate compressors and decompressor, made on first use
// and kept (a compressor is hundreds of kilobytes of tables: one per array
// would be most of the work for small arrays). std::bad_alloc when one
// cannot be made.
#pragma once

struct libdeflate_compressor;
struct libdeflate_decompressor;

namespace masscal::dm::deflate_objects {

libdeflate_decompressor* decompressor();
// For number arrays: the level that writes about what zlib's default level
// does for them, several times faster.
libdeflate_compressor* array_compressor();
// For whole texts: zlib's default level.
libdeflate_compressor* text_compressor();

}  // namespace masscal::dm::deflate_objects
