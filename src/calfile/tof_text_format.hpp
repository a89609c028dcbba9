// The line parser of the older time-of-flight text format, apart from the
// file, so that it can be exercised on any text.
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

}  // namespace masscal::calfile
