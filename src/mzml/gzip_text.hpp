// Whole texts in and out of the gzip format (x.mzML.gz).
#pragma once

#include <string>
#include <string_view>

namespace masscal::dm {

// True when the bytes begin like a gzip stream.
bool is_gzip(std::string_view bytes);
// Inflates every member of a gzip stream into out; false with why.
bool gunzip_text(std::string_view bytes, std::string& out, std::string& why);
// Compresses text into one gzip member; false with why.
bool gzip_text(std::string_view text, std::string& out, std::string& why);

}  // namespace masscal::dm
