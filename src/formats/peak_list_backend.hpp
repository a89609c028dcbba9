// The peak-list text format (docs/peak-list.md): .txt, .csv, .tsv.
#pragma once

#include <memory>
#include <string>

#include "formats/backend.hpp"

namespace masscal::dm {

std::shared_ptr<const Backend> make_peak_list_backend();

// Parses a whole peak list held in memory; name is used in messages. Null
// with the message in error when any line is bad.
std::unique_ptr<RawFile> parse_peak_list(std::string_view text, const std::string& name, std::string& error);

}  // namespace masscal::dm
