// The older time-of-flight text format: one value or record per line, in a
// fixed order. Its line parser stands apart from the file so that it can be
// exercised on any text; its paths are file references joined the way the
// format joins them.
#pragma once

#include <cstddef>

#include "masscal/records.h"

namespace masscal::calfile {

// Only the start of a file is read, and lines are taken up to this length.
constexpr std::size_t kTofTextBytes = 4096;
constexpr std::size_t kTofLineChars = 512;

// Fills tof from the lines of text (a terminated string); line is a work
// buffer of kTofLineChars + 1 characters. Fields whose line is missing keep
// their values.
void parse_tof_text(const char* text, char* line, _TOFCALIBRATION* tof);

// Room for any joined directory, name and extension.
constexpr std::size_t kTofPathSize = 1024;

// Directory, a separator unless the directory ends in '/' or '\', the
// name, and the extension after a dot when there is one.
void tof_ref_to_path(const RawFileRef* ref, char* out, std::size_t size);

// The inverse: joining the result gives path back. False (and an empty
// reference) when a part does not fit its field: a cut path would name
// another file.
bool tof_path_to_ref(const char* path, RawFileRef* ref);

}  // namespace masscal::calfile
