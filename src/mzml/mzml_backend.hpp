// mzML 1.1 files (plain or wrapped in indexedmzML).
#pragma once

#include <memory>
#include <string>

#include "formats/backend.hpp"

namespace masscal::dm {

std::shared_ptr<const Backend> make_mzml_backend();

// Parses an mzML document held in memory (the buffer is copied); name is
// used in messages. Null with the message in error when it cannot be used.
std::unique_ptr<RawFile> parse_mzml(std::string_view text, const std::string& name, std::string& error);

}  // namespace masscal::dm
